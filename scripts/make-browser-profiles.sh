#!/usr/bin/env bash
# Renews tests/data/browser-profiles.tar.xz: profiles written by real browsers (Debian's
# chromium, with a window on a private X display, and firefox-esr, headless, driven through
# a local site on 127.0.0.1: visits, site icons, a form, a cookie, a download, a bookmark,
# in Chromium an address typed into the address bar and a new tab, in Firefox a tag and a
# keyword on the bookmark), closed cleanly, with only the files the cleaner reads kept. The tests use the archive, so
# neither CI nor a developer needs a browser; run this (as root, on Debian 12) when a new
# browser version should be covered, check `git diff --stat`, and commit the archive.
#
#   bash scripts/make-browser-profiles.sh [archive]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
archive=${1:-$root/tests/data/browser-profiles.tar.xz}

need=()
for p in chromium firefox-esr python3 xz-utils xvfb xdotool; do
  dpkg -s "$p" >/dev/null 2>&1 || need+=("$p")
done
if ((${#need[@]})); then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/velmora-profiles.XXXXXX")
trap 'rm -rf "$work"' EXIT
HOME="$work/home" python3 "$root/scripts/browser-profiles.py" "$work/profiles"
# Stable names and times in the archive, so that a renewal shows only real changes.
tar -C "$work/profiles" --sort=name --owner=0 --group=0 --numeric-owner \
  --mtime='2024-01-01 00:00:00' -cf - . | xz -9 >"$archive"
echo "wrote $archive ($(du -h "$archive" | cut -f1))"
cat "$work/profiles/README.txt"
