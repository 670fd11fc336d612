# shellcheck shell=bash
# KWin checks who may copy the screen (no test bypass): the program started
# from where it is installed, with its menu entry installed where KWin looks,
# copies the screen through KWin's screenshot interface, exactly.
# shellcheck disable=SC2034 # read by run-scenario.sh and e2e/kwin.sh
E2E_DESKTOP=kwin
KWIN_SCREENSHOT_CHECKS=1
KWIN_DATA_DIRS=$E2E_TMP/wl/prefix/share

scenario() {
  kwin_install_program
  kwin_set_background "$(e2e_pattern_file)"
  # shellcheck disable=SC2034 # read by wl_app_start
  WL_APP_ENV=(QT_LOGGING_RULES=zentrim.capture.debug=true)
  kwin_app_launch
  local x y w h
  read -r x y w h <<<"$APP_RECT"
  kwin_capture_and_crop "$x" "$y" "$w" "$h"
  grep -q 'capture backend: "kwin"' "$E2E_TMP/app.log" || fail "the program did not choose KWin's screenshot"
  ! grep -q unavailable "$E2E_TMP/app.log" || fail "KWin refused the installed program: $(grep unavailable "$E2E_TMP/app.log")"
}
