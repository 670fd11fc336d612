# shellcheck shell=bash
# KWin with two outputs, the one Qt calls primary (Virtual-0) right of the
# other, which lies at the layout's origin: the wallpaper pattern on the
# primary one, a flat colour on the other. The window opens on the primary
# output (under the pointer), comes back maximised over one output, and a
# drag crops exactly the pattern: the copy holds the primary output's pixels
# only, wherever it stands in the layout.
# shellcheck disable=SC2034 # read by run-scenario.sh and e2e/kwin.sh
E2E_DESKTOP=kwin
KWIN_OUTPUTS=2
KWIN_PRIMARY_RIGHT=1

scenario() {
  assert_eq "Virtual-0 1920 0 1920 1080 1" "$(kwin_qt_primary)" "the screen Qt calls primary"
  kwin_set_background "$(e2e_pattern_file)"
  wl_spawn swaybg -o Virtual-1 -c '#ff00ff' >"$WL_DIR/swaybg-1.log" 2>&1
  # shellcheck disable=SC2034 # read by wl_app_start
  WL_APP_ENV=(QT_LOGGING_RULES=zentrim.capture.debug=true)
  kwin_app_launch
  local x y w h
  read -r x y w h <<<"$APP_RECT"
  ((x >= 1920)) || fail "the window did not open on the primary output under the pointer ($APP_RECT)"
  kwin_capture_and_crop "$x" "$y" "$w" "$h"
  read -r x y w h <<<"$APP_RECT"
  if [[ "$y $w $h" != "0 1920 1080" ]] || ((x != 0 && x != 1920)); then
    fail "the maximised window does not cover one output exactly ($APP_RECT)"
  fi
  grep -q 'capture backend: "kwin"' "$E2E_TMP/app.log" ||
    fail "the program did not choose KWin's screenshot: $(grep capture "$E2E_TMP/app.log" | head -n 3)"
}
