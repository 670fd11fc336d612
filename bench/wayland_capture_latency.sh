# shellcheck shell=bash
# "Capture" click to the copy on screen on a Wayland desktop, measured from
# outside the program as a user sees it: headless sway (the default), KWin
# (LATENCY_DESKTOP=kwin) or GNOME Shell (LATENCY_DESKTOP=gnome), each with
# the backend the program chooses there unless ZENTRIM_CAPTURE_BACKEND says
# otherwise. Run it through the end-to-end harness, which starts the
# desktop and stops everything afterwards:
#
#   LATENCY_DESKTOP=kwin bash e2e/run-scenario.sh bench/wayland_capture_latency.sh build/app/zentrim-screen
#
# Two background colours take turns. Before each click the probe
# (e2e/tools/screen_probe.cpp, beside the program's build) starts polling a
# pixel of the surface and one of the tool bar through the compositor's
# own fast path; the time runs from the pointer's release (as on X11) to the
# end of the first poll that sees the new colour on the surface with the
# tool bar back (a hidden window showing the background does not count).
# The probe prints its slowest poll: the figure's resolution. A warm-up
# capture first brings the window to its maximised place.
# LATENCY_RUNS (default 12) sets the number of captures; the median and the
# range are printed. bench/wayland-vs-x11-latency.sh runs it beside the X11
# figure.
# shellcheck disable=SC2034 # read by run-scenario.sh
E2E_DESKTOP=${LATENCY_DESKTOP:-wayland}

_lat_probe_bin() {
  local probe=${E2E_SCREEN_PROBE:-$(dirname "$APP")/../e2e/screen-probe}
  [[ -x $probe ]] || fail "the helper screen-probe was not built (set E2E_SCREEN_PROBE)"
  cp "$probe" "$WL_DIR/bin/screen-probe"
  chmod a+rx "$WL_DIR/bin/screen-probe"
}

# _lat_background RRGGBB: the desktop's background in that colour.
LAT_BG_PID=
_lat_background() {
  if [[ $E2E_DESKTOP == gnome ]]; then
    # A picture of its own per colour: the shell loads a new file name at
    # once (a changed colour alone was seen to be taken late or not at all).
    local file=$WL_DIR/bg-$1.png
    [[ -e $file ]] || { "$IM_CONVERT" -size 1920x1080 "xc:#$1" "PNG24:$file" && chmod 644 "$file"; }
    gn_eval "(s => { s.set_string(\"picture-uri\", \"file://$file\"); s.set_string(\"picture-uri-dark\", \"file://$file\"); return \"\"; })(new imports.gi.Gio.Settings({schema_id: \"org.gnome.desktop.background\"}))" >/dev/null
  else
    _stop_pid "$LAT_BG_PID" 2>/dev/null || true
    wl_spawn swaybg -o "$WL_OUTPUT" -m solid_color -c "#$1" >/dev/null 2>&1
    LAT_BG_PID=$WL_SPAWNED
  fi
}

# _lat_window: APP_RECT, the program's client area in device pixels.
_lat_window() {
  case $E2E_DESKTOP in
    wayland) wl_app_window ;;
    kwin) kwin_app_window ;;
    gnome) gn_app_window ;;
  esac
}

_lat_press_at() { # X Y: the pointer there, clicked; LAT_T0 before the release
  if [[ $E2E_DESKTOP == gnome ]]; then
    # shellcheck disable=SC2046 # two numbers
    wl_pointer_to $(gn_at "$1" "$2")
  else
    wl_pointer_to "$1" "$2"
  fi
  wl_press 1
  LAT_T0=${EPOCHREALTIME/./}
  wl_release 1
}

# _lat_probe_args: the probe's backend and place on this desktop.
_lat_probe_args() {
  case $E2E_DESKTOP in
    wayland) echo wlr "$WL_OUTPUT" ;;
    kwin) echo kwin - ;;
    gnome) echo gnome "$GN_SHOTS" ;;
  esac
}

# _lat_click_capture: clicks the tool bar's "Capture" (client 56 from the
# left, 25 from the bottom: inside the button on all three desktops, whose
# decorations leave the tool bar a few pixels more or less room);
# LAT_T0 is the moment the release is sent (the button acts on it; the
# helper's press takes tens of milliseconds to confirm).
_lat_click_capture() {
  local x y h
  read -r x y _ h <<<"$APP_RECT"
  _lat_press_at $((x + 56)) $((y + h - 25))
}

# _lat_capture COLOUR: one capture; sets LAT_MS, the milliseconds from the
# click to the copy shown, LAT_POLLS and LAT_SLOWEST (the probe's polls
# after the click and the slowest of them, in ms).
_lat_capture() {
  local want=$1 x y w h log=$E2E_TMP/probe.log args
  read -r x y w h <<<"$APP_RECT"
  read -ra args < <(_lat_probe_args)
  : >"$log"
  # Quiet for 0.3 s after the click: the program waits 0.4 s before it
  # copies, and the probe's polls would compete with it for the compositor.
  wl_spawn env PROBE_QUIET_MS=300 "$WL_DIR/bin/screen-probe" "${args[@]}" 10000 \
    "$((x + 300)),$((y + h - 300))=$want" "$((x + 3)),$((y + h - 3))=FFFFFF" >"$log" 2>&1
  local probe=$WL_SPAWNED at
  wait_for 10 "the probe's first look at the screen" grep -q '^ready' "$log"
  _lat_click_capture
  kill -USR1 "$probe"
  wait "$probe" || fail "the surface did not show #$want within 10 s: $(tail -n 1 "$log")"
  read -r _ at LAT_POLLS LAT_SLOWEST < <(grep '^shown' "$log")
  LAT_MS=$(((at - LAT_T0) / 1000))
}

# _lat_maximised RECT-BEFORE: the window is back maximised after the
# warm-up capture (sway tiles it over the output from the start).
_lat_maximised() {
  case $E2E_DESKTOP in
    wayland) wl_pixel_is 300 300 3366CC ;;
    kwin) _kwin_app_maximised "$1" ;;
    gnome) _gn_back_maximised ;;
  esac
}

scenario() {
  local runs=${LATENCY_RUNS:-12}
  _lat_probe_bin
  case $E2E_DESKTOP in
    wayland | gnome) wl_portal_ready ;;
  esac
  _lat_background 3366CC
  # shellcheck disable=SC2034 # read by wl_app_start
  [[ -z ${ZENTRIM_CAPTURE_BACKEND:-} ]] || WL_APP_ENV=(ZENTRIM_CAPTURE_BACKEND="$ZENTRIM_CAPTURE_BACKEND")
  case $E2E_DESKTOP in
    wayland) wl_app_launch ;;
    kwin) kwin_app_launch ;;
    gnome) gn_app_launch ;;
  esac
  e2e_log "capture backend: $(wl_capture_backend)"
  # The warm-up: the window ends maximised, where the measured ones start.
  local before=$APP_RECT
  _lat_click_capture
  wait_for 15 "the window to come back maximised" _lat_maximised "$before"
  sleep 1 # let the start-up settle before the first measurement
  _lat_window

  local i want times=() slowest=0
  for ((i = 1; i <= runs; i++)); do
    if ((i % 2)); then want=CC9933; else want=3366CC; fi
    _lat_background "$want"
    sleep 0.5 # the background draws behind the program's maximised window
    _lat_capture "$want"
    times+=("$LAT_MS")
    ((LAT_SLOWEST <= slowest)) || slowest=$LAT_SLOWEST
    e2e_log "capture $i: $LAT_MS ms ($LAT_POLLS polls after the click, slowest $LAT_SLOWEST ms)"
  done
  local sorted
  sorted=$(printf '%s\n' "${times[@]}" | sort -n)
  e2e_log "click to copy shown on $E2E_DESKTOP over $runs captures (load $(cut -d' ' -f1-3 /proc/loadavg)): median $(sed -n "$(((runs + 1) / 2))p" <<<"$sorted") ms, min $(head -n 1 <<<"$sorted") ms, max $(tail -n 1 <<<"$sorted") ms, slowest poll $slowest ms"
}
