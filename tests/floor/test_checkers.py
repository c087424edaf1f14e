"""The floor checkers catch what old Windows refuses and let the rest pass:
the constant floor on a small source tree of its own, the import floor on
an import table told by a stand-in objdump."""

import contextlib
import io
import os
import stat
import tempfile
import textwrap
import unittest

import check_constants
import check_imports


def quiet(main, args):
    """main(args)'s exit status and what it printed."""
    out = io.StringIO()
    with contextlib.redirect_stdout(out):
        status = main(args)
    return status, out.getvalue()


class ConstantFloorTest(unittest.TestCase):
    def tree(self, files):
        root = tempfile.mkdtemp()
        self.addCleanup(lambda: __import__("shutil").rmtree(root))
        for rel, text in files.items():
            path = os.path.join(root, rel)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "w") as f:
                f.write(textwrap.dedent(text))
        return root

    def test_a_newer_name_in_the_layer_fails_with_its_first_versions(self):
        root = self.tree({"platform/win32/Timers.cpp": """
            HWND w = CreateWindowExA(0, "A", "", 0, 0, 0, 0, 0, HWND_MESSAGE, 0, 0, 0);
            DWORD mask = QS_ALLINPUT;
            """})
        status, out = quiet(check_constants.main, ["--source", root])
        self.assertEqual(1, status)
        self.assertIn("Timers.cpp:2: HWND_MESSAGE", out)
        self.assertIn("first on none / 2000", out)
        self.assertIn("Timers.cpp:3: QS_ALLINPUT", out)

    def test_comments_the_compat_file_and_allowed_files_pass(self):
        root = self.tree({
            "platform/win32/Timers.cpp": "// message-only windows (HWND_MESSAGE) came with 2000\n"
                                         "DWORD mask = QS_KEY | QS_HOTKEY;\n",
            "platform/win32/Win32Compat.cpp": "HCURSOR c = LoadCursorA(0, IDC_HAND);\n",
            "platform/win32/Win32Udp.cpp": "int family = AF_INET6;\n",
        })
        status, out = quiet(check_constants.main, ["--source", root])
        self.assertEqual(0, status, out)

    def test_a_name_of_a_known_family_without_a_row_fails_until_it_is_looked_up(self):
        root = self.tree({"platform/win32/Look.cpp": "DWORD style = WS_EX_LAYERED;\n",
                          "app/Ids.h": "#define WS_OWN_THING 4\n",
                          "platform/win32/Own.cpp": "int x = WS_OWN_THING;\n"})
        status, out = quiet(check_constants.main, ["--source", root])
        self.assertEqual(1, status)
        self.assertIn("WS_EX_LAYERED is not in", out)
        self.assertNotIn("WS_OWN_THING", out)

    def test_a_pattern_brush_is_a_call_9x_cuts_to_8x8(self):
        root = self.tree({"platform/win32/Paint.cpp": "HBRUSH b = CreatePatternBrush(bitmap);\n"})
        status, out = quiet(check_constants.main, ["--source", root])
        self.assertEqual(1, status)
        self.assertIn("CreatePatternBrush (call)", out)


class ImportFloorTest(unittest.TestCase):
    def exe_importing(self, imports, subsystem="4.0"):
        """A stand-in objdump that prints an import table; returns its path."""
        folder = tempfile.mkdtemp()
        self.addCleanup(lambda: __import__("shutil").rmtree(folder))
        lines = ["MajorSubsystemVersion\t%s" % subsystem.split(".")[0],
                 "MinorSubsystemVersion\t%s" % subsystem.split(".")[1], "", "The Import Tables (interpreted .idata section contents)"]
        for dll, names in imports.items():
            lines.append("\tDLL Name: %s" % dll)
            lines.append("\tvma:  Hint/Ord Member-Name Bound-To")
            for i, name in enumerate(names):
                lines.append("\t%08x\t   %d  %s" % (0x1000 + i, i, name))
            lines.append("")
        lines.append("The Function Table")
        listing = os.path.join(folder, "objdump.txt")
        with open(listing, "w") as f:
            f.write("\n".join(lines) + "\n")
        objdump = os.path.join(folder, "objdump")
        with open(objdump, "w") as f:
            f.write("#!/bin/sh\ncat '%s'\n" % listing)
        os.chmod(objdump, os.stat(objdump).st_mode | stat.S_IEXEC)
        return objdump

    def run_checker(self, imports, subsystem="4.0"):
        return quiet(check_imports.main, ["program.exe", "--objdump", self.exe_importing(imports, subsystem)])

    def test_the_programs_kind_of_imports_pass_on_every_version(self):
        status, out = self.run_checker({"KERNEL32.dll": ["QueryPerformanceCounter", "GetEnvironmentVariableA"],
                                        "WINMM.dll": ["timeGetTime", "timeBeginPeriod", "timeEndPeriod"],
                                        "WININET.dll": ["InternetOpenA"]})  # Internet Explorer 4.01 brings it
        self.assertEqual(0, status, out)
        self.assertEqual(7, out.count(" OK"))

    def test_a_newer_import_fails_the_versions_without_it(self):
        status, out = self.run_checker({"user32.dll": ["GetAncestor"], "ws2_32.dll": ["getaddrinfo"]})
        self.assertEqual(1, status)
        self.assertIn("user32.dll!GetAncestor: not known for this version", out)
        self.assertIn("ws2_32.dll: first on 98", out)
        self.assertIn("ws2_32.dll!getaddrinfo: first on xp", out)
        self.assertIn("Windows xp   OK", out)

    def test_an_import_or_a_dll_the_tables_do_not_know_fails(self):
        status, out = self.run_checker({"kernel32.dll": ["NoSuchCall"], "nosuch.dll": ["Thing"]})
        self.assertEqual(1, status)
        self.assertIn("kernel32.dll!NoSuchCall: not in imports.tsv", out)
        self.assertIn("nosuch.dll: not in dlls.tsv", out)

    def test_a_newer_subsystem_version_fails_the_older_loaders(self):
        status, out = self.run_checker({"kernel32.dll": ["Sleep"]}, subsystem="5.1")
        self.assertEqual(1, status)
        self.assertIn("Windows 2000 FAIL", out)
        self.assertIn("Windows xp   OK", out)


if __name__ == "__main__":
    unittest.main()
