#!/bin/sh
# Keyboard capture end to end through the real X keyboard path: an Xvfb
# server, a window of the test bench connected in keyboard mode, and scans
# typed with xdotool: a plain code, marking codes with the GS separator as
# Ctrl+] and as an Alt+keypad code, and a code typed with Caps Lock on.
# Passes when the bench prints each barcode event as it was meant and the
# window got the digits' key-downs but none of the frame keys, characters or
# keys of the Alt code.
#
#   x_keyboard_test.sh BIN_DIR WINE XPREFIX
#
# XPREFIX is a Wine prefix of this test's own (see wine_prefix.sh): Wine
# binds a prefix's session desktop to the display its first process found,
# and the other tests run their prefix without any display.
# Exit status: 0 passed, 1 failed, 77 skipped (no Xvfb or xdotool).
set -u
BIN=$1
WINE=$2
XPREFIX=$3
SKIP=77
TITLE="VeltraBench keyboard"

for tool in Xvfb xdotool; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "SKIP: $tool is not installed (Debian packages xvfb and xdotool)"
        exit $SKIP
    fi
done

export WINEPREFIX="$XPREFIX" WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
SESSION="sh $(cd "$(dirname "$0")" && pwd)/wine_session.sh"
TMP=$(mktemp -d)
XVFB_PID=
BENCH_PID=

cleanup() {
    [ -n "$BENCH_PID" ] && kill "$BENCH_PID" 2>/dev/null
    # Only this test's own prefix: the server ends with the desktop on our display.
    $SESSION stop "$XPREFIX"
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
    rm -rf "$TMP"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

fail() {
    echo "FAIL: $*"
    echo "---- bench output"
    cat "$TMP/out" 2>/dev/null
    exit 1
}

# -displayfd picks a free display and writes its number once the server is ready.
Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$TMP/display" >"$TMP/xvfb.log" 2>&1 &
XVFB_PID=$!
n=0
while [ ! -s "$TMP/display" ]; do
    n=$((n + 1))
    [ $n -gt 100 ] && { cat "$TMP/xvfb.log"; fail "Xvfb did not start"; }
    kill -0 "$XVFB_PID" 2>/dev/null || { cat "$TMP/xvfb.log"; fail "Xvfb exited"; }
    sleep 0.1
done
export DISPLAY=":$(head -n 1 "$TMP/display")"
echo "Xvfb on display $DISPLAY, prefix $XPREFIX"

# A new server (one left from an interrupted run would keep its desktop on a
# dead display), its desktop on this display.
$SESSION start "$XPREFIX" "$WINE" || fail "no Wine session"

"$WINE" "$BIN/VeltraBench.exe" --lang en register set propComPortNumber 0 set propPrefix "~" set propSuffix Tab \
    set propTimeOut 2000 keyboard --count 4 --seconds 40 >"$TMP/out" 2>&1 &
BENCH_PID=$!

WID=
n=0
while [ -z "$WID" ]; do
    n=$((n + 1))
    [ $n -gt 120 ] && fail "no window named \"$TITLE\" after 60 s"
    kill -0 "$BENCH_PID" 2>/dev/null || fail "the bench ended before its window appeared"
    sleep 0.5
    WID=$(xdotool search --onlyvisible --name "^$TITLE\$" 2>/dev/null | head -n 1)
done

# No window manager runs, so the focus has to be set by hand.
timeout 10 xdotool windowfocus --sync "$WID" || fail "cannot focus window $WID"
xdotool key --delay 20 grave 4 6 0 7 Tab
xdotool key --delay 20 grave 0 1 ctrl+bracketright 9 1 Tab
xdotool key --delay 20 grave 2 1 A B C
xdotool keydown alt key --delay 20 KP_0 KP_0 KP_2 KP_9 keyup alt
xdotool key --delay 20 9 1 Tab
xdotool key --delay 20 Caps_Lock grave a shift+b c Tab Caps_Lock

wait "$BENCH_PID"
status=$?
BENCH_PID=
# Windows programs end their text lines with CR LF.
tr -d '\r' <"$TMP/out" >"$TMP/out.txt" && mv "$TMP/out.txt" "$TMP/out"
cat "$TMP/out"
echo "---- checks"
[ $status -eq 0 ] || fail "the bench exited with $status (no event within its time limit?)"
for data in '4607' '01\\x1D91' '21ABC\\x1D91' 'aBc'; do
    grep -q "name=Barcode  data=\"$data\"\$" "$TMP/out" || fail "no Barcode event with data \"$data\""
done
# 4, 6, 0 and 7 of the first code and the 0 of the second.
[ "$(grep -c '^window WM_KEYDOWN 0x3[4607]$' "$TMP/out")" -eq 5 ] || fail "the digits' key-downs did not all reach the window"
grep -q '^window WM_CHAR' "$TMP/out" && fail "a character reached the window"
grep -q '^window WM_SYS' "$TMP/out" && fail "a key of the Alt code reached the window"
grep -q '^window WM_KEYDOWN 0x\(C0\|09\)$' "$TMP/out" && fail "a prefix or suffix key-down reached the window"
echo "PASS"
exit 0
