# shellcheck shell=bash
# On GNOME (headless GNOME Shell) the program starts on Qt's wayland platform
# and shows a normal window: neither maximised nor minimised, at the size it
# asks for, with the white start panel on the lavender viewport.
# shellcheck disable=SC2034 # read by run-scenario.sh
E2E_DESKTOP=gnome

scenario() {
  gn_app_launch
  assert_eq "0 0" "$(gn_window_state)" "the window's maximised and minimised state"
  local x y w h
  read -r x y w h <<<"$APP_RECT"
  gn_screenshot "$E2E_TMP/window.png" "$x" "$y" "$w" "$h"
  assert_start_panel "$E2E_TMP/window.png"
}
