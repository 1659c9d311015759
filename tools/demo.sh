#!/usr/bin/env bash
# Runs the tool from its build folder on a freshly generated sample storage in
# the old directory structure, then shows the tree and the rebuilt rows.
set -euo pipefail
build=${1:-build}
cd "$build"
export TZ=UTC   # so the rows below read the same on every machine

storage=demo-storage
rm -rf "$storage"

# recording LOCATION DAY SERIAL HHMMSS [make_recording options...]
recording() {
  local location=$1 day=$2 serial=$3 time=$4
  shift 4
  local folder="$storage/$location/$day"
  mkdir -p "$folder"
  ./make_recording -o "$folder/$(printf '%08d' "$serial")_${day}_${time}.3gp" \
    --start "$day ${time:0:2}:${time:2:2}:${time:4:2}" "$@" > /dev/null
}

# Locations 1 and 2: an hour of continuous recording on each of two days.
for location in 1 2; do
  for day in 2012-03-03 2012-03-04; do
    for minute in 0 1 2 3 4 5; do
      recording "$location" "$day" $((minute + 1)) "100${minute}00"
    done
  done
done
# Location 3: two joined minutes, a gap, an unreadable file and a recording
# made while daylight saving was in effect (its name holds the local time).
recording 3 2012-03-03 1 100000
recording 3 2012-03-03 2 100100
recording 3 2012-03-03 3 100500
echo "not a recording" > "$storage/3/2012-03-03/00000004_2012-03-03_100600.3gp"
# The recording's own camera time is 10:06 UTC; only its name says 11:06.
./make_recording -o "$storage/3/2012-03-03/00000005_2012-03-03_110600.3gp" \
  --start "2012-03-03 10:06:00" --dl-element 1 --dst > /dev/null

# Finished an hour ago: the audit takes recordings changed in the last two
# minutes for ones the recorder is still writing.
find "$storage" -name '*.3gp' -exec touch -d '1 hour ago' {} +

echo "---- sample storage (location/day) before the run"
find "$storage" -type d | LC_ALL=C sort
echo
# The audit only looks: exit code 1 says it found problems, which this
# storage has before and after the run.
echo "---- audit before the run"
./Tolvane2Audit -p "$storage" --html audit-before.html || true
echo
./Tolvane2 -p "$storage"
echo
echo "---- the same storage after the run (day/location, each with its day database)"
find "$storage" | LC_ALL=C sort
echo
db="$storage/2012-03-03/3/2012-03-03.db"
echo "---- rows rebuilt in $db"
sqlite3 -header -column "$db" 'SELECT * FROM TimeInterval;'
echo
sqlite3 -header -column "$db" 'SELECT * FROM MediaFileDiskMap;'
echo
echo "---- audit after the run"
./Tolvane2Audit -p "$storage" --html audit-after.html || true
echo
echo "Audit pages of the sample storage, before and after the run (open them in a browser):"
echo "  $(pwd)/audit-before.html"
echo "  $(pwd)/audit-after.html"
