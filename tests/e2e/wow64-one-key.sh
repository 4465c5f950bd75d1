#!/usr/bin/env bash
# The 32-bit program on 64-bit Windows: the one-key clean of one-key.sh, run by the 32-bit
# Sorvex.exe in a 64-bit prefix (WoW64) of its own, with a valid shortcut under the
# all-users Start menu whose target exists only in the 64-bit system folder (what a 32-bit
# program sees as "system32" is "syswow64" there). The shortcut, its folder and its target
# must stay. Where 32-bit Wine cannot run, it says so in one line and passes.
# wow64-one-key.sh <build folder of the 32-bit program>
set -u
build=${1:?build folder of the 32-bit program}
here=$(cd "$(dirname "$0")" && pwd)
export VELMORA_ARCH=i686 VELMORA_BUILD=$build VELMORA_WOW64=1
. "$here/../../scripts/wine-env.sh"
step="one-key clean of the 32-bit program in a 64-bit prefix"
if ! velmora_can_run_wine32; then
  echo "$step: skipped, 32-bit Wine cannot start on this machine (no 32-bit emulation in the kernel, or no wine32)"
  exit 0
fi
if [ ! -x /usr/lib/wine/wine64 ]; then
  echo "$step: skipped, 64-bit Wine (wine64) is not installed"
  exit 0
fi
fail() { echo "FAIL ($step): $*"; exit 1; }
for f in Sorvex.exe Halvane4.dll drive.exe make-shortcut.exe; do
  [ -f "$build/$f" ] || fail "$build/$f is missing (bash scripts/build.sh i686)"
done

velmora_session_start || fail "no Wine session"
trap velmora_session_stop EXIT
win=$WINEPREFIX/drive_c/windows
[ -d "$win/syswow64" ] || fail "$WINEPREFIX is not a 64-bit prefix"
programs="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs"
[ -d "$programs" ] || fail "no all-users Start menu in $WINEPREFIX"

# A program of the 64-bit system folder only, and a shortcut to it as its installer made it.
only64=velmora-only64.exe
menu="$programs/Velmora 64"
rm -rf "$menu"
mkdir -p "$menu"
cp "$win/system32/notepad.exe" "$win/system32/$only64" || fail "cannot place $only64"
rm -f "$win/syswow64/$only64"
"$WINE" "$build/make-shortcut.exe" "$(winepath_w "$menu")\\Only64.lnk" \
  "C:\\windows\\system32\\$only64" native-only >/dev/null 2>&1
rc=$?
[ "$rc" = 3 ] && fail "the 32-bit view is not redirected: the case cannot be made here"
[ "$rc" = 0 ] || fail "cannot write the shortcut ($rc)"
[ -f "$menu/Only64.lnk" ] || fail "no shortcut written"

bash "$here/one-key.sh" "$build" || fail "the one-key clean failed"

[ -f "$win/system32/$only64" ] || fail "the 64-bit program is gone"
[ -d "$menu" ] || fail "the Start menu folder of the valid shortcut was deleted"
[ -f "$menu/Only64.lnk" ] || fail "the valid shortcut to the 64-bit system folder was deleted"
rm -rf "$menu"
rm -f "$win/system32/$only64"
echo "$step: ok"
