#!/usr/bin/env bash
# cold_bench.sh [build folder] [recordings]
#
# One location-day of one-minute recordings (default 1,000, moov after mdat),
# and side by side in one run: the whole repair (the tool with --dbonly) and the
# sequential pread floor (only the bytes that must be read, one file after
# another), with a warm page cache and with a cold one (every recording
# evicted with POSIX_FADV_DONTNEED first). Prints milliseconds per file and the
# ratios of the repair to the floor.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
recordings=${2:-1000}
work=$build/bench-repair
storage=$work/storage-cold-1x1x${recordings}

for tool in Tolvane2 Strata_SQLite.so make_bench_storage repair_floor; do
  [ -e "$build/$tool" ] || { echo "missing $build/$tool: build the project first" >&2; exit 1; }
done
mkdir -p "$work"
[ -d "$storage" ] || "$build/make_bench_storage" "$storage" 1 1 "$recordings" > /dev/null

value() { awk -v key="$1" '$1 == key { print $2 }'; }
seconds_of_repair() {
  local out
  out=$(cd "$build" && ./Tolvane2 -p "$storage" -o)
  if grep -q -e "failed" -e "got " <<< "$out"; then echo "the repair reported failures" >&2; exit 1; fi
  sed -n 's/.*elapsed time: \([0-9.e+-]*\) s$/\1/p' <<< "$out"
}

# Warm: everything read once, the second repair measured.
"$build/repair_floor" "$storage" > /dev/null
seconds_of_repair > /dev/null
warm_repair=$(seconds_of_repair)
warm_floor=$("$build/repair_floor" "$storage" | value floor_seconds)
# Cold: each measured run starts with every recording evicted.
cold_floor=$("$build/repair_floor" "$storage" --cold | value floor_seconds)
"$build/repair_floor" "$storage" --evict
cold_repair=$(seconds_of_repair)

awk -v n="$recordings" -v wr="$warm_repair" -v wf="$warm_floor" -v cr="$cold_repair" -v cf="$cold_floor" 'BEGIN {
  printf "recordings:            %d (one location-day)\n", n
  printf "                       ms per file   repair / floor\n"
  printf "warm floor:            %8.4f\n", 1000 * wf / n
  printf "warm repair (-o):      %8.4f      %.2f\n", 1000 * wr / n, wr / wf
  printf "cold floor:            %8.4f\n", 1000 * cf / n
  printf "cold repair (-o):      %8.4f      %.2f\n", 1000 * cr / n, cr / cf
}'
