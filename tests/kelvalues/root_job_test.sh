#!/bin/sh
# kelvalues from-logs as a root cron job over folders the game server's user
# may write: -o follows no link another user planted and writes into no
# folder others may write, and a log nobody may read stops the job unless
# --skip-unreadable.  Run as root (as CI does), the other user is nobody
# (setpriv); run as anyone else, the cases that need a second user are
# skipped and the unreadable ones run as that user.
# Usage: root_job_test.sh KELVALUES
set -eu
work=$(mktemp -d "${TMPDIR:-/tmp}/kelvalues_root_job.XXXXXX")
trap 'chmod -R u+rwX "$work" 2>/dev/null; rm -rf "$work"' EXIT
chmod 755 "$work"
kelvalues=$1

failures=0
fail() {
  echo "FAIL: $*" >&2
  [ -f "$work/stderr" ] && sed 's/^/  stderr: /' "$work/stderr" >&2
  failures=$((failures + 1))
}

root=false
[ "$(id -u)" -eq 0 ] && root=true
# Runs a command as the unprivileged user: nobody when this test runs as
# root (root reads and writes whatever the modes say), else as it is.
as_user() {
  if $root; then
    setpriv --reuid=nobody --regid=nogroup --clear-groups "$@"
  else
    "$@"
  fi
}
user_owns() {
  if $root; then chown nobody:nogroup "$@"; fi
}
# Where the build lies in a folder the other user may not enter (/root is
# 0700), a copy in the test's folder.
if ! as_user "$kelvalues" --version >/dev/null 2>&1; then
  mkdir "$work/bin"
  cp "$kelvalues" "$work/bin/kelvalues"
  chmod 755 "$work/bin/kelvalues"
  kelvalues=$work/bin/kelvalues
fi

# expect STATUS [as_user] ARGUMENT...: the exit status of from-logs.
expect() {
  want=$1
  shift
  runner=""
  if [ "$1" = as_user ]; then
    runner=as_user
    shift
  fi
  status=0
  $runner "$kelvalues" from-logs --min-events 1 "$@" >"$work/stdout" 2>"$work/stderr" || status=$?
  if [ "$status" -ne "$want" ]; then
    fail "from-logs $*: exit status $status, not $want"
  elif [ "$want" -ne 0 ] && [ "$(grep -c '^kelvalues' "$work/stderr")" -ne 1 ]; then
    fail "from-logs $*: not one line saying why"
  fi
}
# said TEXT: standard error of the last run holds TEXT.
said() {
  grep -qF -- "$1" "$work/stderr" || fail "standard error does not say: $1"
}

kills() {
  k=0
  while [ "$k" -lt 30 ]; do
    printf 'L 05/01/2024 - 20:00:%02d: "K<1><STEAM_0:0:1><team_one>" killed "V<2><STEAM_0:0:2><team_two>" with "rifle"\n' "$k"
    printf 'L 05/01/2024 - 20:01:%02d: "K<1><STEAM_0:0:2><team_one>" killed "V<2><STEAM_0:0:1><team_two>" with "rifle"\n' "$k"
    k=$((k + 1))
  done
}
kills >"$work/a.log"
chmod 644 "$work/a.log"

# ---- -o: links and folders -------------------------------------------------
echo "root's own" >"$work/precious"
chmod 600 "$work/precious"
mkdir "$work/mine" "$work/game" "$work/shared"
ln -s real.txt "$work/mine/player_values.txt"
if $root; then
  # The game server's user plants a link in its own folder, as the last part
  # of the path and as a folder on the way.
  chown nobody:nogroup "$work/game"
  as_user ln -s "$work/precious" "$work/game/player_values.txt"
  as_user ln -s "$work/mine" "$work/game/through"
  expect 1 "$work/a.log" -o "$work/game/player_values.txt"
  said "will not follow the symbolic link $work/game/player_values.txt"
  [ "$(cat "$work/precious")" = "root's own" ] || fail "the planted link's target was replaced"
  expect 1 "$work/a.log" -o "$work/game/through/player_values.txt"
  said "will not follow the symbolic link $work/game/through"
  [ ! -e "$work/mine/real.txt" ] || fail "written through a planted folder link"

  # A folder another user owns and others may write: refused to root, not
  # to its owner.
  chown nobody:nogroup "$work/shared"
  chmod 777 "$work/shared"
  expect 1 "$work/a.log" -o "$work/shared/player_values.txt"
  said "will not write into $work/shared/: users other than its owner (user 65534)"
  [ -z "$(ls "$work/shared")" ] || fail "wrote into a folder others may write"
  # from-hlstats refuses it before it reads the password or connects.
  status=0
  "$kelvalues" from-hlstats --socket "$work/none.sock" --user u --password-file "$work/none" \
    --database d --game g -o "$work/shared/player_values.txt" 2>"$work/stderr" || status=$?
  [ "$status" -eq 1 ] || fail "from-hlstats into a shared folder: exit status $status, not 1"
  said "will not write into $work/shared/"
  expect 0 as_user "$work/a.log" -o "$work/shared/player_values.txt"
  [ -s "$work/shared/player_values.txt" ] || fail "the folder's owner was refused"
  # Root's links are followed by anyone.
  ln -s "$work/shared/player_values.txt" "$work/roots_link"
  expect 0 as_user "$work/a.log" -o "$work/roots_link"
  [ -L "$work/roots_link" ] || fail "root's link was replaced"
else
  echo "root_job_test: not root: the cases with a second user's links and folders are skipped"
fi
# One's own link is followed and stays; a device is written into.
expect 0 "$work/a.log" -o "$work/mine/player_values.txt"
[ -L "$work/mine/player_values.txt" ] && [ -s "$work/mine/real.txt" ] ||
  fail "one's own link was not followed"
expect 0 "$work/a.log" -o /dev/null

# ---- unreadable input ----------------------------------------------------------
mkdir -p "$work/logs/locked" "$work/out"
cp "$work/a.log" "$work/logs/a.log"
cp "$work/a.log" "$work/logs/locked/b.log"
cp "$work/a.log" "$work/secret.log"
chmod 755 "$work/logs" "$work/out"
chmod 644 "$work/logs/a.log" "$work/logs/locked/b.log"
user_owns "$work/out"
chmod 000 "$work/logs/locked" "$work/secret.log"
out=$work/out/player_values.txt
expect 1 as_user "$work/a.log" "$work/secret.log" -o "$out"
said "cannot read \"$work/secret.log\": Permission denied; nothing written"
expect 1 as_user "$work/logs" -o "$out"
said "cannot read \"$work/logs/locked\": Permission denied; nothing written"
expect 1 as_user "$work/logs" "$work/secret.log" -o "$out"
said "(and 1 more)"
[ ! -e "$out" ] || fail "a file was written although a log could not be read"
expect 0 as_user --skip-unreadable "$work/logs" "$work/secret.log" -o "$out"
said "from-logs: skipped, cannot read \"$work/logs/locked\": Permission denied"
said "from-logs: skipped, cannot read \"$work/secret.log\": Permission denied"
said "from-logs: read 1 files, 60 lines, 60 kills counted"
said "2 unreadable"
[ -s "$out" ] || fail "--skip-unreadable wrote no file"

[ "$failures" -eq 0 ] || exit 1
echo "root job: passed"
