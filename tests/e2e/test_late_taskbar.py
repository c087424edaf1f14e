"""A task bar that comes after the program, as at log-on: with "Start in
system tray" the first icon request is refused; the program tries again and
the icon shows once the task bar is there, the window staying hidden. A
task bar that never takes the icon leaves the window shown instead.

The late task bar is the driver's stand-in: a window of the shell's tray
class that refuses every icon request for a while from the first, then goes
and announces "TaskbarCreated", after which Wine's own notification area
answers."""

import time
import unittest

import harness
from test_tray import TrayProgram, store_start_in_tray, wait_for, NIM_ADD


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
