#!/usr/bin/env bash
# Writes the notes feed "Log.dat" from an INI text in UTF-8:
#   encode-log.sh feed.ini Log.dat
# The text is converted to GBK (a character outside GBK is an error) and stored in the form
# that Halvane0.dll reads: the mark "VLMLOG01", the length and FNV-1a checksum of the GBK
# text (32-bit little-endian each), then the text with byte i XOR-ed by (i*167+61) mod 256.
set -euo pipefail
in=${1:?INI text in UTF-8}
out=${2:?Log.dat to write}
tmp=$(mktemp)
trap 'rm -f "$tmp"' EXIT
# Lines end in CR LF, as Windows programs expect of an INI text.
sed 's/\r$//; s/$/\r/' "$in" | iconv -f UTF-8 -t GBK > "$tmp"
perl -e '
  use strict; use warnings;
  local $/; binmode STDIN; binmode STDOUT;
  my @b = unpack("C*", <STDIN> // "");
  my $h = 2166136261;
  for my $c (@b) { $h = (($h ^ $c) * 16777619) & 0xFFFFFFFF; }
  my $i = 0;
  my @m = map { $_ ^ (($i++ * 167 + 61) & 0xFF) } @b;
  print "VLMLOG01", pack("VV", scalar(@b), $h), pack("C*", @m);
' < "$tmp" > "$out.tmp"
mv -f "$out.tmp" "$out"
