#!/usr/bin/env bash
# run_bench.sh [build folder] [days] [locations] [recordings per location]
#
# Repairs a generated storage (default 2 days x 4 locations x 360 one-minute
# recordings) with a warm page cache and prints, in one run: recordings per
# second of the whole repair (the tool with --dbonly) and of the indexing
# alone, the floor of merely reading the bytes that must be read, the ratio of
# the indexing to that floor, and the tool's peak memory for this storage and
# for one location of the same length, to show whether memory grows with the
# number of recordings. The storages are kept in <build>/bench-repair.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
days=${2:-2}
locations=${3:-4}
recordings=${4:-360}
files=$((days * locations * recordings))
work=$build/bench-repair
storage=$work/storage-${days}x${locations}x${recordings}
small=$work/storage-1x1x${recordings}

for tool in Tolvane2 Strata_SQLite.so make_bench_storage repair_floor index_bench; do
  [ -e "$build/$tool" ] || { echo "missing $build/$tool: build the project first" >&2; exit 1; }
done
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (Debian package time)" >&2; exit 1; }

mkdir -p "$work"
[ -d "$storage" ] || "$build/make_bench_storage" "$storage" "$days" "$locations" "$recordings"
[ -d "$small" ] || "$build/make_bench_storage" "$small" 1 1 "$recordings"

# Everything from the page cache from here on.
find "$storage" "$small" -name '*.3gp' -exec cat {} + > /dev/null

value() { awk -v key="$1" '$1 == key { print $2 }'; }

# The whole repair as an operator runs it, from the build folder; the second
# run is the one measured, so that the day databases are in the cache too.
repair() {
  local target=$1 log=$2
  (cd "$build" && ./Tolvane2 -p "$target" -o > /dev/null)
  (cd "$build" && /usr/bin/time -v ./Tolvane2 -p "$target" -o > "$log.out" 2> "$log.time")
  if grep -q -e "failed" -e "got " "$log.out"; then
    echo "the repair reported failures, see $log.out" >&2
    exit 1
  fi
}
repair "$storage" "$work/whole"
repair "$small" "$work/small"

floor=$("$build/repair_floor" "$storage")
index=$("$build/index_bench" "$storage")

whole_seconds=$(sed -n 's/.*elapsed time: \([0-9.e+-]*\) s$/\1/p' "$work/whole.out")
whole_peak=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/whole.time")
small_peak=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/small.time")
floor_seconds=$(echo "$floor" | value floor_seconds)
index_seconds=$(echo "$index" | value index_seconds)

awk -v files="$files" -v small="$recordings" -v whole="$whole_seconds" -v indexing="$index_seconds" \
    -v floor="$floor_seconds" -v bytes="$(echo "$floor" | value floor_bytes_per_file)" \
    -v peak="$whole_peak" -v smallpeak="$small_peak" 'BEGIN {
  printf "recordings:                       %d (%d days x %d locations x %d)\n", files, '"$days"', '"$locations"', '"$recordings"'
  printf "whole repair (tool, --dbonly):    %.3f s, %.0f recordings/s\n", whole, files / whole
  printf "indexing alone (times of files):  %.3f s, %.0f recordings/s\n", indexing, files / indexing
  printf "floor (pread of %.0f bytes/file): %.3f s, %.0f recordings/s\n", bytes, floor, files / floor
  printf "indexing / floor:                 %.2f\n", indexing / floor
  printf "peak memory, %5d recordings:     %d KiB\n", files, peak
  printf "peak memory, %5d recordings:     %d KiB\n", small, smallpeak
}'
