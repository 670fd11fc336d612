# shellcheck shell=bash
# KWin with two outputs, the one Qt calls primary (Virtual-0) right of the
# other, which lies at the layout's origin: the wallpaper pattern on the
# primary one, a flat colour on the other. KWin opens the window on the
# output under the pointer: once on the primary output, once on the other.
# Each time it comes back maximised over one output, and a drag crops
# exactly the pattern: the copy holds the primary output's pixels only,
# wherever it and the window stand in the layout.
# shellcheck disable=SC2034 # read by run-scenario.sh and e2e/kwin.sh
E2E_DESKTOP=kwin
KWIN_OUTPUTS=2
KWIN_PRIMARY_RIGHT=1

# capture_on_output LEFT RIGHT CW CH: the program opened with the pointer
# parked in the bottom-left corner of LEFT..RIGHT (device pixels), its window
# found there, Capture and a drag over CW x CH checked, then Exit. Each call
# crops a size of its own: the crop the last one left on the clipboard must
# not pass for this one's.
capture_on_output() {
  local left=$1 right=$2 x y w h
  wl_pointer_to "$left" 1079
  kwin_app_launch
  read -r x y w h <<<"$APP_RECT"
  ((x >= left && x + w <= right)) || fail "the window did not open on the output under the pointer ($APP_RECT)"
  kwin_capture_and_crop "$x" "$y" "$w" "$h" "$3" "$4"
  read -r x y w h <<<"$APP_RECT"
  if [[ "$y $w $h" != "0 1920 1080" ]] || ((x != 0 && x != 1920)); then
    fail "the maximised window does not cover one output exactly ($APP_RECT)"
  fi
  grep -q 'capture backend: "kwin"' "$E2E_TMP/app.log" ||
    fail "the program did not choose KWin's screenshot: $(grep capture "$E2E_TMP/app.log" | head -n 3)"
  wl_click $((x + w - 57)) $((y + h - 37))
  app_expect_exit "clicking Exit"
}

scenario() {
  assert_eq "Virtual-0 1920 0 1920 1080 1" "$(kwin_qt_primary)" "the screen Qt calls primary"
  kwin_set_background "$(e2e_pattern_file)"
  wl_spawn swaybg -o Virtual-1 -c '#ff00ff' >"$WL_DIR/swaybg-1.log" 2>&1
  # shellcheck disable=SC2034 # read by wl_app_start
  WL_APP_ENV=(QT_LOGGING_RULES=zentrim.capture.debug=true)
  capture_on_output 1920 3840 200 150
  capture_on_output 0 1920 300 200
}
