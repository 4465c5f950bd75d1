# Sourced by the run, test and screenshot scripts: the Wine sandbox the cleaner runs in.
# Everything lives inside the build folder; ~/.wine, the real HOME and the host's trash
# are never touched.
#
# Which Windows the sandbox is: the product is a 32-bit program and runs in a 32-bit
# prefix (WINEARCH=win32). Some kernels have 32-bit Linux emulation switched off
# (ia32_emulation=off); 32-bit Wine cannot start there at all, so the same sources are
# built as a 64-bit program and run in a 64-bit prefix instead.

velmora_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

velmora_can_run_wine32() {
  [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1
}

if [ -z "${VELMORA_ARCH:-}" ]; then
  if velmora_can_run_wine32; then VELMORA_ARCH=i686; else VELMORA_ARCH=x86_64; fi
fi
export VELMORA_ARCH
export VELMORA_BUILD=${VELMORA_BUILD:-$velmora_root/build/$VELMORA_ARCH}

# VELMORA_WOW64=1 with the 32-bit build: the 32-bit program on 64-bit Windows (WoW64), in a
# 64-bit prefix and HOME of their own, started by 32-bit Wine beside 64-bit Wine.
if [ -n "${VELMORA_WOW64:-}" ]; then
  export WINEARCH=win64 WINE=/usr/lib/wine/wine
elif [ "$VELMORA_ARCH" = i686 ]; then
  export WINEARCH=win32 WINE=/usr/lib/wine/wine
else
  export WINEARCH=win64 WINE=/usr/lib/wine/wine64
fi
export WINESERVER=/usr/lib/wine/wineserver
export WINEPREFIX=${WINEPREFIX_OVERRIDE:-$VELMORA_BUILD/wineprefix${VELMORA_WOW64:+-wow64}}
export WINEDEBUG=${WINEDEBUG_OVERRIDE:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export LC_ALL=zh_CN.UTF-8 LANG=zh_CN.UTF-8
export HOME=$VELMORA_BUILD/home${VELMORA_WOW64:+-wow64}
export XDG_DATA_HOME=$HOME/.local/share XDG_CONFIG_HOME=$HOME/.config
export XDG_CACHE_HOME=$HOME/.cache XDG_RUNTIME_DIR=$HOME/.run
mkdir -p "$HOME" "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

# A private X display; DISPLAY must be set before the first Wine process of a run.
velmora_xvfb_start() {
  local size=${1:-1280x1024x24} fdfile
  fdfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 "$size" -nolisten tcp -ac 3>"$fdfile" >/dev/null 2>&1 &
  VELMORA_XVFB_PID=$!
  for _ in $(seq 100); do [ -s "$fdfile" ] && break; sleep 0.1; done
  export DISPLAY=":$(head -n1 "$fdfile")"
  rm -f "$fdfile"
  [ "$DISPLAY" != ":" ] || { echo "Xvfb did not start" >&2; return 1; }
}

velmora_xvfb_stop() {
  [ -n "${VELMORA_XVFB_PID:-}" ] && kill "$VELMORA_XVFB_PID" 2>/dev/null
  wait "${VELMORA_XVFB_PID:-}" 2>/dev/null
  VELMORA_XVFB_PID=
}

# Creates the prefix once, and (again whenever they change) the settings the program
# expects: Chinese fonts for the names it asks for, Windows 7, smoothed fonts, and Wine's
# own fonts (Marlett draws the caption buttons) in the Windows font folder, where Debian's
# Wine does not look for them by itself.
velmora_prefix_init() {
  local reg=$VELMORA_BUILD/prefix-settings.reg stamp=$WINEPREFIX/.velmora-ready
  mkdir -p "$VELMORA_BUILD"
  printf '%s\r\n' 'REGEDIT4' '' \
    '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]' \
    '"宋体"="WenQuanYi Micro Hei"' '"新宋体"="WenQuanYi Micro Hei"' '"SimSun"="WenQuanYi Micro Hei"' \
    '"微软雅黑"="WenQuanYi Micro Hei"' '"Microsoft YaHei"="WenQuanYi Micro Hei"' \
    '"MS Shell Dlg"="WenQuanYi Micro Hei"' '"MS Shell Dlg 2"="WenQuanYi Micro Hei"' \
    '"Tahoma"="WenQuanYi Micro Hei"' '' \
    '[HKEY_CURRENT_USER\Software\Wine]' '"Version"="win7"' '' \
    '[HKEY_CURRENT_USER\Control Panel\Desktop]' '"FontSmoothing"="2"' \
    '"FontSmoothingType"=dword:00000002' '"FontSmoothingGamma"=dword:00000578' '' \
    | iconv -f UTF-8 -t GBK > "$reg"
  local want
  want=$( (cat "$reg"; ls /usr/share/wine/fonts 2>/dev/null) | md5sum | cut -d' ' -f1)
  [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$want" ] && return 0
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    rm -rf "$WINEPREFIX"
    mkdir -p "$(dirname "$WINEPREFIX")"
    "$WINE" wineboot -i >/dev/null 2>&1
    "$WINESERVER" -w
  fi
  "$WINE" regedit /S "$(winepath_w "$reg")" >/dev/null 2>&1
  "$WINESERVER" -w
  if [ -d /usr/share/wine/fonts ]; then
    mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
    cp -f /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
  fi
  echo "$want" > "$stamp"
}

winepath_w() { echo "Z:$(echo "$1" | sed 's#/#\\#g')"; }

# One Wine server for a whole run, with the display already in place.
velmora_session_start() {
  velmora_xvfb_start "$@" || return 1
  velmora_prefix_init
  # A server left running on this prefix (an earlier run stopped by hand) would refuse
  # the new one, and the run would end having run nothing.
  "$WINESERVER" -p || {
    echo "wine-env: no Wine server could start on $WINEPREFIX; is one still running? (stop it: WINEPREFIX=$WINEPREFIX $WINESERVER -k)" >&2
    velmora_xvfb_stop
    return 1
  }
}

velmora_session_stop() {
  "$WINESERVER" -k 2>/dev/null
  "$WINESERVER" -w 2>/dev/null
  velmora_xvfb_stop
}

# The demo machine: the program installed in the demo prefix as a user has it, with a
# settings file recording an earlier clean (written once; the program keeps it up to
# date afterwards). Prints the program's Unix path.
velmora_demo_install() {
  local dir=$WINEPREFIX/drive_c/Velmora
  mkdir -p "$dir"
  # The program does not start without Halvane0.dll; Log.dat is its notes feed.
  cp -f "$VELMORA_BUILD/Sorvex.exe" "$VELMORA_BUILD/Halvane0.dll" "$VELMORA_BUILD/Log.dat" "$dir/"
  [ -f "$VELMORA_BUILD/Halvane4.dll" ] && cp -f "$VELMORA_BUILD/Halvane4.dll" "$dir/"
  if [ ! -f "$dir/Halvane.set" ]; then
    local when
    when=$(date -d 'yesterday 18:30' '+%Y-%m-%d %H:%M:%S')
    printf '%s\r\n' '[TraceScanOption]' "PreviousCleanDate2=$when" 'PreviousCleanCount=128' \
      'PreviousCleanSize=20480.5' 'TotalCleanCount=1024' 'TotalCleanSize=524288.25' \
      | iconv -f UTF-8 -t GBK > "$dir/Halvane.set"
  fi
  velmora_demo_junk >&2
  echo "$dir/Sorvex.exe"
}

# Traces for the demo machine to find (junk files, traces of use of Windows and of the
# applications), added at every start so that a one-key clean always has something to do.
velmora_demo_junk() {
  "$WINE" "$VELMORA_BUILD/seed-demo.exe" 2>/dev/null | tr -d '\r' || true
}
