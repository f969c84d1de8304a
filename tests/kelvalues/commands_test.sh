#!/bin/sh
# The three commands as an operator's job runs them on a host where
# from-hlstats cannot run: check and from-logs work, and from-hlstats fails
# with the exit status given and one line holding each text given, and
# writes nothing.  Run on Linux with the MariaDB client library hidden
# (without_mariadb_test.sh) and on Windows under Wine (windows_test.sh).
# Usage: commands_test.sh KELVALUES STATUS TEXT...
set -eu
kelvalues=$1 hlstats_status=$2
shift 2
work=$(mktemp -d "${TMPDIR:-/tmp}/kelvalues_commands.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

printf 'STEAM_0:0:1,1000\nSTEAM_0:1:1,1200\n' >"$work/values.txt"
"$kelvalues" check "$work/values.txt" >"$work/check.out" 2>&1 || fail "check: $(cat "$work/check.out")"
grep -q 'the plugin would log: kel: read 2 player values from' "$work/check.out" ||
  fail "check said: $(cat "$work/check.out")"

# Two players, each winning 30 of their 60 meetings, in a folder.
mkdir "$work/logs"
i=0
while [ "$i" -lt 30 ]; do
  echo "L 03/14/2024 - 21:07:$((10 + i)): \"Ann<12><STEAM_0:1:4242><team_one>\" killed \"Bob<13><STEAM_0:0:777><team_two>\" with \"rifle\""
  echo "L 03/14/2024 - 21:08:$((10 + i)): \"Bob<13><STEAM_0:0:777><team_two>\" killed \"Ann<12><STEAM_0:1:4242><team_one>\" with \"claws\""
  i=$((i + 1))
done >"$work/logs/L0314000.log"
printf 'yesterday\n' >"$work/logs_values.txt"
if "$kelvalues" from-logs "$work/logs" -o "$work/logs_values.txt" 2>"$work/logs.err"; then
  printf 'STEAM_0:0:777,1000\nSTEAM_0:1:4242,1000\n' >"$work/expected"
  cmp -s "$work/logs_values.txt" "$work/expected" ||
    fail "from-logs wrote: $(od -c "$work/logs_values.txt" | head -n 3)"
else
  fail "from-logs: $(cat "$work/logs.err")"
fi
[ "$(ls "$work" | grep -c '^logs_values')" -eq 1 ] || fail "from-logs left a file beside its output"

printf 'secret\n' >"$work/password"
chmod 600 "$work/password"
status=0
"$kelvalues" from-hlstats --socket "$work/none.sock" --user kel --password-file "$work/password" \
  --database hlstats --game mymod -o "$work/db_values.txt" >"$work/db.out" 2>"$work/db.err" || status=$?
[ "$status" -eq "$hlstats_status" ] || fail "from-hlstats: exit status $status, not $hlstats_status"
[ "$(wc -l <"$work/db.err")" -eq 1 ] || fail "from-hlstats: not one line: $(cat "$work/db.err")"
for text in "$@"; do
  grep -qF -- "$text" "$work/db.err" || fail "from-hlstats does not say \"$text\": $(cat "$work/db.err")"
done
[ ! -e "$work/db_values.txt" ] || fail "from-hlstats wrote a file"
[ "$failures" -eq 0 ] || exit 1
echo "check and from-logs work; from-hlstats says: $(tr -d '\r' <"$work/db.err")"
