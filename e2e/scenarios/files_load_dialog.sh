# shellcheck shell=bash
# "Load" opens Qt's open dialog; a JPEG typed into it becomes the capture
# surface at one pixel per pixel, and a selection dragged on it puts exactly
# that part of the decoded picture on the clipboard. A file that is not a
# picture is refused with a message and the program goes on.

scenario() {
  e2e_set_background
  local photo=$E2E_TMP/photo.JPEG
  "$IM_CONVERT" "$(e2e_pattern_file)" -crop 1500x1000+100+50 +repage -quality 95 "$photo"
  "$IM_CONVERT" "$photo" -crop 200x150+50+60 +repage PNG24:"$E2E_TMP/expected.png"

  app_launch
  local win=$APP_WIN
  # The surface covers the start panel and shows the picture at its corner.
  load_picture "$win" "$photo"

  xdotool mousemove --sync 0 0
  drag_client "$win" 50 60 250 210 # 200 x 150 pixels at 50,60
  wait_for 5 "the clipboard to hold the 200x150 region of the loaded picture" \
    clipboard_is_like "$E2E_TMP/expected.png"

  # Not a picture: a message, then the program carries on.
  printf 'not a picture\n' >"$E2E_TMP/notes.jpg"
  load_file "$win" "$E2E_TMP/notes.jpg"
  # The main window carries the same title, so a search that waits for the
  # first match returns at once: poll until a second window shows instead.
  wait_until 10 _other_window "$win" >/dev/null || fail "no message about the file that is not a picture"
  local box
  box=$(_other_window "$win")
  xdotool windowactivate --sync "$box" 2>/dev/null || true
  xdotool key Return
  wait_for 5 "the message to close" _only_main_window "$win"
  app_running || fail "the program ended after the refused file"
  drag_client "$win" 300 200 400 250 # clear of the arrow pad at the corner
  "$IM_CONVERT" "$photo" -crop 100x50+300+200 +repage PNG24:"$E2E_TMP/expected.png"
  wait_for 5 "a new selection to work after the refusal" clipboard_is_like "$E2E_TMP/expected.png"
}

_other_window() { # WIN: prints a visible window titled like the program other than WIN
  local ids
  ids=$(xdotool search --onlyvisible --name "^${E2E_WINDOW_TITLE}\$" 2>/dev/null | grep -vx "$1") || return 1
  head -n 1 <<<"$ids"
}

_only_main_window() {
  ! xdotool search --onlyvisible --name "^${E2E_WINDOW_TITLE}\$" | grep -vx "$1" >/dev/null
}
