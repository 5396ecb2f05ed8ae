#!/bin/sh
# Runs a test program inside a private session bus with its own GNOME
# Keyring, so the Secret Service tests never touch the user's keyring and
# parallel runs never share a daemon. Every folder is a fresh temporary one,
# removed afterwards.
#   with_keyring.sh [--no-login-keyring | --no-keyring] program [arguments]
# By default the keyring has an unlocked login collection; with
# --no-login-keyring the daemon runs with no collection at all; with
# --no-keyring no Secret Service runs on the bus.
set -eu
keyring=login
case "${1:-}" in
  --no-login-keyring) keyring=none; shift ;;
  --no-keyring) keyring=absent; shift ;;
esac
scratch=$(mktemp -d "${TMPDIR:-/tmp}/mivo-keyring.XXXXXX")
trap 'rm -rf "$scratch"' EXIT INT TERM
mkdir -m 700 "$scratch/runtime" "$scratch/data" "$scratch/home"
status=0
env XDG_RUNTIME_DIR="$scratch/runtime" XDG_DATA_HOME="$scratch/data" HOME="$scratch/home" \
  MIVO_TEST_KEYRING="$keyring" dbus-run-session -- sh -c '
    case "$MIVO_TEST_KEYRING" in
      login) printf mivo-test | gnome-keyring-daemon --unlock --components=secrets --daemonize >/dev/null ;;
      none) gnome-keyring-daemon --components=secrets --daemonize </dev/null >/dev/null ;;
    esac
    exec "$@"' sh "$@" || status=$?
exit "$status"
