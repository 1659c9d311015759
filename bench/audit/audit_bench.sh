#!/usr/bin/env bash
# audit_bench.sh [build folder]
#
# Figures for Tolvane2Audit, never pass/fail: on a storage of 100,000
# recordings (10 days x 10 locations x 1,000, hard links to a few real
# one-minute recordings, see bench/repair/make_scale_storage.cpp), warm cache:
#   - the audit with every row present against listing the folders with find,
#     alone and as a nightly check (--compare with the JSON written);
#   - the audit with --verify against a repair (Tolvane2 -o) of the same storage;
#   - the size of the page, and how long headless chromium takes to render it
#     (a screenshot, its own start-up measured apart on an empty page), for the
#     healthy storage and for the same recordings without any day database
#     (every recording a red mark and a row of the problems table).
# Each time is the best of three runs, wall time: on a machine shared with
# other work it is worth running twice.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
work=$build/bench-audit
mkdir -p "$work"
for tool in Tolvane2 Tolvane2Audit Strata_SQLite.so make_scale_storage; do
  [ -e "$build/$tool" ] || { echo "missing $build/$tool: build the project first" >&2; exit 1; }
done
export TZ=UTC
storage=$work/storage-100k
if [ ! -d "$storage" ]; then
  "$build/make_scale_storage" "$storage" 10 10 1000 > /dev/null
  # Finished long ago, so that none counts as still growing.
  find "$storage" -name '*.3gp' -exec touch -h -d '2 hours ago' {} +
fi

# best_of COMMAND...: the shortest wall time of three runs, in seconds.
best_of() {
  local best="" start end took
  for _ in 1 2 3; do
    start=$(date +%s.%N)
    "$@" > /dev/null 2>&1 || true
    end=$(date +%s.%N)
    took=$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')
    if [ -z "$best" ] || awk -v t="$took" -v b="$best" 'BEGIN { exit !(t < b) }'; then best=$took; fi
  done
  printf '%.3f' "$best"
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
minus() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a - b }'; }

repair() { (cd "$build" && ./Tolvane2 -p "$storage" -o); }
audit() { "$build/Tolvane2Audit" -p "$storage" "$@"; }

repair > /dev/null  # every row present, and a warm cache
find "$storage" > /dev/null

find_time=$(best_of find "$storage")
# find that also reads every entry's status, as the audit must (links, size,
# modification time).
find_stat_time=$(best_of find "$storage" -printf '%y %s %T@\n')
audit_time=$(best_of audit)
echo "100,000 recordings, every row present, warm cache:"
echo "  find over the storage          $find_time s"
echo "  find -printf '%y %s %T@'       $find_stat_time s"
echo "  Tolvane2Audit                  $audit_time s   ($(ratio "$audit_time" "$find_time") x find, \
$(ratio "$audit_time" "$find_stat_time") x find with status; aim under 2 x)"
# A nightly check: against the night before, with the JSON (a status per
# location-day) written.
audit --json "$work/earlier.json" > /dev/null 2>&1 || true
compare_time=$(best_of audit --compare "$work/earlier.json" --json "$work/tonight.json")
echo "  Tolvane2Audit --compare --json $compare_time s   ($(ratio "$compare_time" "$find_stat_time") x find with status; \
aim under 2 x)"
verify_time=$(best_of audit --verify)
repair_time=$(best_of repair)
echo "  Tolvane2Audit --verify         $verify_time s"
echo "  Tolvane2 -o (a repair)         $repair_time s   (--verify at $(ratio "$verify_time" "$repair_time") x a repair; aim under 1.2 x)"

page_figures() {  # NAME
  local page=$work/$1.html
  audit --html "$page" > /dev/null 2>&1 || true
  local bytes render
  bytes=$(stat -c %s "$page")
  if command -v chromium > /dev/null; then
    local browser=(chromium --headless --no-sandbox --disable-gpu --no-first-run --disable-background-networking
      --disable-component-update --hide-scrollbars --window-size=1300,1000)
    echo "<!DOCTYPE html><title>empty</title>" > "$work/empty.html"
    local empty full
    empty=$(cd "$work" && best_of "${browser[@]}" --screenshot="$work/empty.png" "file://$work/empty.html")
    full=$(cd "$work" && best_of "${browser[@]}" --screenshot="$work/$1.png" "file://$page")
    render="$(minus "$full" "$empty") s to render (chromium $full s, of which $empty s its start on an empty page)"
  else
    render="(chromium not installed: no render time)"
  fi
  printf '  %-30s %6.2f MB, %s\n' "$1" "$(awk -v b="$bytes" 'BEGIN { print b / 1e6 }')" "$render"
}
echo "The page (aim: under 10 MB, rendered in under 3 s):"
page_figures "page-healthy"
# The same recordings with no day database at all: the dry run.
find "$storage" -name '*.db*' -delete
page_figures "page-no-databases"
repair > /dev/null
