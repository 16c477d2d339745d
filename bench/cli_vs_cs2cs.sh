#!/bin/sh
# Whole-program benchmark: carvento-cli gauss-forward on a generated file of B, L in degrees
# beside PROJ's cs2cs doing the same projection (Krasovsky, central meridian 105°, y + 500000) on
# the same points. Wall time and peak resident memory of each come from GNU time -v.
#   1. LINES lines (default one million);
#   2. a large file of about LARGE_MB megabytes (default 500; 0 skips it), generated on the fly
#      under /tmp and skipped with a note when /tmp lacks room for it and its cs2cs copy.
# Results go to /dev/null in the large case, so only the inputs take disk space.
# Usage: bench/cli_vs_cs2cs.sh BUILD_DIR [LINES] [LARGE_MB]
set -eu
BUILD="${1:-build-bench}"
LINES="${2:-1000000}"
LARGE_MB="${3:-500}"
CLI="$BUILD/cli/carvento-cli"
WORK="$(mktemp -d /tmp/carvento-cli-bench.XXXXXX)"
trap 'rm -rf "$WORK"' EXIT

if [ ! -x "$CLI" ]; then
    echo "no $CLI: build with -DCARVENTO_BENCH=ON (the cli target needs Qt)" >&2
    exit 2
fi
if [ ! -x /usr/bin/time ]; then
    echo "GNU time (/usr/bin/time) is missing: apt-get install time" >&2
    exit 2
fi

# generate N FILE: "P<i>,<B>,<L>" with CR LF, B 18°..53°, L 102°..108° (the 105° zone).
generate() {
    awk -v n="$1" 'BEGIN { srand(11); for (i = 1; i <= n; i++)
        printf "P%d,%.8f,%.8f\r\n", i, 18 + rand() * 35, 102 + rand() * 6 }' > "$2"
}
# cs2cs reads "lon lat" (with -r: "lat lon") separated by blanks.
for_cs2cs() {
    awk -F, '{ sub(/\r$/, "", $3); print $2, $3 }' "$1" > "$2"
}

# measure LABEL OUTPUT COMMAND...: one line with wall time (s) and peak resident memory (MB).
measure() {
    label="$1"; output="$2"; shift 2
    if ! /usr/bin/time -v -o "$WORK/time" "$@" > "$output" 2> "$WORK/stderr"; then
        echo "$label failed:" >&2
        cat "$WORK/stderr" "$WORK/time" >&2
        return 1
    fi
    awk -v label="$label" '
        /Elapsed \(wall clock\)/ { n = split($NF, t, ":"); wall = 0
                                   for (i = 1; i <= n; i++) wall = wall * 60 + t[i] }
        /Maximum resident set size/ { rss = $NF }
        END { printf "%-14s %9.2f s wall  %9.1f MB peak\n", label, wall, rss / 1024 }' "$WORK/time"
}

run_pair() {
    csv="$1"; txt="$2"; out="$3"
    CARVENTO_PROFILE="$WORK/profile.ini" \
        measure carvento-cli "$out" "$CLI" gauss-forward --unit deg --keep-title "$csv"
    measure cs2cs "$out" cs2cs -r -f %.4f +proj=longlat +ellps=krass +no_defs +to \
        +proj=tmerc +lon_0=105 +k=1 +x_0=500000 +ellps=krass +units=m +no_defs "$txt"
}

echo "$(uname -m), $(nproc) cores, $(awk -F': ' '/model name/ { print $2; exit }' /proc/cpuinfo)"
generate "$LINES" "$WORK/bl.csv"
for_cs2cs "$WORK/bl.csv" "$WORK/bl.txt"
echo "$LINES lines ($(($(wc -c < "$WORK/bl.csv") / 1000000)) MB):"
run_pair "$WORK/bl.csv" "$WORK/bl.txt" "$WORK/out"
rm -f "$WORK/bl.csv" "$WORK/bl.txt" "$WORK/out"

[ "$LARGE_MB" -gt 0 ] || exit 0
# About 35 bytes a line; the cs2cs copy is some 25 bytes a line.
large_lines=$((LARGE_MB * 1000000 / 35))
need_kb=$((LARGE_MB * 1000 * 2 + 100000))
free_kb=$(df -Pk "$WORK" | awk 'NR == 2 { print $4 }')
if [ "$free_kb" -lt "$need_kb" ]; then
    echo "large file skipped: $((free_kb / 1000)) MB free in $WORK, $((need_kb / 1000)) MB needed"
    exit 0
fi
generate "$large_lines" "$WORK/large.csv"
for_cs2cs "$WORK/large.csv" "$WORK/large.txt"
echo "$large_lines lines ($(($(wc -c < "$WORK/large.csv") / 1000000)) MB), results to /dev/null:"
run_pair "$WORK/large.csv" "$WORK/large.txt" /dev/null
