# shellcheck shell=bash
# "Edit" lays the editor over the window with the selection on its canvas,
# one to one; a drag on the canvas draws a red line into it; "Copy" puts the
# drawn-on picture on the clipboard; typing a width in the size box fills in
# the height in proportion, and the canvas (and the next copy) takes that
# size with the drawing gone.

_canvas_shows_pattern() { # WIN: the canvas at client 16,16 is the selection
  local rx ry
  read -r rx ry < <(client_to_root "$1" 16 16)
  screenshot_region "$rx" "$ry" 200 150 "$E2E_TMP/canvas.png" || return 1
  pattern_crop 100 100 200 150 "$E2E_TMP/expected.png"
  [[ $(images_identical "$E2E_TMP/expected.png" "$E2E_TMP/canvas.png") == 0 ]]
}

_clipboard_size_is() { # W H
  clipboard_png "$E2E_TMP/clipboard.png" && [[ $(image_size "$E2E_TMP/clipboard.png") == "$1 $2" ]]
}

scenario() {
  launch_and_select # 200 x 150 pixels at 100,100 selected
  local win=$APP_WIN w=$APP_CLIENT_W h=$APP_CLIENT_H

  click_client "$win" 576 $((h - 37)) # "Edit"
  wait_for 5 "the canvas to show the selection one to one" _canvas_shows_pattern "$win"

  # A stroke across the canvas, 75 pixels down, with the 3-pixel pen.
  drag_client "$win" 36 91 196 91 1 16
  wait_for 5 "the stroke to show" client_pixel_is "$win" 116 91 FF0000

  click_client "$win" $((w - 516)) $((h - 44)) # "Copy"
  wait_for 5 "the clipboard to hold the 200x150 canvas" _clipboard_size_is 200 150
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
  wait_for 5 "the clipboard to hold the 100x75 canvas" _clipboard_size_is 100 75
  [[ $(pixel "$E2E_TMP/clipboard.png" 50 37) != FF0000 ]] || fail "the stroke survived the resize"
  app_running || fail "the program ended"
}
