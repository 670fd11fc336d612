# shellcheck shell=bash
# shellcheck disable=SC2034 # the ZS_* places are used by the scenarios
# Helpers that know the program's main window on the X11 desktop: where its
# controls are, and the steps the scenarios share (start it ready for clicks,
# capture, select, load a file, answer a message, draw in the editor, exit,
# close). Sourced by e2e/x11.sh, whose helpers they use.

# Places in the main window, client pixels at its start-up size (1037 x 770).
ZS_CLIENT_W=1037
ZS_CLIENT_H=770
ZS_SHRINK_BUTTON=(784 733)
ZS_STAY_FRONT_BOX=(848 745)
ZS_EXIT_BUTTON=(980 733)
# In the compact window (the red bar at client 0,0).
ZS_COMPACT_CAPTURE_BUTTON=(36 20)
ZS_COMPACT_RESTORE_BUTTON=(84 20)
ZS_COMPACT_BAR_COLOUR=FF0000

# app_launch [ARGS...]: starts the program, waits for its main window and for
# the white start panel to be painted (client pixel 16,16), so that clicks
# reach a window that is ready for them. Sets APP_PID and APP_WIN.
app_launch() {
  app_start "$@"
  app_window 20
  wait_for 10 "the start panel to be painted (white at client 16,16)" \
    client_pixel_is "$APP_WIN" 16 16 FFFFFF
}

# launch_and_capture [ARGS...]: the pattern as the background, the program
# started (with ARGS) and its Capture pressed. Sets APP_PID, APP_WIN, and
# APP_CLIENT_W and APP_CLIENT_H, the maximised client area's size.
launch_and_capture() {
  e2e_set_background
  app_launch "$@"
  capture_screen "$APP_WIN"
  read -r _ _ APP_CLIENT_W APP_CLIENT_H < <(win_client_geometry "$APP_WIN")
}

# launch_and_select [ARGS...]: how most scenarios that work on a crop begin:
# launch_and_capture, then a drag from client 100,100 to 300,250 (200 x 150
# pixels).
launch_and_select() {
  launch_and_capture "$@"
  drag_client "$APP_WIN" 100 100 300 250
}

# load_file WIN FILE: presses "Load" and types FILE into its open dialog.
load_file() {
  click_client "$1" 160 733
  type_into_dialog "Profil picture" "$2"
}

# load_picture WIN FILE: load_file, then waits for the surface to cover the
# start panel.
load_picture() {
  load_file "$1" "$2"
  wait_for 10 "the surface to show the loaded picture" client_pixel_is_not "$1" 16 16 FFFFFF
}

# crop_loaded_picture WIN X Y W H REFERENCE WHAT: with a picture loaded,
# drags over W x H pixels from client X,Y and waits for the clipboard to hold
# that part of REFERENCE (the picture as the surface should show it; its
# crop goes to $E2E_TMP/expected.png). WHAT names the wait in the failure.
crop_loaded_picture() {
  local win=$1 x=$2 y=$3 w=$4 h=$5
  "$IM_CONVERT" "$6" -crop "${w}x${h}+${x}+${y}" +repage PNG24:"$E2E_TMP/expected.png"
  xdotool mousemove --sync 0 0
  drag_client "$win" "$x" "$y" $((x + w)) $((y + h))
  wait_for 5 "$7" clipboard_is_like "$E2E_TMP/expected.png"
}

# clipboard_is_like EXPECTED.png: the clipboard's picture has EXPECTED's
# size and every pixel within 1% of it (JPEG decoders round differently).
clipboard_is_like() {
  clipboard_png "$E2E_TMP/clipboard.png" || return 1
  [[ $(image_size "$E2E_TMP/clipboard.png") == "$(image_size "$1")" ]] || return 1
  local out rc=0
  out=$("$IM_COMPARE" -metric AE -fuzz 1% "$1" "$E2E_TMP/clipboard.png" null: 2>&1) || rc=$?
  ((rc <= 1)) && [[ $out == 0 ]]
}

# watch_window_structure WIN FILE: records WIN's structure events (unmap,
# destroy, reparent, configure) in FILE until the X server ends, so a test
# can tell afterwards whether the window was ever unmapped or destroyed.
watch_window_structure() {
  xev -id "$1" -event structure -event property </dev/null >"$2" 2>&1 &
  # Returns once xev is listening: it reports the change of a marker
  # property made after it started.
  E2E_EXTRA_PIDS+=($!)
  wait_for 5 "xev to watch window $1" _xev_sees_marker "$1" "$2"
}

_xev_sees_marker() {
  xprop -id "$1" -f _ZENTRIM_E2E_MARK 32c -set _ZENTRIM_E2E_MARK "$RANDOM" 2>/dev/null
  grep -q '_ZENTRIM_E2E_MARK' "$2"
}

# window_was_unmapped FILE: true if the log of watch_window_structure shows
# the window unmapped or destroyed.
window_was_unmapped() { grep -qE '^(UnmapNotify|DestroyNotify)' "$1"; }

# --- steps the scenarios share ------------------------------------------------------------

# click_exit WIN: presses "Exit", at the client's bottom-right corner in any
# window size.
click_exit() {
  local w h
  read -r _ _ w h < <(win_client_geometry "$1")
  click_client "$1" $((w - 57)) $((h - 37))
}

# close_window WIN: closes WIN the way its title bar's close button does
# (the window manager asks the program to close it; Alt+F4 in
# e2e/openbox-rc.xml).
close_window() {
  xdotool windowactivate --sync "$1" 2>/dev/null || true
  xdotool key --clearmodifiers alt+F4
}

ZS_CAPTURE_BUTTON=(56 733) # the tool bar's "Capture" in the start-up window

# win_maximised WIN: the window manager shows WIN maximised both ways.
win_maximised() { win_has_state "$1" _NET_WM_STATE_MAXIMIZED_VERT && win_has_state "$1" _NET_WM_STATE_MAXIMIZED_HORZ; }

# capture_screen WIN: presses "Capture" in the start-up window, waits until
# the window is back maximised, and parks the pointer (and with it the
# cross-hair) in the surface's top-right corner, away from the regions the
# scenarios compare.
capture_screen() {
  click_client "$1" "${ZS_CAPTURE_BUTTON[@]}"
  capture_done "$1"
}

# capture_done WIN: waits until a capture brought the window back maximised
# and parks the pointer as capture_screen does.
capture_done() {
  wait_for 10 "the window to come back maximised" win_maximised "$1"
  local x y w h
  read -r x y w h < <(win_client_geometry "$1")
  pointer_to $((x + w - 60)) $((y + 20))
}

# surface_shows_screen WIN: waits for the capture surface to show the
# pattern on the root window one to one (clear of the edges, where the
# cross-hair lines wait).
surface_shows_screen() {
  wait_for 5 "the surface to show the screen one to one" \
    client_shows_pattern "$1" 100 100 700 500 100 100
}

# app_window_count: how many visible windows titled "Zentrim Screen" the
# display shows, whichever process they belong to.
app_window_count() {
  xdotool search --onlyvisible --name "^${E2E_WINDOW_TITLE}\$" 2>/dev/null | grep -c . || true
}

# app_second_start [ARGS...]: starts the program again in the foreground, as
# a key binding or a file manager would while it runs; sets SECOND_STATUS and
# SECOND_MS (from the start to its end), its output in $E2E_TMP/second.log.
app_second_start() {
  local t0
  t0=$(date +%s%3N)
  SECOND_STATUS=0
  app_exec "$@" >"$E2E_TMP/second.log" 2>&1 || SECOND_STATUS=$?
  SECOND_MS=$(($(date +%s%3N) - t0))
  e2e_log "second start ($*): status $SECOND_STATUS after $SECOND_MS ms"
}

# client_shows_pattern WIN X Y W H PX PY: the client region X,Y,W,H on the
# screen is the pattern's region at PX,PY of the same size.
client_shows_pattern() {
  local rx ry
  read -r rx ry < <(client_to_root "$1" "$2" "$3")
  screenshot_region "$rx" "$ry" "$4" "$5" "$E2E_TMP/client-region.png" || return 1
  pattern_crop "$6" "$7" "$4" "$5" "$E2E_TMP/pattern-region.png"
  [[ $(images_identical "$E2E_TMP/pattern-region.png" "$E2E_TMP/client-region.png") == 0 ]]
}

# dialog_window TITLE: waits up to 10 s for a visible window titled TITLE
# and prints its id (nothing if none came).
dialog_window() {
  timeout 10 xdotool search --sync --onlyvisible --name "^$1\$" | head -n 1 || true
}

# type_into_dialog TITLE TEXT: waits for the dialog titled TITLE, replaces
# its name field with TEXT, presses Return and waits for the dialog to close.
type_into_dialog() {
  local dialog
  dialog=$(dialog_window "$1")
  [[ -n $dialog ]] || fail "no dialog titled '$1'"
  xdotool windowactivate --sync "$dialog" 2>/dev/null || true
  xdotool key --clearmodifiers ctrl+a
  xdotool type --delay 2 "$2"
  xdotool key Return
  wait_for 10 "the dialog '$1' to close" no_window_named "$1"
}

# no_window_named TITLE: no visible window has that title.
no_window_named() { ! xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1; }

# message_box WIN: prints a visible window other than WIN with the program's
# title, its message box, if there is one. (A search that waits for the
# title returns the main window at once: poll with has_message_box.)
message_box() {
  local ids
  ids=$(xdotool search --onlyvisible --name "^${E2E_WINDOW_TITLE}\$" 2>/dev/null | grep -vx "$1") || return 1
  head -n 1 <<<"$ids"
}
has_message_box() { [[ -n $(message_box "$1") ]]; }
no_message_box() { ! has_message_box "$1"; }

# close_message_box WIN: answers the message box over WIN with Return and
# waits for it to close.
close_message_box() {
  local box
  box=$(message_box "$1") || true
  xdotool windowactivate --sync "$box" 2>/dev/null || true
  xdotool key Return
  wait_for 5 "the message to close" no_message_box "$1"
}

# draw_stroke WIN: in the editor, a red stroke across the canvas (client
# 36,91 to 196,91: 75 pixels down the canvas, with the 3-pixel pen), waited
# for on the screen.
draw_stroke() {
  drag_client "$1" 36 91 196 91 1 16
  wait_for 5 "the stroke to show" client_pixel_is "$1" 116 91 FF0000
}
