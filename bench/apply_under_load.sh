#!/usr/bin/env bash
# How plain Applies turn out on busy cores, in a rich-text field of Firefox
# or another application (APPLY_APP): `mivo` end to end in a private X
# server with the accessibility bus, the whole desktop (X server, the
# application, Mivo) and N busy loops pinned to the same cores. Each trial
# types 東京で住んでいます。 into the empty field, waits for Mivo's box on
# で, rests the pointer on it until the panel shows Apply, puts a text of
# its own on the clipboard, clicks Apply and, 4 s later, reads the field's
# text, caret and selection (accessibility bus), the clipboard, the notices
# Mivo showed meanwhile and Mivo's log of that Apply (how long every device
# was held); then empties the field for the next trial.
#
# The field: in the browsers (firefox, chromium) a contenteditable element
# of a page of its own; in kwrite and gnome-text-editor the text view of an
# empty document; in thunderbird the body of a new plain-text message
# (bench/apply_apps.sh starts each with a throwaway profile).
#
# A trial is written right (東京に住んでいます。, the caret at the end,
# nothing selected, the clipboard the user's, no notice), not written with
# a true notice (the text as it was, caret, selection and clipboard too,
# and a notice that says nothing was written), or anything else: then it
# prints what differed and Mivo's log lines of that Apply. The end prints
# the count of each class and the holds (the longest, how many over 2.5 s).
# Every trial that was not written right prints Mivo's log lines of its
# Apply.
#
# With APPLY_STOP_SECONDS=S, the application (every process of it) is stopped
# 0.1 s after the click on Apply for S seconds and the user types xy at
# 0.3 s: a trial is written right when the field reads 東京に住んでいます。xy,
# not written with a true notice when it reads 東京で住んでいます。xy, and
# anything else (a key lost, or typed elsewhere) is counted apart; the
# field is read S + 3 s after the click (4 s at least).
#
# Usage: bench/apply_under_load.sh [trials] [busy-loops]
#   trials       Applies clicked, default 30
#   busy-loops   `sh -c 'while :; do :; done'` started once the desktop is
#                up, default 8 (0 for a run without load)
#   APPLY_APP=name         firefox (default), chromium, kwrite,
#                          gnome-text-editor or thunderbird
#   MIVO_BENCH_CORES=2,3   the cores of the desktop and the loops (default 0,1)
#   MIVO_BIN=path          another build of mivo (the one before a change)
#   APPLY_LOAD_KEEP=dir    keeps Mivo's log (each line after the time it was
#                          written), every trial's readings, the time of each
#                          click on Apply (clicks.txt) and a screenshot of
#                          each trial that was neither good end
# Mivo runs with its widgets on the accessibility bus
# (QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1), where the bench finds Apply and
# reads the notices; it needs no web service for checking.
set -uo pipefail
self="$(realpath "$0")"
cd "$(dirname "$self")/.."
TRIALS="${1:-30}"
HOGS="${2:-8}"
CORES="${MIVO_BENCH_CORES:-0,1}"
APP_KIND="${APPLY_APP:-firefox}"
MIVO_BIN="${MIVO_BIN:-build/bin/mivo}"
SENTENCE="東京で住んでいます。"
WRITTEN="東京に住んでいます。"
END=10 # the sentence's length: where the caret stands after it
STOP="${APPLY_STOP_SECONDS:-}"
TYPED=""
READ_AT=4
if [ -n "$STOP" ]; then
  TYPED="xy"
  END=12
  READ_AT="$(awk -v s="$STOP" 'BEGIN { print (s + 3 > 4 ? s + 3 : 4) }')"
fi

# Everything started from here on inherits the cores.
if [ -z "${APPLY_LOAD_PINNED:-}" ]; then
  exec env APPLY_LOAD_PINNED=1 taskset -c "$CORES" "$self" "$@"
fi

. bench/private_desktop.sh
. bench/apply_apps.sh
private_desktop_enter apply_under_load "$@"

[ -x "$MIVO_BIN" ] || { echo "apply_under_load: $MIVO_BIN is not built" >&2; exit 1; }
for tool in "$APP_KIND" xdotool xwininfo; do
  command -v "$tool" >/dev/null || { echo "apply_under_load: $tool is not installed" >&2; exit 1; }
done
/usr/bin/python3 -c 'import gi; gi.require_version("Atspi", "2.0"); gi.require_version("Gtk", "3.0")' ||
  { echo "apply_under_load: /usr/bin/python3 lacks gi with Atspi 2.0 and Gtk 3" >&2; exit 1; }

private_desktop_start apply_under_load
keep="${APPLY_LOAD_KEEP:-}"
[ -n "$keep" ] && mkdir -p "$keep"

# One line, empty: each trial's sentence is all the field holds.
cat > "$work/page.html" <<'HTML'
<!doctype html><meta charset="utf-8"><title>Apply under load</title>
<div id="f" contenteditable style="width:90%;height:4em;border:1px solid #888;font:20px sans-serif"></div>
HTML

log="$work/mivo.log"
# Each line of Mivo's log after the time it was written (seconds since the
# epoch), so that a trial's lines read against its click.
stamp_lines() { perl -MTime::HiRes=time -ne '$| = 1; printf "%.3f %s", time, $_'; }
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 MIVO_LOG_TYPED_TEXT=1 QT_QPA_PLATFORM=xcb "$MIVO_BIN" 2> >(stamp_lines > "$log") &
mivo=$!; pids+=($mivo)
sleep 3
apply_app_start "$APP_KIND" "$work/page.html"
pids+=($app)
# A run that ends early keeps Mivo's log too.
trap 'apply_app_end; [ -n "$keep" ] && cp "$log" "$keep/" 2>/dev/null; private_desktop_cleanup' EXIT

coproc PROBE { exec /usr/bin/python3 bench/apply_probe.py "$app_name"; }
pids+=($PROBE_PID)
# One question to the probe, its one-line answer in $reply.
ask() {
  echo "$1" >&"${PROBE[1]}"
  if ! read -r -t 60 reply <&"${PROBE[0]}"; then
    echo "apply_under_load: the probe did not answer \"$1\"" >&2
    exit 1
  fi
}
# A field of the probe's last answer, as text (JSON for lists).
get() {
  /usr/bin/python3 -c 'import json, sys
v = json.loads(sys.argv[1]).get(sys.argv[2])
print(v if isinstance(v, str) else json.dumps(v, ensure_ascii=False))' "$reply" "$1"
}

# Until the field reads $1, at most $2 seconds.
wait_field() {
  local until=$((SECONDS + $2))
  while [ "$SECONDS" -le "$until" ]; do
    ask "$app_field"
    [ "$(get text)" = "$1" ] && return 0
    sleep 0.3
  done
  return 1
}

apply_app_focus "$mivo"
# The sentence's Characters get keys of their own for the whole run; the
# application takes the new mapping in before the first trial.
ask "map $SENTENCE"
sleep 2
ask "type 0.1 $SENTENCE"
sleep 1
xdotool key ctrl+a BackSpace
sleep 1
# A toolkit may mark its text view focused a moment after the keys, or
# not after the first click.
for _ in 1 2 3; do
  wait_field "" 10 && break
  apply_app_click
done
[ "$(get text)" = "" ] || { echo "apply_under_load: the field did not empty: $reply" >&2; exit 1; }

for _ in $(seq "$HOGS"); do
  taskset -c "$CORES" sh -c 'while :; do :; done' &
  pids+=($!)
done
sleep 2

# Mivo's box windows: "x y width height" each.
boxes() {
  local w
  for w in $(xdotool search --onlyvisible --pid "$mivo" 2>/dev/null); do
    xwininfo -id "$w" 2>/dev/null | awk '
      /Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
      /Width:/ { w = $NF } /Height:/ { h = $NF }
      /Override Redirect State: yes/ { o = 1 }
      END { if (o && w < 200 && h < 100) print x, y, w, h }'
  done
}

empty_field() {
  local _
  xdotool mousemove 1200 1000
  for _ in 1 2 3; do
    xdotool key ctrl+a BackSpace
    wait_field "" 5 && break
  done
  # The box of a sentence not written goes with its text.
  for _ in $(seq 20); do
    [ -z "$(boxes)" ] && break
    sleep 0.3
  done
}

# Seconds since the click.
since() { awk -v a="$clicked" -v b="$(date +%s.%N)" 'BEGIN { print b - a }'; }

written=0 notWritten=0 other=0 setupMisses=0 typedAgain=0
holds=()
results="$work/trials.txt"
: > "$results"
trial=0 attempts=0
while [ "$trial" -lt "$TRIALS" ] && [ "$attempts" -lt $((TRIALS * 2)) ]; do
  attempts=$((attempts + 1))
  empty_field
  typed=0
  for _ in 1 2 3; do
    ask "type 0.06 $SENTENCE"
    if wait_field "$SENTENCE" 5; then typed=1; break; fi
    typedAgain=$((typedAgain + 1))
    empty_field
  done
  [ "$typed" = 1 ] || { echo "attempt $attempts: the sentence would not type: $reply"; setupMisses=$((setupMisses + 1)); continue; }

  box=""
  for _ in $(seq 50); do
    box="$(boxes | head -1)"
    [ -n "$box" ] && break
    sleep 0.3
  done
  [ -n "$box" ] || { echo "attempt $attempts: no box within 15 s"; setupMisses=$((setupMisses + 1)); continue; }
  read -r bx by bw bh <<<"$box"

  userClip="the user's clipboard $attempts $RANDOM"
  ask "own $userClip"
  xdotool mousemove $((bx + bw / 2)) $((by + bh / 2))
  apply=""
  for _ in $(seq 30); do
    ask apply
    [ "$reply" != "{}" ] && { apply="$(get x) $(get y)"; break; }
    sleep 0.3
  done
  [ -n "$apply" ] || { echo "attempt $attempts: no panel within 10 s"; setupMisses=$((setupMisses + 1)); continue; }
  read -r ax ay <<<"$apply"

  trial=$((trial + 1))
  from=$(($(stat -c %s "$log") + 1))
  xdotool mousemove "$ax" "$ay" click 1
  clicked=$(date +%s.%N)
  echo "trial $trial: Apply clicked at $clicked" >>"$work/clicks.txt"
  if [ -n "$STOP" ]; then
    # The application stops, the user types on, it answers again.
    (sleep 0.1; signal_tree STOP "$app"; sleep 0.2; xdotool type "$TYPED"
     sleep "$(awk -v s="$STOP" 'BEGIN { print s - 0.2 }')"; signal_tree CONT "$app") &
  fi
  # Notices while the Apply's 4 s run: looked for once the devices are
  # free again (or a second on, when nothing was held), so that the
  # questions do not take Mivo's time during the write.
  notices=""
  while awk -v t="$(since)" -v r="$READ_AT" 'BEGIN { exit !(t < r) }'; do
    slice="$(tail -c +"$from" "$log")"
    started=$(grep -c 'input: holding the keyboards' <<<"$slice")
    ended=$(grep -c 'input: every device held' <<<"$slice")
    if [ "$ended" -ge "$started" ] && { [ "$started" -gt 0 ] || awk -v t="$(since)" 'BEGIN { exit !(t > 1) }'; }; then
      ask notice
      n="$(get notices)"
      [ "$n" != "[]" ] && ! grep -qF "$n" <<<"$notices" && notices+="$n"
    fi
    sleep 0.3
  done
  ask "$app_field"
  state="$reply"
  text="$(get text)"; caret="$(get caret)"; selections="$(get selections)"
  ask clipboard
  clip="$(get text)"
  # The state is the one read above; the log goes on to the Apply's end
  # (5 s more at most), so that it tells what happened after.
  for _ in $(seq 17); do
    slice="$(tail -c +"$from" "$log")"
    [ "$(grep -c 'input: every device held' <<<"$slice")" -ge "$(grep -c 'input: holding the keyboards' <<<"$slice")" ] && break
    sleep 0.3
  done
  held="$(grep -o 'every device held [0-9]* ms' <<<"$slice" | awk '{print $4}' | paste -sd' ')"
  for h in $held; do holds+=("$h"); done

  selected=0
  [ "$(/usr/bin/python3 -c 'import json, sys; print(sum(1 for s, e in json.loads(sys.argv[1]) if e > s))' "$selections")" = 0 ] || selected=1
  differs=()
  [ "$caret" = "$END" ] || differs+=("caret at $caret")
  [ "$selected" = 0 ] || differs+=("selected $selections")
  [ "$clip" = "$userClip" ] || differs+=("clipboard \"$clip\"")
  if [ "$text" = "$WRITTEN$TYPED" ] && [ ${#differs[@]} -eq 0 ] && [ -z "$notices" ]; then
    outcome="written right"
    written=$((written + 1))
  elif [ "$text" = "$SENTENCE$TYPED" ] && [ ${#differs[@]} -eq 0 ] &&
    grep -q 'your text is as it was\|nothing was written' <<<"$notices"; then
    outcome="not written, notice $notices"
    notWritten=$((notWritten + 1))
  else
    case "$text" in
      "$WRITTEN") differs=("written" "${differs[@]}") ;;
      "$SENTENCE") differs=("as it was" "${differs[@]}") ;;
      *) differs=("text \"$text\"" "${differs[@]}") ;;
    esac
    outcome="OTHER: ${differs[*]}; notices ${notices:-none}"
    other=$((other + 1))
    [ -n "$keep" ] && import -window root "$keep/trial$trial.png" 2>/dev/null
  fi
  if [ -n "$held" ]; then heldSaid="devices held $held ms"; else heldSaid="devices not held"; fi
  echo "trial $trial: $outcome; $heldSaid"
  [ "$outcome" = "written right" ] || grep '\[Mivo\]' <<<"$slice" | sed 's/^/    /'
  printf 'trial %s\t%s\t%s\tclipboard=%s\tnotices=%s\theld=%s\n' "$trial" "$outcome" "$state" "$clip" "$notices" "$held" >> "$results"
done

kill -0 "$mivo" 2>/dev/null || { echo "apply_under_load: mivo ended early; its log:" >&2; tail -40 "$log" >&2; exit 1; }
load="$(cut -d' ' -f1-3 /proc/loadavg)"
built="$(date -u -r "$MIVO_BIN" '+%Y-%m-%d %H:%M:%S UTC')"
echo "$MIVO_BIN (built $built), cores $CORES, $HOGS busy loops (machine's load average $load): $trial Applies in $APP_KIND${STOP:+, stopped $STOP s during each}"
echo "  written right:                 $written"
echo "  not written, with a true notice: $notWritten"
echo "  anything else:                 $other"
echo "  attempts that reached no Apply: $setupMisses; sentences typed again: $typedAgain"
if [ ${#holds[@]} -gt 0 ]; then
  printf '%s\n' "${holds[@]}" | sort -n | awk '{ h[NR] = $1; if ($1 > 2500) over++ }
    END { printf "  holds: %d, median %d ms, longest %d ms, over 2500 ms: %d\n", NR, h[int((NR + 1) / 2)], h[NR], over }'
fi
[ -n "$keep" ] && cp "$log" "$results" "$work/clicks.txt" "$keep/" 2>/dev/null
exit 0
