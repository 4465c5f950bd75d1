#!/usr/bin/env bash
# Starts Sorvex.exe twice: the second process ends at once, silently and with exit code 0;
# the first shows the main window and ends with 0 when it is closed.
set -u
build=${1:?build folder}
. "$(dirname "$0")/../../scripts/wine-env.sh"
drive() { "$WINE" "$build/drive.exe" "$@"; }
fail() { echo "FAIL: $*"; drive close >/dev/null 2>&1; exit 1; }

"$WINE" "$build/Sorvex.exe" >/dev/null 2>&1 &
first=$!
drive wait || fail "the main window did not appear"
caption=$(drive caption | tr -d '\r')
case "$caption" in
  "一键清理Sandrel版 V2.0 "*) ;;
  *) fail "caption is '$caption'" ;;
esac

start=$(date +%s)
timeout 60 "$WINE" "$build/Sorvex.exe" >/dev/null 2>&1
second=$?
took=$(( $(date +%s) - start ))
[ "$second" = 0 ] || fail "second instance exit code $second"
[ "$took" -le 20 ] || fail "second instance took ${took}s"
[ "$(drive count | tr -d '\r')" = 1 ] || fail "more than one main window"

drive close || fail "could not close"
wait "$first"
rc=$?
[ "$rc" = 0 ] || fail "first instance exit code $rc"
echo "single instance: ok"
