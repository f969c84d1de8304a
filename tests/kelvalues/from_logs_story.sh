#!/bin/sh
# The operator's nightly job, end to end: from-logs rates the players of a
# month of (generated) server logs, check finds nothing to warn of, and a
# server loads the file and shows each player's value and the team totals
# from it in stv.
#
#   from_logs_story.sh KELVALUES SYNTHETIC_LOGS KELSIM PLUGIN
set -eu
kelvalues=$1
synthetic_logs=$2
kelsim=$3
plugin=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir "$work/logs"
"$synthetic_logs" --players 6 --events-per-player 80 --seed 3 --days 30 --noise 0.1 "$work/logs"
# One day's file compressed, as a log rotation leaves them.
gzip "$work/logs/L0115000.log"
values=$work/player_values.txt
"$kelvalues" from-logs --half-life 30 "$work/logs" -o "$values"
"$kelvalues" check "$values"

# Six players, the first three of the file on the marines, the rest on the
# aliens; the transcript must show what the file says.
{
  # The load at attach and the load at the map start each log a line.
  awk -F, '{ sum += $2 } END { printf "expect read %d player values from\n", NR
                               printf "map map_one\nexpect (average %d)\n", int(sum / NR) }' \
    "$values"
  awk -F, '{ printf "connect P%d %s %s\n", NR, $1, (NR <= 3 ? "marines" : "aliens") }' "$values"
  # An expect looks at the lines since the previous one: one stv each.
  awk -F, '{ printf "console stv\nexpect \"%d - P%d\"\n", $2, NR
             if (NR <= 3) marines += $2; else aliens += $2 }
           END { printf "console stv\nexpect \"+-- total: %d\"\n", marines
                 printf "console stv\nexpect \"+-- total: %d\"\n", aliens }' "$values"
} >"$work/story.kel"
[ "$(wc -l <"$values")" -eq 6 ] || { echo "FAIL: expected 6 players in the file"; exit 1; }

if ! "$kelsim" --plugin "$plugin" --values "$values" "$work/story.kel" >"$work/transcript" 2>&1; then
  cat "$work/story.kel" "$work/transcript"
  echo "FAIL: the server did not show what from-logs wrote"
  exit 1
fi
grep -F -- "+-- total:" "$work/transcript"
echo "story: the server loaded and showed the 6 values from-logs wrote"
