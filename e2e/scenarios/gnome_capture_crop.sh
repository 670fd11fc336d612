# shellcheck shell=bash
# On GNOME "Capture" reads the screen through the desktop portal (GNOME's
# backend): the program names the portal as its backend, the window leaves
# the copy (GNOME minimises it) and comes back maximised with the surface
# showing the pattern one to one, a drag of 400 x 300 pixels puts exactly
# that part of the screen on the clipboard, and the picture the portal saved
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
  gn_no_portal_file_left
}
