# shellcheck shell=bash
# "Load" opens Qt's open dialog; a JPEG typed into it becomes the capture
# surface at one pixel per pixel, and a selection dragged on it puts exactly
# that part of the decoded picture on the clipboard. A file that is not a
# picture is refused with a message and the program goes on.

scenario() {
  e2e_set_background
  local photo=$E2E_TMP/photo.JPEG
  "$IM_CONVERT" "$(e2e_pattern_file)" -crop 1500x1000+100+50 +repage -quality 95 "$photo"

  app_launch
  local win=$APP_WIN
  # The surface covers the start panel and shows the picture at its corner.
  load_picture "$win" "$photo"
  crop_loaded_picture "$win" 50 60 200 150 "$photo" \
    "the clipboard to hold the 200x150 region of the loaded picture"

  # Not a picture: a message, then the program carries on.
  printf 'not a picture\n' >"$E2E_TMP/notes.jpg"
  load_file "$win" "$E2E_TMP/notes.jpg"
  wait_until 10 has_message_box "$win" || fail "no message about the file that is not a picture"
  close_message_box "$win"
  app_running || fail "the program ended after the refused file"
  drag_client "$win" 300 200 400 250 # clear of the arrow pad at the corner
  "$IM_CONVERT" "$photo" -crop 100x50+300+200 +repage PNG24:"$E2E_TMP/expected.png"
  wait_for 5 "a new selection to work after the refusal" clipboard_is_like "$E2E_TMP/expected.png"
}
