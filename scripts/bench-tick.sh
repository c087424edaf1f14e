#!/usr/bin/env bash
# Measures one tick of the main window's timer with no synchronisation due:
# the median time natively (in-memory window), and under Wine the window-
# system objects before and after 10,000 ticks of the real window (they
# must not grow).
set -euo pipefail
cd "$(dirname "$0")/.."
ticks=${1:-10000}

cmake --preset host >/dev/null
cmake --build --preset host --target tavrel_tick_bench >/dev/null
echo "native: $(build/host/bench/tavrel_tick_bench "$ticks")"

source scripts/wine-choice.sh >/dev/null
# The shipped program's runtime libraries for the 486 (cached after the first run).
if [ "$wine_preset" = win32 ]; then ./scripts/build-runtime.sh >/dev/null; fi
cmake --preset "$wine_preset" >/dev/null
cmake --build --preset "$wine_preset" --target tavrel_tick_bench >/dev/null
export WINEPREFIX=${WINEPREFIX:-$PWD/build/$wine_preset/wineprefix} WINEDEBUG=-all
[ -d "$WINEPREFIX" ] || wineboot -i >/dev/null 2>&1
xvfb=""
if [ -z "${DISPLAY:-}" ]; then
  Xvfb :89 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  export DISPLAY=:89
  sleep 1
fi
out=$(mktemp)
wine "build/$wine_preset/bench/tavrel_tick_bench.exe" "$ticks" >"$out" 2>&1 || true
echo "wine:"
tr -d '\r' <"$out" | sed 's/^/  /'
rm -f "$out"
[ -z "$xvfb" ] || kill "$xvfb"
