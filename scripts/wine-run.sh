#!/usr/bin/env bash
# Runs one Windows program inside the sandbox of wine-env.sh (the ctest emulator).
# Wine's helper processes (services.exe, explorer.exe) inherit the output descriptors
# and outlive the program, so a caller that waits for end-of-file would hang: the output
# goes through a file that is followed until the program itself has ended.
. "$(dirname "$0")/wine-env.sh"
out=$(mktemp "${TMPDIR:-/tmp}/velmora-run.XXXXXX")
trap 'rm -f "$out"' EXIT
"$WINE" "$@" </dev/null >"$out" 2>&1 &
pid=$!
tail -n +1 -f --pid=$pid "$out" &
tailpid=$!
wait $pid
rc=$?
wait $tailpid
exit $rc
