#!/bin/sh
# shellcheck disable=SC2086 # $static and $plain are word lists on purpose
# Shows that tools/check-dll.sh tells a right plugin DLL from wrong ones.
# Each case builds tests/release/dll_probe.cpp with the MinGW-w64 cross
# compiler in one shape and runs the check on it: the right shape must pass,
# and each wrong shape must fail with the reason named in the table.
set -eu
cd "$(dirname "$0")/../.."
# shellcheck source=tools/lib/checks.sh
. tools/lib/checks.sh

CXX=${CXX_MINGW:-i686-w64-mingw32-g++-win32}
make_work

{
  echo "LIBRARY probe.dll"
  echo "EXPORTS"
  tools/entry-points.sh --lines | sed 's/^/  /'
} >"$work/all.def"
cp "$work/all.def" "$work/extra.def"
echo "  ProbeHelper" >>"$work/extra.def"
sed '$d' "$work/all.def" >"$work/short.def"  # one entry point short

# Split into words where used, on purpose.
static="-static -static-libgcc -static-libstdc++"
plain="-Wl,--kill-at -Wl,--enable-stdcall-fixup"

# judge NAME EXPECT [--program] FILE: the check on FILE, as case NAME.
judge() {
  name=$1 expect=$2
  shift 2
  judge_case "$name" "$expect" "$work/$name.out" tools/check-dll.sh "$@"
}

# case name | expected: "pass" or a text the check's output must contain |
# compiler and linker arguments
run_case() {
  name=$1 expect=$2
  shift 2
  if ! "$CXX" -std=c++20 -O2 -shared -o "$work/$name.dll" tests/release/dll_probe.cpp "$@" \
      2>"$work/$name.build"; then
    echo "FAILED $name: the probe did not build"
    cat "$work/$name.build"
    failed=$((failed + 1))
    return
  fi
  judge "$name" "$expect" "$work/$name.dll"
}

run_case right-shape pass \
  -DPROBE_USES_RUNTIME "$work/all.def" $plain $static
run_case decorated-giveFnptrs "GiveFnptrsToDll@8" \
  -DPROBE_DLLEXPORT $static
run_case cdecl-giveFnptrs "is not stdcall" \
  -DPROBE_CDECL_GIVEFNPTRS "$work/all.def" $plain $static
run_case extra-export "ProbeHelper" \
  "$work/extra.def" $plain $static
run_case missing-export "expected exactly" \
  "$work/short.def" $plain $static
run_case shared-cxx-runtime "imports libstdc++-6.dll" \
  -DPROBE_USES_RUNTIME "$work/all.def" $plain

# Not a PE image at all: the Linux build of a library, or any other file.
printf 'not a library\n' >"$work/text.dll"
judge not-a-pe "not a PE image" "$work/text.dll"

# The Windows kelvalues: the same check, as a program (--program).  A
# static x86-64 program passes; one on the shared C++ runtime, and a DLL,
# fail.
CXX64=${CXX_MINGW64:-x86_64-w64-mingw32-g++-posix}
printf '#include <string>\nint main(int c, char**) { return static_cast<int>(std::string(c, 0x41).size()); }\n' \
  >"$work/program.cpp"
if "$CXX64" -O2 -o "$work/static.exe" "$work/program.cpp" $static &&
  "$CXX64" -O2 -o "$work/shared.exe" "$work/program.cpp"; then
  judge program-static pass --program "$work/static.exe"
  judge program-shared-runtime "imports libstdc++-6.dll" --program "$work/shared.exe"
  judge program-is-a-dll "not an x86-64 PE image" --program "$work/right-shape.dll"
else
  echo "FAILED program: the probe programs did not build"
  failed=$((failed + 1))
fi

# The layout assertions of the host declarations are guarded by the target
# architecture; the Windows compiler must take the same guarded branch as
# the Linux one, or the DLL would be built unchecked.
cat >"$work/guard.cpp" <<'PROBE'
#include "host_abi.h"
#if !(defined(__i386__) || defined(_M_IX86))
#error the layout assertions are switched off for this compiler
#endif
static_assert(sizeof(void*) == 4);
PROBE
if "$CXX" -std=c++20 -fsyntax-only -Idlls/host/abi "$work/guard.cpp" 2>"$work/guard.out"; then
  echo "ok     layout-checks-active: host_abi.h compiles with its i386 layout assertions on"
  passed=$((passed + 1))
else
  echo "FAILED layout-checks-active:"
  sed 's/^/    /' "$work/guard.out"
  failed=$((failed + 1))
fi

tally check-dll
