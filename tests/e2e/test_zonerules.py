"""An unpatched Windows under Wine: the time-zone record carries the United
States' pre-2007 daylight-saving rule, and the time-zone view says it is out
of date, with the day this computer changes to daylight time and the day
today's rule does. Wine takes the rule from TZ and the zone's names from the
first entry of the registry's list of zones whose rule matches this year's
changes, so TZ=EST5EDT,M4.1.0,M10.5.0 and the old rule in the list's
"Eastern Standard Time" entry make such a computer; with TZ=America/New_York
and the prefix's own list the view says nothing.

"Update daylight-saving rules" then meets Wine's SetTimeZoneInformation,
which refuses every caller ("privilege not held"): the program says the
rules were not changed, and the list entry it wrote first is back as it
was, and no saved rules are offered to put back. The prefix is shared by
the run: the entry is restored at the end."""

import datetime
import os
import time
import unittest

import harness

LIST_KEY = r"HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\Time Zones\Eastern Standard Time"
# Bias 300, standard bias 0, daylight bias -60; back to standard time on
# the last Sunday in October at 02:00, to daylight time on the first Sunday
# in April at 02:00.
OLD_TZI = "2C01000000000000C4FFFFFF00000A0000000500020000000000000000000400000001000200000000000000"
OLD_RULE = "EST5EDT,M4.1.0,M10.5.0"
DPI_KEY = r"HKEY_CURRENT_USER\Control Panel\Desktop"
# The views' heights in twips; 15 twips to a pixel at 96 DPI.
ZONE_HEIGHT, ZONE_RULES_HEIGHT = 2280, 3900


def nth_sunday(year, month, n):
    day = datetime.date(year, month, 1)
    day += datetime.timedelta(days=(6 - day.weekday()) % 7)
    return day + datetime.timedelta(weeks=n - 1)


def day_text(day):
    return "%d %s %d" % (day.day, day.strftime("%B"), day.year)


class ZoneRulesTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tavrel = harness.Tavrel("zonerules")
        cls.original_tzi = cls.tavrel.reg_query(LIST_KEY, "TZI")
        if not cls.original_tzi:
            raise harness.HarnessError("the prefix has no Eastern Standard Time entry")

    @classmethod
    def tearDownClass(cls):
        cls.tavrel.stop()
        cls.tavrel.reg_add(LIST_KEY, "TZI", cls.original_tzi, "REG_BINARY")
        cls.tavrel.wine.env.pop("TZ", None)

    def open_zone_view(self, zone):
        t = self.tavrel
        t.wine.env["TZ"] = zone
        t.start()
        t.wait_window()
        compact = t.window_rect()
        t.click("cmdInfo")
        # The view opens once the rules are read: a moment on the host, some
        # seconds in an emulated machine.
        deadline = time.monotonic() + harness.scaled(5)
        rect = t.window_rect()
        while rect == compact and time.monotonic() < deadline:
            time.sleep(0.2)
            rect = t.window_rect()
        time.sleep(harness.scaled(0.8))
        return t.window_rect()

    def window_shot(self, label):
        t = self.tavrel
        left, top, width, height = t.window_rect()
        shot = t.screenshot(label)
        return harness.crop(shot, os.path.join(t.base, label + "-window.png"), left, top, width, height)

    def test_1_an_old_rule_is_out_of_date_and_a_refused_update_changes_nothing(self):
        t = self.tavrel
        t.reg_add(LIST_KEY, "TZI", OLD_TZI, "REG_BINARY")
        _left, _top, _width, height = self.open_zone_view(OLD_RULE)
        self.assertEqual(height, ZONE_RULES_HEIGHT // 15)
        year = datetime.date.today().year
        note = t.text("lblRuleNote")
        self.assertTrue(note.startswith("Out of date: this computer changes to daylight time on %s; "
                                        % day_text(nth_sunday(year, 4, 1))), note)
        self.assertIn("the rule in force since 2007 is %s." % day_text(nth_sunday(year, 3, 2)), note)
        self.assertTrue(t.enabled("cmdUpdateRules"))
        self.assertFalse(t.enabled("cmdRestoreRules"))
        harness.publish(self.window_shot("out-of-date-96"), "view-timezone-rules-96.png")

        t.click("cmdUpdateRules")
        box = t.message_box(10000)
        if box is None:
            self.fail("no message; screenshot %s" % t.screenshot("no-message"))
        self.assertEqual(box[1], "The daylight-saving rules were not changed. The error log says why.")
        t.press("OK")
        self.assertEqual(t.reg_query(LIST_KEY, "TZI"), OLD_TZI)
        # Saved before the writes, taken back with them: nothing to put back.
        saved = (t.read_file("Common", "timezone.old") or b"").decode("latin-1")
        self.assertNotIn("[Eastern Standard Time]", saved)
        self.assertFalse(t.enabled("cmdRestoreRules"))
        log = (t.read_file("Common", "error.log") or b"").decode("latin-1")
        self.assertIn("cmdUpdateRules_Click of Formular FrmMain", log)
        self.assertTrue(t.text("lblRuleNote").startswith("Out of date"))
        t.close()
        self.assertIsNotNone(t.wait_exit(30))

    def test_2_the_view_stays_tidy_at_200_percent(self):
        t = self.tavrel
        t.reg_add(LIST_KEY, "TZI", OLD_TZI, "REG_BINARY")
        t.wine.run(["wine", "reg", "add", DPI_KEY, "/v", "LogPixels", "/t", "REG_DWORD", "/d", "192", "/f"],
                   tag="dpi")
        try:
            _left, _top, _width, height = self.open_zone_view(OLD_RULE)
            self.assertEqual(height, ZONE_RULES_HEIGHT * 2 // 15)
            self.assertTrue(t.text("lblRuleNote").startswith("Out of date"))
            self.window_shot("out-of-date-192")
            t.close()
            self.assertIsNotNone(t.wait_exit(30))
        finally:
            t.wine.run(["wine", "reg", "add", DPI_KEY, "/v", "LogPixels", "/t", "REG_DWORD", "/d", "96", "/f"],
                       tag="dpi")

    def test_3_todays_rule_and_the_prefixs_own_list_say_nothing(self):
        t = self.tavrel
        t.reg_add(LIST_KEY, "TZI", self.original_tzi, "REG_BINARY")
        _left, _top, _width, height = self.open_zone_view("America/New_York")
        self.assertEqual(height, ZONE_HEIGHT // 15)
        self.assertEqual(t.text("lblRuleNote"), "")
        self.assertFalse(any("Out of date" in text for _id, _cls, _shown, text in t.controls()))
        self.window_shot("current-96")
        t.close()
        self.assertIsNotNone(t.wait_exit(30))


if __name__ == "__main__":
    unittest.main()
