#!/usr/bin/env bash
# A real installer's registry entries: an NSIS installer, built here with makensis, installs
# a program silently in a fresh prefix (uninstall entry, file class, shared DLL, App Paths
# entry). While it is installed the registry scanners find none of them; once its folder
# is deleted by hand they find all of them, the one-key clean removes them, and importing
# the clean's ".reg" backup puts every one back.
set -u
build=${1:?build folder}
export WINEPREFIX_OVERRIDE=$build/installer-prefix
. "$(dirname "$0")/../../scripts/wine-env.sh"
drive() { "$WINE" "$build/drive.exe" "$@"; }
fail() { echo "FAIL: $*"; drive close >/dev/null 2>&1; "$WINESERVER" -k 2>/dev/null; exit 1; }
command -v makensis >/dev/null || fail "makensis is missing (Debian package nsis, scripts/setup.sh)"

rm -rf "$WINEPREFIX"
[ -n "${DISPLAY:-}" ] || { velmora_xvfb_start || exit 1; own_display=1; }
velmora_prefix_init
prog=$WINEPREFIX/drive_c/VelmoraInstaller
mkdir -p "$prog"
cp "$build/Sorvex.exe" "$build/Halvane0.dll" "$build/Halvane4.dll" "$build/Log.dat" "$prog/"

# The installer: what an ordinary program's setup writes.
work=$build/installer-work
rm -rf "$work" && mkdir -p "$work"
cp "$build/drive.exe" "$work/app.exe"
cp "$build/Halvane0.dll" "$work/helper.dll"
cat > "$work/setup.nsi" <<'EOF'
Unicode true
Name "Velmora NSIS Demo"
OutFile "velmora-demo-install.exe"
InstallDir "$PROGRAMFILES\VelmoraNsisDemo"
RequestExecutionLevel admin
SilentInstall silent
!define UNINSTALL "Software\Microsoft\Windows\CurrentVersion\Uninstall\VelmoraNsisDemo"
Section
  SetOutPath "$INSTDIR"
  File app.exe
  File helper.dll
  WriteUninstaller "$INSTDIR\uninst.exe"
  WriteRegStr HKLM "${UNINSTALL}" "DisplayName" "Velmora NSIS Demo"
  WriteRegStr HKLM "${UNINSTALL}" "UninstallString" '"$INSTDIR\uninst.exe"'
  WriteRegStr HKLM "${UNINSTALL}" "DisplayIcon" "$INSTDIR\app.exe,0"
  WriteRegStr HKLM "Software\Classes\.velmoransis" "" "VelmoraNsis.Document"
  WriteRegStr HKLM "Software\Classes\VelmoraNsis.Document" "" "Velmora NSIS document"
  WriteRegStr HKLM "Software\Classes\VelmoraNsis.Document\DefaultIcon" "" "$INSTDIR\app.exe,0"
  WriteRegStr HKLM "Software\Classes\VelmoraNsis.Document\shell\open\command" "" '"$INSTDIR\app.exe" "%1"'
  WriteRegDWORD HKLM "Software\Microsoft\Windows\CurrentVersion\SharedDlls" "$INSTDIR\helper.dll" 1
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\App Paths\velmoransis.exe" "" "$INSTDIR\app.exe"
SectionEnd
Section "Uninstall"
  RMDir /r "$INSTDIR"
SectionEnd
EOF
(cd "$work" && makensis -V2 setup.nsi) || fail "makensis could not build the installer"
"$WINE" "$(winepath_w "$work/velmora-demo-install.exe")" /S || fail "the installer failed"
"$WINESERVER" -w
installed="$WINEPREFIX/drive_c/Program Files/VelmoraNsisDemo"
[ -f "$installed/app.exe" ] && [ -f "$installed/uninst.exe" ] || fail "the installer put nothing in place"

scan() { "$WINE" "$build/scan-registry.exe" | tr -d '\r'; }
found=$(scan)
grep -qi 'velmora' <<<"$found" && fail "an installed program's entries were found: $found"
natural=$(sed -n 's/^# total: //p' <<<"$found")
[ -n "$natural" ] || fail "the scanners did not finish"

# The user deletes the program's folder by hand.
rm -rf "$installed"
found=$(scan)
echo "$found"
cv='HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion'
classes='HKEY_LOCAL_MACHINE\Software\CLASSES'
expect=("SharedDlls	$cv\\SharedDlls	C:\\Program Files\\VelmoraNsisDemo\\helper.dll"
        "UninstallEntries	$cv\\Uninstall\\VelmoraNsisDemo	"
        "SoftwareKeys	$cv\\App Paths\\velmoransis.exe	"
        "FileClasses	$classes\\VelmoraNsis.Document	"
        "FileClasses	$classes\\.velmoransis	")
for e in "${expect[@]}"; do
  grep -qiF "$e" <<<"$found" || fail "not found: $e"
done
total=$(sed -n 's/^# total: //p' <<<"$found")
[ "$total" = $((natural + ${#expect[@]})) ] || fail "$total findings, $natural before the folder went"

"$WINE" "$prog/Sorvex.exe" >/dev/null 2>&1 &
running=$!
drive wait || fail "the main window did not appear"
drive click Label10 || fail "no Label10"
drive waittext Label4 "恭喜您" 300 || fail "the clean did not finish: $(drive text Label4)"
drive close || fail "could not close"
wait "$running"

keys=("$cv\\Uninstall\\VelmoraNsisDemo" "$cv\\App Paths\\velmoransis.exe"
      "$classes\\VelmoraNsis.Document" "$classes\\.velmoransis")
for k in "${keys[@]}"; do
  "$WINE" reg query "$k" >/dev/null 2>&1 && fail "$k is still there"
done
shared_dll='C:\Program Files\VelmoraNsisDemo\helper.dll'
"$WINE" reg query "$cv\\SharedDlls" /v "$shared_dll" >/dev/null 2>&1 && fail "the shared DLL value is still there"

# The backup puts everything back, values and all.
backup=$(ls "$prog/Backup/"*.reg 2>/dev/null | head -n1)
[ -n "$backup" ] || fail "no registry backup"
"$WINE" reg import "$(winepath_w "$backup")" >/dev/null 2>&1 || fail "reg import of the backup failed"
for k in "${keys[@]}"; do
  "$WINE" reg query "$k" >/dev/null 2>&1 || fail "$k was not restored"
done
"$WINE" reg query "$cv\\Uninstall\\VelmoraNsisDemo" /v DisplayName 2>/dev/null | tr -d '\r' |
  grep -q 'Velmora NSIS Demo' || fail "the uninstall entry came back without its name"
"$WINE" reg query "$classes\\VelmoraNsis.Document\\shell\\open\\command" /ve 2>/dev/null | tr -d '\r' |
  grep -qF 'VelmoraNsisDemo\app.exe" "%1"' || fail "the class came back without its command"
"$WINE" reg query "$cv\\SharedDlls" /v "$shared_dll" 2>/dev/null | grep -q '0x1' ||
  fail "the shared DLL count was not restored"

"$WINESERVER" -k 2>/dev/null
"$WINESERVER" -w 2>/dev/null
[ -n "${own_display:-}" ] && velmora_xvfb_stop
rm -rf "$WINEPREFIX" "$work"
echo "real installer: ok (found, cleaned and restored its uninstall entry, class, shared DLL and App Paths entry)"
