#!/usr/bin/env bash
# Runs the end-to-end driver (velto_e2e.exe) against velto.exe and zurod-server, isolated: a
# network namespace with only loopback, a virtual X display and Wine's virtual desktop.
# Builds nothing: expects build/win64 and build/native (scripts/build.sh).
# Extra arguments go to the driver, e.g. scripts/e2e.sh --gtest_filter='Shell*'.
#
# What the driver finds in its environment (paths as Z:\ paths):
#   VELTO_EXE                 the client
#   VELTO_E2E_PORT            port of zurod-server on 127.0.0.1, password VELTO_E2E_PASSWORD
#   VELTO_E2E_ROOT            the directory it serves (the tree made by make_tree below)
#   VELTO_E2E_SERVER_LOG      its log, one line per event
#   VELTO_E2E_SERVER_PID      its process id (for its memory figures in /proc)
#   VELTO_E2E_DOWNLOADS       an empty directory for downloaded files
#   VELTO_E2E_SHOTS           where screenshots go (.bmp; turned into .png afterwards)
# Results: build/test-results/e2e/velto_e2e.xml; screenshots: build/e2e-shots/*.png.
set -euo pipefail
. "$(dirname "$0")/wine-env.sh"

driver=$VELTO_BUILD/win64/tests/e2e/velto_e2e.exe
client=$VELTO_BUILD/win64/src/velto.exe
server=$VELTO_BUILD/native/server/zurod-server
results=${VELTO_RESULTS:-$VELTO_BUILD/test-results}/e2e
shots=$VELTO_BUILD/e2e-shots
work=$VELTO_BUILD/e2e-work
driver_limit=1200  # seconds for the whole driver run

# make_tree DIR: the files the server offers. Contents are fixed, so runs are comparable.
make_tree() {
    python3 - "$1" <<'EOF'
import os, sys
root = sys.argv[1]
def put(path, data):
    path = os.path.join(root, path)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
def pattern(size):  # every byte value, NUL included
    return bytes((i * 7 + i // 256) & 255 for i in range(size))
put("small.txt", (b"One hundred bytes of text for the transfer tests.\n" * 2)[:100])
put("data.bin", pattern(1000))
put("empty.txt", b"")
put("big.bin", pattern(65536) * 256)  # 16 MiB
put("my notes.txt", b"A file whose name has a blank.\n")
put("my files/inner file.txt", b"Inside a directory whose name has a blank.\n")
put("docs/guide.txt", b"A guide one level down.\n")
put("docs/deep/deeper/leaf.txt", b"Three levels down.\n")
os.makedirs(os.path.join(root, "docs/empty dir"), exist_ok=True)
EOF
}

run_inside() {
    trap stop_all EXIT
    trap 'exit 124' INT TERM
    start_wineserver

    "$server" --root "$work/root" --bind 127.0.0.1 --port 0 --password qvk \
        2>"$work/server.log" &
    server_pid=$!
    local port
    if ! port=$(wait_for_listen "$work/server.log" 10); then
        echo "e2e: zurod-server did not start:" >&2
        cat "$work/server.log" >&2
        return 1
    fi
    echo "e2e: zurod-server on 127.0.0.1:$port serving $work/root"

    export VELTO_EXE VELTO_E2E_PORT=$port VELTO_E2E_PASSWORD=qvk
    export VELTO_E2E_ROOT VELTO_E2E_SERVER_LOG VELTO_E2E_DOWNLOADS VELTO_E2E_SHOTS
    export VELTO_E2E_SERVER_PID=$server_pid
    VELTO_EXE=$(windows_path "$client")
    VELTO_E2E_ROOT=$(windows_path "$work/root")
    VELTO_E2E_SERVER_LOG=$(windows_path "$work/server.log")
    VELTO_E2E_DOWNLOADS=$(windows_path "$work/downloads")
    VELTO_E2E_SHOTS=$(windows_path "$shots")

    cd "$work"
    # explorer does not pass the driver's exit status on: the XML file is the verdict.
    timeout "$driver_limit" "$WINE" explorer /desktop=velto,1024x768 "$(windows_path "$driver")" \
        "--gtest_output=xml:$(windows_path "$results")\\velto_e2e.xml" "$@" &
    wait $! || echo "e2e: the driver ended with status $? (124: timed out)"
}

if [ "${1:-}" = --inside ]; then
    shift
    run_inside "$@"
    exit
fi

for file in "$driver" "$client" "$server"; do
    [ -f "$file" ] || { echo "e2e: $file is missing: run scripts/build.sh first" >&2; exit 1; }
done
use_wine_prefix "$VELTO_BUILD/wineprefix-e2e"
rm -rf "$work" "$shots" "$results"
mkdir -p "$work/root" "$work/downloads" "$shots" "$results"
make_tree "$work/root"

status=0
headless timeout $((driver_limit + 120)) bash "$0" --inside "$@" || status=$?
bmp_to_png "$shots" | sed 's/^/screenshot: /'
echo "e2e: server log $work/server.log"
[ "$status" -eq 0 ] || echo "e2e: the isolated run failed (status $status)" >&2
# The verdict: the driver's XML, complete and without failures.
python3 - "$results/velto_e2e.xml" <<'EOF' || status=1
import sys, xml.etree.ElementTree as ET
try:
    root = ET.parse(sys.argv[1]).getroot()
except (OSError, ET.ParseError) as e:
    sys.exit(f"e2e: no complete results ({e})")
failed = int(root.get("failures", 0)) + int(root.get("errors", 0))
print(f"e2e: {root.get('tests')} tests, {failed} failed, {root.get('time')} s")
sys.exit(1 if failed else 0)
EOF
exit "$status"
