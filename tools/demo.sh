#!/usr/bin/env bash
# Runs the tool from its build folder on a freshly generated sample storage in
# the old directory structure, showing the folder tree before and after.
set -euo pipefail
build=${1:-build}
cd "$build"

show_tree() {
  echo "---- $1"
  find demo-storage | LC_ALL=C sort
  echo
}

rm -rf demo-storage
./make_storage demo-storage --structure old --locations 1,2 --days 2012-03-03,2012-03-04 --recordings 2
show_tree "sample storage (location/day) before the run"
./Tolvane2 -p demo-storage
show_tree "the same storage after the run (day/location, each with its day database)"
