#!/usr/bin/env bash
# Extracts Japanese sentences from Debian's Japanese manual pages, prose that
# nobody on this project wrote, into a corpus for the engine benchmarks.
# Usage: bench/make-corpus.sh [OUTPUT]   (default: build/bench/corpus.txt)
set -euo pipefail
cd "$(dirname "$0")/.."

OUT="${1:-build/bench/corpus.txt}"
MANDIR=/usr/share/man/ja

# A benchmark changes nothing on the machine: what it lacks is named, with
# the command that installs it.
if [ ! -d "$MANDIR" ] || ! dpkg-query -W -f='${Status}' manpages-ja 2>/dev/null | grep -q "install ok installed"; then
  echo "make-corpus: the corpus is made from Debian's Japanese manual pages (package manpages-ja), which are not installed." >&2
  echo "make-corpus: install them with: scripts/setup.sh --bench   (or: sudo apt-get install manpages-ja)" >&2
  exit 1
fi

mkdir -p "$(dirname "$OUT")"
find "$MANDIR" -type f -name '*.gz' | LC_ALL=C sort | xargs zcat -f -- | perl -CSD -Mutf8 -ne '
  BEGIN { our %seen; }
  chomp;
  # roff requests, comments and table or macro lines carry no prose
  next if /^[.\x27]/;
  # inline escapes: fonts, sizes, special characters, zero-width marks
  s/\\f(\[[^\]]*\]|\(..|.)//g;
  s/\\s[-+]?\d+//g;
  s/\\\((..)/ /g;
  s/\\\[[^\]]*\]/ /g;
  s/\\[&,\/|^%:]//g;
  s/\\-/-/g;
  s/\\e/\\/g;
  s/\\ / /g;
  s/\\.//g;
  for my $piece (split /(?<=。)/) {
    my $s = $piece;
    $s =~ s/^\s+|\s+$//g;
    next if $s eq "";
    my $chars = () = $s =~ /\X/g;
    next if $chars < 8 || $chars > 200;
    my $total = length $s;
    my $ja = () = $s =~ /[\x{3040}-\x{30FF}\x{3400}-\x{4DBF}\x{4E00}-\x{9FFF}]/g;
    next if $ja < 0.3 * $total;
    next if $seen{$s}++;
    print "$s\n";
  }
' > "$OUT"

echo "make-corpus: $(wc -l < "$OUT") sentences in $OUT" >&2
