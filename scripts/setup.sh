#!/usr/bin/env bash
# Installs every dependency Mivo needs on a Debian 12 machine. Idempotent:
# when everything is already present it returns without touching apt.
set -euo pipefail

cd "$(dirname "$0")/.."

PACKAGES=(
  build-essential cmake ninja-build ccache pkg-config
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libmecab-dev mecab mecab-ipadic-utf8
  libicu-dev nlohmann-json3-dev
  qt6-base-dev qt6-svg-dev
  libatspi2.0-dev at-spi2-core
  libx11-dev libxtst-dev libxi-dev
  libsecret-1-dev gnome-keyring
  libssl-dev libcpp-httplib-dev
  fonts-noto-cjk
  xvfb xauth dbus dbus-x11 openbox libgtk-3-dev xdotool xdg-utils libglib2.0-bin
  libgtk-4-dev firefox-esr chromium
  imagemagick curl
  libreoffice-writer libreoffice-gtk3 thunderbird gnome-text-editor kwrite
)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

missing=()
for pkg in "${PACKAGES[@]}"; do
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
