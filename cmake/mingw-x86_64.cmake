# Windows x86-64 build of kelvalues with Debian's MinGW-w64 cross compiler
# (the win32-threads variant, so that no libwinpthread DLL is needed; the
# C++ and GCC runtimes and zlib are linked in statically by kelvalues' own
# link options).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KEL_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KEL_MINGW_TRIPLE}-gcc-win32)
set(CMAKE_CXX_COMPILER ${KEL_MINGW_TRIPLE}-g++-win32)
set(CMAKE_RC_COMPILER ${KEL_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${KEL_MINGW_TRIPLE}-gcc-ar-win32 CACHE FILEPATH "")
set(CMAKE_RANLIB ${KEL_MINGW_TRIPLE}-gcc-ranlib-win32 CACHE FILEPATH "")

# No link-time stamp in the PE headers: the same sources give the same
# program.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-Wl,--no-insert-timestamp")

set(CMAKE_FIND_ROOT_PATH /usr/${KEL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
