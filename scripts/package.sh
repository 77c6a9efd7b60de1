#!/usr/bin/env bash
# Builds the release package of KWPAGE from the win build:
#   build/package/KWPAGE-<version>-win64.zip    KWPAGE.exe, the language files, the sample
#                                               templates, the station's guides and the
#                                               screenshots they show
#   build/package/KWPAGE-<version>-setup.exe    the Windows installer (Debian's makensis, package nsis)
# The version is the CMake project version of the build tree.
#
#   scripts/package.sh [--build-dir DIR] [--out DIR] [--no-build] [--zip-only]
#
#   --build-dir DIR  the win build tree (default build/win); configured when it does not exist
#   --out DIR        where the package goes (default build/package)
#   --no-build       use KWPAGE.exe as it is in the build tree; fail when it is missing
#   --zip-only       skip the installer
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/win"
out="$root/build/package"
do_build=1
installer=1

while [ $# -gt 0 ]; do
    case $1 in
        --build-dir) build=$(realpath -m "$2"); shift 2 ;;
        --out) out=$(realpath -m "$2"); shift 2 ;;
        --no-build) do_build=0; shift ;;
        --zip-only) installer=0; shift ;;
        -h|--help) sed -n '2,14p' "$0"; exit 0 ;;
        *) echo "package.sh: unknown argument $1" >&2; exit 2 ;;
    esac
done

fail() { echo "package.sh: $*" >&2; exit 1; }

if [ "$do_build" = 1 ]; then
    if [ ! -f "$build/CMakeCache.txt" ]; then
        cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
              -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" >/dev/null
    fi
    cmake --build "$build" --target KWPAGE -j "$(nproc)"
fi

exe="$build/shell/KWPAGE.exe"
[ -f "$exe" ] || fail "$exe is not built"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || fail "no project version in $build/CMakeCache.txt"

name="KWPAGE-$version"
stage="$out/$name"
rm -rf "$stage"
mkdir -p "$stage/templates" "$stage/screenshots"

# The program and its language files (they must lie beside it, named KWPAGE.<Language>.lng).
cp "$exe" "$stage/"
shopt -s nullglob
langs=("$root"/dist/KWPAGE.*.lng)
[ ${#langs[@]} -gt 0 ] || fail "no language files in dist/"
cp "${langs[@]}" "$stage/"

# The sample templates keep their bytes: each is written in the code page it declares.
cp "$root"/dist/templates/* "$stage/templates/"

# The guides for stations, with line ends Windows editors show, and the screenshots they use.
for lang in ru en; do
    guide="$root/docs/station/README.$lang.md"
    [ -f "$guide" ] || fail "$guide is missing"
    sed -e 's#(\.\./screenshots/#(screenshots/#g' -e 's/\r$//' -e 's/$/\r/' "$guide" > "$stage/README.$lang.md"
done
sed -e 's/\r$//' -e 's/$/\r/' "$root/dist/templates/README.md" > "$stage/templates/README.md"
# Only the pictures the guides show: docs/screenshots also holds the 150 % shots and others the
# developers look at.
grep -ho '](\.\./screenshots/[^)]*)' "$root"/docs/station/README.*.md | sed 's#^](\.\./screenshots/##; s#)$##' |
    sort -u | while read -r shot; do
        [ -f "$root/docs/screenshots/$shot" ] || fail "docs/screenshots/$shot, shown in a guide, is missing"
        cp "$root/docs/screenshots/$shot" "$stage/screenshots/"
    done

zip="$out/$name-win64.zip"
rm -f "$zip"
(cd "$out" && zip -q -r -X "$zip" "$name")
echo "$zip"

if [ "$installer" = 1 ]; then
    command -v makensis >/dev/null || fail "makensis is missing (Debian package nsis)"
    setup="$out/$name-setup.exe"
    rm -f "$setup"
    makensis -V2 -WX -INPUTCHARSET UTF8 "-DVERSION=$version" "-DSTAGE=$stage" "-DOUTFILE=$setup" \
        "$root/dist/installer/KWPAGE.nsi" >/dev/null
    [ -f "$setup" ] || fail "makensis did not write $setup"
    echo "$setup"
fi
