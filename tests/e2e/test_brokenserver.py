"""A broken time server never harms the user. Every source of the chain
answers with the same fault in turn: an error status, an empty or binary
body, a page without its marker or with no time at the marker, a
connection reset in the middle of the body. Each time the run ends with
the failure message, the clock is never asked to change, the program
answers the next click, the stored settings stay as they were and the
error log only grows."""

import random
import unittest

import harness

SOURCES = ("/cgi-bin/timer.pl", "/timezone.cgi", "/aw-cgi/eBayISAPI.dll")


def binary_megabyte():
    data = bytearray(random.Random(7).randbytes(1 << 20))
    for marker in (b"UTC", b"PDT", b"PST", b"white"):
        data = data.replace(marker, b"x" * len(marker))
    return bytes(data)


def status(code):
    return lambda _path: (code, "<html><body>error %d</body></html>" % code)


class BrokenServerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = harness.PageServer()
        cls.tavrel = harness.Tavrel("brokenserver")
        cls.tavrel.set_hosts(cls.server.base_url)
        cls.key = cls.tavrel.settings_key()
        cls.tavrel.reg_add(cls.key, "txtTimeCorrection", "4")
        cls.tavrel.start()
        cls.tavrel.wait_window()

    @classmethod
    def tearDownClass(cls):
        cls.tavrel.stop()
        cls.server.stop()

    def run_with(self, answer):
        t = self.tavrel
        for path in SOURCES:
            self.server.pages[path] = answer
        log_before = t.read_file("Common", "error.log") or b""
        t.click("cmdTimeSync")
        box = t.message_box(120000)
        self.assertIsNotNone(box, "no message; screenshot %s" % t.screenshot("no-message"))
        self.assertEqual(box[1], "The attempt to synchronize your system time failed")
        t.press("OK")
        self.assertTrue(t.running())
        self.assertEqual(t.text("cmdTimeSync"), "&Get Atomic Time")
        self.assertTrue(t.enabled("cmdTimeSync"))
        log = t.read_file("Common", "error.log") or b""
        self.assertTrue(log.startswith(log_before), "the error log lost what it held")
        self.assertNotIn(b"VRN_TimeSync  240", log, "the clock was asked to change")
        self.assertEqual(t.reg_query(self.key, "txtTimeCorrection"), "4")
        self.assertEqual(t.text("txtTimeCorrection"), "4")

    def test_not_found(self):
        self.run_with(status(404))

    def test_server_error(self):
        self.run_with(status(500))

    def test_empty_body(self):
        self.run_with("")

    def test_a_megabyte_of_binary_bytes(self):
        self.run_with(binary_megabyte())

    def test_a_page_without_its_marker(self):
        self.run_with("<html><body>" + "." * 2000 + " the time is not shown today</body></html>")

    def test_a_time_that_is_no_number(self):
        self.run_with("<html><body><pre>" + "." * 1200 + "ab:cd:ef UTC PDT PST white\"><b>ab:cd:ef</pre>")

    def test_a_connection_reset_mid_body(self):
        self.run_with(harness.RESET_MID_BODY)


if __name__ == "__main__":
    unittest.main()
