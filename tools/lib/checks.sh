# shellcheck shell=sh
# What the release checks (tools/check-*.sh) and their self-tests
# (tests/release/) share; sourced, never run.  It sets nothing up by being
# read: a script calls what it needs.

# A private folder in $work, removed however the script ends.
make_work() {
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
}

# A check's findings: each failed one reported and counted in $failures.
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
pass() {
  echo "ok: $*"
}

# A self-test's cases: each runs a check that must pass, or fail saying a
# given text.  judge_case NAME EXPECT OUTPUT COMMAND... runs COMMAND with its
# output in the file OUTPUT and counts case NAME in $passed or $failed:
# EXPECT is "pass", or a text the output must hold when the check fails.
passed=0
failed=0
judge_case() {
  judged_name=$1 judged_expect=$2 judged_output=$3
  shift 3
  if "$@" >"$judged_output" 2>&1; then judged=pass; else judged=fail; fi
  if [ "$judged_expect" = pass ] && [ "$judged" = pass ]; then
    echo "ok     $judged_name: accepted"
    passed=$((passed + 1))
  elif [ "$judged_expect" != pass ] && [ "$judged" = fail ] &&
    grep -qF -- "$judged_expect" "$judged_output"; then
    echo "ok     $judged_name: rejected ($(grep -F -- "$judged_expect" "$judged_output" |
      head -n 1 | cut -c1-120))"
    passed=$((passed + 1))
  else
    echo "FAILED $judged_name: expected ${judged_expect}, the check said:"
    sed 's/^/    /' "$judged_output"
    failed=$((failed + 1))
  fi
}

# The self-test's last line, "CHECK: N passed, M failed"; its status is the
# self-test's.
tally() {
  echo "$1: $passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}
