#!/usr/bin/env bash
# How fast velto.exe downloads a file, and what it costs while it sits open, next to the
# limits of its own socket design on this machine, measured in the same run:
#   client            velto.exe (x86_64, wine64) driven by bench/velto_bench.exe: double-click,
#                     Save dialog, until the log's completion line; the copy is compared
#   design ceiling    bench/ceiling_reader.exe: one window, one 256-byte recv per FD_READ
#   + panel timer     the same with the status panel's 1 ms timer and off-screen paint
#   platform ceiling  bench/blocking_reader.exe: blocking socket, 64 KiB reads
# plus the client's idle CPU (connected, 10 s), resident memory, start-up time and what a
# 1 ms timer really gives here (bench/timer_probe.exe). The big file's progress range is 0
# (the size in 256-byte units keeps only its low 16 bits), so a small file is measured too:
# there the progress bar moves with every read. Each figure is the median of RUNS rounds.
# Everything runs isolated: a network namespace with only loopback, Xvfb, Wine's desktop.
#
# usage: bench/download_bench.sh [RUNS]            (default 3)
# env:   VELTO_BENCH_MIB (64)  VELTO_BENCH_SMALL_MIB (4)  VELTO_BENCH_IDLE (10 s)
#        VELTO_BENCH_BUILD     holds win64/ and native/ (default build/); built here with
#                              scripts/build.sh unless VELTO_BENCH_NO_BUILD=1
#        VELTO_BENCH_BASELINE  another velto.exe, measured in the same rounds ("before")
#        VELTO_BENCH_ONLY      some of: timer blocking ceiling ceiling-panel client small
#        VELTO_BENCH_KEEP=1    keeps the work directory with every program's output
set -euo pipefail
. "$(dirname "$0")/../scripts/wine-env.sh"

runs=${1:-3}
mib=${VELTO_BENCH_MIB:-64}
small_mib=${VELTO_BENCH_SMALL_MIB:-4}
idle=${VELTO_BENCH_IDLE:-10}
build=${VELTO_BENCH_BUILD:-$VELTO_BUILD}
baseline=${VELTO_BENCH_BASELINE:-}
server=$build/native/server/zurod-server
client=$build/win64/src/velto.exe
bench_dir=$build/win64/bench
per_program_limit=1800  # seconds; 64 MiB at 256 bytes a read takes about a minute

# wanted NAME: NAME is among the measurements asked for.
wanted() {
    [[ " ${VELTO_BENCH_ONLY:-timer blocking ceiling ceiling-panel client small} " == *" $1 "* ]]
}

# run_windows NAME EXE ARGS...: one program in Wine's desktop; its RESULT lines are kept.
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

# run_client LABEL EXE FILE IDLE: one download through a copy of EXE at a path of its own
# (velto_bench finds the client's Linux process by it), checked byte for byte afterwards.
run_client() {
    local label=$1 exe=$2 file=$3 idle_seconds=$4
    mkdir -p "$work/$label"
    cp "$exe" "$work/$label/velto.exe"
    VELTO_EXE=$work/$label/velto.exe run_windows "$label-$round" "$bench_dir/velto_bench.exe" \
        "$port" qvk "$file" "$work/root/$file" "$work/downloads" "$idle_seconds" "$label"
    if cmp -s "$work/root/$file" "$work/downloads/$file.$label"; then
        echo "CHECK same $label" >>"$work/results"
    else
        echo "CHECK differs $label" >>"$work/results"
    fi
    rm -f "$work/downloads/$file.$label"
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

# The pid of the X server of this display (xvfb-run picks a display number no one else uses).
x_server_pid() {
    local pid
    for pid in $(pgrep -x Xvfb); do
        if [ "$(tr '\0' '\n' <"/proc/$pid/cmdline" 2>/dev/null | sed -n 2p)" = "$DISPLAY" ]; then
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
    port=$(wait_for_listen "$work/server.log" 10) ||
        { echo "bench: zurod-server did not start" >&2; cat "$work/server.log" >&2; return 1; }

    export VELTO_BENCH_WINESERVER_PID VELTO_BENCH_X_PID VELTO_BENCH_CLK_TCK
    VELTO_BENCH_WINESERVER_PID=$(wineserver_pid)
    VELTO_BENCH_X_PID=$(x_server_pid)
    VELTO_BENCH_CLK_TCK=$(getconf CLK_TCK)
    cd "$work"
    for round in $(seq "$runs"); do
        echo "bench: round $round of $runs" >&2
        if wanted timer; then run_windows "timer-$round" "$bench_dir/timer_probe.exe" 5; fi
        if wanted blocking; then
            run_windows "blocking-$round" "$bench_dir/blocking_reader.exe" "$port" qvk big.bin
        fi
        if wanted ceiling; then
            run_windows "ceiling-$round" "$bench_dir/ceiling_reader.exe" "$port" qvk big.bin
        fi
        if wanted ceiling-panel; then
            run_windows "ceiling-panel-$round" "$bench_dir/ceiling_reader.exe" "$port" qvk big.bin \
                --panel-timer
        fi
        if wanted client; then
            run_client client "$client" big.bin "$idle"
            if [ -n "$baseline" ]; then run_client baseline "$baseline" big.bin "$idle"; fi
        fi
        if wanted small; then
            run_windows "ceiling-small-$round" "$bench_dir/ceiling_reader.exe" "$port" qvk small.bin
            sed -i '$ s/^RESULT ceiling /RESULT ceiling_small /' "$work/results"
            run_client client_small "$client" small.bin 0
            if [ -n "$baseline" ]; then run_client baseline_small "$baseline" small.bin 0; fi
        fi
    done
}

if [ "${1:-}" = --inside ]; then
    work=$2 runs=$3 idle=$4 bench_dir=$5 server=$6 client=$7 baseline=$8
    run_inside
    exit
fi

if [ "${VELTO_BENCH_NO_BUILD:-0}" != 1 ]; then
    (cd "$VELTO_ROOT" && scripts/build.sh native win64 >&2)
fi
for file in "$server" "$client" "$bench_dir/velto_bench.exe" "$bench_dir/ceiling_reader.exe" \
    "$bench_dir/blocking_reader.exe" "$bench_dir/timer_probe.exe" ${baseline:+"$baseline"}; do
    [ -f "$file" ] || { echo "bench: $file is missing" >&2; exit 1; }
done
use_wine_prefix "$build/wineprefix-bench"
work=$(mktemp -d /tmp/velto-bench.XXXXXX)
[ "${VELTO_BENCH_KEEP:-0}" = 1 ] || trap 'rm -rf "$work"' EXIT
mkdir -p "$work/root" "$work/downloads"
head -c $((mib * 1024 * 1024)) /dev/urandom >"$work/root/big.bin"
head -c $((small_mib * 1024 * 1024)) /dev/urandom >"$work/root/small.bin"
: >"$work/results"

status=0
headless timeout $((runs * 8 * per_program_limit)) bash "$0" --inside "$work" "$runs" "$idle" \
    "$bench_dir" "$server" "$client" "$baseline" || status=$?

# median NAME KEY: the median of KEY=value over NAME's RESULT lines ("-" if none).
values() {
    { grep "^RESULT $1 " "$work/results" || true; } | tr ' ' '\n' | sed -n "s/^$2=//p"
}
median() {
    values "$1" "$2" | sort -g | awk '{ v[NR] = $1 } END { if (NR == 0) print "-";
        else if (NR % 2) print v[(NR + 1) / 2]; else printf "%.3f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
all() { values "$1" "$2" | paste -sd' '; }
ratio() {
    awk -v a="$1" -v b="$2" 'BEGIN { if (a == "-" || b == "-" || b == 0) print "-"; else printf "%.2f", a / b }'
}
mib_of() { awk -v k="$1" 'BEGIN { if (k == "-") print "-"; else printf "%.1f", k / 1024 }'; }
row() { printf '  %-46s %12s   %s\n' "$1" "$2" "$3"; }

# round_ratios NAME CEILING: NAME's speed over CEILING's, round by round (the two ran one
# after the other, so the machine's load changed little between them).
round_ratios() {
    paste -d' ' <(values "$1" mbps) <(values "$2" mbps) |
        awk 'NF == 2 && $2 > 0 { printf "%.2f\n", $1 / $2 }'
}

# speed_rows LABEL NAME CEILING: a client's speed and its ratio to a ceiling's.
speed_rows() {
    local ratios
    ratios=$(round_ratios "$2" "$3")
    row "$1 speed" "$(median "$2" mbps) MB/s" "$(all "$2" mbps)"
    row "$1 / design ceiling" \
        "$(echo "$ratios" | sort -g | awk '{ v[NR] = $1 } END { if (NR == 0) print "-";
            else if (NR % 2) print v[(NR + 1) / 2]; else printf "%.2f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }')" \
        "$(echo "$ratios" | paste -sd' ')$([ "$2" = client ] && echo '   goal >= 0.90')"
}

printf '\nVELTO download benchmark, median of %s rounds (then each round'"'"'s value)\n' "$runs"
printf ' %s MiB file\n' "$mib"
row "client: double-click to completion line" "$(median client seconds) s" "$(all client seconds)"
row "client: Save confirmed to completion line" "$(median client transfer_seconds) s" \
    "$(all client transfer_seconds)"
speed_rows client client ceiling
if [ -n "$baseline" ]; then speed_rows "before: client" baseline ceiling; fi
row "design ceiling: one 256-byte recv per FD_READ" "$(median ceiling mbps) MB/s" "$(all ceiling mbps)"
row "design ceiling + the panel's 1 ms timer" "$(median ceiling_panel mbps) MB/s" "$(all ceiling_panel mbps)"
row "platform ceiling: blocking, 64 KiB reads" "$(median blocking mbps) MB/s" "$(all blocking mbps)"
row "client / ceiling with the panel's timer" \
    "$(round_ratios client ceiling_panel | sort -g | awk '{ v[NR] = $1 } END { if (NR) print v[int((NR + 1) / 2)]; else print "-" }')" \
    "$(round_ratios client ceiling_panel | paste -sd' ')"
row "client / platform ceiling" \
    "$(awk -v a="$(median client mbps)" -v b="$(median blocking mbps)" \
        'BEGIN { if (a == "-" || b == "-" || b == 0) print "-"; else printf "%.4f", a / b }')" ""
row "CPU s in the download: client, wineserver, X" \
    "$(median client cpu_seconds)" "$(median client wineserver_cpu_seconds), $(median client x_cpu_seconds)"
row "CPU s in the download: ceiling, wineserver, X" \
    "$(median ceiling cpu_seconds)" "$(median ceiling wineserver_cpu_seconds), $(median ceiling x_cpu_seconds)"
row "CPU s: ceiling with the panel's timer, ws, X" "$(median ceiling_panel cpu_seconds)" \
    "$(median ceiling_panel wineserver_cpu_seconds), $(median ceiling_panel x_cpu_seconds)"
printf ' %s MiB file (its progress bar moves with every read)\n' "$small_mib"
speed_rows client client_small ceiling_small
if [ -n "$baseline" ]; then speed_rows "before: client" baseline_small ceiling_small; fi
row "design ceiling" "$(median ceiling_small mbps) MB/s" "$(all ceiling_small mbps)"
printf ' The client at rest\n'
row "CPU idle, connected (${idle} s): client" "$(median client_idle cpu_percent) %" \
    "wineserver $(median client_idle wineserver_cpu_percent) %, X $(median client_idle x_cpu_percent) %"
if [ -n "$baseline" ]; then
    row "before: CPU idle, connected: client" "$(median baseline_idle cpu_percent) %" \
        "wineserver $(median baseline_idle wineserver_cpu_percent) %, X $(median baseline_idle x_cpu_percent) %"
fi
row "resident memory, idle and connected" "$(mib_of "$(median client_idle rss_kb)") MiB" ""
row "peak resident memory (VmHWM) after download" "$(mib_of "$(median client peak_rss_kb)") MiB" \
    "$(all client peak_rss_kb) kB"
row "1 ms timer: ticks per second" "$(median timer ticks_per_s)" "paints/s $(median timer paints_per_s)"
row "start to main window shown" "$(median client_startup seconds) s" "$(all client_startup seconds)"
same=$(grep -c '^CHECK same' "$work/results" || true)
checked=$(grep -c '^CHECK' "$work/results" || true)
row "downloaded copies identical (cmp)" "$same of $checked" ""

if grep '^FAIL' "$work/results" | sed 's/^FAIL /bench: no result from /' >&2; then status=1; fi
if wanted client || wanted small; then
    [ "$checked" -gt 0 ] && [ "$same" -eq "$checked" ] || status=1
fi
if [ "${VELTO_BENCH_KEEP:-0}" = 1 ]; then echo "bench: results in $work"; fi
exit "$status"
