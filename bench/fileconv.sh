#!/bin/sh
# Whole-program benchmark of the file conversions, wall time and peak resident memory from GNU
# time -v:
#   txt2kml and txt2gpx on a text file of ROWS points (default one million) in segments of 1000
#   (a blank line between segments), with the pages' default options;
#   kml2txt on a KML of about KML_MB megabytes (default 100) whose points lie in LineStrings of
#   1000 tuples each.
# Usage: bench/fileconv.sh BUILD_DIR [ROWS] [KML_MB]
set -eu
BUILD="${1:-build}"
ROWS="${2:-1000000}"
KML_MB="${3:-100}"
CLI="$BUILD/cli/carvento-cli"
WORK="$(mktemp -d /tmp/carvento-fileconv-bench.XXXXXX)"
trap 'rm -rf "$WORK"' EXIT

if [ ! -x "$CLI" ]; then
    echo "no $CLI: build the cli target first" >&2
    exit 2
fi
if [ ! -x /usr/bin/time ]; then
    echo "GNU time (/usr/bin/time) is missing: apt-get install time" >&2
    exit 2
fi

# measure LABEL INPUT COMMAND...: one line with the input size, wall time and peak memory.
measure() {
    label="$1"
    input="$2"
    shift 2
    /usr/bin/time -v "$@" 2> "$WORK/time.txt" > /dev/null || {
        cat "$WORK/time.txt" >&2
        exit 1
    }
    wall=$(sed -n 's/.*Elapsed (wall clock) time.*: //p' "$WORK/time.txt")
    peak=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$WORK/time.txt")
    size=$(du -m "$input" | cut -f1)
    echo "$label: input ${size} MB, wall $wall, peak $((peak / 1024)) MB"
}

awk -v n="$ROWS" 'BEGIN { srand(7); print "名称,纬度,经度,说明";
    for (i = 1; i <= n; i++) {
        printf "R%d-%d,%.8f,%.8f,p\r\n", int((i - 1) / 1000), i, 30 + rand(), 104 + rand();
        if (i % 1000 == 0) printf "\r\n" } }' > "$WORK/points.txt"
measure "txt2kml ($ROWS rows)" "$WORK/points.txt" "$CLI" txt2kml -o "$WORK/points.kml" "$WORK/points.txt"
measure "txt2gpx ($ROWS rows)" "$WORK/points.txt" "$CLI" txt2gpx -o "$WORK/points.gpx" "$WORK/points.txt"
rm -f "$WORK/points.kml" "$WORK/points.gpx"

# About 38 bytes a tuple: KML_MB megabytes hold KML_MB * 27500 tuples.
awk -v n="$((KML_MB * 27500))" 'BEGIN { srand(5);
    print "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
    print "<kml xmlns=\"http://www.opengis.net/kml/2.2\"><Document>";
    for (i = 0; i < n; i += 1000) {
        printf "<Placemark><name>L%d</name><LineString><coordinates>\n", i;
        for (k = 0; k < 1000 && i + k < n; k++)
            printf "%.9f,%.9f,%.2f\n", 104 + rand(), 30 + rand(), rand() * 1000;
        print "</coordinates></LineString></Placemark>" }
    print "</Document></kml>" }' > "$WORK/lines.kml"
measure "kml2txt ($((KML_MB * 27500)) tuples)" "$WORK/lines.kml" "$CLI" kml2txt -o "$WORK/lines.txt" "$WORK/lines.kml"
