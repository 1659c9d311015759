#!/usr/bin/env bash
# Checks the Debian package of a package build (argument 1, default
# build-package) without installing it: unpacks it into a temporary root,
# checks where the files went and what the package depends on, that no build
# path is left in the binaries, runs the unpacked Tolvane2 from an unrelated
# folder on a generated storage (so it must find its plug-in and template
# relative to its own folder), checks the nightly audit's units with
# systemd-analyze and its script's decisions, and runs lintian, failing on any
# error.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-build-package}" && pwd)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb=$build/tolvane2_${version}_$(dpkg --print-architecture).deb
if [ -z "$version" ] || [ ! -f "$deb" ]; then
  echo "FAIL: no package $deb (make package)" >&2
  exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/tolvane2-package.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

echo "---- $deb"
dpkg-deb --info "$deb"
root=$work/root
dpkg-deb -x "$deb" "$root"
(cd "$root" && find . -type f | LC_ALL=C sort)

# Where Debian puts them.
expected=(
  usr/bin/Tolvane2
  usr/lib/tolvane2/Strata_SQLite.so
  usr/share/tolvane2/PellamDB/dbtemplate.db
  usr/share/man/man1/Tolvane2.1.gz
  usr/share/doc/tolvane2/README.md
  usr/share/doc/tolvane2/copyright
  usr/share/doc/tolvane2/changelog.gz
)
# The audit is packaged whenever the build defines it.
if grep -q 'CPACK_TOLVANE2_BINARIES.*Tolvane2Audit' "$build/CPackConfig.cmake"; then
  expected+=(usr/bin/Tolvane2Audit usr/share/man/man1/Tolvane2Audit.1.gz
    usr/lib/tolvane2/tolvane2-nightly-audit
    usr/lib/systemd/system/tolvane2-audit@.service usr/lib/systemd/system/tolvane2-audit@.timer)
fi
for file in "${expected[@]}"; do
  [ -f "$root/$file" ] || fail "/$file is not in the package"
done
# What the installed README links to (its picture) is installed beside it.
docs=$root/usr/share/doc/tolvane2
while read -r link; do
  [ -f "$docs/$link" ] || fail "the installed README links $link, which is not in the package"
done < <(grep -oE '\]\([^):#]+\)' "$docs/README.md" 2>/dev/null | sed -E 's/^\]\((.*)\)$/\1/')
if [ -f "$root/usr/bin/Tolvane2Audit" ]; then
  "$root/usr/bin/Tolvane2Audit" --version | grep -qF "$version" || fail "Tolvane2Audit --version does not say $version"
fi

[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version is not $version"
# Worked out by dpkg-shlibdeps from what the binaries link.
depends=$(dpkg-deb -f "$deb" Depends)
for library in libc6 libstdc++6 libsqlite3-0 libboost-filesystem1.74.0; do
  grep -qF "$library" <<<"$depends" || fail "Depends lacks $library: $depends"
done

# No build path: neither a library search path nor a path in the text.
for binary in "$root"/usr/bin/* "$root"/usr/lib/tolvane2/*; do
  if readelf -h "$binary" > /dev/null 2>&1 && readelf -d "$binary" | grep -E 'RPATH|RUNPATH'; then
    fail "$binary carries a library search path"
  fi
  if strings -a "$binary" | grep -F -e "$source_dir" -e "$build"; then fail "$binary holds a build path"; fi
done

# A storage in the old layout, made with the build's recording writer: two
# locations, one day, three joined recordings each.
storage=$work/storage
day=2012-03-03
for location in 1 2; do
  mkdir -p "$storage/$location/$day"
  for minute in 0 1 2; do
    "$build/make_recording" -o "$storage/$location/$day/0000000$((minute + 1))_${day}_100${minute}00.3gp" \
      --start "$day 10:0$minute:00" > /dev/null
  done
done
# Run from a folder with no template, no plug-in and no tie to the build; no
# library path that could lead to the build's plug-in.
elsewhere=$work/elsewhere
mkdir -p "$elsewhere"
echo "---- the unpacked Tolvane2, run from $elsewhere"
status=0
(cd "$elsewhere" && env -u LD_LIBRARY_PATH TZ=UTC "$root/usr/bin/Tolvane2" -p "$storage") > "$work/out.txt" 2>&1 || status=$?
cat "$work/out.txt"
[ "$status" -eq 0 ] || fail "Tolvane2 ended with $status"
if grep -q "Load Strata failed" "$work/out.txt"; then fail "the plug-in was not found"; fi
if grep -q "copy dbtemplate.db got" "$work/out.txt"; then fail "the template was not found"; fi
for location in 1 2; do
  db=$storage/$day/$location/$day.db
  rows=$(sqlite3 -readonly "$db" 'SELECT COUNT(*) FROM MediaFileDiskMap;' 2>&1) || rows="none ($rows)"
  intervals=$(sqlite3 -readonly "$db" 'SELECT COUNT(*) FROM TimeInterval;' 2>&1) || intervals="none ($intervals)"
  [ "$rows" = 3 ] && [ "$intervals" = 1 ] || fail "$db: $rows file rows and $intervals intervals, not 3 and 1"
done

# The nightly audit's units, verified as one instance would be loaded, from
# copies whose script is the unpacked one (systemd-analyze wants it to exist)
# and with the unpacked man pages for Documentation=. Their warnings count too
# (those about the machine's own units do not).
script=$root/usr/lib/tolvane2/tolvane2-nightly-audit
if [ -f "$script" ]; then
  echo "---- the nightly audit's units and script"
  [ -x "$script" ] || fail "$script is not executable"
  units=$work/units
  mkdir -p "$units"
  for unit in "$root"/usr/lib/systemd/system/tolvane2-audit@.*; do
    sed "s|/usr/lib/tolvane2/|$root/usr/lib/tolvane2/|g" "$unit" > "$units/${unit##*/}"
  done
  verify_status=0
  MANPATH=$root/usr/share/man systemd-analyze verify \
    "$units/tolvane2-audit@srv-recordings.service" "$units/tolvane2-audit@srv-recordings.timer" \
    > "$work/verify.txt" 2>&1 || verify_status=$?
  cat "$work/verify.txt"
  if [ "$verify_status" -ne 0 ] || grep -q tolvane2-audit "$work/verify.txt"; then
    fail "systemd-analyze verify complains about the units"
  fi
  bash "$source_dir/tests/packaging/nightly_audit_test.sh" "$script" || fail "the nightly audit script's decisions"
  # With the unpacked audit, two nights on the repaired storage: the options
  # the script passes are the audit's, and the second night is compared with
  # the first.
  state=$work/state
  mkdir -p "$state"
  for night in 1 2; do
    night_status=0
    STATE_DIRECTORY=$state TOLVANE2_AUDIT=$root/usr/bin/Tolvane2Audit TZ=UTC sh "$script" "$storage" \
      > "$work/night.txt" 2>&1 || night_status=$?
    if [ "$night_status" -ne 0 ] || [ ! -f "$state/last.json" ] || [ ! -f "$state/audit.html" ]; then
      cat "$work/night.txt"
      fail "night $night of the nightly audit ended with $night_status"
    fi
  done
  grep -qF '"earlier_file"' "$state/last.json" || fail "the second night was not compared with the first"
fi

echo "---- lintian"
lintian_status=0
lintian --fail-on error --display-info "$deb" || lintian_status=$?
[ "$lintian_status" -eq 0 ] || fail "lintian reports errors"

if [ "$failures" -ne 0 ]; then
  echo "package test: $failures failure(s)" >&2
  exit 1
fi
echo "package test: passed"
