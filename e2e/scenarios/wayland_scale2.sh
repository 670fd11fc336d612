# shellcheck shell=bash
# sway with its output at scale 2 (3840 x 2160 device pixels): the window
# keeps its normal logical size, the surface shows the screencopy one image
# pixel to one device pixel, and a drag over 401 x 299 device pixels from an
# odd one (half a logical pixel) puts exactly those pixels on the clipboard,
# kept after Exit.
# shellcheck disable=SC2034 # read by run-scenario.sh and e2e/wayland.sh
E2E_DESKTOP=wayland E2E_SCREEN_W=3840 E2E_SCREEN_H=2160 WL_SCALE=2

scenario() {
  wl_capture_crop_exit 301 201 401 299
  assert_eq "0 0 1920 1080" "$APP_RECT" "the window's logical size"
}
