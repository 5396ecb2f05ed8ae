# Sourced by bench/apply_under_load.sh: the application a trial writes in,
# started in the private desktop (bench/private_desktop.sh) with a throwaway
# profile, and its field given the keyboard.
#
#   apply_app_start APP PAGE   starts APP (firefox, chromium, kwrite,
#                              gnome-text-editor, thunderbird): sets $app
#                              (the process whose tree is the application),
#                              $app_name (its name on the accessibility bus)
#                              and $app_field (what the probe is asked to
#                              read the field: `field f` for the page's
#                              element, `field` for the focused editable
#                              text); the browsers open PAGE, the editors an
#                              empty document
#   apply_app_focus MIVO       the application in front, Mivo's own windows
#                              out of the way and the field focused
#   apply_app_click            the field clicked again
#   signal_tree SIG PID        SIG to PID and every process it started
#   apply_app_end              the application gone: asked, then killed

apply_app_start() {
  local page="$2"
  APP_KIND="$1"
  case "$APP_KIND" in
    firefox)
      app_name=Firefox app_field="field f"
      quiet_firefox_profile "$work/firefox"
      firefox --no-remote --profile "$work/firefox" "file://$page" >/dev/null 2>&1 & ;;
    chromium)
      # A root session needs --no-sandbox; the renderer keeps its
      # accessibility tree only when forced.
      app_name=Chromium app_field="field f"
      chromium --user-data-dir="$work/chromium" --password-store=basic \
        --force-renderer-accessibility --no-first-run --no-default-browser-check \
        --no-sandbox --disable-gpu "file://$page" >/dev/null 2>&1 & ;;
    kwrite)
      # An empty file: a document, not the welcome page. Qt is on the bus
      # only when told.
      app_name=kwrite app_field=field
      : > "$work/note.txt"
      QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 kwrite "$work/note.txt" >/dev/null 2>&1 & ;;
    gnome-text-editor)
      # Its own process, not a window of an instance found on the bus.
      app_name=gnome-text-editor app_field=field
      gnome-text-editor --standalone >/dev/null 2>&1 & ;;
    thunderbird)
      app_name=Thunderbird app_field=field
      apply_thunderbird_profile "$work/thunderbird"
      MOZ_CRASHREPORTER_DISABLE=1 GNOME_ACCESSIBILITY=1 \
        thunderbird --no-remote --profile "$work/thunderbird" >/dev/null 2>&1 & ;;
    *)
      echo "apply_under_load: unknown application $APP_KIND" >&2
      exit 1 ;;
  esac
  app=$!
}

# The application's first visible window (the wrapper of chromium is a
# script that does not exec: the window is its child's). Thunderbird's
# main window, not the one it shows while it starts.
apply_app_window() {
  local pid w
  for _ in $(seq 60); do
    if [ "$APP_KIND" = thunderbird ]; then
      w="$(xdotool search --onlyvisible --name 'Mozilla Thunderbird$' 2>/dev/null | head -1)"
      [ -n "$w" ] && { echo "$w"; return 0; }
      sleep 1
      continue
    fi
    for pid in "$app" $(pgrep -P "$app") $(pgrep -P "$(pgrep -P "$app" | head -1)" 2>/dev/null); do
      w="$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | head -1)"
      [ -n "$w" ] && { echo "$w"; return 0; }
    done
    sleep 1
  done
  return 1
}

apply_app_focus() {
  local mivo="$1" window
  window="$(apply_app_window)" || { echo "apply_under_load: $APP_KIND showed no window" >&2; exit 1; }
  bench_window_in_front "$window" "$mivo"
  app_window="$window"
  [ "$APP_KIND" = thunderbird ] && apply_thunderbird_compose "$window"
  apply_app_click
}

# A click into the field: again when the probe finds no focused field.
apply_app_click() {
  case "$APP_KIND" in
    firefox)
      xdotool mousemove 400 128 click 1 ;;
    chromium)
      # Below the bar that warns of --no-sandbox.
      xdotool mousemove 400 170 click 1 ;;
    kwrite | gnome-text-editor)
      xdotool windowactivate --sync "$app_window" 2>/dev/null || true
      xdotool mousemove --window "$app_window" 200 200 click 1 ;;
    thunderbird)
      xdotool windowactivate --sync "$app_window" 2>/dev/null || true
      eval "$(xdotool getwindowgeometry --shell "$app_window")"
      xdotool mousemove --window "$app_window" $((WIDTH / 2)) $((HEIGHT - 100)) click 1 ;;
  esac
  sleep 0.5
}

# A local identity and no server: composing works, nothing is fetched.
# Plain text: the body's text is the message's, not embedded paragraphs.
apply_thunderbird_profile() {
  rm -rf "$1" && mkdir -p "$1"
  cat > "$1/user.js" <<'JS'
user_pref("mail.accountmanager.accounts", "account1");
user_pref("mail.accountmanager.defaultaccount", "account1");
user_pref("mail.accountmanager.localfoldersserver", "server1");
user_pref("mail.account.account1.server", "server1");
user_pref("mail.account.account1.identities", "id1");
user_pref("mail.server.server1.type", "none");
user_pref("mail.server.server1.hostname", "Local Folders");
user_pref("mail.server.server1.userName", "nobody");
user_pref("mail.server.server1.name", "Local Folders");
user_pref("mail.identity.id1.fullName", "Mivo Bench");
user_pref("mail.identity.id1.useremail", "mivo@example.invalid");
user_pref("mail.identity.id1.compose_html", false);
user_pref("mail.identity.id1.valid", true);
user_pref("mail.identity.id1.sig_file", "");
user_pref("mail.shell.checkDefaultClient", false);
user_pref("mail.provider.enabled", false);
user_pref("mailnews.start_page.enabled", false);
user_pref("mail.spellcheck.inline", false);
user_pref("datareporting.policy.dataSubmissionEnabled", false);
user_pref("toolkit.telemetry.reportingpolicy.firstRun", false);
user_pref("app.update.auto", false);
user_pref("mail.rights.version", 1);
JS
}

# A new message (Ctrl+N in the main window, again while it is not ready
# for keys): its window becomes $app_window, clicked in the body below the
# headers.
apply_thunderbird_compose() {
  local main="$1" compose="" _
  for _ in $(seq 15); do
    xdotool windowactivate --sync "$main" 2>/dev/null || true
    xdotool key ctrl+n
    sleep 4
    compose="$(xdotool search --onlyvisible --name '^Write' 2>/dev/null | head -1)"
    [ -n "$compose" ] && break
  done
  [ -n "$compose" ] || { echo "apply_under_load: no compose window" >&2; exit 1; }
  xdotool windowactivate --sync "$compose" 2>/dev/null || true
  sleep 2
  app_window="$compose"
}

signal_tree() {
  local child
  kill -"$1" "$2" 2>/dev/null || true
  for child in $(pgrep -P "$2" 2>/dev/null); do signal_tree "$1" "$child"; done
}

# KWrite sometimes outlives SIGTERM, and the desktop's end waits for it.
apply_app_end() {
  local _
  signal_tree TERM "$app"
  for _ in $(seq 10); do
    kill -0 "$app" 2>/dev/null || return 0
    sleep 0.5
  done
  signal_tree KILL "$app"
}
