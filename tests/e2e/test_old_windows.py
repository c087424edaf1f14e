"""The program on the Windows versions before XP as Wine plays them (the
version Wine reports set for the program alone), with the Windows layer
doing without everything Windows 95 and NT 4.0 refuse and Wine accepts
(TAVREL_PRETEND_MISSING=all: the common controls' newer flags, the hand
pointer, halftone stretching, Tahoma, the virtual screen, Winsock 2,
GetAncestor). On each: the clock ticks for three seconds on the timers'
own window, the date picker and every control made after it are there,
and a failed synchronisation's error log names the system it ran on."""

import time
import unittest

import harness

VERSIONS = (("win98", "Windows 98"), ("nt40", "Windows NT 4.0"), ("win2k", "Windows 2000"))
# Controls made after the date picker in the clock panel.
AFTER_THE_PICKER = ("lblTimeZone", "lblError", "ErrorIndicator")


class OldWindowsTest(unittest.TestCase):
    def test_each_version(self):
        for wine_version, name in VERSIONS:
            with self.subTest(wine_version):
                tavrel = harness.Tavrel("old-windows-" + wine_version)
                try:
                    self.run_on(tavrel, wine_version, name)
                finally:
                    tavrel.stop()

    def run_on(self, t, wine_version, name):
        # A port nobody listens on: every fetch is refused at once, the run
        # fails and reports (the error log's header names the system).
        t.set_hosts(harness.closed_port_url())
        t.windows_version = wine_version
        t.pretend_missing = "all"
        t.start()
        t.wait_window()

        seen = set()
        for _ in range(4):
            seen.add(t.text("lblTime"))
            time.sleep(1)
        seen.discard("")
        self.assertGreaterEqual(len(seen), 3, "the clock did not tick: %s; screenshot %s"
                                % (sorted(seen), t.screenshot("no-ticks")))

        classes = {row[0]: row[1] for row in t.controls()}
        self.assertEqual("SysDateTimePick32", classes.get(t.id("DTPicker1")), "no date picker")
        for control in AFTER_THE_PICKER:
            self.assertIn(t.id(control), classes, control)
        t.screenshot("compact")

        t.click("cmdTimeSync")
        box = t.message_box(120000)
        self.assertIsNotNone(box, "no message; screenshot %s" % t.screenshot("no-message"))
        self.assertEqual("The attempt to synchronize your system time failed", box[1])
        t.press("OK")
        log = (t.read_file("Common", "error.log") or b"").decode("latin-1")
        self.assertIn(name, log)
        self.assertNotIn("Unable to create", log)


if __name__ == "__main__":
    unittest.main()
