"""A task bar that comes after the program, as at log-on: with "Start in
system tray" the first icon request is refused; the program tries again and
the icon shows once the task bar is there, the window staying hidden. A
task bar that never takes the icon leaves the window shown instead.

The late task bar is the driver's stand-in: a window of the shell's tray
class that refuses every icon request for a while from the first, then goes
and announces "TaskbarCreated", after which Wine's own notification area
answers. The stand-in also says what the shell passed on with each request
(flags, callback message, tip): the program's own record, which the 32-bit
build hands the shell as it is."""

import os
import re
import time
import unittest

import harness
from test_tray import TrayProgram, store_start_in_tray, wait_for, NIM_ADD, WM_MOUSEMOVE


NIF_MESSAGE, NIF_ICON, NIF_TIP = 1, 2, 4


def shell_requests(tavrel):
    """(request, flags, callback message, tip) of each icon request the
    stand-in task bar got, in order."""
    found = []
    for name in sorted(os.listdir(tavrel.work_dir)):
        if name.endswith("-standin.out"):
            with open(os.path.join(tavrel.work_dir, name), "rb") as f:
                for line in f.read().decode("latin-1").splitlines():
                    m = re.match(r"request (\d+) flags ([0-9a-f]+) callback ([0-9a-f]+) tip (.*?)\r?$", line)
                    if m:
                        found.append((int(m.group(1)), int(m.group(2), 16), int(m.group(3), 16), m.group(4)))
    return found


class LateTaskbarTest(unittest.TestCase):
    def run_with_refusing_taskbar(self, name, refuse_ms):
        server = harness.PageServer()
        t = TrayProgram(name)
        t.set_hosts(server.base_url)
        store_start_in_tray(t, "1")
        standin = t.wine.start(["wine", harness.DRIVER, "refusing-taskbar", str(refuse_ms)], tag="standin")
        time.sleep(harness.scaled(2))  # the stand-in is up before the program asks
        t.start_traced()
        return server, t, standin

    def test_the_icon_shows_once_the_taskbar_is_there(self):
        server, t, standin = self.run_with_refusing_taskbar("late-taskbar", 5000)
        try:
            self.assertTrue(wait_for(lambda: t.icons() == 1, 40), "no icon after the task bar came")
            self.assertGreaterEqual(t.requests().count(NIM_ADD), 2, t.requests())
            self.assertFalse(t.main_visible())
            t.screenshot("late-taskbar-icon")
            # What the shell got: the icon, its tip and the mouse messages
            # (as WM_MOUSEMOVE), read from the program's own record.
            standin.wait(timeout=harness.scaled(60))
            requests = shell_requests(t)
            self.assertTrue(requests, "the stand-in saw no request")
            self.assertEqual(requests[0], (NIM_ADD, NIF_MESSAGE | NIF_ICON | NIF_TIP, WM_MOUSEMOVE, "vrn Tavrel XP"))
        finally:
            standin.wait(timeout=harness.scaled(60))
            t.stop()
            server.stop()
            store_start_in_tray(t, "0")

    def test_without_a_taskbar_the_window_shows_itself(self):
        server, t, standin = self.run_with_refusing_taskbar("no-taskbar", 25000)
        try:
            self.assertTrue(wait_for(lambda: t.main_visible(), 25), "the window stayed hidden without an icon")
            self.assertEqual(t.icons(), 0)
            t.screenshot("no-taskbar-window")
        finally:
            standin.wait(timeout=harness.scaled(60))
            t.stop()
            server.stop()
            store_start_in_tray(t, "0")


if __name__ == "__main__":
    unittest.main()
