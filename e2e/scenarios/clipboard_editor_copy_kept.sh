# shellcheck shell=bash
# The editor's "Copy" puts the drawn-on picture on the clipboard; closing the
# window (as its close button does) ends the program with status 0 and the
# edited picture stays on the clipboard, as image/png and image/bmp.

_clipboard_has_stroke() {
  clipboard_png "$E2E_TMP/copied.png" && [[ $(pixel "$E2E_TMP/copied.png" 100 75) == FF0000 ]]
}

scenario() {
  launch_and_select # 200 x 150 pixels at 100,100 selected
  local win=$APP_WIN w=$APP_CLIENT_W h=$APP_CLIENT_H
  click_client "$win" 576 $((h - 37)) # "Edit"
  wait_for 5 "the editor's canvas" client_pixel_is_not "$win" 116 91 FF0000
  draw_stroke "$win"
  click_client "$win" $((w - 516)) $((h - 44)) # "Copy"
  wait_for 5 "the drawn-on picture on the clipboard" _clipboard_has_stroke
  # The copy is the crop with the stroke: different from the plain crop.
  pattern_crop 100 100 200 150 "$E2E_TMP/crop.png"
  [[ $(images_identical "$E2E_TMP/crop.png" "$E2E_TMP/copied.png") != 0 ]] ||
    fail "the copy is the plain crop"

  close_window "$win"
  app_expect_exit "closing the window"
  local type
  for type in image/png image/bmp; do
    clipboard_type_is "$type" "$E2E_TMP/copied.png" ||
      fail "after the window closed the clipboard's $type is not the edited picture"
  done
  assert_eq 1 "$(helper_count)" "clipboard helpers after the close"
}
