#!/usr/bin/env bash
# Installs what is missing (the test bench included), configures, builds and
# runs every test.
# Usage: scripts/test.sh [--sanitize | --unity]
#   --sanitize  ASan+UBSan build, unit tests only
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
PHASE_PREFIX=""
if [ "${1:-}" = "--sanitize" ]; then
  SANITIZE=true
  PHASE_PREFIX="sanitizer "
elif [ "${1:-}" = "--unity" ]; then
  UNITY=true
  PHASE_PREFIX="unity "
fi

phase_start=$SECONDS
phase_done() {
  echo "ci: phase ${PHASE_PREFIX}$1 $((SECONDS - phase_start)) s"
  phase_start=$SECONDS
}

scripts/setup.sh --tests
phase_done setup

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
if [ "$UNITY" = true ]; then
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

desktop_run() {
  xvfb-run -a -s "-screen 0 1280x1024x24" \
    dbus-run-session -- ctest --test-dir "$BUILD_DIR" -L '^desktop$' --output-on-failure --timeout 300 "$@"
}
if ctest --test-dir "$BUILD_DIR" -L '^desktop$' -N | grep -q 'Total Tests: [1-9]'; then
  # A private X server and session bus, so the accessibility bus starts
  # for these tests alone. The real desktop answers on its own schedule
  # (a loaded machine can outlast a bounded wait, and libatspi's cache can
  # keep a destroyed GTK entry alive for a run in four or five), so the
  # suites that failed get two more tries, each in a fresh X server and
  # session (a retry in the same session fails the same way); a fault that
  # fails three times still fails the suite, and every failed try stays in
  # the log.
  if ! desktop_run; then
    desktop_run --rerun-failed || desktop_run --rerun-failed || status=1
  fi
fi
phase_done desktop

exit "$status"
