"""The notification area under Wine: the tray button hides the main window
and puts the icon into Wine's notification area; the icon's mouse messages,
posted as the shell posts them, bring the window back or open the tray menu;
a restarted task bar gets the icon again; "Start in system tray" starts
without a visible window; closing takes the icon away.

What the program asks of the shell is read from Wine's own trace of
Shell_NotifyIcon in the program's process (WINEDEBUG=+systray); what the
shell shows, from the icon windows of Wine's notification area."""

import os
import re
import shutil
import subprocess
import time
import unittest

import harness

WM_MOUSEMOVE = 0x200
WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK = 0x201, 0x202, 0x203
WM_RBUTTONDOWN, WM_RBUTTONUP = 0x204, 0x205
VK_RETURN, VK_ESCAPE, VK_DOWN = 0x0D, 0x1B, 0x28
NIM_ADD, NIM_DELETE = 0, 2

# The picture of the open menu in docs/ is renewed only when asked for
# (TAVREL_UPDATE_DOCS=1); every run keeps its own beside its screenshots.


def wait_for(predicate, timeout=15.0):
    """Polls until predicate() holds; its last value."""
    deadline = time.time() + harness.scaled(timeout)
    while True:
        value = predicate()
        if value or time.time() >= deadline:
            return value
        time.sleep(0.2)


class TrayProgram(harness.Tavrel):
    """The program with Wine's tray trace on, and the tray's driver commands."""

    def start_traced(self):
        self.wine.env["WINEDEBUG"] = "+systray"
        try:
            self.start()
        finally:
            self.wine.env["WINEDEBUG"] = "-all"

    def requests(self):
        """The Shell_NotifyIcon requests the program made, in order."""
        found = []
        for name in sorted(os.listdir(self.work_dir)):
            if "A_Tavrel" in name:
                with open(os.path.join(self.work_dir, name), "rb") as f:
                    text = f.read().decode("latin-1")
                found += [int(m) for m in re.findall(r"Shell_NotifyIcon\w* dwMessage = (\d+)", text)]
        return found

    def main_visible(self):
        for line in self.driver("toplevel").splitlines():
            parts = line.split("\t")
            if len(parts) == 7 and parts[0] == harness.FORM_CLASS and parts[6] == harness.MAIN_WINDOW:
                return parts[1] == "1"
        return None

    def icons(self):
        return int(self.driver("tray-icons"))

    def tray_window(self):
        return self.driver("tray-window") == "1"

    def on_icon(self, *messages):
        for message in messages:
            self.driver("tray-notify", message)


def store_start_in_tray(tavrel, value):
    """The stored "Start in system tray" box of the Wine user; the prefix,
    and so the settings, are shared by every test of the run."""
    code, out = tavrel.wine.run(["wine", "cmd", "/c", "echo", "%USERNAME%"], tag="username")
    user = out.strip().splitlines()[-1].strip().upper()
    key = r"HKEY_CURRENT_USER\Software\VRN Program Settings\VRN\Tavrel\%s\Settings" % user
    tavrel.reg_add(key, "chkStartInSysTray", value)


class TrayTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = harness.PageServer()
        cls.tavrel = TrayProgram("tray")
        cls.tavrel.set_hosts(cls.server.base_url)
        store_start_in_tray(cls.tavrel, "0")
        cls.tavrel.start_traced()
        cls.tavrel.wait_window()

    @classmethod
    def tearDownClass(cls):
        cls.tavrel.stop()
        cls.server.stop()

    def into_tray(self):
        t = self.tavrel
        t.click("imgSysTray")
        self.assertTrue(wait_for(lambda: t.main_visible() is False), "the main window is still visible")
        self.assertTrue(wait_for(lambda: t.icons() == 1), "no icon in the notification area")

    def test_1_the_tray_button_hides_the_window_and_adds_the_icon(self):
        t = self.tavrel
        self.assertEqual(t.icons(), 0)
        self.into_tray()
        self.assertTrue(t.tray_window())
        self.assertEqual(t.requests()[:1], [NIM_ADD])

    def test_2_a_new_task_bar_gets_the_icon_again_and_only_once(self):
        t = self.tavrel
        adds = t.requests().count(NIM_ADD)
        t.driver("tray-taskbar-created")
        self.assertTrue(wait_for(lambda: t.requests().count(NIM_ADD) == adds + 1), t.requests())
        self.assertEqual(t.icons(), 1)
        self.assertFalse(t.main_visible())

    def test_3_the_right_button_opens_the_menu_and_show_brings_the_window_back(self):
        t = self.tavrel
        t.on_icon(WM_RBUTTONDOWN, WM_RBUTTONUP)
        left, top, width, height = (int(v) for v in t.driver("popup").split())
        self.assertGreater(height, width // 2, "eight items stand below each other")
        shot = t.screenshot("tray-menu")
        self.save_menu_picture(shot, left, top, width, height)
        # The first item, "&Show A_Tavrel".
        t.driver("tray-key", VK_DOWN)
        t.driver("tray-key", VK_RETURN)
        self.assertTrue(wait_for(lambda: t.main_visible()), "the window did not come back")
        self.assertTrue(wait_for(lambda: t.icons() == 0), "the icon stayed")
        self.assertEqual(t.requests()[-1], NIM_DELETE)
        self.assertFalse(t.tray_window())

    def test_4_a_left_double_click_brings_the_window_back(self):
        t = self.tavrel
        self.into_tray()
        # The shell's last button-up may find the tray window gone already.
        t.on_icon(WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK)
        self.assertTrue(wait_for(lambda: t.main_visible()), "the window did not come back")
        self.assertTrue(wait_for(lambda: t.icons() == 0), "the icon stayed")
        self.assertFalse(t.tray_window())

    def test_5_escape_closes_the_menu_over_the_window_without_an_icon(self):
        t = self.tavrel
        self.into_tray()
        t.on_icon(WM_RBUTTONDOWN)
        t.driver("popup")
        t.driver("tray-key", VK_ESCAPE)
        self.assertTrue(wait_for(lambda: t.driver("popup", 0, check=False) == "no popup menu"))
        self.assertFalse(t.main_visible())
        self.assertEqual(t.icons(), 1)

    def test_6_closing_from_the_tray_takes_the_icon_away(self):
        t = self.tavrel
        t.driver("close-hidden")
        self.assertIsNotNone(t.wait_exit(30), "the program still runs 30 s after WM_CLOSE")
        self.assertEqual(t.requests()[-1], NIM_DELETE)
        self.assertTrue(wait_for(lambda: t.icons() == 0), "an icon was left behind")
        self.assertFalse(t.tray_window())

    def save_menu_picture(self, shot, left, top, width, height):
        """The open menu, cropped with a margin, for the documentation."""
        if not shutil.which("convert") or not os.path.exists(shot):
            return
        margin = 8
        crop = "%dx%d+%d+%d" % (width + 2 * margin, height + 2 * margin, max(0, left - margin),
                                max(0, top - margin))
        picture = os.path.join(self.tavrel.root, "tray-menu.png")
        subprocess.run(["convert", shot, "-crop", crop, "+repage", picture],
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=60, check=False)
        harness.publish(picture, "tray-menu.png")


class StartInTrayTest(unittest.TestCase):
    def test_a_stored_tick_starts_in_the_tray_without_a_window(self):
        server = harness.PageServer()
        tavrel = TrayProgram("tray-start")
        try:
            tavrel.set_hosts(server.base_url)
            store_start_in_tray(tavrel, "1")
            tavrel.start_traced()
            self.assertTrue(wait_for(lambda: tavrel.icons() == 1, 30), "no icon after start-up")
            self.assertTrue(wait_for(lambda: tavrel.main_visible() is False),
                            "the main window is visible (or missing)")
            self.assertEqual(tavrel.requests(), [NIM_ADD])
            tavrel.on_icon(WM_LBUTTONDBLCLK)
            self.assertTrue(wait_for(lambda: tavrel.main_visible()), "the window did not come back")
            self.assertEqual(tavrel.check("chkStartInSysTray"), 1)
        finally:
            tavrel.stop()
            server.stop()
            store_start_in_tray(tavrel, "0")


if __name__ == "__main__":
    unittest.main()
