#!/usr/bin/env bash
# Shows the driver at work under Wine with a virtual serial scanner:
#   tools/dev/demo.sh BUILD_DIR      (./run demo passes build/win32)
# The test bench registers the driver and opens COM3, socat makes COM3 one end
# of a pseudo-terminal pair, and this script plays the scanner on the other
# end. Everything it starts (socat, the COM3 link, the bench, its wineserver)
# is ended again, also when a step fails. The demo has a Wine prefix of its
# own, so it never disturbs a test run in the same build tree.
set -euo pipefail

die() { echo "demo: $*" >&2; exit 1; }
say() { printf -- '-- %s\n' "$*"; }

[ $# -eq 1 ] || die "usage: tools/dev/demo.sh BUILD_DIR"
BUILD=$(cd "$1" && pwd) || die "no build directory $1"
BIN=$BUILD/bin
[ -f "$BIN/VeltraBench.exe" ] && [ -f "$BIN/VeltraScanner.dll" ] || die "build $BUILD first (VeltraBench.exe, VeltraScanner.dll)"
command -v socat >/dev/null || die "socat is missing (./run setup installs it)"

# A 64-bit build (PE machine 0x8664) runs under wine64.
pe=$(od -An -tu4 -j60 -N4 "$BIN/VeltraScanner.dll" | tr -d ' ')
machine=$(od -An -tx2 -j$((pe + 4)) -N2 "$BIN/VeltraScanner.dll" | tr -d ' ')
WINE=wine
[ "$machine" = 8664 ] && WINE=/usr/lib/wine/wine64

WORK=$BUILD/demo
SESSION="sh $(cd "$(dirname "$0")/../../tests/wine" && pwd)/wine_session.sh"
export WINEPREFIX=$WORK/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
COM3=$WINEPREFIX/dosdevices/com3
mkdir -p "$WORK"

server_started=false registered=false socat_pid="" bench_pid="" show_pid=""
cleanup() {
    local status=$?
    set +e
    [ -n "$bench_pid" ] && kill "$bench_pid" 2>/dev/null && wait "$bench_pid" 2>/dev/null
    [ -n "$show_pid" ] && wait "$show_pid" 2>/dev/null
    if $registered; then
        (cd "$BIN" && "$WINE" VeltraBench.exe --lang en unregister >/dev/null 2>&1 </dev/null)
    fi
    [ -n "$socat_pid" ] && kill "$socat_pid" 2>/dev/null
    rm -f "$COM3" "$WORK/line" "$WORK/feed" "$WORK/bench.log"
    $server_started && $SESSION stop "$WINEPREFIX"
    [ $status -ne 0 ] && echo "demo: failed (exit $status); everything it started is stopped again" >&2
    exit $status
}
trap cleanup EXIT
trap 'exit 130' INT TERM

say "Wine prefix $WINEPREFIX ($WINE)"
# The prefix (a copy of the template prefix, made once), and a persistent
# wineserver: every Wine start below then takes a fraction of a second. A
# server left by an interrupted demo is ended first.
server_started=true
$SESSION start "$WINEPREFIX" "$WINE" "$BIN/KeepDesktop.exe" || die "no Wine session in $WINEPREFIX"

cd "$BIN"
say "registering the driver (DllRegisterServer writes the COM class and AddIn.VeltraScanner)"
registered=true
"$WINE" VeltraBench.exe --lang en register </dev/null | tr -d '\r'

say "what the host learns from the component (first lines of 'info')"
info=$("$WINE" VeltraBench.exe --lang en info </dev/null)
printf '%s\n' "$info" | sed -n '1,11p' | sed 's/\r$//; s/^/   /; s/^ *$//'
echo "   ..."

# The scanner's cable: socat joins two pseudo-terminals; COM3 leads to one end,
# the scanner writes into the other. Ending socat unplugs the scanner.
plug_in() {
    socat pty,raw,echo=0,link="$WORK/line" pty,raw,echo=0,link="$WORK/feed" </dev/null >/dev/null 2>&1 &
    socat_pid=$!
    for _ in $(seq 100); do [ -e "$WORK/line" ] && [ -e "$WORK/feed" ] && break; sleep 0.05; done
    [ -e "$WORK/feed" ] || die "socat made no pseudo-terminals"
    ln -sfn "$WORK/line" "$COM3"
}
unplug() {
    kill "$socat_pid" 2>/dev/null
    wait "$socat_pid" 2>/dev/null || true
    socat_pid=""
}

say "a virtual scanner: socat joins two pseudo-terminals; COM3 is one end, the scanner writes into the other"
plug_in
say "COM3 -> $(readlink "$WORK/line")"

say "the bench opens COM3 at 9600 8N1 and prints every event the driver posts"
: >"$WORK/bench.log"
"$WINE" VeltraBench.exe --lang en set propComPortNumber COM3 set propSpeed 9600 set propDataBit 8 \
    set propStopBits "1 stop bits" set propParity No scan --count 6 --seconds 30 \
    >"$WORK/bench.log" 2>&1 </dev/null &
bench_pid=$!
tail -n +1 -f --pid="$bench_pid" "$WORK/bench.log" | sed -u 's/\r$//; s/^/   bench| /' &
show_pid=$!
for _ in $(seq 200); do
    grep -q '^connected' "$WORK/bench.log" && break
    kill -0 "$bench_pid" 2>/dev/null || die "the bench ended before it was connected"
    sleep 0.05
done
grep -q '^connected' "$WORK/bench.log" || die "the bench did not connect"

scan() {  # scan DESCRIPTION BYTES: one burst, as a scanner sends a code
    sleep 1
    say "scanner: $1"
    printf '%b' "$2" >"$WORK/feed"
}
scan "EAN-13 4607012345677 + CR LF" '4607012345677\r\n'
scan "Code 128 \"VLT-2026/12-ABC\" + CR LF" 'VLT-2026/12-ABC\r\n'
scan "GS1 (01) 04607012345677 (21) ABC123 <GS> (10) LOT42 + CR LF" '0104607012345677''21ABC123\x1d''10LOT42\r\n'
scan "a burst with byte 0x88, which is no key: the driver reports a DriverError" '12\x88''34\r\n'
sleep 1
say "the scanner is unplugged: its line goes away, and the driver reports a DriverError once"
unplug
sleep 2
say "the scanner is plugged in again: COM3 leads to a new line, which the driver opens by itself"
plug_in
scan "after the return, EAN-13 4607012345684 + CR: it arrives on the same device" '4607012345684\r'

sleep 1
say "waiting for the bench to close the port"
wait "$bench_pid" || die "the bench failed"
bench_pid=""
wait "$show_pid" || true
show_pid=""
events=$(grep -c '^event' "$WORK/bench.log" || true)

say "unregistering the driver"
"$WINE" VeltraBench.exe --lang en unregister </dev/null | tr -d '\r'
registered=false
say "done: $events events received; stopping socat and the wineserver"
