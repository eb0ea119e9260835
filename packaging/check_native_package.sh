#!/bin/sh
# Checks the Native API archive as the platform meets it: unpacked into an
# empty folder, its MANIFEST.XML read, and each library it names loaded as
# the platform loads it, by the test bench's Native API host on the
# library's own system: the Linux one natively, the Windows ones under Wine
# in a fresh prefix, each with the bench of its bitness (a library of the
# wrong architecture does not load). The manifest must name exactly the
# archive's files but the HTML guides, which must show every heading and code
# sample of the guides in docs/; each Linux library must export its five entry
# functions only and ask nothing newer of the system than glibc 2.17 (no shared
# C++ runtime). Everything it makes is removed again.
#   packaging/check_native_package.sh ARCHIVE LINUX_BENCH LINUX_I386_BENCH WIN32_BIN WIN64_BIN
# LINUX_BENCH is the native VeltraBench, LINUX_I386_BENCH the linux-i386
# tree's; WIN32_BIN and WIN64_BIN are the bin folders of the Windows trees,
# with their VeltraBench.exe. LINUX_I386_BENCH and WIN32_BIN may be "-" to
# skip loading that library where 32-bit programs cannot run (the caller says
# why).
set -eu

usage="usage: check_native_package.sh ARCHIVE LINUX_BENCH LINUX_I386_BENCH WIN32_BIN WIN64_BIN"
archive=$(cd "$(dirname "${1:?$usage}")" && pwd)/$(basename "$1")
linux_bench=${2:?$usage}
linux_i386_bench=${3:?$usage}
win32_bin=${4:?$usage}
win64_bin=${5:?$usage}
here=$(cd "$(dirname "$0")" && pwd)
session="sh $here/../tests/wine/wine_session.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/veltra-native-package.XXXXXX")
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
wine_started=
cleanup() {
    [ -z "$wine_started" ] || $session stop "$WINEPREFIX"
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

fail() { printf '%s\n' "check_native_package: $(basename "$archive"): $*" >&2; exit 1; }

version=$(sed -n 's/^#define VELTRA_VERSION_TEXT "\([^"]*\)".*/\1/p' "$here/../src/core/common/Version.h")
dir=$work/unpacked
mkdir "$dir"
(cd "$dir" && unzip -q "$archive")
[ -f "$dir/MANIFEST.XML" ] || fail "no MANIFEST.XML at the archive's root"

# The components, "os arch path" a line; a manifest that is not the bundle
# the platform reads, or a component that is not a plain native library
# file, fails here.
python3 - "$dir/MANIFEST.XML" >"$work/components" <<'PYEOF' || fail "MANIFEST.XML is not as the platform reads it"
import sys
import xml.etree.ElementTree as ET

ns = "{http://v8.1c.ru/8.2/addin/bundle}"
root = ET.parse(sys.argv[1]).getroot()
if root.tag != ns + "bundle":
    sys.exit("the root is %s, not bundle in the add-in bundle namespace" % root.tag)
components = list(root)
if not components:
    sys.exit("no component")
for c in components:
    a = c.attrib
    if c.tag != ns + "component" or a.get("type") != "native" or not all(a.get(k) for k in ("os", "arch", "path")):
        sys.exit("not a native component with os, arch and path: %s %s" % (c.tag, a))
    if "/" in a["path"] or "\\" in a["path"] or any(ch.isspace() for ch in a["path"]):
        sys.exit("a path that is no plain file name: %r" % a["path"])
    print(a["os"], a["arch"], a["path"])
PYEOF

# ---- the integration guides, as HTML pages ----
# Beside the libraries, not in the manifest (package_native.sh says why).
GUIDE_PAGES="integration-guide-en.html integration-guide-ru.html"
python3 "$here/check_guides_html.py" "$dir" || fail "its HTML guides are not the guides of docs/"

# Exactly the files the manifest names, the manifest, the guides and the udev
# rule.
(cd "$dir" && find . -type f | sed 's|^\./||' | LC_ALL=C sort) >"$work/files"
{ echo MANIFEST.XML; echo 70-veltra-scanner.rules; printf '%s
' $GUIDE_PAGES; cut -d' ' -f3 "$work/components"; } |
    LC_ALL=C sort >"$work/named"
cmp -s "$work/files" "$work/named" ||
    fail "the manifest does not name exactly the files of the archive: $(diff "$work/named" "$work/files" | grep '^[<>]' | tr '\n' ' ')"

# Loads a library through a bench: "extension VeltraScanner, component
# version ..., driver version VERSION" and, for a Windows library, its
# version resource.
load() {  # what bench-command... ; the output in $out
    what=$1
    shift
    status=0
    "$@" --lang en version </dev/null >"$work/out" 2>&1 || status=$?
    out=$(tr -d '\r' <"$work/out")
    [ $status -eq 0 ] || fail "$what does not load ($status): $out"
    printf '%s\n' "$out" | grep -q "^extension VeltraScanner, component version [0-9]*, driver version $version\$" ||
        fail "$what: not the driver of version $version: $out"
}

loaded=""
while read -r os arch path; do
    file=$dir/$path
    case "$os $arch" in
        "Linux x86_64" | "Linux i386")
            "$here/../tools/dev/check_linux_symbols.sh" "$file" >/dev/null || fail "$path asks too much of its system"
            exports=$(nm -D --defined-only "$file" | awk '{ print $3 }' | LC_ALL=C sort | tr '\n' ' ')
            [ "$exports" = "DestroyObject GetAttachType GetClassNames GetClassObject SetPlatformCapabilities " ] ||
                fail "$path exports more or less than its five entry functions: $exports"
            if [ "$arch" = i386 ]; then bench=$linux_i386_bench; else bench=$linux_bench; fi
            if [ "$bench" = - ]; then
                echo "check_native_package: $path not loaded: 32-bit programs do not run here"
                continue
            fi
            load "$path" "$bench" --native "$file"
            ;;
        "Windows i386" | "Windows x86_64")
            if [ "$arch" = i386 ]; then bin=$win32_bin wine=wine; else bin=$win64_bin wine=/usr/lib/wine/wine64; fi
            if [ "$bin" = - ]; then
                echo "check_native_package: $path not loaded: its Wine runs are skipped here"
                continue
            fi
            if [ -z "$wine_started" ]; then
                # A pristine prefix: a copy of the template that nothing has run in.
                wine_started=yes
                $session start "$WINEPREFIX" "$wine" </dev/null
            fi
            load "$path" "$wine" "$bin/VeltraBench.exe" --native "Z:$(printf '%s' "$file" | tr / '\\')"
            printf '%s\n' "$out" | grep -q "^file .*$path, file version $version, " ||
                fail "$path: its version resource is not $version: $out"
            ;;
        *) fail "a component for $os $arch, which the driver has no library for" ;;
    esac
    loaded="$loaded $os/$arch"
done <"$work/components"
echo "check_native_package: $(basename "$archive"): the manifest names its $(wc -l <"$work/components") libraries;" \
    "loaded (version $version):$loaded"
