# shellcheck shell=bash
# The clipboard helper ends with the display: after a crop and "Exit" the
# helper serves the crop; when the X server is killed, no process of ours is
# left.

scenario() {
  launch_and_select # 200 x 150 pixels at 100,100 selected
  local win=$APP_WIN
  wait_for 5 "the crop on the clipboard" clipboard_has_target image/png
  click_exit "$win"
  app_expect_exit "clicking Exit"
  assert_eq 1 "$(helper_count)" "clipboard helpers after Exit"

  kill -KILL "$XVFB_PID"
  wait "$XVFB_PID" 2>/dev/null || true
  XVFB_PID=
  wait_for 5 "no process of ours to be left" no_process_of_ours
}
