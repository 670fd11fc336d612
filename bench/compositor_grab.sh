# shellcheck shell=bash
# The compositor's own grab alone (call to the output's pixels in memory),
# against a memcpy of the frame: screencopy on headless sway (the default)
# or KWin's screenshot interface (GRAB_DESKTOP=kwin), 1920x1080 showing the
# test pattern. Through the end-to-end harness, which stops everything
# after:
#
#   GRAB_DESKTOP=kwin bash e2e/run-scenario.sh bench/compositor_grab.sh build/bench/portal_bench
#
# Extra Google Benchmark flags go in GRAB_BENCH_ARGS.
# shellcheck disable=SC2034 # read by run-scenario.sh
E2E_DESKTOP=${GRAB_DESKTOP:-wayland}

scenario() {
  local filter=BM_WlrScreencopy
  if [[ $E2E_DESKTOP == kwin ]]; then
    filter=BM_KWinScreenshot
    kwin_set_background "$(e2e_pattern_file)"
  else
    wl_set_background "$(e2e_pattern_file)"
  fi
  # shellcheck disable=SC2086 # flags split on purpose
  wl_run "$WL_APP" --benchmark_filter="$filter" ${GRAB_BENCH_ARGS:-} | tee "$E2E_TMP/grab.txt"
  grep -q "$filter.*median_ms" "$E2E_TMP/grab.txt" || fail "the grab benchmark did not run"
}
