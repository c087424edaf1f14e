#!/usr/bin/env bash
# The soak (too long for the test run): A_Tavrel under Wine for ten minutes
# (or TAVREL_SOAK_MINUTES) with a periodic synchronisation every 0.01 hours
# against a local time page, the voice on and the window sent to the
# notification area and back every minute. Prints the GDI and USER objects,
# handles and memory at the start and the end and the error-log lines; fails
# when something grew or the log holds an unexpected line. A Wine prefix of
# its own (build/<preset>/wineprefix-soak) and, without DISPLAY, its own Xvfb.
# The output is also kept in build/<preset>/soak.txt, where scripts/figures.sh
# reads the soak's figures.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh >/dev/null
source scripts/wine-choice.sh
# The shipped program's runtime libraries for the 486 (cached after the first run).
if [ "$wine_preset" = win32 ]; then ./scripts/build-runtime.sh >/dev/null; fi
cmake --preset "$wine_preset" >/dev/null
cmake --build --preset "$wine_preset" -j 2 --target A_Tavrel tavrel_driver >/dev/null

build=$PWD/build/$wine_preset
export WINEPREFIX=$build/wineprefix-soak TAVREL_BUILD_DIR=$build TAVREL_SOURCE_DIR=$PWD
export TAVREL_EXE=$build/A_Tavrel.exe TAVREL_DRIVER=$build/tavrel_driver.exe PYTHONDONTWRITEBYTECODE=1
cd tests/e2e
status=0
/usr/bin/python3 soak.py 2>&1 | tee "$build/soak.txt.part" || status=$?
mv "$build/soak.txt.part" "$build/soak.txt"
wineserver -k >/dev/null 2>&1 || true
exit "$status"
