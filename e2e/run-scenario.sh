#!/usr/bin/env bash
# run-scenario.sh SCENARIO [APP]
#
# Runs one end-to-end scenario on a private desktop: sources the library's
# core (e2e/lib.sh) and SCENARIO (a file defining a function `scenario`),
# then the desktop's part of the library and starts the desktop: Xvfb and
# openbox (e2e/x11.sh), or, when the file sets E2E_DESKTOP=wayland, headless
# sway (e2e/wayland.sh); runs the scenario and prints "PASS name" or
# "FAIL name: reason". Everything started is stopped and the temporary
# directory removed on the way out; after a failure each started desktop
# saves its screenshots and logs (its e2e_on_failure report), which are
# copied with the scenario's to ./e2e-artifacts/NAME/ (the working directory
# is the build's e2e folder under ctest).
#
# APP is the program under test (exported as $APP for the scenario); the
# harness's own check needs none.
# E2E_TIMEOUT (seconds, default 100) bounds the whole scenario, staying below
# ctest's own limit so that the cleanup still runs when something hangs.
set -Eeuo pipefail

if (($# < 1 || $# > 2)); then
  echo "usage: $0 SCENARIO [APP]" >&2
  exit 2
fi
SCENARIO=$(realpath "$1")
APP=${2:+$(realpath "$2")}
export APP
E2E_NAME=$(basename "$SCENARIO" .sh)
E2E_TIMEOUT=${E2E_TIMEOUT:-100}

# shellcheck source=e2e/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
e2e_make_tmp

# A command that fails outside a condition ends the scenario (set -e); its
# text becomes the reason unless fail() already recorded one.
_on_error() { # status line command
  e2e_record_failure "command failed with status $1 at line $2: $3"
}
trap '_on_error $? $LINENO "$BASH_COMMAND"' ERR
trap 'fail "scenario did not finish within ${E2E_TIMEOUT}s"' TERM
# Ctrl+C reaches every process of the test run's process group; the
# clean-up still runs, and stops what runs in sessions of its own.
trap 'fail "interrupted"' INT HUP

WATCHDOG_PID=
_finish() {
  local rc=$? reason=""
  trap - ERR
  # Nothing stops the clean-up half way: not another Ctrl+C, and not a test
  # runner that has gone (its pipes would raise SIGPIPE at the next message).
  trap '' INT HUP TERM PIPE
  set +e
  if [[ -n $WATCHDOG_PID ]]; then
    kill "$WATCHDOG_PID" 2>/dev/null || true
    wait "$WATCHDOG_PID" 2>/dev/null || true
  fi
  reason=$(e2e_failure_reason) || true
  if ((rc == 77)) && [[ -n $E2E_SKIP_REASON && -z $reason ]]; then
    e2e_cleanup
    echo "SKIP $E2E_NAME: $E2E_SKIP_REASON"
    exit 77
  fi
  local report=""
  if ((rc == 0)) && [[ -z $reason ]]; then
    # A report of a sanitized program fails the scenario even when all the
    # scenario looked at was right. The program is stopped first so that its
    # output is complete.
    _stop_pid "$APP_PID"
    report=$(app_sanitizer_report)
    [[ -z $report ]] || reason="the program's sanitizer reported: $report"
  else
    [[ -n $reason ]] || reason="exited with status $rc"
    report=$(app_sanitizer_report)
    [[ -z $report ]] || reason="$reason (the program's sanitizer reported: $report)"
  fi
  if ((rc == 0)) && [[ -z $reason ]]; then
    e2e_cleanup
    echo "PASS $E2E_NAME"
    exit 0
  fi
  e2e_report_failure
  if [[ -s $E2E_TMP/app.log ]]; then
    echo "--- last lines of the program's output ---"
    tail -n 20 "$E2E_TMP/app.log"
  fi
  local keep=$PWD/e2e-artifacts/$E2E_NAME
  if mkdir -p "$keep" 2>/dev/null; then
    find "$E2E_TMP" -maxdepth 1 -type f \( -name '*.png' -o -name '*.log' -o -name '*.txt' -o -name '*.bmp' \) \
      ! -name 'pattern.png' ! -name 'noise.png' -exec cp {} "$keep/" \; 2>/dev/null || true
    echo "screenshots and logs: $keep"
  fi
  e2e_cleanup
  echo "FAIL $E2E_NAME: $reason"
  exit 1
}
trap _finish EXIT

# Watchdog: sends TERM to this shell when the scenario takes too long. When
# it is itself stopped it takes its sleep along, and it holds none of the
# test runner's pipes, so nothing of it outlives the scenario.
(
  trap - ERR
  trap '[[ -n ${nap:-} ]] && kill "$nap" 2>/dev/null; exit 0' TERM
  sleep "$E2E_TIMEOUT" &
  nap=$!
  wait "$nap"
  kill -TERM $$ 2>/dev/null
) </dev/null >/dev/null 2>&1 &
WATCHDOG_PID=$!

# Read first: a scenario may choose its desktop (E2E_DESKTOP=wayland for the
# headless sway of e2e/wayland.sh, E2E_DESKTOP=kwin for KWin's of e2e/kwin.sh; on X11 E2E_SCREEN_*, E2E_WM) and source
# other parts of the library (e2e_use printing).
E2E_DESKTOP=x11
# shellcheck disable=SC1090
source "$SCENARIO"
declare -F scenario >/dev/null || fail "$SCENARIO defines no function 'scenario'"
case $E2E_DESKTOP in
  x11)
    e2e_use x11
    x11_start_desktop
    ;;
  wayland)
    e2e_use wayland
    wl_start_desktop "$E2E_SCREEN_W" "$E2E_SCREEN_H"
    ;;
  kwin)
    e2e_use kwin
    kwin_start_desktop "$E2E_SCREEN_W" "$E2E_SCREEN_H"
    ;;
  gnome)
    e2e_use gnome
    gn_start_desktop
    ;;
  *) fail "unknown E2E_DESKTOP '$E2E_DESKTOP'" ;;
esac
scenario
