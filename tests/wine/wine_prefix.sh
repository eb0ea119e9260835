#!/bin/sh
# Makes a ready Wine prefix without creating one from scratch.
#
#   wine_prefix.sh [DEST]
#
# Creating a prefix (wineboot) takes ~15 s and writes 1.3 GB, and a test run
# needs eight of them (each Windows build tree's tests, its X keyboard test,
# its test bench test, each release check). So the first call makes one
# pristine template, $VELTRA_WINE_TEMPLATE (default: build/wineprefix-template
# of this checkout), and every DEST becomes a copy of it: the folders of
# Wine's own DLLs as hard links (Wine only reads them), everything else (the
# registry, the drive links, the user folders; 48 files) copied. A prefix made
# by 64-bit Wine serves 32-bit and 64-bit programs alike.
#
# Does nothing when DEST already holds a prefix; an unfinished one there is
# replaced. Without DEST, only makes sure the template exists. Safe to run
# from several processes at once.
set -eu

dest=${1:-}
here=$(cd "$(dirname "$0")" && pwd)
template=${VELTRA_WINE_TEMPLATE:-$here/../../build/wineprefix-template}

[ -n "$dest" ] && [ -f "$dest/system.reg" ] && exit 0

export WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
mkdir -p "$(dirname "$template")"
template=$(cd "$(dirname "$template")" && pwd)/$(basename "$template")

# The template, once; the lock makes a second caller wait for it.
exec 9>"$template.lock"
flock 9
if [ ! -f "$template/system.reg" ]; then
    echo "wine_prefix: creating the template prefix $template (once, ~15 s)" >&2
    rm -rf "$template.new"
    mkdir -p "$template.new"
    WINEPREFIX="$template.new" /usr/lib/wine/wine64 wineboot -i </dev/null >/dev/null 2>&1 ||
        { echo "wine_prefix: wineboot failed in $template.new" >&2; exit 1; }
    # The registry reaches the disk when the prefix's server ends.
    WINEPREFIX="$template.new" wineserver -w
    [ -f "$template.new/system.reg" ] || { echo "wine_prefix: wineboot left no registry" >&2; exit 1; }
    mv "$template.new" "$template"
fi
flock -u 9
[ -n "$dest" ] || exit 0

tmp="$dest.new.$$"
rm -rf "$tmp"
mkdir -p "$tmp"
cp -al "$template/." "$tmp/"
# Break the links of everything that is not one of Wine's DLLs.
(cd "$tmp" && find . -type f ! -path './drive_c/windows/system32/*' ! -path './drive_c/windows/syswow64/*' \
    ! -path './drive_c/windows/winsxs/*' -exec sh -c 'for f; do cp -p "$f" "$f.copy" && mv -f "$f.copy" "$f"; done' sh {} +)
mkdir -p "$(dirname "$dest")"
# What stands at DEST without a registry is an unfinished prefix (or an empty
# folder): it gives way. Anything else is not ours to remove.
if [ -e "$dest" ] && ! rmdir "$dest" 2>/dev/null; then
    if [ -d "$dest/drive_c" ] || [ -d "$dest/dosdevices" ]; then
        rm -rf "$dest"
    else
        rm -rf "$tmp"
        echo "wine_prefix: $dest exists and is no Wine prefix" >&2
        exit 1
    fi
fi
mv "$tmp" "$dest"
