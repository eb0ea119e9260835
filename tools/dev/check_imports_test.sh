#!/usr/bin/env bash
# Tries tools/dev/check_linux_symbols.sh and packaging/check_windows_imports.sh on
# small libraries made here, each with one planted fault, and one clean one
# of each kind: a check must pass the clean one and fail each planted one
# with a line that names the file and what was planted.
#   tools/dev/check_imports_test.sh
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/veltra-import-checks.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

failed=0
# try FILE EXPECTED COMPILER OPTIONS...: builds FILE from the source on
# standard input and checks it; EXPECTED is "" for a file that must pass.
try() {
    local file=$1 expected=$2 check out status=0
    shift 2
    "$@" -o "$file" || { echo "FAIL $file: could not be built"; failed=1; return; }
    case $file in
        *.so) check=$here/check_linux_symbols.sh ;;
        *) check=$here/../../packaging/check_windows_imports.sh ;;
    esac
    out=$("$check" "$file" 2>&1) || status=$?
    if [ -z "$expected" ]; then
        if [ $status -ne 0 ]; then echo "FAIL $file: a clean file failed: $out"; failed=1; fi
    elif [ $status -eq 0 ]; then
        echo "FAIL $file: passed, though it has: $expected"
        failed=1
    elif ! grep -F "$file" <<<"$out" | grep -qF -- "$expected"; then
        echo "FAIL $file: no line naming it and \"$expected\": $out"
        failed=1
    else
        echo "ok   $(grep -F -- "$expected" <<<"$out" | head -n 1)"
    fi
}

plain='int f(void) { return 0; }'
random='#include <stdlib.h>
unsigned f(void) { return arc4random(); }'
cxx='#include <string>
int f(const char* s) { return (int)std::string(s).size(); }'
linux=(cc -shared -fPIC -x c -)
#   file                      planted                            how it is built
try linux-clean.so            ""                                 "${linux[@]}" <<<"$plain"
try linux-arc4random.so       "imports arc4random@GLIBC_2.36"    "${linux[@]}" <<<"$random"
try linux-libstdc++.so        "@GLIBCXX_"                        c++ -shared -fPIC -x c++ - <<<"$cxx"
try linux-libutil.so          "needs libutil.so.1"               "${linux[@]}" -Wl,--no-as-needed -l:libutil.so.1 <<<"$plain"
try win-clean.dll             ""                                 x86_64-w64-mingw32-gcc -shared -x c - <<<"$plain"
try win-libstdc++.dll         "imports libstdc++-6.dll"          i686-w64-mingw32-g++-posix -shared -x c++ - <<<"$cxx"
try win-windows10.dll         "asks for Windows 10.0"            x86_64-w64-mingw32-gcc -shared -x c - \
    -Wl,--major-subsystem-version,10,--minor-subsystem-version,0 <<<"$plain"
exit "$failed"
