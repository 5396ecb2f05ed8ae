#!/bin/sh
# Runs a test program inside a private session bus with its own GNOME
# Keyring, so the Secret Service tests never touch the user's keyring and
# parallel runs never share a daemon. Every folder is a fresh temporary one,
# removed afterwards.
#   with_keyring.sh [--no-login-keyring | --no-keyring] program [arguments]
# By default the keyring has an unlocked login collection; with
# --no-login-keyring the daemon runs with no collection at all; with
# --no-keyring no Secret Service runs on the bus, nor can one be started.
set -eu
keyring=login
case "${1:-}" in
  --no-login-keyring) keyring=none; shift ;;
  --no-keyring) keyring=absent; shift ;;
esac
scratch=$(mktemp -d "${TMPDIR:-/tmp}/mivo-keyring.XXXXXX")
trap 'rm -rf "$scratch"' EXIT INT TERM
mkdir -m 700 "$scratch/runtime" "$scratch/data" "$scratch/home"
# Without a keyring the bus must not start one on demand either: a session
# bus of our own with no service folders at all.
bus_config=""
if [ "$keyring" = absent ]; then
  bus_config="--config-file=$scratch/bus.conf"
  cat >"$scratch/bus.conf" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=$scratch/runtime</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
EOF
fi
status=0
env XDG_RUNTIME_DIR="$scratch/runtime" XDG_DATA_HOME="$scratch/data" HOME="$scratch/home" \
  MIVO_TEST_KEYRING="$keyring" dbus-run-session $bus_config -- sh -c '
    case "$MIVO_TEST_KEYRING" in
      login) printf mivo-test | gnome-keyring-daemon --unlock --components=secrets --daemonize >/dev/null ;;
      none) gnome-keyring-daemon --components=secrets --daemonize </dev/null >/dev/null ;;
    esac
    exec "$@"' sh "$@" || status=$?
exit "$status"
