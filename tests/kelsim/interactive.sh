#!/bin/sh
# kelsim's prompt with standard input from a file, as a script would drive
# it: no prompt decoration, the transcript as the steps run, a bad line
# refused with one line while the session goes on, "help" listing every step
# of the README's table, "quit" ending it; the server console's variables and
# status; the window of expect; and a scenario played first with
# --then-interactive.
#
#   interactive.sh SOURCE_DIR PLUGIN [EMULATOR] KELSIM
set -eu
source_dir=$1
plugin=$2
shift 2
out=$(mktemp)
help=$(mktemp)
readme=$(mktemp)
trap 'rm -f "$out" "$help" "$readme"' EXIT
fail() {
  echo "FAIL: $*"
  cat "$out"
  exit 1
}

status=0
"$@" --plugin "$plugin" --interactive <"$source_dir/tests/kelsim/session.txt" >"$out" 2>&1 ||
  status=$?
[ "$status" -eq 2 ] || fail "a session with refused lines exits with $status, not 2"
grep -q 'kelsim>' "$out" && fail "a piped session shows the prompt"
refusals=$(grep -c '^!! ' "$out" || true)
[ "$refusals" -eq 2 ] || fail "$refusals refusals, not 2"
grep -qxF '!! line 2: unknown step "frobnicate"; "help" lists the steps' "$out" ||
  fail "the unknown step is not refused by its line"
grep -qxF '!! line 6: no connected player called "Nobody"' "$out" ||
  fail "the step that cannot run is not refused by its line"
# The lines after each refusal ran, and their expects held.
grep -qF '>> connect Bob STEAM_0:1:2002 marines' "$out" || fail "the session stopped at line 2"
grep -qxF '== 8 steps, 0 failed expectations, 0 host errors, 2 refused lines' "$out" ||
  fail "the summary is not that of eight steps run and two lines refused"
grep -qF '>> console stv' "$out" && fail "a step after quit ran"

# help prints the one table of steps; the README's table of the scenario
# language documents the same steps.
sed -n 's/^  \([a-z_-]\{1,\}\).*/\1/p' "$out" | grep -v -x -e help -e quit | sort -u >"$help"
[ "$(wc -l <"$help")" -ge 28 ] || fail "help lists $(wc -l <"$help") steps"
sed -n '/^| step | what happens |$/,/^$/ s/^| `\([a-z_-]\{1,\}\)[ `].*/\1/p' \
  "$source_dir/tools/kelsim/README.md" | sort -u >"$readme"
diff "$help" "$readme" >/dev/null ||
  fail "help and the README's step table differ: $(diff "$help" "$readme" | grep '^[<>]' | tr '\n' ' ')"

# The server console as operators know it, and the window of expect: the
# expect steps of one run look at the same lines in either order, so the
# expect-not of line 12 fails on the line its run's expect found, and only
# it fails.
version=$(cat "$(dirname "$plugin")/kel_version.txt")
status=0
"$@" --plugin "$plugin" --interactive >"$out" 2>&1 <<SESSION || status=$?
cvar mp_serverops STEAM_0:1:1001
connect Admin STEAM_0:1:1001
repeat 3 connect Marine{i} STEAM_0:0:{i+2000} marines
connect-bot Botty aliens
kill Marine2
console mm_kel_version
console kel_autobalance 30
cvar kel_autobalance
status
console kel
expect-not "Death-time"
expect-not "next Marine to die"
expect "Teams unbalanced"
console kel_immunity
expect "[console] \"kel_immunity\" is \"0\""
expect-not "Teams unbalanced"
SESSION
[ "$status" -eq 1 ] || fail "a session with one failed expectation exits with $status, not 1"
grep -qxF "[    0.00]    [console] \"mm_kel_version\" is \"$version\"" "$out" ||
  fail "console mm_kel_version does not print the value as a server console does"
grep -qxF '[    0.00]    -- kel_autobalance is "30"' "$out" || fail "console NAME VALUE does not set it"
for row in '"Admin" 1 STEAM_0:1:1001 readyroom alive' '"Marine1" 2 STEAM_0:0:2001 marines alive' \
  '"Marine2" 3 STEAM_0:0:2002 marines dead' '"Botty" 5 BOT aliens alive'; do
  grep -qF -- "$row" "$out" || fail "status lacks: $row"
done
grep -qF '[console] players :  5 active (32 max)' "$out" || fail "status does not count 5 players"
[ "$(grep -c '^!! ' "$out")" -eq 1 ] || fail "not exactly one failed expectation"
grep -qF '!! line 12: expectation failed: a transcript line since the previous expects holds "next Marine to die"' "$out" ||
  fail "the expect-not before its run's expect does not see the step's lines"

# A scenario first, then the prompt: the end of input ends it all well.
status=0
"$@" --plugin "$plugin" --then-interactive "$source_dir/tests/kelsim_clients.kel" \
  </dev/null >"$out" 2>&1 || status=$?
[ "$status" -eq 0 ] || fail "--then-interactive exits with $status"
grep -qxF '== 18 steps, 0 failed expectations, 0 host errors' "$out" ||
  fail "--then-interactive did not play the scenario's 18 steps"
echo "interactive: refusals, help, console variables, status, the expect window and --then-interactive as expected"
