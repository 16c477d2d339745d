#!/bin/sh
# Whole-program benchmark: carvento-cli gauss-forward on a million-line file of B, L in degrees
# beside PROJ's cs2cs doing the same projection (Krasovsky, central meridian 105°, y + 500000).
# Prints wall time and peak memory of each. Usage: bench/cli_vs_cs2cs.sh BUILD_DIR [LINES]
set -eu
BUILD="${1:-build-bench}"
LINES="${2:-1000000}"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT

awk -v n="$LINES" 'BEGIN { srand(11); for (i = 1; i <= n; i++)
    printf "P%d,%.8f,%.8f\r\n", i, 18 + rand() * 35, 102 + rand() * 6 }' > "$WORK/bl.csv"
# cs2cs reads "lon lat" (with -r: "lat lon") separated by blanks.
awk -F, '{ sub(/\r$/, "", $3); print $2, $3 }' "$WORK/bl.csv" > "$WORK/bl.txt"

measure() {
    label="$1"; shift
    /usr/bin/time -f "%e %M" -o "$WORK/time" "$@" > "$WORK/out" 2>/dev/null
    set -- $(cat "$WORK/time")
    printf '%-14s %8s s  %8.1f MB peak\n' "$label" "$1" "$(echo "$2 / 1024" | bc -l)"
}

export CARVENTO_PROFILE="$WORK/profile.ini"
measure carvento-cli "$BUILD/cli/carvento-cli" gauss-forward --unit deg --keep-title "$WORK/bl.csv"
measure cs2cs cs2cs -r -f %.4f +proj=longlat +ellps=krass +no_defs +to \
    +proj=tmerc +lon_0=105 +k=1 +x_0=500000 +ellps=krass +units=m +no_defs "$WORK/bl.txt"
