#!/usr/bin/env bash
# cold_bench.sh [build folder] [recordings] [runs]
#
# One location-day of one-minute recordings (default 1,000, moov after mdat),
# and side by side in each run: the whole repair (the tool with --dbonly), the
# sequential pread floor (only the bytes that must be read, one file after
# another) and the parallel floor (the same reads split into K slices read by
# K processes at once, K = 8, 16, 32 and 64, the fastest K kept: what the disk
# serves with that many requests in flight), with a warm page cache and with a
# cold one (every recording evicted with POSIX_FADV_DONTNEED first). Prints
# milliseconds per file and the ratios of the repair to both floors, for each
# run and, with several runs, their medians.
set -euo pipefail
runs=${3:-1}
slices="8 16 32 64"
. "$(dirname "$0")/one_location_day.sh"
one_location_day "${1:-build}" "${2:-1000}" Tolvane2 Strata_SQLite.so make_bench_storage repair_floor

value() { awk -v key="$1" '$1 == key { print $2 }'; }
seconds_of_repair() {
  local out
  out=$(cd "$build" && ./Tolvane2 -p "$storage" -o)
  if grep -q -e "failed" -e "got " <<< "$out"; then echo "the repair reported failures" >&2; exit 1; fi
  sed -n 's/.*elapsed time: \([0-9.e+-]*\) s$/\1/p' <<< "$out"
}

# Seconds of the floor over K slices: every process lists (and, cold, evicts)
# its slice and stops itself; all are continued together, and the time runs
# from the first start to the last end (per round, warm).
sliced_floor() {
  local k=$1 cold=$2 i pid state pids=() out=$work/sliced-floor/slice
  rm -rf "$work/sliced-floor" && mkdir -p "$work/sliced-floor"
  for ((i = 0; i < k; i++)); do
    "$build/repair_floor" "$storage" $cold --slice "$i/$k" > "$out.$i" &
    pids+=($!)
  done
  for pid in "${pids[@]}"; do
    while :; do
      state=$(awk '{ print $3 }' "/proc/$pid/stat" 2> /dev/null || echo gone)
      [ "$state" = T ] && break
      [ "$state" = gone ] || [ "$state" = Z ] && { echo "a floor slice ended before its start" >&2; exit 1; }
      sleep 0.01
    done
  done
  kill -CONT "${pids[@]}"
  for pid in "${pids[@]}"; do wait "$pid"; done
  cat "$out".* | awk '
    $1 == "floor_start_ns" && (first == "" || $2 < first) { first = $2 }
    $1 == "floor_end_ns" && $2 > last { last = $2 }
    $1 == "floor_rounds" { rounds = $2 }
    END { printf "%.6f\n", (last - first) / 1e9 / rounds }'
}

# The fastest K: "seconds K".
parallel_floor() {
  local cold=$1 k seconds best="" bestk=0
  for k in $slices; do
    seconds=$(sliced_floor "$k" "$cold")
    if [ -z "$best" ] || awk -v a="$seconds" -v b="$best" 'BEGIN { exit !(a < b) }'; then
      best=$seconds
      bestk=$k
    fi
  done
  echo "$best $bestk"
}

results=$work/cold-bench-results
: > "$results"
for ((run = 1; run <= runs; run++)); do
  # Warm: everything read once, the second repair measured.
  "$build/repair_floor" "$storage" > /dev/null
  seconds_of_repair > /dev/null
  warm_repair=$(seconds_of_repair)
  warm_floor=$("$build/repair_floor" "$storage" | value floor_seconds)
  read -r warm_parallel warm_k <<< "$(parallel_floor "")"
  # Cold: each measured run starts with every recording evicted.
  cold_floor=$("$build/repair_floor" "$storage" --cold | value floor_seconds)
  read -r cold_parallel cold_k <<< "$(parallel_floor --cold)"
  "$build/repair_floor" "$storage" --evict
  cold_repair=$(seconds_of_repair)

  awk -v n="$recordings" -v run="$run" -v runs="$runs" \
      -v wr="$warm_repair" -v wf="$warm_floor" -v wp="$warm_parallel" -v wk="$warm_k" \
      -v cr="$cold_repair" -v cf="$cold_floor" -v cp="$cold_parallel" -v ck="$cold_k" 'BEGIN {
    printf "run %d of %d, recordings: %d (one location-day)\n", run, runs, n
    printf "                              ms per file   repair / sequential   repair / parallel\n"
    printf "warm sequential floor:        %8.4f\n", 1000 * wf / n
    printf "warm parallel floor (K=%2d):   %8.4f\n", wk, 1000 * wp / n
    printf "warm repair (-o):             %8.4f      %6.2f                %6.2f\n", 1000 * wr / n, wr / wf, wr / wp
    printf "cold sequential floor:        %8.4f\n", 1000 * cf / n
    printf "cold parallel floor (K=%2d):   %8.4f\n", ck, 1000 * cp / n
    printf "cold repair (-o):             %8.4f      %6.2f                %6.2f\n", 1000 * cr / n, cr / cf, cr / cp
  }'
  echo "$(awk -v r="$warm_repair" -v f="$warm_floor" -v p="$warm_parallel" 'BEGIN { print r / f, r / p }') \
$(awk -v r="$cold_repair" -v f="$cold_floor" -v p="$cold_parallel" 'BEGIN { print r / f, r / p }')" >> "$results"
done

if [ "$runs" -gt 1 ]; then
  median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
  printf "medians of %d runs: warm repair / sequential %.2f, / parallel %.2f; cold repair / sequential %.2f, / parallel %.2f\n" \
    "$runs" "$(cut -d' ' -f1 "$results" | median)" "$(cut -d' ' -f2 "$results" | median)" \
    "$(cut -d' ' -f3 "$results" | median)" "$(cut -d' ' -f4 "$results" | median)"
fi
