# shellcheck shell=bash
# KWin checks who may copy the screen and refuses the program started from
# the build (no installed menu entry names it): the capture moves on to the
# desktop portal for good, says so in its log, and where no portal offers
# screenshots (this desktop's portal folder is empty) a message says that,
# with the start panel left as it was.
# shellcheck disable=SC2034 # read by run-scenario.sh and e2e/kwin.sh
E2E_DESKTOP=kwin
KWIN_SCREENSHOT_CHECKS=1

scenario() {
  # shellcheck disable=SC2034 # read by wl_app_start
  WL_APP_ENV=(QT_LOGGING_RULES=zentrim.capture.debug=true)
  kwin_app_launch
  local x y w h
  read -r x y w h <<<"$APP_RECT"
  wl_click $((x + 56)) $((y + h - 37))
  wait_for 30 "a message window of the program" _kwin_app_windows_are 2
  grep -q 'capture backend kwin is unavailable, using portal' "$E2E_TMP/app.log" ||
    fail "no log line about passing KWin over: $(grep -i capture "$E2E_TMP/app.log" | head -n 3)"
  grep -q 'NoAuthorized\|does not let this program' "$E2E_TMP/app.log" ||
    fail "the log does not say KWin refused: $(grep unavailable "$E2E_TMP/app.log")"
}

_kwin_app_windows_are() {
  [[ $(kwin_windows | awk -v pid="$APP_PID" '$1 == pid && $6 == 0' | wc -l) -ge $1 ]]
}
