#!/bin/sh
# Plays one checked scenario, NAME.kel beside this script, through kelsim
# against the built plugin and compares the transcript with NAME.expected.
#
#   run_transcript.sh NAME PLUGIN [EMULATOR] KELSIM
#
# The transcript is what kelsim prints (standard output and error, in the
# order written) and a last line with its exit status.  Two things in it
# belong to the machine, not to the plugin, and are written the same way on
# every run: the private folder kelsim makes for the plugin (mkdtemp's six
# letters become XXXXXX) and the library's file name in the load line (it
# names the build: kel_mm_i386.so, kel_mm_x86_64.so).  TMPDIR is /tmp, so
# that folder's path has the same length everywhere: the values load line
# cuts long paths at a fixed length.  The plugin's version, as the build
# folder's kel_version.txt beside the plugin gives it, is written
# @KEL_VERSION@: a new version changes no expected transcript.
#
# The scenario runs twice; two transcripts that differ mean something
# outside the scenario (the real clock, an unseeded random choice) reached
# it, and the test fails on that alone.
#
# With KEL_UPDATE_TRANSCRIPTS=1 in the environment the transcript is written
# to NAME.expected instead of compared (review the diff before committing).
set -eu
name=$1
plugin=$(realpath -- "$2")
shift 2
# The runs start in this folder: programs named by a relative path are
# named by their full one.
for arg; do
  shift
  if [ -e "$arg" ]; then arg=$(realpath -- "$arg"); fi
  set -- "$@" "$arg"
done
here=$(CDPATH='' cd -- "$(dirname -- "$0")" && pwd)
version=$(cat "$(dirname -- "$plugin")/kel_version.txt")
# The version as a sed pattern: its dots (and any other special byte)
# matched literally.
version_pattern=$(printf '%s\n' "$version" | sed 's/[][\\.*^$#]/\\&/g')
expected="$here/$name.expected"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# One run, its transcript into $scratch/TARGET:  play TARGET COMMAND...
# The script is named by a relative path, so that kelsim's own messages
# name it the same way on every machine.
play() {
  target=$1
  shift
  status=0
  (cd "$here" && TMPDIR=/tmp "$@" --plugin "$plugin" "$name.kel") \
    >"$scratch/raw" 2>&1 || status=$?
  echo "(kelsim exited with status $status)" >>"$scratch/raw"
  sed -e 's#kelsim\.[A-Za-z0-9]\{6\}#kelsim.XXXXXX#g' \
      -e 's#^\(\[ *[0-9.]*\] >> load \)[^ ]* (#\1PLUGIN (#' \
      -e "s#$version_pattern#@KEL_VERSION@#g" \
      "$scratch/raw" >"$scratch/$target"
}

play first "$@"
play second "$@"
if ! cmp -s "$scratch/first" "$scratch/second"; then
  echo "FAIL: $name: two runs of the same scenario gave different transcripts;"
  echo "something outside the scenario (the real clock, an unseeded random choice) reaches it:"
  diff -u --label "$name (first run)" --label "$name (second run)" \
    "$scratch/first" "$scratch/second" || true
  exit 1
fi

if [ "${KEL_UPDATE_TRANSCRIPTS:-0}" = 1 ]; then
  if [ -f "$expected" ] && cmp -s "$scratch/first" "$expected"; then
    echo "$name: unchanged"
  else
    cp "$scratch/first" "$expected"
    echo "$name: wrote $expected (review its diff before committing)"
  fi
  exit 0
fi

if [ ! -f "$expected" ]; then
  echo "FAIL: $name: no $name.expected; write it with KEL_UPDATE_TRANSCRIPTS=1 and review it"
  exit 1
fi
if ! diff -u --label "$name.expected" --label "$name (this run)" \
    "$expected" "$scratch/first"; then
  echo "FAIL: $name: the transcript differs from $name.expected (diff above)."
  echo "If the change is intended: KEL_UPDATE_TRANSCRIPTS=1 ctest -R '^transcript\\.$name\$'"
  echo "(or tools/update-transcripts), then review and commit the expected file's diff."
  exit 1
fi
echo "$name: $(wc -l <"$expected") transcript lines as expected"
