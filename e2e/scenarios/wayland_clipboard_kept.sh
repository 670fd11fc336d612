# shellcheck shell=bash
# On a Wayland desktop (sway, which offers data-control) the crop stays on
# the clipboard after "Exit": the program ends at once with status 0, the
# clipboard helper offers image/png and image/bmp, both the crop pixel for
# pixel (read with wl-paste), and once another client (wl-copy) sets the
# clipboard no process of ours is left.
# shellcheck disable=SC2034 # read by run-scenario.sh
E2E_DESKTOP=wayland

scenario() {
  wl_portal_ready
  wl_set_background "$(e2e_pattern_file)"
  wl_app_launch
  wl_click "${WL_CAPTURE_BUTTON[@]}"
  wait_for 15 "the surface to show the screen one to one" wl_region_is_pattern 1 30 1200 670
  wl_park_pointer
  wl_drag 100 100 300 250
  wl_park_pointer
  wait_for 5 "the crop on the clipboard" wl_clipboard_is_pattern image/png 100 100 200 150

  wl_click "${WL_EXIT_BUTTON[@]}"
  app_expect_exit "clicking Exit"
  local types type
  types=$(wl_clipboard_types | tr '\n' ' ')
  for type in image/png image/bmp; do
    [[ " $types" == *" $type "* ]] || fail "after Exit the clipboard does not offer $type: $types"
    wl_clipboard_is_pattern "$type" 100 100 200 150 || fail "after Exit the clipboard's $type is not the crop"
  done
  assert_eq 1 "$(helper_count)" "clipboard helpers after Exit"

  wl_spawn wl-copy --foreground "taken over"
  wait_for 5 "the other client's text on the clipboard" wl_clipboard_is_text "taken over"
  wait_for 5 "no process of ours to be left" no_process_of_ours
}
