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
import subprocess
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "console"))
import quillmere_accessibility as a11y  # noqa: E402


def click(node):
    """A click of the left button in the middle of node, through the X server."""
    x, y, w, h = a11y.box_of(node)
    subprocess.run(["xdotool", "mousemove", str(x + w // 2), str(y + h // 2), "click", "1"], check=True)


def choose(combo, text):
    """Opens a combo box and clicks its item `text`, as a user does."""
    click(combo)
    item = a11y.wait_for('the item "%s"' % text, lambda: next(
        (node for node in a11y.walk(combo) if node.name == text and a11y.role(node) != "combo box"), None))
    click(item)
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
