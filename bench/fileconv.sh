#!/bin/sh
# Whole-program benchmark of the file conversions, wall time, CPU time and peak resident memory
# from GNU time -v:
#   txt2kml and txt2gpx on a text file of ROWS points (default one million) in segments of 1000
#   (a blank line between segments), with the pages' default options;
#   kml2txt on a KML of about KML_MB megabytes (default 100) whose points lie in LineStrings of
#   1000 tuples each;
#   gpx2txt on a GPX holding one track of TRACK points (default one million) with elevations
#   and times;
#   bln2txt on a BLN of BLN_VERTICES vertices (default five million) in polygons of 1000.
# When gpsbabel is installed, it converts the same GPX and KML to unicsv for comparison.
# Usage: bench/fileconv.sh BUILD_DIR [ROWS] [KML_MB] [TRACK] [BLN_VERTICES]
set -eu
BUILD="${1:-build}"
ROWS="${2:-1000000}"
KML_MB="${3:-100}"
TRACK="${4:-1000000}"
BLN_VERTICES="${5:-5000000}"
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

# measure LABEL INPUT COMMAND...: one line with the input size, wall and CPU time and peak memory.
measure() {
    label="$1"
    input="$2"
    shift 2
    /usr/bin/time -v "$@" 2> "$WORK/time.txt" > /dev/null || {
        cat "$WORK/time.txt" >&2
        exit 1
    }
    wall=$(sed -n 's/.*Elapsed (wall clock) time.*: //p' "$WORK/time.txt")
    user=$(sed -n 's/.*User time (seconds): //p' "$WORK/time.txt")
    sys=$(sed -n 's/.*System time (seconds): //p' "$WORK/time.txt")
    peak=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$WORK/time.txt")
    size=$(($(wc -c < "$input") / 1048576))
    echo "$label: input ${size} MB, wall $wall, cpu ${user}+${sys} s, peak $((peak / 1024)) MB"
}

# ROWS 0 leaves the text conversions out.
if [ "$ROWS" -gt 0 ]; then
    awk -v n="$ROWS" 'BEGIN { srand(7); print "名称,纬度,经度,说明";
        for (i = 1; i <= n; i++) {
            printf "R%d-%d,%.8f,%.8f,p\r\n", int((i - 1) / 1000), i, 30 + rand(), 104 + rand();
            if (i % 1000 == 0) printf "\r\n" } }' > "$WORK/points.txt"
    measure "txt2kml ($ROWS rows)" "$WORK/points.txt" "$CLI" txt2kml -o "$WORK/points.kml" "$WORK/points.txt"
    measure "txt2gpx ($ROWS rows)" "$WORK/points.txt" "$CLI" txt2gpx -o "$WORK/points.gpx" "$WORK/points.txt"
    rm -f "$WORK/points.kml" "$WORK/points.gpx"
fi

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
if command -v gpsbabel > /dev/null; then
    measure "gpsbabel kml -> unicsv" "$WORK/lines.kml" gpsbabel -i kml -f "$WORK/lines.kml" -o unicsv \
        -F "$WORK/lines.csv"
fi
rm -f "$WORK/lines.kml" "$WORK"/lines_*.txt "$WORK/lines.csv"

awk -v n="$TRACK" 'BEGIN { srand(3);
    print "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
    print "<gpx xmlns=\"http://www.topografix.com/GPX/1/1\" version=\"1.1\" creator=\"bench\">";
    print "<trk><name>T</name><trkseg>";
    for (i = 0; i < n; i++)
        printf "<trkpt lat=\"%.8f\" lon=\"%.8f\"><ele>%.2f</ele><time>2024-05-01T%02d:%02d:%02dZ</time></trkpt>\n",
            30 + rand(), 104 + rand(), rand() * 1000, int(i / 3600) % 24, int(i / 60) % 60, i % 60;
    print "</trkseg></trk></gpx>" }' > "$WORK/track.gpx"
measure "gpx2txt ($TRACK track points)" "$WORK/track.gpx" "$CLI" gpx2txt -o "$WORK/track.txt" "$WORK/track.gpx"
if command -v gpsbabel > /dev/null; then
    measure "gpsbabel gpx -> unicsv" "$WORK/track.gpx" gpsbabel -i gpx -f "$WORK/track.gpx" -o unicsv \
        -F "$WORK/track.csv"
fi
rm -f "$WORK/track.gpx" "$WORK"/track_*.txt "$WORK/track.csv"

awk -v n="$BLN_VERTICES" 'BEGIN { srand(11);
    for (i = 0; i < n; i += 1000) {
        k = n - i < 1000 ? n - i : 1000;
        printf "%d,1,\"P%d\"\n", k, i;
        for (j = 0; j < k; j++)
            printf "%.6f,%.6f\n", 104 + rand(), 30 + rand() } }' > "$WORK/shapes.bln"
measure "bln2txt ($BLN_VERTICES vertices)" "$WORK/shapes.bln" "$CLI" bln2txt -o "$WORK/shapes.txt" "$WORK/shapes.bln"
