#!/bin/sh
# Builds the last commit twice, in two fresh copies of it (git archive) at
# paths of different lengths, packages each with tools/package.sh (time
# stamps: the commit's time) and compares: the libraries and every file in
# dist/ (archives, debug files, SHA256SUMS) must be byte for byte the same.
# Uncommitted changes are not in the builds.  Only the plugin's targets are
# built (the tests are configured off), a few minutes in all.
# KEL_REPRO_KEEP=1 keeps the two copies.
set -eu
cd "$(dirname "$0")/../.."
commit=$(git rev-parse HEAD)
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct "$commit")
export SOURCE_DATE_EPOCH
work=$(mktemp -d)
if [ "${KEL_REPRO_KEEP:-0}" = 1 ]; then
  echo "reproducible: keeping $work"
else
  trap 'rm -rf "$work"' EXIT
fi

build_in() {
  dir=$1
  mkdir -p "$dir"
  git archive "$commit" | tar -x -C "$dir"
  (
    cd "$dir"
    cmake --preset i386 -DKEL_TESTS=OFF >/dev/null
    cmake --preset win32 >/dev/null
    tools/package.sh >"$dir.log" 2>&1 || {
      cat "$dir.log"
      exit 1
    }
  )
}
one=$work/one/kel_mm
two=$work/second-build-folder/elsewhere/kel_mm
echo "reproducible: building $commit in $one"
build_in "$one"
echo "reproducible: building $commit in $two"
build_in "$two"

# What each build made, with its checksum.
made() {
  (cd "$1" && sha256sum build/i386/kel_mm_i386.so build/win32/kel_mm.dll dist/*)
}
made "$one" >"$work/one.sums"
made "$two" >"$work/two.sums"
echo "reproducible: $one"
sed 's/^/  /' "$work/one.sums"
echo "reproducible: $two"
sed 's/^/  /' "$work/two.sums"
if cmp -s "$work/one.sums" "$work/two.sums"; then
  echo "reproducible: both builds made the same $(wc -l <"$work/one.sums") files, byte for byte"
else
  echo "FAIL: the builds differ:"
  diff "$work/one.sums" "$work/two.sums" | sed 's/^/  /'
  exit 1
fi
