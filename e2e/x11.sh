# shellcheck shell=bash
# shellcheck disable=SC2034 # APP_STATUS and the E2E_* settings: read by lib.sh and the scenarios
# The X11 desktop of the end-to-end scenarios: a private Xvfb with openbox,
# starting the program on it, finding and measuring its window (xdotool,
# xwininfo, xprop), driving the mouse, screenshots of the root window, and
# the clipboard (xclip). Sourced by e2e_use x11 (run-scenario.sh does so for
# every scenario that does not set E2E_DESKTOP=wayland); brings
# e2e/main_window.sh, the program's window on this desktop. Needs e2e/lib.sh.

# The desktop x11_start_desktop makes; a scenario may set these at its top
# level (with E2E_SCREEN_W and E2E_SCREEN_H of e2e/lib.sh).
E2E_SCREEN_DEPTH=${E2E_SCREEN_DEPTH:-24}
E2E_WM=${E2E_WM:-openbox} # openbox, or none
E2E_WINDOW_TITLE='Zentrim Screen'

XVFB_PID=
OPENBOX_PID=
APP_WIN=

e2e_use main_window

# --- the desktop -------------------------------------------------------------------

_wm_running() {
  local check name
  check=$(xprop -root -notype _NET_SUPPORTING_WM_CHECK 2>/dev/null) || return 1
  [[ $check =~ (0x[0-9a-fA-F]+) ]] || return 1
  name=$(xprop -id "${BASH_REMATCH[1]}" -notype _NET_WM_NAME 2>/dev/null) || return 1
  [[ $name == *Openbox* ]]
}

# x11_start_desktop: Xvfb of E2E_SCREEN_W x E2E_SCREEN_H x E2E_SCREEN_DEPTH
# (1920x1080x24) on a free display (exports DISPLAY), then openbox with the
# private configuration in e2e/openbox-rc.xml unless E2E_WM=none. Registers
# x11_stop_desktop and x11_report_failure.
x11_start_desktop() {
  e2e_make_tmp
  e2e_on_cleanup x11_stop_desktop
  e2e_on_failure x11_report_failure
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

x11_stop_desktop() {
  _stop_pid "$OPENBOX_PID"
  _stop_pid "$XVFB_PID"
  OPENBOX_PID='' XVFB_PID=''
}

# x11_report_failure: while the X server runs, a picture of the screen
# (final-screen.png) and the program's window's geometry and state
# (final-window.txt, also printed).
x11_report_failure() {
  [[ -n $XVFB_PID ]] && ! _pid_gone "$XVFB_PID" || return 0
  screenshot "$E2E_TMP/final-screen.png" 2>/dev/null || true
  if [[ -n $APP_WIN ]] && win_exists "$APP_WIN"; then
    {
      echo "window $APP_WIN"
      echo "client: $(win_client_geometry "$APP_WIN")"
      echo "frame extents: $(win_frame_extents "$APP_WIN")"
      echo "state: $(win_state "$APP_WIN" | tr '\n' ' ')"
      echo "map state: $(win_map_state "$APP_WIN")"
    } >"$E2E_TMP/final-window.txt" 2>&1
    cat "$E2E_TMP/final-window.txt"
  fi
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

# --- the program ---------------------------------------------------------------------

# x11_start_session_bus: a private D-Bus session bus for the scenario, given
# to every later start of the program (which keeps one program per session
# on it); stopped with the scenario. Without it the program has no session
# bus, whatever bus the tests themselves run in.
E2E_DBUS_ADDRESS=
x11_start_session_bus() {
  e2e_make_tmp
  local file=$E2E_TMP/dbus-address
  : >"$file"
  dbus-daemon --session --nofork --nopidfile --print-address=3 3>"$file" \
    >"$E2E_TMP/dbus.log" 2>&1 &
  E2E_EXTRA_PIDS+=("$!")
  wait_for 5 "the session bus's address" test -s "$file"
  E2E_DBUS_ADDRESS=$(head -n 1 "$file")
}

# _app_command [ARGS...]: sets APP_COMMAND to the command that starts $APP
# with the xcb platform, a private HOME, settings and runtime directory, and
# the scenario's session bus (none unless x11_start_session_bus made one).
APP_COMMAND=()
_app_command() {
  [[ -n ${APP:-} && -x $APP ]] || fail "program not found or not executable: '${APP:-}'"
  e2e_make_tmp
  mkdir -p "$E2E_TMP/home" "$E2E_TMP/runtime"
  chmod 700 "$E2E_TMP/runtime"
  local bus=(-u DBUS_SESSION_BUS_ADDRESS)
  [[ -z $E2E_DBUS_ADDRESS ]] || bus=("DBUS_SESSION_BUS_ADDRESS=$E2E_DBUS_ADDRESS")
  APP_COMMAND=(env "${bus[@]}" HOME="$E2E_TMP/home" XDG_RUNTIME_DIR="$E2E_TMP/runtime"
    XDG_CONFIG_HOME="$E2E_TMP/home/.config" XDG_DATA_HOME="$E2E_TMP/home/.local/share"
    XDG_CACHE_HOME="$E2E_TMP/home/.cache" QT_QPA_PLATFORM=xcb "$APP" "$@")
}

# app_exec [ARGS...]: runs $APP in the foreground as app_start starts it.
app_exec() {
  _app_command "$@"
  "${APP_COMMAND[@]}"
}

# app_start [ARGS...]: starts $APP in the background, output in
# $E2E_TMP/app.log; APP_PID is the program's. With APP_THROUGH_PIPE set, as
# `zentrim-screen 2>&1 | cat` in $E2E_TMP: then APP_PIPE_PID is cat's, which
# ends once nothing holds the pipe, and the program is not this shell's
# child (app_wait_exit sets no status).
app_start() {
  _app_command "$@"
  if [[ -n ${APP_THROUGH_PIPE:-} ]]; then
    rm -f "$E2E_TMP/app.pid"
    (cd "$E2E_TMP" && {
      "${APP_COMMAND[@]}" 2>&1 &
      echo $! >"$E2E_TMP/app.pid"
      wait
    } | cat >"$E2E_TMP/app.log") &
    APP_PIPE_PID=$!
    wait_until 5 test -s "$E2E_TMP/app.pid" || fail "the program did not start"
    APP_PID=$(<"$E2E_TMP/app.pid")
  else
    "${APP_COMMAND[@]}" >"$E2E_TMP/app.log" 2>&1 &
    APP_PID=$!
  fi
  APP_STATUS=
  e2e_log "started $APP (pid $APP_PID)"
}

# app_stop: ends the program started by app_start, if it still runs.
app_stop() {
  _stop_pid "$APP_PID"
  APP_PID='' APP_WIN=''
}

# app_window [TIMEOUT_S]: waits for the program's visible top-level window
# titled "Zentrim Screen", managed by the window manager (frame extents set),
# and sets APP_WIN. Call it directly, not in $(...), so APP_WIN stays set.
app_window() {
  local timeout=${1:-15} ids
  ids=$(timeout "$timeout" xdotool search --sync --all --onlyvisible --pid "$APP_PID" \
    --name "^${E2E_WINDOW_TITLE}\$" 2>/dev/null) || true
  APP_WIN=$(head -n 1 <<<"$ids")
  [[ -n $APP_WIN ]] || app_fail_no_window "no visible window titled '$E2E_WINDOW_TITLE' within ${timeout}s"
  [[ $E2E_WM == none ]] ||
    wait_for 5 "the window manager to frame window $APP_WIN" _has_frame_extents "$APP_WIN"
  e2e_log "window $APP_WIN: client $(win_client_geometry "$APP_WIN"), frame extents $(win_frame_extents "$APP_WIN")"
}

_has_frame_extents() { xprop -id "$1" _NET_FRAME_EXTENTS 2>/dev/null | grep -q '= '; }

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

# win_outer_is WIN X Y W H: the window including its frame is there, that
# large.
win_outer_is() {
  local x y w h
  read -r x y w h < <(win_outer_geometry "$1") || return 1
  [[ "$x $y $w $h" == "$2 $3 $4 $5" ]]
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

# clipboard_is_text TEXT: the clipboard holds TEXT.
clipboard_is_text() { [[ $(timeout 5 xclip -selection clipboard -o 2>/dev/null) == "$1" ]]; }

# clipboard_type_is TYPE EXPECTED: the clipboard's TYPE picture (saved as
# $E2E_TMP/clipboard.png for image/png, .bmp for image/bmp) has the pixels
# of the picture file EXPECTED.
clipboard_type_is() {
  local file=$E2E_TMP/clipboard.${1#image/}
  clipboard_get "$1" "$file" || return 1
  [[ $(images_identical "$2" "$file") == 0 ]]
}

# clipboard_is_pattern X Y W H [TYPE]: the clipboard's picture (image/png
# unless TYPE) is that part of the pattern ($E2E_TMP/expected.png).
clipboard_is_pattern() {
  pattern_crop "$1" "$2" "$3" "$4" "$E2E_TMP/expected.png"
  clipboard_type_is "${5:-image/png}" "$E2E_TMP/expected.png"
}

# clipboard_size_is W H: the clipboard's picture, saved as
# $E2E_TMP/clipboard.png, is W x H pixels.
clipboard_size_is() {
  clipboard_png "$E2E_TMP/clipboard.png" && [[ $(image_size "$E2E_TMP/clipboard.png") == "$1 $2" ]]
}
