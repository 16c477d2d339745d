#!/bin/sh
# Whole-program benchmark of DEM sampling: carvento-cli dem against carvento-earth (headless, on
# a socket of its own, synthetic terrain or the elevation model DEM_FILE) at 8, 4, 2 and 1 ‰
# steps: 15 876, 63 001, 251 001 and 1 002 001 samples of the view. For each: wall time, the CPU
# time of carvento-cli and of the globe, the peak memory of carvento-cli, and the wall time per
# sample beside that of the smallest grid (linear work keeps it near 1). WINDOW=1 runs the
# globe with its window (QT_QPA_PLATFORM=offscreen when there is no display).
# Usage: bench/dem_grid.sh BUILD_DIR [DEM_FILE]
set -eu
BUILD="${1:-build-bench}"
DEM="${2:-}"
CLI="$BUILD/cli/carvento-cli"
EARTH="$BUILD/earth/simulator/carvento-earth"
WORK="$(mktemp -d /tmp/carvento-dem-bench.XXXXXX)"
EARTH_PID=""
cleanup() {
    if [ -n "$EARTH_PID" ]; then
        kill "$EARTH_PID" 2> /dev/null || true
        wait "$EARTH_PID" 2> /dev/null || true
    fi
    rm -rf "$WORK"
}
trap cleanup EXIT

for program in "$CLI" "$EARTH"; do
    if [ ! -x "$program" ]; then
        echo "no $program: build the carvento-cli and carvento-earth targets first" >&2
        exit 2
    fi
done
if [ ! -x /usr/bin/time ]; then
    echo "GNU time (/usr/bin/time) is missing: apt-get install time" >&2
    exit 2
fi

export CARVENTO_EARTH_SOCKET="$WORK/earth.sock"
export CARVENTO_PROFILE="$WORK/profile.ini"
set -- --socket "$CARVENTO_EARTH_SOCKET"
[ -n "$DEM" ] && set -- "$@" --dem "$DEM"
if [ "${WINDOW:-0}" = 1 ]; then
    if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
        export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
    fi
else
    set -- "$@" --headless
fi
"$EARTH" "$@" 2> "$WORK/earth.err" &
EARTH_PID=$!
for _ in $(seq 100); do
    [ -S "$CARVENTO_EARTH_SOCKET" ] && break
    sleep 0.05
done
if [ ! -S "$CARVENTO_EARTH_SOCKET" ]; then
    echo "carvento-earth did not start:" >&2
    cat "$WORK/earth.err" >&2
    exit 1
fi

# CPU seconds the globe has used so far.
earth_cpu() {
    awk -v hz="$(getconf CLK_TCK)" '{ print ($14 + $15) / hz }' "/proc/$EARTH_PID/stat"
}

echo "$(uname -m), $(nproc) cores, $(awk -F': ' '/model name/ { print $2; exit }' /proc/cpuinfo)"
echo "terrain: ${DEM:-synthetic}$([ "${WINDOW:-0}" = 1 ] && echo ", with the globe's window")"
first=""
for permille in 8 4 2 1; do
    before=$(earth_cpu)
    if ! /usr/bin/time -f "%e %U %S %M" -o "$WORK/time" "$CLI" dem --x "$permille" \
        --y "$permille" -o "$WORK/grid.txt" 2> "$WORK/err"; then
        echo "dem --x $permille failed:" >&2
        cat "$WORK/err" >&2
        exit 1
    fi
    after=$(earth_cpu)
    samples=$(($(wc -l < "$WORK/grid.txt") - 1))
    per=$(awk -v s="$samples" '{ printf "%.3f", $1 * 1e6 / s }' "$WORK/time")
    [ -n "$first" ] || first="$per"
    awk -v p="$permille" -v s="$samples" -v per="$per" -v first="$first" -v globe="$(
        awk -v a="$before" -v b="$after" 'BEGIN { print b - a }')" '{
        printf "%d ‰: %8d samples %8.2f s wall, CPU %6.2f s cli %6.2f s globe, %6.1f MB peak, " \
               "%6.1f µs a sample (%.2f × the first)\n",
            p, s, $1, $2 + $3, globe, $4 / 1024, per, per / first }' "$WORK/time"
done
