# shellcheck shell=bash
# With the program running, `zentrim-screen photo.jpg` (a name relative to
# the starting shell's folder) puts the picture on the running window's
# surface, as "Load" does; a missing file gets Load's message there.

scenario() {
  x11_start_session_bus
  mkdir -p "$E2E_TMP/pictures"
  local photo=$E2E_TMP/pictures/photo.jpg
  "$IM_CONVERT" "$(e2e_pattern_file)" -crop 1000x700+200+100 +repage -quality 95 "$photo"
  "$IM_CONVERT" "$photo" PNG24:"$E2E_TMP/photo.png"

  app_launch
  local win=$APP_WIN
  pushd "$E2E_TMP/pictures" >/dev/null || fail "no folder $E2E_TMP/pictures"
  app_second_start photo.jpg
  popd >/dev/null || fail "popd failed"
  assert_eq 0 "$SECOND_STATUS" "the second start's exit status"
  wait_for 10 "the surface to show the picture" client_pixel_is_not "$win" 16 16 FFFFFF
  crop_loaded_picture "$win" 500 400 300 200 "$E2E_TMP/photo.png" \
    "the clipboard to hold that part of the photo"
  assert_eq 1 "$(app_window_count)" "windows of the program"

  app_second_start "$E2E_TMP/pictures/missing.jpg"
  assert_eq 0 "$SECOND_STATUS" "the second start's exit status"
  wait_until 10 has_message_box "$win" || fail "no message about the missing file"
  close_message_box "$win"
  app_running || fail "the program ended after the missing file"
}
