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
# CMake keeps the compiler a build folder was first configured with: one configured before
# the toolchain changed (the thread model) starts again.
toolchain=$root/cmake/mingw-w64-$arch.cmake
wanted=$(sed -n 's/^set(CMAKE_CXX_COMPILER *\${TOOLCHAIN_PREFIX}\(.*\))$/\1/p' "$toolchain")
for known in "$build"/CMakeFiles/*/CMakeCXXCompiler.cmake; do
  [ -e "$known" ] || continue
  if [ -n "$wanted" ] && ! grep -q "set(CMAKE_CXX_COMPILER \".*$wanted\")" "$known"; then
    echo "== $build was configured with another compiler; configuring it again"
    rm -rf "$build/CMakeCache.txt" "$build/CMakeFiles"
  fi
  break
done
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DVELMORA_SQLITE_DIR="$root/build/third_party/sqlite3" "${launcher[@]}" >/dev/null
cmake --build "$build" -j2 "$@"
