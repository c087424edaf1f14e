#!/usr/bin/env bash
# Takes the pictures of docs/user-guide.md again: runs the new user's
# journey (tests/e2e/test_journey.py: installer, first start, options,
# synchronisation, views, tray, new-version check, About, uninstall) under
# Wine with TAVREL_UPDATE_DOCS=1, which copies its chosen screenshots to
# docs/guide/. Every step's whole-screen shot stays in
# build/win32/e2e/journey/. A Wine prefix of its own
# (build/win32/wineprefix-guide) on an Xvfb display of its own.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh >/dev/null
./scripts/build-runtime.sh >/dev/null  # the shipped program's runtime for the 486 (cached)
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j 2 --target A_Tavrel tavrel_driver tavrel_release >/dev/null
build=$PWD/build/win32

n=160
while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp </dev/null >"$build/xvfb-guide.log" 2>&1 &
xvfb=$!
export WINEPREFIX=$build/wineprefix-guide
trap 'wineserver -k >/dev/null 2>&1 || true; kill "$xvfb" 2>/dev/null || true' EXIT
for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done

export DISPLAY=":$n" WINEDEBUG=-all PYTHONDONTWRITEBYTECODE=1 TAVREL_UPDATE_DOCS=1
export TAVREL_BUILD_DIR=$build TAVREL_SOURCE_DIR=$PWD TAVREL_EXE=$build/A_Tavrel.exe
export TAVREL_DRIVER=$build/tavrel_driver.exe TAVREL_SETUP=$(ls "$build"/release/A_Tavrel-*-setup.exe | head -1)
(cd tests/e2e && /usr/bin/python3 -m unittest -v test_journey)
ls -l docs/guide/
