# shellcheck shell=bash
# shellcheck disable=SC2034 # the E2E_* settings are read by the library
# An X server in another IPC namespace (a container, a forwarded display)
# attaches a System V segment of its own when given our segment's id, and
# would fill that one while we read ours. The server here holds segments of
# the first ids there are; the program, in a fresh namespace too, asks it to
# attach an id it holds. The program must see that and refuse the id way,
# and still copy the screen exactly by passing the memory as a descriptor.

E2E_WM=none

scenario() {
  local isolate=(unshare --ipc)
  ((EUID == 0)) || isolate=(unshare --user --map-root-user --ipc)
  local fdfile=$E2E_TMP/other-display
  : >"$fdfile"
  "${isolate[@]}" sh -c 'for i in 1 2 3 4 5 6 7 8; do ipcmk -M 4194304 >/dev/null || exit 1; done
    exec Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp -noreset' \
    3>"$fdfile" >"$E2E_TMP/other-xvfb.log" 2>&1 &
  E2E_EXTRA_PIDS+=($!)
  wait_until 10 grep -q '^[0-9][0-9]*$' "$fdfile" ||
    fail "the isolated Xvfb did not start: $(tail -n 3 "$E2E_TMP/other-xvfb.log")"
  DISPLAY=:$(head -n 1 "$fdfile") "${isolate[@]}" "$ZS_X11_CAPTURE_TESTS" \
    --gtest_filter='X11CaptureOtherIpcNamespace.*' >"$E2E_TMP/x11-capture-tests.log" 2>&1 ||
    fail "$(grep -E 'Failure|FAILED|segment' "$E2E_TMP/x11-capture-tests.log" | head -n 4 | tr '\n' ' ')"
  grep -q '^\[  PASSED  \] 1 test' "$E2E_TMP/x11-capture-tests.log" ||
    fail "the check did not run: $(tail -n 3 "$E2E_TMP/x11-capture-tests.log")"
}
