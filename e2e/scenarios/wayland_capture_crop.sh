# shellcheck shell=bash
# On sway "Capture" reads the screen through wlroots' screencopy: the surface
# shows the known pattern one to one (not the program's own window, which
# sway keeps on screen when asked to minimise), a drag puts exactly that part
# of the screen on the clipboard (read with wl-paste), and "All screen" the
# whole screen. The headless sway draws its cursor in software, into the
# output itself, where screencopy cannot leave it out: the cursor that stood
# on "Capture" during the copy is in it, and left out of the comparison.
# shellcheck disable=SC2034 # read by run-scenario.sh
E2E_DESKTOP=wayland

scenario() {
  wl_portal_ready
  wl_set_background "$(e2e_pattern_file)"
  wl_app_launch
  wl_expect_backend wlr-screencopy
  assert_eq "0 0 1920 1080" "$APP_RECT" "the tiled window's client area"

  # Capture. The window stood over the whole screen: the copy shows the
  # pattern everywhere, so any trace of the window is a failure. Rows and
  # columns near the top and left edge are left out: the surface's dotted
  # cross-hair lines wait there until the pointer moves over it.
  local t0 t1
  t0=$(date +%s%3N)
  wl_click "${WL_CAPTURE_BUTTON[@]}"
  wait_for 15 "the surface to show the screen one to one" wl_region_is_pattern 1 30 1200 670
  t1=$(date +%s%3N)
  e2e_log "Capture click to the copy on screen: $((t1 - t0)) ms (checked every ~0.1 s)"
  # The pointer (drawn into every screenshot) and with it the cross-hair
  # parked in the surface's top-right corner, away from what is compared.
  wl_park_pointer
  wait_for 5 "the surface's visible part to be the pattern" wl_region_is_pattern 0 30 1840 930

  # A drag from 100,100 to 300,250 crops 200 x 150 pixels there.
  wl_drag 100 100 300 250
  wl_park_pointer
  wait_for 5 "the clipboard to hold the selected 200x150 region" \
    wl_clipboard_is_pattern image/png 100 100 200 150
  wl_clipboard_types | grep -qx image/png || fail "the clipboard offers no image/png: $(wl_clipboard_types | tr '\n' ' ')"

  wl_click "${WL_ALL_SCREEN_BUTTON[@]}"
  wl_park_pointer
  wait_for 10 "the clipboard to hold the whole screen" _wl_clipboard_is_screen
}

_wl_clipboard_is_screen() {
  wl_clipboard_save image/png "$E2E_TMP/clipboard.png" &&
    wl_same_but_cursor "$(e2e_pattern_file)" "$E2E_TMP/clipboard.png" \
      $((WL_CAPTURE_BUTTON[0] - 4)) $((WL_CAPTURE_BUTTON[1] - 4))
}
