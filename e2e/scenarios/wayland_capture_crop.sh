# shellcheck shell=bash
# On a Wayland desktop "Capture" reads the screen through the desktop portal:
# the surface shows the known pattern one to one (not the program's own
# window, which sway keeps on screen when asked to minimise), a drag puts
# exactly that part of the screen on the clipboard (read with wl-paste), and
# the portal's temporary picture does not stay behind.
# shellcheck disable=SC2034 # read by run-scenario.sh
E2E_DESKTOP=wayland

# Client places in the window sway tiles over the whole 1920x1080 output.
WL_CAPTURE_BUTTON=(56 1043)

_wl_region_is_pattern() { # X Y W H: that region of the output is the pattern's
  wl_screenshot "$E2E_TMP/region.png" "$@" || return 1
  pattern_crop "$@" "$E2E_TMP/expected.png"
  [[ $(images_identical "$E2E_TMP/expected.png" "$E2E_TMP/region.png") == 0 ]]
}

_wl_clipboard_is_pattern() { # X Y W H
  wl_clipboard_save image/png "$E2E_TMP/clipboard.png" || return 1
  pattern_crop "$@" "$E2E_TMP/expected.png"
  [[ $(images_identical "$E2E_TMP/expected.png" "$E2E_TMP/clipboard.png") == 0 ]]
}

scenario() {
  wl_grant_screenshot
  wait_for 30 "the screenshot portal to start" wl_portal_has_screenshot
  wl_set_background "$(e2e_pattern_file)"
  wl_app_start
  wl_app_window
  local x y w h
  read -r x y w h <<<"$APP_RECT"
  assert_eq "0 0 1920 1080" "$x $y $w $h" "the tiled window's client area"
  wait_for 10 "the start panel to be painted" _wl_pixel_is 16 16 FFFFFF

  # Capture. The window stood over the whole screen: the copy shows the
  # pattern everywhere, so any trace of the window is a failure. Rows and
  # columns near the top and left edge are left out: the surface's dotted
  # cross-hair lines wait there until the pointer moves over it.
  local t0 t1
  t0=$(date +%s%3N)
  wl_click "${WL_CAPTURE_BUTTON[@]}"
  wait_for 15 "the surface to show the screen one to one" _wl_region_is_pattern 1 30 1200 670
  t1=$(date +%s%3N)
  e2e_log "Capture click to the copy on screen: $((t1 - t0)) ms (checked every ~0.1 s)"
  # The pointer (drawn into every screenshot) and with it the cross-hair
  # parked in the surface's top-right corner, away from what is compared.
  wl_pointer_to 1860 20
  wait_for 5 "the surface's visible part to be the pattern" _wl_region_is_pattern 0 30 1840 930

  # A drag from 100,100 to 300,250 crops 200 x 150 pixels there.
  wl_drag 100 100 300 250
  wl_pointer_to 1860 20
  wait_for 5 "the clipboard to hold the selected 200x150 region" \
    _wl_clipboard_is_pattern 100 100 200 150
  wl_clipboard_types | grep -qx image/png || fail "the clipboard offers no image/png: $(wl_clipboard_types | tr '\n' ' ')"

  # The portal wrote its picture into the desktop's /tmp; the program read
  # it and removed it.
  local left
  # (In a shared /tmp only the wlr backend's fixed name is the portal's.)
  local name='*.png'
  ((WL_PRIVATE_TMP)) || name=out.png
  left=$(find "$WL_TMP" -maxdepth 1 -type f -name "$name" | head -n 3)
  [[ -z $left ]] || fail "the portal's picture was left behind: $left"
}

_wl_pixel_is() { [[ $(wl_pixel "$1" "$2") == "$3" ]]; } # X Y RRGGBB
