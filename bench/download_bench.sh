#!/usr/bin/env bash
# How fast velto.exe downloads a big file, and what it costs while it sits open, next to the
# limits of its own socket design on this machine, measured in the same run:
#   client            velto.exe (x86_64, wine64) driven by bench/velto_bench.exe: double-click,
#                     Save dialog, until the log's completion line; the copy is compared
#   design ceiling    bench/ceiling_reader.exe: one window, one 256-byte recv per FD_READ
#   + panel timer     the same with the status panel's 1 ms timer and off-screen paint
#   platform ceiling  bench/blocking_reader.exe: blocking socket, 64 KiB reads
# plus the client's idle CPU (connected, 10 s), peak resident memory, start-up time and what
# a 1 ms timer really gives here (bench/timer_probe.exe). Each figure is the median of RUNS.
# Everything runs isolated: a network namespace with only loopback, Xvfb, Wine's desktop.
#
# usage: bench/download_bench.sh [RUNS]            (default 3)
# env:   VELTO_BENCH_MIB (64)  VELTO_BENCH_IDLE (10 s)  VELTO_BENCH_BUILD (build: holds win64/
#        and native/; built here unless VELTO_BENCH_NO_BUILD=1)  VELTO_BENCH_KEEP=1 keeps the
#        work directory  VELTO_BENCH_ONLY="ceiling client" measures only those (of: timer
#        blocking ceiling ceiling-panel client)
set -euo pipefail
. "$(dirname "$0")/../scripts/wine-env.sh"

runs=${1:-3}
mib=${VELTO_BENCH_MIB:-64}
idle=${VELTO_BENCH_IDLE:-10}
build=${VELTO_BENCH_BUILD:-$VELTO_BUILD}
server=$build/native/server/zurod-server
client=$build/win64/src/velto.exe
bench_dir=$build/win64/bench
per_program_limit=1800  # seconds; a 64 MiB download at 256 bytes a read takes about a minute

# run_windows NAME EXE ARGS...: one program in Wine's desktop, its RESULT lines kept.
run_windows() {
    local name=$1 exe=$2
    shift 2
    echo "bench: $name" >&2
    timeout "$per_program_limit" "$WINE" explorer /desktop=velto-bench,1024x768 \
        "$(windows_path "$exe")" "$@" >"$work/$name.out" 2>"$work/$name.err" || true
    if ! grep '^RESULT ' "$work/$name.out" >>"$work/results"; then
        echo "bench: $name gave no result:" >&2
        cat "$work/$name.out" "$work/$name.err" >&2
        echo "FAIL $name" >>"$work/results"
    fi
}

# wanted NAME: NAME is among the measurements asked for (VELTO_BENCH_ONLY, default all).
wanted() {
    [[ " ${VELTO_BENCH_ONLY:-timer blocking ceiling ceiling-panel client} " == *" $1 "* ]]
}

# The pid of this prefix's wineserver: the one process of that name with our WINEPREFIX.
wineserver_pid() {
    local pid
    for pid in $(pgrep -x 'wineserver64|wineserver'); do
        if tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX"; then
            echo "$pid"
            return
        fi
    done
    echo 0
}

server_pid=""
run_inside() {
    stop_all() {
        [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
        wineserver -k 2>/dev/null || true
    }
    trap stop_all EXIT
    trap 'exit 124' INT TERM
    wineserver -p

    "$server" --root "$work/root" --bind 127.0.0.1 --port 0 --password qvk 2>"$work/server.log" &
    server_pid=$!
    local port
    port=$(wait_for_listen "$work/server.log" 10) ||
        { echo "bench: zurod-server did not start" >&2; cat "$work/server.log" >&2; return 1; }

    export VELTO_EXE=$work/velto.exe  # a path of its own: how velto_bench finds its process
    export VELTO_BENCH_WINESERVER_PID VELTO_BENCH_CLK_TCK
    VELTO_BENCH_WINESERVER_PID=$(wineserver_pid)
    VELTO_BENCH_CLK_TCK=$(getconf CLK_TCK)
    cd "$work"
    local args=("$port" qvk big.bin) i
    for i in $(seq "$runs"); do
        echo "bench: round $i of $runs" >&2
        wanted timer && run_windows "timer-$i" "$bench_dir/timer_probe.exe" 5
        wanted blocking && run_windows "blocking-$i" "$bench_dir/blocking_reader.exe" "${args[@]}"
        wanted ceiling && run_windows "ceiling-$i" "$bench_dir/ceiling_reader.exe" "${args[@]}"
        wanted ceiling-panel &&
            run_windows "ceiling-panel-$i" "$bench_dir/ceiling_reader.exe" "${args[@]}" --panel-timer
        wanted client || continue
        run_windows "client-$i" "$bench_dir/velto_bench.exe" "${args[@]}" "$work/root/big.bin" \
            "$work/downloads" "$idle"
        # Byte for byte, apart from the program's own check.
        if cmp -s "$work/root/big.bin" "$work/downloads/big.bin.velto"; then
            echo "CHECK same" >>"$work/results"
        else
            echo "CHECK differs" >>"$work/results"
        fi
        rm -f "$work/downloads/big.bin.velto"
    done
}

if [ "${1:-}" = --inside ]; then
    work=$2 runs=$3 idle=$4 bench_dir=$5 server=$6
    run_inside
    exit
fi

if [ "${VELTO_BENCH_NO_BUILD:-0}" != 1 ]; then
    (cd "$VELTO_ROOT" && scripts/build.sh native win64 >&2)
fi
for file in "$server" "$client" "$bench_dir/velto_bench.exe" "$bench_dir/ceiling_reader.exe" \
    "$bench_dir/blocking_reader.exe" "$bench_dir/timer_probe.exe"; do
    [ -f "$file" ] || { echo "bench: $file is missing" >&2; exit 1; }
done
use_wine_prefix "$build/wineprefix-bench"
work=$(mktemp -d /tmp/velto-bench.XXXXXX)
[ "${VELTO_BENCH_KEEP:-0}" = 1 ] || trap 'rm -rf "$work"' EXIT
mkdir -p "$work/root" "$work/downloads"
cp "$client" "$work/velto.exe"
head -c $((mib * 1024 * 1024)) /dev/urandom >"$work/root/big.bin"
: >"$work/results"

status=0
headless timeout $((runs * 4 * per_program_limit)) bash "$0" --inside "$work" "$runs" "$idle" \
    "$bench_dir" "$server" || status=$?

# median NAME KEY: the median of KEY=value over NAME's RESULT lines ("-" if none).
median() {
    grep "^RESULT $1 " "$work/results" | tr ' ' '\n' | sed -n "s/^$2=//p" | sort -g |
        awk '{ v[NR] = $1 } END { if (NR == 0) print "-"; else if (NR % 2) print v[(NR + 1) / 2];
                                  else printf "%.3f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
all() { grep "^RESULT $1 " "$work/results" | tr ' ' '\n' | sed -n "s/^$2=//p" | paste -sd' '; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "-" || b == "-" || b == 0) print "-"; else printf "%.3g", a / b }'; }

client_mbps=$(median client mbps)
ceiling_mbps=$(median ceiling mbps)
same=$(grep -c '^CHECK same' "$work/results" || true)
checked=$(grep -c '^CHECK' "$work/results" || true)
peak=$(median client peak_rss_kb)
idle_rss=$(median idle rss_kb)

printf '\nVELTO download benchmark: %s MiB over loopback, median of %s runs (values of each run)\n' "$mib" "$runs"
row() { printf '  %-44s %12s   %s\n' "$1" "$2" "$3"; }
row "client: double-click to completion line" "$(median client seconds) s" "$(all client seconds)"
row "client: Save confirmed to completion line" "$(median client transfer_seconds) s" "$(all client transfer_seconds)"
row "client speed" "$client_mbps MB/s" "$(all client mbps)"
row "design ceiling: 256 B per FD_READ" "$(median ceiling seconds) s" "$(all ceiling seconds)"
row "design ceiling speed" "$ceiling_mbps MB/s" "$(all ceiling mbps)"
row "design ceiling + 1 ms panel timer" "$(median ceiling_panel mbps) MB/s" "$(all ceiling_panel mbps)"
row "platform ceiling: blocking, 64 KiB reads" "$(median blocking mbps) MB/s" "$(all blocking mbps)"
row "CLIENT / DESIGN CEILING" "$(ratio "$client_mbps" "$ceiling_mbps")" "goal >= 0.90"
row "client / platform ceiling" "$(ratio "$client_mbps" "$(median blocking mbps)")" ""
row "client CPU in the download" "$(median client cpu_seconds) s" "wineserver $(median client wineserver_cpu_seconds) s"
row "client CPU idle, connected (${idle} s)" "$(median idle cpu_percent) %" "wineserver $(median idle wineserver_cpu_percent) %"
row "client resident memory, idle" "$(ratio "$idle_rss" 1024) MiB" ""
row "client peak resident memory (VmHWM)" "$(ratio "$peak" 1024) MiB" "$(all client peak_rss_kb) kB"
row "1 ms timer: ticks per second" "$(median timer ticks_per_s)" "paints/s $(median timer paints_per_s)"
row "start to main window shown" "$(median startup seconds) s" "$(all startup seconds)"
row "downloaded copies identical (cmp)" "$same of $checked" ""
grep '^FAIL' "$work/results" | sed 's/^FAIL /bench: no result from /' >&2 && status=1
if wanted client; then [ "$checked" -gt 0 ] && [ "$same" -eq "$checked" ] || status=1; fi
[ "${VELTO_BENCH_KEEP:-0}" = 1 ] && echo "bench: results in $work"
exit "$status"
