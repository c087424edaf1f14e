#!/bin/sh
# The Wine environment of one test run: a throw-away prefix in the build
# folder, a Wine server kept alive for the whole run (every Wine start
# would otherwise pay for a server start), and an X display.
#
#   wine-env.sh setup        fresh prefix, persistent server, Xvfb if DISPLAY is unset
#   wine-env.sh run CMD...   CMD with the run's display
#   wine-env.sh cleanup      server and Xvfb stopped
#
# WINEPREFIX must be set. Everything Wine starts in the background inherits
# the output of the command that started it, so all of it goes to a log
# file: a pipe would stay open until those helpers exit.
set -eu
: "${WINEPREFIX:?WINEPREFIX must name the test prefix}"
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko install dialogs in a test prefix.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
state="$WINEPREFIX.display"
log="$WINEPREFIX.log"

use_display() {
  if [ -z "${DISPLAY:-}" ] && [ -f "$state" ]; then
    DISPLAY=$(cut -d' ' -f1 "$state")
    export DISPLAY
  fi
}

start_xvfb() {
  n=90
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp </dev/null >>"$log" 2>&1 &
  echo ":$n $!" >"$state"
  i=0
  while [ ! -e "/tmp/.X11-unix/X$n" ]; do
    i=$((i + 1))
    if [ "$i" -gt 100 ]; then echo "Xvfb :$n did not start (see $log)" >&2; exit 1; fi
    sleep 0.1
  done
  DISPLAY=":$n"
  export DISPLAY
}

case "${1:-}" in
  setup)
    wineserver -k >/dev/null 2>&1 || true
    if [ -f "$state" ]; then kill "$(cut -d' ' -f2 "$state")" 2>/dev/null || true; rm -f "$state"; fi
    rm -rf "$WINEPREFIX"
    : >"$log"
    if [ -z "${DISPLAY:-}" ]; then start_xvfb; fi
    mkdir -p "$WINEPREFIX"
    wineserver -p </dev/null >>"$log" 2>&1
    wineboot -i </dev/null >>"$log" 2>&1
    # Without a window manager on the display, Wine waits two seconds for
    # one at every hide of a managed window; unmanaged windows need none.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f </dev/null >>"$log" 2>&1
    "$(dirname "$0")/wine-fonts.sh"
    # Wine maps \\server\share to dosdevices/unc/server/share: a share of
    # the prefix's own for the tests of UNC paths.
    mkdir -p "$WINEPREFIX/dosdevices/unc/tavrelhost/share"
    echo "Wine prefix $WINEPREFIX ready on display $DISPLAY"
    ;;
  run)
    shift
    use_display
    exec "$@"
    ;;
  cleanup)
    wineserver -k >/dev/null 2>&1 || true
    if [ -f "$state" ]; then kill "$(cut -d' ' -f2 "$state")" 2>/dev/null || true; rm -f "$state"; fi
    echo "Wine server stopped"
    ;;
  *)
    echo "usage: $0 setup|run CMD...|cleanup" >&2
    exit 2
    ;;
esac
