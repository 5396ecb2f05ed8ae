#!/usr/bin/env bash
# Installs what is missing (the test bench included), configures, builds and
# runs every test.
# Usage: scripts/test.sh [--sanitize [--build-only] | --unity]
#   --sanitize  ASan+UBSan build, unit tests only (--build-only: configure
#               and build it, no setup and no tests)
#   --unity     CI's build of the libraries and programs (in build-unity/),
#               no tests: a name that two sources of one library share
#               breaks the batches there, and only there
# With CI=true the build is made for one run from scratch: line tables only
# (MIVO_LINE_TABLES_ONLY) and the libraries in batches (MIVO_UNITY_BUILD).
# Each phase's wall time is printed as "ci: phase <name> <seconds> s".
set -euo pipefail
cd "$(dirname "$0")/.."

SANITIZE=false
UNITY=false
BUILD_ONLY=false
PHASE_PREFIX=""
if [ "${1:-}" = "--sanitize" ]; then
  SANITIZE=true
  PHASE_PREFIX="sanitizer "
  if [ "${2:-}" = "--build-only" ]; then
    BUILD_ONLY=true
  fi
elif [ "${1:-}" = "--unity" ]; then
  UNITY=true
  PHASE_PREFIX="unity "
fi

phase_start=$SECONDS
phase_done() {
  echo "ci: phase ${PHASE_PREFIX}$1 $((SECONDS - phase_start)) s"
  phase_start=$SECONDS
}

if [ "$BUILD_ONLY" = false ]; then
  scripts/setup.sh --tests
  phase_done setup
fi

BUILD_DIR=build
CMAKE_ARGS=(-G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMIVO_BUILD_TESTS=ON)
BUILD_TARGETS=()
if [ "${CI:-}" = "true" ] || [ "$UNITY" = true ]; then
  CMAKE_ARGS+=(-DMIVO_LINE_TABLES_ONLY=ON -DMIVO_UNITY_BUILD=ON)
else
  CMAKE_ARGS+=(-DMIVO_LINE_TABLES_ONLY=OFF -DMIVO_UNITY_BUILD=OFF)
fi
if [ "$SANITIZE" = true ]; then
  BUILD_DIR=build-asan
  CMAKE_ARGS+=(-DMIVO_SANITIZE=ON)
  # The unit test programs and what they need; the desktop suites do not
  # run here, so neither they nor their test editors are built.
  BUILD_TARGETS=(--target mivo_unit_tests)
fi
if [ "$UNITY" = true ]; then
  # Its own folder, so that the developer's build keeps its settings and
  # objects; the batches alone (cmake/unity_build.cmake), not the tests.
  BUILD_DIR=build-unity
  BUILD_TARGETS=(--target mivo_unity_batches)
fi

JOBS="$(nproc)"
cmake -S . -B "$BUILD_DIR" "${CMAKE_ARGS[@]}"
cmake --build "$BUILD_DIR" -j "$JOBS" "${BUILD_TARGETS[@]}"
phase_done build
if [ "$UNITY" = true ] || [ "$BUILD_ONLY" = true ]; then
  exit 0
fi

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

status=0
ctest --test-dir "$BUILD_DIR" -L '^unit$' --output-on-failure -j "$JOBS" --timeout 300 || status=1
if [ "$SANITIZE" = true ]; then
  phase_done run
  exit "$status"
fi
phase_done unit

# The desktop suites of the labels given (a ctest -L/-LE selection), in a
# private X server and session bus, so the accessibility bus starts for
# them alone. The real desktop answers on its own schedule (a loaded machine
# can outlast a bounded wait, and libatspi's cache can keep a destroyed GTK
# entry alive for a run in four or five), so what failed gets two more
# tries, each in a fresh X server and session (a retry in the same session
# fails the same way); a fault that fails three times still fails the
# suite, and every failed try stays in the log. A suite whose failed rows
# GoogleTest listed tries those rows alone (MIVO_DESKTOP_RETRY_ONLY, read by
# tests/desktop/desktop_main.cpp): one flaky row of a four-minute suite
# costs its own seconds, not the suite's minutes. A suite that timed out or
# crashed tries whole. What to try again is read from this lane's own
# output, not from ctest's list of the last failures, which the other lane
# writes too.
# The failed suites of a lane's output, a line each: the suite's name, a
# tab, and its failed rows joined by ':' (nothing when it failed as a whole).
failed_rows() {
  awk '
    function flush() { if (suite != "") print suite "\t" (whole ? "" : rows) }
    /Test +#[0-9]+: / {
      flush(); suite = ""; rows = ""; whole = 1; listing = 0
      if ($0 ~ /\*\*\*/) suite = $4
      next
    }
    suite != "" && /^\[  FAILED  \] [0-9]+ tests?, listed below:/ { listing = 1; whole = 0; next }
    listing && /^\[  FAILED  \] / {
      row = substr($0, 14); sub(/, where GetParam\(\).*/, "", row)
      if (row !~ /^[A-Za-z0-9_\/]+\.[A-Za-z0-9_\/]+$/) whole = 1
      rows = rows (rows == "" ? "" : ":") row
      next
    }
    listing { listing = 0 }
    END { flush() }
  ' "$1"
}

# Runs, inside the session of one try, each suite given as "name<tab>rows".
# (xvfb-run is a POSIX shell script, which drops exported functions: the
# session's bash gets this one's text instead.)
try_rows() {
  local status=0 entry suite rows
  for entry in "$@"; do
    suite="${entry%%$'\t'*}"
    rows="${entry#*$'\t'}"
    MIVO_DESKTOP_RETRY_ONLY="$rows" ctest --test-dir "$BUILD_DIR" -L '^desktop$' \
      -R "^${suite}\$" --output-on-failure --timeout 300 || status=1
  done
  return "$status"
}

#   $1: the X server number to start looking for a free one at; each lane
#       has its own, so that two lanes starting together never pick the same
desktop_lane() {
  local server="$1"
  shift
  local selection=("$@")
  local out result entries=()
  for try in 1 2 3; do
    out="$(mktemp)"
    result=0
    if [ "$try" = 1 ]; then
      xvfb-run -a -n "$server" -s "-screen 0 1280x1024x24" dbus-run-session -- \
        ctest --test-dir "$BUILD_DIR" "${selection[@]}" --output-on-failure --timeout 300 \
        >"$out" 2>&1 || result=$?
    else
      BUILD_DIR="$BUILD_DIR" xvfb-run -a -n "$server" -s "-screen 0 1280x1024x24" \
        dbus-run-session -- bash -c "$(declare -f try_rows); try_rows \"\$@\"" try_rows \
        "${entries[@]}" >"$out" 2>&1 || result=$?
    fi
    cat "$out"
    mapfile -t entries < <(failed_rows "$out")
    rm -f "$out"
    [ "$result" = 0 ] && return 0
    [ "${#entries[@]}" -gt 0 ] || return 1
    [ "$try" -lt 3 ] && echo "ci: trying again: $(printf '%s\n' "${entries[@]}" |
      awk -F '\t' '{ print $1 ($2 == "" ? "" : " (" (gsub(/:/, ":", $2) + 1) " rows)") }' | paste -sd ' ')"
  done
  return 1
}
# CI's sanitizer build comes next and needs both cores for ten minutes,
# while the desktop suites below spend most of theirs waiting on other
# programs. It is built now, at the scheduler's idle priority: it gets only
# the time no suite wants, so the suites run as they would alone. Its log is
# printed after them; the sanitizer phase that follows builds what is left,
# if anything, and stops there should it fail.
alongside=""
if [ "${CI:-}" = "true" ] && [ "$SANITIZE" = false ]; then
  alongside_log="$(mktemp)"
  chrt --idle 0 nice -n 19 scripts/test.sh --sanitize --build-only >"$alongside_log" 2>&1 &
  alongside=$!
fi
if ctest --test-dir "$BUILD_DIR" -L '^desktop$' -N | grep -q 'Total Tests: [1-9]'; then
  # The suites labelled "beside" as well (our own editors only, none of
  # it racing the clock) run in a second lane of their own at the same
  # time; its log follows the first lane's.
  beside_log="$(mktemp)"
  desktop_lane 199 -L '^beside$' >"$beside_log" 2>&1 &
  beside=$!
  desktop_lane 99 -L '^desktop$' -LE '^beside$' || status=1
  wait "$beside" || status=1
  echo "ci: the desktop suites beside the others:"
  cat "$beside_log"
  rm -f "$beside_log"
fi
phase_done desktop
if [ -n "$alongside" ]; then
  wait "$alongside" || echo "ci: the sanitizer build alongside the desktop suites failed" >&2
  sed 's/^ci: phase sanitizer build/ci: phase sanitizer build (alongside the desktop)/' "$alongside_log" |
    grep -v '^\[[0-9]*/[0-9]*\] ' || true
  rm -f "$alongside_log"
  phase_done "sanitizer build wait"
fi

exit "$status"
