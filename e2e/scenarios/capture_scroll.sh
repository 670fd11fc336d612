# shellcheck shell=bash
# After a capture the scroll bars move the surface inside the viewport: at
# the far end of a bar the surface's edge meets the viewport's edge; the
# corner button "c" puts it back at the top-left.

scenario() {
  launch_and_capture
  local win=$APP_WIN x y w h
  read -r x y w h < <(win_client_geometry "$win")
  # The viewport is the client area less the bars (25 pixels) and the tool
  # bar (73 pixels); the surface is the 1920 x 1080 screen.
  local vw=$((w - 25)) vh=$((h - 25 - 73))
  local dx=$((E2E_SCREEN_W - vw)) dy=$((E2E_SCREEN_H - vh))
  e2e_log "viewport ${vw}x${vh}: the bars reach $dx and $dy pixels"
  ((dx > 0 && dy > 0)) || fail "the surface is not larger than the viewport (${vw}x${vh})"

  xdotool mousemove --sync $((x + 40)) $((y + 40))
  wait_for 5 "the unscrolled surface" client_shows_pattern "$win" 600 300 200 150 600 300

  # The arrow buttons at the far ends of the bars, clicked past the end of
  # each range: the value stops at the range's end.
  local clicks=$(((dy * 15 + 99) / 100 + 2))
  click_client "$win" $((w - 12)) $((vh - 5)) 1
  xdotool click --repeat "$clicks" --delay 40 1
  clicks=$(((dx * 15 + 99) / 100 + 2))
  click_client "$win" $((vw - 5)) $((vh + 12)) 1
  xdotool click --repeat "$clicks" --delay 40 1
  xdotool mousemove --sync $((x + 40)) $((y + 40))
  wait_for 5 "the surface scrolled to both ends (by $dx, $dy)" \
    client_shows_pattern "$win" 600 300 200 150 $((600 + dx)) $((300 + dy))
  # The bottom-right corner of the screen meets the viewport's corner.
  wait_for 5 "the screen's bottom-right corner in the viewport's corner" \
    client_shows_pattern "$win" $((vw - 100)) $((vh - 100)) 100 100 \
    $((E2E_SCREEN_W - 100)) $((E2E_SCREEN_H - 100))

  # "c", in the corner between the bars.
  click_client "$win" $((w - 12)) $((vh + 12))
  xdotool mousemove --sync $((x + 40)) $((y + 40))
  wait_for 5 "the surface back at the top-left after c" \
    client_shows_pattern "$win" 600 300 200 150 600 300
}
