# shellcheck shell=bash
# KWin at output scale 2 (3840x2160 device pixels): the window keeps its
# normal logical size, the copy fills the output one image pixel to one
# device pixel, and a drag over 400 x 300 device pixels puts exactly those
# pixels of the wallpaper pattern on the clipboard.
# shellcheck disable=SC2034 # read by run-scenario.sh and e2e/kwin.sh
E2E_DESKTOP=kwin
E2E_SCREEN_W=3840
E2E_SCREEN_H=2160
KWIN_SCALE=2

scenario() {
  kwin_set_background "$(e2e_pattern_file)"
  # shellcheck disable=SC2034 # read by wl_app_start
  WL_APP_ENV=(QT_LOGGING_RULES=zentrim.capture.debug=true)
  kwin_app_launch
  local x y w h
  read -r x y w h <<<"$APP_RECT"
  # Logical 1037 x 770 at scale 1: twice that in device pixels, not four times.
  ((w < 2 * 1200 && h < 2 * 900)) || fail "the window is drawn at double size ($APP_RECT device pixels)"
  kwin_capture_and_crop "$x" "$y" "$w" "$h" 400 300
  grep -q 'capture backend: "kwin"' "$E2E_TMP/app.log" ||
    fail "the program did not choose KWin's screenshot: $(grep capture "$E2E_TMP/app.log" | head -n 3)"
}
