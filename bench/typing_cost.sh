#!/usr/bin/env bash
# What following a typist costs, per keystroke: the same typing (20 keys a
# second, each key due at its own time from the start: bench/pace_keys.py)
# into a real editor once without Mivo and once with it, in a private X
# server with the accessibility bus, into an empty document or one of a
# given length. Prints the rate the keys really went at and, per
# keystroke, Mivo's CPU time, the editor's CPU time alone and with Mivo
# (from /proc/<pid>/stat, user + system), the calls Mivo made through its
# accessibility port by kind (MIVO_AX_CALL_COUNTS), and the method calls it
# sent through the accessibility bus's daemon (dbus-monitor), by receiver
# and member. Calls to applications that offer a direct connection (GTK,
# Qt) go over it and are not seen by dbus-monitor: the port's counts are
# the ones that tell what the editor is asked.
#
# Usage: bench/typing_cost.sh [seconds-of-typing] [editor] [document-characters]
#   seconds     default 30 (600 keystrokes)
#   editor      test-editor (default: our GTK 3 text view, as gedit and
#               Mousepad have it), mousepad, gedit, gnome-text-editor,
#               firefox (a textarea), firefox-rich (a rich-text field of a
#               block per line) or writer (LibreOffice, a paragraph per
#               line) when installed
#   document    default 0: the keys go into an empty field; otherwise into
#               the end of a field holding about that many Characters of
#               Japanese prose, one sentence a line
# TYPING_COST_KEPT=K (firefox-rich, writer): before the keys, K lines are
# written below the document, each with an error (boxed and kept while
# Mivo runs), and the keys go into the line after them.
# Needs a build (build/bin/mivo, build/bin/mivo-test-editor).
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_TYPED="${1:-30}"
# Another build of mivo to measure (the one before a change, say).
MIVO_BIN="${MIVO_BIN:-build/bin/mivo}"
EDITOR_NAME="${2:-test-editor}"
DOCUMENT_CHARS="${3:-0}"
RATE=20

. bench/private_desktop.sh
private_desktop_enter typing_cost "$@"

for tool in "$MIVO_BIN" build/bin/mivo-test-editor; do
  [ -x "$tool" ] || { echo "typing_cost: $tool is not built" >&2; exit 1; }
done

private_desktop_start typing_cost

# The document: sentences of about 20 Characters, one a line, up to the
# length asked for.
document="$work/document.txt"
: > "$document"
if [ "$DOCUMENT_CHARS" -gt 0 ]; then
  python3 - "$DOCUMENT_CHARS" > "$document" <<'PY'
import sys
n = int(sys.argv[1])
lines = ["今日は良い天気なので、公園を散歩しました。", "明日は雨が降るそうです。", "駅の近くに新しい店ができた。"]
out, i = [], 0
while sum(len(l) + 1 for l in out) < n:
    out.append(lines[i % len(lines)])
    i += 1
sys.stdout.write("\n".join(out)[:n])
PY
fi

case "$EDITOR_NAME" in
  test-editor) editor_cmd=(build/bin/mivo-test-editor --title "Typing cost" --text "$(cat "$document")") ;;
  mousepad | gedit | gnome-text-editor)
    command -v "$EDITOR_NAME" >/dev/null || { echo "typing_cost: $EDITOR_NAME is not installed" >&2; exit 1; }
    editor_cmd=("$EDITOR_NAME" "$document") ;;
  writer)
    command -v soffice >/dev/null || { echo "typing_cost: soffice is not installed" >&2; exit 1; }
    python3 - "$document" > "$work/document.fodt" <<'PY'
import html, sys
lines = open(sys.argv[1], encoding="utf-8").read().split("\n")
print('<?xml version="1.0" encoding="UTF-8"?>'
      '<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
      'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" office:version="1.2" '
      'office:mimetype="application/vnd.oasis.opendocument.text"><office:body><office:text>'
      + "".join("<text:p>" + html.escape(l) + "</text:p>" for l in lines)
      + "</office:text></office:body></office:document>")
PY
    # No tip of the day over the document; the GTK 3 plugin, which is on the
    # accessibility bus.
    mkdir -p "$work/lo/user"
    cat > "$work/lo/user/registrymodifications.xcu" <<'XCU'
<?xml version="1.0" encoding="UTF-8"?>
<oor:items xmlns:oor="http://openoffice.org/2001/registry" xmlns:xs="http://www.w3.org/2001/XMLSchema" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">
<item oor:path="/org.openoffice.Office.Common/Misc"><prop oor:name="ShowTipOfTheDay" oor:op="fuse"><value>false</value></prop></item>
<item oor:path="/org.openoffice.Office.Common/Misc"><prop oor:name="FirstRun" oor:op="fuse"><value>false</value></prop></item>
</oor:items>
XCU
    editor_cmd=(env SAL_USE_VCLPLUGIN=gtk3 soffice --writer --norestore --nologo
                --nofirststartwizard "-env:UserInstallation=file://$work/lo" "$work/document.fodt") ;;
  firefox | firefox-rich)
    command -v firefox >/dev/null || { echo "typing_cost: firefox is not installed" >&2; exit 1; }
    python3 - "$document" "$EDITOR_NAME" > "$work/page.html" <<'PY'
import html, sys
text = open(sys.argv[1], encoding="utf-8").read()
head = '<!doctype html><meta charset="utf-8"><title>Typing cost</title>'
if sys.argv[2] == "firefox":
    print(head + '<textarea autofocus style="width:90%;height:80vh">' + html.escape(text) + '</textarea>')
else:
    # A block per line, as Return makes them.
    blocks = "".join("<div>" + html.escape(l) + "</div>" for l in text.split("\n"))
    print(head + '<div contenteditable autofocus style="width:90%;height:80vh;overflow:auto">'
          + blocks + '</div>')
PY
    quiet_firefox_profile "$work/firefox"
    editor_cmd=(firefox --no-remote --profile "$work/firefox" "file://$work/page.html") ;;
  *) echo "typing_cost: unknown editor $EDITOR_NAME" >&2; exit 1 ;;
esac

a11y="$(dbus-send --session --print-reply=literal --dest=org.a11y.Bus /org/a11y/bus \
  org.a11y.Bus.GetAddress | tr -d ' ')"

hz="$(getconf CLK_TCK)"
keys=$(( SECONDS_TYPED * RATE ))
# Words of lower-case letters and spaces: keys every layout has, so that
# xdotool never remaps the keyboard (which costs every client a reload).
line="kyou wa ii tenki desu ne "
typed="$(for _ in $(seq $(( keys / ${#line} + 1 ))); do printf '%s' "$line"; done | head -c "$keys")"
per_key() { awk -v t="$1" -v hz="$hz" -v n="$keys" 'BEGIN { printf "%.2f", 1000 * t / hz / n }'; }

start_editor() {
  "${editor_cmd[@]}" >/dev/null 2>&1 & editor=$!; pids+=($editor)
  sleep 3
  case "$EDITOR_NAME" in firefox | firefox-rich | writer) sleep 5 ;; esac
  # soffice is a script whose program is its child: Writer is found by name.
  if [ "$EDITOR_NAME" = writer ]; then
    window="$(xdotool search --sync --onlyvisible --name 'LibreOffice Writer' | head -1)"
  else
    window="$(xdotool search --sync --pid "$editor" --onlyvisible | head -1)"
  fi
  # A window manager still starting may refuse; the click below focuses it.
  xdotool windowactivate --sync "$window" || true
  xdotool mousemove --window "$window" 200 150 click 1
  # The keys go to the end of the document.
  xdotool key ctrl+End
  sleep 1
  local i
  if [ "${TYPING_COST_KEPT:-0}" -gt 0 ]; then
    xdotool key Return
    # The browser's first keys after a keyboard remapping may go astray.
    xdotool type --delay 100 "あ"
    sleep 1
    xdotool key BackSpace
    sleep 0.5
    for i in $(seq "$TYPING_COST_KEPT"); do
      xdotool type --delay 60 "東京で住んでいます。"
      sleep 0.2
      xdotool key Return
      sleep 0.4
    done
    # Every check of them has drawn; the pointer is off the boxes.
    xdotool mousemove 1200 1000
    sleep 4
  fi
}
# Types the keys, each due at its own time; prints the rate they went at.
type_keys() { python3 bench/pace_keys.py "$RATE" "$typed"; }

# The editor alone.
start_editor
editorStart="$(process_tree_ticks "$editor")"
rateAlone="$(type_keys)"
sleep 1
editorAlone=$(( $(process_tree_ticks "$editor") - editorStart ))
kill "$editor"; wait "$editor" 2>/dev/null || true

# The same with Mivo following the editor's field.
MIVO_AX_CALL_COUNTS="$work/calls" QT_QPA_PLATFORM=xcb "$MIVO_BIN" 2>"$work/mivo.log" &
mivo=$!; pids+=($mivo)
sleep 3
start_editor
sleep 3
dbus-monitor --address "$a11y" "type='method_call'" > "$work/bus" 2>/dev/null & monitor=$!
pids+=($monitor)
sleep 1.5
cp "$work/calls" "$work/calls.before"
mivoStart="$(process_tree_ticks "$mivo")"; editorStart="$(process_tree_ticks "$editor")"
rateWith="$(type_keys)"
# Whatever the last keys set off (the pause's check) belongs to them.
sleep 1
mivoTyping=$(( $(process_tree_ticks "$mivo") - mivoStart )); editorWith=$(( $(process_tree_ticks "$editor") - editorStart ))
sleep 1.5
cp "$work/calls" "$work/calls.after"
kill "$monitor" 2>/dev/null || true
kill -0 "$mivo" 2>/dev/null || { echo "typing_cost: mivo ended early; its log:" >&2; cat "$work/mivo.log" >&2; exit 1; }

# Unique bus names of Mivo and of the editor.
name_of_pid() {
  local want="$1" name pid
  for name in $(dbus-send --bus="$a11y" --print-reply=literal --dest=org.freedesktop.DBus \
      /org/freedesktop/DBus org.freedesktop.DBus.ListNames | tr ' ' '\n' | grep '^:'); do
    pid="$(dbus-send --bus="$a11y" --print-reply=literal --dest=org.freedesktop.DBus \
      /org/freedesktop/DBus org.freedesktop.DBus.GetConnectionUnixProcessID "string:$name" \
      2>/dev/null | awk '{print $2}')"
    [ "$pid" = "$want" ] && { echo "$name"; return; }
  done
  return 0
}
# soffice is a script: the program on the bus is its child.
editorOnBus="$editor"
[ "$EDITOR_NAME" = writer ] && editorOnBus="$(pgrep -n -f soffice.bin || echo "$editor")"
mivoName="$(name_of_pid "$mivo")"; editorName="$(name_of_pid "$editorOnBus")"
[ -n "${TYPING_COST_KEEP:-}" ] && cp "$work/bus" "$work/calls.before" "$work/calls.after" "$work/mivo.log" "$TYPING_COST_KEEP/"
[ -n "${TYPING_COST_KEEP:-}" ] && echo "mivo=$mivoName editor=$editorName" > "$TYPING_COST_KEEP/names"

echo "editor: ${EDITOR_NAME}; document: ${DOCUMENT_CHARS} Characters; ${TYPING_COST_KEPT:-0} lines kept boxed; ${keys} keystrokes, ${RATE} a second asked"
echo "typed alone:     ${rateAlone}"
echo "typed with Mivo: ${rateWith}"
echo "mivo CPU per keystroke:                $(per_key "$mivoTyping") ms"
echo "editor CPU per keystroke, alone:       $(per_key "$editorAlone") ms"
echo "editor CPU per keystroke, with Mivo:   $(per_key "$editorWith") ms (extra $(per_key $(( editorWith - editorAlone ))) ms)"
awk -v m="$mivoTyping" -v a="$editorAlone" -v w="$editorWith" 'BEGIN {
  if (a > 0) printf "Mivo / editor alone: %.0f %%; editor extra / editor alone: %.0f %%\n", 100 * m / a, 100 * (w - a) / a }'
echo
echo "accessibility port calls per keystroke, by kind:"
join -a 2 -e 0 -o 0,1.2,2.2 <(sort "$work/calls.before") <(sort "$work/calls.after") |
  awk -v n="$keys" '{ d = $3 - $2; if (d > 0) printf "  %8.2f  %s\n", d / n, $1 }' | sort -rn
echo
echo "method calls Mivo sent through the bus daemon per keystroke, by receiver and member:"
awk -v me="$mivoName" -v ed="$editorName" -v n="$keys" '
  /^method call/ {
    sender = ""; dest = ""; member = ""
    for (i = 1; i <= NF; i++) {
      if ($i ~ /^sender=/) sender = substr($i, 8)
      if ($i ~ /^destination=/) dest = substr($i, 13)
      if ($i ~ /^member=/) member = substr($i, 8)
    }
    if (sender != me) next
    who = dest == ed ? "editor" : (dest == "org.freedesktop.DBus" ? "bus daemon" : dest)
    count[who " " member]++; total[who]++
  }
  END {
    for (w in total) printf "  %8.2f  to the %s in all\n", total[w] / n, w
    for (k in count) printf "  %8.2f  %s\n", count[k] / n, k
  }' "$work/bus" | sort -rn
