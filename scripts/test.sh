#!/usr/bin/env bash
# Runs every test: installs what is missing, builds all presets, then the native tests, the
# in-process Wine tests and the end-to-end scenarios, each isolated from the network.
# Every GoogleTest process writes its XML under build/test-results/<stage>/; the last line
# printed is the sum: "N passed, M failed" (", K skipped" when some were).
# Exit status: 0 only when every stage ran and nothing failed.
set -uo pipefail
. "$(dirname "$0")/wine-env.sh"
cd "$VELTO_ROOT"

results=$VELTO_BUILD/test-results
export VELTO_RESULTS=$results
rm -rf "$results"
mkdir -p "$results/native" "$results/win"
broken=()
skip_rest=false
total_start=$SECONDS

stage() {  # stage NAME COMMAND...: runs one stage and reports its time
    local name=$1 start=$SECONDS status=0
    shift
    echo "==== $name"
    if $skip_rest; then
        echo "==== $name: not run, the build failed"
        broken+=(--broken "$name")
        return
    fi
    "$@" || status=$?
    [ "$status" -eq 0 ] || broken+=(--broken "$name")
    echo "==== $name: $((SECONDS - start)) s$([ "$status" -eq 0 ] || echo ", status $status")"
    return "$status"
}

# ctest runs one test at a time: GoogleTest picks a free XML file name per process, and two
# processes of one test program picking at once would write the same file.
native_tests() (
    cd "$VELTO_BUILD/native" &&
        GTEST_OUTPUT="xml:$results/native/" isolated timeout 1800 \
            ctest --output-on-failure --no-tests=error --timeout 600 \
            --output-junit "$results/native/ctest-junit.xml"
)

wine_tests() (
    use_wine_prefix "$VELTO_BUILD/wineprefix-tests" || return 1
    cd "$VELTO_BUILD/win64" &&
        GTEST_OUTPUT="xml:$(windows_path "$results/win")\\" headless timeout 1800 bash -c '
            . "$1"
            start_wineserver
            ctest --output-on-failure --no-tests=error --timeout 600 --output-junit "$2"
            status=$?
            wineserver -k
            exit $status' sh "$VELTO_ROOT/scripts/wine-env.sh" "$results/win/ctest-junit.xml"
)

stage setup bash scripts/setup.sh || skip_rest=true
stage build bash scripts/build.sh || skip_rest=true
stage native native_tests
stage win wine_tests
stage e2e bash scripts/e2e.sh
# A short run of both fuzzers over their checked-in corpora (seeds and regression inputs).
stage fuzz bash scripts/fuzz.sh 60
echo "==== all stages: $((SECONDS - total_start)) s"

python3 scripts/test-summary.py "$results" --expect native --expect win --expect e2e "${broken[@]}"
