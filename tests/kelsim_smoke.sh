#!/bin/sh
# Plays the bundled demo through kelsim against the built plugin and checks
# that it runs to the end (its expect steps hold, the host saw no fault) and
# that a few lines of each kind reach the transcript.
#
#   kelsim_smoke.sh SOURCE_DIR PLUGIN [EMULATOR] KELSIM
set -eu
source_dir=$1
plugin=$2
shift 2
# The build writes the plugin's version beside the library.
version=$(cat "$(dirname "$plugin")/kel_version.txt")
out=$(mktemp)
trap 'rm -f "$out"' EXIT

status=0
"$@" --plugin "$plugin" --values "$source_dir/examples/player_values.txt" \
  "$source_dir/examples/demo.kel" >"$out" 2>&1 || status=$?
if [ "$status" -ne 0 ]; then
  cat "$out"
  echo "FAIL: kelsim exited with $status"
  exit 1
fi

missing=0
while IFS= read -r line; do
  if ! grep -qF -- "$line" "$out"; then
    echo "FAIL: transcript lacks: $line"
    missing=1
  fi
done <<LINES
>> map ns_eclipse
-- mm_kel_version is "$version"
[everyone sees] Bob: gl hf
[Admin screen] ADMIN NOTICE: Too many marines
[everyone chat] Teams unbalanced - next Marine to die goes to the ReadyRoom
[Carol client runs] readyroom
-- readyroom: the game moves Carol to the ready room
[console] last alien: Grace (on for 0:00)
[everyone chat] Ready Room is being cleaned out
[everyone chat] New teams assigned.  Say /stv for more info
== 47 steps, 0 failed expectations, 0 host errors
LINES
if [ "$missing" -ne 0 ]; then
  cat "$out"
  exit 1
fi
echo "demo transcript: $(wc -l <"$out") lines, all checked lines present"
