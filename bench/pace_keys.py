#!/usr/bin/env python3
"""Types lower-case letters and spaces into the focused X window through
XTest, each key due at a fixed time from the start (key i at start + i /
rate), so that a slow key is made up by the next ones instead of slowing all
that follow. `xdotool type --delay D` waits D after a key's release and its
own work on top of that: it types at neither the rate it was given nor a
steady one.

Usage: pace_keys.py RATE TEXT   (keys a second; letters a-z and spaces)
Prints "keys=N seconds=S rate=R" when done: the rate the keys really went at.
"""

import sys
import time

from xtest_keys import open_display


def main():
    rate = float(sys.argv[1])
    text = sys.argv[2]
    x11, xtst, display = open_display("pace_keys")
    codes = {}
    for ch in set(text):
        name = b"space" if ch == " " else ch.encode()
        code = x11.XKeysymToKeycode(display, x11.XStringToKeysym(name))
        if code == 0:
            sys.exit("pace_keys: no key for %r" % ch)
        codes[ch] = code
    start = time.monotonic()
    for i, ch in enumerate(text):
        due = start + i / rate
        wait = due - time.monotonic()
        if wait > 0:
            time.sleep(wait)
        xtst.XTestFakeKeyEvent(display, codes[ch], 1, 0)
        xtst.XTestFakeKeyEvent(display, codes[ch], 0, 0)
        x11.XFlush(display)
    # The last key's interval belongs to the run, as each other key's does.
    end = max(time.monotonic(), start + len(text) / rate)
    elapsed = end - start
    print("keys=%d seconds=%.2f rate=%.2f" % (len(text), elapsed, len(text) / elapsed))


if __name__ == "__main__":
    main()
