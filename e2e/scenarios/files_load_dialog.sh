# shellcheck shell=bash
# "Load" opens Qt's open dialog; a JPEG typed into it becomes the capture
# surface at one pixel per pixel, and a selection dragged on it puts exactly
# that part of the decoded picture on the clipboard. A file that is not a
# picture is refused with a message and the program goes on.

_clipboard_is() { # EXPECTED.png: the clipboard's picture, every pixel within 1%
  clipboard_png "$E2E_TMP/clipboard.png" || return 1
  [[ $(image_size "$E2E_TMP/clipboard.png") == "$(image_size "$1")" ]] || return 1
  local out rc=0
  out=$("$IM_COMPARE" -metric AE -fuzz 1% "$1" "$E2E_TMP/clipboard.png" null: 2>&1) || rc=$?
  ((rc <= 1)) && [[ $out == 0 ]]
}

scenario() {
  e2e_set_background
  local photo=$E2E_TMP/photo.JPEG
  "$IM_CONVERT" "$(e2e_pattern_file)" -crop 1500x1000+100+50 +repage -quality 95 "$photo"
  "$IM_CONVERT" "$photo" -crop 200x150+50+60 +repage PNG24:"$E2E_TMP/expected.png"

  app_launch
  local win=$APP_WIN
  click_client "$win" 160 733 # "Load"
  type_into_dialog "Profil picture" "$photo"
  # The surface covers the start panel and shows the picture at its corner.
  wait_for 10 "the surface to show the loaded picture" client_pixel_is_not "$win" 16 16 FFFFFF

  xdotool mousemove --sync 0 0
  drag_client "$win" 50 60 250 210 # 200 x 150 pixels at 50,60
  wait_for 5 "the clipboard to hold the 200x150 region of the loaded picture" \
    _clipboard_is "$E2E_TMP/expected.png"

  # Not a picture: a message, then the program carries on.
  printf 'not a picture\n' >"$E2E_TMP/notes.jpg"
  click_client "$win" 160 733
  type_into_dialog "Profil picture" "$E2E_TMP/notes.jpg"
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
  wait_for 5 "a new selection to work after the refusal" _clipboard_is "$E2E_TMP/expected.png"
}

_other_window() { # WIN: prints a visible window titled like the program other than WIN
  local ids
  ids=$(xdotool search --onlyvisible --name "^${E2E_WINDOW_TITLE}\$" 2>/dev/null | grep -vx "$1") || return 1
  head -n 1 <<<"$ids"
}

_only_main_window() {
  ! xdotool search --onlyvisible --name "^${E2E_WINDOW_TITLE}\$" | grep -vx "$1" >/dev/null
}
