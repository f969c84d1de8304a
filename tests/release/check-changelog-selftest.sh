#!/bin/sh
# Shows that tools/check-changelog.sh accepts a changelog whose newest
# version is the build's, with or without an Unreleased section above it,
# and rejects each kind of fault with its own reason.  Each case is a
# changelog (its lines separated by "|") and "pass" or a text of the
# check's output.
set -eu
cd "$(dirname "$0")/../.."
# shellcheck source=tools/lib/checks.sh
. tools/lib/checks.sh
make_work

run_case() {
  case_name=$1 lines=$2 expect=$3
  printf '%s\n' "$lines" | tr '|' '\n' >"$work/$case_name.md"
  judge_case "$case_name" "$expect" "$work/out" tools/check-changelog.sh "$work/$case_name.md" 2.0
}

old='## 1.0 - 2026-01-05|### Added|- a start'
run_case released "# Changelog|## 2.0 - 2026-03-01|### Fixed|- a fault|### Added|- more|$old" pass
run_case unreleased_on_top "## Unreleased|### Changed|- soon|## 2.0 - 2026-03-01|### Removed|- less|$old" pass
run_case other_version "## 2.1 - 2026-03-01|### Added|- x|$old" "the newest version is 2.1, but the build says 2.0"
run_case unreleased_below "## 2.0 - 2026-03-01|### Added|- x|## Unreleased|### Added|- y" \
  "\"## Unreleased\" stands only at the top"
run_case only_unreleased "## Unreleased|### Added|- x" "no version section"
run_case oldest_first "$old|## 2.0 - 2026-03-01|### Added|- x" "the newest version is 1.0"
run_case dates_rise "## 2.0 - 2026-03-01|### Added|- x|## 1.9 - 2026-04-01|### Added|- y" \
  "version 1.9 is dated 2026-04-01, after the version above it"
run_case version_twice "## 2.0 - 2026-03-01|### Added|- x|## 2.0 - 2026-02-01|### Added|- y" \
  "version 2.0 has a second section"
run_case undated "## 2.0|### Added|- x" "a section heading is"
run_case other_kind "## 2.0 - 2026-03-01|### Security|- x" "not \"Security\""
run_case kind_twice "## 2.0 - 2026-03-01|### Added|- x|### Added|- y" "a second \"### Added\""

tally check-changelog
