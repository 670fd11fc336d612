# shellcheck shell=bash
# "Edit" lays the editor over the window with the selection on its canvas,
# one to one; a drag on the canvas draws a red line into it; "Copy" puts the
# drawn-on picture on the clipboard; typing a width in the size box fills in
# the height in proportion, and the canvas (and the next copy) takes that
# size with the drawing gone.

scenario() {
  launch_and_select # 200 x 150 pixels at 100,100 selected
  local win=$APP_WIN w=$APP_CLIENT_W h=$APP_CLIENT_H

  click_client "$win" 576 $((h - 37)) # "Edit"
  # The canvas at client 16,16 is the selection.
  wait_for 5 "the canvas to show the selection one to one" \
    client_shows_pattern "$win" 16 16 200 150 100 100

  # A stroke across the canvas, 75 pixels down, with the 3-pixel pen.
  draw_stroke "$win"

  click_client "$win" $((w - 516)) $((h - 44)) # "Copy"
  wait_for 5 "the clipboard to hold the 200x150 canvas" clipboard_size_is 200 150
  local p
  for p in "100 74" "100 75" "100 76" "30 75" "170 75"; do
    # shellcheck disable=SC2086
    assert_eq FF0000 "$(pixel "$E2E_TMP/clipboard.png" $p)" "clipboard pixel $p on the stroke"
  done
  pattern_crop 100 100 200 150 "$E2E_TMP/expected.png"
  assert_eq "$(pixel "$E2E_TMP/expected.png" 10 10)" "$(pixel "$E2E_TMP/clipboard.png" 10 10)" \
    "clipboard pixel 10,10 away from the stroke"

  # Width 100 in the size box: the height box follows (75), the canvas is
  # repainted at 100 x 75 without the stroke.
  click_client "$win" 48 $((h - 108))
  xdotool key --clearmodifiers ctrl+a
  xdotool type --delay 30 100
  click_client "$win" $((w - 516)) $((h - 44))
  wait_for 5 "the clipboard to hold the 100x75 canvas" clipboard_size_is 100 75
  [[ $(pixel "$E2E_TMP/clipboard.png" 50 37) != FF0000 ]] || fail "the stroke survived the resize"
  app_running || fail "the program ended"
}
