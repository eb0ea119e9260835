#!/bin/sh
# Checks a release archive as a user meets it: unpacked into an empty folder,
# in a fresh Wine prefix, its test bench registers the driver of the same
# archive (machine-wide: Wine 8 does not look up per-user classes), creates
# it through COM, reads its description and version, then unregisters it.
# The archive's HTML guides are opened and must show every heading and code
# sample of the guides in docs/. Everything it makes is removed again.
#   packaging/check_package.sh ARCHIVE WINE
set -eu

archive=$(cd "$(dirname "${1:?usage: check_package.sh ARCHIVE WINE}")" && pwd)/$(basename "$1")
wine=${2:?wine program (wine or wine64)}
session="sh $(cd "$(dirname "$0")/../tests/wine" && pwd)/wine_session.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/veltra-package.XXXXXX")
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
cleanup() {
    $session stop "$WINEPREFIX"
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

fail() { echo "check_package: $(basename "$archive"): $*" >&2; exit 1; }

(cd "$work" && unzip -q "$archive")
dir=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'VeltraScanner-*')
[ -n "$dir" ] || fail "no VeltraScanner-* folder inside"
for f in VeltraScanner.dll VeltraBench.exe README.txt LICENSE.txt; do
    [ -s "$dir/$f" ] || fail "$f is missing"
done

# ---- the integration guides, as HTML pages ----
python3 "$(dirname "$0")/check_guides_html.py" "$dir" || fail "its HTML guides are not the guides of docs/"

version=$(sed -n 's/^#define VELTRA_VERSION_TEXT "\([^"]*\)".*/\1/p' "$(dirname "$0")/../src/core/common/Version.h")

# A pristine prefix: a copy of the template that nothing has run in.
$session start "$WINEPREFIX" "$wine"
# Runs the bench; its output (both streams) in $out, its exit status returned.
bench() {
    status=0
    (cd "$dir" && "$wine" VeltraBench.exe --lang en "$@" </dev/null >"$work/out" 2>&1) || status=$?
    out=$(tr -d '\r' <"$work/out")
    return $status
}

bench register describe version unregister || fail "the bench failed ($status): $out"
echo "$out" | grep -q "Veltra Scanner" || fail "no description read: $out"
echo "$out" | grep -q "file version $version" || fail "the DLL's version resource is not $version: $out"
# Unregistered again: the class is gone.
if bench describe; then fail "the driver can still be created after unregister"; fi
echo "check_package: $(basename "$archive"): registered, described (version $version), unregistered"
