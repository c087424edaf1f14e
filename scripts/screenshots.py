#!/usr/bin/env python3
"""Screenshots of the main window's four views under Wine, at 96 and at 192
DPI, cropped to the window, for docs/ and the README. Not a test: run it
after a build (`./scripts/screenshots.py`), then look at every picture.

Uses the end-to-end harness, so the build and prefix are the same ones the
tests use (see tests/e2e/harness.py for the environment it reads).

`./scripts/screenshots.py --small-screen` takes the four views instead on
an 800x600 display in 16-bit colour of its own (Xvfb, and a Wine prefix of
its own beside the tests' one), whole screens this time, so that one sees
that everything is readable and on the screen: docs/view-*-800x600.png.

`./scripts/screenshots.py --windows-95` takes them at 96 DPI as Windows 95
and NT 4.0 show them, with Wine reporting Windows 95 and the program doing
without everything those refuse (Arial instead of Tahoma among them): docs/view-*-96-win95.png."""

import atexit
import os
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "tests", "e2e"))
SMALL = "--small-screen" in sys.argv[1:]
OLD = "--windows-95" in sys.argv[1:]


def small_display():
    """An 800x600x16 Xvfb display and a prefix of its own for it."""
    number = 140
    while os.path.exists("/tmp/.X%d-lock" % number) or os.path.exists("/tmp/.X11-unix/X%d" % number):
        number += 1
    xvfb = subprocess.Popen(["Xvfb", ":%d" % number, "-screen", "0", "800x600x16", "-nolisten", "tcp"],
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    atexit.register(xvfb.terminate)
    for _ in range(100):
        if os.path.exists("/tmp/.X11-unix/X%d" % number):
            break
        time.sleep(0.1)
    os.environ["DISPLAY"] = ":%d" % number
    build = os.environ.get("TAVREL_BUILD_DIR", os.path.join(os.path.dirname(HERE), "build", "win32"))
    os.environ["WINEPREFIX"] = os.path.join(build, "wineprefix-800x600")


if SMALL:
    small_display()
import harness  # noqa: E402

DOCS = os.path.join(os.path.dirname(HERE), "docs")
DPI_KEY = r"HKEY_CURRENT_USER\Control Panel\Desktop"


def crop(tavrel, shot, name, margin=4):
    left, top, width, height = tavrel.window_rect()
    out = os.path.join(DOCS, name)
    subprocess.run(["convert", shot, "-crop", "%dx%d+%d+%d" % (width + 2 * margin, height + 2 * margin,
                                                              max(0, left - margin), max(0, top - margin)),
                    "+repage", out], check=True)
    print(out)


def whole(shot, name):
    out = os.path.join(DOCS, name)
    subprocess.run(["convert", shot, out], check=True)
    print(out)


def views(dpi, small=False, old=False):
    tavrel = harness.Tavrel("views-%d%s" % (dpi, "-800x600" if small else "-win95" if old else ""))
    tavrel.wine.prepare()
    if small:
        def keep(shot, name):
            whole(shot, name.replace("-%d." % dpi, "-800x600."))
    elif old:
        tavrel.windows_version = "win95"
        tavrel.pretend_missing = "all"

        def keep(shot, name):
            crop(tavrel, shot, name.replace(".png", "-win95.png"))
    else:
        def keep(shot, name):
            crop(tavrel, shot, name)
    tavrel.wine.run(["wine", "reg", "add", DPI_KEY, "/v", "LogPixels", "/t", "REG_DWORD", "/d", str(dpi), "/f"],
                    tag="dpi")
    tavrel.wine.run(["wine", "reg", "delete", tavrel.settings_key(), "/f", harness.REG_VIEW], tag="clear")
    # High enough on the screen that the options view fits at 200 %.
    tavrel.reg_add(tavrel.settings_key(), "MainTop", "150")
    server = harness.PageServer()
    tavrel.set_hosts(server.base_url)
    try:
        tavrel.start()
        tavrel.wait_window()
        # The clock shows from the first tick on, a moment after the window.
        deadline = time.monotonic() + 20
        while not tavrel.text("lblTime") and time.monotonic() < deadline:
            time.sleep(0.5)
        time.sleep(1.5)
        keep(tavrel.screenshot("compact"), "view-compact-%d.png" % dpi)
        tavrel.click("cmdInfo")
        time.sleep(0.8)
        keep(tavrel.screenshot("zone"), "view-timezone-%d.png" % dpi)
        tavrel.click("cmdInfo")
        tavrel.click("cmdOptions")
        time.sleep(0.8)
        keep(tavrel.screenshot("options"), "view-options-%d.png" % dpi)
        tavrel.click("cmdOptions")
        tavrel.click("imgMinimize")
        time.sleep(0.8)
        keep(tavrel.screenshot("small"), "view-smallclock-%d.png" % dpi)
    finally:
        tavrel.stop()
        server.stop()
        tavrel.wine.run(["wine", "reg", "add", DPI_KEY, "/v", "LogPixels", "/t", "REG_DWORD", "/d", "96", "/f"],
                        tag="dpi")


if __name__ == "__main__":
    for dpi in ((96,) if SMALL or OLD else (96, 192)):
        views(dpi, SMALL, OLD)
