"""What start-up leaves behind, seen from outside: without its language file
the program says why and ends before any window exists; with it, the
machine-wide ProgramVersion record names the version that ran and a new
error log starts with its seven-line header."""

import os
import unittest

import harness

TAVREL_KEY = r"HKEY_LOCAL_MACHINE\Software\VRN\Tavrel"


class MissingLanguageTest(unittest.TestCase):
    def test_the_program_says_why_and_ends_without_a_window(self):
        tavrel = harness.Tavrel("nolanguage")
        try:
            for name in os.listdir(tavrel.language_dir):
                os.remove(os.path.join(tavrel.language_dir, name))
            tavrel.start()
            box = tavrel.message_box(30000)
            if box is None:
                self.fail("no message box; screenshot: %s" % tavrel.screenshot("no-box"))
            title, text, buttons = box
            self.assertEqual(title, "Tavrel")
            self.assertIn("The language file english.lng is missing or corrupted!", text)
            self.assertTrue(tavrel.driver("wait-window", harness.FORM_CLASS, 500, check=False).startswith("timeout"),
                            "a main window exists while the language message is shown")
            tavrel.press("OK")
            self.assertIsNotNone(tavrel.wait_exit(30), "the program still runs after the language message")
            log = tavrel.read_file("Common", "error.log") or b""
            self.assertIn(b"No language file\r\n", log)
        finally:
            tavrel.stop()


class FirstStartTest(unittest.TestCase):
    def test_version_record_and_log_header(self):
        tavrel = harness.Tavrel("firststart")
        try:
            tavrel.wine.prepare()
            tavrel.wine.reg_delete_key(TAVREL_KEY)
            tavrel.start()
            tavrel.wait_window()

            code, out = tavrel.wine.run(["wine", "reg", "query", TAVREL_KEY, "/s", harness.REG_VIEW], tag="reg-tree")
            self.assertEqual(code, 0, out)
            versions = [line.split(None, 2) for line in out.splitlines() if "ProgramVersion" in line]
            self.assertEqual(versions, [["ProgramVersion", "REG_SZ", "3.10.1"]], out)
            self.assertTrue(any(line.strip().lower().endswith("\\settings") and "tavrel\\" in line.lower()
                                for line in out.splitlines()), out)

            log = (tavrel.read_file("Common", "error.log") or b"").decode("latin-1")
            lines = log.split("\r\n")
            self.assertGreaterEqual(len(lines), 8, log)
            self.assertTrue(lines[0].startswith("########  v.r.n error log file - created "), log)
            self.assertTrue(lines[1].startswith("230\t"), log)
            self.assertEqual(lines[6], "########  End of Header  ##########", log)
        finally:
            tavrel.stop()


if __name__ == "__main__":
    unittest.main()
