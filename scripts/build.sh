#!/usr/bin/env bash
# Configures and builds one architecture: build.sh [i686|x86_64] [cmake --build args...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
arch=${1:?arch}; shift
build=${VELMORA_BUILD:-$root/build/$arch}
# A compiler cache, where the machine has one, makes a second working tree build quickly.
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-$arch.cmake" \
  -DVELMORA_SQLITE_DIR="$root/build/third_party/sqlite3" "${launcher[@]}" >/dev/null
cmake --build "$build" -j2 "$@"
