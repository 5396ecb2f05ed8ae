#!/bin/sh
# Runs a test program inside a private session bus with its own unlocked
# GNOME Keyring, so the Secret Service tests never touch the user's keyring
# and parallel runs never share a daemon. Every folder is a fresh temporary
# one, removed afterwards.
set -eu
scratch=$(mktemp -d "${TMPDIR:-/tmp}/mivo-keyring.XXXXXX")
trap 'rm -rf "$scratch"' EXIT INT TERM
mkdir -m 700 "$scratch/runtime" "$scratch/data" "$scratch/home"
status=0
env XDG_RUNTIME_DIR="$scratch/runtime" XDG_DATA_HOME="$scratch/data" HOME="$scratch/home" \
  dbus-run-session -- sh -c '
    printf mivo-test | gnome-keyring-daemon --unlock --components=secrets --daemonize >/dev/null
    exec "$@"' sh "$@" || status=$?
exit "$status"
