#!/bin/sh
# kelvalues.exe under Wine (tools/run-win64): the exit statuses of
# exit_status_test.sh, and the commands of commands_test.sh with
# from-hlstats answering that it is available on Linux only (wrong
# arguments for this build: status 2).  Exits 77, which ctest shows as
# skipped, where Wine is not installed.
# Usage: windows_test.sh KELVALUES.EXE VERSION
set -eu
exe=$(cd "$(dirname "$1")" && pwd -P)/$(basename "$1")
here=$(cd "$(dirname "$0")" && pwd -P)
run_win64=$here/../../tools/run-win64
work=$(mktemp -d "${TMPDIR:-/tmp}/kelvalues_windows.XXXXXX")
trap 'rm -rf "$work"' EXIT

status=0
sh "$run_win64" "$exe" --help >"$work/help" 2>&1 || status=$?
if [ "$status" -eq 77 ]; then
  echo "SKIPPED: $(cat "$work/help")"
  exit 77
elif [ "$status" -ne 0 ] || ! grep -q '^usage: kelvalues' "$work/help"; then
  echo "FAIL: kelvalues.exe --help under Wine (status $status):"
  cat "$work/help"
  exit 1
fi

# The tests call one program; this one runs the Windows build under Wine,
# its standard output's CR LF line ends read as the LF ends they expect.
cat >"$work/kelvalues" <<WRAPPER
#!/bin/sh
status_file=\$(mktemp)
{ sh '$run_win64' '$exe' "\$@"; echo \$? >"\$status_file"; } | tr -d '\\r'
status=\$(cat "\$status_file")
rm -f "\$status_file"
exit "\$status"
WRAPPER
chmod +x "$work/kelvalues"
KEL_TEST_WINDOWS=1 sh "$here/exit_status_test.sh" "$work/kelvalues" "$2"
sh "$here/commands_test.sh" "$work/kelvalues" 2 "kelvalues: from-hlstats is available on Linux only"
