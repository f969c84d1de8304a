#!/bin/sh
# kelvalues from-hlstats against a real MariaDB server that this test starts
# in a temporary folder (on a socket, no network), fills with the two stats
# tables and a few rows, and always stops and removes again.
# Usage: hlstats_test.sh KELVALUES
set -eu
kelvalues=$1

find_program() {
  for candidate in "$(command -v "$1" 2>/dev/null || true)" "/usr/sbin/$1" "/usr/bin/$1"; do
    if [ -n "$candidate" ] && [ -x "$candidate" ]; then
      echo "$candidate"
      return 0
    fi
  done
  echo "FAIL: $1 not found (Debian's mariadb-server package)" >&2
  exit 1
}
install_db=$(find_program mariadb-install-db)
server=$(find_program mariadbd)
client=$(find_program mariadb)

work=$(mktemp -d "${TMPDIR:-/tmp}/kelvalues_hlstats.XXXXXX")
socket=$work/server.sock
server_pid=""
stop_server() {
  if [ -n "$server_pid" ]; then
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
    server_pid=""
  fi
}
cleanup() {
  stop_server
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

fail() {
  echo "FAIL: $*" >&2
  [ -f "$work/server.log" ] && tail -n 20 "$work/server.log" >&2
  exit 1
}

me=$(id -un)
"$install_db" --no-defaults --datadir="$work/data" --user="$me" \
  --auth-root-authentication-method=normal --skip-test-db >"$work/install.log" 2>&1 ||
  { cat "$work/install.log" >&2; fail "mariadb-install-db failed"; }
"$server" --no-defaults --datadir="$work/data" --socket="$socket" --skip-networking \
  --user="$me" --pid-file="$work/server.pid" --log-error="$work/server.log" \
  --innodb-buffer-pool-size=8M --skip-log-bin >/dev/null 2>&1 &
server_pid=$!

sql() { "$client" --no-defaults --socket="$socket" -u root "$@"; }
tries=0
until sql -e "SELECT 1" >/dev/null 2>&1; do
  tries=$((tries + 1))
  [ "$tries" -le 150 ] || fail "the server did not start within 30 s"
  kill -0 "$server_pid" 2>/dev/null || fail "the server stopped while starting"
  sleep 0.2
done

# The two tables as the stats system's installer shapes them (only the
# columns that matter here), and rows for: a player with two ids, a hidden
# player, an id merged into another player, a bot, one id written in two
# forms by two players (the one seen last counts), another game, and a
# game whose code would widen a query built by pasting it in.
sql <<'EOF' || fail "cannot create the tables"
CREATE DATABASE hlstats CHARACTER SET utf8mb4;
USE hlstats;
CREATE TABLE hlstats_Players (
  playerId INT UNSIGNED NOT NULL PRIMARY KEY,
  lastName VARCHAR(64) NOT NULL DEFAULT '',
  game VARCHAR(32) NOT NULL DEFAULT '',
  skill INT UNSIGNED NOT NULL DEFAULT 1000,
  kills INT UNSIGNED NOT NULL DEFAULT 0,
  deaths INT UNSIGNED NOT NULL DEFAULT 0,
  hideranking INT(1) UNSIGNED NOT NULL DEFAULT 0,
  last_event INT NOT NULL DEFAULT 0
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;
CREATE TABLE hlstats_PlayerUniqueIds (
  playerId INT UNSIGNED NOT NULL DEFAULT 0,
  uniqueId VARCHAR(64) NOT NULL DEFAULT '',
  game VARCHAR(32) NOT NULL DEFAULT '',
  `merge` INT UNSIGNED DEFAULT NULL,
  PRIMARY KEY (uniqueId, game)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;
INSERT INTO hlstats_Players (playerId, lastName, game, skill, hideranking, last_event) VALUES
  (1, 'Ann', 'mymod', 1500, 0, 100),
  (2, 'Bob', 'mymod', 500, 0, 100),
  (3, 'Hidden', 'mymod', 3000, 1, 100),
  (4, 'Merged', 'mymod', 9000, 0, 100),
  (5, 'Bot01', 'mymod', 1000, 0, 100),
  (6, 'Cyd old', 'mymod', 1000, 0, 100),
  (7, 'Cyd', 'mymod', 2000, 0, 200),
  (8, 'Other', 'othermod', 1000, 0, 100),
  (9, 'Quote', 'x'' OR ''1''=''1', 777, 0, 100);
INSERT INTO hlstats_PlayerUniqueIds (playerId, uniqueId, game, `merge`) VALUES
  (1, '1:100', 'mymod', NULL),
  (1, 'STEAM_0:0:200', 'mymod', NULL),
  (2, '0:101', 'mymod', NULL),
  (3, '1:102', 'mymod', NULL),
  (4, '0:103', 'mymod', 2),
  (5, 'BOT:Bot01', 'mymod', NULL),
  (6, '1:104', 'mymod', NULL),
  (7, 'STEAM_0:1:104', 'mymod', NULL),
  (8, '1:105', 'othermod', NULL),
  (9, '1:106', 'x'' OR ''1''=''1', NULL);
CREATE USER 'kel'@'localhost' IDENTIFIED BY 'night job';
GRANT SELECT ON hlstats.* TO 'kel'@'localhost';
EOF

printf 'night job\n' >"$work/password"
chmod 600 "$work/password"
printf 'wrong\n' >"$work/wrong_password"
chmod 600 "$work/wrong_password"
from_hlstats() {
  "$kelvalues" from-hlstats --socket "$socket" --user kel --database hlstats "$@"
}

# Ann's two ids carry her value; Cyd's id goes with the player seen last
# (2000); Hidden, the merged id, the bot and the other games are left out.
# Skills 1500, 1500, 500, 2000 average 1375, scaled to 1000.
target=$work/player_values.txt
printf 'STEAM_0:0:1,1000\n' >"$target"
from_hlstats --password-file "$work/password" --game mymod -o "$target" 2>"$work/stderr" ||
  { cat "$work/stderr" >&2; fail "from-hlstats failed"; }
printf 'STEAM_0:0:101,364\nSTEAM_0:0:200,1091\nSTEAM_0:1:100,1091\nSTEAM_0:1:104,1455\n' \
  >"$work/expected"
cmp -s "$target" "$work/expected" || { diff "$work/expected" "$target" >&2; fail "output"; }
grep -q '^4 entries, average 1000, minimum 364, maximum 1455$' "$work/stderr" ||
  { cat "$work/stderr" >&2; fail "summary"; }
grep -q '^6 rows read; left out: 1 ids that are no Steam ids, 0 rows without an id or skill; 1 ids named twice' \
  "$work/stderr" || { cat "$work/stderr" >&2; fail "counts"; }
"$kelvalues" check "$target" >"$work/check" || { cat "$work/check" >&2; fail "check of the output"; }

# The game code is a parameter: the hostile code matches its own player only.
from_hlstats --password-file "$work/password" --game "x' OR '1'='1" >"$work/stdout" 2>/dev/null ||
  fail "from-hlstats with a quoted game code"
[ "$(cat "$work/stdout")" = "STEAM_0:1:106,1000" ] || fail "quoted game code gave: $(cat "$work/stdout")"

# Failures: exit status 1, one line on standard error, the target untouched.
expect_failure() {
  what=$1
  shift
  cp "$target" "$work/before"
  status=0
  from_hlstats "$@" -o "$target" >/dev/null 2>"$work/stderr" || status=$?
  [ "$status" -eq 1 ] || fail "$what: exit status $status"
  [ "$(wc -l <"$work/stderr")" -eq 1 ] || { cat "$work/stderr" >&2; fail "$what: not one line"; }
  cmp -s "$target" "$work/before" || fail "$what: the target changed"
  [ "$(ls "$work" | grep -c '^player_values.txt')" -eq 1 ] || fail "$what: a file was left"
}
expect_failure "wrong password" --password-file "$work/wrong_password" --game mymod
grep -q '^kelvalues: cannot connect to the database: Access denied' "$work/stderr" ||
  fail "wrong password: $(cat "$work/stderr")"
expect_failure "no such game" --password-file "$work/password" --game nosuchgame
expect_failure "missing password file" --password-file "$work/none" --game mymod
chmod 604 "$work/password"
expect_failure "password file open to all" --password-file "$work/password" --game mymod
chmod 600 "$work/password"

# Wrong arguments: exit status 2, nothing asked of the server.
status=0
from_hlstats --password-file "$work/password" --game mymod --port 3306 2>/dev/null || status=$?
[ "$status" -eq 2 ] || fail "--port with --socket: exit status $status"

stop_server

# A connection lost while the rows come (a server that drops it after the
# columns, or after a row) is a failure that says so, never an empty reason.
for stage in fetch row; do
  rm -f "$work/dropping.sock.ready"
  python3 "$(dirname "$0")/dropping_server.py" "$work/dropping.sock" "$stage" &
  server_pid=$!
  tries=0
  until [ -e "$work/dropping.sock.ready" ]; do
    tries=$((tries + 1))
    [ "$tries" -le 100 ] || fail "the dropping server did not start"
    sleep 0.1
  done
  status=0
  "$kelvalues" from-hlstats --socket "$work/dropping.sock" --user kel --database hlstats \
    --password-file "$work/password" --game mymod -o "$target" >/dev/null 2>"$work/stderr" || status=$?
  [ "$status" -eq 1 ] || fail "connection lost at $stage: exit status $status"
  grep -q '^kelvalues: the database refused the query: [^ ]' "$work/stderr" ||
    fail "connection lost at $stage: no reason given: $(cat "$work/stderr")"
  stop_server
done
echo "from-hlstats against MariaDB: passed"
