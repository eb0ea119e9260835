#!/bin/sh
# Makes the release archive of one Windows build tree:
#   packaging/package.sh BUILD_DIR ARCH OUT_DIR   (ARCH: win32 or win64)
# OUT_DIR/VeltraScanner-VERSION-ARCH.zip holds the driver, the test bench, the
# README and the licence, with Windows line endings for the texts, and the two
# integration guides as HTML pages. Prints the archive's path.
set -eu
# MinGW's strip writes the time it runs into a PE file's header unless
# SOURCE_DATE_EPOCH names one: the time of the archive's entries, so that the
# same build gives the same archive.
export SOURCE_DATE_EPOCH=1767225600  # 2026-01-01 00:00:00 UTC

build=$(cd "${1:?usage: package.sh BUILD_DIR ARCH OUT_DIR}" && pwd)
arch=${2:?arch}
out=${3:?out dir}
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")

case $arch in
    win32) triple=i686-w64-mingw32 ;;
    win64) triple=x86_64-w64-mingw32 ;;
    *) echo "package.sh: unknown architecture $arch" >&2; exit 2 ;;
esac
version=$(sed -n 's/^#define VELTRA_VERSION_TEXT "\([^"]*\)".*/\1/p' "$root/src/core/common/Version.h")
[ -n "$version" ] || { echo "package.sh: no version in src/core/common/Version.h" >&2; exit 1; }

name=VeltraScanner-$version-$arch
mkdir -p "$out"
out=$(cd "$out" && pwd)
stage=$out/.stage-$arch
rm -rf "$stage" "$out/$name.zip"
mkdir -p "$stage/$name"
trap 'rm -rf "$stage"' EXIT

for f in VeltraScanner.dll VeltraBench.exe; do
    [ -f "$build/bin/$f" ] || { echo "package.sh: $build/bin/$f is missing; build $arch first" >&2; exit 1; }
    "$triple-strip" -o "$stage/$name/$f" "$build/bin/$f"
done
# ---- What the driver and the bench ask of Windows ----------------------------
# System DLLs only, and Windows 7 or later (packaging/check_windows_imports.sh).
"$here/check_windows_imports.sh" "$stage/$name/VeltraScanner.dll" "$stage/$name/VeltraBench.exe" >&2

# Windows line endings, whatever the checkout has.
sed 's/\r$//; s/$/\r/' "$here/README.txt" >"$stage/$name/README.txt"
sed 's/\r$//; s/$/\r/' "$root/LICENSE" >"$stage/$name/LICENSE.txt"

# ---- the integration guides, as HTML pages ----
"$here/render_guides.sh" "$stage/$name" >/dev/null

# A fixed time for every entry and no extra attributes: the same build gives
# the same archive.
find "$stage/$name" -exec touch -h -d '2026-01-01 00:00:00' {} +
(cd "$stage" && find "$name" -type f | LC_ALL=C sort | TZ=UTC zip -q -X -D "$out/$name.zip" -@)
echo "$out/$name.zip"
