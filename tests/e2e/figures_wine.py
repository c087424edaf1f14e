"""The figures scripts/figures.sh takes under Wine (not a test):

  startup   how long A_Tavrel.exe and a minimal Win32 program built the same
            way take from `wine <exe>` to the mapping of their window on the
            X display,
            each started the same way after a fresh wineserver; the two
            alternate, and the first start of each is not counted.
  memory    the program's window-system objects, handles and memory ten
            seconds after start, as the soak reads them.

Prints "name value" lines. Usage: figures_wine.py startup RUNS MINIMAL_EXE
or figures_wine.py memory. Needs WINEPREFIX, DISPLAY and the harness's
TAVREL_* variables (scripts/figures.sh sets them)."""

import os
import queue
import re
import shutil
import statistics
import subprocess
import sys
import threading
import time

import harness
import soak


def window_name(window):
    result = subprocess.run(["xprop", "-id", window, "WM_NAME"], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL, timeout=10, check=False)
    return result.stdout.decode("latin-1")


def kill_server(env):
    subprocess.run(["wineserver", "-k"], env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, check=False)
    subprocess.run(["wineserver", "-w"], env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=60, check=False)


def time_to_window(env, exe, title, log):
    """Seconds from `wine exe` after a fresh wineserver to the mapping of its
    window titled title. One X client (xev) watches the root window's
    children being mapped; polling the display with a new client every few
    milliseconds instead made Wine's own connection to it fail now and
    then."""
    kill_server(env)
    watcher = subprocess.Popen(["stdbuf", "-oL", "xev", "-root", "-event", "substructure"],
                               stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    mapped = queue.Queue()

    def read():
        # "MapNotify event, ..." and on the next line "event 0x.., window 0x.., ...".
        pending = None
        for line in watcher.stdout:
            if line.startswith(b"MapNotify"):
                pending = time.monotonic()
                continue
            match = re.search(rb"window (0x[0-9a-f]+)", line) if pending is not None else None
            if match:
                mapped.put((pending, match.group(1).decode()))
            pending = None

    threading.Thread(target=read, daemon=True).start()
    time.sleep(0.2)  # xev is listening
    began = time.monotonic()
    process = subprocess.Popen(["wine", exe], cwd=os.path.dirname(exe), env=env, stdin=subprocess.DEVNULL,
                               stdout=log, stderr=log)
    try:
        while True:
            left = began + 60 - time.monotonic()
            if left <= 0:
                raise harness.HarnessError("%s showed no window %r within 60 s" % (exe, title))
            try:
                when, window = mapped.get(timeout=left)
            except queue.Empty:
                continue
            if '"%s"' % title in window_name(window):
                return when - began
    finally:
        watcher.kill()
        watcher.wait()
        kill_server(env)
        process.wait(timeout=30)


def startup(runs, minimal):
    t = harness.Tavrel("figures-startup")  # an install tree and a prepared prefix
    env = t.wine.env
    programs = [("A_Tavrel", os.path.join(t.program_dir, "A_Tavrel.exe"), harness.MAIN_WINDOW),
                ("minimal", os.path.join(t.work_dir, "minimal.exe"), "Minimal")]
    shutil.copy(minimal, programs[1][1])
    times = {name: [] for name, _, _ in programs}
    with open(os.path.join(t.work_dir, "startup.out"), "ab") as log:
        for name, exe, title in programs:
            time_to_window(env, exe, title, log)  # the first start fills the prefix's caches
        for run in range(runs):
            order = programs if run % 2 == 0 else programs[::-1]
            for name, exe, title in order:
                times[name].append(time_to_window(env, exe, title, log))
    for name, _, _ in programs:
        print("startup-%s-ms %.0f" % (name, statistics.median(times[name]) * 1000))
        print("startup-%s-all-ms %s" % (name, ",".join("%.0f" % (v * 1000) for v in times[name])))
    print("startup-ratio %.2f" % (statistics.median(times["A_Tavrel"]) / statistics.median(times["minimal"])))


def memory():
    t = harness.Tavrel("figures-memory")
    t.start()
    try:
        t.wait_window()
        time.sleep(10)
        for name, value in sorted(soak.figures(t).items()):
            print("start-%s %s" % (name, value))
    finally:
        t.stop()


if __name__ == "__main__":
    if sys.argv[1:2] == ["startup"]:
        startup(int(sys.argv[2]), sys.argv[3])
    elif sys.argv[1:2] == ["memory"]:
        memory()
    else:
        sys.exit(__doc__)
