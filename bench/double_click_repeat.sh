#!/usr/bin/env bash
# How often a double click on Apply leaves the field as the user would have
# it: `mivo` end to end over our GTK 3 text view (as Mousepad has it), the
# panel opened over a typed mistake and Apply clicked twice, the clicks a
# given distance apart; then a key typed must land at the end of the
# sentence, corrected or as it was, with nothing selected. Each trial runs
# in a fresh X server and session (MivoAppDesktopTest's double-click row).
# Prints every trial's outcome and then passed/trials.
#
# Usage: bench/double_click_repeat.sh [trials] [seconds-between-clicks] [second]
#   trials   default 12
#   seconds  default 0.06
#   second   where the second click lands: apply (default, where the
#            closed panel's Apply stood) or below (below the text, where
#            the caret already stood)
# Needs a build with tests (build/bin/mivo_widgets_desktop_tests, build/bin/mivo);
# MIVO_BIN=/path/to/other/mivo runs another build's `mivo` (the one before a
# change) under the same test.
set -uo pipefail
cd "$(dirname "$0")/.."
TRIALS="${1:-12}"
GAP="${2:-0.06}"
BELOW=0
[ "${3:-apply}" = below ] && BELOW=1
TESTS="${MIVO_WIDGETS_DESKTOP_TESTS:-build/bin/mivo_widgets_desktop_tests}"
FILTER="MivoAppDesktopTest.ADoubleClickOnApplyLeavesNothingSelectedForTheNextKey"

[ -x "$TESTS" ] || { echo "double_click_repeat: $TESTS is not built" >&2; exit 1; }

passed=0
for trial in $(seq 1 "$TRIALS"); do
  out="$(MIVO_DOUBLE_CLICK_GAP="$GAP" MIVO_SECOND_CLICK_BELOW_TEXT="$BELOW" xvfb-run -a -s "-screen 0 1280x1024x24" \
    dbus-run-session -- "$TESTS" --gtest_filter="$FILTER" 2>&1)"
  if grep -q "^\[  PASSED  \] 1 test" <<<"$out"; then
    passed=$((passed + 1))
    echo "trial $trial: as the user would have it"
  elif grep -q "^\[  SKIPPED \]" <<<"$out"; then
    echo "trial $trial: skipped"
  else
    echo "trial $trial: FAILED"
    grep -E "Failure|Which is|Expected|Value of" <<<"$out" | sed 's/^/    /' | head -8
  fi
done
echo "$passed/$TRIALS"
