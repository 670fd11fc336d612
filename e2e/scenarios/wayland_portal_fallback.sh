# shellcheck shell=bash
# Where screencopy is not to be used (ZENTRIM_CAPTURE_BACKEND=portal, as a
# bug report would set it), "Capture" reads the screen through the desktop
# portal instead: the surface shows the pattern one to one, a drag crops it
# exactly, and the picture the portal saved does not stay behind.
# shellcheck disable=SC2034 # read by run-scenario.sh and wl_app_start
E2E_DESKTOP=wayland

scenario() {
  wl_portal_ready
  wl_set_background "$(e2e_pattern_file)"
  WL_APP_ENV=(ZENTRIM_CAPTURE_BACKEND=portal)
  wl_app_launch
  wl_expect_backend portal

  wl_click "${WL_CAPTURE_BUTTON[@]}"
  wait_for 15 "the surface to show the screen one to one" wl_region_is_pattern 1 30 1200 670
  wl_park_pointer
  wl_drag 100 100 300 250
  wl_park_pointer
  wait_for 5 "the clipboard to hold the selected 200x150 region" \
    wl_clipboard_is_pattern image/png 100 100 200 150

  # The portal wrote its picture into the desktop's /tmp; the program read
  # it and removed it. (In a shared /tmp only the wlr backend's fixed name
  # is the portal's.)
  local name='*.png' left
  ((WL_PRIVATE_TMP)) || name=out.png
  left=$(find "$WL_TMP" -maxdepth 1 -type f -name "$name" | head -n 3)
  [[ -z $left ]] || fail "the portal's picture was left behind: $left"
}
