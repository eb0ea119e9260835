#!/bin/sh
# A virtual serial cable for the serial tests under Wine.
#
#   serial_fixture.sh start DIR PORT   (WINEPREFIX set)
#   serial_fixture.sh stop DIR PORT
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
set -eu

action=${1:?usage: serial_fixture.sh start|stop DIR PORT}
dir=${2:?directory}
port=$(printf '%s' "${3:?port such as COM21}" | tr 'A-Z' 'a-z')
link=${WINEPREFIX:?WINEPREFIX must name the prefix}/dosdevices/$port

stop() {
    if [ -f "$dir/socat.pid" ]; then
        pid=$(cat "$dir/socat.pid")
        # Only the socat this script started, never another process that
        # happens to have been given the same id since.
        if [ -n "$pid" ] && grep -qa socat "/proc/$pid/cmdline" 2>/dev/null; then
            kill "$pid" 2>/dev/null || true
        fi
        rm -f "$dir/socat.pid"
    fi
    # Remove the link only if it is ours.
    if [ -L "$link" ] && [ "$(readlink "$link")" = "$dir/line" ]; then rm -f "$link"; fi
    rm -f "$dir/line" "$dir/feed"
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
    i=0
    while [ ! -e "$dir/line" ] || [ ! -e "$dir/feed" ]; do
        i=$((i + 1))
        if [ $i -gt 100 ]; then
            echo "serial_fixture: socat made no pseudo-terminals" >&2
            stop
            exit 1
        fi
        sleep 0.05
    done
    ln -sfn "$dir/line" "$link"
    echo "serial_fixture: $port -> $(readlink "$dir/line"), feed $dir/feed"
}

case $action in
    start) start ;;
    stop) stop ;;
    *) echo "usage: serial_fixture.sh start|stop DIR PORT" >&2; exit 2 ;;
esac
