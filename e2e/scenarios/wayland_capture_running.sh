# shellcheck shell=bash
# On a Wayland desktop `zentrim-screen --capture`, started while the program
# runs, hands the capture to it: the one window captures through the portal
# and the second start ends at once with status 0.
# shellcheck disable=SC2034 # read by run-scenario.sh
E2E_DESKTOP=wayland

_program_windows() {
  wl_run swaymsg -t get_tree 2>/dev/null |
    jq '[.. | objects | select(.app_id? == "zentrim-screen" and .visible? == true)] | length'
}

scenario() {
  wl_portal_ready
  wl_set_background "$(e2e_pattern_file)"
  wl_app_launch
  local t0 ms rc=0
  t0=$(date +%s%3N)
  wl_run QT_QPA_PLATFORM=wayland "$WL_APP" --capture >"$E2E_TMP/second.log" 2>&1 || rc=$?
  ms=$(($(date +%s%3N) - t0))
  e2e_log "second start: status $rc after $ms ms"
  assert_eq 0 "$rc" "the second start's exit status"
  ((ms < 1000)) || fail "the second start took $ms ms to end"
  wl_pointer_to 1860 20
  wait_for 15 "the surface to show the screen one to one" wl_region_is_pattern 1 30 1200 670
  assert_eq 1 "$(_program_windows)" "windows of the program"
  app_running || fail "the running program ended"
}
