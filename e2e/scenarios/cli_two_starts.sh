# shellcheck shell=bash
# Two starts at the same moment give one window: the session bus gives the
# name to one, and the other hands its request over and ends with status 0.

FIRST_PID=
OTHER_PID=
_either_ended() { _pid_gone "$FIRST_PID" || _pid_gone "$OTHER_PID"; }
_two_windows() { (($(app_window_count) > 1)); }

scenario() {
  x11_start_session_bus
  app_start
  FIRST_PID=$APP_PID
  "${APP_COMMAND[@]}" >"$E2E_TMP/second.log" 2>&1 &
  OTHER_PID=$!
  E2E_EXTRA_PIDS+=("$OTHER_PID")
  wait_for 20 "one of the two starts to end" _either_ended
  local ended=$OTHER_PID rc=0
  if _pid_gone "$FIRST_PID"; then
    ended=$FIRST_PID
    APP_PID=$OTHER_PID
  fi
  wait "$ended" || rc=$?
  assert_eq 0 "$rc" "the exit status of the start that ended"
  app_window 20
  # A late second window would show within this time.
  ! wait_until 2 _two_windows || fail "two windows are shown"
  assert_eq 1 "$(app_window_count)" "windows of the program"
}
