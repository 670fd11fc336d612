# shellcheck shell=bash
# shellcheck disable=SC2034 # the E2E_* settings are read by the library
# One desktop, three runs: at 120 and at 144 dots per inch (Xft.dpi: twips
# per pixel 12 and 10, the window 1.25 and 1.5 times as large), and with
# shared memory turned off (QT_X11_NO_MITSHM, Qt's own grab). Each copies
# the screen one to one and crops exactly the pixels dragged over.

e2e_use desktops

# Large enough for the window at 144 dpi (1568 x 1202 pixels).
E2E_SCREEN_W=2560
E2E_SCREEN_H=1440

scenario() {
  set_wallpaper
  check_capture_paths 0 0 2560 1440
  set_xft_dpi 120
  check_capture_here "Xft.dpi 120" 0 0 2560 1440 1.25
  set_xft_dpi 144
  check_capture_here "Xft.dpi 144" 0 0 2560 1440 1.5
  set_xft_dpi 96
  export QT_X11_NO_MITSHM=1
  check_capture_here "QT_X11_NO_MITSHM=1" 0 0 2560 1440 1
  unset QT_X11_NO_MITSHM
}
