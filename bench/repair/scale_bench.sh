#!/usr/bin/env bash
# scale_bench.sh [build folder] [largest storage: 1m | 100k]
#
# Whole repairs (the tool with --dbonly, warm cache) of storages whose
# recordings are hard links to a few real one-minute recordings: 10,000 and
# 100,000 recordings in one location, and 1,000,000 across 10 days x 10
# locations. Prints seconds, microseconds per recording and peak memory, to
# show that time grows linearly and memory stays bounded.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
largest=${2:-1m}
work=$build/bench-repair
mkdir -p "$work"
for tool in Tolvane2 Strata_SQLite.so make_scale_storage; do
  [ -e "$build/$tool" ] || { echo "missing $build/$tool: build the project first" >&2; exit 1; }
done

run() {
  local name=$1 days=$2 locations=$3 per=$4
  local storage=$work/scale-$name files=$((days * locations * per))
  [ -d "$storage" ] || "$build/make_scale_storage" "$storage" "$days" "$locations" "$per" > /dev/null
  (cd "$build" && ./Tolvane2 -p "$storage" -o > /dev/null)  # warms the cache
  (cd "$build" && /usr/bin/time -v ./Tolvane2 -p "$storage" -o > "$work/scale-$name.out" 2> "$work/scale-$name.time")
  local seconds peak
  seconds=$(sed -n 's/.*elapsed time: \([0-9.e+-]*\) s$/\1/p' "$work/scale-$name.out")
  peak=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/scale-$name.time")
  awk -v n="$files" -v s="$seconds" -v p="$peak" -v name="$name" \
    'BEGIN { printf "%-28s %9d recordings %8.2f s %7.1f us/recording  peak %6.1f MiB\n", name, n, s, 1e6 * s / n, p / 1024 }'
}

run "10k-one-location" 1 1 10000
run "100k-one-location" 1 1 100000
[ "$largest" = 1m ] && run "1m-10days-10locations" 10 10 10000
exit 0
