#!/usr/bin/env bash
# Installs what building and running Mivo needs (not the test bench, which
# scripts/test.sh adds), builds Mivo and the stand-in web API, and starts
# Mivo. Mivo talks to a web service only at the address that MIVO_API_URL
# names. When it is not set, this script starts the stand-in (mivo-api-stub)
# on a free loopback port of its own, waits until it answers, and hands its
# address to Mivo; the stand-in stops when Mivo does.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ -z "${DISPLAY:-}" ]; then
  echo "run: Mivo needs an X11 session (DISPLAY is not set); on Wayland start it under XWayland." >&2
  exit 1
fi

scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
# Only what this script starts: the tests are built by scripts/test.sh.
cmake --build build -j "$(nproc)" --target mivo mivo-api-stub

stub_pid=""
stub_out=""
cleanup() {
  if [ -n "$stub_pid" ]; then
    kill "$stub_pid" 2>/dev/null || true
    wait "$stub_pid" 2>/dev/null || true
  fi
  if [ -n "$stub_out" ]; then
    rm -f "$stub_out"
  fi
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

stand_in_failed() {
  echo "run: the stand-in web API (mivo-api-stub) could not be started: $1" >&2
  echo "run: set MIVO_API_URL to a service's address, or look at the message above." >&2
  exit 1
}
# The stand-in has ended: its status, with what it said above.
stand_in_ended() {
  local status=0
  wait "$stub_pid" 2>/dev/null || status=$?
  stub_pid=""
  stand_in_failed "$1 with status $status"
}

if [ -z "${MIVO_API_URL:-}" ]; then
  stub_out=$(mktemp "${TMPDIR:-/tmp}/mivo-api-stub.XXXXXX")
  # Port 0: the system picks a free port, which the stand-in then holds. Its
  # accounts stay in the user's state folder, so a sign-in outlives the run.
  build/bin/mivo-api-stub --port 0 --keep-accounts >"$stub_out" &
  stub_pid=$!
  port=""
  for _ in $(seq 100); do
    port=$(head -n 1 "$stub_out" 2>/dev/null || true)
    [ -n "$port" ] && break
    kill -0 "$stub_pid" 2>/dev/null || stand_in_ended "it ended at once"
    sleep 0.1
  done
  case "$port" in
    '' | *[!0-9]*) stand_in_failed "it did not say which port it listens on" ;;
  esac
  address="http://127.0.0.1:$port"
  answered=""
  for _ in $(seq 100); do
    if curl -fsS -o /dev/null --max-time 1 "$address/v1/health" 2>/dev/null; then
      answered=yes
      break
    fi
    kill -0 "$stub_pid" 2>/dev/null || stand_in_ended "it ended before answering"
    sleep 0.1
  done
  [ -n "$answered" ] || stand_in_failed "it does not answer at $address"
  echo "run: the stand-in web API answers at $address"
  export MIVO_API_URL="$address"
fi

# Qt's xcb platform: Mivo works over X11 (XWayland included).
QT_QPA_PLATFORM=xcb build/bin/mivo "$@"
