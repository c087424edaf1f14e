"""A big correction needs a second source, under Wine: the three time-page
hosts are three local servers that answer with a redirect and their Date,
no time text. The fastest runs three hours ahead, the other two agree with
the real clock. A periodic run sets nothing and writes one line about the
unconfirmed correction to the error log; a run from the button asks in a
Yes/No box ("Set the clock anyway?") and, answered No, sets nothing. With
all three agreeing (a correction under a second, which Wine lets through)
the run succeeds as it always has."""

import time
import unittest

import harness
from date_server import DateServer

UNCONFIRMED = "not confirmed by a second source"
# The statement that sets the clock from the web server's clock.
CLOCK_SET = "VRN_TimeSync  440"


class AgreementTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tavrel = harness.Tavrel("agreement")
        cls.key = cls.tavrel.settings_key()
        cls.tavrel.wine.run(["wine", "reg", "delete", cls.key, "/f", harness.REG_VIEW], tag="reg-clear")

    @classmethod
    def tearDownClass(cls):
        cls.tavrel.stop()

    def serve(self, ahead):
        """Three servers for the Naval Observatory, NIST and eBay: the first
        `ahead` seconds ahead and fast, the others right and slower. Slower
        by far: the process's first request, which goes to the first, also
        loads and starts WinINet, and in the emulated machine that took
        longer than 0.1 s."""
        servers = [DateServer(offset=ahead, latency=0.005), DateServer(latency=0.4), DateServer(latency=0.4)]
        for name, server in zip(("USNO", "NIST", "eBay"), servers):
            self.tavrel.reg_add(harness.HOSTS_KEY, name, server.base_url)
        self.addCleanup(lambda: [s.stop() for s in servers])
        return servers

    def log(self):
        return (self.tavrel.read_file("Common", "error.log") or b"").decode("latin-1")

    def test_1_a_periodic_run_sets_nothing_and_logs_once(self):
        t = self.tavrel
        servers = self.serve(3 * 3600)
        # Due at the first tick: no last update yet.
        for name, value in (("chkPeriodic", "1"), ("txtPeriodic", "24"), ("lblLastUpdate", "")):
            t.reg_add(self.key, name, value)
        t.start()
        t.wait_window()
        deadline = time.monotonic() + harness.scaled(30)
        while UNCONFIRMED not in self.log() and time.monotonic() < deadline:
            time.sleep(0.5)
        time.sleep(2)
        log = self.log()
        shot = t.screenshot("periodic")
        self.assertEqual(log.count(UNCONFIRMED), 1, "log:\n%s\nscreenshot %s" % (log, shot))
        self.assertIn("correction of 108", log)
        self.assertNotIn(CLOCK_SET, log, "the clock was asked to change")
        self.assertIsNone(t.message_box(500), "a periodic run showed a message")
        self.assertRegex(t.text("lblLastUpdate"), r"\d")
        print("\nrequests per host: %s" % [s.requests for s in servers])
        self.assertTrue(all(s.requests <= 10 for s in servers))

    def test_2_a_run_from_the_button_asks_and_no_sets_nothing(self):
        t = self.tavrel
        self.serve(3 * 3600)
        if not t.running():
            t.start()
            t.wait_window()
        before = self.log()
        t.click("cmdTimeSync")
        box = t.message_box(60000)
        shot = t.screenshot("ask")
        self.assertIsNotNone(box, "no question; screenshot %s" % shot)
        title, text, buttons = box
        print("\nquestion: %r, buttons %s, screenshot %s" % (text, buttons, shot))
        self.assertEqual(title, "A_Tavrel")
        self.assertIn("Set the clock anyway?", text)
        self.assertEqual(sorted(buttons), ["No", "Yes"])
        t.press("No")
        box = t.message_box(10000)
        self.assertIsNotNone(box)
        self.assertEqual(box[1], "The attempt to synchronize your system time failed")
        t.press("OK")
        log = self.log()
        self.assertTrue(log.startswith(before))
        self.assertEqual(log.count(UNCONFIRMED), before.count(UNCONFIRMED))
        self.assertNotIn(CLOCK_SET, log, "the clock was asked to change")

    def test_3_three_servers_that_agree_set_the_clock_as_before(self):
        t = self.tavrel
        for server in self.serve(0.2):
            server.offset = 0.2
        t.stop()
        t.reg_add(self.key, "chkPeriodic", "0")
        t.start()
        t.wait_window()
        t.click("cmdTimeSync")
        box = t.message_box(60000)
        self.assertIsNotNone(box, "no message; screenshot %s" % t.screenshot("no-message"))
        t.press("OK")
        self.assertTrue(box[1].startswith("Your system time was updated to "), box[1])
        t.stop()


if __name__ == "__main__":
    unittest.main()
