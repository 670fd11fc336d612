# shellcheck shell=bash
# Resizing the compact window with the mouse leaves compact mode: the red
# bar goes away once the window is made large.

_client_at_least() { # WIN W H
  local x y w h
  read -r x y w h < <(win_client_geometry "$1") || return 1
  ((w >= $2 && h >= $3))
}

scenario() {
  app_launch
  local win=$APP_WIN
  click_client "$win" "${ZS_SHRINK_BUTTON[@]}"
  wait_for 5 "the red compact bar at client 2,2" client_pixel_is "$win" 2 2 "$ZS_COMPACT_BAR_COLOUR"

  # Drag the frame's bottom-right corner out to about 600 x 500 (outer).
  local x y w h
  read -r x y w h < <(win_outer_geometry "$win")
  drag $((x + w - 1)) $((y + h - 1)) $((x + 599)) $((y + 499)) 1 20
  if ! wait_until 3 _client_at_least "$win" 400 300; then
    # Same resize with openbox's other binding: Alt + right-button drag
    # from inside the window's bottom-right quarter.
    read -r x y w h < <(win_client_geometry "$win")
    drag $((x + w - 3)) $((y + h - 3)) $((x + 597)) $((y + 497)) 3 20 alt
  fi
  wait_until 3 _client_at_least "$win" 400 300 ||
    fail "could not resize the compact window by dragging: client $(win_client_geometry "$win"), size hints: $(xprop -id "$win" WM_NORMAL_HINTS | tr -s ' \n' ' ')"

  wait_for 5 "the compact bar to go (client 2,2 not red)" \
    client_pixel_is_not "$win" 2 2 "$ZS_COMPACT_BAR_COLOUR"
}
