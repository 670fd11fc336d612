# shellcheck shell=bash
# On GNOME "Capture" reads the screen through the desktop portal (GNOME's
# backend): the program names the portal as its backend, the window leaves
# the copy (GNOME minimises it) and comes back maximised with the surface
# showing the pattern one to one, a drag of 400 x 300 pixels puts exactly
# that part of the screen on the clipboard, a second capture from the
# maximised window brings it back too, and the picture the portal saved
# in the user's home (or Pictures) folder does not stay behind.
# shellcheck disable=SC2034 # read by run-scenario.sh
E2E_DESKTOP=gnome

scenario() {
  wl_portal_ready
  gn_app_launch
  gn_capture_and_check
  grep -q 'capture backend: "portal"' "$E2E_TMP/app.log" ||
    fail "the program did not log the portal as its capture backend: $(grep -m1 'capture backend' "$E2E_TMP/app.log")"
  gn_crop_and_check 150 150 400 300
  # Again from the maximised window: GNOME reports the unmapped window
  # maximised meanwhile, and the window must still come back.
  local x y w h
  read -r x y w h <<<"$APP_RECT"
  # shellcheck disable=SC2046 # two numbers
  wl_click $(gn_at $((x + 56)) $((y + h - 37)))
  wait_for 5 "the window to leave the screen for the second capture" _gn_app_gone
  wait_for 15 "the window to come back maximised after the second capture" _gn_back_maximised
  gn_no_portal_file_left
}
