#!/usr/bin/env bash
# Fails when a tracked C++ file differs from what the project's .clang-format
# makes of it with Debian's clang-format 14 (installed by tools/install-deps.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
if ! git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format-14 --dry-run -Werror; then
  echo "Formatting differs from .clang-format; fix it with: make format" >&2
  exit 1
fi
