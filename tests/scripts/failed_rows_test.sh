#!/usr/bin/env bash
# What the desktop lane of scripts/test.sh tries again, read from ctest's
# output: the failed rows of each failed suite, or the suite whole when
# GoogleTest listed none (a timeout, a crash) or a name it cannot filter by.
set -euo pipefail
source_dir="$1"
eval "$(sed -n '/^failed_rows() {/,/^}/p' "$source_dir/scripts/test.sh")"

fails=0
check() {
  local what="$1" output="$2" expected="$3" actual
  actual="$(failed_rows <(printf '%b' "$output"))"
  if [ "$actual" != "$(printf '%b' "$expected")" ]; then
    echo "FAIL: $what"
    echo "  expected: $(printf '%b' "$expected" | cat -A)"
    echo "  actual:   $(printf '%s' "$actual" | cat -A)"
    fails=$((fails + 1))
  fi
}

passed=' 1/3 Test #12: desktop_suite ......   Passed   18.37 sec\n'
rows=' 2/3 Test #13: desktop_apps .......***Failed  245.01 sec\n[ RUN      ] A/T.x/Writer\n[  FAILED  ] A/T.x/Writer, where GetParam() = 4-byte object <00-00 00-00> (10048 ms)\n[  FAILED  ] 2 tests, listed below:\n[  FAILED  ] A/T.x/Writer, where GetParam() = 4-byte object <00-00 00-00>\n[  FAILED  ] Suite.Plain\n\n 2 FAILED TESTS\n'
timeout=' 3/3 Test #14: desktop_browsers ...***Timeout 420.00 sec\n[ RUN      ] B/T.y/Chromium\n'
odd=' 3/3 Test #15: overlay ...***Failed 3.00 sec\n[  FAILED  ] 1 test, listed below:\n[  FAILED  ] Suite: SetUpTestSuite or TearDownTestSuite\n'

check "a suite that passed" "$passed" ""
check "the rows GoogleTest listed, parameters left out" "$passed$rows" 'desktop_apps\tA/T.x/Writer:Suite.Plain'
check "a timeout tries the suite whole" "$timeout" 'desktop_browsers\t'
check "a name that is no row tries the suite whole" "$odd" 'overlay\t'
check "each failed suite on its line" "$rows$passed$timeout" 'desktop_apps\tA/T.x/Writer:Suite.Plain\ndesktop_browsers\t'
[ "$fails" = 0 ] || exit 1
echo "failed_rows: every case as expected"
