#!/usr/bin/env bash
# Builds, makes the corpus, runs the engine benchmark and measures the peak
# resident memory of a process that checks the whole corpus.
# Usage: bench/run.sh [engine_bench flags]
set -euo pipefail
cd "$(dirname "$0")/.."

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target engine_bench check-sentences
[ -s build/bench/corpus.txt ] || bench/make-corpus.sh build/bench/corpus.txt

build/bin/engine_bench --corpus=build/bench/corpus.txt "$@"

# Every distinct (original -> suggestion) pair over the whole corpus, for a
# person to read: suggestions on correct prose are faults of the rules.
MIVO_TEXTLINT_BRIDGE=0 build/bin/check-sentences --vocabulary build/bench/corpus.txt \
  | bench/corpus-pairs.py > build/bench/corpus-pairs.txt
echo "corpus suggestions: $(tail -1 build/bench/corpus-pairs.txt) (pairs in build/bench/corpus-pairs.txt)"

# The same ratios from instruction counts, which the machine's load does
# not change: 4,000 sentences of the corpus under callgrind.
if command -v valgrind >/dev/null && command -v callgrind_annotate >/dev/null; then
  shuf -n 4000 --random-source=<(yes) build/bench/corpus.txt > build/bench/corpus-4k.txt
  MIVO_TEXTLINT_BRIDGE=0 valgrind --tool=callgrind --callgrind-out-file=build/bench/callgrind.out \
    build/bin/check-sentences --vocabulary build/bench/corpus-4k.txt > /dev/null 2>&1
  callgrind_annotate --inclusive=yes build/bench/callgrind.out 2>/dev/null | python3 -c '
import re, sys
total = {}
for line in sys.stdin:
    m = re.match(r"\s*([\d,]+) \([\d.]+%\)  (?!=>).*?(mecab_sparse_tonode2|MecabJapaneseTokenizer::tokenize|LocalCorrectionService::analyze)\b.*\[", line)
    if m and m.group(2) not in total:
        total[m.group(2)] = int(m.group(1).replace(",", ""))
mecab = total.get("mecab_sparse_tonode2")
if not mecab or len(total) < 3:
    sys.exit("bench: callgrind found no MeCab, tokenizer or analyze counts")
print("instructions over 4,000 sentences: tokenize/mecab %.2f, analyze/mecab %.2f" %
      (total["MecabJapaneseTokenizer::tokenize"] / mecab, total["LocalCorrectionService::analyze"] / mecab))
'
else
  echo "bench: valgrind is missing; instruction ratios not measured" >&2
fi

if [ -x /usr/bin/time ]; then
  MIVO_TEXTLINT_BRIDGE=0 /usr/bin/time -v build/bin/check-sentences build/bench/corpus.txt \
    2> build/bench/check-sentences.time > /dev/null || true
  echo "check-sentences over the corpus: $(grep -E 'Maximum resident set size' build/bench/check-sentences.time | sed 's/.*: //') KiB peak resident," \
       "$(grep -E 'Elapsed \(wall clock\)' build/bench/check-sentences.time | sed 's/.*: //') elapsed"
else
  echo "bench: /usr/bin/time is missing (Debian package 'time'); memory not measured" >&2
fi
