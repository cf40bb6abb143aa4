#!/usr/bin/env bash
# Configures and builds the presets (default: native, win64, win32; -j2), then inspects the
# programs: the i686 velto.exe must be a 32-bit GUI executable with its manifest, and both
# velto.exe files may import only DLLs that every Windows has. A failed inspection fails.
# usage: scripts/build.sh [PRESET...]
set -euo pipefail
. "$(dirname "$0")/wine-env.sh"
cd "$VELTO_ROOT"
mkdir -p "$VELTO_BUILD"

presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(native win64 win32)

for preset in "${presets[@]}"; do
    start=$SECONDS
    if [ "$preset" = win64 ]; then
        # Test discovery may run the cross-built tests under Wine during the build.
        use_wine_prefix "$VELTO_BUILD/wineprefix-tests"
    fi
    cmake --preset "$preset" >"$VELTO_BUILD/configure-$preset.log" 2>&1 ||
        { cat "$VELTO_BUILD/configure-$preset.log"; exit 1; }
    cmake --build --preset "$preset" -j2
    echo "build: $preset in $((SECONDS - start)) s"
done

inspect() {  # inspect EXE MACHINE FILE-SAYS
    local exe=$1 machine=$2 file_says=$3
    [ -f "$exe" ] || { echo "build: $exe is missing" >&2; return 1; }
    file "$exe" | grep -q "$file_says" ||
        { echo "build: $exe is not a $file_says: $(file -b "$exe")" >&2; return 1; }
    python3 "$VELTO_ROOT/scripts/inspect-pe.py" "$exe" --machine "$machine"
}

for preset in "${presets[@]}"; do
    case $preset in
    win32) inspect "$VELTO_BUILD/win32/src/velto.exe" i386 "PE32 executable (GUI) Intel 80386" ;;
    win64) inspect "$VELTO_BUILD/win64/src/velto.exe" x86_64 "PE32+ executable (GUI) x86-64" ;;
    esac
done
