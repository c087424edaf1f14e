#!/usr/bin/env bash
# Builds both presets and runs every test: the native unit tests on the
# in-memory platform, then under Wine on a virtual display the Windows
# tests of platform/win32 and the end-to-end tests of A_Tavrel.exe.
# Exits non-zero when a build or any test fails.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh

started=$(date +%s)
# Two cores: two compile jobs keep the machine responsive.
jobs=2
status=0

cmake --preset host -DTAVREL_WERROR=ON
cmake --build --preset host -j "$jobs"
ctest --preset host -j "$jobs" || status=1

# Wine runs the shipped 32-bit build where this machine can run 32-bit
# programs. A kernel without 32-bit emulation cannot ("Exec format error"
# from Wine's 32-bit loader); there the same sources, built for x86_64, run
# under wine64 instead, and the 32-bit program is still built and checked.
source scripts/wine-choice.sh

# The runtime libraries the shipped program links, rebuilt for the 486
# (about ten minutes once per machine, then cached).
./scripts/build-runtime.sh >/dev/null
cmake --preset win32 -DTAVREL_WERROR=ON
if [ "$wine_preset" = win32 ]; then
  cmake --build --preset win32 -j "$jobs"
else
  cmake --build --preset win32 -j "$jobs" --target A_Tavrel tavrel_release tavrel_floor_probe
  ctest --preset win32 -R '^(exe_|setup_imports_)' || status=1
  cmake --preset win64 -DTAVREL_WERROR=ON
  cmake --build --preset win64 -j "$jobs"
fi

xvfb_pid=""
if [ -z "${DISPLAY:-}" ]; then
  n=90
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp </dev/null >"build/$wine_preset/xvfb.log" 2>&1 &
  xvfb_pid=$!
  trap 'kill "$xvfb_pid" 2>/dev/null || true' EXIT
  for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  export DISPLAY=":$n"
fi
# The Wine tests run one after the other: they share one prefix and display.
ctest --preset "$wine_preset" || status=1

echo "test.sh: finished in $(( $(date +%s) - started )) s with status $status"
exit "$status"
