#!/usr/bin/env bash
# Builds every preset and runs every test: the native unit tests on the
# in-memory platform, then under Wine on a virtual display the Windows
# tests of platform/win32 and the end-to-end tests of A_Tavrel.exe, the
# shipped 32-bit program and its installer (the very files release.sh
# packs: the same preset and build folder).
#
# Where the kernel cannot execute 32-bit programs (scripts/runs-i386.sh),
# Wine cannot run the shipped build directly. There the x86_64 build of the
# same sources runs under wine64 first (quick feedback), and then the 32-bit
# build's Wine tests run in an emulated 32-bit machine (scripts/vm32), whose
# image is built once per recipe, in the background while the host builds.
# Prints each stage's time at the end; exits non-zero when a build or any
# test fails.
set -euo pipefail
cd "$(dirname "$0")/.."

# Two cores: two compile jobs keep the machine responsive.
jobs=2
# How many times longer the Wine tests may wait in the emulated machine,
# which runs them about five times slower than the host (more on a machine
# busy with other work: TAVREL_VM32_WAIT_SCALE).
vm32_wait_scale=${TAVREL_VM32_WAIT_SCALE:-5}
status=0
started=$(date +%s)
summary=()
# Every ctest run's closing line, for the count at the end.
counts=build/test-counts.log
mkdir -p build
: >"$counts"

# stage NAME FUNCTION: runs one stage in a subshell (set -e holds there) and
# notes its time. A failed build stage ends the run; a failed test stage
# fails it, and the other stages still run.
stage() {
  local name=$1 function=$2 begin=$SECONDS code=0
  echo "=== test.sh: $name"
  set +e
  (set -e; "$function")
  code=$?
  set -e
  summary+=("$(printf '%6d s  %-44s %s' $((SECONDS - begin)) "$name" "$([ $code -eq 0 ] && echo ok || echo FAILED)")")
  if [ $code -ne 0 ]; then
    status=1
    if [[ $function == build_* ]]; then finish; fi
  fi
}

finish() {
  stop_image_build
  echo "=== test.sh: stage times"
  printf '%s\n' "${summary[@]}"
  awk '/tests passed, [0-9]+ tests? failed out of/ { failed += $4; total += $NF }
       END { printf "test.sh: %d passed, %d failed\n", total - failed, failed }' "$counts"
  echo "test.sh: finished in $(( $(date +%s) - started )) s with status $status"
  exit "$status"
}

# counted COMMAND...: a command that runs ctest, whose closing line is
# noted for the count at the end.
counted() {
  local code=0
  "$@" | tee build/ctest-output.log || code=$?
  grep -a "tests passed, .* failed out of" build/ctest-output.log >>"$counts" || true
  return $code
}

# A virtual display for the host's Wine tests, unless one is given.
with_display() {
  local xvfb_pid="" n=90 code=0
  if [ -z "${DISPLAY:-}" ]; then
    while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp </dev/null >"build/xvfb-$n.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    export DISPLAY=":$n"
  fi
  "$@" || code=$?
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  return $code
}

build_native() {
  cmake --preset host -DTAVREL_WERROR=ON
  cmake --build --preset host -j "$jobs"
}
test_native() { counted ctest --preset host -j "$jobs"; }

# The runtime libraries the shipped program links, rebuilt for the 486
# (about ten minutes once per machine, then cached outside the tree).
build_runtime() { scripts/build-runtime.sh; }

# The 32-bit build runs under Debian's own wine, here or in the guest: never
# under the 64-bit stand-in that wine-choice.sh may put first on PATH.
build_win32() {
  cmake --preset win32 -DTAVREL_WERROR=ON -DWINE_PROGRAM=/usr/bin/wine -DTAVREL_WAIT_SCALE="$win32_wait_scale"
  cmake --build --preset win32 -j "$jobs"
}
# The checks of the shipped files that need no Wine (imports, size).
test_win32_files() { counted ctest --preset win32 -LE wine; }
# The Wine tests run one after the other: they share one prefix and display.
test_win32_wine() { with_display counted ctest --preset win32 -L wine; }

build_win64() {
  cmake --preset win64 -DTAVREL_WERROR=ON -DWINE_PROGRAM="$PWD/scripts/wine64/wine"
  cmake --build --preset win64 -j "$jobs"
}
test_win64_wine() {
  export PATH="$PWD/scripts/wine64:$PATH"
  with_display counted ctest --preset win64
}

# The guest sees the project folder at the same path; its Wine prefix and a
# copy of the build folder live on the guest's own disk (local-copy.sh), not
# its /tmp, whose tmpfs keeps no extended attributes.
# Its output, the Wine logs and the screenshots land in build/win32 as on
# the host.
test_win32_in_vm32() {
  sha256sum build/win32/A_Tavrel.exe build/win32/release/*-setup.exe
  counted scripts/vm32/run.sh --timeout 3300 --env TAVREL_WAIT_SCALE="$vm32_wait_scale" \
    --env TAVREL_LOCAL_PREFIX=/var/tmp/tavrel-wineprefix -- \
    scripts/vm32/local-copy.sh build/win32 ctest --preset win32 -L wine
}

# The guest's image is built (or found in the cache) in a session of its
# own while the host builds and tests: it is mostly downloading and
# unpacking. The wait for it runs in this shell, whose child it is.
image_pid=""
image_log=build/vm32-image.log
start_image_build() {
  mkdir -p build
  setsid scripts/vm32/image.sh >"$image_log" 2>&1 </dev/null &
  image_pid=$!
  # A cached image is found, and too little free disk refused, at once:
  # the latter stops the run here rather than after the host's stages.
  for _ in 1 2 3 4 5 6; do
    if ! kill -0 "$image_pid" 2>/dev/null; then wait_for_image; return; fi
    sleep 0.5
  done
}
wait_for_image() {
  local begin=$SECONDS code=0 made
  if [ -z "$image_pid" ]; then return; fi
  echo "=== test.sh: the 32-bit guest's image"
  wait "$image_pid" || code=$?
  image_pid=""
  cat "$image_log"
  made=$(sed -n 's/^vm32: image ready .*(\([0-9]*\) s)$/built in \1 s in the background/p' "$image_log")
  if [ $code -ne 0 ]; then made="FAILED (see $image_log)"; fi
  summary+=("$(printf '%6d s  %-44s %s' $((SECONDS - begin)) "waiting for the guest's image" "${made:-cached}")")
  if [ $code -ne 0 ]; then
    status=1
    finish
  fi
}
stop_image_build() {
  if [ -n "$image_pid" ]; then kill -TERM -- "-$image_pid" 2>/dev/null || true; fi
}

build_packages() { scripts/install-deps.sh; }

stage "packages (install-deps.sh)" build_packages
if scripts/runs-i386.sh; then
  win32_wait_scale=1
  stage "native build" build_native
  stage "native tests" test_native
  stage "486 runtime (build-runtime.sh)" build_runtime
  stage "win32 build" build_win32
  stage "win32 checks of the shipped files" test_win32_files
  stage "win32 Wine tests" test_win32_wine
else
  echo "test.sh: this kernel cannot execute 32-bit programs; the 32-bit build's Wine tests run in an emulated" \
       "32-bit machine (scripts/vm32), after the 64-bit build's on this host"
  win32_wait_scale=$vm32_wait_scale
  start_image_build
  stage "native build" build_native
  stage "native tests" test_native
  stage "486 runtime (build-runtime.sh)" build_runtime
  stage "win32 build" build_win32
  stage "win32 checks of the shipped files" test_win32_files
  stage "win64 build" build_win64
  stage "win64 Wine tests on this host" test_win64_wine
  wait_for_image
  stage "win32 Wine tests in the 32-bit guest" test_win32_in_vm32
fi
finish
