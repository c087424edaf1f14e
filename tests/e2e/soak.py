"""The soak: A_Tavrel under Wine for a while (ten minutes by default) with a
periodic synchronisation every 0.01 hours against a local time page, the
voice on every two minutes, and the window sent to the notification area
and brought back every minute. Prints the window-system objects, handles
and memory at the start and at the end, the runs served, and every
error-log line with whether it was expected. Exit status 1 when an object
or handle count grew, memory grew beyond noise, or the log holds an
unexpected line. Not a ctest test: run it with scripts/soak.sh."""

import datetime
import os
import re
import sys
import time

import harness

MINUTES = float(os.environ.get("TAVREL_SOAK_MINUTES", "10"))
WM_LBUTTONDBLCLK = 0x203
# Private bytes may move by this much (heap pages, Wine's own caches).
MEMORY_NOISE = 1024 * 1024
# Error-log lines that may appear. Wine's speech engine refuses Speak
# (E_NOTIMPL), so the greeting and the announcement of the voice fail. The
# first tick finds no last update to add the period to. The tick that starts
# a periodic run asks for the spoken minute while the clock label still says
# "updating...", which holds no minute.
EXPECTED = [r"(chkVoice_Click|Form_Load) of Formular FrmMain  \d+  440  Automation error \(0x80004001\)",
            r"Timer1_Timer of Formular FrmMain  50  13  Type mismatch",
            r"VoiceTime of Modul VRN_TimeSync  20  5  Invalid procedure call or argument",
            r"VoiceTime of Modul VRN_TimeSync  30  13  Type mismatch"]


def naval_page(_path):
    # One second behind, early in a second: Wine accepts the tiny change.
    while datetime.datetime.now(datetime.timezone.utc).microsecond > 300000:
        time.sleep(0.01)
    shown = datetime.datetime.now(datetime.timezone.utc) - datetime.timedelta(seconds=1)
    return 200, "<html><body><pre>" + "." * 120 + shown.strftime("%H:%M:%S") + " UTC</pre></body></html>"


def unix_figures(program_dir):
    """Descriptors and resident memory of the program's Unix process."""
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            with open("/proc/%s/cmdline" % pid, "rb") as f:
                cmdline = f.read().decode("latin-1")
            # This soak's program only: other copies may run on the machine.
            exe = harness.windows_path(os.path.join(program_dir, "A_Tavrel.exe")).lower()
            if exe not in cmdline.lower() or "tavrel_driver" in cmdline:
                continue
            fds = len(os.listdir("/proc/%s/fd" % pid))
            with open("/proc/%s/status" % pid) as f:
                rss = int(re.search(r"VmRSS:\s+(\d+)", f.read()).group(1))
            # Wine reports no private bytes; the Unix process's private pages are the same thing.
            with open("/proc/%s/smaps_rollup" % pid) as f:
                rollup = f.read()
            private = sum(int(v) for v in re.findall(r"Private_(?:Clean|Dirty):\s+(\d+)", rollup))
            return {"unix-fds": fds, "vmrss-kib": rss, "private-kib": private}
        except (OSError, AttributeError):
            continue
    return {}


def figures(t):
    values = {}
    for line in t.driver("resources").splitlines():
        name, _, value = line.partition(" ")
        values[name] = int(value)
    values.update(unix_figures(t.program_dir))
    return values


def main():
    server = harness.PageServer({"/cgi-bin/timer.pl": naval_page})
    t = harness.Tavrel("soak")
    t.set_hosts(server.base_url)
    key = t.settings_key()
    t.wine.run(["wine", "reg", "delete", key, "/f", harness.REG_VIEW], tag="reg-clear")
    for name, value in (("chkPeriodic", "1"), ("txtPeriodic", "0.01"), ("chkVoice", "1"), ("VoicePeriode", "6")):
        t.reg_add(key, name, value)
    t.start()
    t.wait_window()
    time.sleep(20)
    start = figures(t)
    print("start:", start, flush=True)
    early = [start]
    began = time.monotonic()
    rounds = 0
    while time.monotonic() - began < MINUTES * 60:
        time.sleep(max(0.0, began + (rounds + 1) * 60 - time.monotonic() - 5))
        t.click("imgSysTray")
        time.sleep(3)
        t.driver("tray-notify", WM_LBUTTONDBLCLK)
        t.wait_window(10000)
        rounds += 1
        now = figures(t)
        if rounds <= MINUTES / 3:
            early.append(now)
        print("minute %d: %s, %d page requests" % (rounds, now, server.requests.get("/cgi-bin/timer.pl", 0)),
              flush=True)
    time.sleep(5)
    end = figures(t)
    print("end:", end, flush=True)
    syncs = server.requests.get("/cgi-bin/timer.pl", 0)
    t.close()
    t.wait_exit(30)
    server.stop()

    log = (t.read_file("Common", "error.log") or b"").decode("latin-1").replace("\r\n", "\n")
    body = log.split("########  End of Header  ##########\n", 1)[-1]
    lines = [line for line in body.split("\n") if line.strip()]
    unexpected = [line for line in lines if not any(re.search(p, line) for p in EXPECTED)]
    print("minutes %.1f, tray round trips %d, periodic runs served %d" % (MINUTES, rounds, syncs))
    print("error-log lines %d, unexpected %d" % (len(lines), len(unexpected)))
    for line in unexpected:
        print("  unexpected:", line)
    grew = []
    for name in ("gdi", "user", "handles", "unix-fds"):
        if name in start and end.get(name, 0) > start[name]:
            grew.append("%s %d -> %d" % (name, start[name], end[name]))
    # Under Wine the private pages swing by about 11 MB from one reading to
    # the next from the first minute on; memory has grown when the end lies
    # above the highest reading of the first third.
    for name, scale in (("private", 1), ("private-kib", 1024)):
        peak = max(e.get(name, 0) for e in early)
        if end.get(name, 0) * scale > peak * scale + MEMORY_NOISE:
            grew.append("%s %d (first third up to %d) -> %d" % (name, start[name], peak, end[name]))
    for name in ("gdi", "user", "handles", "private", "workingset", "unix-fds", "vmrss-kib", "private-kib"):
        print("%-10s start %10s  end %10s" % (name, start.get(name, "-"), end.get(name, "-")))
    print("growth: " + ("; ".join(grew) if grew else "none"))
    # The period is 36 s, but the program lets a minute pass between two
    # periodic runs.
    return 1 if grew or unexpected or syncs < MINUTES - 2 else 0


if __name__ == "__main__":
    sys.exit(main())
