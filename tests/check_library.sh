#!/bin/sh
# Reads a built plugin library's exported surface the way a deployment review
# would: exactly the entry points dlls/plugin/exports.txt lists, which the
# plugin manager looks up (any other exported symbol would be a name clash
# waiting to happen inside the server process).  What the library needs to load is tools/check-loadable.sh's.
#
#   check_library.sh LIBRARY
set -eu
lib=$1

expected=$("$(dirname "$0")/../tools/entry-points.sh")
exports=$(readelf --dyn-syms -W "$lib" |
  awk '$7 != "UND" && $7 != "Ndx" && ($5 == "GLOBAL" || $5 == "WEAK") &&
       $4 != "SECTION" && $4 != "FILE" && NF >= 8 {sub(/@.*/, "", $8); print $8}' |
  LC_ALL=C sort -u | tr '\n' ' ' | sed 's/ $//')
if [ "$exports" = "$expected" ]; then
  echo "exports: $exports"
else
  echo "FAIL: exports [$exports], expected exactly [$expected]"
  exit 1
fi
