# shellcheck shell=bash
# The Exit button ends the program with status 0 within 5 seconds.

scenario() {
  app_launch
  click_client "$APP_WIN" "${ZS_EXIT_BUTTON[@]}"
  app_wait_exit 5 || fail "still running 5 s after clicking Exit"
  assert_eq 0 "$APP_STATUS" "exit status"
}
