# shellcheck shell=bash
# shellcheck disable=SC2034 # IM_*, APP_STATUS: used by the other parts
# The core of the end-to-end library, whatever the desktop: messages and
# assertions, waiting, the temporary folder, the known pattern and pixel
# comparison of image files, the program's process, and the clean-up that
# each other part hooks into. Sourced by e2e/run-scenario.sh; every helper
# that waits does so by polling a condition with a bounded timeout.
#
# The other parts, each sourced once with e2e_use NAME:
#   x11       the X11 desktop (Xvfb + openbox), xdotool, xprop, xclip,
#             screenshots; it brings main_window.sh (the program's window)
#   wayland   the Wayland desktop (headless sway, the desktop portal)
#   kwin      the KDE Plasma desktop (headless KWin), on top of wayland
#   gnome     the GNOME desktop (headless GNOME Shell), on top of wayland
#   desktops  other X11 desktops for the desktop_* scenarios
#   printing  a CUPS PDF queue
# run-scenario.sh sources the desktop named by E2E_DESKTOP (x11 by default,
# wayland, kwin or gnome) after reading the scenario; a scenario that prints says
# `e2e_use printing` at its top level.
#
# A part that starts something registers how to stop it (e2e_on_cleanup) and
# what to save when the scenario fails (e2e_on_failure); e2e_cleanup runs the
# clean-ups, last registered first.
#
# All temporary files live in $E2E_TMP, which e2e_cleanup removes.

E2E_LIB_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# ImageMagick by absolute path: another `convert` may come first in PATH.
IM_CONVERT=/usr/bin/convert
IM_COMPARE=/usr/bin/compare
IM_IMPORT=/usr/bin/import
IM_DISPLAY=/usr/bin/display
IM_IDENTIFY=/usr/bin/identify

# The screen the desktop has and the pattern covers; a scenario may set these
# at its top level (run-scenario.sh reads the scenario before starting the
# desktop).
E2E_SCREEN_W=${E2E_SCREEN_W:-1920}
E2E_SCREEN_H=${E2E_SCREEN_H:-1080}

# Made by e2e_make_tmp, never taken from the environment: e2e_cleanup
# deletes it (and as root the Wayland desktop opens it to its user).
E2E_TMP=
APP_PID=
APP_STATUS=
E2E_EXTRA_PIDS=()       # helpers started by the scenario (stopped by e2e_cleanup)
E2E_PROGRAM_COPIES=()   # copies of the program a desktop runs (our_processes)
E2E_CLEANUPS=()         # functions e2e_cleanup runs, last registered first
E2E_FAILURE_REPORTS=()  # functions run-scenario.sh runs when a scenario fails
E2E_USED=()             # the parts e2e_use has sourced

# e2e_use PART...: sources e2e/PART.sh, once each.
e2e_use() {
  local part
  for part; do
    [[ " ${E2E_USED[*]} " != *" $part "* ]] || continue
    [[ -f $E2E_LIB_DIR/$part.sh ]] || fail "the e2e library has no part '$part'"
    E2E_USED+=("$part")
    # shellcheck source=/dev/null
    source "$E2E_LIB_DIR/$part.sh"
  done
}

# e2e_on_cleanup FUNC / e2e_on_failure FUNC: registers FUNC (once) to be run
# by e2e_cleanup / by run-scenario.sh's failure report, which then copies
# what FUNC left in $E2E_TMP (*.png, *.log, *.txt, *.bmp) to the artifacts.
# Call them directly, not in $(...), so the registration stays.
e2e_on_cleanup() {
  [[ " ${E2E_CLEANUPS[*]} " == *" $1 "* ]] || E2E_CLEANUPS+=("$1")
}
e2e_on_failure() {
  [[ " ${E2E_FAILURE_REPORTS[*]} " == *" $1 "* ]] || E2E_FAILURE_REPORTS+=("$1")
}

# e2e_run_cleanups: runs the registered clean-ups, last registered first,
# each once; one that fails does not keep the others from running.
e2e_run_cleanups() {
  local i
  for ((i = ${#E2E_CLEANUPS[@]} - 1; i >= 0; i--)); do
    "${E2E_CLEANUPS[i]}" || e2e_log "clean-up ${E2E_CLEANUPS[i]} failed"
  done
  E2E_CLEANUPS=()
}

# e2e_report_failure: runs the registered failure reports.
e2e_report_failure() {
  local report
  for report in "${E2E_FAILURE_REPORTS[@]}"; do
    "$report" || true
  done
}

# --- messages and assertions -------------------------------------------------

e2e_log() { printf '[e2e %s] %s\n' "$(date +%H:%M:%S.%3N)" "$*" >&2; }

# fail REASON...: ends the scenario; run-scenario.sh prints the reason. Works
# from subshells too ($(...)): the first reason is kept in $E2E_TMP/failure.
fail() {
  e2e_record_failure "$*"
  exit 1
}

# skip REASON: ends the scenario as skipped (ctest shows it as not run, with
# REASON): only for a machine that cannot host the scenario's desktop at
# all, never for something the program does.
E2E_SKIP_REASON=
skip() {
  E2E_SKIP_REASON=$*
  exit 77
}

e2e_record_failure() {
  if [[ -n $E2E_TMP && -d $E2E_TMP ]]; then
    [[ -s $E2E_TMP/failure ]] || printf '%s\n' "$*" >"$E2E_TMP/failure"
  else
    printf 'FAIL: %s\n' "$*" >&2
  fi
}

# e2e_failure_reason: the first recorded reason, if any.
e2e_failure_reason() { [[ -s $E2E_TMP/failure ]] && head -n 1 "$E2E_TMP/failure"; }

# assert_eq EXPECTED ACTUAL WHAT
assert_eq() {
  [[ $1 == "$2" ]] || fail "$3: expected '$1', got '$2'"
}

# assert_near EXPECTED ACTUAL TOLERANCE WHAT (integers)
assert_near() {
  local d=$(($2 - $1))
  ((d < 0)) && d=$((-d))
  ((d <= $3)) || fail "$4: expected $1 (±$3), got $2"
}

# --- waiting -------------------------------------------------------------------

# wait_until TIMEOUT_S CMD...: runs CMD every 50 ms until it succeeds (0) or
# TIMEOUT_S seconds (may be fractional) have passed (1).
wait_until() {
  local timeout=$1
  shift
  local deadline # milliseconds; awk only parses the (maybe fractional) seconds
  deadline=$(($(date +%s%3N) + $(awk -v t="$timeout" 'BEGIN { printf "%.0f", t * 1000 }')))
  while true; do
    if "$@"; then return 0; fi
    (($(date +%s%3N) >= deadline)) && return 1
    sleep 0.05
  done
}

# wait_for TIMEOUT_S WHAT CMD...: like wait_until, but fails the scenario with
# "timed out after Ns waiting for WHAT".
wait_for() {
  local timeout=$1 what=$2
  shift 2
  wait_until "$timeout" "$@" || fail "timed out after ${timeout}s waiting for $what"
}

# --- the temporary folder and stopping -----------------------------------------

e2e_make_tmp() {
  [[ -n $E2E_TMP ]] && return 0
  E2E_TMP=$(mktemp -d "${TMPDIR:-/tmp}/zentrim-e2e.XXXXXX")
}

# _stop_pid PID: TERM, wait up to 3 s, then KILL.
_stop_pid() {
  local pid=$1
  [[ -n $pid ]] || return 0
  kill -0 "$pid" 2>/dev/null || return 0
  kill -TERM "$pid" 2>/dev/null || true
  if ! wait_until 3 _pid_gone "$pid"; then
    kill -KILL "$pid" 2>/dev/null || true
  fi
  wait "$pid" 2>/dev/null || true
}

# _pid_gone PID: true once PID has ended, including as a not yet reaped child.
_pid_gone() {
  local stat
  stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 0
  stat=${stat##*) }
  [[ ${stat%% *} == Z ]]
}

# e2e_cleanup: stops the program, the desktop (openbox and Xvfb, or the

# e2e_cleanup: stops the helpers the scenario started, the program and the
# clipboard helper it left, runs the clean-ups the other parts registered
# (the desktop, the printer) and removes $E2E_TMP.
# Set E2E_KEEP_TMP=1 to keep the directory (screenshots, logs) for debugging.
e2e_cleanup() {
  local pid
  for pid in "${E2E_EXTRA_PIDS[@]}"; do _stop_pid "$pid"; done
  E2E_EXTRA_PIDS=()
  _stop_pid "$APP_PID"
  # A clipboard helper the program left behind (not our child).
  if [[ -n ${APP:-} ]]; then
    for pid in $(clipboard_helpers); do _stop_pid "$pid"; done
  fi
  APP_PID=''
  e2e_run_cleanups
  if [[ -n $E2E_TMP && -d $E2E_TMP ]]; then
    if [[ ${E2E_KEEP_TMP:-0} == 1 ]]; then
      e2e_log "kept $E2E_TMP"
    else
      rm -rf "$E2E_TMP"
    fi
  fi
}

# --- the known pattern and image files -----------------------------------------

# e2e_pattern_file: prints the path of a deterministic 1920x1080 picture
# (making it on first use): red rises left to right, green top to bottom,
# blue is a tiled noise (so a one-pixel shift changes most pixels), with a
# grid of 7 x 12 squares of distinct solid colours on top.
e2e_pattern_file() {
  e2e_make_tmp
  local file=$E2E_TMP/pattern.png
  if [[ ! -s $file ]]; then
    local w=$E2E_SCREEN_W h=$E2E_SCREEN_H
    "$IM_CONVERT" -size 97x89 xc:gray50 -seed 4242 +noise Random \
      -channel R -separate +channel -depth 8 "$E2E_TMP/noise.png"
    local draw="" idx=0 row col x y colour
    for row in 0 1 2 3 4 5 6; do
      for col in 0 1 2 3 4 5 6 7 8 9 10 11; do
        x=$((40 + col * 160)) y=$((40 + row * 150))
        printf -v colour '#%02X%02X%02X' $(((idx * 53) % 256)) $(((idx * 97 + 80) % 256)) $(((idx * 151 + 160) % 256))
        draw+="fill '$colour' rectangle $x,$y $((x + 79)),$((y + 79)) "
        idx=$((idx + 1))
      done
    done
    "$IM_CONVERT" -size "${w}x${h}" -define gradient:direction=East gradient:black-white \
      -size "${w}x${h}" gradient:black-white \
      \( -size "${w}x${h}" "tile:$E2E_TMP/noise.png" -colorspace gray \) \
      -colorspace gray -combine -colorspace sRGB -draw "$draw" \
      -depth 8 -type TrueColor "PNG24:$file.part"
    mv "$file.part" "$file"
  fi
  printf '%s\n' "$file"
}

# e2e_set_background: shows the pattern on the root window and checks that

# pattern_crop X Y W H OUT: the part of the pattern at X,Y of size W x H.
pattern_crop() {
  "$IM_CONVERT" "$(e2e_pattern_file)" -crop "${3}x${4}+${1}+${2}" +repage "PNG24:$5"
}

# pixel FILE X Y: RRGGBB of one pixel of an image.
pixel() {
  "$IM_CONVERT" "$1" -crop "1x1+$2+$3" +repage -depth 8 -format '%[hex:p{0,0}]' info:- | cut -c1-6
}


# image_size FILE: "W H"
image_size() { "$IM_IDENTIFY" -format '%w %h\n' "$1" | head -n 1; }

# images_identical A B: prints 0 and returns 0 when both pictures have the
# same size and the same colour in every pixel; otherwise prints the number
# of differing pixels (or "size WxH vs WxH") and returns 1.
images_identical() {
  local sa sb out rc=0
  sa=$(image_size "$1") || { echo "unreadable: $1"; return 1; }
  sb=$(image_size "$2") || { echo "unreadable: $2"; return 1; }
  if [[ $sa != "$sb" ]]; then
    echo "size ${sa/ /x} vs ${sb/ /x}"
    return 1
  fi
  out=$("$IM_COMPARE" -metric AE "$1" "$2" null: 2>&1) || rc=$?
  if ((rc > 1)); then
    echo "compare failed: $out"
    return 1
  fi
  printf '%s\n' "$out"
  [[ $out == 0 ]]
}

# file_is_pattern FILE X Y W H: FILE is that part of the pattern, pixel for
# pixel (the pattern's crop is left in $E2E_TMP/expected.png).
file_is_pattern() {
  [[ -s $1 ]] || return 1
  pattern_crop "$2" "$3" "$4" "$5" "$E2E_TMP/expected.png"
  [[ $(images_identical "$E2E_TMP/expected.png" "$1") == 0 ]]
}

# colours_close RRGGBB RRGGBB MAX: every channel differs by MAX at the most.
colours_close() {
  local i d
  for i in 0 2 4; do
    d=$((16#${1:i:2} - 16#${2:i:2}))
    ((d < 0)) && d=$((-d))
    ((d <= $3)) || return 1
  done
}

# assert_start_panel FILE: FILE, a picture of the program's client area in
# its start-up size, shows the white start panel (its corners) on the
# lavender viewport.
assert_start_panel() {
  local spot px py want
  for spot in "16 16 FFFFFF" "992 16 FFFFFF" "16 648 FFFFFF" "992 648 FFFFFF" "993 649 C0C0FF" "5 5 C0C0FF"; do
    read -r px py want <<<"$spot"
    assert_eq "$want" "$(pixel "$1" "$px" "$py")" "client pixel $px,$py"
  done
}

# --- the program's process ---------------------------------------------------------

# app_sanitizer_report: prints the first line of a sanitizer report (address,
# undefined behaviour, leaks) in the program's output, nothing when there is
# none. Only a sanitized build writes them.
app_sanitizer_report() {
  [[ -n ${E2E_TMP:-} && -s $E2E_TMP/app.log ]] || return 0
  grep -m1 -E '^==[0-9]+==ERROR: |: runtime error: |^SUMMARY: [A-Za-z]+Sanitizer' \
    "$E2E_TMP/app.log" || true
}

app_running() { [[ -n $APP_PID ]] && ! _pid_gone "$APP_PID"; }

# app_fail_no_window WHAT: a scenario waited in vain for the program's
# window: fails with the program's exit status and last output if it has
# ended, otherwise with WHAT.
app_fail_no_window() {
  if ! app_running; then
    _reap_app
    fail "the program exited (status $APP_STATUS) before showing its window: $(tail -n 5 "$E2E_TMP/app.log")"
  fi
  fail "$1"
}

# app_wait_exit TIMEOUT_S: waits for the program to end and sets APP_STATUS
# to its exit status (128+N when killed by signal N). Returns 1 if it is
# still running after TIMEOUT_S. Call it directly, not in $(...): only this
# shell can collect the status of its child.
app_wait_exit() {
  wait_until "$1" _pid_gone "$APP_PID" || return 1
  _reap_app
}

_reap_app() {
  [[ -z $APP_STATUS ]] || return 0
  local rc=0
  wait "$APP_PID" 2>/dev/null || rc=$?
  APP_STATUS=$rc
}

# app_expect_exit WHAT: the program ends within 5 s after WHAT (e.g.
# "clicking Exit") with status 0.
app_expect_exit() {
  app_wait_exit 5 || fail "still running 5 s after $1"
  assert_eq 0 "$APP_STATUS" "exit status"
}

# our_processes: the PIDs of the program and of its clipboard helper
# (beside it, zentrim-screen-clipboard) that belong to this scenario, one per
# line. A desktop that runs copies of them of its own (the Wayland one, from
# its folder) lists them in E2E_PROGRAM_COPIES, and then every process of
# those or of $APP counts; otherwise the processes of $APP count when they
# run with this scenario's DISPLAY. Ended processes not yet reaped do not
# count.
our_processes() {
  local programs=() dir p ours
  [[ -z ${APP:-} ]] || programs+=("$APP" "${APP%/*}/zentrim-screen-clipboard")
  programs+=("${E2E_PROGRAM_COPIES[@]}")
  for dir in /proc/[0-9]*; do
    ours=
    for p in "${programs[@]}"; do
      # -ef compares the files themselves: no process started per entry.
      [[ $dir/exe -ef $p ]] && ours=1 && break
    done
    [[ -n $ours ]] || continue
    _pid_gone "${dir#/proc/}" && continue
    if ((${#E2E_PROGRAM_COPIES[@]} == 0)); then
      grep -qxz "DISPLAY=${DISPLAY:-}" "$dir/environ" 2>/dev/null || continue
    fi
    printf '%s\n' "${dir#/proc/}"
  done
}


# clipboard_helpers: the PIDs of our clipboard helpers on this desktop.
clipboard_helpers() {
  local pid exe
  for pid in $(our_processes); do
    exe=$(readlink "/proc/$pid/exe" 2>/dev/null) || continue
    [[ ${exe% (deleted)} == */zentrim-screen-clipboard ]] && printf '%s\n' "$pid"
  done
  return 0
}

# helper_count: how many clipboard helpers of ours run on this display.
helper_count() { clipboard_helpers | grep -c . || true; }

no_process_of_ours() { [[ -z $(our_processes) ]]; }
