#!/bin/sh
# kelvalues on a host without the MariaDB client library: check and
# from-logs work as ever, and from-hlstats fails with one line that says
# what to install.  The library is hidden, not removed: in a mount namespace
# of the test's own, an overlay over its folder whites it out, so the
# loader finds no libmariadb.so.3 anywhere (ld.so.cache still names it).
# That needs root and overlayfs; where either is missing the test says so
# and exits 77, which ctest shows as skipped.  On a host that has no
# libmariadb.so.3 at all it runs as it is.
# Usage: without_mariadb_test.sh KELVALUES
set -eu
kelvalues=$(cd "$(dirname "$1")" && pwd -P)/$(basename "$1")
work=$(mktemp -d "${TMPDIR:-/tmp}/kelvalues_nomariadb.XXXXXX")
trap 'rm -rf "$work"' EXIT

# What the test runs on the host as it then is.
cat >"$work/run.sh" <<'EOF'
set -eu
kelvalues=$1 work=$2
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
printf 'STEAM_0:0:1,1000\nSTEAM_0:1:1,1200\n' >"$work/values.txt"
"$kelvalues" check "$work/values.txt" >"$work/check.out" 2>&1 || fail "check: $(cat "$work/check.out")"

# Two players, each winning 30 of their 60 meetings.
i=0
while [ "$i" -lt 30 ]; do
  echo "L 03/14/2024 - 21:07:$((10 + i % 50)): \"Ann<12><STEAM_0:1:4242><marine1team>\" killed \"Bob<13><STEAM_0:0:777><alien1team>\" with \"lmg\""
  echo "L 03/14/2024 - 21:08:$((10 + i % 50)): \"Bob<13><STEAM_0:0:777><alien1team>\" killed \"Ann<12><STEAM_0:1:4242><marine1team>\" with \"bite\""
  i=$((i + 1))
done >"$work/L0314000.log"
if "$kelvalues" from-logs "$work/L0314000.log" -o "$work/logs_values.txt" 2>"$work/logs.err"; then
  [ "$(cat "$work/logs_values.txt")" = "$(printf 'STEAM_0:0:777,1000\nSTEAM_0:1:4242,1000')" ] ||
    fail "from-logs wrote: $(cat "$work/logs_values.txt")"
else
  fail "from-logs: $(cat "$work/logs.err")"
fi

printf 'secret\n' >"$work/password"
chmod 600 "$work/password"
status=0
"$kelvalues" from-hlstats --socket "$work/none.sock" --user kel --password-file "$work/password" \
  --database hlstats --game ns -o "$work/db_values.txt" >"$work/db.out" 2>"$work/db.err" || status=$?
[ "$status" -eq 1 ] || fail "from-hlstats: exit status $status, not 1"
[ "$(wc -l <"$work/db.err")" -eq 1 ] || fail "from-hlstats: not one line: $(cat "$work/db.err")"
for text in "kelvalues: from-hlstats needs the MariaDB client library libmariadb.so.3" \
  "apt-get install libmariadb3" "yum install mariadb-connector-c"; do
  grep -qF "$text" "$work/db.err" || fail "from-hlstats does not say \"$text\": $(cat "$work/db.err")"
done
[ ! -e "$work/db_values.txt" ] || fail "from-hlstats wrote a file"
[ "$failures" -eq 0 ] || exit 1
echo "without libmariadb.so.3: check and from-logs work; from-hlstats says: $(cat "$work/db.err")"
EOF

library=$(ldconfig -p 2>/dev/null | awk '$1 == "libmariadb.so.3" && /x86-64/ {print $NF; exit}')
if [ -z "$library" ] || [ ! -e "$library" ]; then
  exec sh "$work/run.sh" "$kelvalues" "$work"
fi
if [ "$(id -u)" -ne 0 ] || ! unshare --mount true 2>/dev/null; then
  echo "SKIPPED: hiding $library needs root and a mount namespace (unshare)"
  exit 77
fi
folder=$(cd "$(dirname "$library")" && pwd -P)
mkdir "$work/upper" "$work/overlay-work"
mknod "$work/upper/libmariadb.so.3" c 0 0
status=0
# shellcheck disable=SC2016 # expanded by the inner shell
unshare --mount --propagation private sh -c '
  mount -t overlay kelvalues-test -o "lowerdir=$1,upperdir=$2/upper,workdir=$2/overlay-work" "$1" ||
    exit 77
  [ ! -e "$1/libmariadb.so.3" ] || { echo "FAIL: the overlay did not hide the library"; exit 1; }
  exec sh "$2/run.sh" "$3" "$2"' hide "$folder" "$work" "$kelvalues" || status=$?
[ "$status" -ne 77 ] || echo "SKIPPED: cannot mount an overlay over $folder here"
exit "$status"
