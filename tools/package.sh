#!/bin/sh
# Builds the release archives dist/kel_mm-<version>.zip and .tar.gz, and
# dist/SHA256SUMS with the checksums of everything it writes to dist/.
#
# Both archives hold the same tree, laid out as it goes into the game folder
# (the folder of liblist.gam, e.g. mymod/), so an operator unpacks either there:
#
#   addons/kel/dlls/kel_mm_i386.so             Linux i386 plugin
#   addons/kel/dlls/kel_mm.dll                 Windows i686 plugin
#   addons/kel/dlls/player_values.example.txt  example values
#   addons/kel/kel.example.cfg                 console variables for server.cfg
#   addons/kel/tools/kelvalues                 kelvalues for Linux x86-64
#   addons/kel/tools/kelvalues.exe             kelvalues for Windows x86-64
#   addons/kel/operator-guide.md               the operator guide
#   addons/kel/CHANGELOG.md                    what changed, release by release
#   addons/kel/LICENSE                         the license
#
# (The guide lists the same files, and tools/check-package.sh holds the
# archives to that list.)  The example values file does not carry the live
# name player_values.txt, so unpacking a newer archive over an installed one
# never replaces the operator's own file; the guide says to copy the example
# once at first install.
#
# The libraries are shipped without debug information.  It is kept beside
# the archives instead, as dist/kel_mm_i386.so.debug and
# dist/kel_mm.dll.debug, and each shipped library names its file (a GNU
# debug link), so gdb reads an operator's crash report of the shipped
# library with the debug file placed beside it.
#
# The two libraries are built first (presets i386 and win32, target kel_mm
# only), and kelvalues (presets kelvalues and kelvalues-win64, target
# kelvalues).  KEL_BUILD_I386, KEL_BUILD_WIN32, KEL_BUILD_KELVALUES and
# KEL_BUILD_KELVALUES_WIN64 name other build folders for the same presets.
# The version is the plugin's own, which the build writes into the i386
# build folder as kel_version.txt (from KEL_VERSION in CMakeLists.txt);
# KEL_VERSION in the environment overrides it.
#
# The same commit packaged in any folder gives byte-identical files in dist/
# (tests/release/reproducible.sh): the builds map the folders' paths away,
# and the archives' entries have a fixed order, owner, mode and time stamp,
# the last commit's time (SOURCE_DATE_EPOCH overrides it).
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)

build_i386=${KEL_BUILD_I386:-build/i386}
build_win32=${KEL_BUILD_WIN32:-build/win32}
build_kelvalues=${KEL_BUILD_KELVALUES:-build/kelvalues}
build_kelvalues_win64=${KEL_BUILD_KELVALUES_WIN64:-build/kelvalues-win64}

build() {
  preset=$1 dir=$2 target=$3
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    cmake --preset "$preset" -B "$dir" >/dev/null
  fi
  cmake --build "$dir" --target "$target" -j2
}
echo "package: building the Linux i386 plugin in $build_i386"
build i386 "$build_i386" kel_mm
echo "package: building the Windows i686 plugin in $build_win32"
build win32 "$build_win32" kel_mm
echo "package: building kelvalues for Linux x86-64 in $build_kelvalues"
build kelvalues "$build_kelvalues" kelvalues
echo "package: building kelvalues for Windows x86-64 in $build_kelvalues_win64"
build kelvalues-win64 "$build_kelvalues_win64" kelvalues

version=${KEL_VERSION:-$(cat "$build_i386/kel_version.txt")}
case "$version" in
  '' | *[!0-9A-Za-z.]*)
    echo "package: cannot read the plugin version from $build_i386/kel_version.txt" >&2
    exit 1
    ;;
esac

so=$build_i386/kel_mm_i386.so
dll=$build_win32/kel_mm.dll
kelvalues=$build_kelvalues/tools/kelvalues/kelvalues
kelvalues_exe=$build_kelvalues_win64/tools/kelvalues/kelvalues.exe
# Files shipped as they are in the repository: the place in the archives,
# then the repository's file.
copies='
addons/kel/dlls/player_values.example.txt examples/player_values.txt
addons/kel/kel.example.cfg examples/kel.example.cfg
addons/kel/operator-guide.md docs/operator-guide.md
addons/kel/CHANGELOG.md CHANGELOG.md
addons/kel/LICENSE LICENSE
'
for f in "$so" "$dll" "$kelvalues" "$kelvalues_exe" $(echo "$copies" | awk '{print $2}'); do
  if [ ! -f "$f" ]; then
    echo "package: missing $f" >&2
    exit 1
  fi
done

name=kel_mm-$version
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
tree=$stage/tree
mkdir -p "$tree/addons/kel/dlls" "$tree/addons/kel/tools"
install -m 0755 "$so" "$tree/addons/kel/dlls/kel_mm_i386.so"
install -m 0755 "$dll" "$tree/addons/kel/dlls/kel_mm.dll"
install -m 0755 "$kelvalues" "$tree/addons/kel/tools/kelvalues"
install -m 0755 "$kelvalues_exe" "$tree/addons/kel/tools/kelvalues.exe"
# One time stamp for every entry, so that rebuilding the same commit gives
# the same archives.  The PE header's own time stamp, which strip rewrites,
# follows it too.
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 946684800)}
export SOURCE_DATE_EPOCH
# The builds carry debug information; the shipped libraries keep their
# symbol tables but not that, which goes into a file of its own.
mkdir -p dist
split_debug() {
  objcopy=$1 strip=$2 library=$3 debug=$4
  "$objcopy" --only-keep-debug "$library" "$debug"
  "$strip" --strip-debug "$library"
  (cd "$(dirname "$debug")" && "$objcopy" --add-gnu-debuglink="$(basename "$debug")" "$library")
  chmod 0644 "$debug"
}
split_debug objcopy strip "$tree/addons/kel/dlls/kel_mm_i386.so" "$root/dist/kel_mm_i386.so.debug"
split_debug i686-w64-mingw32-objcopy i686-w64-mingw32-strip "$tree/addons/kel/dlls/kel_mm.dll" \
  "$root/dist/kel_mm.dll.debug"
# kelvalues is built without debug information; what the static runtimes
# bring of it is dropped.
strip --strip-debug "$tree/addons/kel/tools/kelvalues"
x86_64-w64-mingw32-strip --strip-debug "$tree/addons/kel/tools/kelvalues.exe"
echo "$copies" | awk NF | while read -r place file; do
  install -D -m 0644 "$file" "$tree/$place"
done

epoch=$SOURCE_DATE_EPOCH
stamp=$(date -u -d "@$epoch" +%Y%m%d%H%M.%S)
find "$tree" -type d -exec chmod 0755 {} +
find "$tree" -exec touch -h -t "$stamp" {} +

rm -f "dist/$name.zip" "dist/$name.tar.gz" dist/SHA256SUMS
(
  cd "$tree"
  find addons | LC_ALL=C sort >"$stage/list"
  TZ=UTC zip -q -X -D "$root/dist/$name.zip" -@ <"$stage/list"
  tar --format=ustar --owner=0 --group=0 --numeric-owner --mtime="@$epoch" \
    --no-recursion -cf - -T "$stage/list" | gzip -n -9 >"$root/dist/$name.tar.gz"
)
# Checksums of what an operator downloads, in the form sha256sum -c reads
# in dist/.
(cd dist && sha256sum "$name.zip" "$name.tar.gz" kel_mm_i386.so.debug kel_mm.dll.debug >SHA256SUMS)
echo "package: wrote dist/$name.zip, dist/$name.tar.gz and dist/SHA256SUMS" \
  "(Linux library $(wc -c <"$tree/addons/kel/dlls/kel_mm_i386.so") bytes," \
  "debug information in dist/kel_mm_i386.so.debug and dist/kel_mm.dll.debug)"
