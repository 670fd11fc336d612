# shellcheck shell=bash
# "Capture" click to the copy on screen, on a Wayland desktop (headless sway;
# the program copies through screencopy unless ZENTRIM_CAPTURE_BACKEND says
# otherwise), measured from outside the program as a user sees it. Run it through the end-to-end harness, which starts the desktop
# and stops everything afterwards:
#
#   bash e2e/run-scenario.sh bench/wayland_capture_latency.sh build/app/zentrim-screen
#
# Two backgrounds take turns; after each click the screen is polled until
# the surface shows the new one while the tool bar is back (so a hidden
# window showing the background itself does not count). One poll (two grims
# of one pixel each) takes about 50-100 ms, which bounds the resolution.
# LATENCY_RUNS (default 12) sets the number of captures; the median and the
# range are printed. bench/wayland-vs-x11-latency.sh runs it beside the X11
# figure.
# shellcheck disable=SC2034 # read by run-scenario.sh
E2E_DESKTOP=wayland

_latency_pixel_pair() { # prints the surface pixel and the tool bar pixel
  printf '%s %s\n' "$(wl_pixel 700 400)" "$(wl_pixel 108 1040)"
}

_latency_toolbar_shown() { [[ $(wl_pixel 108 1040) == FFFFFF ]]; }

scenario() {
  local runs=${LATENCY_RUNS:-12}
  wl_portal_ready
  local a=$E2E_TMP/bg-a.png
  "$IM_CONVERT" -size 1920x1080 xc:'#3366CC' "PNG24:$a"
  wl_set_background "$a"
  WL_SPAWNED_BG=$WL_SPAWNED
  # shellcheck disable=SC2034 # read by wl_app_start
  [[ -z ${ZENTRIM_CAPTURE_BACKEND:-} ]] || WL_APP_ENV=(ZENTRIM_CAPTURE_BACKEND="$ZENTRIM_CAPTURE_BACKEND")
  wl_app_start
  wl_app_window
  e2e_log "capture backend: $(wl_capture_backend)"
  wait_for 10 "the tool bar" _latency_toolbar_shown
  sleep 1 # let the start-up settle before the first measurement
  # Between the tool bar's first two buttons: its white background.
  local toolbar=FFFFFF

  local i want t0 t1 times=() pair
  for ((i = 1; i <= runs; i++)); do
    if ((i % 2)); then want=CC9933; else want=3366CC; fi
    _stop_pid "$WL_SPAWNED_BG" 2>/dev/null || true
    wl_spawn swaybg -o "$WL_OUTPUT" -m solid_color -c "#$want" >/dev/null 2>&1
    WL_SPAWNED_BG=$WL_SPAWNED
    sleep 0.5 # swaybg draws behind the program's tiled window
    wl_pointer_to "${WL_CAPTURE_BUTTON[@]}"
    t0=$(date +%s%3N)
    wl_press 1
    wl_release 1
    while true; do
      pair=$(_latency_pixel_pair) || true
      [[ $pair == "$want $toolbar" ]] && break
      (($(date +%s%3N) - t0 > 10000)) && fail "capture $i: the surface did not show #$want (last: $pair)"
    done
    t1=$(date +%s%3N)
    times+=($((t1 - t0)))
    e2e_log "capture $i: $((t1 - t0)) ms"
  done
  local sorted
  sorted=$(printf '%s\n' "${times[@]}" | sort -n)
  e2e_log "click to copy shown over $runs captures: median $(sed -n "$(((runs + 1) / 2))p" <<<"$sorted") ms, min $(head -n 1 <<<"$sorted") ms, max $(tail -n 1 <<<"$sorted") ms"
}

WL_SPAWNED_BG=
