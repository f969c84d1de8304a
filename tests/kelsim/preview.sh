#!/bin/sh
# kelsim preview on the README's example: both stv reports around the
# placements, the same for the list on standard input and at every run;
# then malformed lists and options, each refused with exit status 2 and one
# line naming the problem; a values file the plugin refuses, exit status 4.
#
#   preview.sh SOURCE_DIR PLUGIN [EMULATOR] KELSIM
set -eu
source_dir=$1
plugin=$2
shift 2
values=$source_dir/examples/player_values.txt
players=$source_dir/examples/players.txt
out=$(mktemp)
again=$(mktemp)
err=$(mktemp)
list=$(mktemp)
trap 'rm -f "$out" "$again" "$err" "$list"' EXIT
fail() {
  echo "FAIL: $*"
  cat "$out" "$err"
  exit 1
}
preview() {
  "$@" preview --plugin "$plugin" --values "$values" "$players"
}

preview "$@" >"$out" 2>"$err" || fail "the README's example exits with $?"
[ -s "$err" ] && fail "the README's example wrote to standard error"
# Lines 1 and the next headers, in this order, each followed by its report.
[ "$(grep -c -e '^stv before eventeams:$' -e '^eventeams (seed 1, search quick):$' \
  -e '^stv after eventeams:$' "$out")" -eq 3 ] || fail "a section is missing"
sed -n '1p' "$out" | grep -qx 'stv before eventeams:' || fail "the report before is not first"
sed -n '2p' "$out" | grep -qx 'Marines have 1.33x skill as aliens' ||
  fail "the report before does not judge Admin's 1200 against Carol's 900"
# The eight players of the ready room are placed, the two on teams stay.
[ "$(grep -c '^  [A-Za-z ]*: readyroom -> \(marines\|aliens\)$' "$out")" -eq 8 ] ||
  fail "not every ready-room player is placed"
grep -qx '  Admin: stays with the marines' "$out" || fail "Admin does not stay"
sed -n '/^stv after eventeams:$/{n;p;}' "$out" | grep -qx 'Teams are balanced' ||
  fail "the report after does not find the teams balanced"
[ "$(grep -c '^+-- total: ' "$out")" -eq 4 ] || fail "not two whole reports"

# The same list from standard input, and a second run: the same output.
"$@" preview --plugin "$plugin" --values "$values" - <"$players" >"$again" 2>"$err" ||
  fail "the list on standard input exits with $?"
cmp -s "$out" "$again" || fail "the list on standard input gives another output"
preview "$@" >"$again" 2>"$err" || fail "the second run exits with $?"
cmp -s "$out" "$again" || fail "a second run with the same seed differs"
"$@" preview --plugin "$plugin" --values "$values" --search best --seed 7 "$players" \
  >"$again" 2>"$err" || fail "--search best exits with $?"
grep -qx 'eventeams (seed 7, search best):' "$again" || fail "--search best --seed 7 not taken"

# Malformed input: PLAYERS text (or "-" for none) | options | the message.
long=ABCDEFGHIJKLMNOPQRSTUVWXYZabcdef
while IFS='|' read -r text options message; do
  [ -n "$text" ] || continue
  if [ "$text" = "-" ]; then : >"$list"; else printf "$text" >"$list"; fi
  status=0
  # shellcheck disable=SC2086 # the options are words on purpose
  "$@" preview --plugin "$plugin" $options "$list" >"$out" 2>"$err" || status=$?
  [ "$status" -eq 2 ] || fail "\"$text\" $options: exit status $status, not 2"
  [ "$(wc -l <"$err")" -eq 1 ] || fail "\"$text\" $options: not one line of error"
  grep -qF -- "$message" "$err" || fail "\"$text\" $options: no \"$message\""
  [ -s "$out" ] && fail "\"$text\" $options: printed a report"
done <<CASES
a,Bob,marines\nb,Al,blue\n|--values $values|line 2: team must be marines, aliens or readyroom, not "blue"
# fine\n\na,Bob\n|--values $values|line 3: expected id,name,team
a,Bob,marines,x\n|--values $values|line 1: expected id,name,team
a b,Bob,marines\n|--values $values|line 1: bad id "a b"
a,$long,aliens\n|--values $values|line 1: bad name
a,Bo"b,aliens\n|--values $values|line 1: bad name "Bo"b"
a,Bo\001b,aliens\n|--values $values|bad name "Bo\\x01b"
a,Bob,marines\nb,Bob,aliens\n|--values $values|line 2: the name "Bob" is taken on line 1
-|--values $values|no players in the list
a,Bob,marines\n|--values $values --search fast|--search takes quick or best, not "fast"
a,Bob,marines\n|--values $values --seed -1|--seed takes a whole number
a,Bob,marines\n|--values $values --frobnicate|unknown option "--frobnicate"
a,Bob,marines\n||--values FILE is required
a,Bob,marines\n|--values /no/such/values/file|cannot read /no/such/values/file
CASES

# A values file the plugin refuses: exit status 4, the load line's reason in
# one line, no report.
printf 'STEAM_0:0:1,0\n' >"$list"
status=0
"$@" preview --plugin "$plugin" --values "$list" "$players" >"$out" 2>"$err" || status=$?
[ "$status" -eq 4 ] || fail "a refused values file exits with $status, not 4"
[ "$(wc -l <"$err")" -eq 1 ] || fail "a refused values file: not one line of error"
grep -qxF "kelsim preview: the plugin did not load $list: no values" "$err" ||
  fail "a refused values file: not the load line's reason"
[ -s "$out" ] && fail "a refused values file printed a report"

# 65 players: one too many.
i=0
: >"$list"
while [ "$i" -lt 65 ]; do
  i=$((i + 1))
  echo "STEAM_0:0:$i,Player $i,readyroom" >>"$list"
done
status=0
"$@" preview --plugin "$plugin" --values "$values" "$list" >"$out" 2>"$err" || status=$?
[ "$status" -eq 2 ] && grep -qF 'line 65: more than 64 players' "$err" ||
  fail "65 players are not refused at line 65"
echo "preview: the README's example, 15 refusals and a refused values file as expected"
