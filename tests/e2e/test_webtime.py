"""The web time on the real platform under Wine: a Naval Observatory page on
loopback whose time is the current UTC time less one second sets the clock
(Wine accepts a change under a second), a page an hour off is refused and
the run fails with a report. Each case runs in the local zone of New York,
Berlin and UTC, which Wine takes from TZ."""

import datetime
import os
import time
import unittest

import harness

TESTS_EXE = os.path.join(harness.BUILD_DIR, "tests", "win32", "tavrel_win32_tests.exe")
# Zone and its bias in minutes (UTC = local + bias) as Wine reports it.
ZONES = {"America/New_York": 300, "Europe/Berlin": -60, "UTC": 0}


class WebTimeTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.offset = datetime.timedelta(0)
        cls.server = harness.PageServer({"/cgi-bin/timer.pl": cls.naval_page})
        cls.work = os.path.join(harness.BUILD_DIR, "e2e", "webtime")
        os.makedirs(cls.work, exist_ok=True)
        cls.wine = harness.Wine(cls.work)
        cls.wine.prepare()

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()

    @classmethod
    def naval_page(cls, _path):
        # Answer early in a second: the program adds one second to what the
        # page says, so the change it asks for stays well under a second.
        while datetime.datetime.now(datetime.timezone.utc).microsecond > 300000:
            time.sleep(0.01)
        shown = datetime.datetime.now(datetime.timezone.utc) - datetime.timedelta(seconds=1) + cls.offset
        return 200, "<html><body><pre>" + "." * 120 + shown.strftime("%H:%M:%S") + " UTC</pre></body></html>"

    def run_case(self, name, zone):
        self.wine.env["TZ"] = zone
        self.wine.env["TAVREL_EXPECTED_BIAS"] = str(ZONES[zone])
        self.wine.env["TAVREL_TIME_SERVER"] = self.server.base_url
        code, out = self.wine.run(["wine", TESTS_EXE, "--gtest_filter=WebTimeUnderWine." + name],
                                  timeout=120, tag=name)
        self.assertEqual(code, 0, "%s in %s:\n%s" % (name, zone, out))
        self.assertIn("[  PASSED  ] 1 test", out, "%s in %s did not run:\n%s" % (name, zone, out))

    def test_current_page_sets_the_clock(self):
        type(self).offset = datetime.timedelta(0)
        for zone in ZONES:
            with self.subTest(zone=zone):
                self.run_case("PageOfTheCurrentTimeSetsTheClock", zone)

    def test_page_an_hour_off_is_refused(self):
        type(self).offset = datetime.timedelta(hours=1)
        for zone in ZONES:
            with self.subTest(zone=zone):
                self.run_case("PageAnHourOffIsRefused", zone)


if __name__ == "__main__":
    unittest.main()
