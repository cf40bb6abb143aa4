# Shared by the scripts (source it): the Wine environment and the isolated run.
# Defines variables and functions; runs nothing by itself.

VELTO_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
VELTO_BUILD=$VELTO_ROOT/build

# The x86_64 loader: this kernel runs no 32-bit code, and the wine wrapper would look for it.
WINE=${WINE:-/usr/lib/wine/wine64}
export WINEDEBUG=-all
# No Mono or Gecko download prompt, and the about window's web view never fetches a page.
export WINEDLLOVERRIDES="mscoree,mshtml="

# use_wine_prefix DIR: makes DIR the prefix, creating it on first use with the crash dialog
# off (winedbg would otherwise wait for a click after a crash).
use_wine_prefix() {
    export WINEPREFIX=$1
    [ -f "$WINEPREFIX/.velto-ready" ] && return 0
    echo "creating Wine prefix $WINEPREFIX" >&2
    mkdir -p "$WINEPREFIX"
    isolated timeout 300 "$WINE" wineboot -i >/dev/null 2>&1 || true
    isolated timeout 120 "$WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog \
        /t REG_DWORD /d 0 /f >/dev/null 2>&1
    timeout 60 wineserver -w || true
    [ -f "$WINEPREFIX/system.reg" ] || { echo "cannot create Wine prefix $WINEPREFIX" >&2; return 1; }
    touch "$WINEPREFIX/.velto-ready"
}

# start_wineserver: a persistent wineserver for the prefix, with Wine's own services already
# running. Started by a test instead, those services would keep its output pipe open and
# make ctest wait for it until the test's timeout.
start_wineserver() {
    wineserver -p
    "$WINE" wineboot </dev/null >/dev/null 2>&1 || true
}

# windows_path PATH: an absolute Unix path as Wine's Z: drive shows it.
windows_path() {
    printf 'Z:%s' "$1" | tr / '\\'
}

# isolated CMD...: runs CMD in a network namespace of its own with only loopback, so that
# nothing it starts can reach beyond this machine.
isolated() {
    local user_ns=()
    [ "$(id -u)" -eq 0 ] || user_ns=(-r)
    unshare "${user_ns[@]}" -n sh -c 'ip link set lo up && exec "$@"' sh "$@"
}

# headless CMD...: isolated, on a virtual X display of its own.
headless() {
    isolated xvfb-run -a -s "-screen 0 1024x768x24" "$@"
}

# wait_for_listen LOGFILE SECONDS: prints the port that zurod-server reports in LOGFILE.
wait_for_listen() {
    local log=$1 tries=$(($2 * 10)) port
    while [ "$tries" -gt 0 ]; do
        port=$(grep -o -m1 'listening on [0-9.]*:[0-9]*' "$log" 2>/dev/null | sed 's/.*://') || true
        if [ -n "$port" ]; then
            echo "$port"
            return 0
        fi
        sleep 0.1
        tries=$((tries - 1))
    done
    return 1
}

# bmp_to_png DIR: converts every .bmp in DIR to .png and prints the PNG paths.
bmp_to_png() {
    local bmp
    for bmp in "$1"/*.bmp; do
        [ -f "$bmp" ] || continue
        if convert "$bmp" "${bmp%.bmp}.png"; then
            rm -f "$bmp"
            echo "${bmp%.bmp}.png"
        fi
    done
}

# stop_all: stops the server whose pid is in server_pid (if any) and this prefix's wineserver.
server_pid=""
stop_all() {
    if [ -n "$server_pid" ]; then
        kill "$server_pid" 2>/dev/null || true
        wait "$server_pid" 2>/dev/null || true
    fi
    wineserver -k 2>/dev/null || true
}
