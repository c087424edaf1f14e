"""The program as the NTP server of a local network, under Wine, against
real clients on loopback: "act as a NTP server for a local network" stored
with a port of its own, the program's own clock set from a Python NTP
server (stratum 1). Before its first run the program answers that it is
not synchronised and chronyd -Q takes no sample; after one run two chronyd
clients at once (from 127.0.0.1 and 127.0.0.2) measure it within 5 ms at
stratum 2; a request in symmetric active mode, as the Windows XP time
service sends it, gets a symmetric passive reply; control, short and
oversized packets get none; 20 requests in a second get at most two
answers and kisses of death; a port another program holds is reported
once and the program goes on. Nothing here touches the clock (chronyd -Q
only; Wine ignores the program's sub-second changes)."""

import os
import socket
import struct
import threading
import time
import unittest

import chrony
import harness
from ntp_server import NtpServer, to_ntp


def request(first_byte=0x23, size=48, transmit=None):
    """A request's bytes: the first byte (leap, version, mode), a poll of
    64 s and the transmit time (now unless given), `size` bytes long."""
    transmit = to_ntp(time.time()) if transmit is None else transmit
    packet = bytes([first_byte, 0, 6, 0xEC]) + bytes(36) + struct.pack("!Q", transmit)
    return (packet + bytes(max(0, size - 48)))[:size]


def ask(port, packet, source="127.0.0.1", family=socket.AF_INET, wait=1.0, count=1):
    """The replies (up to count) to one datagram sent from source to the
    program's port, within wait seconds."""
    target = ("::1" if family == socket.AF_INET6 else "127.0.0.1", port)
    with socket.socket(family, socket.SOCK_DGRAM) as s:
        s.bind((source, 0))
        s.settimeout(wait)
        s.sendto(packet, target)
        replies = []
        try:
            while len(replies) < count:
                replies.append(s.recvfrom(2048)[0])
        except OSError:
            pass
        return replies


def fields(reply):
    """leap, version, mode, stratum, reference ID, originate, receive,
    transmit of a 48-byte reply."""
    first, stratum = reply[0], reply[1]
    origin, receive, transmit = struct.unpack("!QQQ", reply[24:48])
    return first >> 6, (first >> 3) & 7, first & 7, stratum, reply[12:16], origin, receive, transmit


class NtpServerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.upstream = NtpServer()
        cls.port = chrony.free_port()
        cls.tavrel = t = harness.Tavrel("ntpserver")
        cls.key = t.settings_key()
        t.wine.run(["wine", "reg", "delete", cls.key, "/f", harness.REG_VIEW], tag="reg-clear")
        for name, value in (("optTimeSource", "1"), ("txtIPaddress", ":%d" % cls.port), ("cboServerSource", "1"),
                            ("txtNtpServer", cls.upstream.address)):
            t.reg_add(cls.key, name, value)
        t.start()
        t.wait_window()
        cls.serving = t.text("Label15")

    @classmethod
    def tearDownClass(cls):
        cls.tavrel.stop()
        cls.upstream.stop()

    def folder(self, name):
        return os.path.join(self.tavrel.base, name)

    def test_1_before_any_run_the_program_says_it_is_unsynchronised(self):
        self.assertTrue(chrony.available(), "chronyd is missing: scripts/install-deps.sh installs it")
        self.assertTrue(self.serving.startswith("serving NTP on port %d" % self.port), self.serving)
        self.assertEqual(chrony.ntp_query(self.port), (3, 16))
        offset, samples = chrony.measure_samples(self.port, self.folder("chrony-before"), seconds=6)
        print("\nbefore any run: chronyd -Q offset %s, samples %s" % (offset, samples))
        self.assertIsNone(offset)
        self.assertFalse([s for s in samples if s["stratum"] < 16], samples)

    def test_2_after_a_run_two_chrony_clients_measure_it_within_5_ms(self):
        t = self.tavrel
        t.click("cmdTimeSync")
        box = t.message_box(30000)
        if box is None:
            self.fail("no message; screenshot %s" % t.screenshot("no-message"))
        t.press("OK")
        self.assertTrue(box[1].startswith("Your system time was updated to "), box[1])

        results = {}

        def client(source):
            results[source] = chrony.measure_samples(self.port, self.folder("chrony-" + source), seconds=12,
                                                     source=source)

        threads = [threading.Thread(target=client, args=(source,)) for source in ("127.0.0.1", "127.0.0.2")]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        for source, (offset, samples) in sorted(results.items()):
            print("chronyd -Q from %s: offset %s s, samples %s" % (source, offset, samples))
            self.assertIsNotNone(offset, samples)
            self.assertLess(abs(offset), 0.005)
            good = [s for s in samples if s["tests"] == "111 111 1111"]
            self.assertTrue(good, samples)
            for sample in good:
                self.assertEqual(sample["leap"], "N")
                self.assertLessEqual(sample["stratum"], 3)
                self.assertEqual(sample["stratum"], 2)

    def test_3_a_symmetric_active_request_as_windows_xp_sends_gets_symmetric_passive(self):
        sent = to_ntp(time.time())
        # Leap 3 (not synchronised), version 3, mode 1; poll 1024 s.
        packet = bytes([0xD9, 0, 10, 0xEC]) + bytes(36) + struct.pack("!Q", sent)
        replies = ask(self.port, packet, source="127.0.0.3")
        self.assertEqual(len(replies), 1)
        leap, version, mode, stratum, refid, origin, receive, transmit = fields(replies[0])
        self.assertEqual((leap, version, mode, stratum), (0, 3, 2, 2))
        self.assertEqual(replies[0][2], 10)  # the poll, echoed
        self.assertEqual(origin, sent)
        now = to_ntp(time.time())
        self.assertLess(abs(now - receive) / 2 ** 32, 1.0)
        self.assertLessEqual(receive, transmit)
        # The program's reference is the Python server, at 127.0.0.1.
        self.assertEqual(refid, bytes([127, 0, 0, 1]))

    def test_4_control_short_and_oversized_packets_get_no_reply(self):
        for name, packet in (("mode 7", request(0x17)), ("mode 6", request(0x16)), ("12 bytes", request(size=12)),
                             ("1000 bytes", request(size=1000))):
            self.assertEqual(ask(self.port, packet, source="127.0.0.4"), [], name)
        self.assertEqual(len(ask(self.port, request(), source="127.0.0.4")), 1, "the server stopped answering")

    def test_5_twenty_requests_in_one_second_get_two_answers_and_kisses(self):
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
            s.bind(("127.0.0.5", 0))
            for i in range(20):
                s.sendto(request(transmit=to_ntp(time.time()) + i), ("127.0.0.1", self.port))
                time.sleep(0.05)
            s.settimeout(1.5)
            replies = []
            try:
                while True:
                    replies.append(s.recvfrom(2048)[0])
            except OSError:
                pass
        kisses = [r for r in replies if r[1] == 0 and r[12:16] == b"RATE"]
        answers = [r for r in replies if r[1] == 2]
        print("\n20 requests in a second: %d answers, %d kisses, %d replies" % (len(answers), len(kisses),
                                                                                len(replies)))
        self.assertLessEqual(len(answers), 2)
        self.assertEqual(len(answers) + len(kisses), len(replies))
        self.assertGreaterEqual(len(kisses), 18 - (20 - len(replies)))
        self.assertTrue(all(len(r) == 48 for r in replies))

    def test_6_ipv6_is_served_where_the_system_has_it(self):
        if "IPv6" not in self.serving:
            self.skipTest("the program serves IPv4 only here: %s" % self.serving)
        replies = ask(self.port, request(), source="::1", family=socket.AF_INET6)
        self.assertEqual(len(replies), 1)
        self.assertEqual(fields(replies[0])[3], 2)

    def test_7_a_port_in_use_is_reported_once_and_the_program_goes_on(self):
        t = self.tavrel
        t.click("cmdOptions")
        self.assertTrue(t.visible("cboServerSource"))
        self.assertEqual(t.text("cboServerSource"), "NTP server")
        self.assertEqual(t.text("txtNtpServer"), self.upstream.address)
        time.sleep(1)  # the whole view painted
        shot = t.screenshot("options-serving")
        harness.publish(shot, "ntp-server-options.png")
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as blocker:
            blocker.bind(("0.0.0.0", 0))
            taken = blocker.getsockname()[1]
            t.set_text("txtIPaddress", ":%d" % taken)
            t.click("cmdOptions")
            message = "Port %d is in use by another program" % taken
            self.assertEqual(t.text("Label15"), message)
            self.assertTrue(t.visible("lblError"))  # the compact view shows the report
            t.click("cmdOptions")
            time.sleep(1)
            t.screenshot("port-in-use")
            t.click("cmdOptions")
            self.assertEqual(t.text("Label15"), message)
        log = (t.read_file("Common", "error.log") or b"").decode("latin-1")
        self.assertEqual(log.count(message), 1, log)
        # The rest goes on, and the old port is served again when asked.
        self.assertEqual(t.text("cmdOptions"), "&Options")
        t.click("cmdOptions")
        t.set_text("txtIPaddress", ":%d" % self.port)
        t.click("cmdOptions")
        self.assertTrue(t.text("Label15").startswith("serving NTP on port %d" % self.port), t.text("Label15"))
        self.assertEqual(len(ask(self.port, request(), source="127.0.0.6")), 1)
        self.assertEqual(t.reg_query(self.key, "optTimeSource"), "1")


if __name__ == "__main__":
    unittest.main()
