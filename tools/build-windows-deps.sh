#!/usr/bin/env bash
# Builds the libraries that the 32-bit Windows build links, once, into a cache
# folder that later builds reuse (argument 1, default
# ${XDG_CACHE_HOME:-$HOME/.cache}/tolvane2-win32). Everything comes from
# Debian: Boost's compiled libraries (Nowide among them) from the boost1.74
# source package, built against the installed 1.74 headers; SQLite from the
# sqlite3 source package; GoogleTest from the googletest package's sources.
# Each part is rebuilt only when the compiler or the Debian version it was
# built from has changed.
set -euo pipefail

cache=${1:-${XDG_CACHE_HOME:-$HOME/.cache}/tolvane2-win32}
jobs=${JOBS:-$(nproc)}
host=i686-w64-mingw32
cxx=$host-g++-posix
cc=$host-gcc-posix
ar=$host-ar

prefix=$cache/i686
src=$cache/src
mkdir -p "$prefix/include" "$prefix/lib" "$prefix/bin" "$src"

installed_version() { dpkg-query -W -f='${Version}' "$1"; }
compiler_id=$($cxx --version | head -1)

# up_to_date NAME KEY: true when NAME was built with KEY already.
up_to_date() { [ -f "$prefix/$1.stamp" ] && [ "$(cat "$prefix/$1.stamp")" = "$2" ]; }
mark_built() { printf '%s' "$2" > "$prefix/$1.stamp"; }

# source_tree PACKAGE: the unpacked source of PACKAGE at the version apt offers,
# fetched with apt-get source when it is not there yet. Prints its folder.
source_tree() {
  local package=$1 version upstream folder
  version=$(apt-cache showsrc "$package" | awk '/^Version:/ {print $2; exit}')
  [ -n "$version" ] || { echo "apt knows no source package $package (deb-src missing?)" >&2; return 1; }
  upstream=${version#*:}
  upstream=${upstream%-*}
  folder=$src/$package-$upstream
  if [ ! -d "$folder" ]; then
    (cd "$src" && apt-get source -q "$package=$version" >&2)
  fi
  [ -d "$folder" ] || { echo "apt-get source $package left no $folder" >&2; return 1; }
  echo "$folder"
}

# compile_archive ARCHIVE FLAGS -- SOURCES...: compiles in parallel into one static library.
compile_archive() {
  local archive=$1; shift
  local flags=()
  while [ "$1" != "--" ]; do flags+=("$1"); shift; done
  shift
  local objects=$prefix/obj/$(basename "$archive" .a)
  rm -rf "$objects"; mkdir -p "$objects"
  printf '%s\n' "$@" | xargs -P "$jobs" -I{} sh -c \
    'o="$1/$(echo "$2" | tr / _).o"; shift 2; '"$cxx"' "$@" -c "$0" -o "$o"' {} "$objects" {} "${flags[@]}"
  rm -f "$archive"
  $ar rcs "$archive" "$objects"/*.o
  rm -rf "$objects"
}

# --- Boost: the compiled libraries, over the installed Debian headers. Chrono,
# which Thread uses, stays header-only (BOOST_CHRONO_HEADER_ONLY here and in
# the build that links these).
boost_key="$compiler_id|boost1.74 $(installed_version libboost1.74-dev)|chrono header-only"
if ! up_to_date boost "$boost_key"; then
  echo "== Boost libraries ($host)"
  boost=$(source_tree boost1.74)
  ln -sfn /usr/include/boost "$prefix/include/boost"
  common=(-std=c++17 -O2 -DNDEBUG -DBOOST_ALL_NO_LIB -DBOOST_BIND_GLOBAL_PLACEHOLDERS -isystem "$prefix/include" -w)
  lib=$boost/libs
  compile_archive "$prefix/lib/libboost_system.a" "${common[@]}" -DBOOST_SYSTEM_STATIC_LINK=1 -- \
    "$lib"/system/src/error_code.cpp
  compile_archive "$prefix/lib/libboost_date_time.a" "${common[@]}" -DDATE_TIME_INLINE -- \
    "$lib"/date_time/src/gregorian/greg_month.cpp
  compile_archive "$prefix/lib/libboost_program_options.a" "${common[@]}" -- \
    "$lib"/program_options/src/*.cpp
  compile_archive "$prefix/lib/libboost_regex.a" "${common[@]}" -- \
    $(for f in c_regex_traits cpp_regex_traits cregex fileiter icu instances posix_api regex regex_debug \
        regex_raw_buffer regex_traits_defaults static_mutex w32_regex_traits wc_regex_traits wide_posix_api \
        winstances usinstances; do echo "$lib/regex/src/$f.cpp"; done)
  compile_archive "$prefix/lib/libboost_filesystem.a" "${common[@]}" -DBOOST_FILESYSTEM_SOURCE \
    -DBOOST_FILESYSTEM_STATIC_LINK=1 -DBOOST_FILESYSTEM_HAS_BCRYPT -I"$lib/filesystem/src" -- \
    $(for f in codecvt_error_category exception directory operations path path_traits portability \
        unique_path utf8_codecvt_facet windows_file_codecvt; do echo "$lib/filesystem/src/$f.cpp"; done)
  compile_archive "$prefix/lib/libboost_thread.a" "${common[@]}" -DBOOST_THREAD_BUILD_LIB=1 \
    -DBOOST_THREAD_WIN32 -DWIN32_LEAN_AND_MEAN -DBOOST_USE_WINDOWS_H -DBOOST_THREAD_USES_CHRONO \
    -DBOOST_CHRONO_HEADER_ONLY -- \
    "$lib"/thread/src/win32/thread.cpp "$lib"/thread/src/win32/tss_dll.cpp \
    "$lib"/thread/src/win32/tss_pe.cpp "$lib"/thread/src/win32/thread_primitives.cpp \
    "$lib"/thread/src/future.cpp
  mark_built boost "$boost_key"
fi

# --- Boost.Nowide: UTF-8 arguments, console streams and file opening over the
# wide calls. Its own stamp: a cache made before it keeps the other libraries.
nowide_key="$compiler_id|boost1.74 $(installed_version libboost1.74-dev)"
if ! up_to_date nowide "$nowide_key"; then
  echo "== Boost.Nowide ($host)"
  boost=$(source_tree boost1.74)
  ln -sfn /usr/include/boost "$prefix/include/boost"
  compile_archive "$prefix/lib/libboost_nowide.a" -std=c++17 -O2 -DNDEBUG -DBOOST_ALL_NO_LIB \
    -isystem "$prefix/include" -w -- \
    $(for f in cstdio cstdlib filebuf iostream stat; do echo "$boost/libs/nowide/src/$f.cpp"; done)
  mark_built nowide "$nowide_key"
fi

# --- SQLite: the amalgamation made from the source tree (needs tclsh), then
# the library and the shell compiled for Windows.
sqlite_version=$(apt-cache showsrc sqlite3 | awk '/^Version:/ {print $2; exit}')
sqlite_key="$compiler_id|sqlite3 $sqlite_version"
if ! up_to_date sqlite "$sqlite_key"; then
  echo "== SQLite ($host)"
  sqlite=$(source_tree sqlite3)
  amalgamation=$src/sqlite-amalgamation
  rm -rf "$amalgamation"; mkdir -p "$amalgamation"
  (cd "$amalgamation" && "$sqlite/configure" --quiet > /dev/null && make -s sqlite3.c shell.c > /dev/null)
  flags=(-O2 -DNDEBUG -DSQLITE_THREADSAFE=1 -DSQLITE_DEFAULT_FOREIGN_KEYS=0 -w)
  "$cc" "${flags[@]}" -c "$amalgamation/sqlite3.c" -o "$amalgamation/sqlite3.o"
  rm -f "$prefix/lib/libsqlite3.a"
  $ar rcs "$prefix/lib/libsqlite3.a" "$amalgamation/sqlite3.o"
  cp "$amalgamation/sqlite3.h" "$amalgamation/sqlite3ext.h" "$prefix/include/"
  "$cc" "${flags[@]}" -I"$amalgamation" "$amalgamation/shell.c" "$amalgamation/sqlite3.o" \
    -static -o "$prefix/bin/sqlite3.exe"
  rm -rf "$amalgamation"
  mark_built sqlite "$sqlite_key"
fi

# --- GoogleTest from the sources that Debian's googletest package installs.
gtest_key="$compiler_id|googletest $(installed_version googletest)"
if ! up_to_date gtest "$gtest_key"; then
  echo "== GoogleTest ($host)"
  gt=/usr/src/googletest/googletest
  flags=(-std=c++17 -O2 -DNDEBUG -isystem "$gt/include" -I"$gt" -w)
  compile_archive "$prefix/lib/libgtest.a" "${flags[@]}" -- "$gt/src/gtest-all.cc"
  compile_archive "$prefix/lib/libgtest_main.a" "${flags[@]}" -- "$gt/src/gtest_main.cc"
  rm -rf "$prefix/include/gtest"
  cp -r "$gt/include/gtest" "$prefix/include/gtest"
  mark_built gtest "$gtest_key"
fi

# --- JSON for Modern C++ (the audit's JSON): header-only, Debian's headers
# serve both builds.
ln -sfn /usr/include/nlohmann "$prefix/include/nlohmann"

echo "Windows dependencies ready in $prefix"
