# shellcheck shell=bash
# A check box takes a click anywhere in its rectangle, not only on its box
# and caption: a click on the empty right part of "Square" on the tool bar
# checks it, and the next drag is square. The check boxes show the tool
# bar's white around their captions.

# The "Square" check box: client 840,713, 129 x 17 pixels in the start-up
# window; its caption ends near x 900 and the Exit panel covers it from
# x 932 on.
SQUARE_RIGHT_PART=(918 721)

scenario() {
  e2e_set_background
  app_launch
  local win=$APP_WIN h
  # White, not the style's button grey, beside both captions.
  wait_for 5 "white beside the caption of Square" client_pixel_is "$win" "${SQUARE_RIGHT_PART[@]}" FFFFFF
  wait_for 5 "white beside the caption of Stay front" client_pixel_is "$win" 918 745 FFFFFF

  capture_screen "$win"
  read -r _ _ _ h < <(win_client_geometry "$win")
  # The tool bar keeps its distance from the client area's bottom edge.
  click_client "$win" "${SQUARE_RIGHT_PART[0]}" $((h - (ZS_CLIENT_H - SQUARE_RIGHT_PART[1])))
  drag_client "$win" 100 100 300 250 # 200 x 150, locked to 200 x 200
  wait_for 5 "a square 200x200 crop on the clipboard" clipboard_size_is 200 200

  # A second click there unchecks it: the next drag keeps its shape.
  click_client "$win" "${SQUARE_RIGHT_PART[0]}" $((h - (ZS_CLIENT_H - SQUARE_RIGHT_PART[1])))
  drag_client "$win" 100 100 300 250
  wait_for 5 "a 200x150 crop on the clipboard" clipboard_size_is 200 150
}
