# shellcheck shell=bash
# Without a session bus (an address nothing listens on) the program starts
# normally and works; --verbose writes the diagnostics a bug report needs.

scenario() {
  # shellcheck disable=SC2034 # read by app_start (e2e/x11.sh)
  E2E_DBUS_ADDRESS=unix:path=$E2E_TMP/no-bus-here
  e2e_set_background
  app_launch --verbose
  capture_screen "$APP_WIN"
  surface_shows_screen "$APP_WIN"
  grep -q "capture backend:" "$E2E_TMP/app.log" ||
    fail "--verbose did not log the capture backend: $(tail -n 3 "$E2E_TMP/app.log")"
  grep -q "no session bus" "$E2E_TMP/app.log" ||
    fail "--verbose did not log the missing session bus"
}
