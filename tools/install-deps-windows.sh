#!/usr/bin/env bash
# Installs the Debian packages that the 32-bit Windows build and its tests
# need, only those that are missing: the i686 mingw-w64 compiler (posix
# threads variant), wine with its 32-bit half, and what fetching and preparing
# the dependency sources takes (apt-get source, tclsh for the SQLite
# amalgamation). Adds a deb-src entry when apt has none, so that
# `apt-get source` works. Runs as root or through sudo.
set -euo pipefail

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
need_update=0

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "Adding the i386 architecture (for wine32)"
  "${sudo_cmd[@]}" dpkg --add-architecture i386
  need_update=1
fi

has_deb_src() {
  grep -Eqs '^[[:space:]]*deb-src[[:space:]]' /etc/apt/sources.list /etc/apt/sources.list.d/*.list ||
    grep -Eqs '^[[:space:]]*Types:.*deb-src' /etc/apt/sources.list.d/*.sources
}
if ! has_deb_src; then
  echo "Adding deb-src entries beside the existing deb entries (for apt-get source)"
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -e "$f" ] || continue
    grep -Eq '^[[:space:]]*Types:[[:space:]]*deb[[:space:]]*$' "$f" || continue
    sed -E 's/^([[:space:]]*Types:)[[:space:]]*deb[[:space:]]*$/\1 deb-src/' "$f" |
      "${sudo_cmd[@]}" tee "/etc/apt/sources.list.d/tolvane2-src-$(basename "$f")" > /dev/null
  done
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -e "$f" ] || continue
    grep -Eq '^[[:space:]]*deb[[:space:]]' "$f" || continue
    grep -E '^[[:space:]]*deb[[:space:]]' "$f" | grep -v 'packages.cloud.google.com' |
      sed -E 's/^([[:space:]]*)deb([[:space:]])/\1deb-src\2/' |
      "${sudo_cmd[@]}" tee "/etc/apt/sources.list.d/tolvane2-src-$(basename "$f" .list).list" > /dev/null
  done
  need_update=1
fi

packages=(
  g++-mingw-w64-i686-posix
  wine wine32:i386
  tcl dpkg-dev xz-utils
  libboost1.74-dev sqlite3 googletest cmake make g++
  nlohmann-json3-dev
)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && [ $need_update -eq 0 ] && exit 0

if [ ${#missing[@]} -gt 0 ] || [ $need_update -eq 1 ]; then
  "${sudo_cmd[@]}" apt-get update -q
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
