#!/bin/sh
# Runs VeltraPerf of one build tree under Wine, in a prefix of its own, with a
# virtual serial line (socat) mapped to a COM port for the serial figure.
#
#   bench/run_bench.sh BUILD_DIR WINE [VeltraPerf arguments...]
#
# Everything runs on one processor (VELTRA_BENCH_CPUS, default 0; "all" for
# none): each Win32 call that reaches the wineserver is a round trip between
# two processes, and on a virtual machine a wake-up across processors can cost
# ten times one on the same processor (a pipe ping-pong between two processes:
# 48 us across the two processors of the project's machine, 2.8 us on one),
# which would swamp every figure with the host's scheduling.
#
# Everything it starts (the serial line, the prefix's wineserver) is ended on
# exit, also on failure or Ctrl+C.
set -eu

build=$(cd "${1:?usage: run_bench.sh BUILD_DIR WINE [args]}" && pwd)
wine=${2:?wine program (wine or wine64)}
shift 2
here=$(cd "$(dirname "$0")" && pwd)

cpus=${VELTRA_BENCH_CPUS:-0}
if [ "$cpus" != all ] && [ -z "${VELTRA_BENCH_PINNED:-}" ]; then
    export VELTRA_BENCH_PINNED=$cpus
    exec taskset -c "$cpus" "$0" "$build" "$wine" "$@"
fi

export WINEPREFIX="$build/wineprefix-bench" WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
serial_dir=$build/bench-serial
port=COM23
fixture="$here/../tests/wine/serial_fixture.sh"

session="sh $here/../tests/wine/wine_session.sh"

cleanup() {
    sh "$fixture" stop "$serial_dir" "$port" >/dev/null 2>&1 || true
    $session stop "$WINEPREFIX"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

$session start "$WINEPREFIX" "$wine"
sh "$fixture" start "$serial_dir" "$port" >/dev/null

# Context switches of every thread of a process, summed.
switches() {
    cat /proc/"$1"/task/*/status 2>/dev/null |
        awk '/^(non)?voluntary_ctxt_switches:/ { n += $2 } END { print n + 0 }'
}

# The bench's output passes through here: at "IDLE begin" and "IDLE end" the
# switches of its threads are read and the difference handed back to it.
export VELTRA_BENCH_DIR="$build/bench-run"
rm -rf "$VELTRA_BENCH_DIR"
mkdir -p "$VELTRA_BENCH_DIR"
mkfifo "$VELTRA_BENCH_DIR/out"
VELTRA_SERIAL_PORT=$port VELTRA_SERIAL_FEED=$serial_dir/feed \
    "$wine" "$build/bin/VeltraPerf.exe" "$@" >"$VELTRA_BENCH_DIR/out" &
bench=$!
begin=0
while IFS= read -r line; do
    case $line in
        "IDLE begin"*) begin=$(switches "$bench") ;;
        "IDLE end"*)
            end=$(switches "$bench")
            echo $((end - begin)) >"$VELTRA_BENCH_DIR/idle.tmp"
            mv "$VELTRA_BENCH_DIR/idle.tmp" "$VELTRA_BENCH_DIR/idle" ;;
        *) printf '%s\n' "$line" ;;
    esac
done <"$VELTRA_BENCH_DIR/out"
wait "$bench"
