# Sourced by end-to-end scripts after scripts/wine-env.sh: a Wine prefix that reports an
# older Windows and lays out its profile as Windows 2000, XP and Server 2003 do
# ("Documents and Settings", "Local Settings\Application Data"), plus helpers for running
# the one-key clean there. WINEPREFIX is the prefix of its own the caller chose.

drive() { "$WINE" "$VELMORA_BUILD/drive.exe" "$@"; }
fail() { echo "FAIL ($step): $*"; drive close >/dev/null 2>&1; exit 1; }

# velmora_old_session WINE-VERSION: the common start of a run described by $step. Where
# 32-bit Wine cannot start it says so in one line and ends the script; otherwise it starts
# a Wine session (stopped when the script ends) and makes the prefix (velmora_old_prefix).
velmora_old_session() {
  if [ "$VELMORA_ARCH" = i686 ] && ! velmora_can_run_wine32; then
    echo "$step: skipped, 32-bit Wine cannot start on this machine (no 32-bit emulation in the kernel, or no wine32)"
    exit 0
  fi
  velmora_session_start || fail "no Wine session"
  trap velmora_session_stop EXIT
  velmora_old_prefix "$1" || fail "cannot make the $1 prefix"
}

# The SHDOCVW.dll the old-system branch calls (ordinals 211 and 164): Wine has only stubs
# there, which end the process when called, so the prefix's system folder gets the
# recording double, which writes each call to $VELMORA_SHELL_RECORD. The program's
# processes load it with "shdocvw=n,b".
velmora_shell_folder() {
  if [ "$WINEARCH" = win64 ] && [ "$VELMORA_ARCH" = i686 ]; then
    echo "$WINEPREFIX/drive_c/windows/syswow64"
  else
    echo "$WINEPREFIX/drive_c/windows/system32"
  fi
}

# velmora_old_prefix WINE-VERSION (win2k, winxp, winxp64, win2003): makes the prefix once,
# then (again at every call) the reported version and the old profile layout.
velmora_old_prefix() {
  local version=$1 user=${USER:-$(id -un)}
  velmora_prefix_init || return 1
  local reg=$WINEPREFIX/old-system.reg
  # REGEDIT4 expandable strings: hex(2) bytes of the ANSI text and its terminating zero.
  expand() { printf '"%s"=hex(2):%s00\r\n' "$1" "$(printf '%s' "$2" | od -An -tx1 -v | tr -s ' \n' ',' | sed 's/^,//')"; }
  local usf='Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders'
  {
    printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine]\r\n"Version"="%s"\r\n\r\n' "$version"
    printf '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList]\r\n'
    expand ProfilesDirectory '%SystemDrive%\Documents and Settings'
    expand ProgramData 'C:\Documents and Settings\All Users'
    printf '"AllUsersProfile"="All Users"\r\n"DefaultUserProfile"="Default User"\r\n\r\n'
    printf '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\S-1-5-21-0-0-0-1000]\r\n'
    printf '"ProfileImagePath"="C:\\\\Documents and Settings\\\\%s"\r\n\r\n' "$user"
    printf '[HKEY_CURRENT_USER\\Environment]\r\n'
    expand TEMP '%USERPROFILE%\Local Settings\Temp'
    expand TMP '%USERPROFILE%\Local Settings\Temp'
    printf '\r\n[HKEY_CURRENT_USER\\%s]\r\n' "$usf"
    local p='%USERPROFILE%' m='%USERPROFILE%\Start Menu'
    expand AppData "$p\\Application Data"
    expand 'Local AppData' "$p\\Local Settings\\Application Data"
    expand Cache "$p\\Local Settings\\Temporary Internet Files"
    expand Cookies "$p\\Cookies"
    expand History "$p\\Local Settings\\History"
    expand Recent "$p\\Recent"
    expand Personal "$p\\My Documents"
    expand 'My Pictures' "$p\\My Documents\\My Pictures"
    expand 'My Music' "$p\\My Documents\\My Music"
    expand 'My Videos' "$p\\My Documents\\My Videos"
    expand Desktop "$p\\Desktop"
    expand Favorites "$p\\Favorites"
    expand NetHood "$p\\NetHood"
    expand PrintHood "$p\\PrintHood"
    expand SendTo "$p\\SendTo"
    expand Templates "$p\\Templates"
    expand 'Start Menu' "$m"
    expand Programs "$m\\Programs"
    expand StartUp "$m\\Programs\\Startup"
    expand 'Administrative Tools' "$m\\Programs\\Administrative Tools"
    printf '\r\n[HKEY_LOCAL_MACHINE\\%s]\r\n' "$usf"
    local a='%ALLUSERSPROFILE%'
    expand 'Common AppData' "$a\\Application Data"
    expand 'Common Desktop' "$a\\Desktop"
    expand 'Common Documents' "$a\\Documents"
    expand 'Common Start Menu' "$a\\Start Menu"
    expand 'Common Programs' "$a\\Start Menu\\Programs"
    expand 'Common Startup' "$a\\Start Menu\\Programs\\Startup"
    expand 'Common Templates' "$a\\Templates"
    expand 'Common Favorites' "$a\\Favorites"
    printf '\r\n'
  } > "$reg"
  "$WINE" regedit /S "$(winepath_w "$reg")" >/dev/null 2>&1 || return 1
  # The environment of the next processes is made from the new profile, though not always
  # in the first session after the change.
  local profile
  for _ in 1 2 3; do
    "$WINESERVER" -k 2>/dev/null
    "$WINESERVER" -w 2>/dev/null
    profile=$("$WINE" cmd /c echo %USERPROFILE% 2>/dev/null | tr -d '\r')
    [ "$profile" = "C:\\Documents and Settings\\$user" ] && break
  done
  [ "$profile" = "C:\\Documents and Settings\\$user" ] || return 1
  local home="$WINEPREFIX/drive_c/Documents and Settings/$user"
  mkdir -p "$home/Local Settings/Temp" "$home/Local Settings/Application Data" \
           "$home/Application Data" "$home/Recent" "$home/My Documents" \
           "$WINEPREFIX/drive_c/Documents and Settings/All Users/Application Data"
  [ -f "$VELMORA_BUILD/OldShellBoth.dll" ] || return 1
  cp -f "$VELMORA_BUILD/OldShellBoth.dll" "$(velmora_shell_folder)/shdocvw.dll"
}

# Unix path of the old profile's folder for the given part ("Local Settings/Temp" ...).
velmora_old_home() { echo "$WINEPREFIX/drive_c/Documents and Settings/${USER:-$(id -un)}/$1"; }

# velmora_run_one_key PROGRAM-FOLDER: starts the program (with VELMORA_RUN_DEBUG as its
# WINEDEBUG and its errors into VELMORA_RUN_LOG, when set), runs VELMORA_BEFORE_CLICK (a
# function name) if set, clicks "一键清理", waits for the end and closes the program.
# Prints the clean's item count from "Halvane.set", or "nothing" when there was nothing
# to clean. Needs drive().
velmora_run_one_key() {
  local prog=$1 running end=
  WINEDEBUG=${VELMORA_RUN_DEBUG:-$WINEDEBUG} "$WINE" "$prog/Sorvex.exe" >/dev/null \
    2>>"${VELMORA_RUN_LOG:-/dev/null}" &
  running=$!
  drive wait || { echo "the main window did not appear" >&2; return 1; }
  [ -z "${VELMORA_BEFORE_CLICK:-}" ] || "$VELMORA_BEFORE_CLICK"
  drive click Label10 || { echo "no Label10" >&2; return 1; }
  for _ in $(seq 300); do
    case "$(drive text Label4)" in
      恭喜您*) end=cleaned; break ;;
      您的电脑状况良好*) end=nothing; break ;;
    esac
    sleep 1
  done
  [ -n "$end" ] || { echo "the clean did not finish: $(drive text Label4)" >&2; return 1; }
  drive close || { echo "could not close" >&2; return 1; }
  wait "$running" || { echo "exit code $?" >&2; return 1; }
  if [ "$end" = nothing ]; then
    echo nothing
  else
    iconv -f GBK -t UTF-8 "$prog/Halvane.set" 2>/dev/null | tr -d '\r' |
      sed -n 's/^PreviousCleanCount=//p'
  fi
}

# velmora_install PROGRAM-FOLDER: the program as a user unpacked it, with the two
# auto-complete options and the tray-icon history ticked (the branches that differ by
# system), and no earlier clean.
velmora_install() {
  local prog=$1
  rm -rf "$prog"
  mkdir -p "$prog"
  cp "$VELMORA_BUILD/Sorvex.exe" "$VELMORA_BUILD/Halvane0.dll" "$VELMORA_BUILD/Halvane4.dll" \
     "$VELMORA_BUILD/Log.dat" "$prog/"
  printf '%s\r\n' '[TraceScanOption]' '清理表单自动完成历史记录=1' '清除密码自动完成历史记录=1' \
    '通知区域图标历史记录=1' | iconv -f UTF-8 -t GBK > "$prog/Halvane.set"
}
