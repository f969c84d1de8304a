#!/bin/sh
# Static check of the Windows plugin library.  These machines cannot run a
# 32-bit Windows program, so the DLL is judged by what it declares:
#   1. it is a PE32 DLL for i386;
#   2. its export table holds exactly the entry points that
#      dlls/plugin/exports.txt lists (tools/entry-points.sh), under their
#      plain names (Metamod looks them up with GetProcAddress by plain name,
#      so "GiveFnptrsToDll@8" would not be found);
#   3. GiveFnptrsToDll is stdcall, as the engine calls it on Windows: its
#      code returns with "ret $0x8" (a cdecl body would leave 8 bytes on the
#      engine's stack at every load);
#   4. it imports only DLLs that every Windows ships (no libstdc++, libgcc
#      or winpthread DLL that the server would not have).
# Usage: tools/check-dll.sh path/to/kel_mm.dll
#        tools/check-dll.sh --program path/to/kelvalues.exe
# The second form checks the Windows kelvalues instead: a PE32+ x86-64
# program (not a DLL) that, like the plugin, imports only DLLs that every
# Windows ships (checks 1 and 4).
# Exits 0 when every check holds, 1 with one line per failed check.
set -eu
# shellcheck source=tools/lib/checks.sh
. "$(dirname "$0")/lib/checks.sh"

program=no
if [ "${1:-}" = --program ]; then
  program=yes
  shift
fi
if [ "$program" = yes ]; then
  OBJDUMP=${OBJDUMP:-x86_64-w64-mingw32-objdump}
else
  OBJDUMP=${OBJDUMP:-i686-w64-mingw32-objdump}
fi
NM=${NM:-i686-w64-mingw32-nm}
EXPECTED_EXPORTS=$("$(dirname "$0")/entry-points.sh")
# Lower-cased names of system DLLs present on every Windows the server runs
# on.  The C runtime is the system msvcrt.dll, not a versioned or UCRT one.
ALLOWED_IMPORTS="kernel32.dll msvcrt.dll user32.dll advapi32.dll ws2_32.dll ntdll.dll shell32.dll"

if [ $# -ne 1 ]; then
  echo "usage: $0 kel_mm.dll | $0 --program kelvalues.exe" >&2
  exit 2
fi
dll=$1
if [ ! -f "$dll" ]; then
  echo "FAIL: no such file: $dll"
  exit 1
fi
if ! command -v "$OBJDUMP" >/dev/null 2>&1; then
  echo "FAIL: $OBJDUMP not found (Debian package binutils-mingw-w64-i686 or -x86-64)"
  exit 1
fi

make_work

# ---------------------------------------------------------------- image kind
if ! "$OBJDUMP" -p "$dll" >"$work/headers" 2>"$work/err"; then
  fail "$dll is not a PE image ($(head -n 1 "$work/err"))"
  exit 1
fi
# Characteristics: 0x2000 is IMAGE_FILE_DLL.
characteristics=$(awk '/^Characteristics/ {print $2; exit}' "$work/headers")
if [ "$program" = yes ]; then
  grep -q 'file format pei-x86-64$' "$work/headers" || fail "not an x86-64 PE image"
  grep -Eq '^Magic[[:space:]]+020b[[:space:]]+\(PE32\+\)' "$work/headers" ||
    fail "not PE32+ (optional header magic is not 020b)"
  if [ -z "$characteristics" ] || [ $((characteristics & 0x2000)) -ne 0 ]; then
    fail "not a program (characteristics ${characteristics:-missing})"
  fi
else
  grep -q 'file format pei-i386$' "$work/headers" || fail "not an i386 PE image"
  grep -Eq '^Magic[[:space:]]+010b[[:space:]]+\(PE32\)' "$work/headers" || fail "not PE32 (optional header magic is not 010b)"
  if [ -z "$characteristics" ] || [ $((characteristics & 0x2000)) -eq 0 ]; then
    fail "not a DLL (characteristics ${characteristics:-missing})"
  fi
fi

if [ "$program" = no ]; then
# ------------------------------------------------------------------- exports
# The name table lines read "[   2] GiveFnptrsToDll"; the number in brackets
# indexes the export address table, whose lines read "[   2] +base[   3] 2400".
awk '/^\[Ordinal\/Name Pointer\] Table/ {on = 1; next}
     on && /^[[:space:]]*$/ {exit}
     on && /\[ *[0-9]+\]/ {sub(/^[[:space:]]*\[ */, ""); sub(/\]/, ""); print $1, $2}' \
  "$work/headers" >"$work/exports"
awk '/^Export Address Table -- Ordinal Base/ {on = 1; next}
     on && /^[[:space:]]*$/ {exit}
     on && /\+base/ {sub(/^[[:space:]]*\[ */, ""); sub(/\].*\] */, " "); print $1, $2}' \
  "$work/headers" >"$work/export-rvas"

actual_exports=$(cut -d' ' -f2 "$work/exports" | LC_ALL=C sort | tr '\n' ' ' | sed 's/ $//')
if [ "$actual_exports" != "$EXPECTED_EXPORTS" ]; then
  fail "exports are [$actual_exports], expected exactly [$EXPECTED_EXPORTS]"
fi

# --------------------------------------------------- GiveFnptrsToDll is stdcall
# Disassemble the exported body from its address to the next symbol (or at
# most 512 bytes when the image has no symbol table) and require that the
# first return met is "ret $0x8": a stdcall function of two pointer
# arguments pops them on return, a cdecl one returns with a plain "ret".
give_index=$(awk '$2 == "GiveFnptrsToDll" {print $1}' "$work/exports")
if [ -n "$give_index" ]; then
  give_rva=$(awk -v i="$give_index" '$1 == i {print $2}' "$work/export-rvas")
  image_base=$(awk '/^ImageBase/ {print $2; exit}' "$work/headers")
  if [ -z "$give_rva" ] || [ -z "$image_base" ]; then
    fail "cannot find the address of GiveFnptrsToDll"
  else
    start=$((0x$image_base + 0x$give_rva))
    stop=$((start + 512))
    next=$("$NM" -n "$dll" 2>/dev/null |
      awk -v s="$start" '{ a = 0; for (k = 1; k <= length($1); k++)
          a = a * 16 + index("0123456789abcdef", tolower(substr($1, k, 1))) - 1
        if (a > s) { print a; exit } }' || true)
    if [ -n "$next" ] && [ "$next" -lt "$stop" ]; then
      stop=$next
    fi
    first_ret=$("$OBJDUMP" -d --start-address="$start" --stop-address="$stop" "$dll" |
      grep -E '[[:space:]]ret[lw]?([[:space:]]|$)' | head -n 1 || true)
    # shellcheck disable=SC2016 # a literal "$0x8", as objdump prints it
    case "$first_ret" in
      *'ret '*'$0x8'*) ;;
      '') fail "GiveFnptrsToDll: no return found in its body" ;;
      *) fail "GiveFnptrsToDll is not stdcall: it returns with '$(echo "$first_ret" | awk -F'\t' '{print $NF}')', expected 'ret \$0x8'" ;;
    esac
  fi
fi
fi  # the plugin's exports

# ------------------------------------------------------------------- imports
grep 'DLL Name:' "$work/headers" | awk '{print $NF}' >"$work/imports" || true
while read -r name; do
  lower=$(echo "$name" | tr '[:upper:]' '[:lower:]')
  case " $ALLOWED_IMPORTS " in
    *" $lower "*) ;;
    *) fail "imports $name, which Windows does not ship (link the runtimes statically)" ;;
  esac
done <"$work/imports"

if [ "$failures" -ne 0 ]; then
  echo "$dll: $failures check(s) failed"
  exit 1
fi
if [ "$program" = yes ]; then
  echo "$dll: PE32+ x86-64 program; imports $(tr '\n' ' ' <"$work/imports" | sed 's/ $//' | tr ' ' ',')"
  exit 0
fi
echo "$dll: PE32 i386 DLL; exports $(echo "$EXPECTED_EXPORTS" | tr ' ' ','); GiveFnptrsToDll is stdcall; imports $(tr '\n' ' ' <"$work/imports" | sed 's/ $//' | tr ' ' ',')"
