#!/bin/sh
# Checks the release archives that tools/package.sh wrote:
#   0. dist/SHA256SUMS holds the right checksum of each archive and debug
#      file, in the form sha256sum -c reads;
#   1. both archives exist and hold exactly the operator's layout, and the
#      guide inside names exactly the files they hold;
#   2. both unpack to the same bytes; the files copied from the repository
#      (the example values file and server.cfg, the guide, the changelog,
#      the license) are its current ones; the changelog's newest version is
#      the package's; every link in the guide resolves inside the unpacked
#      tree;
#   3. the Linux library is a 32-bit i386 shared object exporting exactly
#      the entry points tools/entry-points.sh lists, loads on every server
#      with glibc 2.11 or later (tools/check-loadable.sh) as the guide says,
#      carries no debug information and names its debug file, which gdb
#      reads beside it;
#   4. the Windows library passes tools/check-dll.sh;
#   5. unpacking an archive over an installed copy whose player_values.txt
#      the operator has changed leaves that file as it was, for both
#      archives and twice over;
#   6. the packaged Linux library, unpacked as an operator would, loads in
#      the simulated server, reports its version and rates a player by the
#      packaged example values file copied to its live name;
#   7. kelvalues, without debug information: the Linux program is an
#      x86-64 ELF that loads with glibc 2.17 or later
#      (tools/check-loadable.sh) and, unpacked, passes the packaged example
#      values file with "kelvalues check"; the Windows one passes
#      tools/check-dll.sh --program and, under Wine where it is installed
#      (tools/run-win64), gives the same answer (without Wine this check
#      says it is skipped).
# Usage: tools/check-package.sh [dist-folder]   (default: dist)
# KELSIM names the simulated server program (default: the i386 build's,
# which the check builds when it is not there yet).
set -eu
cd "$(dirname "$0")/.."
# shellcheck source=tools/lib/checks.sh
. tools/lib/checks.sh

dist=${1:-dist}
build_i386=${KEL_BUILD_I386:-build/i386}
kelsim=${KELSIM:-$build_i386/tools/kelsim/kelsim}
version=${KEL_VERSION:-$(cat "$build_i386/kel_version.txt")}
name=kel_mm-$version
zip=$dist/$name.zip
tgz=$dist/$name.tar.gz
so_path=addons/kel/dlls/kel_mm_i386.so
dll_path=addons/kel/dlls/kel_mm.dll
values_path=addons/kel/dlls/player_values.example.txt
live_values_path=addons/kel/dlls/player_values.txt
guide_path=addons/kel/operator-guide.md
changelog_path=addons/kel/CHANGELOG.md
kelvalues_path=addons/kel/tools/kelvalues
kelvalues_exe_path=addons/kel/tools/kelvalues.exe
# Files shipped as they are in the repository: the place in the archives,
# then the repository's file.
copies="
$values_path examples/player_values.txt
addons/kel/kel.example.cfg examples/kel.example.cfg
$guide_path docs/operator-guide.md
$changelog_path CHANGELOG.md
addons/kel/LICENSE LICENSE
"
expected_files=$({
  printf '%s\n' "$so_path" "$dll_path" "$kelvalues_path" "$kelvalues_exe_path"
  echo "$copies" | awk 'NF {print $1}'
} | LC_ALL=C sort)
entry_points=$(tools/entry-points.sh)

make_work

for archive in "$zip" "$tgz"; do
  if [ ! -f "$archive" ]; then
    echo "FAIL: $archive is missing (run tools/package.sh)"
    exit 1
  fi
done

# ----------------------------------------------------------- 0. checksums
sums=$dist/SHA256SUMS
sums_expected=$(printf '%s\n' "$name.zip" "$name.tar.gz" kel_mm_i386.so.debug kel_mm.dll.debug | LC_ALL=C sort)
if [ ! -f "$sums" ]; then
  fail "$sums is missing"
elif ! (cd "$dist" && sha256sum --strict --quiet -c SHA256SUMS) >"$work/sums" 2>&1; then
  fail "$sums does not match the files: $(tr '\n' ' ' <"$work/sums")"
elif [ "$(awk '{print $2}' "$sums" | LC_ALL=C sort)" != "$sums_expected" ]; then
  fail "$sums lists [$(awk '{print $2}' "$sums" | tr '\n' ' ')], expected [$(echo "$sums_expected" | tr '\n' ' ')]"
else
  pass "sha256sum -c SHA256SUMS: $(echo "$sums_expected" | tr '\n' ' ')OK"
fi

# -------------------------------------------------------------- 1. layout
# Directory entries (ending in /) are allowed, tar has them; every other
# entry must be one of the expected files, and each of those must be there
# once.
unzip -Z1 "$zip" | grep -v '/$' | LC_ALL=C sort >"$work/zip-files" || true
tar -tzf "$tgz" | grep -v '/$' | sed 's|^\./||' | LC_ALL=C sort >"$work/tar-files" || true
for kind in zip tar; do
  files=$(cat "$work/$kind-files")
  if [ "$files" = "$expected_files" ]; then
    pass "$kind archive holds exactly: $(echo "$expected_files" | tr '\n' ' ')"
  else
    fail "$kind archive holds [$(echo "$files" | tr '\n' ' ')], expected [$(echo "$expected_files" | tr '\n' ' ')]"
  fi
done

mkdir -p "$work/zip" "$work/tar"
unzip -q "$zip" -d "$work/zip"
tar -xzf "$tgz" -C "$work/tar"

# The guide's list of what the archives hold: the lines of its first code
# block under "## Installing" that name a file under addons/.
guide_list=$(awk '/^## / {installing = ($0 == "## Installing")}
  installing && /^```/ {if (fenced) exit; fenced = 1; next}
  installing && fenced && /^addons\// {print $1}' "$work/tar/$guide_path" | LC_ALL=C sort)
if [ "$guide_list" = "$(cat "$work/tar-files")" ]; then
  pass "the guide names each file the archives hold"
else
  fail "the guide names [$(echo "$guide_list" | tr '\n' ' ')], the archives hold [$(tr '\n' ' ' <"$work/tar-files")]"
fi

# -------------------------------------------------------------- 2. contents
if diff -r "$work/zip" "$work/tar" >"$work/diff" 2>&1; then
  pass "both archives unpack to the same files"
else
  fail "the archives differ: $(head -n 3 "$work/diff" | tr '\n' ' ')"
fi
echo "$copies" | awk NF >"$work/copies"
while read -r place file; do
  if cmp -s "$work/tar/$place" "$file"; then
    pass "$place is $file"
  else
    fail "$place differs from $file (package again)"
  fi
done <"$work/copies"
if tools/check-changelog.sh "$work/tar/$changelog_path" "$version" >"$work/changelog" 2>&1; then
  pass "the changelog's newest version is $version"
else
  fail "$changelog_path: $(tr '\n' ' ' <"$work/changelog")"
fi
# Every link in the guide leads to a heading of its own or to a file in
# the unpacked tree; links to web addresses are not followed.
awk '/^```/ {fenced = !fenced; next}
  fenced {next}
  /^#+ / {h = tolower($0); sub(/^#+ /, "", h); gsub(/[^a-z0-9 _-]/, "", h); gsub(/ /, "-", h)
    print "#" h >anchors; next}
  {line = $0
    while (match(line, /\]\([^)]*\)/)) {print substr(line, RSTART + 2, RLENGTH - 3); line = substr(line, RSTART + RLENGTH)}}
' anchors="$work/anchors" "$work/tar/$guide_path" | LC_ALL=C sort -u >"$work/links"
touch "$work/anchors"
tree_root=$(realpath "$work/tar")
broken=""
while read -r target; do
  case "$target" in
    *://* | mailto:*) continue ;;
    '#'*) grep -qxF -- "$target" "$work/anchors" || broken="$broken $target" ;;
    *)
      resolved=$(realpath -m "$work/tar/$(dirname "$guide_path")/${target%%#*}")
      case "$resolved" in
        "$tree_root"/*) [ -e "$resolved" ] || broken="$broken $target" ;;
        *) broken="$broken $target" ;;
      esac
      ;;
  esac
done <"$work/links"
if [ -z "$broken" ]; then
  pass "the guide's $(wc -l <"$work/links") links resolve inside the unpacked tree"
else
  fail "the guide links to what the unpacked tree does not hold:$broken"
fi
for lib in "$so_path" "$dll_path" "$kelvalues_path" "$kelvalues_exe_path"; do
  [ -x "$work/tar/$lib" ] || fail "$lib is not executable in the tar archive"
done

# ------------------------------------------------------- 3. Linux library
so=$work/tar/$so_path
readelf -h "$so" >"$work/elf" 2>&1 || fail "$so_path is not an ELF file"
grep -Eq 'Class:[[:space:]]+ELF32$' "$work/elf" || fail "$so_path is not ELF32"
grep -Eq 'Machine:[[:space:]]+Intel 80386$' "$work/elf" || fail "$so_path is not for i386"
grep -Eq 'Type:[[:space:]]+DYN' "$work/elf" || fail "$so_path is not a shared object"
exports=$(readelf --dyn-syms -W "$so" |
  awk '$5 == "GLOBAL" && $7 != "UND" && ($4 == "FUNC" || $4 == "OBJECT") {sub(/@.*/, "", $8); print $8}' |
  LC_ALL=C sort | tr '\n' ' ' | sed 's/ $//')
if [ "$exports" = "$entry_points" ]; then
  pass "$so_path: ELF32 i386 shared object exporting $entry_points"
else
  fail "$so_path exports [$exports], expected exactly [$entry_points]"
fi
needed=$(readelf -d "$so" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | tr '\n' ' ')
case " $needed" in
  *" libstdc++"* | *" libgcc_s"*) fail "$so_path needs [$needed]: the C++ and GCC runtimes must be built in" ;;
  *) pass "$so_path needs only [$(echo "$needed" | sed 's/ $//')]" ;;
esac
if tools/check-loadable.sh "$so" 2.11 >"$work/loadable" 2>&1; then
  pass "$so_path: $(tail -n 2 "$work/loadable" | head -n 1)"
else
  fail "$so_path would not load on every server with glibc 2.11:"
  sed 's/^/    /' "$work/loadable"
fi
grep -q "glibc 2.11 or later" docs/operator-guide.md ||
  fail "the guide does not say the library loads with \"glibc 2.11 or later\""
if readelf -S -W "$so" | grep -q '\.debug_info'; then
  fail "$so_path still carries debug information"
fi
debug_file=$dist/kel_mm_i386.so.debug
link=$(readelf --string-dump=.gnu_debuglink "$so" 2>/dev/null | sed -n 's/^ *\[ *0\] *//p')
if [ "$link" != "kel_mm_i386.so.debug" ]; then
  fail "$so_path names no debug file kel_mm_i386.so.debug (found \"$link\")"
elif [ ! -f "$debug_file" ]; then
  fail "$debug_file is missing"
else
  # gdb looks for the named file beside the library and checks its CRC.
  mkdir -p "$work/crash"
  cp "$so" "$debug_file" "$work/crash/"
  if gdb -batch -nx -ex 'info line MapStart' "$work/crash/kel_mm_i386.so" 2>&1 |
    grep -q 'map_start.cpp'; then
    pass "$so_path is stripped; gdb finds its source lines in kel_mm_i386.so.debug beside it"
  else
    fail "gdb does not read $debug_file beside $so_path"
  fi
fi

# ----------------------------------------------------- 4. Windows library
if tools/check-dll.sh "$work/tar/$dll_path" >"$work/dll-check" 2>&1; then
  pass "$(cat "$work/dll-check")"
else
  fail "$dll_path: $(tr '\n' ' ' <"$work/dll-check")"
fi

# -------------------------------------- 5. an upgrade keeps the operator's file
for archive in "$zip" "$tgz"; do
  game=$work/upgrade-$(basename "$archive")
  mkdir -p "$game"
  unpack() {
    case "$archive" in
      *.zip) unzip -q -o "$archive" -d "$game" ;;
      *) tar -xzf "$archive" -C "$game" ;;
    esac
  }
  unpack
  cp "$game/$values_path" "$game/$live_values_path"
  echo "STEAM_0:1:424242,1234" >>"$game/$live_values_path"
  cp "$game/$live_values_path" "$work/operator-values"
  unpack
  unpack
  if cmp -s "$game/$live_values_path" "$work/operator-values"; then
    pass "$(basename "$archive") unpacked twice over an installed copy leaves player_values.txt as the operator changed it"
  else
    fail "$(basename "$archive") unpacked over an installed copy changed the operator's player_values.txt"
  fi
done

# ------------------------------------------- 6. loads in the simulated server
# kelsim loads a private copy of the library from a folder of its own, so
# the packaged example values file is handed to it with --values (it lands
# beside that copy as player_values.txt, where the plugin looks by default,
# as the guide tells the operator to copy it).  A player listed in the
# file must then be rated with the file's value.
if [ ! -x "$kelsim" ] && [ -z "${KELSIM:-}" ]; then
  # A fresh clone has built only the libraries (tools/package.sh).
  echo "check-package: building the simulated server in $build_i386"
  cmake --build "$build_i386" --target kelsim -j2 >"$work/kelsim-build" 2>&1 ||
    sed 's/^/    /' "$work/kelsim-build"
fi
if [ ! -x "$kelsim" ]; then
  fail "no simulated server at $kelsim (build target kelsim of the i386 preset)"
else
  first=$(head -n 1 "$work/tar/$values_path" | tr -d '\r')
  id=${first%,*}
  value=${first##*,}
  scenario=$work/package-check.kel
  {
    echo "# The packaged plugin with the packaged values file."
    echo "map map_package"
    echo "cvar mm_kel_version"
    echo "connect Ann \"$id\" marines"
    echo "console stv"
    echo "expect | $value - Ann"
  } >"$scenario"
  if tools/run-i386 "$kelsim" --plugin "$work/tar/$so_path" --values "$work/tar/$values_path" \
    "$scenario" >"$work/sim.out" 2>&1; then
    if grep -qF "mm_kel_version is \"$version\"" "$work/sim.out" && ! grep -q 'not loaded' "$work/sim.out"; then
      pass "kelsim loaded the packaged plugin (version $version) and rated $id at $value from the packaged example values"
    else
      fail "kelsim ran the packaged plugin, but it did not answer as expected:"
      sed 's/^/    /' "$work/sim.out"
    fi
  else
    fail "kelsim could not run the packaged plugin, or an expectation failed:"
    sed 's/^/    /' "$work/sim.out"
  fi
fi

# ------------------------------------------------------------ 7. kelvalues
kelvalues=$work/tar/$kelvalues_path
readelf -h "$kelvalues" >"$work/kelvalues-elf" 2>&1 || fail "$kelvalues_path is not an ELF file"
if grep -Eq 'Class:[[:space:]]+ELF64$' "$work/kelvalues-elf" &&
  grep -Eq 'Machine:[[:space:]]+Advanced Micro Devices X86-64$' "$work/kelvalues-elf"; then
  pass "$kelvalues_path: ELF64 x86-64"
else
  fail "$kelvalues_path is not an x86-64 ELF program"
fi
if tools/check-loadable.sh "$kelvalues" 2.17 >"$work/kelvalues-loadable" 2>&1; then
  pass "$kelvalues_path: $(tail -n 2 "$work/kelvalues-loadable" | head -n 1)"
else
  fail "$kelvalues_path would not run on every host with glibc 2.17:"
  sed 's/^/    /' "$work/kelvalues-loadable"
fi
if readelf -S -W "$kelvalues" | grep -q '\.debug_info' ||
  x86_64-w64-mingw32-objdump -h "$work/tar/$kelvalues_exe_path" | grep -q '\.debug_info'; then
  fail "kelvalues or kelvalues.exe still carries debug information"
fi
# The unpacked program on the unpacked example, as the guide has the
# operator run it: a clean file (status 0) of as many values as it has lines.
entries=$(grep -c , "$work/tar/$values_path" || true)
expect_check() {
  what=$1 answer=$2 status=$3
  if [ "$status" -eq 0 ] && grep -q "kel: read $entries player values from" "$answer"; then
    pass "$what passes the packaged example values file ($entries values)"
  else
    fail "$what check on the packaged example values file gave status $status:"
    sed 's/^/    /' "$answer"
  fi
}
status=0
(cd "$work/tar/addons/kel" && tools/kelvalues check dlls/player_values.example.txt) \
  >"$work/kelvalues-check" 2>&1 || status=$?
expect_check "kelvalues check" "$work/kelvalues-check" "$status"

if tools/check-dll.sh --program "$work/tar/$kelvalues_exe_path" >"$work/exe-check" 2>&1; then
  pass "$(cat "$work/exe-check")"
else
  fail "$kelvalues_exe_path: $(tr '\n' ' ' <"$work/exe-check")"
fi
status=0
run_win64=$(pwd)/tools/run-win64
(cd "$work/tar/addons/kel" && "$run_win64" tools/kelvalues.exe check dlls/player_values.example.txt) \
  >"$work/exe-run" 2>&1 || status=$?
if [ "$status" -eq 77 ]; then
  echo "SKIPPED: kelvalues.exe check under Wine: $(cat "$work/exe-run")"
else
  tr -d '\r' <"$work/exe-run" >"$work/exe-answer"
  expect_check "kelvalues.exe check (under Wine)" "$work/exe-answer" "$status"
  cmp -s "$work/exe-answer" "$work/kelvalues-check" ||
    fail "kelvalues.exe check answers otherwise than kelvalues check: $(diff "$work/kelvalues-check" "$work/exe-answer" | head -n 4 | tr '\n' ' ')"
fi

if [ "$failures" -ne 0 ]; then
  echo "check-package: $failures check(s) failed"
  exit 1
fi
echo "check-package: $name.zip and $name.tar.gz are complete and load"
