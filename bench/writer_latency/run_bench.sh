#!/usr/bin/env bash
# run_bench.sh [build folder] [recordings per location-day...]
# (RUNS=n: runs of the tool per measurement, default 20 for up to 5,000
# recordings, else 3)
#
# The statement times of a recorder's writer and reader on a day database
# while the tool (--dbonly) rebuilds it, and for as long without the tool:
# for one location-day of 1,440 and of 20,000 recordings (by default), the
# writer reopening its database per statement or holding it open, with a
# busy timeout of 5 s or none. Prints the 99th percentile and the slowest
# statement of writer and reader. The storages are kept in
# <build>/bench-writer-latency.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
shift || true
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(1440 20000)
work=$build/bench-writer-latency
for tool in Tolvane2 Strata_SQLite.so make_scale_storage writer_latency; do
  [ -e "$build/$tool" ] || { echo "missing $build/$tool: build the project first" >&2; exit 1; }
done
mkdir -p "$work"

for recordings in "${sizes[@]}"; do
  storage=$work/storage-$recordings
  [ -d "$storage" ] || "$build/make_scale_storage" "$storage" 1 1 "$recordings" > /dev/null
  day=$(ls "$storage")
  database=$storage/$day/1/$day.db
  (cd "$build" && ./Tolvane2 -p "$storage" -o > /dev/null)  # warms the cache, places the database
  for access in --reopen --hold; do
    for timeout in 5000 0; do
      echo "== $recordings recordings in one location-day"
      runs=${RUNS:-$([ "$recordings" -le 5000 ] && echo 20 || echo 3)}
      with=$("$build/writer_latency" --database "$database" "$access" --busy-timeout "$timeout" \
               --tool "$build" "$storage" --runs "$runs")
      echo "$with"
      seconds=$(sed -n '1s/.* over \([0-9.]*\) s.*/\1/p' <<< "$with")
      "$build/writer_latency" --database "$database" "$access" --busy-timeout "$timeout" --seconds "$seconds"
    done
  done
done
