#!/usr/bin/env bash
# Runs the tests of the Windows build (argument 1, default build-windows)
# under wine: the unit tests and the end-to-end tests, which start the real
# Tolvane2.exe. One wine server serves the whole run.
set -euo pipefail
build=${1:-build-windows}
tools=$(cd "$(dirname "$0")" && pwd)
jobs=${JOBS:-$(nproc)}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win32
if [ -n "${TOLVANE2_WINEPREFIX:-}" ]; then
  export WINEPREFIX=$TOLVANE2_WINEPREFIX
fi
prefix=${WINEPREFIX:-$HOME/.wine}
mkdir -p "$(dirname "$prefix")"

if [ ! -f "$prefix/system.reg" ]; then
  echo "Creating the wine prefix $prefix"
  wineboot -i > /dev/null 2>&1
fi
# A persistent server for the run, so that each test program starts quickly;
# stopped at the end, whatever the outcome. The first program also starts
# wine's background services, which keep the output handles they inherit
# open: started here with none, they cannot hold a test's output pipe (and
# ctest waiting for it) open.
wineserver -p 2> /dev/null || true  # already running for this prefix
trap 'wineserver -k 2> /dev/null || true' EXIT
wine cmd /c exit < /dev/null > /dev/null 2>&1

cd "$build"
ctest --output-on-failure -j "$jobs" --timeout 1200
# Every test program is one ctest entry; the count of tests is gtest's own.
awk '/\[  PASSED  \] [0-9]+ test/ {passed += $4} END {print "Tests passed under wine: " passed}' \
  Testing/Temporary/LastTest.log
cd - > /dev/null
# The audit's JSON against the Linux build's (TOLVANE2_LINUX_BUILD, default build-test).
bash "$tools/windows-audit-compare.sh" "$build" "${TOLVANE2_LINUX_BUILD:-build-test}"
