#!/bin/sh
# Reads what a Linux library (or program: kelvalues is checked at 2.17) needs
# from the system before the dynamic loader will load it, and fails unless
# every old server can give it:
#
#   - its NEEDED libraries are only the C library's own: libc.so.6,
#     libm.so.6, libdl.so.2, libpthread.so.0 and the dynamic loader
#     (ld-linux.so.2, ld-linux-x86-64.so.2);
#   - every symbol version it references, from any of them, is GLIBC_2.N or
#     GLIBC_2.N.M no newer than the floor (default 2.11).  Anything else
#     (GLIBC_PRIVATE, GLIBC_ABI_DT_RELR, a newer GLIBC_2.x, a GCC_ or
#     GLIBCXX_ version) fails.
#
# These are the loader's own tests: it refuses a library that names a
# version its C library lacks.  Each failure names the symbols that need the
# version, from the library's dynamic symbol table.
#
# Usage: tools/check-loadable.sh LIBRARY-OR-PROGRAM [FLOOR]
set -eu
lib=$1
floor=${2:-2.11}
allowed_needed="libc.so.6 libm.so.6 libdl.so.2 libpthread.so.0 ld-linux.so.2 ld-linux-x86-64.so.2"

if ! readelf -h "$lib" >/dev/null 2>&1; then
  echo "FAIL: $lib is not an ELF file"
  exit 1
fi
status=0
fail() {
  echo "FAIL: $*"
  status=1
}

# True when version $1 (2.N or 2.N.M) is no newer than $2.
not_newer() {
  [ "$(printf '%s\n%s\n' "$1" "$2" | sort -V | tail -n 1)" = "$2" ]
}

# ----------------------------------------------------------- NEEDED entries
needed=$(readelf -d -W "$lib" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
for name in $needed; do
  case " $allowed_needed " in
    *" $name "*) ;;
    *) fail "$lib needs $name; only the C library's own may be needed ($allowed_needed)" ;;
  esac
done

# --------------------------------------------------- version references
# readelf -V prints the version needs as "File: libc.so.6" lines, each
# followed by its "Name: GLIBC_2.1" lines.
references=$(readelf -V -W "$lib" | awk '
  /Version needs section/ { inneeds = 1; next }
  /Version (definition|symbols) section/ { inneeds = 0 }
  inneeds && /File:/ { for (i = 1; i <= NF; i++) if ($i == "File:") file = $(i + 1) }
  inneeds && /Name:/ { for (i = 1; i <= NF; i++) if ($i == "Name:") print file, $(i + 1) }')
# The symbols behind each version, as "name@VERSION" of the undefined ones.
symbols=$(readelf --dyn-syms -W "$lib" | awk '$7 == "UND" && index($8, "@") {print $8}')

newest=none
echo "$references" | {
  while read -r file version; do
    [ -n "$file" ] || continue
    ok=no
    case "$version" in
      GLIBC_2.[0-9] | GLIBC_2.[0-9][0-9] | GLIBC_2.[0-9].[0-9] | GLIBC_2.[0-9][0-9].[0-9])
        number=${version#GLIBC_}
        if not_newer "$number" "$floor"; then ok=yes; fi
        ;;
    esac
    if [ "$ok" = yes ]; then
      if [ "$newest" = none ] || ! not_newer "${version#GLIBC_}" "$newest"; then
        newest=${version#GLIBC_}
      fi
      continue
    fi
    users=$(echo "$symbols" | awk -v version="$version" '{
        at = index($0, "@"); v = substr($0, at + 1); sub(/^@/, "", v)
        if (v == version) print substr($0, 1, at - 1) }' | LC_ALL=C sort -u | tr '\n' ' ')
    if [ -n "$users" ]; then
      for symbol in $users; do
        echo "FAIL: $symbol needs $version from $file (floor: GLIBC_$floor)"
      done
    else
      echo "FAIL: $lib references $version from $file (floor: GLIBC_$floor)"
    fi
    status=1
  done
  echo "needs: $(echo $needed); newest symbol version: GLIBC_$newest (floor: GLIBC_$floor)"
  exit $status
} || status=1

if [ "$status" -ne 0 ]; then
  echo "check-loadable: $lib would not load on every server with glibc $floor or later"
  exit 1
fi
echo "check-loadable: $lib loads with glibc $floor or later"
