#!/usr/bin/env bash
# Tolvane2Audit.exe under wine reads a storage as the Linux build does: on a
# storage generated and repaired by the Linux build, with recordings the rows
# do not know, a backup that covered more and a leftover, both write the same
# JSON (but for the storage's path, the arguments and the time of the audit) and the same
# exit code. Arguments: the Windows build folder and the Linux build folder
# (holding Tolvane2, Tolvane2Audit and make_recording). Wine is set up by the
# caller (tools/windows-test.sh).
set -euo pipefail
windows=$(cd "$1" && pwd)
if [ ! -x "$2/Tolvane2Audit" ] || [ ! -x "$2/make_recording" ]; then
  echo "Audit under wine: SKIPPED, no Linux build in $2 to compare with"
  exit 0
fi
linux=$(cd "$2" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
storage=$work/storage
export TZ=UTC

recording() {  # LOCATION DAY SERIAL HHMMSS, old layout
  local folder="$storage/$1/$2"
  mkdir -p "$folder"
  "$linux/make_recording" -o "$folder/$(printf '%08d' "$3")_$2_$4.3gp" \
    --start "$2 ${4:0:2}:${4:2:2}:${4:4:2}" --seconds 30 --fps 5 > /dev/null
}
for location in 1 2; do
  recording "$location" 2012-03-03 1 100000
  recording "$location" 2012-03-03 2 100030
  recording "$location" 2012-03-03 3 120000
done
(cd "$linux" && ./Tolvane2 -p "$storage" > /dev/null)
day=$storage/2012-03-03
"$linux/make_recording" -o "$day/1/00000004_2012-03-03_130000.3gp" --start "2012-03-03 13:00:00" \
  --seconds 30 --fps 5 > /dev/null
echo "no recording" > "$day/2/00000005_2012-03-03_140000.3gp"
cp "$day/2/2012-03-03.db" "$day/2/2012-03-03.db.old"
sqlite3 "$day/2/2012-03-03.db.old" "UPDATE TimeInterval SET EndRecordTime = EndRecordTime + 600"
echo "copy" > "$day/1/2012-03-03.db.new"
echo "notes" > "$day/1/notes.txt"
echo "notes" > "$day/1/Another.txt"
find "$storage" -name '*.3gp' -exec touch -d '1 hour ago' {} +

linux_exit=0
"$linux/Tolvane2Audit" -p "$storage" --verify --json "$work/linux.json" > /dev/null 2>&1 || linux_exit=$?
windows_exit=0
wine "$windows/Tolvane2Audit.exe" -p "Z:${storage//\//\\}" --verify --json "Z:${work//\//\\}\\windows.json" \
  < /dev/null > /dev/null 2>&1 || windows_exit=$?

python3 - "$work/linux.json" "$work/windows.json" "$linux_exit" "$windows_exit" <<'PY'
import json, sys
linux, windows = (json.load(open(path, encoding="utf-8")) for path in sys.argv[1:3])
for document in (linux, windows):
    # Paths are spelt by each system; the arguments name them.
    del document["storage"], document["storage_canonical"], document["arguments"], document["audited_at"]
if sys.argv[3] != sys.argv[4]:
    sys.exit("Audit under wine: exit code %s, on Linux %s" % (sys.argv[4], sys.argv[3]))
if linux != windows:
    print(json.dumps(linux, indent=1, sort_keys=True))
    print(json.dumps(windows, indent=1, sort_keys=True))
    sys.exit("Audit under wine: its JSON differs from the Linux build's")
print("Audit under wine: the same JSON as the Linux build's (%d problems, exit code %s)"
      % (linux["totals"]["problems"], sys.argv[3]))
PY
