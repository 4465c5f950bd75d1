#!/usr/bin/env bash
# The registry scanners and a one-key clean on a freshly made Wine prefix: the scanners
# find only a few entries (each listed), the clean keeps them in a ".reg" backup, and
# afterwards the program starts again and the command interpreter still works.
# With VELMORA_WOW64=1 (and the 32-bit build) the prefix is a 64-bit one seen by the
# 32-bit program, and an entry valid only in the 64-bit system folder must not be found.
set -u
build=${1:?build folder}
export WINEPREFIX_OVERRIDE=$build/fresh-prefix${VELMORA_WOW64:+-wow64}
. "$(dirname "$0")/../../scripts/wine-env.sh"
if [ -n "${VELMORA_WOW64:-}" ] && ! velmora_can_run_wine32; then
  echo "registry scan of the 32-bit program in a 64-bit prefix: skipped, 32-bit Wine cannot start on this machine"
  exit 0
fi
drive() { "$WINE" "$build/drive.exe" "$@"; }
fail() { echo "FAIL: $*"; drive close >/dev/null 2>&1; "$WINESERVER" -k 2>/dev/null; exit 1; }

rm -rf "$WINEPREFIX"
[ -n "${DISPLAY:-}" ] || { velmora_xvfb_start || exit 1; own_display=1; }
velmora_prefix_init
prog=$WINEPREFIX/drive_c/VelmoraFresh
mkdir -p "$prog"
cp "$build/Sorvex.exe" "$build/Halvane0.dll" "$build/Halvane4.dll" "$build/Log.dat" "$prog/"

scan() { "$WINE" "$build/scan-registry.exe" | tr -d '\r'; }
fresh=$(scan)
echo "$fresh"
natural=$(sed -n 's/^# total: //p' <<<"$fresh")
[ -n "$natural" ] || fail "the scanners did not finish"
# A fresh system has few truly invalid entries.
[ "$natural" -le 10 ] || fail "$natural findings on a fresh prefix"

# One invalid entry for each scanner, pointing at what is not there.
add() { "$WINE" reg add "$@" /f >/dev/null 2>&1 || fail "reg add $*"; }
if [ -n "${VELMORA_WOW64:-}" ]; then
  # What the 32-bit program sees as system32 is syswow64: a file of the 64-bit one only.
  win=$WINEPREFIX/drive_c/windows
  [ -d "$win/syswow64" ] || fail "$WINEPREFIX is not a 64-bit prefix"
  cp "$win/system32/notepad.exe" "$win/system32/velmora-only64.dll" || fail "no 64-bit file"
  rm -f "$win/syswow64/velmora-only64.dll"
  add 'HKLM\Software\Microsoft\Windows\CurrentVersion\SharedDlls' \
    /v 'C:\windows\system32\velmora-only64.dll' /t REG_DWORD /d 1
fi
gone='C:\velmora-gone'
cv='HKLM\Software\Microsoft\Windows\CurrentVersion'
add "$cv\SharedDlls" /v "$gone\shared.dll" /t REG_DWORD /d 1
# "reg add" gives the key it makes a default value: the empty key is the parent of one.
add 'HKCU\Software\VelmoraEmptyVendor\x'
"$WINE" reg delete 'HKCU\Software\VelmoraEmptyVendor\x' /f >/dev/null 2>&1 || fail "reg delete"
add "$cv\Installer\Folders" /v "$gone\folder" /d ''
add "$cv\Uninstall\VelmoraGone" /v DisplayName /d 'Velmora gone'
add "$cv\Uninstall\VelmoraGone" /v UninstallString /d "$gone\uninst.exe /S"
add "$cv\Uninstall\VelmoraGone" /v DisplayIcon /d "$gone\app.ico"
add 'HKLM\Software\Microsoft\Windows\Help' /v velmora.chm /d "$gone"
# A drive that is not there now proves nothing.
add 'HKLM\Software\Microsoft\Windows\Help' /v velmora-unplugged.chm /d 'Q:\velmora-unplugged'
add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\MenuOrder\Start Menu2\Programs\VelmoraGone'
add 'HKLM\Software\Classes\*\shellex\ContextMenuHandlers\VelmoraGone' /ve /d '{0E1E2E3E-0000-0000-0000-00000000velm}'
add 'HKLM\Software\Classes\.velmoragone' /ve /d 'VelmoraGone.Class'
found=$(scan)
total=$(sed -n 's/^# total: //p' <<<"$found")
for f in SharedDlls SoftwareKeys InstallerFolders UninstallEntries HelpFiles StartMenuOrder \
         ContextMenuHandlers FileClasses; do
  grep -q "^$f"$'\t'".*[Vv]elmora" <<<"$found" || fail "$f did not find its entry: $found"
done
grep -q 'velmora-only64' <<<"$found" && fail "a file of the 64-bit system folder was found missing"
grep -q 'velmora-unplugged' <<<"$found" && fail "a help file on an absent drive was found missing"
[ "$total" = $((natural + 8)) ] || fail "$total findings: $found"

"$WINE" "$prog/Sorvex.exe" >/dev/null 2>&1 &
running=$!
drive wait || fail "the main window did not appear"
drive click Label10 || fail "no Label10"
for _ in $(seq 300); do
  case "$(drive text Label4)" in 恭喜您*|您的电脑状况良好*) finished=1; break ;; esac
  sleep 1
done
[ -n "${finished:-}" ] || fail "the clean did not finish: $(drive text Label4)"
drive close || fail "could not close"
wait "$running"

if [ "$total" -gt 0 ]; then
  ls "$prog/Backup/"*.reg >/dev/null 2>&1 || fail "no registry backup"
fi
# Every finding is gone: the whole key, or the one value.
while IFS='|' read -r key value; do
  if [ -z "$value" ]; then
    "$WINE" reg query "$key" >/dev/null 2>&1 && fail "$key is still there"
  else
    "$WINE" reg query "$key" /v "$value" >/dev/null 2>&1 && fail "$key $value is still there"
  fi
done < <(awk -F'\t' '!/^#/ && NF >= 2 { print $2 "|" $3 }' <<<"$found")

"$WINE" "$prog/Sorvex.exe" >/dev/null 2>&1 &
running=$!
drive wait || fail "the program did not start again after the clean"
drive close || fail "could not close the second time"
wait "$running"
ok=$("$WINE" cmd /c echo ok 2>/dev/null | tr -d '\r')
[ "$ok" = ok ] || fail "cmd /c echo ok printed '$ok'"

"$WINESERVER" -k 2>/dev/null
"$WINESERVER" -w 2>/dev/null
[ -n "${own_display:-}" ] && velmora_xvfb_stop
rm -rf "$WINEPREFIX"
echo "fresh prefix: ok ($natural findings of its own, $total cleaned)"
