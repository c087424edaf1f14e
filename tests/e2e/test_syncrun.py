"""A synchronisation run as a user starts it, under Wine with the time pages
on a local server: "&Get  Atomic  Time" against a page one second behind
UTC (which Wine accepts) ends with the success message; with the server
gone it ends with the failure message and logged fetches; "Time Sync at
startup" with "Exit  5 seconds after time synchronization" synchronises
without a message and ends the program by itself; while a slow page is
fetched the window shows that it works; and the zone panel shows the
zone Wine takes from TZ."""

import datetime
import os
import shutil
import threading
import time
import unittest

import harness

def naval_page(delay=0.0):
    def page(_path):
        time.sleep(delay)
        # Early in a second, one second behind: the program adds one second.
        while datetime.datetime.now(datetime.timezone.utc).microsecond > 300000:
            time.sleep(0.01)
        shown = datetime.datetime.now(datetime.timezone.utc) - datetime.timedelta(seconds=1)
        return 200, "<html><body><pre>" + "." * 120 + shown.strftime("%H:%M:%S") + " UTC</pre></body></html>"
    return page


class SyncRunTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = harness.PageServer({"/cgi-bin/timer.pl": naval_page()})
        cls.tavrel = harness.Tavrel("syncrun")
        cls.tavrel.set_hosts(cls.server.base_url)
        cls.key = cls.tavrel.settings_key()
        cls.tavrel.wine.run(["wine", "reg", "delete", cls.key, "/f", harness.REG_VIEW], tag="reg-clear")

    @classmethod
    def tearDownClass(cls):
        cls.tavrel.stop()
        cls.server.stop()

    def test_1_a_page_one_second_behind_sets_the_clock(self):
        t = self.tavrel
        t.start()
        t.wait_window()
        self.assertEqual(t.text("cmdTimeSync"), "&Get  Atomic  Time")
        t.click("cmdTimeSync")
        box = t.message_box(20000)
        self.assertIsNotNone(box, "no message; screenshot %s" % t.screenshot("no-message"))
        title, text, buttons = box
        self.assertEqual(title, "A_Tavrel")
        self.assertRegex(text, r"^Your system time was updated to .+ Time correcten < -?\d+ seconds$")
        self.assertEqual(buttons, ["OK"])
        t.screenshot("success")
        t.press("OK")
        time.sleep(0.5)
        self.assertEqual(t.text("cmdTimeSync"), "&Get Atomic Time")
        self.assertRegex(t.text("lblLastUpdate"), r"\d")

    def test_2_with_the_server_gone_the_run_fails_and_logs(self):
        t = self.tavrel
        if not t.running():
            t.start()
            t.wait_window()
        t.set_hosts("http://127.0.0.1:9")  # nothing listens there
        t.click("cmdTimeSync")
        box = t.message_box(60000)
        self.assertIsNotNone(box)
        self.assertEqual(box[1], "The attempt to synchronize your system time failed")
        t.press("OK")
        log = (t.read_file("Common", "error.log") or b"").decode("latin-1")
        # Every host gets ten requests a run at most; here all three are one.
        self.assertGreaterEqual(log.count("DoAtomicTime of Modul VRN_TimeSync"), 10)
        self.assertNotIn("VRN_TimeSync  240", log, "the clock was asked to change")
        t.set_hosts(self.server.base_url)
        t.close()
        self.assertIsNotNone(t.wait_exit(30))

    def test_3_while_a_slow_page_is_fetched_the_window_shows_it_works(self):
        t = self.tavrel
        self.server.pages["/cgi-bin/timer.pl"] = naval_page(delay=3.0)
        try:
            t.start()
            t.wait_window()
            t.click("cmdTimeSync")
            time.sleep(1.2)
            self.assertEqual(t.driver("title", t.id("cmdTimeSync")), "please wait...")
            self.assertEqual(t.driver("title", t.id("lblTime")), "updating...")
            shot = t.screenshot("waiting")
            left, top, width, height = (int(v) for v in t.driver("wait-window", harness.FORM_CLASS, 100,
                                                                  timeout=120).split()[2:6])
            picture = harness_crop(shot, os.path.join(t.base, "sync-waiting.png"), left, top, width, height)
            harness.publish(picture, "sync-waiting.png")
            self.assertIsNotNone(t.message_box(30000))
            t.press("OK")
        finally:
            self.server.pages["/cgi-bin/timer.pl"] = naval_page()
            t.stop()

    def test_4_start_up_run_then_exit_five_seconds_later(self):
        t = self.tavrel
        t.reg_add(self.key, "chkTimeSync", "1")
        t.reg_add(self.key, "chkExit", "1")
        try:
            start = time.monotonic()
            t.start()
            code = t.wait_exit(60)
            self.assertIsNotNone(code, "the program did not end by itself")
            self.assertGreater(time.monotonic() - start, 4.5)
            log = (t.read_file("Common", "error.log") or b"").decode("latin-1")
            self.assertNotIn("VRN_TimeSync  240", log)
        finally:
            t.reg_add(self.key, "chkTimeSync", "0")
            t.reg_add(self.key, "chkExit", "0")

    def zone_panel(self, zone):
        t = self.tavrel
        t.wine.env["TZ"] = zone
        try:
            t.start()
            t.wait_window()
            t.click("cmdInfo")
            values = [t.driver("text", t.id("lblInfoValue") + i) for i in range(7)]
            state = t.text("Label8")
            t.screenshot("zone-" + zone.replace("/", "-"))
            t.close()
            t.wait_exit(30)
            return state, values
        finally:
            del t.wine.env["TZ"]

    def test_5_the_zone_panel_shows_new_york(self):
        state, values = self.zone_panel("America/New_York")
        year = datetime.date.today().year
        march = datetime.date(year, 3, 1)
        second_sunday = march + datetime.timedelta(days=(6 - march.weekday()) % 7 + 7)
        november = datetime.date(year, 11, 1)
        first_sunday = november + datetime.timedelta(days=(6 - november.weekday()) % 7)
        self.assertIn(state, (" Standard Time...", " Daylight Savings Time..."))
        self.assertEqual(values[0], "300")
        self.assertIn("Eastern", values[1])
        self.assertIn("Eastern", values[4])
        self.assertEqual(values[2], "%d/%d/%d" % (first_sunday.month, first_sunday.day, year))
        self.assertEqual(values[5], "%d/%d/%d" % (second_sunday.month, second_sunday.day, year))

    def test_6_tokyo_has_no_daylight_saving(self):
        state, values = self.zone_panel("Asia/Tokyo")
        self.assertEqual(values[0], "-540")
        self.assertEqual(state, " Time Zone Unknown!")


def harness_crop(shot, out, left, top, width, height, margin=4):
    import subprocess
    subprocess.run(["convert", shot, "-crop", "%dx%d+%d+%d" % (width + 2 * margin, height + 2 * margin,
                                                              max(0, left - margin), max(0, top - margin)),
                    "+repage", out], check=True)
    return out


if __name__ == "__main__":
    unittest.main()
