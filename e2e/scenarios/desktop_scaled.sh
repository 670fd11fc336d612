# shellcheck shell=bash
# shellcheck disable=SC2034 # the E2E_* settings are read by the library
# A Qt scale factor on a 3840 x 2160 screen, as on a high-density display:
# the interface is twice as large, and still the surface shows one pixel of
# the copy on one pixel of the screen, and a drag over 400 x 300 screen
# pixels crops 400 x 300 pixels. Once with the factor for every screen
# (QT_SCALE_FACTOR), once as a scaled KDE session sets it: the factor for
# the screen by name (QT_SCREEN_SCALE_FACTORS) and 192 dots per inch.

e2e_use desktops

E2E_SCREEN_W=3840
E2E_SCREEN_H=2160

scenario() {
  set_wallpaper
  export QT_SCALE_FACTOR=2
  check_capture_paths 0 0 3840 2160
  check_capture_here "QT_SCALE_FACTOR=2" 0 0 3840 2160 2
  unset QT_SCALE_FACTOR
  # Xvfb's one output is called "screen".
  set_xft_dpi 192
  export QT_SCREEN_SCALE_FACTORS='screen=2'
  check_capture_here "QT_SCREEN_SCALE_FACTORS=screen=2 at Xft.dpi 192" 0 0 3840 2160 2
  unset QT_SCREEN_SCALE_FACTORS
}
