#!/bin/sh
# The test bench's command line under Wine: the exit statuses 0 to 4, --help
# in both languages, the per-user registration round trip, check of a GS1
# code, the Native API library through --native against the COM driver, and
# --json events of a serial scan with their GS1 split.
#
#   bench_cli_test.sh BIN_DIR WINE WORK_DIR [native]
#
# The --native checks run with the last argument "native": one tree is
# enough for them (the behaviour tables check both faces in both trees).
#
# WORK_DIR holds this test's own Wine prefix (see wine_prefix.sh), so
# its registrations never meet the other tests; a virtual serial line on
# COM27 (socat, as the serial tests use it); and a copy of the bench without
# the driver beside it. Everything started here is ended again.
set -u
BIN=$1
WINE=$2
WORK=$3
NATIVE=${4:-}
PORT=COM27
FIXTURE=$(cd "$(dirname "$0")/../../tests/wine" && pwd)/serial_fixture.sh
SESSION="sh $(dirname "$FIXTURE")/wine_session.sh"
export WINEPREFIX="$WORK/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=

bench() { "$WINE" "$BIN/VeltraBench.exe" "$@"; }
nodll() { "$WINE" "$WORK/nodll/VeltraBench.exe" "$@"; }
regq() { "$WINE" reg query 'HKCU\Software\Classes\AddIn.VeltraScanner'; }
SERIAL="set propComPortNumber $PORT set propSpeed 9600 set propDataBit 8 set propStopBits 0 set propParity 0"

BENCH_PID=
cleanup() {
    [ -n "$BENCH_PID" ] && kill "$BENCH_PID" 2>/dev/null
    bench unregister >/dev/null 2>&1 </dev/null
    bench unregister --user >/dev/null 2>&1 </dev/null
    sh "$FIXTURE" stop "$WORK/serial" "$PORT" >/dev/null 2>&1
    $SESSION stop "$WINEPREFIX"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

mkdir -p "$WORK/nodll"
$SESSION start "$WINEPREFIX" "$WINE" "$BIN/KeepDesktop.exe" || exit 1
cp "$BIN/VeltraBench.exe" "$WORK/nodll/"
sh "$FIXTURE" start "$WORK/serial" "$PORT" >/dev/null || exit 1

failures=0
fail() {
    echo "FAIL: $*"
    sed 's/^/    | /' "$WORK/out"
    failures=$((failures + 1))
}

# exit status | text the output contains | command. In order: later rows rely
# on the registration state that earlier rows leave.
while IFS='|' read -r want text command; do
    eval "$command" >"$WORK/out" 2>&1 </dev/null
    got=$?
    tr -d '\r' <"$WORK/out" >"$WORK/out.txt" && mv "$WORK/out.txt" "$WORK/out"
    if [ "$got" -ne "$want" ]; then fail "$command: exit $got, expected $want"
    elif ! grep -qF -- "$text" "$WORK/out"; then fail "$command: no \"$text\" in the output"
    else echo "ok   $want  $command"
    fi
done <<'EOF'
0|Exit codes:|bench --lang en --help
0|Коды завершения:|bench --lang ru -h
0|Коды завершения:|bench '/?' --lang ru
2|unknown command "frobnicate"|bench --lang en version frobnicate
2|"set" needs NAME VALUE|bench --lang en set propSpeed
2|--count needs a whole number, not "x"|bench --lang en scan --count x
2|"de"|bench --lang de version
0|marking code: complete, 01+21+91+92|bench --lang en check '0104607012345677\x1d21ABC123<GS>91EE11<GS>92YW4gZXhhbXBsZSBvZiBhIGNyeXB0byB0YWlsLCAzMyBi'
1|пропущен GS после (21)? внутри начинается (91)|bench --lang ru check '010460701234567721ABC12391EE11<GS>92YW4gZXhhbXBsZSBvZiBhIGNyeXB0byB0YWlsLCAzMyBi'
1|codes with problems: 1 of 2|bench --lang en check 0104607012345677 ']d2'
3|(0x800401F3)|bench --lang en unregister version
3|(0x8007007E)|nodll --lang en register
0|component version 2000, driver version 1.0|bench --lang en register version
1|SetParameter не выполнена: Ошибка при установки параметра Скорость, заданное значение не поддерживается.|bench --lang ru set propSpeed 12345
0|code 0|bench --lang en error
1|Close failed: Invalid data type of the parameter Device ID.|bench --lang en close
4|the scan ended after 0 of 1 events|bench --lang en $SERIAL scan --count 1 --seconds 0.2
0|COM27|bench --lang en ports
0|for the current user|bench --lang en register --user
0|AddIn.VeltraScanner|regq
0|for the current user|bench --lang en unregister --user
1||regq
EOF

# --native: a library that is not there, nothing to register, and the Native
# API library beside the bench answering as the COM driver (registered
# machine-wide above) does; only the file line names the other DLL.
[ "$NATIVE" = native ] && for command in nosuch register version info; do
    case $command in
        nosuch | register)
            if [ $command = nosuch ]; then set -- 3 'cannot load nosuch.dll' nosuch.dll version
            else set -- 2 'there is nothing to register' VeltraScannerNative.dll register
            fi
            bench --lang en --native "$3" "$4" </dev/null >"$WORK/out" 2>&1
            got=$?
            if [ $got -ne "$1" ] || ! grep -qF "$2" "$WORK/out"; then
                fail "--native $3 $4: exit $got, expected $1 and \"$2\""
            else echo "ok   $1  --native $3 $4"
            fi
            continue ;;
    esac
    bench --lang en "$command" </dev/null 2>&1 | tr -d '\r' >"$WORK/com"
    bench --lang en --native VeltraScannerNative.dll "$command" </dev/null >"$WORK/out" 2>&1
    got=$?
    tr -d '\r' <"$WORK/out" >"$WORK/native"
    grep -v '^file ' "$WORK/com" >"$WORK/com.rest"
    grep -v '^file ' "$WORK/native" >"$WORK/native.rest"
    if [ $got -ne 0 ]; then fail "--native $command: exit $got"
    elif ! grep -q '^file .*VeltraScannerNative\.dll, file version ' "$WORK/native"; then
        fail "--native $command: no file line of VeltraScannerNative.dll with its version"
    elif ! diff "$WORK/com.rest" "$WORK/native.rest" >"$WORK/out"; then
        fail "--native $command: not what the COM driver answers"
    else echo "ok   0  --native VeltraScannerNative.dll $command: as through COM"
    fi
done

# --json: stdout carries the events only, one JSON object per line; --gs1
# adds each code's split.
bench --lang ru --json $SERIAL scan --count 2 --seconds 20 --gs1 >"$WORK/json" 2>"$WORK/out" </dev/null &
BENCH_PID=$!
n=0
while ! grep -q 'устройство' "$WORK/out" && kill -0 "$BENCH_PID" 2>/dev/null && [ $n -lt 200 ]; do
    n=$((n + 1))
    sleep 0.1
done
printf 'A"B\\C\035D\r\n' >"$WORK/serial/feed"
sleep 0.3
printf '0104607012345677\03521ABC123\03591EE11\03592YW4gZXhhbXBsZSBvZiBhIGNyeXB0byB0YWlsLCAzMyBi\r\n' >"$WORK/serial/feed"
wait "$BENCH_PID"
got=$?
BENCH_PID=
if [ $got -ne 0 ]; then
    fail "--json scan: exit $got"
elif ! python3 -c '
import json, re, sys
events = [json.loads(line) for line in open(sys.argv[1], encoding="utf-8")]
assert [(e["event"], e["data"]) for e in events] == [
    ("Штрихкод", "A\"B\\C\x1dD"), ("Штрихкод", "0104607012345677\x1d21ABC123\x1d91EE11\x1d92YW4gZXhhbXBsZSBvZiBhIGNyeXB0byB0YWlsLCAzMyBi")], events
assert all(list(e) == ["time", "source", "event", "data", "gs1", "gs1_problems", "marking_code"] for e in events), events
assert events[0]["gs1"] == [] and len(events[0]["gs1_problems"]) == 2 and events[0]["marking_code"] == "none", events
assert events[1]["gs1"] == [{"ai": "01", "value": "04607012345677"}, {"ai": "21", "value": "ABC123"},
                            {"ai": "91", "value": "EE11"}, {"ai": "92", "value": "YW4gZXhhbXBsZSBvZiBhIGNyeXB0byB0YWlsLCAzMyBi"}], events
assert events[1]["gs1_problems"] == [] and events[1]["marking_code"] == "complete", events
assert all(re.fullmatch(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}", e["time"]) and e["source"] for e in events), events
' "$WORK/json" >>"$WORK/out" 2>&1; then
    fail "--json scan: stdout is not the two expected JSON events"
    sed 's/^/    stdout | /' "$WORK/json"
else
    echo "ok   0  --json scan --gs1: two JSON events with their split"
fi

[ $failures -eq 0 ] || { echo "$failures failed"; exit 1; }
echo "PASS"
