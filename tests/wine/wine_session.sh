#!/bin/sh
# One Wine session for one prefix, for everything that runs Windows programs
# here (the CTest suites, the X keyboard and test bench tests, the demo, the
# performance bench, the release check).
#
#   wine_session.sh start PREFIX WINE [KEEPER]
#   wine_session.sh stop PREFIX
#
# start: makes PREFIX (a copy of the template prefix, see wine_prefix.sh),
# ends a server left there by an interrupted run, starts a persistent server
# (each Wine start then takes a fraction of a second, and CTest does not wait
# ~2.5 s per test for Wine's background processes to let go of its output),
# starts the prefix's services and desktop with closed standard handles, and,
# given KEEPER (KeepDesktop.exe of the build), keeps the desktop up until the
# session ends (see KeepDesktop.cpp). WINE is the Wine program of the build
# (wine or /usr/lib/wine/wine64); where it cannot start (a kernel without
# 32-bit programs and no emulator), start says so and fails.
# stop: ends the prefix's server and everything that runs in it.
# Every Wine program runs with WINEDEBUG=-all and no Mono or Gecko installer.
set -eu

action=${1:?usage: wine_session.sh start PREFIX WINE [KEEPER] | stop PREFIX}
export WINEPREFIX=${2:?prefix}
export WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
here=$(cd "$(dirname "$0")" && pwd)

stop() {
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
}

start() {
    wine=${1:?wine program}
    keeper=${2:-}
    if ! "$wine" --version >/dev/null 2>&1; then
        echo "wine_session: $wine cannot start on this machine (a kernel without 32-bit programs?); ./run setup provides an emulator for them" >&2
        exit 1
    fi
    stop
    sh "$here/wine_prefix.sh" "$WINEPREFIX"
    wineserver -p </dev/null >/dev/null 2>&1
    "$wine" cmd /c exit </dev/null >/dev/null 2>&1
    [ -n "$keeper" ] || return 0
    ready=$WINEPREFIX/drive_c/windows/temp/desktop-kept
    rm -f "$ready"
    setsid "$wine" "$keeper" "$(printf 'Z:%s' "$ready" | tr / '\\')" </dev/null >/dev/null 2>&1 &
    i=0
    while [ ! -e "$ready" ]; do
        i=$((i + 1))
        if [ $i -gt 300 ]; then
            echo "wine_session: $keeper did not hold the desktop within 30 s" >&2
            exit 1
        fi
        sleep 0.1
    done
}

case $action in
    start) shift 2; start "$@" ;;
    stop) stop ;;
    *) echo "usage: wine_session.sh start PREFIX WINE [KEEPER] | stop PREFIX" >&2; exit 2 ;;
esac
