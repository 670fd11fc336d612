# shellcheck shell=bash
# After a crop, "Exit" ends the program at once with status 0 and the crop
# stays on the clipboard: offered as image/png and image/bmp, both pixel for
# pixel the crop, and still 5 s later. Once another program takes the
# clipboard, no process of ours is left.

_offers_exactly_the_crop() {
  local type targets
  targets=$(clipboard_targets | tr '\n' ' ')
  for type in image/png image/bmp; do
    clipboard_has_target "$type" || fail "the clipboard does not offer $type: $targets"
    clipboard_type_is "$type" "$E2E_TMP/crop.png" || fail "the clipboard's $type is not the crop ($1)"
  done
  # Few formats: no JPEG, icon or X bitmap encodings of the crop.
  [[ $targets != *image/jpeg* && $targets != *image/x-xbitmap* && $targets != *PIXMAP* ]] ||
    fail "the clipboard offers more than it should: $targets"
}

scenario() {
  launch_and_select # 200 x 150 pixels at 100,100 selected
  local win=$APP_WIN
  # The 200 x 150 crop of the pattern at 100,100.
  pattern_crop 100 100 200 150 "$E2E_TMP/crop.png"
  wait_for 5 "the crop on the clipboard" clipboard_type_is image/png "$E2E_TMP/crop.png"
  _offers_exactly_the_crop "while the program runs"
  assert_eq 0 "$(helper_count)" "clipboard helpers while the program runs"

  click_exit "$win"
  app_expect_exit "clicking Exit"
  assert_eq 1 "$(helper_count)" "clipboard helpers after Exit"
  _offers_exactly_the_crop "after Exit"

  sleep 5 # the time under test: the crop must stay, not a wait for a state
  _offers_exactly_the_crop "5 s after Exit"
  assert_eq 1 "$(helper_count)" "clipboard helpers 5 s after Exit"

  clipboard_set_text "taken over"
  wait_for 5 "the other program's text on the clipboard" clipboard_is_text "taken over"
  wait_for 5 "no process of ours to be left" no_process_of_ours
}
