#!/bin/sh
# Reads a built plugin library the way a deployment review would.
#
#   check_library.sh LIBRARY              the exported surface only
#   check_library.sh LIBRARY MAX_GLIBC    also what the library needs to load
#
# Exported surface: exactly the six entry points the plugin manager looks up
# (any other exported symbol would be a name clash waiting to happen inside
# the server process).  Needs: no shared C++ or GCC runtime (an operator's
# box may have none or an older one), and no glibc symbol version newer than
# MAX_GLIBC.
set -eu
lib=$1
max_glibc=${2:-}
status=0
fail() { echo "FAIL: $*"; status=1; }

expected="GetEngineFunctions GetEntityAPI2 GiveFnptrsToDll Meta_Attach Meta_Detach Meta_Query"
exports=$(readelf --dyn-syms -W "$lib" |
  awk '$7 != "UND" && $7 != "Ndx" && ($5 == "GLOBAL" || $5 == "WEAK") &&
       $4 != "SECTION" && $4 != "FILE" && NF >= 8 {sub(/@.*/, "", $8); print $8}' |
  LC_ALL=C sort -u | tr '\n' ' ' | sed 's/ $//')
if [ "$exports" = "$expected" ]; then
  echo "exports: $exports"
else
  fail "exports [$exports], expected exactly [$expected]"
fi

if [ -n "$max_glibc" ]; then
  needed=$(readelf -d "$lib" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | tr '\n' ' ' | sed 's/ $//')
  echo "needs: $needed"
  case " $needed " in
    *" libstdc++"* | *" libgcc_s"*) fail "needs a shared C++ or GCC runtime: [$needed]" ;;
  esac
  newest=$(readelf -V -W "$lib" | grep -o 'GLIBC_[0-9][0-9.]*' | sed 's/GLIBC_//' |
    sort -uV | tail -n 1)
  echo "newest glibc version needed: ${newest:-none} (allowed: $max_glibc)"
  if [ -n "$newest" ] &&
    [ "$(printf '%s\n%s\n' "$newest" "$max_glibc" | sort -V | tail -n 1)" != "$max_glibc" ]; then
    fail "needs glibc $newest, newer than $max_glibc; from:"
    readelf --dyn-syms -W "$lib" | awk '$7 == "UND" {print $8}' | grep '@GLIBC_' |
      while IFS= read -r symbol; do
        version=${symbol##*@GLIBC_}
        if [ "$(printf '%s\n%s\n' "$version" "$max_glibc" | sort -V | tail -n 1)" != "$max_glibc" ]; then
          echo "  $symbol"
        fi
      done
  fi
fi
exit $status
