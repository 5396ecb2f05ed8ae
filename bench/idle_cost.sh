#!/usr/bin/env bash
# What Mivo costs while it follows a text field: the process's CPU time over
# a phase with nothing typed, then over a phase of typing one character every
# 100 ms, then idle again over a field of about 25,000 Characters (with what
# the editor itself spends answering Mivo), in a private X server with the
# accessibility bus and the GTK test editor. Prints the share of one core for
# each phase.
#
# With `firefox-rich`, the phases are instead idle ones with a highlight
# shown in a rich-text field of Firefox whose caret is in the field's own
# text (a reply template's layout: text of its own beside its blocks)
# after 200, 40 and no lines of blocks, Mivo's share beside Firefox's
# (every process of it).
#
# With `firefox-kept`, the phases are idle ones beside a rich-text field
# of Firefox of 1,500 blocks under which the user wrote K lines, each with
# an error kept boxed, the caret on a new line below them: what the kept
# boxes cost while nothing moves, and how many of Mivo's windows stand.
#
# Usage: bench/idle_cost.sh [seconds-per-phase] [firefox-rich|firefox-kept]
#        (default 60; needs a build; MIVO_BIN=path measures another build
#        of mivo; with firefox-rich, IDLE_COST_LINES="200 40 0" the
#        numbers of lines, IDLE_COST_SHOT=prefix a screenshot of each
#        phase, IDLE_COST_KEEP=file Mivo's log; with firefox-kept,
#        IDLE_COST_KEPT="5 10 20" the numbers of lines boxed)
set -euo pipefail
cd "$(dirname "$0")/.."
PHASE="${1:-60}"
MODE="${2:-}"
# Another build of mivo to measure (the one before a change, say).
MIVO_BIN="${MIVO_BIN:-build/bin/mivo}"

. bench/private_desktop.sh
private_desktop_enter idle_cost "$@"

for tool in "$MIVO_BIN" build/bin/mivo-test-editor; do
  [ -x "$tool" ] || { echo "idle_cost: $tool is not built (scripts/test.sh builds it)" >&2; exit 1; }
done

private_desktop_start idle_cost

hz="$(getconf CLK_TCK)"
share() { awk -v t="$1" -v hz="$hz" -v s="$PHASE" 'BEGIN { printf "%.2f %% of one core", 100 * t / hz / s }'; }

if [ "$MODE" = firefox-kept ]; then
  command -v firefox >/dev/null || { echo "idle_cost: firefox is not installed" >&2; exit 1; }
  QT_QPA_PLATFORM=xcb "$MIVO_BIN" 2>"$work/mivo.log" & mivo=$!; pids+=($mivo)
  sleep 3
  bench/kept_boxes_page.sh 1500 > "$work/kept.html"
  for kept in ${IDLE_COST_KEPT:-5 10 20}; do
    quiet_firefox_profile "$work/firefox"
    firefox --no-remote --profile "$work/firefox" "file://$work/kept.html" >/dev/null 2>&1 &
    browser=$!; pids+=($browser)
    bench_kept_lines "$browser" "$mivo" "$kept"
    [ -n "${IDLE_COST_SHOT:-}" ] && import -window root "$IDLE_COST_SHOT-kept$kept.png"
    start="$(process_tree_ticks "$mivo")"; browserStart="$(process_tree_ticks "$browser")"; sleep "$PHASE"
    used=$(( $(process_tree_ticks "$mivo") - start )); browserUsed=$(( $(process_tree_ticks "$browser") - browserStart ))
    echo "idle, $kept lines kept boxed under 1,500 blocks (${PHASE} s): mivo $(share "$used"), firefox $(share "$browserUsed"); $(bench_box_windows "$mivo") box windows"
    kill "$browser" 2>/dev/null || true; wait "$browser" 2>/dev/null || true
    sleep 2
  done
  kill -0 "$mivo" 2>/dev/null || { echo "idle_cost: mivo ended early; its log:" >&2; cat "$work/mivo.log" >&2; exit 1; }
  [ -n "${IDLE_COST_KEEP:-}" ] && cp "$work/mivo.log" "$IDLE_COST_KEEP"
  exit 0
fi

if [ "$MODE" = firefox-rich ]; then
  command -v firefox >/dev/null || { echo "idle_cost: firefox is not installed" >&2; exit 1; }
  QT_QPA_PLATFORM=xcb "$MIVO_BIN" 2>"$work/mivo.log" & mivo=$!; pids+=($mivo)
  sleep 3
  for lines in ${IDLE_COST_LINES:-200 40 0}; do
    # The lines are blocks, as Return makes them; the field's own text
    # after them is a paragraph whose last sentence holds the error, the
    # caret at its end, where the 。 that finishes it is typed. Long enough
    # (115 Characters) that a build which checks the field's whole text,
    # its object characters too, still finds it Japanese beside 200 lines
    # and shows the box: the cost compared is that of a box shown.
    python3 - "$lines" > "$work/page$lines.html" <<'PY'
import sys
n = int(sys.argv[1])
line = "今日は良い天気なので、公園を散歩しました。"
blocks = "".join("<div>" + line + "</div>" for _ in range(n))
print('<!doctype html><meta charset="utf-8"><title>Idle cost</title>'
      '<div id="f" contenteditable style="width:90%;height:80vh;overflow:auto;font:20px sans-serif">'
      + blocks + line * 5 + '東京で住んでいます</div>')
PY
    quiet_firefox_profile "$work/firefox"
    firefox --no-remote --profile "$work/firefox" "file://$work/page$lines.html" >/dev/null 2>&1 &
    browser=$!; pids+=($browser)
    window="$(xdotool search --sync --pid "$browser" --onlyvisible | head -1)"
    bench_window_in_front "$window" "$mivo"
    # A click into the field, and the caret to its end.
    xdotool mousemove 400 128 click 1
    sleep 0.5
    xdotool key ctrl+End
    xdotool type "。"
    # The pointer off the box: no panel.
    xdotool mousemove 1200 1000
    # The check's box shows within a second; Firefox blinks its caret on,
    # which every phase pays alike.
    sleep 4
    [ -n "${IDLE_COST_SHOT:-}" ] && import -window root "$IDLE_COST_SHOT-$lines.png"
    start="$(process_tree_ticks "$mivo")"; browserStart="$(process_tree_ticks "$browser")"; sleep "$PHASE"
    used=$(( $(process_tree_ticks "$mivo") - start )); browserUsed=$(( $(process_tree_ticks "$browser") - browserStart ))
    echo "idle, highlight shown, caret in the own text beside $lines lines (${PHASE} s): mivo $(share "$used"), firefox $(share "$browserUsed")"
    kill "$browser" 2>/dev/null || true; wait "$browser" 2>/dev/null || true
    sleep 2
  done
  kill -0 "$mivo" 2>/dev/null || { echo "idle_cost: mivo ended early; its log:" >&2; cat "$work/mivo.log" >&2; exit 1; }
  [ -n "${IDLE_COST_KEEP:-}" ] && cp "$work/mivo.log" "$IDLE_COST_KEEP"
  exit 0
fi

build/bin/mivo-test-editor --title "Idle cost" >/dev/null 2>&1 & editor=$!; pids+=($editor)
QT_QPA_PLATFORM=xcb "$MIVO_BIN" 2>"$work/mivo.log" & mivo=$!; pids+=($mivo)
sleep 4
window="$(xdotool search --sync --name "Idle cost" | head -1)"
xdotool windowactivate --sync "$window"
xdotool type --delay 50 "今日は"
sleep 3

ticks() { awk '{print $14 + $15}' "/proc/${1:-$mivo}/stat"; }

start="$(ticks)"; editorStart="$(ticks "$editor")"; sleep "$PHASE"
idle=$(( $(ticks) - start )); editorIdle=$(( $(ticks "$editor") - editorStart ))
count=$(( PHASE * 10 ))
text="$(for _ in $(seq "$count"); do printf 'あ'; done)"
start="$(ticks)"; xdotool type --delay 100 "$text"; typing=$(( $(ticks) - start ))

# A second editor with a long document in front: about 25,000 Characters.
large="$(for _ in $(seq 2084); do printf '今日は雨が降りそうです。'; done)"
build/bin/mivo-test-editor --title "Idle cost large" --text "$large" >/dev/null 2>&1 &
largeEditor=$!; pids+=($largeEditor)
largeWindow="$(xdotool search --sync --name "Idle cost large" | head -1)"
xdotool windowactivate --sync "$largeWindow"
xdotool key ctrl+End
# GTK stops blinking the caret 10 s after the last key: the editor's own
# drawing is not what is measured.
sleep 12
start="$(ticks)"; editorStart="$(ticks "$largeEditor")"; sleep "$PHASE"
largeIdle=$(( $(ticks) - start )); largeEditorIdle=$(( $(ticks "$largeEditor") - editorStart ))

kill -0 "$mivo" 2>/dev/null || { echo "idle_cost: mivo ended early; its log:" >&2; cat "$work/mivo.log" >&2; exit 1; }
echo "idle   (${PHASE} s, nothing typed):          mivo $(share "$idle"), editor $(share "$editorIdle")"
echo "typing (${PHASE} s, one character per 100 ms): mivo $(share "$typing")"
echo "idle over 25,000 Characters (${PHASE} s):    mivo $(share "$largeIdle"), editor $(share "$largeEditorIdle")"
