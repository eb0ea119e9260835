#!/bin/sh
# Makes the Native API archive from the four build trees of its libraries:
#   packaging/package_native.sh WIN32_BUILD WIN64_BUILD LINUX_BUILD LINUX_I386_BUILD OUT_DIR
# OUT_DIR/VeltraScanner-VERSION-native.zip holds MANIFEST.XML (the platform
# reads which library serves which system and architecture there) and the
# libraries it names, stripped, all at the archive's root as the platform
# takes them, the two integration guides as HTML pages, and the udev rule for
# keyboard-wedge scanners on Linux. Prints the archive's path.
set -eu
# MinGW's strip writes the time it runs into a PE file's header unless
# SOURCE_DATE_EPOCH names one: the time of the archive's entries, so that the
# same build gives the same archive.
export SOURCE_DATE_EPOCH=1767225600  # 2026-01-01 00:00:00 UTC

usage="usage: package_native.sh WIN32_BUILD WIN64_BUILD LINUX_BUILD LINUX_I386_BUILD OUT_DIR"
win32=$(cd "${1:?$usage}" && pwd)
win64=$(cd "${2:?$usage}" && pwd)
linux=$(cd "${3:?$usage}" && pwd)
linux_i386=$(cd "${4:?$usage}" && pwd)
out=${5:?$usage}
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")

version=$(sed -n 's/^#define VELTRA_VERSION_TEXT "\([^"]*\)".*/\1/p' "$root/src/core/common/Version.h")
[ -n "$version" ] || { echo "package_native.sh: no version in src/core/common/Version.h" >&2; exit 1; }

name=VeltraScanner-$version-native
mkdir -p "$out"
out=$(cd "$out" && pwd)
stage=$out/.stage-native
rm -rf "$stage" "$out/$name.zip"
mkdir -p "$stage"
trap 'rm -rf "$stage"' EXIT

# strip-program built-file archive-name
take() {
    [ -f "$2" ] || { echo "package_native.sh: $2 is missing; build it first" >&2; exit 1; }
    "$1" -o "$stage/$3" "$2"
}
take i686-w64-mingw32-strip "$win32/bin/VeltraScannerNative.dll" VeltraScannerNative-win32.dll
take x86_64-w64-mingw32-strip "$win64/bin/VeltraScannerNative.dll" VeltraScannerNative-win64.dll
take strip "$linux/libVeltraScannerNative.so" libVeltraScannerNative-linux-x86_64.so
take strip "$linux_i386/libVeltraScannerNative.so" libVeltraScannerNative-linux-i386.so
cp "$here/MANIFEST.XML" "$stage/MANIFEST.XML"
# The administrator's rule for reading keyboard-wedge scanners on Linux.
cp "$here/70-veltra-scanner.rules" "$stage/70-veltra-scanner.rules"

# ---- What the libraries ask of their systems ---------------------------------
# The Windows ones: system DLLs only, Windows 7 or later; the Linux ones:
# nothing newer than glibc 2.17, no C++ runtime of the system's.
"$here/check_windows_imports.sh" "$stage/VeltraScannerNative-win32.dll" "$stage/VeltraScannerNative-win64.dll" >&2
"$here/../tools/dev/check_linux_symbols.sh" "$stage/libVeltraScannerNative-linux-x86_64.so" \
    "$stage/libVeltraScannerNative-linux-i386.so" >&2

# ---- the integration guides, as HTML pages ----
# Beside the libraries and not in the manifest, which names components
# (libraries) only.
"$here/render_guides.sh" "$stage" >/dev/null

# A fixed time for every entry and no extra attributes: the same build gives
# the same archive.
find "$stage" -exec touch -h -d '2026-01-01 00:00:00' {} +
(cd "$stage" && find . -type f | sed 's|^\./||' | LC_ALL=C sort | TZ=UTC zip -q -X -D "$out/$name.zip" -@)
echo "$out/$name.zip"
