#!/bin/sh
# Plays the demo with the host calling the plugin (entry points, hooks, the
# console command callback) on a stack 4, 8 and 12 bytes off a 16-byte
# boundary, as old engines and plugin managers do, and checks that each run
# gives the aligned run's transcript.  A library that stores SSE registers
# to the stack without realigning it crashes here.
#
#   misaligned_stack.sh SOURCE_DIR PLUGIN [EMULATOR] KELSIM
set -eu
source_dir=$1
plugin=$2
shift 2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# The demo's steps on a calendar that stands still but for the frames: the
# values the plugin draws for unknown players and rrr's teams come from the
# random generator, which the map start seeds from the calendar.
{
  echo "calendar 1700000000"
  cat "$source_dir/examples/demo.kel"
} >"$scratch/demo.kel"

# One run into $scratch/NAME; the private folder kelsim makes is written
# the same way in every run.
play() {
  name=$1
  shift
  status=0
  TMPDIR=/tmp "$@" --plugin "$plugin" --values "$source_dir/examples/player_values.txt" \
    "$scratch/demo.kel" >"$scratch/raw" 2>&1 || status=$?
  echo "(kelsim exited with status $status)" >>"$scratch/raw"
  sed -e 's#kelsim\.[A-Za-z0-9]\{6\}#kelsim.XXXXXX#g' "$scratch/raw" >"$scratch/$name"
}

play aligned "$@"
if ! grep -q '^(kelsim exited with status 0)$' "$scratch/aligned"; then
  cat "$scratch/aligned"
  echo "FAIL: the demo did not run cleanly with an aligned stack"
  exit 1
fi
failed=0
for bytes in 4 8 12; do
  play "off$bytes" "$@" --misalign-stack "$bytes"
  if ! diff -u --label "aligned" --label "stack $bytes bytes off" \
      "$scratch/aligned" "$scratch/off$bytes"; then
    echo "FAIL: with the stack $bytes bytes off 16, the demo's transcript differs (above)"
    failed=1
  fi
done
[ "$failed" -eq 0 ] || exit 1
echo "demo: $(wc -l <"$scratch/aligned") transcript lines, the same with the stack 4, 8 and 12 bytes off"
