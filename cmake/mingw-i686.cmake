# Windows i686 build of the plugin with Debian's MinGW-w64 cross compiler.
# The win32-threads variant keeps libwinpthread out of the picture: the
# plugin starts no threads, and this way the DLL needs nothing beyond what
# every Windows ships (the C++ and GCC runtimes are linked in statically by
# the plugin's own link options).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(KEL_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER ${KEL_MINGW_TRIPLE}-gcc-win32)
set(CMAKE_CXX_COMPILER ${KEL_MINGW_TRIPLE}-g++-win32)
set(CMAKE_RC_COMPILER ${KEL_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${KEL_MINGW_TRIPLE}-gcc-ar-win32 CACHE FILEPATH "")
set(CMAKE_RANLIB ${KEL_MINGW_TRIPLE}-gcc-ranlib-win32 CACHE FILEPATH "")

# Same floating-point model as the Linux i386 build: IEEE single and double
# arithmetic in SSE registers rather than the x87 unit's extended precision.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
# No link-time stamp in the PE headers: the same sources give the same DLL.
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-Wl,--no-insert-timestamp")

set(CMAKE_FIND_ROOT_PATH /usr/${KEL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
