# shellcheck shell=bash
# GNOME offers no data-control protocol, so no helper can hold the crop
# after the program: "Exit" closes the window and the program stays,
# windowless, serving its crop. A new start takes over from it (the window
# comes back in the same process and the crop stays); when another program
# copies, the windowless program ends.
# shellcheck disable=SC2034 # read by run-scenario.sh
E2E_DESKTOP=gnome

_gn_click_exit() {
  local x y w h
  read -r x y w h <<<"$APP_RECT"
  # shellcheck disable=SC2046 # two numbers
  wl_click $(gn_at $((x + w - 57)) $((y + h - 37)))
  wait_for 5 "the window to close at Exit" _gn_app_gone
}

scenario() {
  wl_portal_ready
  gn_app_launch
  gn_capture_and_check
  gn_crop_and_check 150 150 400 300
  _gn_click_exit
  app_running || fail "the program ended at Exit although only it can serve its crop"
  gn_clipboard_is_pattern image/png 150 150 400 300 ||
    fail "the crop left the clipboard at Exit"
  # Served by the program, in all its formats (the shell's own copy of a
  # clipboard whose owner has gone holds only one).
  gn_clipboard_types | grep -qx image/bmp || fail "the clipboard no longer offers the crop as BMP"

  # A new start hands over to the windowless program, which opens its window.
  local second=0
  # Bounded: a start that failed to hand over would open a window of its own.
  wl_run QT_QPA_PLATFORM=wayland timeout 15 "$WL_APP" >"$E2E_TMP/second.log" 2>&1 || second=$?
  assert_eq 0 "$second" "the second start's exit status"
  gn_app_window 10
  gn_clipboard_is_pattern image/png 150 150 400 300 ||
    fail "the crop left the clipboard when a new start took over"
  _gn_click_exit
  app_running || fail "the program ended at its second Exit"

  # Another program copies: the windowless program has nothing left to do.
  gn_eval 'imports.gi.St.Clipboard.get_default().set_text(imports.gi.St.ClipboardType.CLIPBOARD, "other"); ""' >/dev/null
  app_expect_exit "another program took the clipboard"
}
