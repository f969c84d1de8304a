#!/bin/sh
# The exit statuses a cron job acts on, through the kelvalues program itself:
# check's 0/1/3 (3: do not install), every command's --help (0, its usage),
# --version, and every command's 2 with a one-line message on wrong
# arguments.  Usage: exit_status_test.sh KELVALUES VERSION
set -eu
kelvalues=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
version=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/kelvalues_status.XXXXXX")
trap 'rm -rf "$work"' EXIT

failures=0
# expect STATUS ARGUMENT...: the status, and one line on standard error
# for a usage error.
expect() {
  want=$1
  shift
  status=0
  "$kelvalues" "$@" >"$work/stdout" 2>"$work/stderr" || status=$?
  if [ "$status" -ne "$want" ]; then
    echo "FAIL: kelvalues $*: exit status $status, not $want" >&2
    failures=$((failures + 1))
  elif [ "$want" -eq 2 ] && [ "$(wc -l <"$work/stderr")" -ne 1 ]; then
    echo "FAIL: kelvalues $*: not one line on standard error:" >&2
    cat "$work/stderr" >&2
    failures=$((failures + 1))
  fi
}

printf 'STEAM_0:0:1,1000\nSTEAM_0:1:1,1200\n' >"$work/clean.txt"
printf 'STEAM_0:0:1,1000\nSTEAM_1:1:1,1200\n' >"$work/warned.txt"
printf 'STEAM_0:0:1,5\nSTEAM_0:0:2,-5\n' >"$work/zero.txt"
printf 'STEAM_0:0:1,1000\r\nSTEAM_0:1:1,1200\r\n' >"$work/crlf.txt"
# One typo among 40 values near 1000 makes every unknown player's default
# about 50 million.
i=1
while [ "$i" -le 40 ]; do
  echo "STEAM_0:0:$i,$((900 + i * 5))"
  i=$((i + 1))
done >"$work/typo.txt"
echo "STEAM_0:1:7,9999999999" >>"$work/typo.txt"
cp "$work/clean.txt" "$work/-dash.txt"

expect 0 check "$work/clean.txt"
expect 1 check "$work/warned.txt"
expect 1 check "$work/crlf.txt"
expect 3 check "$work/typo.txt"
expect 3 check "$work/zero.txt"
expect 3 check "$work/missing.txt"
expect 3 check "$work"
cd "$work"
expect 0 check -- -dash.txt
cd - >/dev/null
expect 0 --help
grep -q '^usage: kelvalues' "$work/stdout" || { echo "FAIL: --help" >&2; failures=$((failures + 1)); }
for command in check from-logs from-hlstats; do
  expect 0 "$command" --help
  grep -q "^usage: kelvalues $command " "$work/stdout" ||
    { echo "FAIL: $command --help" >&2; failures=$((failures + 1)); }
done
expect 0 --version
[ "$(cat "$work/stdout")" = "kelvalues $version" ] ||
  { echo "FAIL: --version: $(cat "$work/stdout")" >&2; failures=$((failures + 1)); }
# A FIFO nobody writes into as the password file is refused at once (on
# Linux: the Windows build has no from-hlstats; windows_test.sh sets
# KEL_TEST_WINDOWS).
if [ -z "${KEL_TEST_WINDOWS:-}" ]; then
  mkfifo -m 600 "$work/fifo"
  expect_within() {
    want=$1
    shift
    status=0
    timeout 20 "$kelvalues" "$@" >"$work/stdout" 2>"$work/stderr" || status=$?
    [ "$status" -eq "$want" ] ||
      { echo "FAIL: kelvalues $*: exit status $status, not $want" >&2; failures=$((failures + 1)); }
  }
  expect_within 1 from-hlstats --socket "$work/none.sock" --user u --password-file "$work/fifo" \
    --database d --game g
  grep -q 'is not a regular file' "$work/stderr" ||
    { echo "FAIL: the FIFO: $(cat "$work/stderr")" >&2; failures=$((failures + 1)); }
fi

expect 2
expect 2 no-such-command
expect 2 check
expect 2 check "$work/clean.txt" "$work/clean.txt"
expect 2 check --what
expect 2 from-logs "$work/clean.txt" --half-life 1e300
expect 2 from-logs "$work/clean.txt" --half-life 36526
expect 2 from-logs "$work/clean.txt" --now yesterday
expect 2 from-logs "$work/clean.txt" --max-players 0
expect 2 from-hlstats
expect 2 from-hlstats --socket s --user u --password-file f --database d
expect 2 from-hlstats --host h --socket s --user u --password-file f --database d --game g
expect 2 from-hlstats --host h --port 70000 --user u --password-file f --database d --game g
expect 2 from-hlstats --host h --user u --password-file f --database d --game g --average 0
expect 2 from-hlstats --host h --user u --user v --password-file f --database d --game g
expect 2 from-hlstats --host h --user u --password-file f --database d --game g --what
expect 2 from-hlstats --host h --user u --password-file f --database d --game

[ "$failures" -eq 0 ] || exit 1
echo "exit statuses: passed"
