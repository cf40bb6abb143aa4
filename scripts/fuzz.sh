#!/usr/bin/env bash
# Builds the fuzz preset (clang, ASan, UBSan, libFuzzer) and runs each fuzzer for SECONDS
# (default 60) on one core, over a scratch copy of its checked-in corpus, so that runs never
# grow tests/fuzz/corpus. Prints executions, executions per second, corpus size and findings
# per fuzzer; exits 1 when a fuzzer found something (its inputs are listed for replay).
# usage: scripts/fuzz.sh [SECONDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
build=$root/build/fuzz

cd "$root"
mkdir -p "$build"
cmake --preset fuzz >"$root/build/configure-fuzz.log" 2>&1 ||
    { cat "$root/build/configure-fuzz.log"; exit 1; }
cmake --build --preset fuzz -j2

found=0
for kind in client server; do
    case $kind in
    client) name=fuzz_client_conversation ;;
    server) name=fuzz_server_session ;;
    esac
    corpus=$build/fuzz-corpus/$kind
    findings=$build/fuzz-findings/$kind
    log=$build/fuzz-$kind.log
    rm -rf "$corpus" "$findings"
    mkdir -p "$corpus" "$findings"
    cp "$root/tests/fuzz/corpus/$kind"/* "$corpus"/

    # The checked-in inputs (seeds and regression cases) run first, then new ones.
    status=0
    "$build/tests/fuzz/$name" "$corpus" -max_total_time="$seconds" -max_len=8192 -timeout=10 \
        -print_final_stats=1 -artifact_prefix="$findings/" >"$log" 2>&1 || status=$?

    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    size=$(find "$corpus" -type f | wc -l)
    crashes=$(find "$findings" -type f | wc -l)
    echo "fuzz: $name: ${execs:-?} executions, ${rate:-?} exec/s, corpus $size files, $crashes findings (${seconds} s; log $log)"
    if [ "$status" -ne 0 ] || [ "$crashes" -ne 0 ]; then
        found=1
        grep -aE '^\*\*\* |^SUMMARY|ERROR: ' "$log" | head -5 | sed 's/^/fuzz:   /' || true
        for f in "$findings"/*; do
            [ -e "$f" ] && echo "fuzz:   replay: $build/tests/fuzz/$name $f"
        done
        [ "$crashes" -ne 0 ] || echo "fuzz:   $name ended with status $status; see $log"
    fi
done
exit $found
