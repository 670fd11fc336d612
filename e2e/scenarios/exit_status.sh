# shellcheck shell=bash
# The Exit button ends the program with status 0 within 5 seconds.

scenario() {
  app_launch
  click_client "$APP_WIN" "${ZS_EXIT_BUTTON[@]}"
  app_expect_exit "clicking Exit"
}
