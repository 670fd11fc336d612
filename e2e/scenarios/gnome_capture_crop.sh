# shellcheck shell=bash
# On GNOME "Capture" reads the screen through the desktop portal (GNOME's
# backend): the program names the portal as its backend, the window leaves
# the copy (GNOME minimises it) and comes back maximised with the surface
# showing the pattern one to one, a drag of 400 x 300 pixels puts exactly
# that part of the screen on the clipboard, a second and a third capture
# in a row from the maximised window copy the screen and bring it back too,
# and the pictures the portal saved in the user's home (or Pictures) folder
# do not stay behind.
# shellcheck disable=SC2034 # read by run-scenario.sh
E2E_DESKTOP=gnome

scenario() {
  wl_portal_ready
  gn_app_launch
  gn_capture_and_check
  grep -q 'capture backend: "portal"' "$E2E_TMP/app.log" ||
    fail "the program did not log the portal as its capture backend: $(grep -m1 'capture backend' "$E2E_TMP/app.log")"
  gn_crop_and_check 150 150 400 300
  # Twice more from the maximised window, clicked where the pointer stays
  # (the button comes back under it): GNOME reports the unmapped window
  # maximised meanwhile, and every click must still copy the screen and
  # bring the window back.
  local n
  for n in 2 3; do
    gn_capture_again "$n"
  done
  gn_no_portal_file_left
}
