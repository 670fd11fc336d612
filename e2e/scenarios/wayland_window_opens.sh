# shellcheck shell=bash
# On a Wayland desktop (headless sway) the program starts on Qt's wayland
# platform and shows its window: sway lists it visible under the program's
# name, and the screen shows the white start panel on the lavender viewport.
# shellcheck disable=SC2034 # read by run-scenario.sh
E2E_DESKTOP=wayland

scenario() {
  wl_app_start
  wl_app_window
  local x y w h
  read -r x y w h <<<"$APP_RECT"

  local title
  title=$(wl_run swaymsg -t get_tree | jq -r --argjson pid "$APP_PID" \
    '[.. | objects | select(.pid? == $pid)] | first | "\(.app_id) \(.name)"')
  assert_eq "zentrim-screen Zentrim Screen" "$title" "sway's app id and title of the window"

  # sway tiles the window over the whole output; the start panel sits at the
  # viewport's top-left, the lavender viewport around it.
  wait_for 10 "the start panel to be painted (white at client 16,16)" \
    wl_pixel_is $((x + 16)) $((y + 16)) FFFFFF
  wl_screenshot "$E2E_TMP/window.png" "$x" "$y" "$w" "$h"
  assert_start_panel "$E2E_TMP/window.png"
}
