#!/bin/sh
# Prints the plugin's exported names, as dlls/plugin/exports.txt lists
# them, in byte order on one line, separated by single spaces: the form the
# checks of a built library compare its export table with.
#   tools/entry-points.sh [--lines]
# --lines prints them one a line in the list's own order instead.
set -eu
list=$(dirname "$0")/../dlls/plugin/exports.txt
names=$(grep -v -e '^#' -e '^[[:space:]]*$' "$list")
if [ "${1:-}" = --lines ]; then
  echo "$names"
else
  echo "$names" | LC_ALL=C sort | paste -s -d ' ' -
fi
