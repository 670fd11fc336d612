# shellcheck shell=bash
# On a Wayland desktop (sway, which offers data-control) the crop stays on
# the clipboard after "Exit": the program ends at once with status 0, the
# clipboard helper offers image/png and image/bmp, both the crop pixel for
# pixel (read with wl-paste), and once another client (wl-copy) sets the
# clipboard no process of ours is left.
# shellcheck disable=SC2034 # read by run-scenario.sh
E2E_DESKTOP=wayland

# Client places in the window sway tiles over the whole 1920x1080 output.
WL_CAPTURE_BUTTON=(56 1043)
WL_EXIT_BUTTON=(1863 1043)

_wl_region_is_pattern() { # X Y W H: that region of the output is the pattern's
  wl_screenshot "$E2E_TMP/region.png" "$@" || return 1
  pattern_crop "$@" "$E2E_TMP/expected.png"
  [[ $(images_identical "$E2E_TMP/expected.png" "$E2E_TMP/region.png") == 0 ]]
}

_wl_clipboard_type_is_crop() { # TYPE: the 200 x 150 crop at 100,100
  local file=$E2E_TMP/clipboard.${1#image/}
  wl_clipboard_save "$1" "$file" || return 1
  pattern_crop 100 100 200 150 "$E2E_TMP/crop.png"
  [[ $(images_identical "$E2E_TMP/crop.png" "$file") == 0 ]]
}

_wl_clipboard_is_text() { [[ $(wl_run timeout 5 wl-paste --no-newline 2>/dev/null) == "$1" ]]; }
_wl_pixel_is() { [[ $(wl_pixel "$1" "$2") == "$3" ]]; } # X Y RRGGBB

scenario() {
  wl_grant_screenshot
  wait_for 30 "the screenshot portal to start" wl_portal_has_screenshot
  wl_set_background "$(e2e_pattern_file)"
  wl_app_start
  wl_app_window
  wait_for 10 "the start panel to be painted" _wl_pixel_is 16 16 FFFFFF
  wl_click "${WL_CAPTURE_BUTTON[@]}"
  wait_for 15 "the surface to show the screen one to one" _wl_region_is_pattern 1 30 1200 670
  wl_pointer_to 1860 20
  wl_drag 100 100 300 250
  wl_pointer_to 1860 20
  wait_for 5 "the crop on the clipboard" _wl_clipboard_type_is_crop image/png

  wl_click "${WL_EXIT_BUTTON[@]}"
  app_wait_exit 5 || fail "still running 5 s after clicking Exit"
  assert_eq 0 "$APP_STATUS" "exit status"
  local types type
  types=$(wl_clipboard_types | tr '\n' ' ')
  for type in image/png image/bmp; do
    [[ " $types" == *" $type "* ]] || fail "after Exit the clipboard does not offer $type: $types"
    _wl_clipboard_type_is_crop "$type" || fail "after Exit the clipboard's $type is not the crop"
  done
  assert_eq 1 "$(helper_count)" "clipboard helpers after Exit"

  wl_spawn wl-copy --foreground "taken over"
  wait_for 5 "the other client's text on the clipboard" _wl_clipboard_is_text "taken over"
  wait_for 5 "no process of ours to be left" no_process_of_ours
}
