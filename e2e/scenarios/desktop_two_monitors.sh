# shellcheck shell=bash
# Two monitors side by side, the primary one on the right at 1920,0: the
# copy is the primary monitor's, one to one, with shared memory and with
# Qt's own grab (which once added the monitor's origin twice).

E2E_SCREEN_W=3840
E2E_SCREEN_H=1080

scenario() {
  set_two_monitors
  set_wallpaper
  check_capture_paths 1920 0 1920 1080
  check_capture_here "primary on the right" 1920 0 1920 1080 1
  export QT_X11_NO_MITSHM=1
  check_capture_here "primary on the right, Qt's grab" 1920 0 1920 1080 1
  unset QT_X11_NO_MITSHM
}
