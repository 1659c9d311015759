#!/usr/bin/env bash
# Installs the Debian packages that building, testing and the demo need,
# only those that are missing. Runs as root or through sudo. With the argument
# "package", also what building and checking the Debian package needs.
set -euo pipefail

packages=(
  cmake make g++ pkg-config
  libboost-program-options1.74-dev libboost-regex1.74-dev libboost-filesystem1.74-dev
  libboost-system1.74-dev libboost-date-time1.74-dev libboost-iostreams1.74-dev libboost-thread1.74-dev
  libboost1.74-dev  # the header-only libraries, Nowide among them
  libsqlite3-dev sqlite3
  nlohmann-json3-dev  # the audit's JSON, header-only
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  ffmpeg time
  clang-format-14  # the formatting CI checks: one version, or versions would disagree
  acl  # setfacl, for the tests of folders made under a default ACL
  bubblewrap  # bwrap, the sandbox tools/mutation/run_mutants.py runs each mutant in
)
if [ "${1:-}" = package ]; then
  # CPack's dependency scan (dpkg-shlibdeps, file), the checks of
  # tools/package-test.sh (readelf, strings; systemd-analyze and man for the
  # nightly audit's units) and lintian.
  packages+=(dpkg-dev file binutils lintian systemd man-db)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
