"""The main window as a user meets it: the first start opens the compact
clock at 1000, 1000 twips with the clock running; options typed and ticked
in the options view are stored when it is saved and come back at the next
start; "Always on top" and "Start with Windows" act at once; dragging the
picture moves the window; and Windows ending the session saves the settings
like "&Exit" does."""

import re
import time
import unittest

import harness

RUN_KEY = r"HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Run"
WS_EX_TOPMOST = 0x8


def dpi_of(width):
    """The screen's dots per inch, from the main window's width in pixels
    (4102 twips at every view but the zone's)."""
    return round(width * 1440 / 4102 / 12) * 12 or 96


class MainWindowTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = harness.PageServer()
        cls.tavrel = harness.Tavrel("mainwindow")
        cls.tavrel.set_hosts(cls.server.base_url)
        cls.key = cls.tavrel.settings_key()
        cls.tavrel.wine.run(["wine", "reg", "delete", cls.key, "/f", harness.REG_VIEW], tag="reg-clear")

    @classmethod
    def tearDownClass(cls):
        cls.tavrel.stop()
        cls.server.stop()

    def start(self):
        # A failing test must not leave its program running: the next start
        # would be a second copy, which ends at once.
        self.addCleanup(self.tavrel.stop)
        self.tavrel.start()
        self.tavrel.wait_window()

    def stored(self, name):
        return self.tavrel.reg_query(self.key, name)

    def test_1_first_start_saves_and_restores_the_options(self):
        t = self.tavrel
        self.start()
        left, top, width, height = t.window_rect()
        dpi = dpi_of(width)
        self.assertEqual((left, top), (round(1000 * dpi / 1440), round(1000 * dpi / 1440)))
        self.assertEqual(height, round(1725 * dpi / 1440))
        deadline = time.monotonic() + harness.scaled(5)
        first = t.text("lblTime")
        while not first and time.monotonic() < deadline:
            time.sleep(0.2)
            first = t.text("lblTime")
        self.assertRegex(first, r"\d{1,2}:\d{2}:\d{2}")
        time.sleep(1.2)
        self.assertNotEqual(t.text("lblTime"), first, "the clock does not run")
        t.screenshot("compact")

        t.click("cmdOptions")
        self.assertEqual(t.text("cmdOptions"), "Save &Options")
        self.assertEqual(t.window_rect()[3], round(7680 * dpi / 1440))
        t.screenshot("options")
        t.click("chkPeriodic")
        # With no synchronisation ever made, the next tick runs one, which
        # writes the last update; the window must not close before it.
        deadline = time.monotonic() + harness.scaled(10)
        while not re.search(r"\d", t.text("lblLastUpdate")) and time.monotonic() < deadline:
            time.sleep(0.2)
        t.click("chkDT")
        t.set_text("txtTimeCorrection", "3")
        t.set_text("txtPeriodic", "2")
        t.click("cmdOptions")
        self.assertEqual(t.text("cmdOptions"), "&Options")
        t.close()
        self.assertIsNotNone(t.wait_exit(30))

        self.assertRegex(self.stored("lblLastUpdate"), r"\d")
        expected = {"MainLeft": "1000", "MainTop": "1000", "MainHeight": "1725",
                    "txtTimeCorrection": "3", "chkExit": "0", "chkStartWithWindow": "0", "chkTimeSync": "0",
                    "chkStartInSysTray": "0", "chkWinOnTop": "0", "txtPeriodic": "2", "chkPeriodic": "1",
                    "VoicePeriode": "0", "chkVoice": "0", "chkDT": "0", "optusnavy": "True", "optebay": "False"}
        for name, value in expected.items():
            self.assertEqual(self.stored(name), value, name)

        self.start()
        self.assertEqual(t.check("chkPeriodic"), 1)
        self.assertEqual(t.check("chkDT"), 0)
        self.assertEqual(t.text("txtTimeCorrection"), "3")
        self.assertEqual(t.text("txtPeriodic"), "2")
        t.close()
        t.wait_exit(30)

    def test_2_always_on_top_and_start_with_windows_act_at_once(self):
        t = self.tavrel
        self.start()
        t.click("cmdOptions")
        t.click("chkWinOnTop")
        self.assertTrue(t.exstyle() & WS_EX_TOPMOST, "not top-most")
        t.click("chkWinOnTop")
        self.assertFalse(t.exstyle() & WS_EX_TOPMOST, "still top-most")

        t.click("chkStartWithWindow")
        entry = t.reg_query(RUN_KEY, "Tavrel")
        self.assertIsNotNone(entry)
        self.assertRegex(entry, r'^".*\\A_Tavrel\.exe"$')
        t.click("chkStartWithWindow")
        self.assertIsNone(t.reg_query(RUN_KEY, "Tavrel"))
        t.close()
        t.wait_exit(30)

    def test_3_dragging_the_picture_moves_the_window(self):
        t = self.tavrel
        self.start()
        before = t.window_rect()
        # A spot of the picture with no control on it, left of the buttons.
        t.driver("drag", t.id("Image1"), 10, 70, 60, 40)
        after = t.window_rect()
        self.assertEqual((after[0] - before[0], after[1] - before[1]), (60, 40))
        t.close()
        t.wait_exit(30)

    def test_4_the_end_of_the_session_saves_like_exit(self):
        t = self.tavrel
        self.start()
        t.click("cmdOptions")
        # Posted: the button's caption says when the program took it.
        deadline = time.monotonic() + harness.scaled(5)
        while t.text("cmdOptions") != "Save &Options" and time.monotonic() < deadline:
            time.sleep(0.2)
        self.assertEqual(t.text("cmdOptions"), "Save &Options")
        width, height = t.window_rect()[2:]
        self.assertEqual(height, round(7680 * dpi_of(width) / 1440))
        t.set_text("txtTimeCorrection", "-7")
        t.screenshot("before-endsession")
        t.driver("endsession")
        self.assertIsNotNone(t.wait_exit(30), "the program still runs after the end of the session")
        self.assertEqual(self.stored("txtTimeCorrection"), "-7")
        self.assertEqual(self.stored("MainHeight"), "7680")


if __name__ == "__main__":
    unittest.main()
