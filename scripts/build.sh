#!/usr/bin/env bash
# Configures and builds one architecture: build.sh [i686|x86_64] [cmake --build args...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
arch=${1:?arch}; shift
build=${VELMORA_BUILD:-$root/build/$arch}
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-$arch.cmake" \
  -DVELMORA_SQLITE_DIR="$root/build/third_party/sqlite3" >/dev/null
cmake --build "$build" -j2 "$@"
