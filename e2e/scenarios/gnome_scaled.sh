# shellcheck shell=bash
# On GNOME at output scale 2 (a 3840 x 2160 monitor): the window has its
# normal size in logical pixels (the start panel drawn at twice its pixels),
# the surface shows the copy one image pixel to one device pixel, and a drag
# over 401 x 299 device pixels from an odd one (half a logical pixel) puts
# exactly those pixels on the clipboard.
# shellcheck disable=SC2034 # read by run-scenario.sh
E2E_DESKTOP=gnome
E2E_SCREEN_W=3840
E2E_SCREEN_H=2160
GN_MONITORS=3840x2160

scenario() {
  gn_apply_layout Meta-0:0:0:2.0:primary
  local qt
  qt=$(gn_qt_primary)
  e2e_log "Qt's primary screen: $qt (name x y w h ratio)"
  [[ $qt == "Meta-0 0 0 "*" 2" ]] || fail "Qt's primary screen is not Meta-0 at ratio 2: $qt"
  wait_for 10 "the wallpaper one to one at scale 2" _gn_screen_is_background
  wl_portal_ready
  gn_app_launch
  local x y w h
  read -r x y w h <<<"$APP_RECT"
  gn_screenshot "$E2E_TMP/window.png" "$x" "$y" "$w" "$h"
  "$IM_CONVERT" "$E2E_TMP/window.png" -sample 50% "$E2E_TMP/window-logical.png"
  assert_start_panel "$E2E_TMP/window-logical.png"
  gn_capture_and_check
  gn_crop_and_check 301 301 401 299
}
