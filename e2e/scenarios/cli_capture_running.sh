# shellcheck shell=bash
# With the program running, `zentrim-screen --capture` hands the capture to
# it and ends at once with status 0: the one window captures.

scenario() {
  x11_start_session_bus
  e2e_set_background
  app_launch
  app_second_start --capture
  assert_eq 0 "$SECOND_STATUS" "the second start's exit status"
  ((SECOND_MS < 1000)) || fail "the second start took $SECOND_MS ms to end"
  capture_done "$APP_WIN"
  surface_shows_screen "$APP_WIN"
  assert_eq 1 "$(app_window_count)" "windows of the program"
  app_running || fail "the running program ended"
}
