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
# REPLUG_PORT: a second line, DIR/line2 fed through DIR/feed2, that a test
# can unplug and plug in again, as a USB serial scanner is: it creates the
# file DIR/unplug or DIR/plug through Z:, and a controller that start leaves
# running ends the line's socat (its pseudo-terminal goes away, and the port
# name leads nowhere) or starts a new one under the same names, then removes
# the request file: its disappearance is the answer.
set -eu

action=${1:?usage: serial_fixture.sh start|stop DIR PORT}
dir=${2:?directory}
port=$(printf '%s' "${3:?port such as COM21}" | tr 'A-Z' 'a-z')
link=${WINEPREFIX:?WINEPREFIX must name the prefix}/dosdevices/$port
replug_port=$(printf '%s' "${4:-}" | tr 'A-Z' 'a-z')
replug_link=$WINEPREFIX/dosdevices/$replug_port

# Ends the process whose pid is in the named file, if it is still ours (its
# command line names $2), with its process group (setsid made it the leader).
stop_process() {
    if [ -f "$1" ]; then
        pid=$(cat "$1")
        # Only the process this script started, never another one that
        # happens to have been given the same id since.
        if [ -n "$pid" ] && grep -qa "$2" "/proc/$pid/cmdline" 2>/dev/null; then
            kill -- "-$pid" 2>/dev/null || kill "$pid" 2>/dev/null || true
        fi
        rm -f "$1"
    fi
}
stop_socat() { stop_process "$1" socat; }

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
    rm -f "$dir/serving"
    stop_process "$dir/controller.pid" serial_fixture
    stop_socat "$dir/socat.pid"
    stop_socat "$dir/socat2.pid"
    # Remove the links only if they are ours.
    if [ -L "$link" ] && [ "$(readlink "$link")" = "$dir/line" ]; then rm -f "$link"; fi
    if [ -n "$replug_port" ] && [ -L "$replug_link" ] && [ "$(readlink "$replug_link")" = "$dir/line2" ]; then
        rm -f "$replug_link"
    fi
    rm -f "$dir/line" "$dir/feed" "$dir/line2" "$dir/feed2" "$dir/plug" "$dir/unplug"
}

plug() {
    [ -e "$dir/line2" ] && return 0
    setsid socat pty,raw,echo=0,link="$dir/line2" pty,raw,echo=0,link="$dir/feed2" </dev/null >/dev/null 2>&1 &
    echo $! >"$dir/socat2.pid"
    wait_for "$dir/line2"
    wait_for "$dir/feed2"
}

unplug() {
    stop_socat "$dir/socat2.pid"
    i=0
    while [ -e "$dir/line2" ] && [ $i -lt 100 ]; do
        i=$((i + 1))
        sleep 0.02
    done
}

# The replug line's controller: serves the request files while the fixture runs.
serve() {
    while [ -f "$dir/serving" ]; do
        if [ -e "$dir/unplug" ]; then
            unplug
            rm -f "$dir/unplug"
        fi
        if [ -e "$dir/plug" ]; then
            plug
            rm -f "$dir/plug"
        fi
        sleep 0.02
    done
    unplug
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
    if [ -n "$replug_port" ]; then
        plug
        ln -sfn "$dir/line2" "$replug_link"
        : >"$dir/serving"
        setsid sh "$0" serve "$dir" "$port" "$replug_port" </dev/null >/dev/null 2>&1 &
        echo $! >"$dir/controller.pid"
        echo "serial_fixture: $replug_port -> $(readlink "$dir/line2"), feed $dir/feed2, unplugged and plugged" \
            "in again on request ($dir/unplug, $dir/plug)"
    fi
}

case $action in
    start) start ;;
    stop) stop ;;
    serve) serve ;;
    *) echo "usage: serial_fixture.sh start|stop DIR PORT" >&2; exit 2 ;;
esac
