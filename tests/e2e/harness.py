"""End-to-end harness: A_Tavrel.exe under Wine, driven like a user would.

A test lays out an install tree in the build folder, points the program's
hosts at a local HTTP server whose pages it scripts, starts the program,
acts on its windows through tavrel_driver.exe and reads back what the
program left in the registry and in files. Python 3 standard library only.

Every Wine command writes its output to a file, never to a pipe: the helper
processes Wine starts (services, explorer) inherit the output handles and
would keep a pipe open long after the command ended.

The program is started through the driver ("run"), which tells the harness
the process ID Windows gave it; every later driver command looks at that
process's windows only.

Nothing here writes into docs/: a test hands the pictures it took for the
documentation to publish(), which copies them there only when asked
(TAVREL_UPDATE_DOCS=1).

Environment (set by ctest; defaults work from a build tree):
  TAVREL_EXE, TAVREL_DRIVER     the program and the driver
  TAVREL_SETUP                  the installer (tests of the release packages)
  TAVREL_SOURCE_DIR             the source tree (ControlIds.h, language files)
  TAVREL_BUILD_DIR              where install trees and screenshots go
  WINEPREFIX                    the run's Wine prefix
  DISPLAY                       an X display; without one the harness uses the
                                run's Xvfb or starts its own
"""

import atexit
import http.server
import os
import re
import shutil
import socket
import socketserver
import struct
import subprocess
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_DIR = os.environ.get("TAVREL_SOURCE_DIR", os.path.dirname(os.path.dirname(HERE)))
BUILD_DIR = os.environ.get("TAVREL_BUILD_DIR", os.path.join(SOURCE_DIR, "build", "win32"))
EXE = os.environ.get("TAVREL_EXE", os.path.join(BUILD_DIR, "A_Tavrel.exe"))
DRIVER = os.environ.get("TAVREL_DRIVER", os.path.join(BUILD_DIR, "tavrel_driver.exe"))
WINEPREFIX = os.environ.get("WINEPREFIX", os.path.join(BUILD_DIR, "wineprefix"))
DOCS_DIR = os.path.join(SOURCE_DIR, "docs")



def _pe_is_64bit(path):
    """True for a PE32+ (x86_64) program: the test build of a machine that
    cannot run 32-bit programs (see scripts/test.sh)."""
    try:
        with open(path, "rb") as f:
            data = f.read(4096)
        pe = int.from_bytes(data[0x3C:0x40], "little")
        return int.from_bytes(data[pe + 24:pe + 26], "little") == 0x20B
    except (OSError, ValueError):
        return False


# The registry view the program under test reads and writes.
REG_VIEW = "/reg:64" if _pe_is_64bit(EXE) else "/reg:32"

# The window class of every form; the main window is titled with the name of
# its form (platform/win32/WindowClasses.h).
FORM_CLASS = "A_Tavrel_Form"
MAIN_WINDOW = "FrmMain"

# The key whose string values point the program at other hosts.
HOSTS_KEY = r"HKEY_LOCAL_MACHINE\Software\VRN\Tavrel\Hosts"
HOST_VALUES = ("USNO", "NIST", "eBay", "WebSite")


class HarnessError(AssertionError):
    """A failure of the setting rather than of the program under test."""


def update_docs():
    """True when the run is to renew the pictures in docs/."""
    return os.environ.get("TAVREL_UPDATE_DOCS") == "1"


def publish(picture, name):
    """Copies a picture a test made to docs/name when the run renews the
    documentation (TAVREL_UPDATE_DOCS=1); returns the path it went to, or
    None. A test run on its own leaves the source tree alone."""
    if not update_docs() or not picture or not os.path.exists(picture):
        return None
    target = os.path.join(DOCS_DIR, name)
    os.makedirs(os.path.dirname(target), exist_ok=True)
    shutil.copy(picture, target)
    return target


def crop(shot, out, left, top, width, height, margin=4):
    """Cuts a rectangle (with a margin) out of a screenshot; returns out, or
    None when ImageMagick is missing or failed."""
    if not shutil.which("convert") or not os.path.exists(shot):
        return None
    subprocess.run(["convert", shot, "-crop", "%dx%d+%d+%d" % (width + 2 * margin, height + 2 * margin,
                                                              max(0, left - margin), max(0, top - margin)),
                    "+repage", out], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=60, check=False)
    return out if os.path.exists(out) else None


def control_ids():
    """Control name -> ID, read from app/ControlIds.h."""
    ids = {}
    current = None
    with open(os.path.join(SOURCE_DIR, "app", "ControlIds.h"), encoding="utf-8") as header:
        for line in header:
            match = re.match(r"\s*(IDC_\w+)\s*(?:=\s*(\d+))?\s*,", line)
            if not match:
                continue
            current = int(match.group(2)) if match.group(2) else current + 1
            ids[match.group(1)] = current
    return ids


def windows_path(path):
    """The path of a Linux file as Wine's Z: drive shows it."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


# ---------------------------------------------------------------------------
# Display


class Display:
    """An X display for Wine: the caller's, the test run's Xvfb or our own."""

    _own = None

    @classmethod
    def ensure(cls):
        if os.environ.get("DISPLAY"):
            return os.environ["DISPLAY"]
        state = WINEPREFIX + ".display"
        if os.path.exists(state):
            with open(state) as f:
                os.environ["DISPLAY"] = f.read().split()[0]
            return os.environ["DISPLAY"]
        number = 90
        while os.path.exists("/tmp/.X%d-lock" % number) or os.path.exists("/tmp/.X11-unix/X%d" % number):
            number += 1
        log = open(os.path.join(BUILD_DIR, "xvfb-e2e.log"), "ab")
        cls._own = subprocess.Popen(["Xvfb", ":%d" % number, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                                    stdin=subprocess.DEVNULL, stdout=log, stderr=log)
        atexit.register(cls._own.terminate)
        deadline = time.monotonic() + 10
        while not os.path.exists("/tmp/.X11-unix/X%d" % number):
            if time.monotonic() > deadline or cls._own.poll() is not None:
                raise HarnessError("Xvfb :%d did not start" % number)
            time.sleep(0.1)
        os.environ["DISPLAY"] = ":%d" % number
        return os.environ["DISPLAY"]


# ---------------------------------------------------------------------------
# Wine


class Wine:
    """Runs Windows programs in the run's prefix, output always to files.

    The registry is always read and written as the program sees it: in a
    64-bit prefix HKLM\\Software has a separate 32-bit view, which the shipped
    32-bit program uses (REG_VIEW).
    """

    def __init__(self, work_dir):
        self.work_dir = work_dir
        self.env = dict(os.environ)
        self.env.update({"WINEPREFIX": WINEPREFIX, "WINEDEBUG": "-all",
                         "WINEDLLOVERRIDES": "mscoree,mshtml="})
        self._count = 0

    def _output_file(self, tag):
        self._count += 1
        return os.path.join(self.work_dir, "wine-%03d-%s.out" % (self._count, tag))

    def prepare(self):
        """A prefix ready for use: made once per run (ctest's fixture normally
        does it before any test)."""
        Display.ensure()
        self.env["DISPLAY"] = os.environ["DISPLAY"]
        if os.path.exists(os.path.join(WINEPREFIX, "system.reg")):
            return
        os.makedirs(WINEPREFIX, exist_ok=True)
        self.run(["wineboot", "-i"], timeout=180, tag="wineboot")
        # Without a window manager Wine waits two seconds at every hide of a
        # managed window.
        self.run(["wine", "reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed", "/t", "REG_SZ",
                  "/d", "N", "/f"], tag="managed")
        self.run([os.path.join(SOURCE_DIR, "tests", "win32", "wine-fonts.sh")], tag="fonts")

    def run(self, args, timeout=60, tag="cmd", cwd=None):
        """Runs a command to its end; returns (exit code, output)."""
        path = self._output_file(tag)
        with open(path, "wb") as out:
            process = subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT,
                                       env=self.env, cwd=cwd or self.work_dir)
            try:
                code = process.wait(timeout=timeout)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
                raise HarnessError("%s did not finish within %d s (output: %s)" % (" ".join(args), timeout, path))
        with open(path, "rb") as f:
            return code, f.read().decode("latin-1")

    def start(self, args, tag="program", cwd=None):
        """Starts a command and returns its process; output goes to a file."""
        out = open(self._output_file(tag), "wb")
        return subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT,
                                env=self.env, cwd=cwd or self.work_dir)

    def reg_add(self, key, name, value, kind="REG_SZ"):
        code, out = self.run(["wine", "reg", "add", key, "/v", name, "/t", kind, "/d", str(value), "/f",
                              REG_VIEW], tag="reg-add")
        if code != 0:
            raise HarnessError("reg add %s\\%s failed: %s" % (key, name, out))

    def reg_query(self, key, name):
        """The value's data as text, or None when it does not exist."""
        code, out = self.run(["wine", "reg", "query", key, "/v", name, REG_VIEW], tag="reg-query")
        if code != 0:
            return None
        for line in out.splitlines():
            parts = line.strip().split(None, 2)
            if len(parts) >= 2 and parts[0].lower() == name.lower() and parts[1].startswith("REG_"):
                return parts[2] if len(parts) == 3 else ""
        return None

    def reg_delete_key(self, key):
        self.run(["wine", "reg", "delete", key, "/f", REG_VIEW], tag="reg-delete")


# ---------------------------------------------------------------------------
# Web pages


def closed_port_url():
    """A base address on 127.0.0.1 where nothing listens: every connection
    is refused at once."""
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return "http://127.0.0.1:%d" % s.getsockname()[1]


# A page answer that promises a long body, sends a little of it and then
# resets the connection.
RESET_MID_BODY = object()


class PageServer:
    """A local HTTP server whose pages a test scripts.

    pages maps a path (without query) to a body (str or bytes), to
    RESET_MID_BODY, or to a function(path_with_query) returning (status,
    body). Unknown paths are 404. requests counts the requests per path; log
    keeps every path asked.
    """

    def __init__(self, pages=None):
        self.pages = dict(pages or {})
        self.requests = {}
        self.log = []
        server = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                path = self.path.split("?", 1)[0]
                server.log.append(self.path)
                server.requests[path] = server.requests.get(path, 0) + 1
                page = server.pages.get(path)
                if page is RESET_MID_BODY:
                    self.send_response(200)
                    self.send_header("Content-Type", "text/html")
                    self.send_header("Content-Length", "100000")
                    self.end_headers()
                    self.wfile.write(b"<html><body>" + b"." * 500)
                    self.wfile.flush()
                    # Linger 0: the close is a reset, not an orderly end.
                    self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
                    self.connection.close()
                    self.close_connection = True
                    return
                if page is None:
                    status, body = 404, "not found"
                elif callable(page):
                    status, body = page(self.path)
                else:
                    status, body = 200, page
                data = body.encode("latin-1") if isinstance(body, str) else body
                self.send_response(status)
                self.send_header("Content-Type", "text/html")
                self.send_header("Content-Length", str(len(data)))
                self.end_headers()
                self.wfile.write(data)

            def log_message(self, *args):
                pass

        class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
            daemon_threads = True

        self._server = Server(("127.0.0.1", 0), Handler)
        self.port = self._server.server_address[1]
        self.base_url = "http://127.0.0.1:%d" % self.port
        self._thread = threading.Thread(target=self._server.serve_forever, daemon=True)
        self._thread.start()

    def stop(self):
        self._server.shutdown()
        self._server.server_close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()


# ---------------------------------------------------------------------------
# The program


class Tavrel:
    """One installed copy of the program, its process and its windows.

    By default the harness lays out a fresh install tree in
    build/win32/e2e/<name>/. With installed_root, the tree is one an
    installer made there (inside the test's folder): the harness lays out
    nothing, and screenshots and Wine output stay outside it."""

    def __init__(self, name, installed_root=None):
        self.name = name
        self.base = os.path.join(BUILD_DIR, "e2e", name)
        if os.path.exists(self.base):
            shutil.rmtree(self.base)
        self.root = installed_root or self.base
        self.program_dir = os.path.join(self.root, "Tavrel")
        self.language_dir = os.path.join(self.root, "Common", "language")
        self.work_dir = os.path.join(self.base, "work")
        folders = [self.work_dir] if installed_root else [self.program_dir, self.language_dir, self.work_dir]
        for folder in folders:
            os.makedirs(folder)
        self.wine = Wine(self.work_dir)
        self.wine.prepare()
        self.ids = control_ids()
        self.process = None
        self.windows_pid = None
        # The Windows version Wine reports to the program ("win98", "nt40",
        # "win2k"), and the features the program is to do without
        # (compat::PretendMissingFromEnvironment: "all", "Tahoma" ...);
        # both for the next start.
        self.windows_version = None
        self.pretend_missing = None
        self._version_set = False
        self._shots = 0
        self._starts = 0
        if not installed_root:
            self._lay_out()

    def _lay_out(self):
        shutil.copy(EXE, os.path.join(self.program_dir, "A_Tavrel.exe"))
        shipped = os.path.join(SOURCE_DIR, "install", "Common", "language")
        if os.path.isdir(shipped):
            for name in os.listdir(shipped):
                if name.lower().endswith(".lng"):
                    shutil.copy(os.path.join(shipped, name), self.language_dir)
        english = os.path.join(self.language_dir, "english.lng")
        if not os.path.exists(english):
            # Without a language file the program ends at start-up.
            with open(english, "wb") as f:
                f.write(b"; english texts laid by the end-to-end harness\r\n")

    # -- setting ------------------------------------------------------------

    def set_hosts(self, base_url):
        """Points every host of the program at base_url."""
        for value in HOST_VALUES:
            self.wine.reg_add(HOSTS_KEY, value, base_url)

    def reg_add(self, key, name, value, kind="REG_SZ"):
        self.wine.reg_add(key, name, value, kind)

    def reg_query(self, key, name):
        return self.wine.reg_query(key, name)

    def path(self, *relative):
        """A file of the install tree, e.g. path("Common", "error.log")."""
        return os.path.join(self.root, *relative)

    def read_file(self, *relative):
        """The bytes of a file of the install tree, or None when missing."""
        try:
            with open(self.path(*relative), "rb") as f:
                return f.read()
        except FileNotFoundError:
            return None

    # -- the process ----------------------------------------------------------

    def start(self, ordinary_user=False):
        """Starts the program through the driver, which waits for it: process
        ends when the program ends, with its exit code. From then on the
        driver looks at this process's windows only. A copy this object
        started before and that still runs (a test failed before it ended
        it) is ended first: the new one would be a second copy and end.
        With ordinary_user, the program runs without the right to change the
        system time, as an ordinary user's program on NT."""
        self.stop()
        self._starts += 1
        pid_file = os.path.join(self.work_dir, "program-%d.pid" % self._starts)
        exe = os.path.join(self.program_dir, "A_Tavrel.exe")
        self.wine.env.pop("TAVREL_PID", None)
        self._set_windows_version()
        if self.pretend_missing:
            self.wine.env["TAVREL_PRETEND_MISSING"] = self.pretend_missing
        else:
            self.wine.env.pop("TAVREL_PRETEND_MISSING", None)
        command = "run-ordinary-user" if ordinary_user else "run"
        self.process = self.wine.start(["wine", DRIVER, command, windows_path(pid_file), windows_path(exe)],
                                       tag="A_Tavrel", cwd=self.program_dir)
        deadline = time.monotonic() + 60
        while not os.path.exists(pid_file):
            if self.process.poll() is not None or time.monotonic() > deadline:
                raise HarnessError("the driver did not start %s (exit %s)" % (exe, self.process.poll()))
            time.sleep(0.05)
        with open(pid_file) as f:
            self.windows_pid = int(f.read().split()[0])
        self.wine.env["TAVREL_PID"] = str(self.windows_pid)

    APP_DEFAULTS = r"HKEY_CURRENT_USER\Software\Wine\AppDefaults\A_Tavrel.exe"

    def _set_windows_version(self):
        """Wine's per-program setting, for A_Tavrel.exe only (the driver
        and the other tools keep the prefix's version)."""
        if self.windows_version:
            self.wine.reg_add(self.APP_DEFAULTS, "Version", self.windows_version)
            self._version_set = True

    def running(self):
        return self.process is not None and self.process.poll() is None

    def wait_exit(self, timeout):
        """The exit code, or None when the program still runs after timeout."""
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            return None

    def stop(self):
        """Ends the program if it still runs, politely first; the next
        program started in the prefix reports Wine's own version again."""
        if self._version_set:
            self._version_set = False
            self.wine.run(["wine", "reg", "delete", self.APP_DEFAULTS, "/f", REG_VIEW], tag="reg-delete")
        if not self.running():
            return
        self.driver("close", check=False)
        if self.wait_exit(10) is None:
            self.wine.run(["wine", "taskkill", "/f", "/pid", str(self.windows_pid)], tag="taskkill")
            if self.wait_exit(10) is None:
                self.process.kill()
                self.process.wait()

    # -- the windows ----------------------------------------------------------

    def driver(self, *args, check=True, timeout=60, window=None):
        """Runs one driver command on the main window (or on the form titled
        window); returns its output without the final line break. With
        check, a failing command fails the test."""
        saved = self.wine.env.pop("TAVREL_WINDOW", None)
        if window:
            self.wine.env["TAVREL_WINDOW"] = window
        try:
            code, out = self.wine.run(["wine", DRIVER] + [str(a) for a in args], timeout=timeout, tag="driver")
        finally:
            self.wine.env.pop("TAVREL_WINDOW", None)
            if saved is not None:
                self.wine.env["TAVREL_WINDOW"] = saved
        out = out.replace("\r\n", "\n").rstrip("\n")
        if check and code != 0:
            shot = self.screenshot("failed-" + str(args[0]))
            raise AssertionError("driver %s failed (%d): %s\nscreenshot: %s" % (
                " ".join(str(a) for a in args), code, out, shot))
        return out

    def wait_window(self, timeout_ms=30000):
        code, out = self.wine.run(["wine", DRIVER, "wait-window", FORM_CLASS, str(timeout_ms)],
                                  timeout=timeout_ms / 1000 + 30, tag="driver")
        if code != 0:
            shot = self.screenshot("no-window")
            if self.process is None:
                state = "was never started"
            elif self.running():
                state = "still runs"
            else:
                state = "ended with code %s" % self.process.returncode
            raise AssertionError("The main window (class %s, title %s) did not appear within %d ms; the program "
                                 "%s.\nscreenshot: %s\ndriver: %s" % (FORM_CLASS, MAIN_WINDOW, timeout_ms, state,
                                                                      shot, out.strip()))
        return out.strip()

    def id(self, name):
        return self.ids[name if name.startswith("IDC_") else "IDC_" + name]

    def text(self, control):
        return self.driver("text", self.id(control))

    def visible(self, control):
        return self.driver("visible", self.id(control)) == "1"

    def enabled(self, control):
        return self.driver("enabled", self.id(control)) == "1"

    def check(self, control):
        return int(self.driver("check", self.id(control)))

    def click(self, control):
        self.driver("click", self.id(control))

    def set_text(self, control, text):
        self.driver("settext", self.id(control), text)

    def controls(self):
        """Every control: list of (id, class, visible, text)."""
        rows = []
        for line in self.driver("list").splitlines():
            parts = line.split("\t", 3)
            if len(parts) == 4:
                rows.append((int(parts[0]), parts[1], parts[2] == "1", parts[3]))
        return rows

    def message_box(self, timeout_ms=5000):
        """(title, text, buttons) of the shown message box, or None."""
        code, out = self.wine.run(["wine", DRIVER, "msgbox", str(timeout_ms)], timeout=timeout_ms / 1000 + 30,
                                  tag="driver")
        if code != 0:
            return None
        title, text, buttons = "", "", []
        for line in out.replace("\r\n", "\n").splitlines():
            if line.startswith("title: "):
                title = line[7:]
            elif line.startswith("text: "):
                text = line[6:]
            elif line.startswith("button: "):
                buttons.append(line[8:])
        return title, text, buttons

    def window_rect(self):
        """(left, top, width, height) of the main window in pixels."""
        parts = self.driver("wait-window", FORM_CLASS, 5000).split()
        return tuple(int(p) for p in parts[2:6])

    def exstyle(self):
        return int(self.driver("exstyle"), 16)

    def settings_key(self):
        """The per-user settings key: below the Windows user's name in upper case."""
        code, out = self.wine.run(["wine", "cmd", "/c", "echo", "%USERNAME%"], tag="username")
        user = out.strip().splitlines()[-1].strip().upper() if out.strip() else "ADMIN"
        return r"HKEY_CURRENT_USER\Software\VRN Program Settings\VRN\Tavrel\%s\Settings" % user

    def press(self, button):
        self.driver("press", button)

    def close(self):
        self.driver("close")

    def screenshot(self, label="screen"):
        """Saves the whole display as a PNG; returns its path."""
        self._shots += 1
        path = os.path.join(self.base, "%02d-%s.png" % (self._shots, label))
        env = dict(os.environ)
        env["DISPLAY"] = self.wine.env.get("DISPLAY", os.environ.get("DISPLAY", ""))
        with open(os.path.join(self.work_dir, "import.out"), "ab") as out:
            subprocess.run(["import", "-window", "root", path], stdin=subprocess.DEVNULL, stdout=out,
                           stderr=subprocess.STDOUT, env=env, timeout=60, check=False)
        return path
