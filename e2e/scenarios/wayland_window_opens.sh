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
    _wl_client_pixel_is "$x" "$y" 16 16 FFFFFF
  local shot=$E2E_TMP/window.png spot px py want
  wl_screenshot "$shot" "$x" "$y" "$w" "$h"
  for spot in "16 16 FFFFFF" "992 16 FFFFFF" "16 648 FFFFFF" "992 648 FFFFFF" "993 649 C0C0FF" "5 5 C0C0FF"; do
    read -r px py want <<<"$spot"
    assert_eq "$want" "$(pixel "$shot" "$px" "$py")" "client pixel $px,$py"
  done
}

_wl_client_pixel_is() { [[ $(wl_pixel $(($1 + $3)) $(($2 + $4))) == "$5" ]]; } # X Y DX DY RRGGBB
