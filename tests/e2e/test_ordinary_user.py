"""An ordinary user on NT may not set the clock. Started with a token
without the right to change the system time, the program says so in the
options view, and its periodic runs, due at every tick, fetch nothing; a
run the user starts still fetches, and says that it failed."""

import time
import unittest

import harness

MESSAGE = "Only an administrator can set the clock"


def hour_off_page(_path):
    # Wine refuses a change of a second or more, whatever the token.
    return 200, "<html><body><pre>" + "." * 120 + time.strftime("%H:%M:%S", time.gmtime(time.time() + 3600)) + \
        " UTC</pre></body></html>"


class OrdinaryUserTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = harness.PageServer({"/cgi-bin/timer.pl": hour_off_page})
        cls.tavrel = harness.Tavrel("ordinaryuser")
        cls.tavrel.set_hosts(cls.server.base_url)
        cls.key = key = cls.tavrel.settings_key()
        cls.tavrel.wine.run(["wine", "reg", "delete", key, "/f", harness.REG_VIEW], tag="reg-clear")
        # A periodic run due at every tick: period 0 and no run ever made.
        cls.tavrel.reg_add(key, "chkPeriodic", "1")
        cls.tavrel.reg_add(key, "txtPeriodic", "0")

    @classmethod
    def tearDownClass(cls):
        cls.tavrel.stop()
        cls.server.stop()
        # A periodic run due at every tick would greet the next test's program.
        cls.tavrel.wine.run(["wine", "reg", "delete", cls.key, "/f", harness.REG_VIEW], tag="reg-clear")

    def wait_text(self, control, expected, timeout=10.0):
        deadline = time.monotonic() + timeout
        while True:
            text = self.tavrel.text(control)
            if text == expected or time.monotonic() > deadline:
                return text
            time.sleep(0.2)

    def test_1_the_options_view_says_so_and_periodic_runs_fetch_nothing(self):
        t = self.tavrel
        t.start(ordinary_user=True)
        t.wait_window()
        t.click("cmdOptions")
        self.assertEqual(self.wait_text("Label15", MESSAGE), MESSAGE)
        time.sleep(4)  # eight ticks, each with a run due
        self.assertEqual(self.server.log, [])
        self.assertEqual(t.text("lblLastUpdate"), "")
        t.screenshot("ordinary-user-options")

    def test_2_a_run_the_user_starts_still_fetches_and_says_it_failed(self):
        t = self.tavrel
        t.click("cmdTimeSync")
        box = t.message_box(60000)
        self.assertIsNotNone(box, "no message; screenshot %s" % t.screenshot("no-message"))
        # The page is an hour off, and no second source confirms it: the
        # user says to set the clock all the same.
        if box[1].endswith("Set the clock anyway?"):
            t.press("Yes")
            box = t.message_box(30000)
            self.assertIsNotNone(box, "no message; screenshot %s" % t.screenshot("no-message"))
        self.assertEqual(box[1], "The attempt to synchronize your system time failed")
        t.press("OK")
        self.assertGreaterEqual(len(self.server.log), 1)
        self.assertEqual(t.text("Label15"), MESSAGE)
        t.close()
        self.assertIsNotNone(t.wait_exit(30))


if __name__ == "__main__":
    unittest.main()
