#!/usr/bin/env bash
# Saves PNG screenshots of the running program on the demo machine: screenshot.sh [OUTDIR]
# (default docs/): the home page, the advanced page, a scan there with its question, and
# the home page after a one-key clean. Builds first; uses its own Xvfb and a Wine virtual
# desktop.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/docs}
mkdir -p "$out"
. "$root/scripts/wine-env.sh"
bash "$root/scripts/build.sh" "$VELMORA_ARCH" --target Sorvex Halvane4 seed-demo drive >/dev/null
export WINEPREFIX=${DEMO_PREFIX:-$VELMORA_BUILD/demoprefix}
velmora_session_start 1024x768x24
trap velmora_session_stop EXIT
drive() { "$WINE" "$VELMORA_BUILD/drive.exe" "$@"; }
exe=$(velmora_demo_install)
"$WINE" explorer /desktop=Default,1024x768 "$exe" >/dev/null 2>&1 &
drive wait
sleep 2
import -display "$DISPLAY" -window root "$out/home.png"
drive click BtnOverview
sleep 2
import -display "$DISPLAY" -window root "$out/advanced.png"
drive click ButtonScanTrace
drive waittext stat1 "共扫描分析到"
sleep 2
import -display "$DISPLAY" -window root "$out/scan.png"
drive dismiss
sleep 1
drive click BtnHomepage
sleep 1
drive click Label10
drive waittext Label4 "恭喜您"
sleep 2
import -display "$DISPLAY" -window root "$out/onekey.png"
drive close || true
echo "saved $out/home.png $out/advanced.png $out/scan.png $out/onekey.png"
