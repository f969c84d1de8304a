#!/bin/sh
# Shows that tools/check-loadable.sh can fail: it builds small i386 libraries
# that an old server could not load (a function new in glibc 2.34, a private
# glibc symbol, a shared C++ runtime) and one that it could, and expects the
# check to reject exactly the first three, naming what they need.  Then the
# floor, on 64-bit libraries: one calling a function of glibc 2.17 passes at
# 2.17 and fails at 2.16, one calling a function of 2.25 fails at 2.17.
set -eu
cd "$(dirname "$0")/../.."
# shellcheck source=tools/lib/checks.sh
. tools/lib/checks.sh
CC=${CC:-gcc}
CXX=${CXX:-g++}
make_work

# judge LIBRARY EXPECT [FLOOR]: the check on LIBRARY, as a case named after
# it.
judge() {
  judge_case "$(basename "$1")${3:+ at $3}" "$2" "$work/out" sh tools/check-loadable.sh "$1" ${3:+"$3"}
}

# A function that glibc 2.34 brought.
printf '#include <unistd.h>\nvoid close_all(void) { closefrom(3); }\n' >"$work/new.c"
$CC -m32 -shared -fPIC -o "$work/new_glibc.so" "$work/new.c"
judge "$work/new_glibc.so" "closefrom needs GLIBC_2.34 from libc.so.6"

# A symbol the C library keeps for itself.
printf 'extern char _dl_argv[];\nvoid* arguments(void) { return _dl_argv; }\n' >"$work/private.c"
$CC -m32 -shared -fPIC -o "$work/private_glibc.so" "$work/private.c"
judge "$work/private_glibc.so" "_dl_argv needs GLIBC_PRIVATE"

# The shared C++ runtime, which many servers lack or have older.
printf '#include <string>\nstd::string greet() { return std::string(40, 0x41); }\n' >"$work/cxx.cpp"
$CXX -m32 -shared -fPIC -o "$work/shared_runtime.so" "$work/cxx.cpp"
judge "$work/shared_runtime.so" "needs libstdc++.so.6"

# Not a library at all.
echo "not a library" >"$work/text.so"
judge "$work/text.so" "not an ELF file"

# A library of old functions only passes.
printf '#include <string.h>\nunsigned long length(const char* s) { return strlen(s); }\n' >"$work/old.c"
$CC -m32 -shared -fPIC -o "$work/old_glibc.so" "$work/old.c"
judge "$work/old_glibc.so" pass

# The floor argument, on 64-bit code as kelvalues is.
printf '#define _GNU_SOURCE\n#include <stdlib.h>\nchar* home(void) { return secure_getenv("HOME"); }\n' \
  >"$work/floor.c"
$CC -shared -fPIC -o "$work/glibc_2_17" "$work/floor.c"
judge "$work/glibc_2_17" pass 2.17
judge "$work/glibc_2_17" "secure_getenv needs GLIBC_2.17 from libc.so.6 (floor: GLIBC_2.16)" 2.16
printf '#include <string.h>\nvoid clear(char* p) { explicit_bzero(p, 1); }\n' >"$work/newer.c"
$CC -shared -fPIC -o "$work/glibc_2_25" "$work/newer.c"
judge "$work/glibc_2_25" "explicit_bzero needs GLIBC_2.25 from libc.so.6 (floor: GLIBC_2.17)" 2.17

tally "check-loadable self-test"
