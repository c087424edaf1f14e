"""The release installer under Wine: install and uninstall it silently into
a test's folder and read back what it left in the prefix.

The installer is the 32-bit NSIS package of the build (TAVREL_SETUP); it
writes the 32-bit registry view, the one the shipped program uses."""

import os
import re
import time

import harness

SETUP = os.environ.get("TAVREL_SETUP", "")
UNINST_KEY = r"HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\A_Tavrel"
MACHINE_RUN_KEY = r"HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Run"
USER_RUN_KEY = r"HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run"
MACHINE_KEY = r"HKEY_LOCAL_MACHINE\Software\VRN\Tavrel"
USER_KEY = r"HKEY_CURRENT_USER\Software\VRN Program Settings\VRN\Tavrel"
# Wine's all-users Start menu.
MENU_FOLDER = os.path.join(harness.WINEPREFIX, "drive_c", "ProgramData", "Microsoft", "Windows", "Start Menu",
                           "Programs", "A_Tavrel")
SHORTCUTS = {"A_Tavrel.lnk", "Read me.lnk", "Uninstall A_Tavrel.lnk"}
# Every file the installer lays out, relative to the install folder; Windows
# folds Common and common into one folder.
INSTALLED = {"Tavrel/A_Tavrel.exe", "Common/language/english.lng", "Common/license/UrlList.txt", "ReadMe.txt",
             "Uninstall.exe"}


def project_version():
    with open(os.path.join(harness.SOURCE_DIR, "CMakeLists.txt"), encoding="utf-8") as f:
        return re.search(r"project\(A_Tavrel VERSION ([0-9.]+)", f.read()).group(1)


def skip_reason():
    """Why the installer cannot be tested here, or None."""
    if not SETUP or not os.path.exists(SETUP):
        return "no installer in this build (it carries the 32-bit program only)"
    if harness.REG_VIEW != "/reg:32":
        return "this machine runs the 64-bit test build; the installer is 32-bit"
    return None


def files_below(folder):
    """Every file below folder, as paths relative to it with "/"; the case of
    each name as the file system keeps it."""
    found = set()
    for top, _dirs, names in os.walk(folder):
        for name in names:
            found.add(os.path.relpath(os.path.join(top, name), folder).replace(os.sep, "/"))
    return found


def folder_argument(folder):
    """/D= as the installer reads it: the rest of the command line, spaces
    and all, unquoted. Wine quotes an argument that holds a space, so the
    folder goes in as several arguments that the command line joins again."""
    return ("/D=" + harness.windows_path(folder)).split(" ")


def install(tavrel, folder=None, timeout=120):
    """Runs the installer silently (into folder, or its default); its exit code."""
    args = ["wine", SETUP, "/S"] + (folder_argument(folder) if folder else [])
    code, _out = tavrel.wine.run(args, timeout=timeout, tag="setup")
    return code


def key_exists(tavrel, key):
    code, _out = tavrel.wine.run(["wine", "reg", "query", key, harness.REG_VIEW], tag="reg-query")
    return code == 0


def subkeys(tavrel, key):
    code, out = tavrel.wine.run(["wine", "reg", "query", key, harness.REG_VIEW], tag="reg-query")
    if code != 0:
        return None
    prefix = key.lower() + "\\"
    return sorted(line.strip()[len(prefix):] for line in out.splitlines() if line.strip().lower().startswith(prefix))


def uninstall(tavrel, folder, remove_settings=False, in_place=False, timeout=120):
    """Runs the uninstaller silently. It copies itself away and ends at once;
    the copy does the work, so the wait is for the registration to go. With
    in_place it runs where it is (_?=) and its exit code comes back."""
    args = ["wine", os.path.join(folder, "Uninstall.exe"), "/S"]
    if remove_settings:
        args.append("/REMOVESETTINGS")
    if in_place:
        args += ("_?=" + harness.windows_path(folder)).split(" ")
    code, _out = tavrel.wine.run(args, timeout=timeout, tag="uninstall")
    if in_place:
        return code
    deadline = time.monotonic() + harness.scaled(timeout)
    while key_exists(tavrel, UNINST_KEY) or os.path.exists(os.path.join(folder, "Uninstall.exe")):
        if time.monotonic() > deadline:
            raise harness.HarnessError("the uninstaller did not finish within %d s" % timeout)
        time.sleep(0.5)
    return code
