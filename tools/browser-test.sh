#!/usr/bin/env bash
# The audit page checked in a real browser: Debian's chromium, headless,
# installed here (the only place that needs it) when missing. A generated
# storage is repaired, then given recordings without rows and a backup that
# covered more; the page that Tolvane2Audit writes of it is rendered, and its
# marks are compared with the audit's JSON (tests/audit/browser_check.py).
# Argument 1: a build folder holding Tolvane2, Tolvane2Audit and
# make_recording (default build-test).
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-build-test}" && pwd)

if ! dpkg-query -W -f='${Status}' chromium 2>/dev/null | grep -q "install ok installed"; then
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -q
  "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends chromium
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
storage=$work/storage
export TZ=UTC

# recording LOCATION DAY SERIAL HHMMSS [make_recording options...], old layout
recording() {
  local location=$1 day=$2 serial=$3 time=$4
  shift 4
  local folder="$storage/$location/$day"
  mkdir -p "$folder"
  "$build/make_recording" -o "$folder/$(printf '%08d' "$serial")_${day}_${time}.3gp" \
    --start "$day ${time:0:2}:${time:2:2}:${time:4:2}" --seconds 30 --fps 5 "$@" > /dev/null
}
for location in 1 2 3; do
  for day in 2012-03-03 2012-03-04; do
    serial=1
    for hour in 08 09 14 15 20; do
      recording "$location" "$day" $serial "${hour}0000"
      recording "$location" "$day" $((serial + 1)) "${hour}0030"
      serial=$((serial + 2))
    done
  done
done
(cd "$build" && ./Tolvane2 -p "$storage" > /dev/null)

# After the repair: recordings the rows do not know, readable or not, and a
# backup whose intervals covered the afternoon too.
make_new() {  # like recording, in the new layout
  local location=$1 day=$2 serial=$3 time=$4
  "$build/make_recording" -o "$storage/$day/$location/$(printf '%08d' "$serial")_${day}_${time}.3gp" \
    --start "$day ${time:0:2}:${time:2:2}:${time:4:2}" --seconds 30 --fps 5 > /dev/null
}
make_new 1 2012-03-03 20 110000
make_new 1 2012-03-03 21 230000
echo "no recording" > "$storage/2012-03-03/2/00000022_2012-03-03_120000.3gp"
# Five minutes in a row without rows: one mark on the screen, standing for five.
for minute in 0 1 2 3 4; do
  echo "no recording" > "$storage/2012-03-04/2/0000003${minute}_2012-03-04_160${minute}00.3gp"
done
cp "$storage/2012-03-03/3/2012-03-03.db" "$storage/2012-03-03/3/2012-03-03.db.old"
sqlite3 "$storage/2012-03-03/3/2012-03-03.db.old" \
  "UPDATE TimeInterval SET EndRecordTime = EndRecordTime + 7200 WHERE StartRecordTime % 86400 = 14 * 3600"
# A kind of problem on each row it can be drawn on: footage gone, rows twice,
# intervals that overlap, rows off their names, in another zone, dated 1970,
# a recording only the backup lists, a tool's copy set aside, leftovers,
# links, a folder named like a recording, databases missing and damaged.
query() { sqlite3 "$storage/$1/$2/$1.db" "$3"; }
rm "$storage/2012-03-04/1/00000003_2012-03-04_090000.3gp"
query 2012-03-04 3 "INSERT INTO MediaFileDiskMap SELECT * FROM MediaFileDiskMap WHERE MFSerial = 1"
query 2012-03-04 3 "UPDATE TimeInterval SET EndRecordTime = EndRecordTime + 7200 WHERE IntervalSerial = 1"
query 2012-03-04 3 "UPDATE MediaFileDiskMap SET StartRecordTime = StartRecordTime + 1800 WHERE MFSerial = 5"
query 2012-03-04 1 "UPDATE MediaFileDiskMap SET StartRecordTime = 0 WHERE MFSerial = 7"
query 2012-03-03 2 "UPDATE TimeInterval SET RecordTimeZone = RecordTimeZone - 4 WHERE IntervalSerial = 5"
sqlite3 "$storage/2012-03-03/3/2012-03-03.db.old" "INSERT INTO MediaFileDiskMap (MFSerial, IntervalSerial,
  PathName, StartRecordTime, EndRecordTime) SELECT 99, IntervalSerial, '00000099_2012-03-03_143000.3gp',
  StartRecordTime + 1800, StartRecordTime + 1830 FROM MediaFileDiskMap WHERE MFSerial = 5"
cp "$storage/2012-03-04/1/2012-03-04.db" "$storage/2012-03-04/1/2012-03-04.db.prev"
echo "not the tool's copy" > "$storage/2012-03-04/2/2012-03-04.db.new"
ln -s /tmp "$storage/2012-03-04/2/elsewhere"
mkdir "$storage/2012-03-04/2/00000050_2012-03-04_170000.3gp"
mkdir "$storage/2012-03-04/4" "$storage/2012-03-03/4"
make_new 4 2012-03-04 1 100000
make_new 4 2012-03-03 1 100000
echo "no database" > "$storage/2012-03-03/4/2012-03-03.db"
find "$storage" -name '*.3gp' -exec touch -h -d '1 hour ago' {} +

status=0
"$build/Tolvane2Audit" -p "$storage" --json "$work/audit.json" --html "$work/audit.html" --verify \
  --max-gap 14400 > "$work/summary.txt" 2> /dev/null || status=$?
[ "$status" -eq 1 ] || { echo "browser test: the audit ended with $status, not 1"; cat "$work/summary.txt"; exit 1; }

# The page as it is, and with a script of this test that writes what the
# browser laid out into the page, at a desktop's width and a phone's.
browser=(chromium --headless --no-sandbox --disable-gpu --no-first-run --disable-background-networking
  --disable-component-update --hide-scrollbars)
sed 's|</body>|<script src="layout-check.js"></script></body>|' "$work/audit.html" > "$work/checked.html"
cp "$source_dir/tests/audit/layout-check.js" "$work/"
for width in 1400 400; do
  sed "s|WIDTH|$width|" "$source_dir/tests/audit/layout-frame.html" > "$work/frame$width.html"
  "${browser[@]}" --allow-file-access-from-files --window-size=1500,1000 --dump-dom "file://$work/frame$width.html" \
    > "$work/layout$width.html" 2> /dev/null
done
(cd "$work" && "${browser[@]}" --window-size=1300,1000 --screenshot="$work/screenshot.png" \
  "file://$work/audit.html" > /dev/null 2>&1)
python3 "$source_dir/tests/audit/browser_check.py" "$work/audit.html" "$work/audit.json" "$work/screenshot.png" \
  "$work/layout1400.html" "$work/layout400.html"
