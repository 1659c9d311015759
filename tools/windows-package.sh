#!/usr/bin/env bash
# Packs what an operator copies onto a recorder from the Windows build
# (argument 1, default build-windows) into Tolvane2-<version>-win32.zip in
# that folder: the tool, its database plug-in, the template database and a
# short README. The version is the project's, read from the build's cache.
set -euo pipefail
build=$(cd "${1:-build-windows}" && pwd)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
if [ -z "$version" ]; then
  echo "No project version in $build/CMakeCache.txt: configure the build first" >&2
  exit 1
fi
zip=$build/Tolvane2-$version-win32.zip
stage=$build/package
rm -rf "$stage"
mkdir -p "$stage/PellamDB"
cp "$build/Tolvane2.exe" "$build/Tolvane2Audit.exe" "$build/Strata_SQLite.dll" "$stage/"
cp "$build/PellamDB/dbtemplate.db" "$stage/PellamDB/"
# The README opens with the description the Debian package has too
# (doc/description.txt: the summary line, then the long description).
description=$(cd "$(dirname "$0")/.." && pwd)/doc/description.txt
{
  echo "Tolvane2 $version - $(sed -n 1p "$description")"
  echo
  sed 1d "$description"
  cat <<'TEXT'

Copy this folder's contents onto the recorder, keeping them together:
  Tolvane2.exe            the tool (32-bit console program, needs nothing else)
  Tolvane2Audit.exe       the read-only audit: what a storage holds, what a repair would change
  Strata_SQLite.dll       the database plug-in, found beside Tolvane2.exe
  PellamDB\dbtemplate.db  the template of every day database, found beside
                          Tolvane2.exe (a PellamDB\dbtemplate.db in the current
                          folder is taken first)

Run it from any folder:
  Tolvane2.exe -p "D:\Rec"                      convert to the new structure, then repair
  Tolvane2.exe -p "D:\Rec" -o                   repair the databases only
  Tolvane2.exe -p "D:\Rec" -b 2012-03-03 -e 2012-03-07
  Tolvane2.exe -p "D:\Rec" -r                   revert to the old structure
  Tolvane2.exe -h                               all options
  Tolvane2Audit.exe -p "D:\Rec" --html audit.html   check a storage, changing nothing
                                                (exit code 0: no problem, 1: problems)

The times in the recordings' names are the recorder's local time, and the
rows are written with this machine's time zone (its standard time): run the
tool on the recorder, or on a machine set to the recorder's time zone.
TEXT
} | sed -e 's/$/\r/' > "$stage/README.txt"
rm -f "$zip"
(cd "$stage" && cmake -E tar cf "$zip" --format=zip \
  Tolvane2.exe Tolvane2Audit.exe Strata_SQLite.dll PellamDB/dbtemplate.db README.txt)
rm -rf "$stage"
echo "Packed $zip"
