"""A new user's way through A_Tavrel under Wine, from the installer to the
uninstaller, as one scenario: install; the first start shows the compact
clock at 1000, 1000 twips with the defaults; options ticked and saved; a
synchronisation against the local time page; the time-zone view; the small
clock and the home position; into the notification area, "Synchronise now"
from its menu and back; the new-version check; About; exit; the second
start brings everything back; uninstall.

Every step leaves a screenshot in the folder TAVREL_JOURNEY_SHOTS names
(build/win32/e2e/journey/ by default); with TAVREL_UPDATE_DOCS=1 the
pictures of docs/user-guide.md (docs/guide/) are renewed from them:
scripts/guide-pictures.sh does that."""

import datetime
import os
import time
import unittest

import harness
import installer

VERSIONS = "215,2.0.7\r\n230,%s\r\n" % installer.project_version()
VK_RETURN, VK_DOWN = 0x0D, 0x28
WM_RBUTTONDOWN, WM_RBUTTONUP, WM_LBUTTONDBLCLK = 0x204, 0x205, 0x203
WS_EX_TOPMOST = 0x8
SUCCESS = r"^Your system time was updated to .+ Time correcten < -?\d+ seconds$"
ABOUT = "About vrn Tavrel XP"


def naval_page(_path):
    # One second behind, early in a second: Wine accepts the tiny change.
    while datetime.datetime.now(datetime.timezone.utc).microsecond > 300000:
        time.sleep(0.01)
    shown = datetime.datetime.now(datetime.timezone.utc) - datetime.timedelta(seconds=1)
    return 200, "<html><body><pre>" + "." * 120 + shown.strftime("%H:%M:%S") + " UTC</pre></body></html>"


def wait_for(predicate, timeout=15.0):
    deadline = time.time() + harness.scaled(timeout)
    while True:
        value = predicate()
        if value or time.time() >= deadline:
            return value
        time.sleep(0.2)


@unittest.skipIf(installer.skip_reason(), installer.skip_reason())
class JourneyTest(unittest.TestCase):
    def setUp(self):
        self.server = harness.PageServer({"/cgi-bin/timer.pl": naval_page, "/vrn/versions.txt": VERSIONS})
        base = os.path.join(harness.BUILD_DIR, "e2e", "journey")
        self.folder = os.path.join(base, "Program Files", "A_Tavrel")
        self.t = harness.Tavrel("journey", installed_root=self.folder)
        self.shots = os.environ.get("TAVREL_JOURNEY_SHOTS") or self.t.base
        os.makedirs(self.shots, exist_ok=True)
        self.step = 0
        self.key = self.t.settings_key()
        self.t.wine.run(["wine", "reg", "delete", installer.USER_KEY, "/f", harness.REG_VIEW], tag="reg-clear")

    def tearDown(self):
        t = self.t
        t.stop()
        self.server.stop()
        if os.path.exists(os.path.join(self.folder, "Uninstall.exe")):
            installer.uninstall(t, self.folder, remove_settings=True)
        t.wine.run(["wine", "reg", "delete", installer.USER_KEY, "/f", harness.REG_VIEW], tag="reg-clear")

    # -- pictures -------------------------------------------------------------

    def shot(self, label, rect=None, guide=None):
        """The whole screen for the step's folder; with rect, also that part
        of it, which becomes docs/<guide>.png when the run renews the docs."""
        self.step += 1
        time.sleep(0.6)  # the last repaint
        path = self.t.screenshot("journey-%s" % label)
        named = os.path.join(self.shots, "%02d-%s.png" % (self.step, label))
        if os.path.abspath(path) != os.path.abspath(named):
            os.replace(path, named)
        if rect:
            part = harness.crop(named, os.path.join(self.shots, "%02d-%s-window.png" % (self.step, label)), *rect)
            if guide:
                harness.publish(part, guide + ".png")
        return named

    def main_rect(self):
        return self.t.window_rect()

    def box_rect(self):
        for line in self.t.driver("msgbox", 20000).splitlines():
            if line.startswith("rect: "):
                return tuple(int(v) for v in line[6:].split())
        return None

    def synchronised(self, requests_before):
        box = self.t.message_box(30000)
        self.assertIsNotNone(box, "no message after the synchronisation")
        self.assertEqual(box[0], "A_Tavrel")
        self.assertRegex(box[1], SUCCESS)
        self.assertGreater(self.server.requests.get("/cgi-bin/timer.pl", 0), requests_before)
        return box

    # -- the journey ----------------------------------------------------------

    def test_a_new_user_from_install_to_uninstall(self):
        t = self.t
        # Install.
        self.assertEqual(installer.install(t, self.folder), 0)
        self.assertTrue(os.path.exists(os.path.join(t.program_dir, "A_Tavrel.exe")))
        t.set_hosts(self.server.base_url)

        # First start: the defaults, the compact clock at 1000, 1000 twips.
        t.start()
        t.wait_window()
        left, top, width, height = self.main_rect()
        dpi = round(width * 1440 / 4102 / 12) * 12 or 96
        twips = lambda v: round(v * dpi / 1440)  # noqa: E731
        self.assertEqual((left, top, height), (twips(1000), twips(1000), twips(1725)))
        self.assertEqual(t.check("chkDT"), 1)
        self.assertEqual(t.check("chkWinOnTop"), 0)
        self.assertEqual(t.text("lblLastUpdate"), "")
        self.assertTrue(wait_for(lambda: ":" in t.text("lblTime"), 5))
        self.shot("first-start", self.main_rect(), "guide/first-start")

        # Options: ticked and saved.
        t.click("cmdOptions")
        self.assertEqual(t.text("cmdOptions"), "Save &Options")
        t.click("chkWinOnTop")
        t.click("chkStartWithWindow")
        t.driver("select", t.id("Combo1"), 3)
        self.shot("options", self.main_rect(), "guide/options")
        t.click("cmdOptions")
        self.assertEqual(t.text("cmdOptions"), "&Options")
        self.assertEqual(t.reg_query(self.key, "chkWinOnTop"), "1")
        self.assertEqual(t.reg_query(self.key, "VoicePeriode"), "3")
        self.assertIsNotNone(t.reg_query(installer.MACHINE_RUN_KEY, "Tavrel"))
        self.assertTrue(t.exstyle() & WS_EX_TOPMOST)

        # A synchronisation against the local page.
        t.click("cmdTimeSync")
        self.synchronised(0)
        self.shot("synchronised", self.box_rect(), "guide/synchronised")
        t.press("OK")
        self.assertTrue(wait_for(lambda: any(c.isdigit() for c in t.text("lblLastUpdate"))))
        last_update = t.text("lblLastUpdate")

        # The time-zone view, and back.
        t.click("cmdInfo")
        self.assertEqual(self.main_rect()[3], twips(2280))
        self.shot("time-zone", self.main_rect(), "guide/time-zone")
        t.click("cmdInfo")
        self.assertEqual(self.main_rect()[3], twips(1725))

        # The small clock, back, and the home position.
        t.click("imgMinimize")
        self.assertTrue(wait_for(lambda: self.main_rect()[3] == twips(185)))
        self.shot("small-clock", self.main_rect(), "guide/small-clock")
        t.click("imgMinimize")
        self.assertTrue(wait_for(lambda: self.main_rect()[3] == twips(1725)))
        t.click("imgHome")
        self.assertTrue(wait_for(lambda: self.main_rect()[:2] != (twips(1000), twips(1000))))
        home = self.main_rect()
        self.assertLess(home[1], twips(1000))
        self.shot("home-position")

        # Into the notification area, "Synchronise now" from its menu, back.
        t.click("imgSysTray")
        self.assertTrue(wait_for(lambda: t.driver("wait-window", harness.FORM_CLASS, 100, check=False)
                                 .startswith("timeout")), "the window is still visible")
        self.assertTrue(wait_for(lambda: t.driver("tray-icons") == "1"))
        t.driver("tray-notify", WM_RBUTTONDOWN)
        t.driver("tray-notify", WM_RBUTTONUP)
        menu = tuple(int(v) for v in t.driver("popup").split())
        self.shot("tray-menu", menu, "guide/tray-menu")
        requests = self.server.requests.get("/cgi-bin/timer.pl", 0)
        for key in (VK_DOWN, VK_DOWN, VK_RETURN):
            t.driver("tray-key", key)
        self.synchronised(requests)
        self.shot("tray-synchronised")
        t.press("OK")
        t.driver("tray-notify", WM_LBUTTONDBLCLK)
        t.wait_window(10000)
        self.assertEqual(self.main_rect()[:2], home[:2])
        self.assertNotEqual(t.text("lblLastUpdate"), last_update, "the tray's run left no mark")
        last_update = t.text("lblLastUpdate")

        # Check for a new version: this is the latest.
        t.click("cmdOptions")
        t.click("cmdNewVersion")
        box = t.message_box(20000)
        self.assertEqual(box, ("Info", "You have installed the latest release of Tavrel.", ["OK"]))
        self.shot("new-version", self.box_rect(), "guide/new-version")
        t.press("OK")
        t.click("cmdOptions")

        # About.
        t.click("lblShowAbout")
        about = t.driver("wait-window", harness.FORM_CLASS, 10000, window=ABOUT).split()
        self.assertEqual(t.driver("text", t.id("About_lblVersion"), window=ABOUT),
                         "Version " + installer.project_version())
        self.shot("about", tuple(int(v) for v in about[2:6]), "guide/about")
        t.driver("click", t.id("About_lblOk"), window=ABOUT)
        self.assertTrue(wait_for(lambda: t.driver("wait-window", harness.FORM_CLASS, 100, window=ABOUT,
                                                  check=False).startswith("timeout")))

        # Exit.
        t.click("cmdExit")
        self.assertIsNotNone(t.wait_exit(30), "the program did not end")

        # The second start brings everything back.
        t.start()
        t.wait_window()
        self.assertEqual(self.main_rect()[:2], home[:2])
        self.assertEqual(self.main_rect()[3], twips(1725))
        self.assertEqual(t.check("chkWinOnTop"), 1)
        self.assertEqual(t.check("chkStartWithWindow"), 1)
        self.assertEqual(t.text("Combo1"), "15")
        self.assertEqual(t.text("lblLastUpdate"), last_update)
        self.assertTrue(t.exstyle() & WS_EX_TOPMOST)
        self.shot("second-start", self.main_rect())
        t.close()
        self.assertIsNotNone(t.wait_exit(30))

        # Uninstall: the program goes, the settings stay.
        installer.uninstall(t, self.folder)
        self.assertEqual(installer.files_below(self.folder), {"Common/error.log"})
        self.assertIsNone(t.reg_query(installer.MACHINE_RUN_KEY, "Tavrel"))
        self.assertEqual(t.reg_query(self.key, "chkWinOnTop"), "1")
        self.assertEqual(t.reg_query(self.key, "lblLastUpdate"), last_update)


if __name__ == "__main__":
    unittest.main()
