# shellcheck shell=bash
# Sets up an Xvfb and a headless sway desktop with the screenshot portal
# (both 1920x1080, each showing the same pattern) and runs the portal
# benchmark inside the Wayland session, with the X server in DISPLAY for the
# baseline. Through the end-to-end harness, which stops everything after:
#
#   bash e2e/run-scenario.sh bench/portal_vs_x11.sh build/bench/portal_bench
#
# Extra Google Benchmark flags go in PORTAL_BENCH_ARGS.
# shellcheck disable=SC2034 # read by run-scenario.sh
E2E_DESKTOP=wayland
e2e_use x11 # the X server beside the Wayland desktop

scenario() {
  wl_portal_ready
  wl_set_background "$(e2e_pattern_file)"
  x11_start_desktop # Xvfb + openbox; sets DISPLAY
  e2e_set_background
  # The bench runs as the desktop's user; it reaches the X server through
  # its abstract socket (the private /tmp hides the socket file).
  # shellcheck disable=SC2086 # flags split on purpose
  wl_run DISPLAY="$DISPLAY" QT_QPA_PLATFORM=xcb "$WL_APP" ${PORTAL_BENCH_ARGS:-} |
    tee "$E2E_TMP/portal_bench.txt"
  grep -q 'BM_PortalScreenshot.*median_ms' "$E2E_TMP/portal_bench.txt" ||
    fail "the portal benchmark did not run"
}
