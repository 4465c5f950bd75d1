#!/usr/bin/env bash
# Every DLL the program loads at run time is loaded by sys/SystemLibrary.cpp, which takes a
# full path only: no other LoadLibrary call anywhere in the program's code (comments aside).
set -u
src=${1:?source folder}
cd "$src" || exit 2
hits=$(find app catalogue clean junk machine model registry_scan scan stand-ins sys ui \
         -name '*.cpp' -o -name '*.h' -o -name '*.c' | sort |
       grep -vx 'sys/SystemLibrary.cpp' |
       xargs awk '{ line = $0; sub(/\/\/.*/, "", line) }
                  line ~ /(^|[^A-Za-z0-9_])(LoadLibrary(Ex)?[AW]?|CoLoadLibrary|LoadPackagedLibrary)[ \t]*\(/ {
                    print FILENAME ":" FNR ": " $0 }')
if [ -n "$hits" ]; then
  echo "FAIL: DLLs loaded outside sys/SystemLibrary.cpp (use LoadLibraryByPath or SystemLibrary):"
  echo "$hits"
  exit 1
fi
echo "every run-time DLL load goes through sys/SystemLibrary.cpp"
