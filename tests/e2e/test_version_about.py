"""The new-version check and the About window under Wine, with the maker's
web site on a local server: "Check for new version" offers the newer
release of the versions file and opens nothing on No; with the site gone it
says the connection failed; "About" opens the About window, which shows the
version and closes with its OK button. Screenshots of the offer and of the
About window go to docs/ when the run renews the documentation
(TAVREL_UPDATE_DOCS=1)."""

import os
import subprocess
import time
import unittest

import harness

ABOUT = "About vrn Tavrel XP"
VERSIONS = "100,1.2.3\r\n215,2.0.7\r\n230,3.11.0\r\n"
OFFER = ("A new recommended release (vers. 3.11.0) of Tavrel is available for download."
         "  Do you want to download it now ?")  # the driver shows CR LF as two blanks
FAILURE = "There was a problem connecting to the internet.  Please try it later again."


def crop(shot, out, left, top, width, height, margin=4):
    subprocess.run(["convert", shot, "-crop", "%dx%d+%d+%d" % (width + 2 * margin, height + 2 * margin,
                                                              max(0, left - margin), max(0, top - margin)),
                    "+repage", out], check=True)
    return out


class VersionAboutTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = harness.PageServer({"/vrn/versions.txt": VERSIONS})
        cls.tavrel = harness.Tavrel("version_about")
        cls.tavrel.set_hosts(cls.server.base_url)
        cls.tavrel.start()
        cls.tavrel.wait_window()

    @classmethod
    def tearDownClass(cls):
        cls.tavrel.stop()
        cls.server.stop()

    def offer_box(self):
        """(title, text, buttons, rect) of the shown box, read in one look:
        a second look could find the program between two of its windows."""
        out = self.tavrel.driver("msgbox", 20000, check=False)
        fields = {"button": []}
        for line in out.splitlines():
            key, _, value = line.partition(": ")
            if key == "button":
                fields["button"].append(value)
            elif key in ("title", "text", "rect"):
                fields[key] = value
        if "title" not in fields:
            return None
        rect = tuple(int(v) for v in fields["rect"].split()) if "rect" in fields else None
        return fields["title"], fields.get("text", ""), fields["button"], rect

    def test_1_a_newer_release_is_offered_and_no_opens_nothing(self):
        t = self.tavrel
        t.click("cmdOptions")
        self.assertEqual(t.text("cmdNewVersion"), "Check for new version")
        t.click("cmdNewVersion")
        box = self.offer_box()
        self.assertIsNotNone(box, "no message; screenshot %s" % t.screenshot("no-offer"))
        self.assertEqual(box[:3], ("Info", OFFER, ["Yes", "No"]))
        shot = t.screenshot("offer")
        if box[3]:
            harness.publish(crop(shot, os.path.join(t.base, "version-offer.png"), *box[3]), "version-offer.png")
        t.press("No")
        time.sleep(1)
        self.assertIsNone(t.message_box(1000))
        self.assertEqual(self.server.requests.get("/vrn/versions.txt"), 1)
        self.assertNotIn("/vrn/products/downloads_e.htm", self.server.requests)
        self.assertEqual(t.read_file("temp", "versions.txt"), (VERSIONS + "\r\n").encode("latin-1"))
        t.click("cmdOptions")

    def test_2_with_the_site_gone_the_connection_failure_is_said(self):
        t = self.tavrel
        t.set_hosts("http://127.0.0.1:9")  # nothing listens there
        try:
            t.click("cmdNewVersion")
            box = t.message_box(60000)
            self.assertIsNotNone(box, "no message; screenshot %s" % t.screenshot("no-failure"))
            self.assertEqual(box, ("Error", FAILURE, ["OK"]))
            t.press("OK")
            time.sleep(0.5)
            self.assertIsNone(t.message_box(1000))
        finally:
            t.set_hosts(self.server.base_url)

    def test_3_the_about_window_shows_the_version_and_closes_with_ok(self):
        t = self.tavrel
        t.click("lblShowAbout")
        out = t.driver("wait-window", harness.FORM_CLASS, 10000, window=ABOUT)
        left, top, width, height = (int(v) for v in out.split()[2:6])
        self.assertEqual(t.driver("text", t.id("About_lblVersion"), window=ABOUT), "Version 3.10.1")
        self.assertEqual(t.driver("text", t.id("About_lblTitle"), window=ABOUT), "vrn Tavrel XP")
        self.assertEqual(t.driver("text", t.id("About_lblOk"), window=ABOUT), "OK")
        time.sleep(0.5)
        shot = t.screenshot("about")
        harness.publish(crop(shot, os.path.join(t.base, "about.png"), left, top, width, height), "about.png")
        t.driver("click", t.id("About_lblOk"), window=ABOUT)
        gone = t.driver("wait-window", harness.FORM_CLASS, 500, window=ABOUT, check=False)
        deadline = time.monotonic() + harness.scaled(10)
        while not gone.startswith("timeout") and time.monotonic() < deadline:
            gone = t.driver("wait-window", harness.FORM_CLASS, 500, window=ABOUT, check=False)
        self.assertTrue(gone.startswith("timeout"), "the About window is still open")
        self.assertTrue(t.running())
        self.assertEqual(t.text("lblShowAbout"), "About")


if __name__ == "__main__":
    unittest.main()
