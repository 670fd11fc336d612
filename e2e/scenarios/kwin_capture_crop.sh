# shellcheck shell=bash
# On KDE Plasma (headless KWin) the program opens as a floating window,
# "Capture" copies the screen through KWin's own screenshot interface (the
# program's capture log names the backend), a drag puts exactly that part of
# the wallpaper pattern on the clipboard, and after "Exit" the clipboard
# helper keeps the crop (KWin offers data-control).
# shellcheck disable=SC2034 # read by run-scenario.sh
E2E_DESKTOP=kwin

scenario() {
  kwin_set_background "$(e2e_pattern_file)"
  # shellcheck disable=SC2034 # read by wl_app_start
  WL_APP_ENV=(QT_LOGGING_RULES=zentrim.capture.debug=true)
  kwin_app_launch
  local x y w h
  read -r x y w h <<<"$APP_RECT"
  ((w < 1920 || h < 1080)) || fail "the window fills the output ($APP_RECT): not floating"
  kwin_capture_and_crop "$x" "$y" "$w" "$h"
  grep -q 'capture backend: "kwin"' "$E2E_TMP/app.log" ||
    fail "the program did not choose KWin's screenshot: $(grep capture "$E2E_TMP/app.log" | head -n 3)"
  ! grep -q unavailable "$E2E_TMP/app.log" || fail "KWin's screenshot was passed over: $(grep unavailable "$E2E_TMP/app.log")"

  read -r x y w h <<<"$APP_RECT"
  wl_click $((x + w - 57)) $((y + h - 37))
  app_expect_exit "clicking Exit"
  local type
  for type in image/png image/bmp; do
    # shellcheck disable=SC2086 # KWIN_CROP is "X Y W H"
    wl_clipboard_is_pattern "$type" $KWIN_CROP || fail "after Exit the clipboard's $type is not the crop"
  done
  assert_eq 1 "$(helper_count)" "clipboard helpers after Exit"
}
