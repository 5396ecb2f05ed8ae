#!/usr/bin/env bash
# Installs what is missing, builds and starts Mivo.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)"

if [ -x build/bin/mivo ]; then
  exec build/bin/mivo "$@"
fi
echo "run: the build succeeded, but there is no application to start yet (build/bin/mivo is not built)."
