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

if [ -x /usr/bin/time ]; then
  MIVO_TEXTLINT_BRIDGE=0 /usr/bin/time -v build/bin/check-sentences build/bench/corpus.txt \
    2> build/bench/check-sentences.time > /dev/null || true
  echo "check-sentences over the corpus: $(grep -E 'Maximum resident set size' build/bench/check-sentences.time | sed 's/.*: //') KiB peak resident," \
       "$(grep -E 'Elapsed \(wall clock\)' build/bench/check-sentences.time | sed 's/.*: //') elapsed"
else
  echo "bench: /usr/bin/time is missing (Debian package 'time'); memory not measured" >&2
fi
