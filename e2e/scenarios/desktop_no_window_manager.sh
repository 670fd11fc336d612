# shellcheck shell=bash
# shellcheck disable=SC2034 # the E2E_* settings are read by the library
# Without a window manager nothing minimises the window: the capture takes
# it off the screen itself, so the copy shows the desktop and not the
# window, and brings it back filling the screen, laid out and painted whole.

e2e_use desktops

E2E_WM=none

scenario() {
  set_wallpaper
  check_capture_paths 0 0 1920 1080
  check_capture_here "no window manager" 0 0 1920 1080 1
  # The last run's window, before it ended, was checked for its size; the
  # tool bar must also have been painted: run once more and look at it.
  app_launch
  local win=$APP_WIN
  click_client "$win" 56 733
  wait_for 10 "the window to come back filling the screen" _back_maximised "$win"
  # The tool bar along the bottom: its white background and the Capture
  # button's face at their places for a 1920 x 1080 client.
  wait_for 5 "the tool bar along the bottom edge" client_pixel_is "$win" 3 1077 FFFFFF
  local shot=$E2E_TMP/toolbar.png
  screenshot_region 0 1007 1920 73 "$shot"
  local colours
  colours=$("$IM_CONVERT" "$shot" -unique-colors -format '%w' info:-)
  ((colours > 20)) || fail "the tool bar shows only $colours colours: not painted"
}
