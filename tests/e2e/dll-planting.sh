#!/usr/bin/env bash
# No DLL planted beside the program gets in. The program is unpacked into a downloads
# folder with a version.dll, wininet.dll, msimg32.dll and shdocvw.dll of someone else's
# beside it (built here; each writes "<name>.loaded" beside itself when loaded), and Wine is
# told to prefer such native copies for those names, as Windows' search order would for
# DLLs that are no known DLLs. A one-key clean then reads file versions (version.dll), the
# Internet Explorer cache (wininet.dll; also Halvane4.dll, which imports it), draws the window
# (msimg32.dll) and clears the auto-complete data (shdocvw.dll: the prefix reports Windows
# XP, where that is the way). No marker may appear, and the clean must find as many items
# as the same clean without the planted DLLs.
# dll-planting.sh BUILD
set -u
build=$(cd "${1:?build folder}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
arch=$(sed -n 's/^CMAKE_TOOLCHAIN_FILE:[A-Z]*=.*mingw-w64-\(.*\)\.cmake$/\1/p' "$build/CMakeCache.txt" 2>/dev/null)
export VELMORA_BUILD=$build VELMORA_ARCH=${arch:-i686}
cc=$(command -v "$VELMORA_ARCH-w64-mingw32-gcc-win32" || command -v "$VELMORA_ARCH-w64-mingw32-gcc")
unset VELMORA_WOW64
export WINEPREFIX_OVERRIDE=$build/wineprefix-planting
. "$here/../../scripts/wine-env.sh"
. "$here/old-system.sh"
step="planted DLLs beside the program"
velmora_old_session "$([ "$WINEARCH" = win64 ] && echo winxp64 || echo winxp)"
[ -n "$cc" ] || fail "no MinGW-w64 C compiler for $VELMORA_ARCH"
export VELMORA_SHELL_RECORD='C:\Downloads\Velmora\shdocvw-calls.txt'
overrides=$WINEDLLOVERRIDES
prog=$WINEPREFIX/drive_c/Downloads/Velmora
planted=(version wininet msimg32 shdocvw)

# A clean of the seeded demo machine: first as unpacked, then with the DLLs planted.
clean() {
  velmora_install "$prog"
  "$WINE" "$build/seed-demo.exe" urlcache >/dev/null 2>&1 || fail "seeding failed"
  velmora_run_one_key "$prog"
}
export WINEDLLOVERRIDES="$overrides;shdocvw=n,b"
before=$(clean) || fail "the clean without planted DLLs did not end well"
[ -n "$before" ] && [ "$before" != nothing ] || fail "the first clean found '$before'"

velmora_install "$prog"
for name in "${planted[@]}"; do
  extra=()
  [ "$name" = version ] && extra=(-DVERSION_EXPORTS)
  "$cc" -shared -O2 -s -Wl,--kill-at "${extra[@]}" -o "$prog/$name.dll" "$here/../data/marker-dll.c" ||
    fail "cannot build the planted $name.dll"
done
export WINEDLLOVERRIDES="$overrides;$(IFS=,; echo "${planted[*]}")=n,b"
export VELMORA_RUN_DEBUG=+loaddll VELMORA_RUN_LOG=$WINEPREFIX/planted-run.log
rm -f "$VELMORA_RUN_LOG"
"$WINE" "$build/seed-demo.exe" urlcache >/dev/null 2>&1 || fail "seeding failed"
# velmora_run_one_key with the planted DLLs in place (velmora_install would remove them).
after=$(velmora_run_one_key "$prog") || fail "the clean with planted DLLs did not end well"
unset VELMORA_RUN_DEBUG

# A planted DLL loaded by a LoadLibrary call, or for an import of the program's own files,
# ran inside the program. One loaded while the process started can only be an import of
# the system DLLs the program imports: on Windows those are known DLLs, which take their
# imports from the system folder, and none of them imports these four; Wine's own user32
# imports version.dll, which Windows' does not.
wine_own=()
for name in "${planted[@]}"; do
  marker=$prog/$name.dll.loaded
  [ -e "$marker" ] || continue
  [ "$(cat "$marker")" = static ] || fail "the planted $name.dll was loaded by a LoadLibrary call"
  for file in Sorvex.exe Halvane0.dll; do
    "$VELMORA_ARCH-w64-mingw32-objdump" -p "$build/$file" | grep -qi "DLL Name: $name\.dll" &&
      fail "$file imports the planted $name.dll"
  done
  wine_own+=("$name.dll")
done
[ "$after" = "$before" ] || fail "$after items cleaned with planted DLLs, $before without"
calls=$(cat "$prog/shdocvw-calls.txt" 2>/dev/null)
[ "$calls" = '211(1);164(0);211(2);164(0);' ] ||
  fail "the system's SHDOCVW was not the one called ('$calls')"
# The program's own loads took the system's copies, as Wine's loader reports them.
loads=$(grep -aiE 'Loaded L"[^"]*\\(version|wininet|msimg32|shdocvw|halvane4)\.dll"' "$VELMORA_RUN_LOG" |
        sed -E 's/.*Loaded L"([^"]*)".*: (builtin|native).*/\1 (\2)/; s/\\\\/\\/g' | sort -u)
for name in "${planted[@]}"; do
  grep -qiE "^C:\\\\windows\\\\(system32|syswow64)\\\\$name\.dll" <<<"$loads" ||
    fail "the system's $name.dll was never loaded: $loads"
done
grep -qiF 'C:\Downloads\Velmora\Halvane4.dll' <<<"$loads" || fail "Halvane4.dll was never loaded: $loads"
loads=$(grep -viE '^C:\\Downloads\\Velmora\\(version|wininet|msimg32|shdocvw)\.dll' <<<"$loads")
rm -rf "$prog"
note=
[ ${#wine_own[@]} -eq 0 ] || note="; loaded at process start for Wine's own system DLLs: ${wine_own[*]}"
echo "$step: ok ($after items with and without them); the program loaded: $(tr '\n' ';' <<<"$loads")$note"
