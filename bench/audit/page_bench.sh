#!/usr/bin/env bash
# page_bench.sh BUILD_FOLDER
#
# Figures for the audit's HTML page in a real browser, never pass/fail: a
# month of a busy storage (30 days x 16 locations, 24 to 48 recordings of eight
# seconds a location-day in six runs, so a few intervals and gaps a day),
# repaired into the new layout, then given every kind of problem the audit
# knows on location-days spread over the month. Tolvane2Audit writes the page
# of it (--verify and --max-gap, so that every kind can show), and this prints:
#   - the page's size;
#   - how long headless chromium takes to load it (--dump-dom) and to render
#     it (--screenshot), at a desktop and at a phone window size: the median
#     of five runs, raw and net of the same command on an empty page, which is
#     chromium's own start-up.
# Every recording is a hard link to one of a few made recordings: the rows
# take their record times from the names, so the links index like distinct
# recordings. Nothing here reads the page's markup.
# Exit codes: 0 figures printed, 1 the audit or the planting went wrong,
# 2 chromium is not installed.
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 BUILD_FOLDER" >&2; exit 1; }
build=$(cd "$1" && pwd)
for tool in Tolvane2 Tolvane2Audit make_recording Strata_SQLite.so; do
  [ -e "$build/$tool" ] || { echo "missing $build/$tool: build it first" >&2; exit 1; }
done
for tool in sqlite3 python3; do
  command -v "$tool" > /dev/null || { echo "page_bench: $tool is needed" >&2; exit 1; }
done
command -v chromium > /dev/null || { echo "page_bench: chromium is not installed: no figures" >&2; exit 2; }

began=$(date +%s)
work=$(mktemp -d)
trap 'chmod -R u+w "$work" 2> /dev/null; rm -rf "$work"' EXIT
storage=$work/storage
sources=$work/sources
mkdir -p "$storage" "$sources"
# Names and rows agree in UTC: no daylight-saving hour inside the month.
export TZ=UTC
month=2024-04
seconds=8

# A few distinct recordings; each storage recording links to one of them.
for n in 0 1 2 3; do
  "$build/make_recording" -o "$sources/$n.3gp" --start "$month-01 08:00:0$n" --seconds $seconds --fps 5 \
    --key-size $((6000 + 500 * n)) > /dev/null
done
# Finished long ago (the links share it): recordings modified within two
# minutes count as still being recorded.
touch -d '1 hour ago' "$sources"/*.3gp

# Location-days whose recorder stopped for over two hours (runs 3 and 4 left
# out): an outage against --max-gap 3600.
outages="27:6 13:14 01:16"

# The old layout, <storage>/<location>/<day>, as the recorder leaves it
# before the first repair.
python3 - "$storage" "$sources" "$month" "$seconds" "$outages" << 'EOF'
import os, random, sys

storage, sources, month, seconds, outages = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4]), sys.argv[5]
stopped = {tuple(int(part) for part in pair.split(":")) for pair in outages.split()}
source = [os.path.join(sources, f"{n}.3gp") for n in range(4)]
rng = random.Random(20240401)
for day in range(1, 31):
    for location in range(1, 17):
        folder = os.path.join(storage, str(location), f"{month}-{day:02d}")
        os.makedirs(folder)
        serial = 1
        for run in range(6):
            # Runs about 45 minutes apart, at most 55: gaps, none an outage.
            start = 7 * 3600 + run * 45 * 60 + rng.randrange(0, 600)
            count = rng.randrange(4, 9)
            if (day, location) in stopped and run in (2, 3):
                continue
            for k in range(count):
                t = start + k * seconds
                name = f"{serial:08d}_{month}-{day:02d}_{t // 3600:02d}{t // 60 % 60:02d}{t % 60:02d}.3gp"
                os.link(source[serial % 4], os.path.join(folder, name))
                serial += 1
EOF
recordings=$(find "$storage" -name '*.3gp' | wc -l)
(cd "$build" && ./Tolvane2 -p "$storage" > /dev/null)
[ -f "$storage/$month-01/1/$month-01.db" ] || { echo "page_bench: the repair left no new layout" >&2; exit 1; }
generated=$(date +%s)

# Problems, each on location-days of its own. Rows are changed the way the
# audit's tests change them.
declare -A planted
plant() {  # KIND DAY LOCATION
  local kind=$1 day=$month-$2 location=$3
  local f=$storage/$day/$location
  local db=$f/$day.db
  [ -z "${planted[$day/$location]:-}" ] || { echo "page_bench: $day/$location planted twice" >&2; exit 1; }
  planted[$day/$location]=$kind
  local recs=("$f"/*.3gp)
  case $kind in
    no_row) ln "$sources/0.3gp" "$f/00000900_${day}_200000.3gp" ;;
    unreadable) echo "no recording" > "$f/00000901_${day}_201000.3gp" ;;
    missing_recording) rm "${recs[2]}" ;;
    listed_twice)
      sqlite3 "$db" "INSERT INTO MediaFileDiskMap SELECT * FROM MediaFileDiskMap
        WHERE rowid = (SELECT min(rowid) FROM MediaFileDiskMap)" ;;
    overlap)
      sqlite3 "$db" "UPDATE TimeInterval SET EndRecordTime =
        (SELECT StartRecordTime + 30 FROM TimeInterval WHERE IntervalSerial = 2) WHERE IntervalSerial = 1" ;;
    name_time_mismatch)
      sqlite3 "$db" "UPDATE MediaFileDiskMap SET StartRecordTime = StartRecordTime + 600,
        EndRecordTime = EndRecordTime + 600 WHERE rowid = (SELECT max(rowid) FROM MediaFileDiskMap)" ;;
    before_2000) sqlite3 "$db" "UPDATE MediaFileDiskMap SET StartRecordTime = 60, EndRecordTime = 67 WHERE rowid = 2" ;;
    lost)  # a backup that covered half an hour more and listed one more recording
      cp "$db" "$db.old"
      sqlite3 "$db.old" "UPDATE TimeInterval SET EndRecordTime = EndRecordTime + 1800
          WHERE IntervalSerial = (SELECT max(IntervalSerial) FROM TimeInterval);
        INSERT INTO MediaFileDiskMap SELECT 950, IntervalSerial, '00000950_${day}_190000.3gp',
          StartRecordTime, StartRecordTimeMSec, EndRecordTime, EndRecordTimeMSec, StartCameraTime,
          StartCameraTimeMSec, EndCameraTime, EndCameraTimeMSec
          FROM MediaFileDiskMap WHERE rowid = (SELECT max(rowid) FROM MediaFileDiskMap)" ;;
    no_database) rm "$db" ;;
    database_damaged) head -c 4096 /dev/zero | tr '\0' x > "$db" ;;
    needs_recovery)  # a rollback journal's header: a hot journal
      { printf '\xd9\xd5\x05\xf9\x20\xa1\x63\xd7'; head -c 1016 /dev/zero | tr '\0' '\1'; } > "$f/$day.db-journal" ;;
    not_writable) chmod 0444 "$db" ;;
    leftover)
      echo "copy" > "$db.new"
      echo "companion" > "$db.old-journal" ;;
    link_passed_over) ln -s "$sources/1.3gp" "$f/00000902_${day}_202000.3gp" ;;
    not_a_recording)
      echo x > "$f/00000903_${day}_203000.3GP"
      echo x > "$f/00000904_${day}_204000.3gp.part"
      mkdir "$f/00000905_${day}_205000.3gp" ;;
    stale_row) sqlite3 "$db" "UPDATE MediaFileDiskMap SET EndRecordTime = EndRecordTime - 1 WHERE rowid = 2" ;;
    mixed_zones)  # the last interval written an hour east (zone code 44), rows shifted to match the names
      sqlite3 "$db" "UPDATE TimeInterval SET RecordTimeZone = 44, StartRecordTime = StartRecordTime - 3600,
          EndRecordTime = EndRecordTime - 3600 WHERE IntervalSerial = (SELECT max(IntervalSerial) FROM TimeInterval);
        UPDATE MediaFileDiskMap SET StartRecordTime = StartRecordTime - 3600, EndRecordTime = EndRecordTime - 3600
          WHERE IntervalSerial = (SELECT max(IntervalSerial) FROM TimeInterval)" ;;
    *) echo "page_bench: no way to plant $kind" >&2; exit 1 ;;
  esac
}
for pair in $outages; do planted[$month-${pair%%:*}/${pair##*:}]=outage; done
while read -r kind day location; do plant "$kind" "$day" "$location"; done << 'EOF'
no_row 02 3
no_row 17 11
unreadable 03 6
unreadable 19 14
missing_recording 05 9
missing_recording 21 1
listed_twice 06 12
listed_twice 22 4
overlap 08 15
overlap 24 7
name_time_mismatch 09 2
name_time_mismatch 25 10
before_2000 11 5
before_2000 26 13
lost 12 8
lost 28 16
no_database 14 11
no_database 29 3
database_damaged 15 14
database_damaged 30 6
needs_recovery 16 1
needs_recovery 01 9
not_writable 18 4
not_writable 04 12
leftover 20 7
leftover 07 15
link_passed_over 21 10
link_passed_over 10 2
not_a_recording 23 13
not_a_recording 13 5
stale_row 24 16
stale_row 27 8
mixed_zones 26 3
mixed_zones 10 11
EOF
find "$storage" -name '*.3gp' -exec touch -h -d '1 hour ago' {} +

page=$work/audit.html
status=0
"$build/Tolvane2Audit" -p "$storage" --html "$page" --json "$work/audit.json" --max-gap 3600 --verify \
  > /dev/null 2> "$work/audit.err" || status=$?
[ "$status" -eq 1 ] || { echo "page_bench: the audit ended with $status, not 1" >&2; cat "$work/audit.err" >&2; exit 1; }

echo "storage: 30 days x 16 locations, $recordings recordings, new layout after a repair" \
  "(made and repaired in $((generated - began)) s)"
kinds_ok=0
python3 - "$work/audit.json" << 'EOF' || kinds_ok=$?
import collections, json, sys

expected = ["no_row", "unreadable", "missing_recording", "listed_twice", "overlap", "name_time_mismatch",
            "before_2000", "lost_coverage", "lost_recording", "no_database", "database_damaged", "needs_recovery",
            "not_writable", "leftover", "link_passed_over", "not_a_recording", "stale_row", "mixed_zones", "outage"]
report = json.load(open(sys.argv[1]))
counts = collections.Counter(problem["kind"] for problem in report.get("storage_problems", []))
days_with = collections.Counter()
for day in report["location_days"]:
    kinds = [problem["kind"] for problem in day["problems"]]
    counts.update(kinds)
    days_with.update(set(kinds))
print(f"audit: {len(report['location_days'])} location-days, {sum(counts.values())} problems")
print("kinds present (problems, location-days): " +
      ", ".join(f"{kind} {counts[kind]}/{days_with[kind]}" for kind in expected if counts[kind]))
others = sorted(set(counts) - set(expected))
if others:
    print("kinds this script does not know: " + ", ".join(others))
missing = [kind for kind in expected if not counts[kind]]
if missing:
    print("kinds MISSING: " + ", ".join(missing))
    sys.exit(1)
print(f"all {len(expected)} kinds present")
EOF

bytes=$(stat -c %s "$page")
printf 'page size: %d bytes, %.2f MB   (aim: under 10 MB)\n' "$bytes" "$(awk -v b="$bytes" 'BEGIN { print b / 1e6 }')"

# median_time COMMAND...: the median wall time of five runs, in seconds.
median_time() {
  local times=() start end
  for _ in 1 2 3 4 5; do
    start=$(date +%s.%N)
    timeout 300 "$@" > /dev/null 2>&1 || { echo "page_bench: failed: $*" >&2; return 1; }
    end=$(date +%s.%N)
    times+=("$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')")
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n 3p
}
empty=$work/empty.html
echo "<!DOCTYPE html><title>empty</title>" > "$empty"
browser=(chromium --headless --no-sandbox --disable-gpu --no-first-run --disable-background-networking
  --disable-component-update --hide-scrollbars)
# Once untimed: the page loads at all (a document comes back), and the
# browser's files are in the cache for every run alike.
(cd "$work" && timeout 300 "${browser[@]}" --dump-dom "file://$page" > "$work/dom.html" 2> /dev/null) || true
[ -s "$work/dom.html" ] || { echo "page_bench: chromium returned no document for the page" >&2; exit 1; }
figure() {  # WINDOW_SIZE dump-dom|screenshot
  local mode=(--dump-dom) empty_mode=(--dump-dom)
  if [ "$2" = screenshot ]; then
    mode=(--screenshot="$work/page.png")
    empty_mode=(--screenshot="$work/empty.png")
  fi
  local raw base
  raw=$(cd "$work" && median_time "${browser[@]}" --window-size="$1" "${mode[@]}" "file://$page")
  base=$(cd "$work" && median_time "${browser[@]}" --window-size="$1" "${empty_mode[@]}" "file://$empty")
  printf '%-10s at %-9s %6.3f s net   (raw %.3f s, empty page %.3f s; median of 5; aim: under 3 s)\n' \
    "$2" "$1" "$(awk -v a="$raw" -v b="$base" 'BEGIN { print a - b }')" "$raw" "$base"
}
for size in 1400,1000 400,800; do
  figure "$size" dump-dom
  figure "$size" screenshot
done
echo "total run time: $(($(date +%s) - began)) s"
[ "$kinds_ok" -eq 0 ] || { echo "page_bench: not every kind was planted: see above" >&2; exit 1; }
