#!/bin/sh
# Shows that tools/check-package.sh accepts the archives tools/package.sh
# wrote and rejects damaged copies of them.  Each case unpacks the real
# archives, damages one of them in one way, packs the result into a folder
# of its own with its checksums written afresh, as a release would be, and
# runs the check on that folder: the undamaged copy must pass, every
# damaged one must fail with the reason named in the table.  A case may
# damage the packed folder instead (dist_damage_<case>).
# Run tools/package.sh first.
set -eu
cd "$(dirname "$0")/../.."
# shellcheck source=tools/lib/checks.sh
. tools/lib/checks.sh

version=${KEL_VERSION:-$(cat "${KEL_BUILD_I386:-build/i386}/kel_version.txt")}
name=kel_mm-$version
for archive in "dist/$name.zip" "dist/$name.tar.gz"; do
  if [ ! -f "$archive" ]; then
    echo "$archive is missing: run tools/package.sh first"
    exit 1
  fi
done

make_work

# damage_<case> changes the unpacked tree $1 of one archive.
damage_none() { :; }
damage_extra_file() { echo "left over" >"$1/addons/kel/dlls/notes.txt"; }
damage_missing_dll() { rm "$1/addons/kel/dlls/kel_mm.dll"; }
damage_wrong_so() { cp "$1/addons/kel/dlls/kel_mm.dll" "$1/addons/kel/dlls/kel_mm_i386.so"; }
damage_stale_guide() { echo "an older line" >>"$1/addons/kel/operator-guide.md"; }
damage_zero_values() { echo "STEAM_0:1:1001,0" >"$1/addons/kel/dlls/player_values.example.txt"; }
# An archive that carries the live values file would overwrite the
# operator's own at the next upgrade.
damage_live_values() {
  cp "$1/addons/kel/dlls/player_values.example.txt" "$1/addons/kel/dlls/player_values.txt"
}
# The library as built, with its debug information.
damage_unstripped_so() { cp "${KEL_BUILD_I386:-build/i386}/kel_mm_i386.so" "$1/addons/kel/dlls/"; }
damage_flat_layout() {
  mv "$1/addons/kel/dlls/kel_mm_i386.so" "$1/kel_mm_i386.so"
}
damage_missing_license() { rm "$1/addons/kel/LICENSE"; }
damage_stale_cfg() { sed -i 's/^kel_autobalance "0"/kel_autobalance "30"/' "$1/addons/kel/kel.example.cfg"; }
# A file both archives hold that the guide does not name.
damage_unnamed_file() { cp "$1/addons/kel/LICENSE" "$1/addons/kel/LICENSE.txt"; }
# A link to a file the archives lack, and one out of the unpacked tree to
# a file that exists wherever the archive is unpacked.
damage_broken_link() {
  echo "See [the notes](notes.md) and [the folder](../../../../../../../../../tmp)." \
    >>"$1/addons/kel/operator-guide.md"
}
# A changelog whose newest section is another version than the package's.
damage_old_changelog() {
  changelog=$1/addons/kel/CHANGELOG.md
  awk '/^## / && !done {print "## 0.9 - 2026-01-01\n\n### Fixed\n\n- a fault\n"; done = 1} {print}' \
    "$changelog" >"$changelog.new"
  mv "$changelog.new" "$changelog"
}
damage_zip_after_sums() { :; }
dist_damage_zip_after_sums() { echo "appended" >>"$1/$name.zip"; }
damage_missing_sums() { :; }
dist_damage_missing_sums() { rm "$1/SHA256SUMS"; }
damage_missing_kelvalues() { rm "$1/addons/kel/tools/kelvalues"; }
# A kelvalues that needs a glibc newer than 2.17 (explicit_bzero is 2.25's).
damage_new_glibc_kelvalues() {
  printf '#include <string.h>\nint main(int c, char** v) { explicit_bzero(v[0], 0); return c - 1; }\n' \
    >"$work/new_glibc.c"
  ${CC:-gcc} -o "$1/addons/kel/tools/kelvalues" "$work/new_glibc.c"
}
# The Windows kelvalues as built, with what the runtimes bring of debug
# information.
damage_unstripped_exe() {
  cp "${KEL_BUILD_KELVALUES_WIN64:-build/kelvalues-win64}/tools/kelvalues/kelvalues.exe" \
    "$1/addons/kel/tools/"
}
damage_dll_as_exe() { cp "$1/addons/kel/dlls/kel_mm.dll" "$1/addons/kel/tools/kelvalues.exe"; }

# case | archive damaged (zip, tar or both) | expected: "pass" or a text of the
# check's output
run_case() {
  case_name=$1 which=$2 expect=$3
  dir=$work/$case_name
  mkdir -p "$dir/tree" "$dir/dist"
  tar -xzf "dist/$name.tar.gz" -C "$dir/tree"
  if [ "$which" = zip ]; then
    cp "dist/$name.tar.gz" "$dir/dist/"
  else
    "damage_$case_name" "$dir/tree"
    (cd "$dir/tree" && find . -mindepth 1 -maxdepth 1 | sed 's|^\./||' | tar -czf "$dir/dist/$name.tar.gz" -T -)
  fi
  if [ "$which" = tar ]; then
    cp "dist/$name.zip" "$dir/dist/"
  else
    rm -rf "$dir/tree" && mkdir "$dir/tree" && unzip -q "dist/$name.zip" -d "$dir/tree"
    "damage_$case_name" "$dir/tree"
    (cd "$dir/tree" && find . -type f | sed 's|^\./||' | LC_ALL=C sort | zip -q -X "$dir/dist/$name.zip" -@)
  fi
  cp dist/kel_mm_i386.so.debug dist/kel_mm.dll.debug "$dir/dist/"
  (cd "$dir/dist" && sha256sum "$name.zip" "$name.tar.gz" kel_mm_i386.so.debug kel_mm.dll.debug >SHA256SUMS)
  if command -v "dist_damage_$case_name" >/dev/null; then "dist_damage_$case_name" "$dir/dist"; fi
  judge_case "$case_name" "$expect" "$dir/out" tools/check-package.sh "$dir/dist"
}

run_case none tar pass
run_case extra_file tar "tar archive holds"
run_case missing_dll zip "zip archive holds"
run_case wrong_so tar "is not ELF32"
run_case stale_guide zip "the archives differ"
run_case flat_layout tar "tar archive holds"
run_case zero_values tar "kelsim could not run the packaged plugin, or an expectation failed"
run_case live_values zip "changed the operator's player_values.txt"
run_case unstripped_so tar "still carries debug information"
run_case missing_license zip "zip archive holds"
run_case stale_cfg tar "addons/kel/kel.example.cfg differs from examples/kel.example.cfg"
run_case unnamed_file both "the guide names ["
run_case broken_link both "the guide links to what the unpacked tree does not hold: ../../../../../../../../../tmp notes.md"
run_case old_changelog both "the newest version is 0.9, but the build says"
run_case zip_after_sums zip "SHA256SUMS does not match the files"
run_case missing_sums tar "SHA256SUMS is missing"
run_case missing_kelvalues zip "zip archive holds"
run_case new_glibc_kelvalues tar "explicit_bzero needs GLIBC_2.25"
run_case dll_as_exe tar "not an x86-64 PE image"
run_case unstripped_exe tar "kelvalues or kelvalues.exe still carries debug information"

tally check-package
