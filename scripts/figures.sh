#!/usr/bin/env bash
# Measures the program's figures, each beside its reference from the same
# run, and rewrites docs/performance.md with them:
#   - the sizes of A_Tavrel.exe and of the installer (against their limits);
#   - start-up to a visible window under Wine, against a minimal Win32
#     program built and started the same way (median of STARTUP_RUNS, 11);
#   - one synchronisation on loopback (median of 20) from the web page, the
#     web server's clock and an NTP server, natively and under Wine;
#   - how far the web server's clock is read from the truth, against
#     Debian's htpdate on the same server (scripts/bench-httpdate.sh);
#   - how far the web server's clock and the NTP server's offset are read
#     on a coarse clock (steps of 10, 15.625 and 55 ms), each beside the
#     same run without interpolation;
#   - one timer tick;
#   - the working set and objects after start, and at the start and end of
#     the soak.
#
#   scripts/figures.sh           the soak's figures come from its last output
#                                (build/<preset>/soak.txt), when there is one
#   scripts/figures.sh --soak    runs the ten-minute soak first
#
# Takes about twenty-five minutes without the soak. Nothing sets the clock. Wine
# runs in a prefix of its own (build/<preset>/wineprefix-figures) on an Xvfb
# display of its own, so that nothing else on the machine shows a window
# the start-up measurement could take for the program's.
set -euo pipefail
cd "$(dirname "$0")/.."
soak=0
[ "${1:-}" = "--soak" ] && soak=1
startup_runs=${STARTUP_RUNS:-11}

./scripts/install-deps.sh >/dev/null
source scripts/wine-choice.sh >/dev/null
build=$PWD/build/$wine_preset
cmake --preset host >/dev/null
cmake --build --preset host -j 2 --target tavrel_sync_bench tavrel_sntp_bench tavrel_tick_bench >/dev/null
./scripts/build-runtime.sh >/dev/null  # the shipped program's runtime for the 486 (cached)
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j 2 --target A_Tavrel tavrel_release >/dev/null
if [ "$wine_preset" != win32 ]; then cmake --preset "$wine_preset" >/dev/null; fi
cmake --build --preset "$wine_preset" -j 2 --target A_Tavrel tavrel_driver tavrel_minimal_window tavrel_sync_bench \
  tavrel_sntp_bench tavrel_tick_bench >/dev/null

work=$(mktemp -d)
xvfb=""
cleanup() {
  WINEPREFIX=$build/wineprefix-figures wineserver -k >/dev/null 2>&1 || true
  if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
n=160
while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp </dev/null >"$work/xvfb.log" 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
export DISPLAY=":$n" WINEPREFIX=$build/wineprefix-figures WINEDEBUG=-all
export TAVREL_BUILD_DIR=$build TAVREL_SOURCE_DIR=$PWD TAVREL_EXE=$build/A_Tavrel.exe
export TAVREL_DRIVER=$build/tavrel_driver.exe PYTHONDONTWRITEBYTECODE=1

if [ "$soak" = 1 ]; then
  echo "figures: the soak (ten minutes)"
  ./scripts/soak.sh >/dev/null || echo "figures: the soak failed; see $build/soak.txt"
fi

# "median N us" out of a benchmark's line, in milliseconds.
ms_of() { sed -n 's/.* median \([0-9.]*\) us.*/\1/p' | head -1 | awk '{ printf "%.1f", $1 / 1000 }'; }
# A "name value" line's value.
value_of() { awk -v n="$1" '$1 == n { print $2; exit }' "$2"; }

echo "figures: sizes"
exe_bytes=$(stat -c %s build/win32/A_Tavrel.exe)
setup=$(ls build/win32/release/A_Tavrel-*-setup.exe | head -1)
setup_bytes=$(stat -c %s "$setup")
minimal_bytes=$(stat -c %s build/win32/bench/tavrel_minimal_window.exe)

echo "figures: start-up under Wine ($startup_runs starts each)"
(cd tests/e2e && /usr/bin/python3 figures_wine.py startup "$startup_runs" "$build/bench/tavrel_minimal_window.exe") \
  > "$work/startup"
echo "figures: working set after start"
(cd tests/e2e && /usr/bin/python3 figures_wine.py memory) > "$work/memory"

echo "figures: synchronisations"
./scripts/bench-sync.sh 20 > "$work/sync"
page_native=$(grep '^native:' "$work/sync" | ms_of)
page_wine=$(grep '^wine' "$work/sync" | ms_of)
./scripts/bench-sntp.sh 20 > "$work/sntp"
ntp_native=$(grep 'DoAtomicTime to the clock call' "$work/sntp" | sed -n 1p | ms_of)
ntp_wine=$(grep 'DoAtomicTime to the clock call' "$work/sntp" | sed -n 2p | ms_of)
./scripts/bench-httpdate.sh 4 > "$work/httpdate"
# A named field of a "median-abs-ms name value name value ..." line.
field_of() { awk -v n="$1" '$1 == "median-abs-ms" { for (i = 2; i < NF; i += 2) if ($i == n) print $(i + 1) }' "$2"; }
date_error=$(field_of tavrel "$work/httpdate")
date_error_wine=$(field_of wine "$work/httpdate")
htpdate_error=$(field_of htpdate "$work/httpdate")
htpdate_answer=$(field_of htpdate-answer "$work/httpdate")
webclock_ms=$(awk '$1 == "median-sync-ms" { print $3 }' "$work/httpdate")
webclock_wine_ms=$(awk '$1 == "median-sync-ms" { print $5 }' "$work/httpdate")

echo "figures: coarse clocks"
coarse_ticks=(10 15.625 55)
for tick in "${coarse_ticks[@]}"; do
  for mode in on off; do
    flag=()
    [ "$mode" = on ] || flag=(--no-interpolation)
    ./scripts/bench-httpdate.sh 3 --tick "$tick" "${flag[@]}" > "$work/httpdate-$tick-$mode"
    ./scripts/bench-sntp.sh 20 --tick "$tick" "${flag[@]}" > "$work/sntp-$tick-$mode"
  done
done
# One row of the coarse-clock table: what, tick, the file stem, the
# field, the target in ms.
coarse_row() {
  local on off
  on=$(field_of "$4" "$work/$3-$2-on")
  off=$(field_of "$4" "$work/$3-$2-off")
  echo "| $1 | $2 ms | $on ms | $off ms | at most $5 ms | $(verdict "$(awk -v e="$on" -v t="$5" 'BEGIN { print e != "-" && e <= t }')") |"
}

echo "figures: timer tick"
./scripts/bench-tick.sh > "$work/tick"
tick_native=$(grep '^native:' "$work/tick" | sed -n 's/.* median \([0-9]*\) ns.*/\1/p')
tick_wine=$(grep -A1 '^wine:' "$work/tick" | sed -n 's/.* median \([0-9]*\) ns.*/\1/p')
# "changing the clock text: N ticks, median X ns; the others: M ticks, median Y ns", natively then under Wine.
split_of() {
  grep 'changing the clock text' "$work/tick" | sed -n "${1}p" |
    sed -n 's/.*median \([0-9]*\) ns; .*median \([0-9]*\) ns.*/\1 \2/p' |
    awk '{ printf "%.4f ms when the clock text changes (every other tick), %.4f ms when not", $1 / 1e6, $2 / 1e6 }'
}
tick_native_split=$(split_of 1)
tick_wine_split=$(split_of 2)
# The slower of the two kinds of tick is the one held against the target.
slower_of() {
  grep 'changing the clock text' "$work/tick" | sed -n "${1}p" |
    sed -n 's/.*median \([0-9]*\) ns; .*median \([0-9]*\) ns.*/\1 \2/p' | awk '{ print ($1 > $2 ? $1 : $2) }'
}
tick_native_slower=$(slower_of 1)
tick_wine_slower=$(slower_of 2)
tick_wine_paint=$(sed -n 's/^ *painting after a tick .* median \([0-9]*\) ns.*/\1/p' "$work/tick" | sed -n 2p)
tick_wine_request=$(sed -n 's/^ *one request to the window server .* median \([0-9]*\) ns.*/\1/p' "$work/tick")

# The soak's figures: "name start X end Y" lines of its output.
soak_file=$build/soak.txt
soak_row() {
  if [ -f "$soak_file" ]; then
    awk -v n="$1" '$1 == n && $2 == "start" { printf "%s | %s", $3, $5; found = 1 } END { if (!found) printf "- | -" }' \
      "$soak_file"
  else
    printf -- '- | -'
  fi
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.3f", a / b; else printf "-" }'; }
verdict() { awk -v ok="$1" 'BEGIN { print (ok ? "met" : "**not met**") }'; }
kib() { awk -v b="$1" 'BEGIN { if (b == "") print "-"; else printf "%.0f KiB", b / 1024 }'; }

startup_tavrel=$(value_of startup-A_Tavrel-ms "$work/startup")
startup_minimal=$(value_of startup-minimal-ms "$work/startup")
startup_ratio=$(value_of startup-ratio "$work/startup")
date_ratio=$(ratio "$date_error" "$htpdate_error")
version=$(sed -n 's/^project(A_Tavrel VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
commit=$(git rev-parse --short HEAD 2>/dev/null || echo "-")
dirty=$(git status --porcelain --untracked-files=no 2>/dev/null | grep -q . && echo " (with local changes)" || true)

out=docs/performance.md
{
  cat <<EOF
# Performance

Measured by \`scripts/figures.sh\` on $(date -u +%Y-%m-%d) at commit $commit$dirty, version $version, on
$(nproc) cores ($(uname -m), $(wine --version 2>/dev/null || echo "no Wine")). Every figure stands beside its
reference from the same run. Run the script again to renew this page;
\`scripts/figures.sh --soak\` runs the ten-minute soak first.

## Size

| what | bytes | reference | target | |
|---|---:|---|---|---|
| \`A_Tavrel.exe\` | $exe_bytes | minimal Win32 program built the same way: $minimal_bytes | under 1 MiB (1,048,576) | $(verdict "$((exe_bytes < 1048576))") |
| installer \`$(basename "$setup")\` | $setup_bytes | | at most 1,457,664 (a floppy) | $(verdict "$((setup_bytes <= 1457664))") |

## Start-up under Wine

From \`wine <exe>\` to the mapping of its window on the X display, a fresh \`wineserver\` before every start,
median of $startup_runs starts each, the two programs alternating (\`tests/e2e/figures_wine.py\`).

| program | median | each start (ms) |
|---|---:|---|
| \`A_Tavrel.exe\` | $startup_tavrel ms | $(value_of startup-A_Tavrel-all-ms "$work/startup") |
| minimal Win32 program (\`bench/MinimalWindow.cpp\`) | $startup_minimal ms | $(value_of startup-minimal-all-ms "$work/startup") |

Ratio $startup_ratio (target at most 1.2: $(verdict "$(awk -v r="$startup_ratio" 'BEGIN { print r <= 1.2 }')")).

## One synchronisation on loopback

From the start of \`DoAtomicTime\` to its clock call (the benchmarks' clock only records the change),
against servers on 127.0.0.1; natively with plain sockets, under Wine with WinINet and Winsock.

| source | native | under Wine | target | |
|---|---:|---:|---|---|
| web time page (\`scripts/bench-sync.sh\`, median of 20) | $page_native ms | $page_wine ms | under 50 ms | $(verdict "$(awk -v a="$page_native" -v b="${page_wine:-0}" 'BEGIN { print a < 50 && b < 50 }')") |
| NTP server, four exchanges (\`scripts/bench-sntp.sh\`, median of 20) | $ntp_native ms | $ntp_wine ms | under 50 ms | $(verdict "$(awk -v a="$ntp_native" -v b="${ntp_wine:-0}" 'BEGIN { print a < 50 && b < 50 }')") |
| web server's clock (\`scripts/bench-httpdate.sh\`, median of 20) | $webclock_ms ms | $webclock_wine_ms ms | - | see below |

The web server's clock cannot be quick: after the 31 fetches of the page chain it times up to eight
more requests to meet the server's change of second, one second apart at most.

## How well the web server's clock is read

A loopback server whose Date header runs a known offset ahead (+0.05, +0.25, +0.5, +0.95 and -0.3 s),
answering a redirect after 10 ms, no time text; the error is the offset measured minus the true one.
All read the same server in the same run (\`scripts/bench-httpdate.sh\`); the targets are checked on the
native build's figure.

\`\`\`
$(grep -v '^median-' "$work/httpdate")
\`\`\`

| | median absolute error |
|---|---:|
| A_Tavrel | $date_error ms |
| A_Tavrel, the Windows build under Wine (WinINet) | $date_error_wine ms |
| \`htpdate -q -p 4\` (Debian), the offset it measured (\`-d\`: "offset:") | $htpdate_error ms |
| \`htpdate -q -p 4\`, its answer ("Offset ... seconds": half the measured offset under a second) | $htpdate_answer ms |

Targets: at most 20 ms ($(verdict "$(awk -v e="$date_error" 'BEGIN { print e <= 20 }')")) and at most a tenth of
htpdate's: against the offset it measured ratio $date_ratio ($(verdict "$(awk -v a="$date_error" -v b="$htpdate_error" 'BEGIN { print a * 10 <= b }')")), against its
answer ratio $(ratio "$date_error" "$htpdate_answer") ($(verdict "$(awk -v a="$date_error" -v b="$htpdate_answer" 'BEGIN { print a * 10 <= b }')")).
htpdate -p 4 finds the second's change in steps of 1/16 s, so offsets that are multiples of 62.5 ms
(+0.25, +0.5 s here) it measures exactly; the others within a step.

## On a coarse clock

Windows 95, 98 and Me move their time once per timer tick, about every 55 ms; NT, 2000, XP and 2003
every 10 or 15.625 ms. The benchmarks cut the machine's clock down to such steps (natively the
real-time clock, under Wine \`GetSystemTimeAsFileTime\`), and the program interpolates them on a
fine counter (the monotonic clock; the performance counter); beside each figure the same run
reading the coarse clock as it is (\`--no-interpolation\`). The web server's clock as above, 3 runs
per offset (15 synchronisations); the NTP server on loopback, +250 ms, no path delay, 20 queries of
four exchanges (\`scripts/bench-sntp.sh\`). The machine's own clock (step 0) is fine: nothing to
interpolate, both columns are the run above. Median absolute error of the offset measured:

| | step | interpolated | without interpolation | target | |
|---|---:|---:|---:|---|---|
| web server's clock | 0 ms | $date_error ms | $date_error ms | | |
| web server's clock, under Wine | 0 ms | $date_error_wine ms | $date_error_wine ms | | |
$(for tick in "${coarse_ticks[@]}"; do coarse_row "web server's clock" "$tick" httpdate tavrel 5; done)
$(for tick in "${coarse_ticks[@]}"; do coarse_row "web server's clock, under Wine" "$tick" httpdate wine 5; done)
| NTP server | 0 ms | $(field_of tavrel "$work/sntp") ms | $(field_of tavrel "$work/sntp") ms | at most 2 ms | $(verdict "$(awk -v e="$(field_of tavrel "$work/sntp")" 'BEGIN { print e <= 2 }')") |
| NTP server, under Wine | 0 ms | $(field_of wine "$work/sntp") ms | $(field_of wine "$work/sntp") ms | at most 2 ms | $(verdict "$(awk -v e="$(field_of wine "$work/sntp")" 'BEGIN { print e != "-" && e <= 2 }')") |
$(for tick in "${coarse_ticks[@]}"; do coarse_row "NTP server" "$tick" sntp tavrel 2; done)
$(for tick in "${coarse_ticks[@]}"; do coarse_row "NTP server, under Wine" "$tick" sntp wine 2; done)

The web server's figure keeps about half the server's 10 ms latency even on a fine clock (the server
writes its Date when the answer leaves, not in the middle of the round trip), and a busy machine adds
its own delays: the figures move by a millisecond or two from run to run.

## One timer tick

No synchronisation due (\`scripts/bench-tick.sh\`, 10,000 ticks): median $(awk -v n="$tick_native" 'BEGIN { printf "%.4f", n / 1e6 }') ms natively
(in-memory window), $(awk -v n="${tick_wine:-0}" 'BEGIN { printf "%.4f", n / 1e6 }') ms under Wine (the real window: its labels set).
Split by what the tick does: natively $tick_native_split; under Wine $tick_wine_split.
Target under 0.1 ms for both kinds of tick: $(verdict "$(awk -v a="${tick_native_slower:-0}" -v b="${tick_wine_slower:-999999}" 'BEGIN { print a < 100000 && b < 100000 }')").
A tick that changes the clock text stores the label's text and marks it for painting: two requests
to Wine's server, which take $(awk -v n="${tick_wine_request:-0}" 'BEGIN { printf "%.4f", n / 1e6 }') ms each on this machine (the same benchmark).
The labels paint afterwards, when the window system is idle, as every window does: under Wine that
takes $(awk -v n="${tick_wine_paint:-0}" 'BEGIN { printf "%.4f", n / 1e6 }') ms after a tick that changed the clock text (not part of the tick).

## Memory and objects

Ten seconds after start (\`tests/e2e/figures_wine.py memory\`), and at the start and the end of the
soak (\`scripts/soak.sh\`: ten minutes with the periodic synchronisation set to 0.01 hours, the voice
on and the window sent to the notification area and back every minute). Wine's \`GetGuiResources\` and handle
count answer 0, so the Unix process's descriptors and private pages stand beside them.

| figure | after start | soak start | soak end |
|---|---:|---:|---:|
| working set | $(kib "$(value_of start-workingset "$work/memory")") | $(soak_row workingset | awk -F' [|] ' '{ printf "%s | %s", ($1 == "-" ? "-" : sprintf("%.0f KiB", $1 / 1024)), ($2 == "-" ? "-" : sprintf("%.0f KiB", $2 / 1024)) }') |
| private bytes (Unix private pages) | $(value_of start-private-kib "$work/memory") KiB | $(soak_row private-kib | sed 's/\([0-9]\+\)/\1 KiB/g') |
| resident (VmRSS) | $(value_of start-vmrss-kib "$work/memory") KiB | $(soak_row vmrss-kib | sed 's/\([0-9]\+\)/\1 KiB/g') |
| Unix descriptors | $(value_of start-unix-fds "$work/memory") | $(soak_row unix-fds) |
| GDI objects | $(value_of start-gdi "$work/memory") | $(soak_row gdi) |
| USER objects | $(value_of start-user "$work/memory") | $(soak_row user) |
| handles | $(value_of start-handles "$work/memory") | $(soak_row handles) |

EOF
  if [ -f "$soak_file" ]; then
    echo "Soak: $(grep -h '^minutes ' "$soak_file" || true); $(grep -h '^error-log lines' "$soak_file" || true); $(grep -h '^growth:' "$soak_file" || true)"
    echo "(from \`$(realpath --relative-to="$PWD" "$soak_file")\`, $(date -u -r "$soak_file" +%Y-%m-%d))."
    echo
    echo "The private pages at the start and after each minute (KiB):" \
      "$(sed -n "s/^\(start\|minute [0-9]*\):.*'private-kib': \([0-9]*\).*/\2/p" "$soak_file" | paste -sd, | sed 's/,/, /g')."
  else
    echo "No soak output yet: run \`scripts/soak.sh\` or \`scripts/figures.sh --soak\`."
  fi
} > "$out"
echo "figures: wrote $out"
