"""The SNTP client on the real platform under Wine (Winsock, the system
clock) against NTP servers on loopback: the Python test server with a known
offset and path delays, each kind of bad server, and chronyd, whose own
measurement the client must agree with. Each case runs the Windows test
NtpUnderWine.QueryTheServerOnLoopback once; nothing sets the clock."""

import os
import re
import unittest

import chrony
import harness
from ntp_server import NtpServer

TESTS_EXE = os.path.join(harness.BUILD_DIR, "tests", "win32", "tavrel_win32_tests.exe")
# The measurements keep the run of the smallest delay out of these: on a busy
# machine Wine may wake late on one way of every exchange of a run, which
# no client can tell from a true offset (chronyd filters the same way).
RUNS = 5
OFFSET_LINE = re.compile(r"ntp offset ([-+]\d+\.\d+) s delay (\d+\.\d+) s")

# Bad servers and what every request against them must report. The modes
# whose datagrams are no answer at all wait out the (shortened) time-out.
BAD_SERVERS = {
    "silent": "NTP server did not answer within 0.3 s",
    "other-port": "NTP reply from another port",
    "spoofed-origin": "NTP reply with wrong origin timestamp",
    "truncated": "NTP reply shorter than 48 bytes",
    "leap3": "NTP server not synchronised (leap indicator 3)",
    "stratum0": "NTP reply with stratum 0",
    "kiss-rate": "NTP kiss-o'-death RATE",
    "transmit-zero": "NTP reply with zero transmit timestamp",
}


class NtpTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = os.path.join(harness.BUILD_DIR, "e2e", "ntp")
        os.makedirs(cls.work, exist_ok=True)
        cls.wine = harness.Wine(cls.work)
        cls.wine.prepare()

    def query(self, server, tag, **expect):
        """Runs the client against server ("host:port"); returns (offset,
        delay) when it measured, after the Windows test checked `expect`."""
        for name in ("TAVREL_NTP_OFFSET", "TAVREL_NTP_TOLERANCE", "TAVREL_NTP_ERROR", "TAVREL_NTP_TIMEOUT_MS",
                     "TAVREL_NTP_RUNS"):
            self.wine.env.pop(name, None)
        self.wine.env["TAVREL_NTP_SERVER"] = server
        for name, value in expect.items():
            self.wine.env["TAVREL_NTP_" + name.upper()] = str(value)
        code, out = self.wine.run(["wine", TESTS_EXE, "--gtest_filter=NtpUnderWine.*"], timeout=120, tag=tag)
        self.assertEqual(code, 0, "%s:\n%s" % (tag, out))
        self.assertIn("[  PASSED  ] 1 test", out, "%s did not run:\n%s" % (tag, out))
        match = OFFSET_LINE.search(out)
        return (float(match.group(1)), float(match.group(2))) if match else None

    def test_offset_with_symmetric_paths(self):
        with NtpServer(offset=0.250, delay_out=0.020, delay_back=0.020) as server:
            offset, delay = self.query(server.address, "symmetric", offset=0.250, tolerance=0.002, runs=RUNS)
        print("\nsymmetric 20/20 ms: offset %+.3f ms (expected +250 +- 2), delay %.3f ms" % (offset * 1e3, delay * 1e3))
        self.assertAlmostEqual(offset, 0.250, delta=0.002)

    def test_offset_with_asymmetric_paths(self):
        # The client cannot see the asymmetry: it is off by half of it.
        with NtpServer(offset=0.250, delay_out=0.030, delay_back=0.010) as server:
            offset, delay = self.query(server.address, "asymmetric", offset=0.250, tolerance=0.012, runs=RUNS)
        print("\nasymmetric 30/10 ms: offset %+.3f ms (expected +250 +- 10 + 2), delay %.3f ms" % (
            offset * 1e3, delay * 1e3))
        self.assertAlmostEqual(offset, 0.250, delta=0.012)

    def test_bad_servers_never_count(self):
        for mode, error in BAD_SERVERS.items():
            with self.subTest(mode=mode), NtpServer(offset=3600, mode=mode) as server:
                self.assertIsNone(self.query(server.address, mode, error=error, timeout_ms=300))
                self.assertEqual(server.requests, 1 if mode == "kiss-rate" else 4, mode)

    def test_agrees_with_chrony(self):
        # Within 5 ms on a quiet machine; an emulated one is slower to
        # answer and to stamp on both sides.
        agree = harness.scaled(0.005)
        self.assertTrue(chrony.available(), "chronyd is missing: scripts/install-deps.sh installs it")
        with chrony.ChronyServer(os.path.join(self.work, "chronyd")) as server:
            ours, _ = self.query("127.0.0.1:%d" % server.port, "chronyd", runs=RUNS)
            theirs = chrony.measure(server.port)
        print("\nchronyd -x on loopback: ours %+.3f ms, chronyd -Q %+.3f ms" % (ours * 1e3, theirs * 1e3))
        self.assertAlmostEqual(ours, theirs, delta=agree)

        # The same comparison where there is something to measure.
        with NtpServer(offset=0.250, delay_out=0.005, delay_back=0.005) as server:
            ours, _ = self.query(server.address, "python-vs-chrony", runs=RUNS)
            theirs = chrony.measure(server.port)
        print("Python server +250 ms: ours %+.3f ms, chronyd -Q %+.3f ms" % (ours * 1e3, theirs * 1e3))
        self.assertAlmostEqual(ours, theirs, delta=agree)


if __name__ == "__main__":
    unittest.main()
