#!/usr/bin/env bash
# The one-key clean on an older Windows, as Wine reports it, in a prefix of its own whose
# profile is laid out as that system does it ("Documents and Settings\<user>", "Local
# Settings\Application Data", "All Users\Application Data"):
#   old-windows.sh BUILD win2k|winxp      a 32-bit prefix (needs 32-bit Wine)
#   old-windows.sh BUILD winxp64|win2003  a 64-bit prefix: the 64-bit build, or the 32-bit
#                                         one under WoW64
# The demo machine's traces are seeded where that system keeps them, with traces that only
# a branch of the older systems finds. The clean must finish, take those branches and
# leave nothing that a second run finds. It prints the branches it saw taken.
set -u
build=$(cd "${1:?build folder}" && pwd) version=${2:?win2k, winxp, winxp64 or win2003}
here=$(cd "$(dirname "$0")" && pwd)
arch=$(sed -n 's/^CMAKE_TOOLCHAIN_FILE:[A-Z]*=.*mingw-w64-\(.*\)\.cmake$/\1/p' "$build/CMakeCache.txt" 2>/dev/null)
export VELMORA_BUILD=$build VELMORA_ARCH=${arch:-i686}
unset VELMORA_WOW64
case $version in
  win2k | winxp)
    if [ "$VELMORA_ARCH" != i686 ]; then
      echo "one-key clean on $version: skipped, it needs the 32-bit build"; exit 0
    fi ;;
  winxp64 | win2003) [ "$VELMORA_ARCH" = i686 ] && export VELMORA_WOW64=1 ;;
  *) echo "unknown version $version" >&2; exit 2 ;;
esac
export WINEPREFIX_OVERRIDE=$build/wineprefix-$version
. "$here/../../scripts/wine-env.sh"
. "$here/old-system.sh"
step="one-key clean on $version ($VELMORA_ARCH${VELMORA_WOW64:+ under WoW64})"
velmora_old_session "$version"

prog=$WINEPREFIX/drive_c/Velmora
velmora_install "$prog"
export VELMORA_SHELL_RECORD='C:\Velmora\shdocvw-calls.txt'
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;shdocvw=n,b"
temp=$(velmora_old_home "Local Settings/Temp")
allusers="$WINEPREFIX/drive_c/Documents and Settings/All Users"
explorer='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer'
tray_old="$explorer\\TrayNotify"
tray_new='HKCU\Software\Classes\Local Settings\Software\Microsoft\Windows\CurrentVersion\TrayNotify'

# The demo machine's traces, where this system keeps them, and the old systems' own.
seeded=$("$WINE" "$build/seed-demo.exe" 2>/dev/null | tr -d '\r')
traces=$(sed -n 's/^demo machine: \([0-9]*\) traces$/\1/p' <<<"$seeded")
[ -n "$traces" ] && [ "$traces" -gt 10 ] || fail "seeding failed: $seeded"
[ -f "$temp/~DF1.tmp" ] || fail "the temporary folder is not the old profile's"
for key in "$tray_old" "$tray_new"; do
  "$WINE" reg add "$key" /v IconStreams /t REG_BINARY /d 0102 /f >/dev/null 2>&1 || fail "reg add $key"
done
storm="$allusers/Application Data/Storm/config.xml"
mkdir -p "$(dirname "$storm")"
printf '%s' '<?xml version="1.0" encoding="UTF-8"?><config><localplayhist><item file="C:\a.rmvb"/></localplayhist></config>' > "$storm"

# The option tree as the window offers it (the run is in a subshell: kept in a file).
look_at_options() { drive text VTTraceOption > "$WINEPREFIX/options.txt"; }
VELMORA_BEFORE_CLICK=look_at_options
count=$(velmora_run_one_key "$prog") || fail "the clean did not end well"
VELMORA_BEFORE_CLICK=
options=$(cat "$WINEPREFIX/options.txt")

# What the branches of the older systems did.
branches=()
row() { grep -qF "$1" <<<"$options"; }
row '缩略图缓存' && fail "the thumbnail cache option is offered below Vista"
if [ "$version" = win2k ]; then
  row '通知区域图标历史记录' && fail "the tray icon option is offered on Windows 2000"
  "$WINE" reg query "$tray_old" /v IconStreams >/dev/null 2>&1 || fail "Windows 2000 cleaned the tray icons"
  branches+=("options of Windows 2000 (no tray icons, no thumbnail cache)")
else
  row '通知区域图标历史记录' || fail "the tray icon option is missing: $options"
  "$WINE" reg query "$tray_old" /v IconStreams >/dev/null 2>&1 && fail "the tray icon history of this system is still there"
  branches+=("options of XP/2003 and the tray icons under Explorer\\TrayNotify")
fi
"$WINE" reg query "$tray_new" /v IconStreams >/dev/null 2>&1 || fail "Vista's tray icon key was touched"
for f in "$temp/~DF1.tmp" "$temp/Setup-4F2A" "$(velmora_old_home Recent)/plan.lnk"; do
  [ -e "$f" ] && fail "${f#"$WINEPREFIX"/} is still there"
done
branches+=("profile below Documents and Settings: Local Settings\\Temp and Recent cleaned")
grep -q '<item' "$storm" && fail "Storm's history under All Users\\Application Data is still there"
branches+=("Storm's history under All Users\\Application Data")
calls=$(cat "$prog/shdocvw-calls.txt" 2>/dev/null)
[ "$calls" = '211(1);164(0);211(2);164(0);' ] || fail "SHDOCVW was called as '$calls'"
branches+=("auto-complete through SHDOCVW ordinals 211/164: $calls")
[ -n "$count" ] && [ "$count" -ge "$traces" ] || fail "$count items cleaned, $traces seeded"

# Nothing the first run left behind is found again.
second=$(velmora_run_one_key "$prog") || fail "the second run did not end well"
[ "$second" = nothing ] || fail "the second run cleaned $second items"

rm -rf "$prog"
echo "$step: ok ($count items); branches: $(IFS=';'; echo "${branches[*]}")"
