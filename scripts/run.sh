#!/usr/bin/env bash
# Builds A_Tavrel.exe, lays out its install tree and starts it under Wine.
#
# With a display (DISPLAY set) the program runs until you close it.
# Without one, the script starts a virtual display, lets the program run
# for a few seconds, saves a screenshot to build/win32/screenshot.png,
# prints its path, and then stops the program and the virtual display.
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$PWD

./scripts/install-deps.sh
source scripts/wine-choice.sh
# The runtime libraries the shipped program links, rebuilt for the 486
# (about ten minutes once per machine, then cached).
if [ "$wine_preset" = win32 ]; then ./scripts/build-runtime.sh >/dev/null; fi
cmake --preset "$wine_preset"
cmake --build --preset "$wine_preset" -j 2 --target A_Tavrel

# <root>\Tavrel\A_Tavrel.exe beside <root>\Common\language\*.lng, the way
# the program finds its files.
root=build/win32/install
mkdir -p "$root/Tavrel" "$root/Common/language"
cp "build/$wine_preset/A_Tavrel.exe" "$root/Tavrel/"
if compgen -G "install/Common/language/*.lng" >/dev/null; then
  cp install/Common/language/*.lng "$root/Common/language/"
fi
if [ ! -f "$root/Common/language/english.lng" ]; then
  printf '; english texts\r\n' >"$root/Common/language/english.lng"
fi

# A prefix of its own, kept between runs, apart from the tests' prefix.
export WINEPREFIX="$source_dir/build/win32/wineprefix-run"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
log="$source_dir/build/win32/run.log"
: >"$log"

xvfb_pid=""
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
}
if [ -z "${DISPLAY:-}" ]; then
  n=90
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp </dev/null >>"$log" 2>&1 &
  xvfb_pid=$!
  trap cleanup EXIT
  for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  export DISPLAY=":$n"
fi

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "run.sh: preparing the Wine prefix (once, about half a minute)"
  wineboot -i </dev/null >>"$log" 2>&1
fi

cd "$root/Tavrel"
if [ -z "$xvfb_pid" ]; then
  echo "run.sh: starting A_Tavrel.exe on $DISPLAY (close its window to end)"
  exec wine A_Tavrel.exe </dev/null >>"$log" 2>&1
fi

wine A_Tavrel.exe </dev/null >>"$log" 2>&1 &
sleep 5
screenshot="$source_dir/build/win32/screenshot.png"
import -window root "$screenshot"
echo "run.sh: screenshot of the running program: $screenshot"
