#!/bin/sh
# kelvalues on a host without the MariaDB client library (commands_test.sh:
# check and from-logs work, from-hlstats says what to install).  The library
# is hidden, not removed: in a mount namespace of the test's own, an
# overlay over its folder whites it out, so the loader finds no
# libmariadb.so.3 anywhere (ld.so.cache still names it).  That needs root
# and overlayfs; where either is missing the test says so and exits 77,
# which ctest shows as skipped.  On a host that has no libmariadb.so.3 at
# all it runs as it is.
# Usage: without_mariadb_test.sh KELVALUES
set -eu
kelvalues=$(cd "$(dirname "$1")" && pwd -P)/$(basename "$1")
commands=$(cd "$(dirname "$0")" && pwd -P)/commands_test.sh
set -- "$commands" "$kelvalues" 1 \
  "kelvalues: from-hlstats needs the MariaDB client library libmariadb.so.3" \
  "apt-get install libmariadb3" "yum install mariadb-connector-c"

library=$(ldconfig -p 2>/dev/null | awk '$1 == "libmariadb.so.3" && /x86-64/ {print $NF; exit}')
if [ -z "$library" ] || [ ! -e "$library" ]; then
  exec sh "$@"
fi
if [ "$(id -u)" -ne 0 ] || ! unshare --mount true 2>/dev/null; then
  echo "SKIPPED: hiding $library needs root and a mount namespace (unshare)"
  exit 77
fi
folder=$(cd "$(dirname "$library")" && pwd -P)
work=$(mktemp -d "${TMPDIR:-/tmp}/kelvalues_nomariadb.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/upper" "$work/overlay-work"
mknod "$work/upper/libmariadb.so.3" c 0 0
status=0
# shellcheck disable=SC2016 # expanded by the inner shell
unshare --mount --propagation private sh -c '
  folder=$1 work=$2
  shift 2
  mount -t overlay kelvalues-test -o "lowerdir=$folder,upperdir=$work/upper,workdir=$work/overlay-work" \
    "$folder" || exit 77
  [ ! -e "$folder/libmariadb.so.3" ] || { echo "FAIL: the overlay did not hide the library"; exit 1; }
  exec sh "$@"' hide "$folder" "$work" "$@" || status=$?
[ "$status" -ne 77 ] || echo "SKIPPED: cannot mount an overlay over $folder here"
exit "$status"
