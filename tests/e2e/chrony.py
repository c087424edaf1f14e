"""chrony as the reference for the SNTP client: chronyd as an NTP server on
loopback, and chronyd's own measurement of a server's offset. Python 3
standard library only.

chronyd runs here in two ways only, neither of which touches the clock:
"-x" (serve, never adjust the clock) and "-Q" (measure, print, exit). Every
chronyd started here is stopped by its own process id, also when a test
fails (context manager, and an atexit hook for the worst case).
"""

import atexit
import os
import re
import shutil
import socket
import subprocess
import time

import harness

CHRONYD = shutil.which("chronyd") or "/usr/sbin/chronyd"
# chronyd -Q prints e.g. "System clock wrong by -0.000002 seconds (ignored)"
# (chrony 4.x): positive when the system clock is behind the server.
_WRONG_BY = re.compile(r"System clock wrong by (-?\d+(?:\.\d+)?) seconds")

_started = set()


def _stop_left_over():
    for process in list(_started):
        _stop(process)


atexit.register(_stop_left_over)


def _stop(process):
    if process.poll() is None:
        process.terminate()
        try:
            process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
    _started.discard(process)


def available():
    return os.path.exists(CHRONYD)


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def ntp_query(port, timeout=0.5):
    """(leap, stratum) of one answer from 127.0.0.1:port, or None."""
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.settimeout(timeout)
        nonce = os.urandom(8)
        s.sendto(b"\x23" + bytes(39) + nonce, ("127.0.0.1", port))
        try:
            data, _ = s.recvfrom(512)
        except OSError:
            return None
        if len(data) < 48 or data[24:32] != nonce:
            return None
        return data[0] >> 6, data[1]


class ChronyServer:
    """chronyd -x serving its (this machine's) clock at local stratum 8 on
    127.0.0.1:port, with its files in folder."""

    def __init__(self, folder, port=None):
        self.folder = os.path.abspath(folder)
        os.makedirs(self.folder, exist_ok=True)
        self.port = port or free_port()
        self.conf = os.path.join(self.folder, "chronyd.conf")
        with open(self.conf, "w") as f:
            f.write("port %d\n" % self.port)
            f.write("bindaddress 127.0.0.1\n")
            f.write("local stratum 8\n")
            f.write("allow 127.0.0.1\n")
            f.write("cmdport 0\n")
            # No Unix command socket either: the folder is the only place
            # this chronyd writes to.
            f.write("bindcmdaddress /\n")
            f.write("pidfile %s\n" % os.path.join(self.folder, "chronyd.pid"))
            f.write("driftfile %s\n" % os.path.join(self.folder, "chronyd.drift"))
        self.log = os.path.join(self.folder, "chronyd.log")
        self.process = None

    def start(self, timeout=15):
        with open(self.log, "ab") as log:
            self.process = subprocess.Popen([CHRONYD, "-x", "-d", "-f", self.conf], stdin=subprocess.DEVNULL,
                                            stdout=log, stderr=subprocess.STDOUT)
        _started.add(self.process)
        # Answers with leap 3 (unsynchronised) until its local reference is
        # in use; the client rightly refuses those.
        deadline = time.monotonic() + harness.scaled(timeout)
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                raise RuntimeError("chronyd ended with %s: %s" % (self.process.returncode, self.read_log()))
            answer = ntp_query(self.port)
            if answer and answer[0] != 3 and answer[1] == 8:
                return self
            time.sleep(0.2)
        self.stop()
        raise RuntimeError("chronyd on port %d did not answer within %d s: %s" % (self.port, timeout,
                                                                                  self.read_log()))

    def stop(self):
        if self.process:
            _stop(self.process)

    def read_log(self):
        try:
            with open(self.log, errors="replace") as f:
                return f.read()
        except OSError:
            return ""

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()


def measure_samples(port, folder, seconds=10, source="127.0.0.1", maxsamples=4):
    """chronyd -Q against 127.0.0.1:port, asking from the loopback address
    source and writing its measurements log into folder (nothing corrected):
    (offset, samples). offset as measure() gives it, or None when chronyd
    took no usable sample; samples one dict per line of the log: leap ("N"
    normal, "?" unsynchronised), stratum, tests (chrony's "111 111 1111"
    when every test passed), offset (seconds)."""
    folder = os.path.abspath(folder)
    os.makedirs(folder, exist_ok=True)
    command = [CHRONYD, "-Q", "-f", "/dev/null", "-t", str(seconds)]
    if os.geteuid() == 0:
        # As root chronyd would run as its own user, who may not write here.
        command += ["-u", "root"]
    command += ["server 127.0.0.1 port %d iburst maxsamples %d" % (port, maxsamples),
                "bindacqaddress %s" % source, "logdir %s" % folder, "log measurements",
                "pidfile %s" % os.path.join(folder, "chronyd.pid")]
    process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    _started.add(process)
    try:
        out, _ = process.communicate(timeout=seconds + 10)
    except subprocess.TimeoutExpired:
        out = b""
    finally:
        _stop(process)
    match = _WRONG_BY.search(out.decode("utf-8", "replace"))
    samples = []
    try:
        with open(os.path.join(folder, "measurements.log")) as log:
            for line in log:
                fields = line.split()
                if len(fields) < 12 or not fields[0][:1].isdigit():
                    continue
                samples.append({"leap": fields[3], "stratum": int(fields[4]), "tests": " ".join(fields[5:8]),
                                "offset": float(fields[11])})
    except OSError:
        pass
    return (float(match.group(1)) if match else None), samples


def measure(port, seconds=10):
    """chrony's offset of the server 127.0.0.1:port against this machine's
    clock, in seconds (positive: the server is ahead), measured by chronyd -Q
    (nothing corrected). Raises RuntimeError when it measures nothing."""
    command = [CHRONYD, "-Q", "-f", "/dev/null", "-t", str(seconds),
               "server 127.0.0.1 port %d iburst maxsamples 2" % port]
    process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    _started.add(process)
    try:
        out, _ = process.communicate(timeout=seconds + 10)
    except subprocess.TimeoutExpired:
        out = b""
    finally:
        _stop(process)
    text = out.decode("utf-8", "replace")
    match = _WRONG_BY.search(text)
    if not match:
        raise RuntimeError("chronyd -Q measured nothing:\n" + text)
    return float(match.group(1))
