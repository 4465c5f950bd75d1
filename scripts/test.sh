#!/usr/bin/env bash
# Builds everything and runs every test under Wine, in the sandbox of wine-env.sh.
# Extra arguments go to ctest (for example -R Registry).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
. "$root/scripts/wine-env.sh"

# The product is 32-bit: it is always compiled, even where only the 64-bit build can run.
if [ "$VELMORA_ARCH" != i686 ]; then
  echo "== 32-bit Wine cannot run on this machine; building the 32-bit program, testing the 64-bit build"
  VELMORA_BUILD=$root/build/i686 bash "$root/scripts/build.sh" i686
  # Its import tables and headers are checked on this host all the same (no Wine needed;
  # its ctest would try to list the 32-bit test programs' tests).
  i686=("$root/build/i686/"{Sorvex.exe,Halvane0.dll,Halvane4.dll})
  bash "$root/tests/static/imports.sh" win2000 i686-w64-mingw32-objdump "$root/tests/data" "${i686[@]}"
  bash "$root/tests/static/imports.sh" known-dlls i686-w64-mingw32-objdump "$root/tests/data" \
    "$root/resources/Sorvex.manifest" "${i686[@]}"
fi
bash "$root/scripts/build.sh" "$VELMORA_ARCH"

bash "$root/scripts/run-tests.sh" "$@"

# The 32-bit program on 64-bit Windows (WoW64), with the whole suite only; where 32-bit Wine
# cannot run it says so in one line.
if [ $# -eq 0 ]; then
  bash "$root/tests/e2e/wow64-one-key.sh" "$root/build/i686"
  VELMORA_WOW64=1 bash "$root/tests/e2e/registry-fresh.sh" "$root/build/i686"
  # Server 2003 x64 for the 32-bit program; Windows 2000 and XP where the ctest run above
  # was the 64-bit one (each says in one line that it was skipped where it cannot run).
  bash "$root/tests/e2e/old-windows.sh" "$root/build/i686" win2003
  if [ "$VELMORA_ARCH" != i686 ]; then
    for version in win2k winxp; do bash "$root/tests/e2e/old-windows.sh" "$root/build/i686" $version; done
  fi
fi
