#!/usr/bin/env python3
"""Types Japanese sentences into the focused X window through XTest, one
Character every GAP seconds (a spare keycode is mapped to each Character's
keysym just before its key, as xdotool does for text no key carries), waits
PAUSE seconds after each sentence and empties the field with Ctrl+A
BackSpace before the next one.

Usage: type_sentences.py GAP PAUSE ROUNDS SENTENCE...
Prints "sentence <text>", "key <time>" for each key and "emptied <time>"
(time.time() seconds), for bench/highlight_latency.sh to read.
"""

import ctypes
import sys
import time

from xtest_keys import open_display


def main():
    gap, pause, rounds = float(sys.argv[1]), float(sys.argv[2]), int(sys.argv[3])
    sentences = sys.argv[4:]
    x11, xtst, display = open_display("type_sentences")

    def code(name):
        return x11.XKeysymToKeycode(display, x11.XStringToKeysym(name))

    def tap(keycode, modifier=0):
        if modifier:
            xtst.XTestFakeKeyEvent(display, modifier, 1, 0)
        xtst.XTestFakeKeyEvent(display, keycode, 1, 0)
        xtst.XTestFakeKeyEvent(display, keycode, 0, 0)
        if modifier:
            xtst.XTestFakeKeyEvent(display, modifier, 0, 0)
        x11.XFlush(display)

    control, letter_a, backspace = code(b"Control_L"), code(b"a"), code(b"BackSpace")
    # Two spare keycodes in turn, so that a key's release never meets the
    # next Character's mapping.
    spare = [250, 251]
    for _ in range(rounds):
        for sentence in sentences:
            print("sentence " + sentence, flush=True)
            for i, ch in enumerate(sentence):
                keysym = (ctypes.c_ulong * 1)(0x1000000 + ord(ch))
                x11.XChangeKeyboardMapping(display, spare[i % 2], 1, keysym, 1)
                x11.XSync(display, 0)
                time.sleep(0.01)
                tap(spare[i % 2])
                print("key %.3f" % time.time(), flush=True)
                time.sleep(gap)
            time.sleep(pause)
            tap(letter_a, control)
            time.sleep(0.05)
            tap(backspace)
            print("emptied %.3f" % time.time(), flush=True)
            time.sleep(0.3)


if __name__ == "__main__":
    main()
