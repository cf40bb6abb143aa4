#!/usr/bin/env bash
# Builds what is missing and runs velto.exe under Wine against the bundled zurod-server, which
# serves a demo folder (build/demo-root) on 127.0.0.1:1024 with the password qvk.
#
# With a display ($DISPLAY): the client opens there. Choose File > Connect to IP, replace the
#   address with 127.0.0.1 (the preset address is not ours), keep port 1024 and password qvk,
#   press "Connect!". Closing the client stops the server.
# Without one: the client runs on a virtual display in a network namespace with only loopback;
#   the script saves a screenshot of its window, prints the path and stops.
set -euo pipefail
. "$(dirname "$0")/wine-env.sh"
cd "$VELTO_ROOT"

client=$VELTO_BUILD/win64/src/velto.exe
shot_tool=$VELTO_BUILD/win64/tests/e2e/velto_shot.exe
server=$VELTO_BUILD/native/server/zurod-server
demo=$VELTO_BUILD/demo-root
shots=$VELTO_BUILD/run-shots
server_log=$VELTO_BUILD/run-server.log
port=1024

make_demo_root() {
    rm -rf "$demo"
    mkdir -p "$demo/projects/velto" "$demo/photos and notes" "$demo/empty folder"
    printf 'Welcome to the VELTO demo server.\nDouble-click a file to download it.\n' >"$demo/welcome.txt"
    printf 'Shopping: bread, milk, tea.\n' >"$demo/notes.txt"
    printf 'Names may contain blanks.\n' >"$demo/read me first.txt"
    printf 'Plan: connect, browse, download.\n' >"$demo/projects/velto/plan.txt"
    printf 'Beach, mountains, old town.\n' >"$demo/photos and notes/holiday list.txt"
    head -c 1048576 /dev/zero | tr '\0' 'v' >"$demo/one MiB.bin"
}

start_server() {
    "$server" --root "$demo" --bind 127.0.0.1 --port "$port" --password qvk 2>"$server_log" &
    server_pid=$!
    if ! wait_for_listen "$server_log" 10 >/dev/null; then
        echo "run: zurod-server did not start (is port $port taken?):" >&2
        cat "$server_log" >&2
        return 1
    fi
    echo "run: zurod-server serves $demo on 127.0.0.1:$port (password qvk), log $server_log"
}

# Headless: inside the namespace and on Xvfb, in Wine's virtual desktop. velto_shot starts the
# client, waits for its window and takes the picture.
run_headless_inside() {
    trap stop_all EXIT
    start_wineserver
    start_server
    # explorer stays while the desktop has windows: wait for the picture instead.
    "$WINE" explorer /desktop=velto,1024x768 "$(windows_path "$shot_tool")" \
        "$(windows_path "$shots/velto-main-window.bmp")" 60 "$(windows_path "$client")" &
    local tries=900
    while [ ! -f "$shots/velto-main-window.bmp" ] && [ "$tries" -gt 0 ]; do
        sleep 0.1
        tries=$((tries - 1))
    done
}

if [ "${1:-}" = --headless-inside ]; then
    run_headless_inside
    exit
fi

bash scripts/setup.sh
if [ ! -f "$client" ] || [ ! -f "$shot_tool" ] || [ ! -f "$server" ]; then
    bash scripts/build.sh native win64
fi
make_demo_root
rm -rf "$shots"
mkdir -p "$shots"
use_wine_prefix "$VELTO_BUILD/wineprefix-run"

if [ -n "${DISPLAY:-}" ]; then
    trap stop_all EXIT
    start_server
    echo "run: in the client choose File > Connect to IP, type 127.0.0.1, keep port $port and"
    echo "     password qvk, press \"Connect!\". Close the client to stop."
    "$WINE" "$shot_tool" "$(windows_path "$shots/velto-main-window.bmp")" 60 \
        "$(windows_path "$client")" || true
    bmp_to_png "$shots" | sed 's/^/screenshot: /'
    wineserver -w  # until the client ends
else
    echo "run: no display: running headless, without network beyond loopback"
    headless timeout 300 bash "$0" --headless-inside
    pngs=$(bmp_to_png "$shots")
    [ -n "$pngs" ] || { echo "run: no screenshot was taken" >&2; exit 1; }
    echo "screenshot: $pngs"
    echo "run: on a machine with a display the client stays open: choose File > Connect to IP,"
    echo "     type 127.0.0.1 (the preset address is not ours), port $port, password qvk."
fi
