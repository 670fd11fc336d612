#!/usr/bin/env bash
# leftovers-check.sh E2E_BUILD_DIR: what the end-to-end tests leave on the
# machine when they are interrupted, run as the ctest test e2e.leftovers.
#
#  1. Ctrl+C half way: a ctest run of scenarios is interrupted with SIGINT,
#     sent to its whole process group as a terminal would, once the printing
#     scenario has its desktop, its CUPS queue and scheduler up, and again
#     once the Wayland scenario has sway and the desktop portal up.
#     Afterwards no process of the run is left, nor a mount under its
#     folders, and no CUPS queue it made.
#  2. A second run of the same scenarios then passes, with a stale E2E_TMP
#     and CUPSD_PID in its environment that name a folder and a process of
#     this script's: both are still there afterwards, also after the
#     printer library's cups_stop, which scripts/test.sh runs on exit.
#
# The runs' processes are told apart by a mark in their environment and by
# their temporary folder, which every desktop's environment names (the
# Wayland desktop's processes get a fresh environment, but one whose HOME
# and XDG_RUNTIME_DIR lie in it). Anything of theirs found left over is
# reported and then stopped, so that a failure leaves nothing behind either.
set -euo pipefail

E2E_BUILD=$(realpath "${1:?usage: $0 E2E_BUILD_DIR}")
PRINT_SCENARIO=e2e.files_print_pdf
WAYLAND_SCENARIO=e2e.wayland_capture_crop
QUEUE=zentrim-pdf-leftovers # a queue of these runs' own

WORK=$(mktemp -d "${TMPDIR:-/tmp}/zentrim-leftovers.XXXXXX")
MARK=ZENTRIM_LEFTOVERS_MARK=$RANDOM$RANDOM
DECOY_PID=
failures=0

problem() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
note() { printf '[leftovers %s] %s\n' "$(date +%H:%M:%S)" "$*" >&2; }

# ours: the PIDs of live processes of the runs, one per line. Read with
# builtins only: a scan forks nothing, so it stays quick on a busy machine.
ours() {
  local dir pid line word words
  for dir in /proc/[0-9]*; do
    pid=${dir#/proc/}
    [[ $pid != "$$" && $pid != "$BASHPID" ]] || continue
    read -r line 2>/dev/null <"$dir/stat" || continue
    line=${line##*) }
    [[ ${line%% *} != Z ]] || continue
    mapfile -d '' -t words 2>/dev/null <"$dir/environ" || continue
    for word in "${words[@]}"; do
      [[ $word != "$MARK" ]] || { echo "$pid" && continue 2; }
    done
    mapfile -d '' -t -O "${#words[@]}" words 2>/dev/null <"$dir/cmdline" || true
    [[ "${words[*]}" != *"$WORK/"* ]] || echo "$pid"
  done
  return 0
}

describe() { # PID...: one line each, its command
  local pid
  for pid; do
    printf '%s(%s) ' "$pid" "$(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | cut -c1-80)"
  done
}

our_mounts() { grep -F -e "$WORK/" -e zentrim-e2e-shm /proc/self/mountinfo || true; }

has_process() { # NAME: a process of the runs of that name (its first 15 characters)
  local pid comm
  for pid in $(ours); do
    read -r comm 2>/dev/null <"/proc/$pid/comm" || continue
    [[ $comm != "${1:0:15}" ]] || return 0
  done
  return 1
}

wait_until() { # TIMEOUT_S CMD...
  local end=$((SECONDS + $1))
  shift
  until "$@"; do
    ((SECONDS < end)) || return 1
    sleep 0.1
  done
}

# The queue, as the scheduler knows it, or in its configuration when it no
# longer runs.
queue_exists() {
  lpstat -p "$QUEUE" >/dev/null 2>&1 || grep -qsE "^<(Default)?Printer $QUEUE>" /etc/cups/printers.conf
}

# run_scenarios LOG [VAR=VALUE...]: the two scenarios through ctest, as
# scripts/test.sh runs them, in a process group (and session) of its own;
# sets RUN_PID. The build's test list is reached through a folder of this
# script's, so that ctest's own logs land there. A command started in the
# background ignores SIGINT, and so would everything it starts: env puts
# it back, as in a terminal's foreground.
run_scenarios() {
  local log=$1
  shift
  setsid env --default-signal=INT "$MARK" TMPDIR="$WORK/tmp" CUPS_PDF_QUEUE="$QUEUE" "$@" \
    ctest --test-dir "$WORK/ctest" --output-on-failure \
    -R "^(${PRINT_SCENARIO//./\\.}|${WAYLAND_SCENARIO//./\\.})\$" >"$log" 2>&1 &
  RUN_PID=$!
}

# interrupt_when WHAT READY: starts a run, waits until the command READY
# succeeds, sends SIGINT to the run's process group as Ctrl+C in a terminal
# would, and checks what is left once ctest has ended.
interrupt_when() {
  local what=$1
  run_scenarios "$WORK/interrupted-$what.log"
  wait_until 120 "$2" ||
    problem "$what: the scenario did not get as far as asked: $(tail -n 20 "$WORK/interrupted-$what.log")"
  note "$what: interrupting the run (Ctrl+C)"
  kill -INT -- "-$RUN_PID" 2>/dev/null || true
  wait_until 30 _run_ended || problem "$what: ctest still runs 30 s after Ctrl+C"
  wait "$RUN_PID" 2>/dev/null || true
  # What the scenarios' clean-up stops, it stops within a few seconds.
  local left
  wait_until 15 _nothing_left || true
  left=$(ours)
  # shellcheck disable=SC2086 # one PID per word
  [[ -z $left ]] || problem "$what: processes left after Ctrl+C: $(describe $left)"
  [[ -z $(our_mounts) ]] || problem "$what: mounts left after Ctrl+C: $(our_mounts)"
  ! queue_exists || problem "$what: the CUPS queue $QUEUE is left after Ctrl+C"
  clean_up_after_failure
}

_run_ended() { ! kill -0 "$RUN_PID" 2>/dev/null; }
_nothing_left() { [[ -z $(ours) ]]; }

# Whatever the runs left, stopped and removed (the checks above have
# reported it already).
clean_up_after_failure() {
  local left mount
  left=$(ours)
  # shellcheck disable=SC2086
  [[ -z $left ]] || kill -KILL $left 2>/dev/null || true
  while read -r mount; do
    [[ -z $mount ]] || umount -l "$mount" 2>/dev/null || true
  done < <(our_mounts | awk '{ print $5 }')
  if queue_exists && [[ -S /run/cups/cups.sock ]]; then lpadmin -x "$QUEUE" 2>/dev/null || true; fi
}

finish() {
  [[ -z $DECOY_PID ]] || kill "$DECOY_PID" 2>/dev/null || true
  clean_up_after_failure
  rm -rf "$WORK"
}
trap finish EXIT

mkdir -p "$WORK/tmp" "$WORK/ctest" "$WORK/decoy"
chmod 755 "$WORK" "$WORK/tmp"
printf 'subdirs("%s")\n' "$E2E_BUILD" >"$WORK/ctest/CTestTestfile.cmake"

# 1. Ctrl+C half way through each scenario: once the printing one has its
# desktop and its queue (and its scheduler, where none ran before), and once
# the Wayland one has sway, the session bus and the portal.
own_cupsd=0
lpstat -h /run/cups/cups.sock -r 2>/dev/null | grep -q 'is running' || own_cupsd=1
printing_up() {
  has_process Xvfb && has_process openbox && queue_exists && { ((!own_cupsd)) || has_process cupsd; }
}
wayland_up() { has_process sway && has_process dbus-daemon && has_process xdg-desktop-portal; }
interrupt_when printing printing_up
interrupt_when wayland wayland_up

# 2. The second run passes and spares what a stale environment names.
echo keep >"$WORK/decoy/file"
sleep 600 >/dev/null 2>&1 &
DECOY_PID=$!
run_scenarios "$WORK/second.log" E2E_TMP="$WORK/decoy" CUPSD_PID="$DECOY_PID"
wait "$RUN_PID" || problem "the run after the interrupted ones failed: $(tail -n 30 "$WORK/second.log")"
grep -E '(Passed|Failed|\*\*\*)' "$WORK/second.log" >&2 || true
[[ $(cat "$WORK/decoy/file" 2>/dev/null) == keep ]] ||
  problem "the folder a stale E2E_TMP named was deleted or changed"
# scripts/test.sh's way: the printer library sourced, cups_stop on exit.
CUPSD_PID=$DECOY_PID bash -c 'source "$1/printing.sh" && cups_stop' _ "$(dirname "$0")" 2>/dev/null ||
  problem "cups_stop failed"
kill -0 "$DECOY_PID" 2>/dev/null || problem "the process a stale CUPSD_PID named was stopped"
left=$(ours)
# shellcheck disable=SC2086
[[ -z $left ]] || problem "processes left after a finished run: $(describe $left)"
! queue_exists || problem "the CUPS queue $QUEUE is left after a finished run"

if ((failures > 0)); then
  echo "FAIL: $failures problem(s)"
  exit 1
fi
echo "PASS leftovers"
