#!/usr/bin/env bash
# How well the web server's clock is read: a loopback web server whose Date
# header runs a known offset ahead of this machine's clock, answering every
# request after a fixed latency with a redirect and no time text (as the
# time pages' hosts do today). For each offset the program's synchronisation
# core (DoAtomicTime through the page chain to the web server clock, built
# natively with plain sockets: tavrel_sync_bench webclock; and the Windows
# build's, with WinINet, under Wine when it is built) and Debian's
# htpdate (-q: it only asks, it never sets the clock) measure the same
# server; the error is the offset measured minus the true one.
#
#   scripts/bench-httpdate.sh [runs per offset] [latency in seconds]
#                             [--tick MS] [--no-interpolation]
#
# --tick MS makes the program's clock coarse, as the systems it is for keep
# theirs (55: Windows 9x; 15.625 or 10: NT): the machine's clock, cut down
# to steps of MS milliseconds, which the program interpolates on a fine
# counter unless --no-interpolation. 0 (the default) is the machine's own
# clock; htpdate, which reads that clock, is measured only then.
#
# Prints one line per offset and the median absolute error of each over all
# runs, and the median time of the program's synchronisations; the lines
# "median-abs-ms tick T tavrel X htpdate Y htpdate-answer Z wine W
# interpolation on|off" and "median-sync-ms tavrel T wine U" are what
# scripts/figures.sh reads. Nothing here sets the clock: the benchmarks'
# clock only records the change it was asked for.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/clock-options.sh
runs=${positional[0]:-5}
latency=${positional[1]:-0.010}
offsets=(0.05 0.25 0.5 0.95 -0.3)
with_htpdate=0
[ "$tick" = 0 ] && [ "$interpolation" = on ] && with_htpdate=1

# htpdate comes with the build tools; its service, which would steer the
# clock, is never started.
if [ "$with_htpdate" = 1 ] && ! command -v htpdate >/dev/null; then ./scripts/install-deps.sh htpdate >/dev/null; fi

cmake --preset host >/dev/null
cmake --build --preset host --target tavrel_sync_bench >/dev/null
bench=build/host/bench/tavrel_sync_bench
# The same core in the Windows build (WinINet, the system clock) under Wine,
# when that build is there.
source scripts/wine-choice.sh >/dev/null
wine_bench=build/$wine_preset/bench/tavrel_sync_bench.exe
if [ -x "$wine_bench" ] && command -v wine >/dev/null; then
  export WINEPREFIX=${WINEPREFIX:-$PWD/build/$wine_preset/wineprefix} WINEDEBUG=-all
  [ -d "$WINEPREFIX" ] || wineboot -i >/dev/null 2>&1
else
  wine_bench=""
fi

work=$(mktemp -d)
server=""
stop_server() {
  if [ -n "$server" ]; then kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; fi
  server=""
}
trap 'stop_server; rm -rf "$work"' EXIT

# The error of every run, one a line: "<tool> <offset> <error in seconds>",
# the tool one of tavrel, wine, htpdate, htpdate-answer.
errors=$work/errors
: > "$work/took"
: > "$work/took-wine"
: > "$errors"
echo "$clock_text"
printf '%-8s %-28s %-28s %-28s\n' "offset" "A_Tavrel, ms (each run)" "A_Tavrel under Wine" "htpdate -q -p 4 -d"
for offset in "${offsets[@]}"; do
  python3 tests/e2e/date_server.py "$offset" "$latency" 301 keep-alive > "$work/port" 2>/dev/null &
  server=$!
  for _ in $(seq 50); do [ -s "$work/port" ] && break; sleep 0.1; done
  port=$(cat "$work/port")

  "$bench" "http://127.0.0.1:$port" "$runs" webclock "${clock_options[@]}" > "$work/tavrel" 2>&1 || {
    cat "$work/tavrel" >&2
    exit 1
  }
  ours=$(awk -v o="$offset" '$1 == "offset" { printf "%+.1f ", ($2 - o) * 1000 }' "$work/tavrel")
  awk -v o="$offset" '$1 == "offset" { print "tavrel", o, $2 - o }' "$work/tavrel" >> "$errors"
  awk '$1 == "offset" && $4 == "took" { print $5 / 1000 }' "$work/tavrel" >> "$work/took"

  under_wine="-"
  if [ -n "$wine_bench" ]; then
    wine "$wine_bench" "http://127.0.0.1:$port" "$runs" webclock "${clock_options[@]}" 2>&1 | tr -d '\r' > "$work/wine" || true
    under_wine=$(awk -v o="$offset" '$1 == "offset" { printf "%+.1f ", ($2 - o) * 1000 }' "$work/wine")
    awk -v o="$offset" '$1 == "offset" { print "wine", o, $2 - o }' "$work/wine" >> "$errors"
    awk '$1 == "offset" && $4 == "took" { print $5 / 1000 }' "$work/wine" >> "$work/took-wine"
  fi

  theirs="-"
  [ "$with_htpdate" = 1 ] && theirs=""
  for _ in $(seq $((runs * with_htpdate))); do
    # htpdate -q only queries. With -d it prints the offset it measured
    # ("offset: X") and then its answer ("Offset X seconds", or "No time
    # correction needed"), which is half the measured offset when that is
    # under a second (htpdate damps its steps so as not to overshoot). Both
    # are kept; the measured offset is the one compared, as the fairer.
    htpdate -q -p 4 -d "127.0.0.1:$port" > "$work/htpdate" 2>&1 || true
    answer=$(sed -n 's/^Offset \(-\?[0-9.]*\) seconds.*/\1/p' "$work/htpdate" | tail -1)
    if [ -z "$answer" ] && grep -q "No time correction needed" "$work/htpdate"; then answer=0; fi
    measured=$(sed -n 's/^offset: \(-\?[0-9.]*\).*/\1/p' "$work/htpdate" | tail -1)
    if [ -z "$measured" ]; then
      theirs+="fail "
      continue
    fi
    theirs+=$(awk -v m="$measured" -v o="$offset" 'BEGIN { printf "%+.1f ", (m - o) * 1000 }')
    echo "htpdate $offset $(awk -v m="$measured" -v o="$offset" 'BEGIN { print m - o }')" >> "$errors"
    [ -z "$answer" ] || echo "htpdate-answer $offset $(awk -v m="$answer" -v o="$offset" 'BEGIN { print m - o }')" >> "$errors"
  done
  stop_server
  printf '%+-8.3f %-28s %-28s %-28s\n' "$offset" "$ours" "$under_wine" "$theirs"
done

median() {
  sort -g | awk '{ v[NR] = $1 } END { if (NR == 0) print "-"; else if (NR % 2) printf "%.1f\n", v[(NR + 1) / 2];
                                      else printf "%.1f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
median_abs() {
  awk -v t="$1" '$1 == t { e = $3 < 0 ? -$3 : $3; print e * 1000 }' "$errors" | median
}
ours=$(median_abs tavrel)
theirs=$(median_abs htpdate)
wine_error=$(median_abs wine)
answers=$(median_abs htpdate-answer)
echo "server latency $(awk -v l="$latency" 'BEGIN { print l * 1000 }') ms, $runs runs per offset"
# What each build's clock found: "clock step S ms interpolated yes|no".
echo "A_Tavrel's $(grep -h '^clock step' "$work/tavrel" || echo "clock: -")"
[ -z "$wine_bench" ] || echo "under Wine: $(grep -h '^clock step' "$work/wine" || echo "clock: -")"
echo "median |error|: A_Tavrel $ours ms (under Wine $wine_error ms), htpdate $theirs ms (its printed answer: $answers ms)"
took=$(median < "$work/took")
echo "one synchronisation through the web server clock: median $took ms"
echo "median-abs-ms tick $tick tavrel $ours htpdate $theirs htpdate-answer $answers wine $wine_error interpolation $interpolation"
echo "median-sync-ms tavrel $took wine $(median < "$work/took-wine")"
