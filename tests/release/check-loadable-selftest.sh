#!/bin/sh
# Shows that tools/check-loadable.sh can fail: it builds small i386 libraries
# that an old server could not load (a function new in glibc 2.34, a private
# glibc symbol, a shared C++ runtime) and one that it could, and expects the
# check to reject exactly the first three, naming what they need.  Then the
# floor, on 64-bit libraries: one calling a function of glibc 2.17 passes at
# 2.17 and fails at 2.16, one calling a function of 2.25 fails at 2.17.
set -eu
cd "$(dirname "$0")/../.."
check=tools/check-loadable.sh
CC=${CC:-gcc}
CXX=${CXX:-g++}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# expect_rejected LIBRARY TEXT [FLOOR]: the check fails and its report
# holds TEXT.
expect_rejected() {
  if sh "$check" "$1" ${3:+"$3"} >"$work/out" 2>&1; then
    fail "the check accepted $(basename "$1"):"
    sed 's/^/    /' "$work/out"
  elif grep -qF -- "$2" "$work/out"; then
    echo "ok: $(basename "$1") rejected: $(grep -F -- "$2" "$work/out" | head -n 1)"
  else
    fail "the check rejected $(basename "$1") without saying \"$2\":"
    sed 's/^/    /' "$work/out"
  fi
}

# A function that glibc 2.34 brought.
printf '#include <unistd.h>\nvoid close_all(void) { closefrom(3); }\n' >"$work/new.c"
$CC -m32 -shared -fPIC -o "$work/new_glibc.so" "$work/new.c"
expect_rejected "$work/new_glibc.so" "closefrom needs GLIBC_2.34 from libc.so.6"

# A symbol the C library keeps for itself.
printf 'extern char _dl_argv[];\nvoid* arguments(void) { return _dl_argv; }\n' >"$work/private.c"
$CC -m32 -shared -fPIC -o "$work/private_glibc.so" "$work/private.c"
expect_rejected "$work/private_glibc.so" "_dl_argv needs GLIBC_PRIVATE"

# The shared C++ runtime, which many servers lack or have older.
printf '#include <string>\nstd::string greet() { return std::string(40, 0x41); }\n' >"$work/cxx.cpp"
$CXX -m32 -shared -fPIC -o "$work/shared_runtime.so" "$work/cxx.cpp"
expect_rejected "$work/shared_runtime.so" "needs libstdc++.so.6"

# Not a library at all.
echo "not a library" >"$work/text.so"
expect_rejected "$work/text.so" "not an ELF file"

# A library of old functions only passes.
printf '#include <string.h>\nunsigned long length(const char* s) { return strlen(s); }\n' >"$work/old.c"
$CC -m32 -shared -fPIC -o "$work/old_glibc.so" "$work/old.c"
if sh "$check" "$work/old_glibc.so" >"$work/out" 2>&1; then
  echo "ok: old_glibc.so accepted"
else
  fail "the check rejected a library of old functions:"
  sed 's/^/    /' "$work/out"
fi

# The floor argument, on 64-bit code as kelvalues is.
printf '#define _GNU_SOURCE\n#include <stdlib.h>\nchar* home(void) { return secure_getenv("HOME"); }\n' \
  >"$work/floor.c"
$CC -shared -fPIC -o "$work/glibc_2_17" "$work/floor.c"
if sh "$check" "$work/glibc_2_17" 2.17 >"$work/out" 2>&1; then
  echo "ok: glibc_2_17 accepted at 2.17"
else
  fail "the check rejected a program of glibc 2.17 functions at 2.17:"
  sed 's/^/    /' "$work/out"
fi
expect_rejected "$work/glibc_2_17" "secure_getenv needs GLIBC_2.17 from libc.so.6 (floor: GLIBC_2.16)" 2.16
printf '#include <string.h>\nvoid clear(char* p) { explicit_bzero(p, 1); }\n' >"$work/newer.c"
$CC -shared -fPIC -o "$work/glibc_2_25" "$work/newer.c"
expect_rejected "$work/glibc_2_25" "explicit_bzero needs GLIBC_2.25 from libc.so.6 (floor: GLIBC_2.17)" 2.17

if [ "$failures" -ne 0 ]; then
  echo "check-loadable self-test: $failures case(s) failed"
  exit 1
fi
echo "check-loadable self-test: the check rejects what old servers cannot load"
