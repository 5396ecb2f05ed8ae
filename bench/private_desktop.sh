# Sourced by the benchmarks that drive real applications: a private X
# server and session bus with the accessibility bus on, openbox, a fresh
# home and Mivo's onboarding done, all gone when the script ends.
#
#   private_desktop_enter NAME "$@"   first: re-runs the script inside
#                                     xvfb-run and dbus-run-session
#   private_desktop_start NAME        then: sets $work (a scratch folder),
#                                     $pids (killed at the end) and the
#                                     session; needs at-spi2-core and openbox
#   quiet_firefox_profile DIR         a fresh Firefox profile in DIR: no
#                                     first-run pages, updates or telemetry
#   process_tree_ticks PID            CPU ticks (user + system) of a process
#                                     and of every process it started
#   bench_click_into_page BROWSER MIVO
#                                     the browser in front, a click into its
#                                     page's field
#   bench_kept_lines BROWSER MIVO K   in the browser's page of blocks, K new
#                                     lines below the last, each with an
#                                     error that Mivo boxes, the caret on
#                                     the line after them
#   bench_box_windows MIVO            Mivo's windows mapped over the others
#                                     (highlights), as the X server has them

private_desktop_enter() {
  local name="$1"
  shift
  if [ -z "${MIVO_PRIVATE_DESKTOP:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" \
      dbus-run-session -- env MIVO_PRIVATE_DESKTOP="$name" "$0" "$@"
  fi
}

private_desktop_cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  # An editor may still be saving its session into the folder.
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}

private_desktop_start() {
  local name="$1" launcher="" candidate
  for candidate in /usr/libexec/at-spi-bus-launcher /usr/lib/at-spi2-core/at-spi-bus-launcher; do
    [ -x "$candidate" ] && launcher="$candidate"
  done
  [ -n "$launcher" ] || { echo "$name: at-spi-bus-launcher not found" >&2; exit 1; }

  work="$(mktemp -d)"
  pids=()
  trap private_desktop_cleanup EXIT

  export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run" HOME="$work/home"
  mkdir -p "$XDG_CONFIG_HOME/Mivo" "$HOME" && mkdir -m 700 "$XDG_RUNTIME_DIR"
  echo '{"onboarding.hasCompleted": true, "onboarding.schemaVersion": 1}' \
    > "$XDG_CONFIG_HOME/Mivo/defaults.json"

  "$launcher" --launch-immediately & pids+=($!)
  openbox --sm-disable >/dev/null 2>&1 & pids+=($!)
  sleep 1
  dbus-send --session --dest=org.a11y.Bus /org/a11y/bus org.freedesktop.DBus.Properties.Set \
    string:org.a11y.Status string:IsEnabled variant:boolean:true
  # Late key releases under load turn into auto-repeat.
  xset r off 2>/dev/null || true
}

# A browser's content processes do the work of its pages (and answer
# Mivo's calls): a process is counted with all it started.
process_tree_ticks() {
  local pid="$1" total child
  total="$(awk '{print $14 + $15}' "/proc/$pid/stat" 2>/dev/null || echo 0)"
  for child in $(pgrep -P "$pid" 2>/dev/null); do
    total=$(( total + $(process_tree_ticks "$child") ))
  done
  echo "$total"
}

quiet_firefox_profile() {
  rm -rf "$1" && mkdir -p "$1"
  cat > "$1/user.js" <<'JS'
user_pref("browser.shell.checkDefaultBrowser", false);
user_pref("browser.startup.homepage_override.mstone", "ignore");
user_pref("datareporting.policy.dataSubmissionEnabled", false);
user_pref("toolkit.telemetry.reportingpolicy.firstRun", false);
user_pref("app.update.enabled", false);
user_pref("browser.aboutwelcome.enabled", false);
JS
}

# A window in front with Mivo's own out of the way: without a tray Mivo's
# settings window opens once, and may come up over it.
bench_window_in_front() {
  local window="$1" mivo="$2" own
  xdotool windowactivate --sync "$window" 2>/dev/null || true
  sleep 6
  for own in $(xdotool search --onlyvisible --pid "$mivo" 2>/dev/null); do
    xdotool windowminimize "$own" 2>/dev/null || true
  done
  xdotool windowactivate --sync "$window" 2>/dev/null || true
}

# The browser's window in front, and a click into its page's field (at
# 400,128).
bench_click_into_page() {
  local browser="$1" mivo="$2" window
  window="$(xdotool search --sync --pid "$browser" --onlyvisible | head -1)"
  bench_window_in_front "$window" "$mivo"
  xdotool mousemove 400 128 click 1
  sleep 0.5
}

bench_kept_lines() {
  local browser="$1" mivo="$2" kept="$3" i
  bench_click_into_page "$browser" "$mivo"
  xdotool key ctrl+End Return
  # The browser's first keys after a keyboard remapping may go astray.
  xdotool type --delay 100 "あ"
  sleep 1
  xdotool key BackSpace
  sleep 0.5
  # A line and a Return at a time, as people write.
  for i in $(seq "$kept"); do
    xdotool type --delay 60 "東京で住んでいます。"
    sleep 0.2
    xdotool key Return
    sleep 0.4
  done
  # The pointer off the boxes: no panel. Every check has drawn by then.
  xdotool mousemove 1200 1000
  sleep 4
}

bench_box_windows() {
  local count=0 w
  for w in $(xdotool search --onlyvisible --pid "$1" 2>/dev/null); do
    xwininfo -id "$w" 2>/dev/null | grep -q 'Override Redirect State: yes' && count=$((count + 1))
  done
  echo "$count"
}
