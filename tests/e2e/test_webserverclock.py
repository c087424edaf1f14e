"""Today's hosts under Wine: the three time pages answer 301 with no time
text, and the program takes the time from the web servers' Date headers.
A server 0.200 s ahead (Wine ignores a change under half a second, so the
clock stays) gives the success message and a result line within 20 ms of
+0.200 s, also when the server keeps its connections open; servers that
send no Date give the failure message, and the
error log stays as it was. On a clock that moves in the 55 ms steps of
Windows 9x (TAVREL_CLOCK_STEP_MS) the program interpolates, comes as close
and says so in the result line."""

import re
import time
import unittest

import harness
from date_server import DateServer

RESULT = re.compile(r"^offset ([-+]\d+\.\d{3}) s, delay (\d+) ms \(web server clock\)$")
COARSE = re.compile(r"^offset ([-+]\d+\.\d{3}) s, delay (\d+) ms \(web server clock\)\s+clock step 55 ms, interpolated$")


def within(match):
    """How far the offset may be from the truth: 20 ms, and half the round
    trip the result line names (an emulated machine's is long)."""
    return 0.020 + int(match.group(2)) / 2000


class WebServerClockTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tavrel = harness.Tavrel("webserverclock")
        cls.key = cls.tavrel.settings_key()
        cls.tavrel.wine.run(["wine", "reg", "delete", cls.key, "/f", harness.REG_VIEW], tag="reg-clear")

    def run_once(self, server):
        t = self.tavrel
        t.set_hosts(server.base_url)
        t.start()
        try:
            t.wait_window()
            log_before = t.read_file("Common", "error.log") or b""
            started = time.monotonic()
            t.click("cmdTimeSync")
            box = t.message_box(120000)
            if box is None:
                self.fail("no message; screenshot %s" % t.screenshot("no-message"))
            took = time.monotonic() - started
            t.press("OK")
            time.sleep(0.3)
            t.click("cmdOptions")
            result = t.text("Label15")
            shot = t.screenshot("result")
            log = t.read_file("Common", "error.log") or b""
            t.click("cmdOptions")
            return box[1], result, log_before, log, took, shot
        finally:
            t.stop()

    def test_a_redirect_with_a_date_sets_the_clock(self):
        with DateServer(offset=0.200, latency=0.005) as server:
            message, result, before, log, took, shot = self.run_once(server)
            requests = server.requests
        print("\nresult line %r after %.1f s, %d requests, screenshot %s" % (result, took, requests, shot))
        self.assertTrue(message.startswith("Your system time was updated to "), message)
        match = RESULT.match(result)
        self.assertIsNotNone(match, result)
        self.assertAlmostEqual(float(match.group(1)), 0.200, delta=within(match))
        # One request per page (a redirect is its standing answer), then the
        # refinement, all to one host here: ten at most.
        self.assertLessEqual(requests, 10)
        self.assertEqual(log, before, "something was reported")

    def test_a_server_that_keeps_its_connections_open_reads_as_well(self):
        # Public web servers speak HTTP/1.1 and keep the connection for the
        # next request; WinINet then skips the connect, and the timing of
        # the requests that meet the second's change must still hold.
        with DateServer(offset=0.200, latency=0.005, keep_alive=True) as server:
            message, result, before, log, took, shot = self.run_once(server)
        print("\nresult line %r after %.1f s, screenshot %s" % (result, took, shot))
        self.assertTrue(message.startswith("Your system time was updated to "), message)
        match = RESULT.match(result)
        self.assertIsNotNone(match, result)
        self.assertAlmostEqual(float(match.group(1)), 0.200, delta=within(match))
        self.assertEqual(log, before, "something was reported")

    def test_a_coarse_clock_is_interpolated_and_named(self):
        self.tavrel.wine.env["TAVREL_CLOCK_STEP_MS"] = "55"
        try:
            with DateServer(offset=0.200, latency=0.005) as server:
                message, result, before, log, took, shot = self.run_once(server)
        finally:
            self.tavrel.wine.env.pop("TAVREL_CLOCK_STEP_MS", None)
        print("\nresult line %r after %.1f s, screenshot %s" % (result, took, shot))
        self.assertTrue(message.startswith("Your system time was updated to "), message)
        match = COARSE.match(result)
        self.assertIsNotNone(match, result)
        self.assertAlmostEqual(float(match.group(1)), 0.200, delta=within(match))
        self.assertEqual(log, before, "something was reported")

    def test_answers_without_a_date_fail_as_before(self):
        with DateServer(status=200, date=False, body=b"<html><body>no time here</body></html>") as server:
            message, result, before, log, took, shot = self.run_once(server)
            requests = server.requests
        self.assertEqual(message, "The attempt to synchronize your system time failed")
        # Pages without the time are asked again, up to the host's ten.
        self.assertEqual(requests, 10)
        self.assertEqual(log, before, "the error log changed")
        self.assertNotIn("web server clock", result)


if __name__ == "__main__":
    unittest.main()
