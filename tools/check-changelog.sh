#!/bin/sh
# Checks CHANGELOG.md's form and that it names the version being built:
#   - a section per version, "## VERSION - YYYY-MM-DD", newest first (the
#     dates never rise going down), each version once;
#   - above them at most one "## Unreleased" section, the changes on main
#     that no release carries yet;
#   - the first version section is VERSION (KEL_VERSION in CMakeLists.txt):
#     a release renames "Unreleased" to its version and sets KEL_VERSION in
#     the same commit, and until both agree this check fails;
#   - within a section only "### Added", "### Changed", "### Fixed" and
#     "### Removed", each at most once.
# Usage: tools/check-changelog.sh CHANGELOG VERSION
set -eu
if [ $# -ne 2 ]; then
  echo "usage: tools/check-changelog.sh CHANGELOG VERSION" >&2
  exit 2
fi
file=$1 version=$2
if [ ! -f "$file" ]; then
  echo "check-changelog: $file is missing"
  exit 1
fi
LC_ALL=C awk -v version="$version" -v file="$file" '
  function fault(text) { printf "%s:%d: %s\n", file, NR, text; faults++ }
  /^## / {
    heading = substr($0, 4)
    sections++
    delete kinds
    if (heading == "Unreleased") {
      if (sections > 1) fault("\"## Unreleased\" stands only at the top, above every version")
      next
    }
    if (heading !~ /^[0-9A-Za-z.]+ - [0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9]$/) {
      fault("a section heading is \"## Unreleased\" or \"## VERSION - YYYY-MM-DD\", not \"" $0 "\"")
      next
    }
    split(heading, part, " - ")
    if (seen[part[1]]++) fault("version " part[1] " has a second section")
    if (!versions++ && part[1] != version)
      fault("the newest version is " part[1] ", but the build says " version)
    if (last_date != "" && part[2] > last_date)
      fault("version " part[1] " is dated " part[2] ", after the version above it (" last_date ")")
    last_date = part[2]
    next
  }
  /^### / {
    kind = substr($0, 5)
    if (!sections) fault("\"" $0 "\" before any version section")
    else if (kind !~ /^(Added|Changed|Fixed|Removed)$/)
      fault("a subsection is Added, Changed, Fixed or Removed, not \"" kind "\"")
    else if (kinds[kind]++) fault("a second \"### " kind "\" in one section")
  }
  END {
    if (!versions) { NR = 0; fault("no version section") }
    if (faults) exit 1
    printf "check-changelog: %s names %s first, in %d section(s)\n", file, version, sections
  }
' "$file"
