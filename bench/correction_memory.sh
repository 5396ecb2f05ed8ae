#!/usr/bin/env bash
# What each correction leaves behind in Mivo's memory: `mivo` end to end over
# our GTK 3 text view, a mistake typed, its panel opened from the highlight
# and Apply clicked, again and again (MivoAppDesktopTest's
# correction-after-correction row, in a fresh X server and session). Prints
# Mivo's anonymous memory after the warm-up corrections and at the end, the
# bytes malloc holds for it then, and their growth per correction.
#
# Usage: bench/correction_memory.sh [corrections]
#   corrections   default 60, counted after the warm-up
# MIVO_CORRECTION_TRACE=1 prints both after every correction.
# Needs a build with tests (build/bin/mivo_widgets_desktop_tests, build/bin/mivo);
# MIVO_BIN=/path/to/other/mivo measures another build's `mivo` (the one
# before a change) under the same test.
set -uo pipefail
cd "$(dirname "$0")/.."
TESTS="${MIVO_WIDGETS_DESKTOP_TESTS:-build/bin/mivo_widgets_desktop_tests}"
[ -x "$TESTS" ] || { echo "correction_memory: $TESTS is not built" >&2; exit 1; }
MIVO_CORRECTION_CYCLES="${1:-60}" xvfb-run -a -s "-screen 0 1280x1024x24" \
  dbus-run-session -- "$TESTS" \
  --gtest_filter='MivoAppDesktopTest.CorrectionAfterCorrectionKeepsMemoryBounded' 2>&1 |
  grep -E 'anonymous memory|cycle [0-9]|Failure|OK \]|FAILED \]'
