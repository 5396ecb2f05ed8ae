#!/usr/bin/env bash
# Installs what is missing, builds and starts Mivo. Without MIVO_API_URL the
# stand-in web API (mivo-api-stub) runs on 127.0.0.1:8787 for as long as
# Mivo runs, so sign-in and rewriting work on one machine.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ -z "${DISPLAY:-}" ]; then
  echo "run: Mivo needs an X11 session (DISPLAY is not set); on Wayland start it under XWayland." >&2
  exit 1
fi

scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)"

stub_pid=""
cleanup() {
  if [ -n "$stub_pid" ]; then
    kill "$stub_pid" 2>/dev/null || true
    wait "$stub_pid" 2>/dev/null || true
  fi
}
trap cleanup EXIT INT TERM

if [ -z "${MIVO_API_URL:-}" ] && [ -x build/bin/mivo-api-stub ]; then
  build/bin/mivo-api-stub --port 8787 &
  stub_pid=$!
fi

# Qt's xcb platform: Mivo works over X11 (XWayland included).
QT_QPA_PLATFORM=xcb build/bin/mivo "$@"
