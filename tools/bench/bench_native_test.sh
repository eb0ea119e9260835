#!/bin/sh
# The Linux test bench's command line against the Linux Native API library:
# the library's version and tables through --native, and the clear errors
# for a library that is not there and for a command without --native.
#
#   bench_native_test.sh BENCH LIBRARY
set -u
BENCH=$1
LIB=$2
WORK=$(mktemp -d "${TMPDIR:-/tmp}/veltra-bench.XXXXXX")
trap 'rm -rf "$WORK"' EXIT

failures=0
# exit status | text the output contains | bench arguments
while IFS='|' read -r want text args; do
    eval "set -- $args"
    "$BENCH" "$@" >"$WORK/out" 2>&1 </dev/null
    got=$?
    if [ "$got" -ne "$want" ]; then echo "FAIL: $args: exit $got, expected $want"
    elif ! grep -qF -- "$text" "$WORK/out"; then echo "FAIL: $args: no \"$text\" in the output"
    else echo "ok   $want  $args"; continue
    fi
    sed 's/^/    | /' "$WORK/out"
    failures=$((failures + 1))
done <<EOF
0|component version 2000, driver version 1.0|--lang en --native "$LIB" version
0|file $(readlink -f "$LIB")|--lang en --native "$LIB" version
0|  7  propSuffix  /  Суффикс|--lang ru --native "$LIB" info
1|Open failed: |--lang en --native "$LIB" set propComPortNumber 0 scan --count 1
3|cannot load $WORK/none.so|--lang en --native "$WORK/none.so" version
2|the COM driver exists on Windows only|--lang en version
2|there is nothing to register|--lang en --native "$LIB" register
EOF

[ $failures -eq 0 ] || { echo "$failures failed"; exit 1; }
echo "PASS"
