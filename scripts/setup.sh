#!/usr/bin/env bash
# Installs the Debian 12 packages (and the pinned npm packages) Mivo needs.
# Usage: scripts/setup.sh [--tests] [--bench]
#   (no option)  what building and running Mivo needs: scripts/run.sh
#   --tests      adds the test bench: GoogleTest, a private X server and
#                window managers (openbox; xfwm4 for the focus rows), and
#                the applications the desktop tests drive (Firefox,
#                Chromium, LibreOffice Writer, Thunderbird, KWrite, GNOME
#                Text Editor): scripts/test.sh
#   --bench      adds what the benchmarks need (bench/run.sh): Google
#                Benchmark, Debian's Japanese manual pages as a corpus, and
#                Python's GObject bindings for the Apply bench's probe
# Idempotent: when everything asked for is present it returns without
# touching apt.
set -euo pipefail

cd "$(dirname "$0")/.."

# Building Mivo and the stand-in web API, and running them.
RUN_PACKAGES=(
  build-essential cmake ninja-build ccache pkg-config
  libmecab-dev mecab mecab-ipadic-utf8
  libicu-dev nlohmann-json3-dev
  qt6-base-dev qt6-svg-dev
  libatspi2.0-dev at-spi2-core
  libx11-dev libxtst-dev libxi-dev
  libsecret-1-dev
  libssl-dev libcpp-httplib-dev
  fonts-noto-cjk
  xdg-utils curl
)
# What the tests add.
TEST_PACKAGES=(
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  gnome-keyring
  xvfb xauth dbus dbus-x11 openbox xfwm4 libgtk-3-dev xdotool libglib2.0-bin
  libgtk-4-dev imagemagick
  firefox-esr chromium
  libreoffice-writer libreoffice-gtk3 thunderbird gnome-text-editor kwrite
)
# What the benchmarks add.
BENCH_PACKAGES=(
  libbenchmark-dev manpages-ja mousepad python3 valgrind
  python3-gi gir1.2-atspi-2.0 gir1.2-gtk-3.0
)

PACKAGES=("${RUN_PACKAGES[@]}")
for option in "$@"; do
  case "$option" in
    --tests) PACKAGES+=("${TEST_PACKAGES[@]}") ;;
    --bench) PACKAGES+=("${BENCH_PACKAGES[@]}") ;;
    *)
      echo "setup: unknown option '$option' (usage: scripts/setup.sh [--tests] [--bench])" >&2
      exit 2
      ;;
  esac
done

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

missing=()
for pkg in $(printf '%s\n' "${PACKAGES[@]}" | awk '!seen[$0]++'); do
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$pkg")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  # One install first for speed; if it fails, go package by package so the
  # failing one is named.
  if ! $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"; then
    for pkg in "${missing[@]}"; do
      if ! $SUDO apt-get install -y -q --no-install-recommends "$pkg"; then
        echo "setup: FAILED to install package: $pkg" >&2
        exit 1
      fi
    done
  fi
fi

# textlint for the optional grammar bridge; pinned by the committed lock file.
if [ -f tools/textlint/package-lock.json ]; then
  if [ ! -d tools/textlint/node_modules ] || [ tools/textlint/package-lock.json -nt tools/textlint/node_modules ]; then
    if command -v npm >/dev/null 2>&1; then
      echo "setup: installing textlint (npm ci)"
      if ! (cd tools/textlint && npm ci --no-audit --no-fund --loglevel=error); then
        echo "setup: FAILED to install the textlint package (npm ci in tools/textlint)" >&2
        exit 1
      fi
      touch tools/textlint/node_modules
    else
      echo "setup: npm not found; the textlint bridge stays off" >&2
    fi
  fi
fi
