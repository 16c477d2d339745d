#!/bin/sh
# Whole-program benchmark: carvento-cli elevation --dem beside GDAL's gdallocationinfo -valonly
# on the same raster and the same points. The raster, SIZE × SIZE Float32 cells (default 5000)
# of a smooth surface with cells of no data, is generated here with awk and GDAL's own
# gdal_translate, stored in strips (GDAL's default) and in 256 × 256 tiles; the points, 100 000
# and 1 000 000 of them, lie scattered over it in no order. For each run: CPU time (user +
# system) and peak resident memory from GNU time, and our CPU time over the peer's.
# gdallocationinfo gives the value of the cell under each point, we blend the four around it.
# Usage: bench/elevation_vs_gdallocationinfo.sh BUILD_DIR [SIZE]
set -eu
BUILD="${1:-build-bench}"
SIZE="${2:-5000}"
CLI="$BUILD/cli/carvento-cli"
WORK="$(mktemp -d /tmp/carvento-elevation-bench.XXXXXX)"
trap 'rm -rf "$WORK"' EXIT

if [ ! -x "$CLI" ]; then
    echo "no $CLI: build the cli and carvento_dem_module targets first" >&2
    exit 2
fi
for tool in /usr/bin/time gdal_translate gdallocationinfo; do
    if ! command -v "$tool" > /dev/null; then
        echo "$tool is missing (apt-get install time gdal-bin)" >&2
        exit 2
    fi
done

# The raster covers 100° … 105° E, 30° … 35° N whatever its size.
cell=$(awk -v n="$SIZE" 'BEGIN { printf "%.12f", 5 / n }')
awk -v n="$SIZE" -v cell="$cell" 'BEGIN {
    printf "ncols %d\nnrows %d\nxllcorner 100\nyllcorner 30\ncellsize %s\nNODATA_value -9999\n",
        n, n, cell
    for (y = 0; y < n; y++) {
        line = ""
        for (x = 0; x < n; x++) {
            if ((int(x / 50) + int(y / 50)) % 37 == 0)
                v = "-9999"
            else
                v = sprintf("%.2f", 1000 + 400 * sin(x / 97) * cos(y / 131) + 0.37 * ((x * 7 + y * 13) % 101))
            line = line (x ? " " : "") v
        }
        print line
    } }' > "$WORK/dem.asc"
gdal_translate -q -ot Float32 -a_srs EPSG:4326 "$WORK/dem.asc" "$WORK/strips.tif"
gdal_translate -q -ot Float32 -a_srs EPSG:4326 -co TILED=YES "$WORK/dem.asc" "$WORK/tiled.tif"
rm -f "$WORK/dem.asc"

# points N: "lon,lat" for us, "lon lat" for gdallocationinfo.
points() {
    awk -v n="$1" 'BEGIN { srand(11); for (i = 0; i < n; i++)
        printf "%.8f,%.8f\n", 100 + 5 * rand(), 30 + 5 * rand() }' > "$WORK/points.csv"
    tr ',' ' ' < "$WORK/points.csv" > "$WORK/points.xy"
}

# measure LABEL COMMAND... < input: prints "cpu peak" (seconds, MB) and a line for the reader.
measure() {
    label="$1"; shift
    if ! /usr/bin/time -f "%U %S %M %e" -o "$WORK/time" "$@" > "$WORK/out" 2> "$WORK/err"; then
        echo "$label failed:" >&2
        cat "$WORK/err" >&2
        exit 1
    fi
    awk -v label="$label" '{ printf "  %-18s %7.2f s CPU %7.2f s wall %8.1f MB peak\n",
        label, $1 + $2, $4, $3 / 1024 }' "$WORK/time" >&2
    awk '{ print $1 + $2 }' "$WORK/time"
}

echo "$(uname -m), $(nproc) cores, $(awk -F': ' '/model name/ { print $2; exit }' /proc/cpuinfo)"
echo "raster $SIZE × $SIZE Float32 cells ($(($(wc -c < "$WORK/strips.tif") / 1000000)) MB)"
for count in 100000 1000000; do
    points "$count"
    for layout in strips tiled; do
        echo "$count scattered points, $layout:"
        ours=$(CARVENTO_PROFILE="$WORK/profile.ini" measure carvento-cli "$CLI" elevation \
            --columns 0,1,2 --dem "$WORK/$layout.tif" "$WORK/points.csv")
        rows=$(($(wc -l < "$WORK/out") - 1))
        peer=$(measure gdallocationinfo sh -c \
            "gdallocationinfo -valonly -wgs84 '$WORK/$layout.tif' < '$WORK/points.xy'")
        if [ "$rows" -ne "$count" ]; then
            echo "carvento-cli wrote $rows rows for $count points" >&2
            exit 1
        fi
        awk -v a="$ours" -v b="$peer" 'BEGIN { printf "  CPU time ratio %.2f\n", a / b }'
    done
done
