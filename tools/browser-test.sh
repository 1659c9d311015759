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
find "$storage" -name '*.3gp' -exec touch -d '1 hour ago' {} +

status=0
"$build/Tolvane2Audit" -p "$storage" --json "$work/audit.json" --html "$work/audit.html" > "$work/summary.txt" \
  2> /dev/null || status=$?
[ "$status" -eq 1 ] || { echo "browser test: the audit ended with $status, not 1"; cat "$work/summary.txt"; exit 1; }

browser=(chromium --headless --no-sandbox --disable-gpu --no-first-run --disable-background-networking
  --disable-component-update --hide-scrollbars)
"${browser[@]}" --dump-dom "file://$work/audit.html" > "$work/dom.html" 2> /dev/null
(cd "$work" && "${browser[@]}" --window-size=1300,1000 --screenshot="$work/screenshot.png" \
  "file://$work/audit.html" > /dev/null 2>&1)
python3 "$source_dir/tests/audit/browser_check.py" "$work/audit.html" "$work/dom.html" "$work/audit.json" \
  "$work/screenshot.png"
