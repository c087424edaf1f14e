#!/usr/bin/env bash
# Measures one SNTP run (resolve, four exchanges, the result) against the
# Python NTP test server on loopback: the median time from the start of the
# query to the moment the result is ready over 20 runs, and the median time
# of one synchronisation from the start of DoAtomicTime with the NTP source
# chosen to its clock call (compare scripts/bench-sync.sh, the web page's),
# natively (POSIX sockets) and under Wine (Winsock) when the Windows build
# exists; and how far the offset each query measured is from the server's
# (+250 ms, no path delay): the line "median-abs-ms tick T tavrel X wine W
# interpolation on|off" is what scripts/figures.sh reads. Nothing sets the
# clock.
#
#   scripts/bench-sntp.sh [runs] [--tick MS] [--no-interpolation]
#
# --tick MS makes the program's clock coarse, as the systems it is for keep
# theirs (55: Windows 9x; 15.625 or 10: NT): the machine's clock, cut down
# to steps of MS milliseconds, which the program interpolates on a fine
# counter unless --no-interpolation. 0 (the default): the machine's own.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/clock-options.sh
runs=${positional[0]:-20}
offset=0.25

cmake --preset host >/dev/null
cmake --build --preset host --target tavrel_sntp_bench >/dev/null

out=$(mktemp)
python3 tests/e2e/ntp_server.py --offset "$offset" > "$out" &
server=$!
trap 'kill $server 2>/dev/null || true; rm -f "$out" "$out.native" "$out.wine"' EXIT
for _ in $(seq 50); do grep -q '^port ' "$out" && break; sleep 0.1; done
port=$(sed -n 's/^port //p' "$out")
echo "NTP test server on 127.0.0.1:$port, +250 ms, no path delay"
echo "$clock_text"

# The median of the queries' absolute errors in ms, from "offset S s" lines.
median_abs_ms() {
  awk -v o="$offset" '$1 == "offset" { e = ($2 - o) * 1000; print e < 0 ? -e : e }' "$1" | sort -g |
    awk '{ v[NR] = $1 } END { if (NR == 0) print "-"; else if (NR % 2) printf "%.3f\n", v[(NR + 1) / 2];
                              else printf "%.3f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

echo "native:"
build/host/bench/tavrel_sntp_bench "127.0.0.1:$port" "$runs" "${clock_options[@]}" > "$out.native"
grep -v '^offset ' "$out.native"
native=$(median_abs_ms "$out.native")
wine_error="-"
source scripts/wine-choice.sh >/dev/null
exe=build/$wine_preset/bench/tavrel_sntp_bench.exe
if [ -x "$exe" ] && command -v wine >/dev/null; then
  export WINEPREFIX=${WINEPREFIX:-$PWD/build/$wine_preset/wineprefix} WINEDEBUG=-all
  [ -d "$WINEPREFIX" ] || wineboot -i >/dev/null 2>&1
  wine "$exe" "127.0.0.1:$port" "$runs" "${clock_options[@]}" 2>&1 | tr -d '\r' > "$out.wine" || true
  echo "wine ($wine_preset):"
  grep -v '^offset ' "$out.wine"
  wine_error=$(median_abs_ms "$out.wine")
else
  echo "wine: no $exe (build the $wine_preset preset first)"
fi
echo "median |error| of the offset: A_Tavrel $native ms (under Wine $wine_error ms)"
echo "median-abs-ms tick $tick tavrel $native wine $wine_error interpolation $interpolation"
