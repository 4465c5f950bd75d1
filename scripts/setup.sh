#!/usr/bin/env bash
# Installs what building and testing the cleaner needs on Debian 12 (run as root) and
# fetches the SQLite amalgamation into the build folder. Quick when all is in place.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$here/build}

need_pkgs=(cmake make g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32 wine wine32:i386 wine64 xvfb xauth
           fonts-wine fonts-wqy-zenhei fonts-wqy-microhei imagemagick googletest locales x11-apps nsis zip)

missing=()
for p in "${need_pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

# A machine may carry its own Node.js build with npm inside; only add Debian's when absent.
command -v node >/dev/null 2>&1 || missing+=(nodejs)
command -v npm >/dev/null 2>&1 || missing+=(npm)

as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386
  fi
  # A mirror caught mid-sync fails an index now and then: try again, and go on with
  # what was fetched when it keeps failing (the install below says if that was not enough).
  for attempt in 1 2 3; do
    as_root apt-get update -qq && break
    echo "setup: apt-get update failed (attempt $attempt)"; sleep $((attempt * 10))
  done
  # The 32-bit Wine is wanted, not required: where its packages cannot be installed (an
  # i386 index the mirror has not finished) the scripts test the 64-bit build instead.
  base=() i386=()
  for p in "${missing[@]}"; do
    case $p in *:i386) i386+=("$p") ;; *) base+=("$p") ;; esac
  done
  install() { DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq --no-install-recommends "$@"; }
  [ ${#base[@]} -eq 0 ] || install "${base[@]}"
  if [ ${#i386[@]} -gt 0 ] && ! install "${i386[@]}"; then
    echo "setup: ${i386[*]} could not be installed; the 64-bit build will be tested"
  fi
fi

# Wine needs this locale or it mangles Chinese file names and arguments.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
  as_root localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
fi

# SQLite amalgamation, carried by the better-sqlite3 npm package.
sqlite_dir=$build/third_party/sqlite3
if [ ! -f "$sqlite_dir/sqlite3.c" ] || [ ! -f "$sqlite_dir/sqlite3.h" ]; then
  tmp=$(mktemp -d)
  (cd "$tmp" && npm pack --silent better-sqlite3@12.11.1 >/dev/null)
  mkdir -p "$sqlite_dir"
  tar -xzf "$tmp"/better-sqlite3-12.11.1.tgz -C "$tmp"
  cp "$tmp"/package/deps/sqlite3/sqlite3.c "$tmp"/package/deps/sqlite3/sqlite3.h "$sqlite_dir"/
  rm -rf "$tmp"
fi
