# shellcheck shell=bash
# `zentrim-screen --capture` with no program running starts straight into a
# capture: the window comes up maximised with the screen's pixels on its
# surface, not the start panel.

scenario() {
  x11_start_session_bus
  e2e_set_background
  app_start --capture
  app_window 20
  capture_done "$APP_WIN"
  surface_shows_screen "$APP_WIN"
}
