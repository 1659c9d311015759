#!/usr/bin/env bash
# Runs a Windows program of the build under wine, quietly, in the wine prefix
# of the Windows build (TOLVANE2_WINEPREFIX, else wine's own default).
set -euo pipefail
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
[ -n "${TOLVANE2_WINEPREFIX:-}" ] && export WINEPREFIX=$TOLVANE2_WINEPREFIX
exec wine "$@"
