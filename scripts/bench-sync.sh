#!/usr/bin/env bash
# Measures one synchronisation against a time page on loopback: the time
# from the start of DoAtomicTime to the clock call, median of 20 runs,
# natively and (when the Windows build exists) under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-20}

cmake --preset host >/dev/null
cmake --build --preset host --target tavrel_sync_bench >/dev/null

pages=$(mktemp -d)
trap 'kill $server 2>/dev/null || true; rm -rf "$pages"' EXIT
mkdir -p "$pages/cgi-bin"
printf '%s01:29:55 UTC</pre>\n' "$(printf '%*s' 120 '' | tr ' ' .)" > "$pages/cgi-bin/timer.pl"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
python3 -m http.server "$port" --bind 127.0.0.1 --directory "$pages" >/dev/null 2>&1 &
server=$!
for _ in $(seq 50); do
  python3 -c "import urllib.request; urllib.request.urlopen('http://127.0.0.1:$port/cgi-bin/timer.pl')" 2>/dev/null && break
  sleep 0.1
done

echo "native: $(build/host/bench/tavrel_sync_bench "http://127.0.0.1:$port" "$runs")"
source scripts/wine-choice.sh >/dev/null
exe=build/$wine_preset/bench/tavrel_sync_bench.exe
if [ -x "$exe" ] && command -v wine >/dev/null; then
  export WINEPREFIX=${WINEPREFIX:-$PWD/build/$wine_preset/wineprefix} WINEDEBUG=-all
  [ -d "$WINEPREFIX" ] || wineboot -i >/dev/null 2>&1
  out=$(mktemp)
  wine "$exe" "http://127.0.0.1:$port" "$runs" > "$out" 2>&1 || true
  echo "wine ($wine_preset): $(tr -d '\r' < "$out")"
  rm -f "$out"
fi
