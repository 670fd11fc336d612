# shellcheck shell=bash
# sway with two outputs, Qt's primary one (HEADLESS-1) right of the other:
# "Capture" copies exactly the primary output's pixels (the other shows a
# plain colour, which must not appear), and a crop of it is exact.
# shellcheck disable=SC2034 # read by run-scenario.sh and e2e/wayland.sh
E2E_DESKTOP=wayland WL_LEFT_OUTPUT=1

scenario() {
  wl_capture_crop_exit 1500 700 400 300
  assert_eq "1920 0 1920 1080" "$APP_RECT" "the window on the primary output, right of the other"
}
