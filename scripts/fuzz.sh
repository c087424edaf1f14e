#!/bin/sh
# Builds the libFuzzer targets with clang (build/fuzz) and runs each for the
# given number of seconds (default 60), starting from the shipped language
# files (and two NTP requests). Usage: scripts/fuzz.sh [seconds]
set -eu
seconds=${1:-60}
here=$(cd "$(dirname "$0")/.." && pwd)
build="$here/build/fuzz"

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DTAVREL_FUZZ=ON -DTAVREL_TESTS=OFF >/dev/null
cmake --build "$build"

status=0
for target in "$build"/tests/fuzz/*_fuzz; do
  name=$(basename "$target")
  corpus="$build/corpus/$name"
  mkdir -p "$corpus"
  cp "$here"/install/Common/language/*.lng "$corpus"/ 2>/dev/null || true
  # The NTP server's requests: a client's (version 4) and Windows XP's
  # symmetric active one (version 3), 48 bytes each.
  case $name in
    ntp_*)
      { printf '\043\000\006\354'; head -c 44 /dev/zero; } > "$corpus/client-v4"
      { printf '\331\000\012\354'; head -c 44 /dev/zero; } > "$corpus/symmetric-v3" ;;
  esac
  echo "== $name for ${seconds}s"
  (cd "$build" && "$target" -max_total_time="$seconds" -print_final_stats=1 "$corpus") || status=1
done
exit $status
