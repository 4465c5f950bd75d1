#!/usr/bin/env bash
# Checks of the built files' import tables and headers, run by ctest on the build host
# (no Wine: the 32-bit files are checked wherever they are built).
#
#   imports.sh win2000 OBJDUMP DATA FILE...
#     every function a file imports is in DATA/win2000/<dll>.txt (what Windows 2000 SP4
#     exports), and the headers ask for Windows 5.0 at most.
#   imports.sh known-dlls OBJDUMP DATA MANIFEST FILE...
#     every DLL a file imports at load time is a known DLL (DATA/known-dlls.txt), which
#     Windows takes from its system folder only, or one of the exceptions below; and
#     nothing is delay-loaded.
set -u
mode=${1:?mode} objdump=${2:?objdump} data=${3:?data folder}
shift 3

# "dll function" per import, lower-case DLL names; an import by ordinal is "#<n>".
imports() {
  "$objdump" -p "$1" | awk '
    /^The Import Tables/ { on = 1 }
    /^The Export Tables|^PE File Base Relocations|^The Function Table/ { on = 0 }
    on && /DLL Name:/ { dll = tolower($3); next }
    on && dll != "" && /^\t[0-9a-f]+\t +[0-9]+ +[^ <]/ { print dll, $3; next }
    on && dll != "" && /^\t[0-9a-f]+\t +[0-9]+ *(<none>)?$/ { print dll, "#" $2 }'
}

header_version() {  # file field -> number
  "$objdump" -p "$1" | awk -v f="$2" '$1 == f { print $2 }'
}

bad=0
complain() { echo "FAIL: $*"; bad=1; }

case $mode in
win2000)
  for file in "$@"; do
    [ -f "$file" ] || { complain "$file is missing"; continue; }
    name=$(basename "$file")
    n=0
    while read -r dll fn; do
      n=$((n + 1))
      list=$data/win2000/${dll%.dll}.txt
      [ "$dll" = halvane0.dll ] && continue  # the program's own library
      if [ ! -f "$list" ]; then
        complain "$name imports $dll!$fn: no list of what Windows 2000 has for $dll"
      elif ! grep -qxF "$fn" "$list"; then
        complain "$name imports $dll!$fn, which is not in ${list#"$data"/} (Windows 2000 SP4)"
      fi
    done < <(imports "$file")
    [ "$n" -gt 0 ] || complain "$name: no import table read"
    for part in OSystem Subsystem; do
      major=$(header_version "$file" "Major${part}Version")
      minor=$(header_version "$file" "Minor${part}Version")
      if [ -z "$major" ] || [ "$major" -gt 5 ] || { [ "$major" -eq 5 ] && [ "$minor" -gt 0 ]; }; then
        complain "$name asks for ${part/OSystem/OS} version $major.$minor (at most 5.0)"
      fi
    done
    echo "$name: $n imports, headers $(header_version "$file" MajorOSystemVersion).$(header_version "$file" MinorOSystemVersion)"
  done
  ;;
known-dlls)
  manifest=${1:?manifest}
  shift
  for file in "$@"; do
    [ -f "$file" ] || { complain "$file is missing"; continue; }
    name=$(basename "$file")
    for dll in $(imports "$file" | awk '{ print $1 }' | sort -u); do
      grep -v '^#' "$data/known-dlls.txt" | grep -qxF "$dll" && continue
      case $dll in
      # The program's own library, beside it by design: whoever can replace it can
      # replace Sorvex.exe itself.
      halvane0.dll) continue ;;
      # The manifest binds comctl32.dll to the side-by-side Common Controls 6, which the
      # loader takes from the system's assembly store before any search of the folders.
      comctl32.dll)
        [ "$name" = Sorvex.exe ] && grep -q 'Microsoft.Windows.Common-Controls' "$manifest" &&
          continue ;;
      # Halvane4.dll is loaded by the program only after it has loaded WinINet from the
      # system folder by full path; the loader then hands the library that copy.
      wininet.dll) [ "$name" = Halvane4.dll ] && continue ;;
      esac
      complain "$name imports $dll at load time, which is no known DLL: a copy beside the program would be loaded"
    done
    # A delay-loaded DLL is looked for by name at its first call, wherever that happens.
    delay=$("$objdump" -p "$file" | awk '/Delay Import Directory/ { print $4; exit }')
    [ "${delay:-0}" = 00000000 ] || complain "$name has delay-loaded imports"
    echo "$name: $(imports "$file" | awk '{ print $1 }' | sort -u | tr '\n' ' ')"
  done
  ;;
*) echo "unknown mode $mode" >&2; exit 2 ;;
esac
exit $bad
