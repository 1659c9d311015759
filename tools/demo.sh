#!/usr/bin/env bash
# Runs the tool from its build folder on a freshly generated sample storage.
set -euo pipefail
build=${1:-build}
cd "$build"
rm -rf demo-storage
mkdir -p demo-storage
./Tolvane2 -p demo-storage
