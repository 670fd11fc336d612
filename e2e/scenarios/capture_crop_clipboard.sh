# shellcheck shell=bash
# "Capture" copies the screen (the known pattern on the root window, without
# the program's own window) into the surface; a drag puts exactly that part
# of the screen on the clipboard; holding an arrow of the pad moves the crop;
# "All screen" puts the whole screen on the clipboard.

scenario() {
  e2e_set_background
  app_launch
  local win=$APP_WIN x y w h
  # Where the window stood: the copy must show the pattern there.
  local ox oy ow oh
  read -r ox oy ow oh < <(win_outer_geometry "$win")

  capture_screen "$win"
  read -r x y w h < <(win_client_geometry "$win")
  e2e_log "maximised client area ${w}x${h} at $x,$y; the window stood at $ox,$oy (${ow}x${oh})"

  # The surface sits at the client's top-left, one pixel per screen pixel:
  # where the window stood it shows the desktop, not the window.
  local rx=$((ox > 0 ? ox : 0)) ry=$((oy > 0 ? oy : 0))
  local rw=$((ow < w - 80 - rx ? ow : w - 80 - rx)) rh=$((oh < h - 120 - ry ? oh : h - 120 - ry))
  wait_for 5 "the surface to show the screen where the window stood" \
    client_shows_pattern "$win" "$rx" "$ry" "$rw" "$rh" "$rx" "$ry"

  # A drag from client 100,100 to 300,250 selects 200 x 150 pixels there.
  drag_client "$win" 100 100 300 250
  wait_for 5 "the clipboard to hold the selected 200x150 region" \
    clipboard_is_pattern 100 100 200 150
  # Offered as PNG and as BMP, for programs that take only one of them.
  local type
  for type in image/png image/bmp; do
    clipboard_has_target "$type" || fail "the clipboard does not offer $type: $(clipboard_targets | tr '\n' ' ')"
  done

  # Hold the right arrow of the pad (Image2(1), client 56,40) for a second:
  # the rectangle moves right by about 33 pixels and the crop is taken there.
  local ax ay
  read -r ax ay < <(client_to_root "$win" 56 40)
  xdotool mousemove --sync "$ax" "$ay" mousedown 1
  sleep 1
  xdotool mouseup 1
  local k moved=
  for ((k = 1; k <= 60; k++)); do
    if clipboard_is_pattern $((100 + k)) 100 200 150; then
      moved=$k
      break
    fi
  done
  [[ -n $moved ]] || fail "after holding the right arrow the clipboard is not the selection moved right"
  e2e_log "holding the right arrow for 1 s moved the crop by $moved pixels"
  ((moved >= 5)) || fail "the crop moved only $moved pixels in a second"

  # "All screen" (tool bar, 48 pixels right of its left edge + 424).
  click_client "$win" 472 $((h - 37))
  wait_for 5 "the clipboard to hold the whole screen" \
    clipboard_is_pattern 0 0 "$E2E_SCREEN_W" "$E2E_SCREEN_H"
  # The whole screen as BMP too: 6 MB, sent in pieces (INCR).
  clipboard_get image/bmp "$E2E_TMP/clipboard.bmp" || fail "no image/bmp of the whole screen"
  [[ $(images_identical "$E2E_TMP/expected.png" "$E2E_TMP/clipboard.bmp") == 0 ]] ||
    fail "the whole screen's image/bmp is not the screen"
}
