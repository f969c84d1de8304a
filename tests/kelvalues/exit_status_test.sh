#!/bin/sh
# The exit statuses a cron job acts on, through the kelvalues program itself:
# check's 0/1/3 and every command's 2 with a one-line message on wrong
# arguments.  Usage: exit_status_test.sh KELVALUES
set -eu
kelvalues=$1
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

expect 0 check "$work/clean.txt"
expect 1 check "$work/warned.txt"
expect 3 check "$work/zero.txt"
expect 3 check "$work/missing.txt"
expect 3 check "$work"
expect 0 --help
grep -q '^usage: kelvalues' "$work/stdout" || { echo "FAIL: --help" >&2; failures=$((failures + 1)); }

expect 2
expect 2 no-such-command
expect 2 check
expect 2 check "$work/clean.txt" "$work/clean.txt"
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
