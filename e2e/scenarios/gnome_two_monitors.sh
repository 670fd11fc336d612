# shellcheck shell=bash
# On GNOME with two monitors, the primary one on the right (not at the
# origin) and the pattern's negative on the left one: Qt calls the right one
# primary, and "Capture" and a drag copy exactly its pixels, none of the
# left one's.
# shellcheck disable=SC2034 # read by run-scenario.sh
E2E_DESKTOP=gnome
GN_MONITORS="1920x1080 1920x1080"

scenario() {
  gn_apply_layout Meta-1:0:0:1.0 Meta-0:1920:0:1.0:primary
  assert_eq "Meta-0 1920 0 1920 1080 1" "$(gn_qt_primary)" "the screen Qt calls primary"
  wait_for 10 "the wallpaper across both monitors" _gn_screen_is_background
  wl_portal_ready
  gn_app_launch
  gn_capture_and_check
  local x
  read -r x _ <<<"$APP_RECT"
  ((x >= 1920)) || fail "the maximised window ($APP_RECT) is not on the primary monitor"
  gn_crop_and_check 150 150 400 300
}
