#!/bin/sh
# A virtual serial cable for the serial tests under Wine.
#
#   serial_fixture.sh start DIR PORT [HANGUP_PORT]   (WINEPREFIX set)
#   serial_fixture.sh stop DIR PORT [HANGUP_PORT]
#
# start: socat joins two pseudo-terminals, DIR/line (the scanner's end, where
# the driver reads) and DIR/feed (where the tests write what the scanner
# sends); $WINEPREFIX/dosdevices/<port> points at DIR/line, so the driver
# opens it as PORT (e.g. COM21). The tests learn both ends from the
# environment that CTest gives them: VELTRA_SERIAL_PORT=PORT and
# VELTRA_SERIAL_FEED=DIR/feed, which they open through Wine's Z: drive and
# write with WriteFile. Without these variables the serial tests skip.
# stop: ends the socat that start left (its pid is in DIR/socat.pid) and
# removes the link. Both are safe to repeat.
#
# HANGUP_PORT: a second line, DIR/line2, whose far end goes away for good
# once DIR/hangup exists (a test creates it through Z:): socat's other
# address is a shell that waits for that file, and socat ends with it.
set -eu

action=${1:?usage: serial_fixture.sh start|stop DIR PORT}
dir=${2:?directory}
port=$(printf '%s' "${3:?port such as COM21}" | tr 'A-Z' 'a-z')
link=${WINEPREFIX:?WINEPREFIX must name the prefix}/dosdevices/$port
hangup_port=$(printf '%s' "${4:-}" | tr 'A-Z' 'a-z')
hangup_link=$WINEPREFIX/dosdevices/$hangup_port

# Ends the socat whose pid is in the named file, if it is still ours, with
# its process group (setsid made it the leader; the waiting shell is in it).
stop_socat() {
    if [ -f "$1" ]; then
        pid=$(cat "$1")
        # Only the socat this script started, never another process that
        # happens to have been given the same id since.
        if [ -n "$pid" ] && grep -qa socat "/proc/$pid/cmdline" 2>/dev/null; then
            kill -- "-$pid" 2>/dev/null || kill "$pid" 2>/dev/null || true
        fi
        rm -f "$1"
    fi
}

wait_for() {
    i=0
    while [ ! -e "$1" ]; do
        i=$((i + 1))
        if [ $i -gt 100 ]; then
            echo "serial_fixture: socat made no pseudo-terminal $1" >&2
            stop
            exit 1
        fi
        sleep 0.05
    done
}

stop() {
    stop_socat "$dir/socat.pid"
    stop_socat "$dir/socat2.pid"
    # Remove the links only if they are ours.
    if [ -L "$link" ] && [ "$(readlink "$link")" = "$dir/line" ]; then rm -f "$link"; fi
    if [ -n "$hangup_port" ] && [ -L "$hangup_link" ] && [ "$(readlink "$hangup_link")" = "$dir/line2" ]; then
        rm -f "$hangup_link"
    fi
    rm -f "$dir/line" "$dir/feed" "$dir/line2" "$dir/hangup"
}

start() {
    command -v socat >/dev/null || { echo "serial_fixture: socat is missing (./run setup installs it)" >&2; exit 1; }
    stop
    mkdir -p "$dir" "$(dirname "$link")"
    # raw on both ends: bytes pass unchanged, no echo, no line editing.
    # setsid and closed streams: CTest waits for every process that holds
    # the test's output, and socat must outlive this script.
    setsid socat pty,raw,echo=0,link="$dir/line" pty,raw,echo=0,link="$dir/feed" \
        </dev/null >/dev/null 2>&1 &
    echo $! >"$dir/socat.pid"
    wait_for "$dir/line"
    wait_for "$dir/feed"
    ln -sfn "$dir/line" "$link"
    echo "serial_fixture: $port -> $(readlink "$dir/line"), feed $dir/feed"
    if [ -n "$hangup_port" ]; then
        setsid socat pty,raw,echo=0,link="$dir/line2" \
            SYSTEM:"while [ ! -e '$dir/hangup' ]; do sleep 0.05; done" </dev/null >/dev/null 2>&1 &
        echo $! >"$dir/socat2.pid"
        wait_for "$dir/line2"
        ln -sfn "$dir/line2" "$hangup_link"
        echo "serial_fixture: $hangup_port -> $(readlink "$dir/line2"), hangs up when $dir/hangup exists"
    fi
}

case $action in
    start) start ;;
    stop) stop ;;
    *) echo "usage: serial_fixture.sh start|stop DIR PORT" >&2; exit 2 ;;
esac
