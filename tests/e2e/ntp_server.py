"""An NTP server on loopback for the tests and the benchmark of the SNTP
client, with a clock that runs a set offset ahead of this machine's, paths
of set delays and the faults of bad servers. Python 3 standard library only.

The server stands a known distance away: a request "arrives" delay_out
seconds after it came in and the answer leaves at once, reaching the client
delay_back seconds later. Its receive timestamp is therefore the arrival
moment plus delay_out (plus the offset), and its transmit timestamp the
real send moment less delay_back: a sleep that overshoots counts as the
server's own processing time, which the client takes out of the delay, so
only the paths' asymmetry (delay_out - delay_back) / 2 shows in the offset.

    with NtpServer(offset=0.25, delay_out=0.02, delay_back=0.02) as server:
        ... ask 127.0.0.1:server.port ...

As a program (for scripts/bench-sntp.sh): prints "port N" and serves until
stopped.

    python3 ntp_server.py [--offset S] [--delay OUT/BACK] [--mode MODE]
"""

import argparse
import select
import signal
import socket
import struct
import sys
import threading
import time

# Seconds from 1900-01-01 (NTP) to 1970-01-01 (Unix).
NTP_UNIX = 2208988800

MODES = ("good", "silent", "other-port", "spoofed-origin", "truncated", "leap3", "stratum0", "kiss-rate",
         "transmit-zero")


def to_ntp(unix_seconds):
    """A Unix time as a 64-bit NTP timestamp (era 0 wraps as on the wire)."""
    seconds = unix_seconds + NTP_UNIX
    whole = int(seconds)
    return ((whole & 0xFFFFFFFF) << 32) | int((seconds - whole) * 2 ** 32)


class NtpServer:
    """Serves on 127.0.0.1 (a free port unless given) until stop()."""

    def __init__(self, offset=0.0, delay_out=0.0, delay_back=0.0, mode="good", port=0):
        if mode not in MODES:
            raise ValueError("mode %r is none of %s" % (mode, ", ".join(MODES)))
        self.offset, self.delay_out, self.delay_back, self.mode = offset, delay_out, delay_back, mode
        self.requests = 0
        self._socket = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self._socket.bind(("127.0.0.1", port))
        self.port = self._socket.getsockname()[1]
        self._other = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self._other.bind(("127.0.0.1", 0))
        self._running = True
        self._thread = threading.Thread(target=self._serve, daemon=True)
        self._thread.start()

    @property
    def address(self):
        return "127.0.0.1:%d" % self.port

    def stop(self):
        self._running = False
        self._thread.join()
        self._socket.close()
        self._other.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()

    def _serve(self):
        while self._running:
            if not select.select([self._socket], [], [], 0.1)[0]:
                continue
            try:
                data, client = self._socket.recvfrom(2048)
            except OSError:
                continue
            arrived = time.time()
            self.requests += 1
            # One thread per request: a slow path must not hold up the next.
            threading.Thread(target=self._answer, args=(data, client, arrived), daemon=True).start()

    def _answer(self, request, client, arrived):
        if len(request) < 48 or self.mode == "silent":
            return
        receive = to_ntp(arrived + self.delay_out + self.offset)
        leave = arrived + self.delay_out + self.delay_back
        while time.time() < leave:
            time.sleep(max(0.0, leave - time.time()))
        sent = time.time()
        transmit = to_ntp(sent - self.delay_back + self.offset)
        packet = self._packet(request, receive, transmit)
        sender = self._other if self.mode == "other-port" else self._socket
        try:
            sender.sendto(packet, client)
        except OSError:
            pass  # stopped meanwhile

    def _packet(self, request, receive, transmit):
        leap, stratum, reference_id = 0, 1, b"GPS\0"
        origin = request[40:48]
        if self.mode == "leap3":
            leap = 3
        elif self.mode == "stratum0":
            stratum, reference_id = 0, b"INIT"
        elif self.mode == "kiss-rate":
            leap, stratum, reference_id = 3, 0, b"RATE"
        elif self.mode == "spoofed-origin":
            origin = bytes([origin[0] ^ 0x80]) + origin[1:]
        elif self.mode == "transmit-zero":
            transmit = 0
        version = (request[0] >> 3) & 7 or 4
        poll = request[2]
        packet = struct.pack("!BBbb", leap << 6 | version << 3 | 4, stratum, poll, -20)
        packet += struct.pack("!II", 0, 16)  # root delay 0, root dispersion 0.24 ms
        packet += reference_id
        packet += struct.pack("!Q", (receive - (1 << 32)) & 0xFFFFFFFFFFFFFFFF)  # reference: a second ago
        packet += origin + struct.pack("!QQ", receive, transmit)
        return packet[:40] if self.mode == "truncated" else packet


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--offset", type=float, default=0.0, help="seconds the server's clock runs ahead")
    parser.add_argument("--delay", default="0/0", help="path delays OUT/BACK in milliseconds")
    parser.add_argument("--mode", default="good", choices=MODES)
    parser.add_argument("--port", type=int, default=0)
    args = parser.parse_args()
    out, back = (float(part) / 1000 for part in args.delay.split("/"))
    server = NtpServer(args.offset, out, back, args.mode, args.port)
    print("port %d" % server.port, flush=True)
    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    while not stop.wait(0.5):
        pass
    server.stop()


if __name__ == "__main__":
    sys.exit(main())
