"""A second copy of the program under Wine ends at once and quietly: no
window of its own, no start-up run with its message, no icon in the
notification area; the first copy's window comes to the front, or stays in
the notification area when it is there."""

import os
import time
import unittest

import harness
from test_tray import TrayProgram, store_start_in_tray, wait_for, NIM_ADD


def store(tavrel, name, value):
    tavrel.reg_add(tavrel.settings_key(), name, value)


class SecondCopy(TrayProgram):
    def start_second(self):
        """Starts another copy of the same program; returns its process."""
        self.wine.env["WINEDEBUG"] = "+systray"
        try:
            return self.wine.start(["wine", os.path.join(self.program_dir, "A_Tavrel.exe")], tag="A_Tavrel-second",
                                   cwd=self.program_dir)
        finally:
            self.wine.env["WINEDEBUG"] = "-all"

    def main_windows(self):
        return [line for line in self.driver("toplevel").splitlines()
                if line.split("\t")[:1] == [harness.FORM_CLASS] and line.endswith("\t" + harness.MAIN_WINDOW)]

    def foreground(self):
        return tuple(self.driver("foreground").split("\t"))


class SecondCopyTest(unittest.TestCase):
    def setUp(self):
        self.server = harness.PageServer()

    def tearDown(self):
        self.server.stop()

    def test_the_second_copy_ends_quietly_and_brings_the_first_to_the_front(self):
        t = SecondCopy("second-copy")
        notepad = None
        try:
            t.set_hosts(self.server.base_url)
            store(t, "chkTimeSync", "1")
            store_start_in_tray(t, "0")
            t.start_traced()
            t.wait_window()
            # The first copy's own start-up run fails against the empty server.
            self.assertIsNotNone(t.message_box(60000), "the first copy showed no result")
            t.press("OK")
            self.assertTrue(wait_for(lambda: t.message_box(500) is None))

            # Something else in front, as when the user starts the program again.
            notepad = t.wine.start(["wine", "notepad"], tag="notepad")
            self.assertTrue(wait_for(lambda: t.foreground()[0] == "Notepad", 30), t.foreground())

            second = t.start_second()
            try:
                code = second.wait(timeout=harness.scaled(30))
            except Exception:
                second.kill()
                raise
            self.assertEqual(code, 0)
            self.assertIsNone(t.message_box(3000), "the second copy showed a message")
            self.assertEqual(len(t.main_windows()), 1)
            self.assertEqual(t.icons(), 0)
            self.assertEqual(t.requests(), [])
            self.assertEqual(t.foreground(), (harness.FORM_CLASS, harness.MAIN_WINDOW))
            t.screenshot("first-copy-in-front")
        finally:
            if notepad is not None:
                t.wine.run(["wine", "taskkill", "/f", "/im", "notepad.exe"], tag="taskkill")
                notepad.wait(timeout=harness.scaled(30))
            t.stop()
            store(t, "chkTimeSync", "0")

    def test_a_first_copy_in_the_tray_stays_there_with_its_one_icon(self):
        t = SecondCopy("second-copy-tray")
        try:
            t.set_hosts(self.server.base_url)
            store_start_in_tray(t, "1")
            t.start_traced()
            self.assertTrue(wait_for(lambda: t.icons() == 1, 30), "no icon after start-up")
            second = t.start_second()
            self.assertEqual(second.wait(timeout=harness.scaled(30)), 0)
            time.sleep(1)
            self.assertEqual(t.icons(), 1)
            self.assertEqual(t.requests(), [NIM_ADD])
            self.assertFalse(t.main_visible())
            self.assertEqual(len(t.main_windows()), 1)
        finally:
            t.stop()
            store_start_in_tray(t, "0")


if __name__ == "__main__":
    unittest.main()
