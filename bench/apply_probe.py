#!/usr/bin/python3
"""What bench/apply_under_load.sh asks of the desktop while it runs: one
process for the whole run (started once, as a coprocess), because a new
Python with GObject and the accessibility library takes a second or more to
start on loaded cores. It also owns the user's clipboard, which needs a
main loop that runs between the questions.

Reads one command a line from stdin and answers one line of JSON:

  apply             {"x": X, "y": Y} where Mivo's "Apply" button is shown, or {}
  notice            {"notices": [...]}: texts of Mivo's labels shown that
                    read as a notice ("The ..."), nothing while none is shown
                    (both need Mivo's widgets on the accessibility bus:
                    QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1)
  field ID          {"text": T, "caret": C, "selections": [[S, E], ...]} of
                    the browser's element with that id (the rich-text field)
  field             the same of the application's focused editable text (an
                    editor's text view, a message body)
  own TEXT          {"owned": true} once TEXT is the clipboard's, served by
                    this process until someone else takes the clipboard
  clipboard         {"text": T or null}: the clipboard's text now
  map TEXT          {"mapped": N}: each Character of TEXT given a key of
                    its own, for good (keycodes that had no symbol)
  type GAP TEXT     {"typed": N}: TEXT's keys through XTest, GAP seconds apart

Typing maps each Character once for the whole run: a key remapped just
before it is sent, as xdotool type does, reaches a browser on loaded cores
after the mapping has changed again and types nothing.

The application is the one named on the command line as the accessibility
bus has it (default Firefox).
"""

import ctypes
import json
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
gi.require_version("Gtk", "3.0")
gi.require_version("Gdk", "3.0")
from gi.repository import Atspi, Gdk, GLib, Gtk  # noqa: E402

from xtest_keys import open_display  # noqa: E402

# Browser chrome that never holds the page: not walked.
CHROME_ROLES = {
    Atspi.Role.MENU, Atspi.Role.MENU_BAR, Atspi.Role.TOOL_BAR, Atspi.Role.PAGE_TAB_LIST,
    Atspi.Role.PUSH_BUTTON, Atspi.Role.MENU_ITEM,
}


def applications(name):
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        try:
            if app is not None and app.get_name() == name:
                yield app
        except GLib.Error:
            continue


def walk(node, visit, depth=0, prune=frozenset()):
    """Calls visit(node) on every node below, stopping early when it returns
    something; gives that back."""
    if depth > 40:
        return None
    try:
        found = visit(node)
        if found is not None:
            return found
        if node.get_role() in prune:
            return None
        count = node.get_child_count()
    except GLib.Error:
        return None
    for i in range(count):
        try:
            child = node.get_child_at_index(i)
        except GLib.Error:
            continue
        if child is None:
            continue
        found = walk(child, visit, depth + 1, prune)
        if found is not None:
            return found
    return None


def showing(node):
    return node.get_state_set().contains(Atspi.StateType.SHOWING)


def apply_button():
    def visit(node):
        if node.get_role() != Atspi.Role.PUSH_BUTTON or node.get_name() != "Apply":
            return None
        if not showing(node):
            return None
        r = node.get_extents(Atspi.CoordType.SCREEN)
        if r.width <= 0 or r.height <= 0:
            return None
        return {"x": r.x + r.width // 2, "y": r.y + r.height // 2}

    for app in applications("Mivo"):
        found = walk(app, visit)
        if found:
            return found
    return {}


def notices():
    texts = []

    def visit(node):
        if node.get_role() == Atspi.Role.LABEL:
            name = node.get_name() or ""
            if name.startswith("The ") and showing(node):
                texts.append(name)
        return None

    for app in applications("Mivo"):
        walk(app, visit)
    return {"notices": texts}


field_cache = {}
application = "Firefox"


def focused_editable(n):
    try:
        states = n.get_state_set()
        if (states.contains(Atspi.StateType.FOCUSED) and states.contains(Atspi.StateType.EDITABLE)
                and "Text" in n.get_interfaces()):
            return n
    except GLib.Error:
        pass
    return None


def field(element_id):
    node = field_cache.get(element_id)
    if node is None:
        def with_id(n):
            try:
                return n if n.get_attributes().get("id") == element_id else None
            except GLib.Error:
                return None

        visit = with_id if element_id else focused_editable
        apps = list(applications(application))
        for app in apps:
            node = walk(app, visit, prune=CHROME_ROLES)
            if node is not None:
                break
        if not apps:
            return {"error": application + " is not on the accessibility bus"}
        if node is None:
            return {"error": "no element with id " + element_id if element_id
                    else "no focused editable text"}
        field_cache[element_id] = node
    try:
        length = Atspi.Text.get_character_count(node)
        text = Atspi.Text.get_text(node, 0, length)
        caret = Atspi.Text.get_caret_offset(node)
        selections = []
        for i in range(Atspi.Text.get_n_selections(node)):
            r = Atspi.Text.get_selection(node, i)
            selections.append([r.start_offset, r.end_offset])
    except GLib.Error as e:
        field_cache.pop(element_id, None)
        return {"error": str(e)}
    return {"text": text, "caret": caret, "selections": selections}


clipboard = None


def own(text):
    clipboard.set_text(text, -1)
    return {"owned": True}


def read_clipboard():
    return {"text": clipboard.wait_for_text()}


keys = {}
x_calls = None


def map_keys(text):
    global x_calls
    if x_calls is None:
        x_calls = open_display("apply_probe")
    x11, _, display = x_calls
    x11.XDisplayKeycodes.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_int),
                                     ctypes.POINTER(ctypes.c_int)]
    x11.XFree.argtypes = [ctypes.c_void_p]
    low, high = ctypes.c_int(), ctypes.c_int()
    x11.XDisplayKeycodes(display, ctypes.byref(low), ctypes.byref(high))
    per = ctypes.c_int()
    count = high.value - low.value + 1
    x11.XGetKeyboardMapping.restype = ctypes.POINTER(ctypes.c_ulong)
    x11.XGetKeyboardMapping.argtypes = [ctypes.c_void_p, ctypes.c_ubyte, ctypes.c_int,
                                        ctypes.POINTER(ctypes.c_int)]
    table = x11.XGetKeyboardMapping(display, low.value, count, ctypes.byref(per))
    spare = [low.value + i for i in range(count)
             if all(table[i * per.value + j] == 0 for j in range(per.value))]
    x11.XFree(table)
    for ch in text:
        if ch in keys:
            continue
        if not spare:
            raise RuntimeError("no spare keycode left")
        code = spare.pop()
        keysym = (ctypes.c_ulong * 1)(0x1000000 + ord(ch))
        x11.XChangeKeyboardMapping(display, code, 1, keysym, 1)
        keys[ch] = code
    x11.XSync(display, 0)
    return {"mapped": len(keys)}


def type_keys(argument):
    gap, _, text = argument.partition(" ")
    map_keys(text)
    x11, xtst, display = x_calls
    for ch in text:
        xtst.XTestFakeKeyEvent(display, keys[ch], 1, 0)
        xtst.XTestFakeKeyEvent(display, keys[ch], 0, 0)
        x11.XFlush(display)
        time.sleep(float(gap))
    return {"typed": len(text)}


def answer(line):
    command, _, argument = line.rstrip("\n").partition(" ")
    if command == "apply":
        return apply_button()
    if command == "notice":
        return notices()
    if command == "field":
        return field(argument)
    if command == "own":
        return own(argument)
    if command == "clipboard":
        return read_clipboard()
    if command == "map":
        return map_keys(argument)
    if command == "type":
        return type_keys(argument)
    return {"error": "unknown command " + command}


def on_input(channel, condition):
    line = channel.readline()
    if not line:
        Gtk.main_quit()
        return False
    try:
        reply = answer(line)
    except Exception as e:  # the run goes on; the trial says what failed
        reply = {"error": "%s: %s" % (type(e).__name__, e)}
    sys.stdout.write(json.dumps(reply, ensure_ascii=False) + "\n")
    sys.stdout.flush()
    return True


def main():
    global clipboard, application
    if len(sys.argv) > 1:
        application = sys.argv[1]
    Gtk.init([])
    clipboard = Gtk.Clipboard.get(Gdk.SELECTION_CLIPBOARD)
    channel = GLib.IOChannel.unix_new(sys.stdin.fileno())
    channel.set_encoding("UTF-8")
    GLib.io_add_watch(channel, GLib.PRIORITY_DEFAULT, GLib.IOCondition.IN | GLib.IOCondition.HUP,
                      on_input)
    Gtk.main()


if __name__ == "__main__":
    main()
