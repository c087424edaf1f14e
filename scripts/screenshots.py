#!/usr/bin/env python3
"""Screenshots of the main window's four views under Wine, at 96 and at 192
DPI, cropped to the window, for docs/ and the README. Not a test: run it
after a build (`./scripts/screenshots.py`), then look at every picture.

Uses the end-to-end harness, so the build and prefix are the same ones the
tests use (see tests/e2e/harness.py for the environment it reads)."""

import os
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "tests", "e2e"))
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


def views(dpi):
    tavrel = harness.Tavrel("views-%d" % dpi)
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
        time.sleep(1.5)
        crop(tavrel, tavrel.screenshot("compact"), "view-compact-%d.png" % dpi)
        tavrel.click("cmdInfo")
        time.sleep(0.8)
        crop(tavrel, tavrel.screenshot("zone"), "view-timezone-%d.png" % dpi)
        tavrel.click("cmdInfo")
        tavrel.click("cmdOptions")
        time.sleep(0.8)
        crop(tavrel, tavrel.screenshot("options"), "view-options-%d.png" % dpi)
        tavrel.click("cmdOptions")
        tavrel.click("imgMinimize")
        time.sleep(0.8)
        crop(tavrel, tavrel.screenshot("small"), "view-smallclock-%d.png" % dpi)
    finally:
        tavrel.stop()
        server.stop()
        tavrel.wine.run(["wine", "reg", "add", DPI_KEY, "/v", "LogPixels", "/t", "REG_DWORD", "/d", "96", "/f"],
                        tag="dpi")


if __name__ == "__main__":
    for dpi in (96, 192):
        views(dpi)
