#!/usr/bin/env bash
# Builds the release a user downloads: the 32-bit program optimised and stripped, in
# dist/Velmora-<version>-win32.zip with Halvane0.dll, Halvane4.dll, the notes feed and a
# read-me. The debug information stays beside the build (build/i686-release/*.debug, found
# by a debugger through each file's debug link). The version is the file VERSION's.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
version=$(head -n1 "$root/VERSION")
build=$root/build/i686-release
dist=$root/dist
name=Velmora-$version-win32
tools=i686-w64-mingw32

launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
# Release: optimised, with debug information to split off below; code nothing calls is
# left out (each function in a section of its own, unused sections dropped).
flags="-O2 -g -DNDEBUG -ffunction-sections -fdata-sections"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS_RELEASE="$flags" -DCMAKE_CXX_FLAGS_RELEASE="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS_RELEASE=-Wl,--gc-sections -DCMAKE_SHARED_LINKER_FLAGS_RELEASE=-Wl,--gc-sections \
  -DVELMORA_TESTS=OFF \
  -DVELMORA_SQLITE_DIR="$root/build/third_party/sqlite3" "${launcher[@]}" >/dev/null
cmake --build "$build" -j2 --target Sorvex Halvane0 Halvane4 LogDat

files=(Sorvex.exe Halvane0.dll Halvane4.dll)
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
for f in "${files[@]}"; do
  "$tools-objcopy" --only-keep-debug "$build/$f" "$build/$f.debug"
  "$tools-objcopy" --strip-all --add-gnu-debuglink="$build/$f.debug" "$build/$f" "$stage/$f"
done
# What the tests check on the test build holds for these files too.
for check in win2000 known-dlls; do
  args=()
  [ "$check" = known-dlls ] && args=("$root/resources/Sorvex.manifest")
  bash "$root/tests/static/imports.sh" $check "$tools-objdump" "$root/tests/data" "${args[@]}" \
    "${files[@]/#/$stage/}" >/dev/null || { echo "package: the $check check failed" >&2; exit 1; }
done
cp "$build/Log.dat" "$stage/"
# The read-me in the code page of a Chinese Windows, with Windows line ends, so that
# Notepad on Windows 2000 shows it as it does on Windows 11.
sed "s/@VERSION@/$version/" "$root/resources/ReadMe.txt" | sed 's/$/\r/' |
  iconv -f UTF-8 -t GBK > "$stage/ReadMe.txt"

mkdir -p "$dist"
rm -f "$dist/$name.zip"
(cd "$stage" && zip -q -X -9 "$dist/$name.zip" "${files[@]}" Log.dat ReadMe.txt)

bytes() { stat -c %s "$1"; }
total=0
echo "$dist/$name.zip: $(bytes "$dist/$name.zip") bytes"
for f in "${files[@]}"; do
  size=$(bytes "$stage/$f")
  total=$((total + size))
  printf '  %-13s %9d bytes (debug information: %s, %d bytes)\n' "$f" "$size" \
    "${build#"$root"/}/$f.debug" "$(bytes "$build/$f.debug")"
done
awk -v t="$total" 'BEGIN { printf "  the three files: %d bytes (%.2f MB; goal under 3 MB)\n", t, t / 1048576 }'
