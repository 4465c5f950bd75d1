#!/usr/bin/env bash
# Builds the cleaner and starts it under Wine in a Wine virtual desktop on a private X
# display... or on yours when DISPLAY is set.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
. "$root/scripts/wine-env.sh"
bash "$root/scripts/build.sh" "$VELMORA_ARCH" --target Sorvex Halvane4 seed-demo
export WINEPREFIX=$VELMORA_BUILD/demoprefix
if [ -z "${DISPLAY:-}" ]; then
  echo "No DISPLAY: starting a private Xvfb (screenshots: scripts/screenshot.sh)"
  velmora_xvfb_start 1024x768x24
fi
velmora_prefix_init
exe=$(velmora_demo_install)
exec "$WINE" explorer /desktop=Default,1000x700 "$exe"
