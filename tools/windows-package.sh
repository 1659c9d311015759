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
sed -e "s/@VERSION@/$version/" -e 's/$/\r/' > "$stage/README.txt" <<'TEXT'
Tolvane2 @VERSION@ - rebuilds the recording databases of a video-recording storage folder

Copy this folder's contents onto the recorder, keeping them together:
  Tolvane2.exe            the tool (32-bit console program, needs nothing else)
  Tolvane2Audit.exe       the read-only audit: what a storage holds, what a repair would change
  Strata_SQLite.dll       the database plug-in, found beside Tolvane2.exe
  PellamDB\dbtemplate.db  the template of every day database

Run it from this folder, so that it finds PellamDB\dbtemplate.db:
  Tolvane2.exe -p "D:\Rec"                      convert to the new structure, then repair
  Tolvane2.exe -p "D:\Rec" -o                   repair the databases only
  Tolvane2.exe -p "D:\Rec" -b 2012-03-03 -e 2012-03-07
  Tolvane2.exe -p "D:\Rec" -r                   revert to the old structure
  Tolvane2.exe -h                               all options
  Tolvane2Audit.exe -p "D:\Rec" --html audit.html   check a storage, changing nothing
                                                (exit code 0: no problem, 1: problems)

An existing day database is kept beside the new one as <date>.db.old.
TEXT
rm -f "$zip"
(cd "$stage" && cmake -E tar cf "$zip" --format=zip \
  Tolvane2.exe Tolvane2Audit.exe Strata_SQLite.dll PellamDB/dbtemplate.db README.txt)
rm -rf "$stage"
echo "Packed $zip"
