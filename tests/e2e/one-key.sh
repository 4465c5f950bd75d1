#!/usr/bin/env bash
# A user's one-key clean on a seeded machine: Sorvex.exe is installed in the prefix, junk
# and traces are put in place, "一键清理" is clicked from another process. Every seeded
# finding must be gone, the files beside and behind them (a linked folder of documents)
# unchanged, and "Halvane.set" must hold the new statistics. A second run finds nothing.
set -u
build=${1:?build folder}
. "$(dirname "$0")/../../scripts/wine-env.sh"
drive() { "$WINE" "$build/drive.exe" "$@"; }
fail() { echo "FAIL: $*"; drive close >/dev/null 2>&1; exit 1; }
reg_has() { "$WINE" reg query "$1" /v "$2" >/dev/null 2>&1; }

user=${USER:-$(id -un)}
home=$WINEPREFIX/drive_c/users/$user
temp=$home/Temp
docs=$home/Documents/velmora-e2e
prog=$WINEPREFIX/drive_c/VelmoraE2E
mru='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\RunMRU'

# The program as a user has it, with no earlier clean.
rm -rf "$prog" "$docs" "$temp"/velmora-e2e*
mkdir -p "$prog" "$docs/sub"
cp "$build/Sorvex.exe" "$build/Halvane0.dll" "$build/Halvane4.dll" "$build/Log.dat" "$prog/"

# What must stay: documents, also reachable through a link inside the temporary folder.
printf 'report\r\n' > "$docs/report.txt"
head -c 5000 /dev/urandom > "$docs/sub/photo.jpg"
ln -s "$docs" "$temp/velmora-e2e-link"
before=$(cd "$docs" && find . -type f -exec md5sum {} + | sort)

# What must go.
mkdir -p "$temp/velmora-e2e-setup/cache" "$temp/velmora-e2e-empty"
for i in 1 2 3; do head -c $((i * 1000)) /dev/zero > "$temp/velmora-e2e-$i.tmp"; done
printf 'x' > "$temp/velmora-e2e-setup/cache/data.cab"
"$WINE" reg add "$mru" /v velmoraA /d 'notepad\1' /f >/dev/null 2>&1 || fail "reg add"
"$WINE" reg add "$mru" /v velmoraB /d 'regedit\1' /f >/dev/null 2>&1 || fail "reg add"

"$WINE" "$prog/Sorvex.exe" >/dev/null 2>&1 &
running=$!
drive wait || fail "the main window did not appear"
drive click Label10 || fail "no Label10"
drive waittext Label4 "恭喜您" 240 || fail "the clean did not finish: $(drive text Label4)"

for f in velmora-e2e-1.tmp velmora-e2e-2.tmp velmora-e2e-3.tmp velmora-e2e-setup/cache/data.cab \
         velmora-e2e-empty; do
  [ -e "$temp/$f" ] && fail "$f is still there"
done
reg_has "$mru" velmoraA && fail "RunMRU value velmoraA is still there"
reg_has "$mru" velmoraB && fail "RunMRU value velmoraB is still there"
after=$(cd "$docs" && find . -type f -exec md5sum {} + | sort)
[ "$before" = "$after" ] || fail "the documents changed"
[ -L "$temp/velmora-e2e-link" ] || [ ! -e "$temp/velmora-e2e-link" ] || fail "the link became a folder"

settings=$(iconv -f GBK -t UTF-8 "$prog/Halvane.set" 2>/dev/null | tr -d '\r')
count=$(sed -n 's/^PreviousCleanCount=//p' <<<"$settings")
total=$(sed -n 's/^TotalCleanCount=//p' <<<"$settings")
[ -n "$count" ] && [ "$count" -ge 6 ] || fail "PreviousCleanCount is '$count'"
[ "$total" = "$count" ] || fail "TotalCleanCount is '$total', not $count"
grep -q '^PreviousCleanDate2=' <<<"$settings" || fail "no PreviousCleanDate2"

# Once more in the same run: nothing to clean.
drive click lblReClean || fail "no lblReClean"
drive waittext Label4 "您的电脑状况良好" 240 || fail "the second run ended with: $(drive text Label4)"

drive close || fail "could not close"
wait "$running"
rc=$?
[ "$rc" = 0 ] || fail "exit code $rc"
rm -f "$temp/velmora-e2e-link"
rm -rf "$docs" "$prog"
echo "one-key clean: ok ($count items)"
