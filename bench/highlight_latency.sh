#!/usr/bin/env bash
# How long after the last key of a sentence its check comes, and whether
# the text Mivo keeps of the field ever held what was never typed: Japanese
# sentences with a mistake each, typed one Character every 0.1 s (or as
# asked) into a real editor in a private X server with the accessibility
# bus, the field emptied with Ctrl+A BackSpace between them
# (bench/type_sentences.py). Mivo's log
# (with typed text, MIVO_LOG_TYPED_TEXT=1) is stamped line by line as it
# comes. Prints the time from each sentence's last key to its "analyze:
# FIRING" line (median, 90th percentile, maximum, how many over 0.85 s) and
# every text Mivo logged that the field never held.
#
# Usage: bench/highlight_latency.sh [rounds] [editor] [gap]
#   rounds   default 10, of four sentences each
#   editor   mousepad (default) or test-editor (our GTK 3 text view)
#   gap      seconds between two keys, default 0.1
#   MIVO_BIN=/path/to/other/mivo measures another build.
set -euo pipefail
cd "$(dirname "$0")/.."
ROUNDS="${1:-10}"
EDITOR_NAME="${2:-mousepad}"
GAP="${3:-0.1}"
MIVO_BIN="${MIVO_BIN:-build/bin/mivo}"

. bench/private_desktop.sh
private_desktop_enter highlight_latency "$@"

[ -x "$MIVO_BIN" ] || { echo "highlight_latency: $MIVO_BIN is not built" >&2; exit 1; }

private_desktop_start highlight_latency

: > "$work/document.txt"
case "$EDITOR_NAME" in
  test-editor) editor_cmd=(build/bin/mivo-test-editor --title "Highlight latency") ;;
  mousepad)
    command -v mousepad >/dev/null || { echo "highlight_latency: mousepad is not installed" >&2; exit 1; }
    editor_cmd=(mousepad "$work/document.txt") ;;
  *) echo "highlight_latency: unknown editor $EDITOR_NAME" >&2; exit 1 ;;
esac

# Each line of Mivo's log with the time it came.
MIVO_LOG_TYPED_TEXT=1 QT_QPA_PLATFORM=xcb "$MIVO_BIN" 2> >(python3 -u -c '
import sys, time
for line in sys.stdin:
    sys.stdout.write("%.3f %s" % (time.time(), line))
' > "$work/mivo.log") >/dev/null &
pids+=($!)
sleep 3
"${editor_cmd[@]}" >/dev/null 2>&1 & editor=$!; pids+=($editor)
sleep 3
window="$(xdotool search --sync --pid "$editor" --onlyvisible | head -1)"
xdotool windowactivate --sync "$window" || true
xdotool mousemove --window "$window" 200 150 click 1
sleep 2

python3 bench/type_sentences.py "$GAP" 2.0 "$ROUNDS" \
  "東京で住んでいます。" "駅の近くで住んでいます。" "私は学生ですです。" "昨日は雨が降りましたです。" \
  > "$work/keys.log"
sleep 1
[ -n "${HIGHLIGHT_LATENCY_KEEP:-}" ] && cp "$work/keys.log" "$work/mivo.log" "$HIGHLIGHT_LATENCY_KEEP/"

python3 - "$work/keys.log" "$work/mivo.log" <<'PY'
import re, sys
sentences = []
for line in open(sys.argv[1], encoding="utf-8"):
    word, _, rest = line.rstrip("\n").partition(" ")
    if word == "sentence":
        sentences.append({"text": rest, "keys": []})
    elif word == "key":
        sentences[-1]["keys"].append(float(rest))
    elif word == "emptied":
        sentences[-1]["emptied"] = float(rest)
events = []
for line in open(sys.argv[2], encoding="utf-8", errors="replace"):
    m = re.match(r"([\d.]+) \[Mivo\] (.*)", line)
    if m:
        events.append((float(m.group(1)), m.group(2)))
latencies, unchecked, wrong = [], 0, []
for s in sentences:
    if "emptied" not in s:
        continue
    first, last, end = s["keys"][0], s["keys"][-1], s["emptied"]
    fired = [t for t, e in events if last <= t <= end and e.startswith("analyze: FIRING")]
    if fired:
        latencies.append(fired[0] - last)
    else:
        unchecked += 1
    kept = [m.group(1) for t, e in events if first <= t <= end
            for m in [re.search(r'value changed [\d>-]+ chars: "(.*)"$', e)] if m]
    never = [k for k in kept if not s["text"].startswith(k)]
    if never:
        wrong.append((s["text"], never[0], len(never)))
latencies.sort()
n = len(latencies)
print("sentences typed: %d, checked: %d, not checked: %d" % (len(sentences), n, unchecked))
if n:
    print("last key to check: median %.2f s, 90th percentile %.2f s, max %.2f s; over 0.85 s: %d"
          % (latencies[n // 2], latencies[min(n - 1, int(n * 0.9))], latencies[-1],
             sum(1 for x in latencies if x > 0.85)))
print("sentences whose kept text held what was never typed: %d" % len(wrong))
for typed, first, count in wrong:
    print("  %s  kept %s first, %d such texts" % (typed, first, count))
PY
