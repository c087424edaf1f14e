#!/usr/bin/env bash
# Measures one SNTP run (resolve, four exchanges, the result) against the
# Python NTP test server on loopback: the median time from the start of the
# query to the moment the result is ready over 20 runs, and the median time
# of one synchronisation from the start of DoAtomicTime with the NTP source
# chosen to its clock call (compare scripts/bench-sync.sh, the web page's),
# natively (POSIX sockets) and under Wine (Winsock) when the Windows build
# exists. Nothing sets the clock.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-20}

cmake --preset host >/dev/null
cmake --build --preset host --target tavrel_sntp_bench >/dev/null

out=$(mktemp)
python3 tests/e2e/ntp_server.py --offset 0.25 > "$out" &
server=$!
trap 'kill $server 2>/dev/null || true; rm -f "$out"' EXIT
for _ in $(seq 50); do grep -q '^port ' "$out" && break; sleep 0.1; done
port=$(sed -n 's/^port //p' "$out")
echo "NTP test server on 127.0.0.1:$port, +250 ms, no path delay"

echo "native:"
build/host/bench/tavrel_sntp_bench "127.0.0.1:$port" "$runs"
source scripts/wine-choice.sh >/dev/null
exe=build/$wine_preset/bench/tavrel_sntp_bench.exe
if [ -x "$exe" ] && command -v wine >/dev/null; then
  export WINEPREFIX=${WINEPREFIX:-$PWD/build/$wine_preset/wineprefix} WINEDEBUG=-all
  [ -d "$WINEPREFIX" ] || wineboot -i >/dev/null 2>&1
  wine "$exe" "127.0.0.1:$port" "$runs" > "$out" 2>&1 || true
  echo "wine ($wine_preset):"
  tr -d '\r' < "$out"
else
  echo "wine: no $exe (build the $wine_preset preset first)"
fi
