#!/usr/bin/env bash
# profile_bench.sh [build folder] [recordings] [runs]
#
# Where a warm repair's time goes: `perf record` (with DWARF call stacks)
# over several whole repairs (the tool with --dbonly) of one location-day of
# one-minute recordings (default 1,000, the storage of cold_bench.sh), then a
# summary of the indexing thread's samples by the part of the run they fall
# in, and by the system call or library they were taken in. The read-ahead
# workers' samples are counted apart: they run beside the indexing.
# Needs perf (Debian: linux-perf) and perf_event_paranoid <= 2.
set -euo pipefail
command -v perf > /dev/null || { echo "perf is missing (Debian: linux-perf)" >&2; exit 1; }
runs=${3:-8}
. "$(dirname "$0")/one_location_day.sh"
one_location_day "${1:-build}" "${2:-1000}" Tolvane2 Strata_SQLite.so make_bench_storage
(cd "$build" && ./Tolvane2 -p "$storage" -o > /dev/null)  # warms the cache

data=$work/profile.data
(cd "$build" && perf record -q -o "$data" -F 4999 --call-graph=dwarf,65528 -- \
  bash -c "for i in \$(seq $runs); do ./Tolvane2 -p '$storage' -o > /dev/null; done") 2> /dev/null

# One line per sample: "<thread> <part> <where>", from the stack read leaf
# first. Where is
# the system call, else the library, the sample was taken in. The part is the
# known function nearest the leaf.
perf script -i "$data" -F comm,pid,tid,ip,sym,dso 2> /dev/null | awk '
  function part_of(f) {
    if (f ~ /CopyTemplateDB|PlaceTemplate|ConvertStorage/) return "placing the template"
    if (f ~ /ReadFileTimes|ReadRecordings|ProbeCameraTimeZone|CParsers|Brannock2|ReadFileAt|OpenFileForReading|CloseFile/) return "reading recordings"
    if (f ~ /IntervalRows|DayDatabase::|strata::|sqlite3/) return "writing rows"
    if (f ~ /ReadAheadFeed|CollectRecordingFiles|ListRecordings|LocationFolders|directory_iterator|directory_entry/) return "listing folders"
    if (f ~ /^_dl_|^dl_main|execve|^exit$|^elf_|do_lookup_x|resolve_map|check_match/) return "loading the program and plug-in"
    return ""
  }
  function flush() {
    if (thread == "") return
    if (part == "") part = "stack cut short"
    if (where == "") where = "user code"
    print thread "\t" part "\t" where
  }
  /^[^ \t]/ {
    flush()
    split($2, ids, "/")
    thread = ($1 != "Tolvane2") ? "" : (ids[1] == ids[2] ? "indexing" : "read-ahead")
    part = ""; where = ""
    next
  }
  NF && thread != "" {
    dso = $NF; sub(/^[ \t]*[0-9a-f]+ /, ""); sub(/ \([^()]*\)$/, ""); f = $0
    if (where == "" && f ~ /^__(x64|do)_sys_/) { where = f; sub(/^__(x64|do)_sys_/, "", where); where = "system call " where }
    if (part == "") part = part_of(f)
    if (where == "" && dso ~ /libsqlite3/) where = "SQLite"
    if (where == "" && dso ~ /libc\.so/ && f ~ /malloc|free|new|delete/) where = "memory allocation"
  }
  END { flush() }
' > "$work/profile.samples"

awk -F '\t' '$1 == "indexing" { total++; part[$2]++; where[$2 "\t" $3]++ }
  $1 == "read-ahead" { workers++ }
  END {
    for (p in part) printf "%09d\t%09d\t  %-32s %5.1f%%\n", part[p], 999999999, p, 100 * part[p] / total
    for (k in where) {
      split(k, pw, "\t")
      if (where[k] >= total / 200) printf "%09d\t%09d\t      %-28s %5.1f%%\n", part[pw[1]], where[k], pw[2], 100 * where[k] / total
    }
    printf "%09d\t%09d\tread-ahead workers: %d samples, %.0f%% of the indexing thread'"'"'s\n", -1, 0, workers, 100 * workers / total
  }
' "$work/profile.samples" > "$work/profile.summary"
total=$(awk -F '\t' '$1 == "indexing"' "$work/profile.samples" | wc -l)
awk -v total="$total" -v runs="$runs" -v n="$recordings" 'BEGIN {
  printf "indexing thread: %d samples over %d warm repairs of %d recordings (%.1f ms a repair)\n", total, runs, n, total / 4.999 / runs }'
sort -t$'\t' -k1,1nr -k2,2nr "$work/profile.summary" | cut -f3-
