# shellcheck shell=bash
# The capture checked on other desktops than the usual one: several
# monitors, 16-bit colour, no window manager, other dots per inch, Qt scale
# factors. Sourced by `e2e_use desktops` at a desktop_* scenario's top
# level; brings the X11 desktop (e2e/x11.sh). A scenario chooses its desktop
# with E2E_SCREEN_W, E2E_SCREEN_H, E2E_SCREEN_DEPTH and E2E_WM at its top
# level, sets the monitors and the wallpaper once, then checks one or more
# runs of the program on that one desktop with check_capture_here.

e2e_use x11

# set_two_monitors: splits the 3840-pixel-wide screen into LEFT and RIGHT,
# 1920 each, with RIGHT the primary one (Qt's primary screen), at 1920,0.
set_two_monitors() {
  xrandr --setmonitor LEFT 1920/508x1080/286+0+0 none
  xrandr --setmonitor '*RIGHT' 1920/508x1080/286+1920+0 none
  wait_for 5 "xrandr to list RIGHT as the primary monitor" _primary_monitor_is RIGHT
}

# check_primary_on_the_right: on the 3840 x 1080 screen split by
# set_two_monitors, every way of copying gives the right-hand primary
# monitor, and the program's capture shows it one to one, with shared
# memory and with Qt's own grab.
check_primary_on_the_right() {
  set_two_monitors
  set_wallpaper
  check_capture_paths 1920 0 1920 1080
  check_capture_here "primary on the right" 1920 0 1920 1080 1
  export QT_X11_NO_MITSHM=1
  check_capture_here "primary on the right, Qt's grab" 1920 0 1920 1080 1
  unset QT_X11_NO_MITSHM
}

_primary_monitor_is() { xrandr --listmonitors | grep -q " \*$1 "; }

# set_xft_dpi DPI: the dots per inch Qt reads at start (the server keeps
# resources between clients only because it runs with -noreset).
set_xft_dpi() {
  echo "Xft.dpi: $1" | xrdb -merge
  [[ $(xrdb -query | awk '$1 == "Xft.dpi:" { print $2 }') == "$1" ]] || fail "Xft.dpi did not take $1"
}

# set_wallpaper: the pattern, screen-sized, as the root window's background
# across all monitors (feh places it per monitor unless --no-xinerama), then
# $E2E_TMP/reference.png: what the screen shows, the truth every copy is
# compared with (at depth 16, the server's 16-bit colours).
set_wallpaper() {
  local pattern
  pattern=$(e2e_pattern_file)
  feh --no-fehbg --no-xinerama --bg-center "$pattern" >"$E2E_TMP/feh.log" 2>&1 ||
    fail "feh could not set the wallpaper: $(tail -n 3 "$E2E_TMP/feh.log")"
  wait_for 5 "the wallpaper to show" _screen_is_like "$pattern"
  screenshot "$E2E_TMP/reference.png"
}

# At depth 16 the pattern keeps only the top 5 or 6 bits of each channel.
_screen_is_like() {
  screenshot "$E2E_TMP/root-check.png" && images_alike "$1" "$E2E_TMP/root-check.png" 7% >/dev/null
}

# images_alike A B [FUZZ]: images_identical, but at depth 16 colours closer
# than FUZZ (default 1%, about two steps of 255) count as the same: each
# program widens the server's 5 and 6 bits to 8 in its own way.
images_alike() {
  if ((E2E_SCREEN_DEPTH != 16)); then
    images_identical "$1" "$2"
    return
  fi
  local sa sb out rc=0
  if ! sa=$(image_size "$1") || ! sb=$(image_size "$2"); then
    echo "unreadable"
    return 1
  fi
  [[ $sa == "$sb" ]] || { echo "size ${sa/ /x} vs ${sb/ /x}"; return 1; }
  out=$("$IM_COMPARE" -metric AE -fuzz "${3:-1%}" "$1" "$2" null: 2>&1) || rc=$?
  ((rc <= 1)) || { echo "compare failed: $out"; return 1; }
  printf '%s\n' "$out"
  [[ $out == 0 ]]
}

# reference_crop X Y W H OUT: that part of the screen as it was before the
# program started.
reference_crop() {
  "$IM_CONVERT" "$E2E_TMP/reference.png" -crop "${3}x${4}+${1}+${2}" +repage "PNG24:$5"
}

# check_capture_here NAME PX PY PW PH K: one run of the program on this
# desktop. PX,PY PW x PH is the primary monitor in screen pixels, and K how
# many screen pixels the program's window takes for one at 96 dpi (1.25 at
# 120 dpi, 2 with QT_SCALE_FACTOR=2), as an awk number. Starts the program (with whatever
# QT_* variables the caller exported), captures with the tool bar's button,
# and checks that
#   - the window comes back maximised over the primary monitor,
#   - the surface shows the screen one to one where the window stood (so the
#     window is not in the copy),
#   - a drag of 400 x 300 screen pixels puts exactly that part of the screen
#     on the clipboard;
# then ends the program.
check_capture_here() {
  local name=$1 px=$2 py=$3 pw=$4 ph=$5 k=$6
  e2e_log "--- $name"
  app_start
  app_window 20
  local win=$APP_WIN ox oy ow oh s
  # Ready for clicks once the white start panel is painted.
  s=$(awk -v k="$k" 'BEGIN { printf "%d", 24 * k }')
  wait_for 10 "the start panel to be painted (white at client $s,$s)" \
    client_pixel_is "$win" "$s" "$s" FFFFFF
  read -r ox oy ow oh < <(win_outer_geometry "$win")
  local cx cy cw ch
  read -r cx cy cw ch < <(win_client_geometry "$win")
  # The tool bar's Capture: 56 pixels from the left, 37 from the bottom at
  # 15 twips per pixel.
  local bx by
  bx=$(awk -v k="$k" 'BEGIN { printf "%d", 56 * k }')
  by=$((ch - $(awk -v k="$k" 'BEGIN { printf "%d", 37 * k }')))
  click_client "$win" "$bx" "$by"
  wait_for 10 "the window to come back maximised" _back_maximised "$win"
  read -r cx cy cw ch < <(win_client_geometry "$win")
  e2e_log "$name: the window stood at $ox,$oy (${ow}x$oh); back at $cx,$cy (${cw}x$ch)"
  ((cx >= px && cy >= py && cx + cw <= px + pw && cy + ch <= py + ph)) ||
    fail "$name: the maximised window ($cx,$cy ${cw}x$ch) is not on the primary monitor at $px,$py"
  # The pointer away in the top-right corner, and with it the cross-hair.
  pointer_to $((cx + cw - 60)) $((cy + 20))

  # Where the window stood, in the primary monitor's pixels, as far as the
  # surface shows it (short of the scroll bars and the tool bar).
  local bar tools
  bar=$(awk -v k="$k" 'BEGIN { printf "%d", 25 * k + 2 }')
  tools=$(awk -v k="$k" 'BEGIN { printf "%d", 73 * k + 2 }')
  local rx=$((ox - px)) ry=$((oy - py))
  ((rx < 0)) && rx=0
  ((ry < 40)) && ry=40
  local rw=$((ox - px + ow < cw - bar - 80 ? ox - px + ow - rx : cw - bar - 80 - rx))
  local rh=$((oy - py + oh < ch - bar - tools ? oy - py + oh - ry : ch - bar - tools - ry))
  ((rw > 100 && rh > 100)) || fail "$name: too little of where the window stood is in view (${rw}x$rh)"
  wait_for 5 "$name: the surface to show the screen where the window stood, one to one" \
    _client_shows_reference "$win" "$rx" "$ry" "$rw" "$rh" $((px + rx)) $((py + ry))

  # 400 x 300 screen pixels from client 150,150.
  drag_client "$win" 150 150 550 450
  wait_for 5 "$name: the clipboard to hold the 400x300 pixels under the drag" \
    _clipboard_is_reference $((px + 150)) $((py + 150)) 400 300
  app_stop
}

_back_maximised() {
  win_maximised "$1" && [[ $(win_map_state "$1") == IsViewable ]] || return 1
  # Without a window manager the program sizes itself: wait for the size.
  [[ $E2E_WM != none ]] || [[ $(win_client_geometry "$1") == "0 0 $E2E_SCREEN_W $E2E_SCREEN_H" ]]
}

_client_shows_reference() { # WIN X Y W H RX RY
  local ax ay
  read -r ax ay < <(client_to_root "$1" "$2" "$3")
  screenshot_region "$ax" "$ay" "$4" "$5" "$E2E_TMP/client-region.png" || return 1
  reference_crop "$6" "$7" "$4" "$5" "$E2E_TMP/reference-region.png"
  images_alike "$E2E_TMP/reference-region.png" "$E2E_TMP/client-region.png" >"$E2E_TMP/last-compare.txt"
}

_clipboard_is_reference() { # X Y W H
  clipboard_png "$E2E_TMP/clipboard.png" || return 1
  reference_crop "$1" "$2" "$3" "$4" "$E2E_TMP/expected.png"
  images_alike "$E2E_TMP/expected.png" "$E2E_TMP/clipboard.png" >"$E2E_TMP/last-compare.txt"
}

# check_capture_paths PX PY W H [SHM]: the X11 capture tests
# (tests/x11/x11_capture_test.cpp, $ZS_X11_CAPTURE_TESTS) on this desktop:
# every way of copying returns the primary monitor (PX,PY W x H device
# pixels) of a known root picture exactly. SHM lists the shared-memory ways
# the server must allow (default "fd,id").
check_capture_paths() {
  [[ -x ${ZS_X11_CAPTURE_TESTS:-} ]] || fail "ZS_X11_CAPTURE_TESTS does not name the X11 capture tests"
  ZS_EXPECT_PRIMARY="$1,$2,$3,$4" ZS_EXPECT_SHM=${5-fd,id} \
    "$ZS_X11_CAPTURE_TESTS" --gtest_filter='X11Capture.*' >"$E2E_TMP/x11-capture-tests.log" 2>&1 ||
    fail "the X11 capture tests failed: $(grep -E 'Failure|FAILED|: ' "$E2E_TMP/x11-capture-tests.log" | head -n 6 | tr '\n' ' ')"
  e2e_log "X11 capture tests: $(grep -E '^\[  PASSED' "$E2E_TMP/x11-capture-tests.log")"
}
