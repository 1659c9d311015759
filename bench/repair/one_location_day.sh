# Sourced by the benchmarks of one location-day of one-minute recordings.
# one_location_day <build folder> <recordings> <tool>...: checks that the
# tools are built and sets work and storage, making the storage (moov after
# mdat) when it is not there yet.
one_location_day() {
  local tool
  build=$(cd "$1" && pwd)
  recordings=$2
  shift 2
  for tool in "$@"; do
    [ -e "$build/$tool" ] || { echo "missing $build/$tool: build the project first" >&2; exit 1; }
  done
  work=$build/bench-repair
  storage=$work/storage-cold-1x1x${recordings}
  mkdir -p "$work"
  [ -d "$storage" ] || "$build/make_bench_storage" "$storage" 1 1 "$recordings" > /dev/null
}
