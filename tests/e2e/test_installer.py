"""The release installer under Wine, silent (/S, /D=): it lays out every file
and registers the program for Add/Remove Programs; the installed program
starts and shows its window; a second install over a running copy closes it
first and keeps its settings; a newer installed version is neither replaced
nor removed without being asked; the uninstaller takes every installed file,
the Start menu folder, both Run entries and its registration and leaves the
user's settings and error log, unless told to take them too; with no folder
given the program goes below Program Files."""

import os
import shutil
import struct
import time
import unittest

import harness
import installer

VERSION = installer.project_version()
# VS_FIXEDFILEINFO starts with this signature; the file version follows the
# structure version.
FIXED_FILE_INFO = struct.pack("<I", 0xFEEF04BD)


def make_newer(exe, major=9):
    """Rewrites the file version in the program's version resource, so that it
    reads as a later release."""
    with open(exe, "r+b") as f:
        data = f.read()
        at = data.find(FIXED_FILE_INFO)
        assert at > 0, "no version resource"
        f.seek(at + 8)
        f.write(struct.pack("<I", major << 16))


@unittest.skipIf(installer.skip_reason(), installer.skip_reason())
class InstallerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = harness.PageServer()
        base = os.path.join(harness.BUILD_DIR, "e2e", "installer")
        cls.folder = os.path.join(base, "Program Files", "A_Tavrel")
        cls.tavrel = harness.Tavrel("installer", installed_root=cls.folder)
        cls.tavrel.set_hosts(cls.server.base_url)
        cls.key = cls.tavrel.settings_key()
        t = cls.tavrel
        t.wine.run(["wine", "reg", "delete", cls.key, "/f", harness.REG_VIEW], tag="reg-clear")

    @classmethod
    def tearDownClass(cls):
        cls.tavrel.stop()
        cls.server.stop()
        t = cls.tavrel
        if os.path.exists(os.path.join(cls.folder, "Uninstall.exe")):
            installer.uninstall(t, cls.folder, remove_settings=True)
        t.wine.run(["wine", "reg", "delete", installer.USER_KEY, "/f", harness.REG_VIEW], tag="reg-clear")

    def registered(self, name):
        return self.tavrel.reg_query(installer.UNINST_KEY, name)

    def test_1_a_silent_install_lays_out_the_tree_and_registers_it(self):
        t = self.tavrel
        self.assertEqual(installer.install(t, self.folder), 0)
        self.assertEqual(installer.files_below(self.folder), installer.INSTALLED)
        with open(harness.EXE, "rb") as f:
            self.assertEqual(t.read_file("Tavrel", "A_Tavrel.exe"), f.read())
        with open(os.path.join(harness.SOURCE_DIR, "install", "Common", "language", "english.lng"), "rb") as f:
            self.assertEqual(t.read_file("Common", "language", "english.lng"), f.read())
        # Windows folds common\license into Common; so does Wine on disk.
        urls = t.read_file("Common", "license", "UrlList.txt").decode("latin-1")
        # The program reads twenty lines and takes the home page from the first.
        self.assertEqual(urls.count("\r\n"), 20)
        self.assertEqual(urls.split("\r\n")[0], "http://www.vrn.example/vrn")
        readme = t.read_file("ReadMe.txt").decode("latin-1")
        for topic in ("NTP client within a local network", "error.log", "VRN Program Settings", "Uninstall"):
            self.assertIn(topic, readme)
        self.assertNotIn("\n", readme.replace("\r\n", ""), "Notepad on old Windows wants CR LF")

        where = harness.windows_path(self.folder)
        self.assertEqual(self.registered("DisplayName"), "A_Tavrel " + VERSION)
        self.assertEqual(self.registered("DisplayVersion"), VERSION)
        self.assertEqual(self.registered("InstallLocation"), where)
        self.assertEqual(self.registered("UninstallString"), '"%s\\Uninstall.exe"' % where)
        self.assertEqual(self.registered("QuietUninstallString"), '"%s\\Uninstall.exe" /S' % where)
        self.assertEqual(self.registered("DisplayIcon"), where + "\\Tavrel\\A_Tavrel.exe,0")
        self.assertEqual(self.registered("Publisher"), "v.r.n")
        self.assertEqual(self.registered("NoModify"), "0x1")
        self.assertGreater(int(self.registered("EstimatedSize"), 16), 100)
        self.assertEqual(set(os.listdir(installer.MENU_FOLDER)), installer.SHORTCUTS)

    def test_2_the_installed_program_starts_and_shows_its_window(self):
        t = self.tavrel
        t.start()
        t.wait_window()
        self.assertEqual(t.text("cmdTimeSync"), "&Get  Atomic  Time")
        t.screenshot("installed-program")
        # "Start with Windows" writes the machine's Run key; the user's key
        # holds the entry where the machine's cannot be written.
        t.click("cmdOptions")
        t.click("chkStartWithWindow")
        time.sleep(0.5)
        self.assertIsNotNone(t.reg_query(installer.MACHINE_RUN_KEY, "Tavrel"))
        t.reg_add(installer.USER_RUN_KEY, "Tavrel", '"%s"' % harness.windows_path(
            os.path.join(t.program_dir, "A_Tavrel.exe")))
        t.click("cmdOptions")
        # The new-version check's copy of the versions file.
        os.makedirs(t.path("temp"), exist_ok=True)
        with open(t.path("temp", "versions.txt"), "wb") as f:
            f.write(b"230,3.10.1\r\n\r\n")

    def test_3_installing_again_closes_the_running_copy_and_keeps_its_settings(self):
        t = self.tavrel
        self.assertTrue(t.running())
        self.assertEqual(installer.install(t, self.folder), 0)
        self.assertIsNotNone(t.wait_exit(10), "the installer left the program running")
        self.assertEqual(t.reg_query(self.key, "chkStartWithWindow"), "1", "closed without saving")
        self.assertEqual(installer.files_below(self.folder),
                         installer.INSTALLED | {"Common/error.log", "temp/versions.txt"})
        t.start()
        t.wait_window()
        t.close()
        self.assertIsNotNone(t.wait_exit(30))

    def test_4_a_newer_installed_version_stays_unless_asked(self):
        t = self.tavrel
        exe = os.path.join(t.program_dir, "A_Tavrel.exe")
        kept = exe + ".kept"
        shutil.copy(exe, kept)
        make_newer(exe)
        with open(exe, "rb") as f:
            newer = f.read()
        try:
            self.assertEqual(installer.install(t, self.folder), 2)
            self.assertEqual(t.read_file("Tavrel", "A_Tavrel.exe"), newer)
            self.assertEqual(installer.uninstall(t, self.folder, in_place=True), 2)
            self.assertEqual(t.read_file("Tavrel", "A_Tavrel.exe"), newer)
            self.assertTrue(installer.key_exists(t, installer.UNINST_KEY))
        finally:
            shutil.move(kept, exe)

    def test_5_uninstalling_leaves_only_the_settings_and_the_error_log(self):
        t = self.tavrel
        installer.uninstall(t, self.folder)
        self.assertEqual(installer.files_below(self.folder), {"Common/error.log"})
        self.assertEqual(os.listdir(self.folder), ["Common"])
        self.assertFalse(os.path.exists(installer.MENU_FOLDER))
        self.assertFalse(installer.key_exists(t, installer.UNINST_KEY))
        self.assertIsNone(t.reg_query(installer.MACHINE_RUN_KEY, "Tavrel"))
        self.assertIsNone(t.reg_query(installer.USER_RUN_KEY, "Tavrel"))
        # Of the machine-wide key only the host settings (the test's) stay.
        self.assertEqual(installer.subkeys(t, installer.MACHINE_KEY), ["Hosts"])
        self.assertEqual(t.reg_query(self.key, "chkStartWithWindow"), "1")
        self.assertEqual(t.reg_query(self.key, "MainLeft"), "1000")

    def test_6_told_to_the_uninstaller_takes_the_settings_and_the_log_too(self):
        t = self.tavrel
        self.assertEqual(installer.install(t, self.folder), 0)
        self.assertEqual(installer.files_below(self.folder), installer.INSTALLED | {"Common/error.log"})
        installer.uninstall(t, self.folder, remove_settings=True)
        self.assertFalse(os.path.exists(self.folder))
        self.assertFalse(installer.key_exists(t, installer.USER_KEY))

    def test_7_without_a_folder_it_installs_below_program_files(self):
        t = self.tavrel
        self.assertEqual(installer.install(t), 0)
        where = self.registered("InstallLocation")
        self.assertRegex(where, r"^C:\\Program Files( \(x86\))?\\A_Tavrel$")
        folder = os.path.join(harness.WINEPREFIX, "drive_c", where[3:].replace("\\", "/"))
        self.assertEqual(installer.files_below(folder), installer.INSTALLED)
        installer.uninstall(t, folder, remove_settings=True)
        self.assertFalse(os.path.exists(folder))


if __name__ == "__main__":
    unittest.main()
