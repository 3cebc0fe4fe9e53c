#!/usr/bin/python3
# The console's report of this week for all servers, on a virtual X server,
# driven through its accessibility tree as a screen reader would: the
# Reports page, "All servers", "This week", the aggregated report's Show.
# Saves the report viewer's picture to --out. Run by scripts/demo-central
# inside dbus-run-session, with OSTREL_REGISTRY_ROOT naming a registry store
# whose CentralDatabase is set.
#   central-console-demo.py --quillmere BIN --out PNG
import argparse
import os
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "console"))
import quillmere_accessibility as a11y  # noqa: E402


def choose(combo, text):
    """Moves a combo box to the item `text` with the arrow keys, as a user does."""
    combo.queryComponent().grabFocus()
    items = [combo[0][i].name for i in range(combo[0].childCount)] if combo.childCount else []
    if text not in items:
        raise a11y.Failure("%s is not offered: %s" % (text, items))
    current = items.index(combo.name) if combo.name in items else 0
    key = 0xff54 if items.index(text) > current else 0xff52  # the keysyms of Down and Up
    for _ in range(abs(items.index(text) - current)):
        pyatspi.Registry.generateKeyboardEvent(key, None, pyatspi.KEY_SYM)
    a11y.wait_for('"%s" chosen' % text, lambda: combo.name == text)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--quillmere", required=True)
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as folder:
        xvfb, display, screen = a11y.start_xvfb(folder)
        try:
            env = dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM="xcb", QT_ACCESSIBILITY="1",
                       QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", NO_AT_BRIDGE="0")
            os.environ["DISPLAY"] = display
            global pyatspi
            import pyatspi  # needs the session bus of this run
            a11y.pyatspi = pyatspi
            console = a11y.Console(args.quillmere, env)
            try:
                main_window = console.window("Quillmere")
                a11y.press(a11y.find(main_window, "push button", "Reports"))
                choose(a11y.find(main_window, "combo box", "Servers:"), "All servers")
                choose(a11y.find(main_window, "combo box", "Select period:"), "This week")
                shows = a11y.find_all(main_window, "push button", "Show")
                a11y.press(shows[-1])
                viewer = console.window("Quillmere - Report")
                a11y.wait_for("the jobs", lambda: a11y.find(viewer, "table", "Jobs"))
                time.sleep(1)  # the tables painted
                a11y.save_screen(screen, a11y.box_of(viewer), args.out)
            finally:
                console.end()
        finally:
            xvfb.terminate()
            xvfb.wait()


if __name__ == "__main__":
    main()
