# shellcheck shell=bash
# shellcheck disable=SC2034 # the ZS_* places are used by the scenarios
# Helpers for the end-to-end scenarios: a private X desktop (Xvfb + openbox),
# starting the program, finding and measuring its window, driving the mouse,
# screenshots and pixel checks, the clipboard, and pixel-exact image
# comparison. Sourced by e2e/run-scenario.sh; every helper that waits does so
# by polling a condition with a bounded timeout.
#
# All temporary files live in $E2E_TMP, which e2e_cleanup removes.

E2E_LIB_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=e2e/cups.sh
source "$E2E_LIB_DIR/cups.sh"
# shellcheck source=e2e/wayland.sh
source "$E2E_LIB_DIR/wayland.sh"
# shellcheck source=e2e/desktops.sh
source "$E2E_LIB_DIR/desktops.sh"
# shellcheck source=e2e/main_window.sh
source "$E2E_LIB_DIR/main_window.sh"

# ImageMagick by absolute path: another `convert` may come first in PATH.
IM_CONVERT=/usr/bin/convert
IM_COMPARE=/usr/bin/compare
IM_IMPORT=/usr/bin/import
IM_DISPLAY=/usr/bin/display
IM_IDENTIFY=/usr/bin/identify

# The desktop e2e_start_desktop makes; a scenario may set these at its top
# level (run-scenario.sh reads the scenario before starting the desktop).
E2E_SCREEN_W=${E2E_SCREEN_W:-1920}
E2E_SCREEN_H=${E2E_SCREEN_H:-1080}
E2E_SCREEN_DEPTH=${E2E_SCREEN_DEPTH:-24}
E2E_WM=${E2E_WM:-openbox} # openbox, or none
E2E_WINDOW_TITLE='Zentrim Screen'

E2E_TMP=${E2E_TMP:-}
XVFB_PID=
OPENBOX_PID=
APP_PID=
APP_WIN=
APP_STATUS=
E2E_EXTRA_PIDS=() # helpers started by the scenario (stopped by e2e_cleanup)

# --- messages and assertions -------------------------------------------------

e2e_log() { printf '[e2e %s] %s\n' "$(date +%H:%M:%S.%3N)" "$*" >&2; }

# fail REASON...: ends the scenario; run-scenario.sh prints the reason. Works
# from subshells too ($(...)): the first reason is kept in $E2E_TMP/failure.
fail() {
  e2e_record_failure "$*"
  exit 1
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

# --- private desktop -------------------------------------------------------------

e2e_make_tmp() {
  [[ -n $E2E_TMP ]] && return 0
  E2E_TMP=$(mktemp -d "${TMPDIR:-/tmp}/zentrim-e2e.XXXXXX")
}

_wm_running() {
  local check name
  check=$(xprop -root -notype _NET_SUPPORTING_WM_CHECK 2>/dev/null) || return 1
  [[ $check =~ (0x[0-9a-fA-F]+) ]] || return 1
  name=$(xprop -id "${BASH_REMATCH[1]}" -notype _NET_WM_NAME 2>/dev/null) || return 1
  [[ $name == *Openbox* ]]
}

# e2e_start_desktop: Xvfb of E2E_SCREEN_W x E2E_SCREEN_H x E2E_SCREEN_DEPTH
# (1920x1080x24) on a free display (exports DISPLAY), then openbox with the
# private configuration in e2e/openbox-rc.xml unless E2E_WM=none.
e2e_start_desktop() {
  e2e_make_tmp
  local fdfile=$E2E_TMP/display-number
  : >"$fdfile"
  # -displayfd makes the server pick a free display and write its number;
  # -noreset keeps the root background when the last client disconnects.
  Xvfb -displayfd 3 -screen 0 "${E2E_SCREEN_W}x${E2E_SCREEN_H}x${E2E_SCREEN_DEPTH}" -nolisten tcp -noreset \
    3>"$fdfile" >"$E2E_TMP/xvfb.log" 2>&1 &
  XVFB_PID=$!
  wait_until 10 grep -q '^[0-9][0-9]*$' "$fdfile" ||
    fail "Xvfb did not report a display number: $(tail -n 5 "$E2E_TMP/xvfb.log")"
  DISPLAY=:$(head -n 1 "$fdfile")
  export DISPLAY
  wait_for 10 "X server on $DISPLAY" xdpyinfo >/dev/null 2>&1
  # An X11 desktop, also when the tests run inside a Wayland session (there
  # the program would copy the screen through the session's portal).
  unset WAYLAND_DISPLAY
  export XDG_SESSION_TYPE=x11
  if [[ $E2E_WM == none ]]; then
    e2e_log "desktop ready on $DISPLAY (Xvfb $XVFB_PID, no window manager)"
    return 0
  fi

  # openbox reads its menu and theme through XDG paths; point the user part
  # at an empty directory so no personal configuration takes part.
  mkdir -p "$E2E_TMP/wm-config"
  XDG_CONFIG_HOME=$E2E_TMP/wm-config openbox --sm-disable \
    --config-file "$E2E_LIB_DIR/openbox-rc.xml" >"$E2E_TMP/openbox.log" 2>&1 &
  OPENBOX_PID=$!
  wait_until 10 _wm_running ||
    fail "openbox did not take over the screen: $(tail -n 5 "$E2E_TMP/openbox.log")"
  e2e_log "desktop ready on $DISPLAY (Xvfb $XVFB_PID, openbox $OPENBOX_PID)"
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
# Wayland one) and removes $E2E_TMP.
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
  wl_stop_desktop
  _stop_pid "$OPENBOX_PID"
  _stop_pid "$XVFB_PID"
  APP_PID='' OPENBOX_PID='' XVFB_PID=''
  cups_stop # only if a scenario started the scheduler itself
  if [[ -n $E2E_TMP && -d $E2E_TMP ]]; then
    if [[ ${E2E_KEEP_TMP:-0} == 1 ]]; then
      e2e_log "kept $E2E_TMP"
    else
      rm -rf "$E2E_TMP"
    fi
  fi
}

# --- the known root-window picture -------------------------------------------------

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
# a screenshot of the root window shows exactly it.
e2e_set_background() {
  local pattern
  pattern=$(e2e_pattern_file)
  # display(1) exits with 1 after setting the root background even when it
  # worked, so judge by the screenshot, not by its status.
  "$IM_DISPLAY" -window root "$pattern" >/dev/null 2>&1 || true
  wait_for 5 "the pattern to show on the root window" _root_shows_pattern "$pattern"
}

_root_shows_pattern() {
  screenshot "$E2E_TMP/root-check.png" && [[ $(images_identical "$1" "$E2E_TMP/root-check.png") == 0 ]]
}

# pattern_crop X Y W H OUT: the part of the pattern at X,Y of size W x H.
pattern_crop() {
  "$IM_CONVERT" "$(e2e_pattern_file)" -crop "${3}x${4}+${1}+${2}" +repage "PNG24:$5"
}

# --- the program ---------------------------------------------------------------------

# app_start [ARGS...]: starts $APP with the xcb platform and a private HOME,
# settings and runtime directory, output in $E2E_TMP/app.log.
app_start() {
  [[ -n ${APP:-} && -x $APP ]] || fail "program not found or not executable: '${APP:-}'"
  e2e_make_tmp
  mkdir -p "$E2E_TMP/home" "$E2E_TMP/runtime"
  chmod 700 "$E2E_TMP/runtime"
  HOME=$E2E_TMP/home XDG_RUNTIME_DIR=$E2E_TMP/runtime \
    XDG_CONFIG_HOME=$E2E_TMP/home/.config XDG_DATA_HOME=$E2E_TMP/home/.local/share \
    XDG_CACHE_HOME=$E2E_TMP/home/.cache \
    QT_QPA_PLATFORM=xcb "$APP" "$@" >"$E2E_TMP/app.log" 2>&1 &
  APP_PID=$!
  APP_STATUS=
  e2e_log "started $APP (pid $APP_PID)"
}

# app_sanitizer_report: prints the first line of a sanitizer report (address,
# undefined behaviour, leaks) in the program's output, nothing when there is
# none. Only a sanitized build writes them.
app_sanitizer_report() {
  [[ -n ${E2E_TMP:-} && -s $E2E_TMP/app.log ]] || return 0
  grep -m1 -E '^==[0-9]+==ERROR: |: runtime error: |^SUMMARY: [A-Za-z]+Sanitizer' \
    "$E2E_TMP/app.log" || true
}

app_running() { [[ -n $APP_PID ]] && ! _pid_gone "$APP_PID"; }

# app_window [TIMEOUT_S]: waits for the program's visible top-level window
# titled "Zentrim Screen", managed by the window manager (frame extents set),
# and sets APP_WIN. Call it directly, not in $(...), so APP_WIN stays set.
app_window() {
  local timeout=${1:-15} ids
  ids=$(timeout "$timeout" xdotool search --sync --all --onlyvisible --pid "$APP_PID" \
    --name "^${E2E_WINDOW_TITLE}\$" 2>/dev/null) || true
  APP_WIN=$(head -n 1 <<<"$ids")
  if [[ -z $APP_WIN ]]; then
    if ! app_running; then
      _reap_app
      fail "the program exited (status $APP_STATUS) before showing its window: $(tail -n 5 "$E2E_TMP/app.log")"
    fi
    fail "no visible window titled '$E2E_WINDOW_TITLE' within ${timeout}s"
  fi
  [[ $E2E_WM == none ]] ||
    wait_for 5 "the window manager to frame window $APP_WIN" _has_frame_extents "$APP_WIN"
  e2e_log "window $APP_WIN: client $(win_client_geometry "$APP_WIN"), frame extents $(win_frame_extents "$APP_WIN")"
}

_has_frame_extents() { xprop -id "$1" _NET_FRAME_EXTENTS 2>/dev/null | grep -q '= '; }

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

# --- window geometry and state ---------------------------------------------------------

# win_client_geometry WIN: "X Y W H" of the client area, X/Y relative to the
# root window.
win_client_geometry() {
  xwininfo -id "$1" | awk '
    /Absolute upper-left X:/ { x = $NF }
    /Absolute upper-left Y:/ { y = $NF }
    /^ *Width:/ { w = $NF }
    /^ *Height:/ { h = $NF }
    END { if (w == "") exit 1; print x, y, w, h }'
}

# win_frame_extents WIN: "LEFT RIGHT TOP BOTTOM" of the window manager's frame
# (no frame without a window manager).
win_frame_extents() {
  [[ $E2E_WM != none ]] || { echo 0 0 0 0; return 0; }
  local line
  line=$(xprop -id "$1" _NET_FRAME_EXTENTS 2>/dev/null) || return 1
  [[ $line =~ =\ *([0-9]+),\ *([0-9]+),\ *([0-9]+),\ *([0-9]+) ]] || return 1
  printf '%s %s %s %s\n' "${BASH_REMATCH[@]:1:4}"
}

# win_outer_geometry WIN: "X Y W H" of the window including its frame.
win_outer_geometry() {
  local cx cy cw ch l r t b
  read -r cx cy cw ch < <(win_client_geometry "$1") || return 1
  read -r l r t b < <(win_frame_extents "$1") || return 1
  printf '%s %s %s %s\n' $((cx - l)) $((cy - t)) $((cw + l + r)) $((ch + t + b))
}

# win_state WIN: the atoms of _NET_WM_STATE, one per line (nothing if unset).
win_state() {
  local line
  line=$(xprop -id "$1" -notype _NET_WM_STATE 2>/dev/null) || return 1
  [[ $line == *=* ]] || return 0
  tr ',' '\n' <<<"${line#*=}" | tr -d ' '
}

# win_has_state WIN ATOM (e.g. _NET_WM_STATE_ABOVE)
win_has_state() { win_state "$1" | grep -qx "$2"; }
win_lacks_state() { ! win_has_state "$1" "$2"; }

# win_map_state WIN: IsViewable, IsUnMapped or IsUnviewable.
win_map_state() { xwininfo -id "$1" 2>/dev/null | awk '/Map State:/ { print $NF }'; }

# win_exists WIN
win_exists() { xwininfo -id "$1" >/dev/null 2>&1; }

# --- mouse ------------------------------------------------------------------------------

# client_to_root WIN X Y: prints the root coordinates of client pixel X,Y.
client_to_root() {
  local cx cy cw ch
  read -r cx cy cw ch < <(win_client_geometry "$1") || fail "window $1 is gone"
  printf '%s %s\n' $((cx + $2)) $((cy + $3))
}

# pointer_to X Y: moves the pointer to root coordinates X,Y and returns once
# it is there. (xdotool's --sync waits for a movement, and so stalls for
# seconds when the pointer is already in place: skip the move then.)
pointer_to() {
  local here
  here=$(xdotool getmouselocation | awk '{ sub("x:", "", $1); sub("y:", "", $2); print $1, $2 }')
  [[ $here == "$1 $2" ]] || xdotool mousemove --sync "$1" "$2"
}

# click_at X Y [BUTTON]: clicks at root coordinates.
click_at() {
  pointer_to "$1" "$2"
  xdotool click "${3:-1}"
}

# click_client WIN X Y [BUTTON]: clicks at client pixel X,Y of WIN.
click_client() {
  local x y
  read -r x y < <(client_to_root "$1" "$2" "$3")
  click_at "$x" "$y" "${4:-1}"
}

# drag X0 Y0 X1 Y1 [BUTTON] [STEPS] [KEY]: presses BUTTON at X0,Y0 (root
# coordinates), moves to X1,Y1 in STEPS steps (each waits for the pointer to
# arrive) and releases. KEY (e.g. alt) is held down for the whole drag.
drag() {
  local x0=$1 y0=$2 x1=$3 y1=$4 button=${5:-1} steps=${6:-12} key=${7:-}
  pointer_to "$x0" "$y0"
  [[ -n $key ]] && xdotool keydown "$key"
  xdotool mousedown "$button"
  local i
  for ((i = 1; i <= steps; i++)); do
    pointer_to $((x0 + (x1 - x0) * i / steps)) $((y0 + (y1 - y0) * i / steps))
  done
  xdotool mouseup "$button"
  [[ -n $key ]] && xdotool keyup "$key"
  return 0
}

# drag_client WIN X0 Y0 X1 Y1 [BUTTON] [STEPS]: drag between client pixels.
drag_client() {
  local ax ay bx by
  read -r ax ay < <(client_to_root "$1" "$2" "$3")
  read -r bx by < <(client_to_root "$1" "$4" "$5")
  drag "$ax" "$ay" "$bx" "$by" "${6:-1}" "${7:-12}"
}

# --- screenshots and pixels ------------------------------------------------------------------

# screenshot FILE: the whole root window (everything on the screen).
screenshot() { "$IM_IMPORT" -silent -window root "$1"; }

# screenshot_region X Y W H FILE: part of the screen, root coordinates.
screenshot_region() {
  "$IM_IMPORT" -silent -window root -crop "${3}x${4}+${1}+${2}" +repage "$5"
}

# window_screenshot WIN FILE [frame]: the client area of WIN, or with
# "frame" the window including the window manager's frame.
window_screenshot() {
  local x y w h
  if [[ ${3:-} == frame ]]; then
    read -r x y w h < <(win_outer_geometry "$1")
  else
    read -r x y w h < <(win_client_geometry "$1")
  fi
  screenshot_region "$x" "$y" "$w" "$h" "$2"
}

# pixel FILE X Y: RRGGBB of one pixel of an image.
pixel() {
  "$IM_CONVERT" "$1" -crop "1x1+$2+$3" +repage -depth 8 -format '%[hex:p{0,0}]' info:- | cut -c1-6
}

# screen_pixel X Y: RRGGBB on the screen now, root coordinates.
screen_pixel() {
  "$IM_IMPORT" -silent -window root -crop "1x1+$1+$2" +repage -depth 8 \
    -format '%[hex:p{0,0}]' info:- | cut -c1-6
}

# client_pixel WIN X Y: RRGGBB of client pixel X,Y of WIN on the screen now.
client_pixel() {
  local x y
  read -r x y < <(client_to_root "$1" "$2" "$3")
  screen_pixel "$x" "$y"
}

# client_pixel_is WIN X Y RRGGBB / client_pixel_is_not ...: for wait_until.
client_pixel_is() { [[ $(client_pixel "$1" "$2" "$3") == "${4^^}" ]]; }
client_pixel_is_not() { [[ $(client_pixel "$1" "$2" "$3") != "${4^^}" ]]; }

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

# --- clipboard ----------------------------------------------------------------------------------

# clipboard_targets: the formats the clipboard owner offers, one per line.
clipboard_targets() { timeout 5 xclip -selection clipboard -t TARGETS -o 2>/dev/null; }

clipboard_has_target() { clipboard_targets | grep -qx "$1"; }

# clipboard_set_text TEXT: makes the clipboard hold TEXT (xclip keeps serving
# it in the background until another program takes the clipboard or the X
# server ends; its output is detached so it holds no test runner's pipes).
clipboard_set_text() {
  printf '%s' "$1" | xclip -selection clipboard -i >/dev/null 2>&1
}

# clipboard_png FILE: the clipboard's picture as PNG.
clipboard_png() { clipboard_get image/png "$1"; }

# clipboard_get TYPE FILE: the clipboard's contents in TYPE (non-empty).
clipboard_get() {
  timeout 5 xclip -selection clipboard -t "$1" -o >"$2" 2>/dev/null && [[ -s $2 ]]
}

# --- the program's processes ------------------------------------------------------------

# our_processes: the PIDs of the program and of its clipboard helper
# (beside it, zentrim-screen-clipboard) that run on this scenario's desktop,
# one per line: on X11 those with its DISPLAY; on Wayland the copies in the
# desktop's own folder (e2e/wayland.sh). Ended processes not yet reaped do
# not count.
our_processes() {
  local programs=() dir p ours
  [[ -z ${APP:-} ]] || programs+=("$APP" "${APP%/*}/zentrim-screen-clipboard")
  [[ -z ${WL_APP:-} ]] || programs+=("$WL_APP" "${WL_APP%/*}/zentrim-screen-clipboard")
  for dir in /proc/[0-9]*; do
    ours=
    for p in "${programs[@]}"; do
      # -ef compares the files themselves: no process started per entry.
      [[ $dir/exe -ef $p ]] && ours=1 && break
    done
    [[ -n $ours ]] || continue
    _pid_gone "${dir#/proc/}" && continue
    if [[ -z ${WL_APP:-} ]]; then
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
