# shellcheck shell=bash
# Never two clipboard helpers. One program crops and exits (a helper keeps
# its crop); a second program crops: the helper sees the clipboard taken
# and ends; the second exits and its helper keeps its crop. With two
# programs running, the one whose crop was replaced by the other's starts
# no helper when it exits.

# _shown_on_top WIN: WIN is the active window and on the screen.
_shown_on_top() {
  [[ $(xdotool getactivewindow 2>/dev/null) == "$1" && $(win_map_state "$1") == IsViewable ]]
}

_helpers_are() { [[ $(helper_count) == "$1" ]]; }

# _crop_in_new_program X Y: starts the program, captures, crops 200 x 150 at
# client X,Y and waits for it on the clipboard. Leaves APP_PID and APP_WIN.
_crop_in_new_program() {
  app_launch
  capture_screen "$APP_WIN"
  # The maximised window settles: the surface shows the screen one to one.
  wait_for 5 "the surface to show the pattern at $1,$2" \
    client_shows_pattern "$APP_WIN" "$1" "$2" 200 150 "$1" "$2"
  drag_client "$APP_WIN" "$1" "$2" $(($1 + 200)) $(($2 + 150))
  wait_for 5 "the crop at $1,$2 on the clipboard" clipboard_is_pattern "$1" "$2" 200 150
}

scenario() {
  e2e_set_background

  # One after the other.
  _crop_in_new_program 100 100
  click_exit "$APP_WIN"
  app_wait_exit 5 || fail "the first program did not end"
  local first
  first=$(clipboard_helpers)
  [[ -n $first ]] || fail "no helper keeps the first crop"
  _crop_in_new_program 400 300
  wait_for 5 "the first helper to end once the clipboard is taken" _pid_gone "$first"
  assert_eq 0 "$(helper_count)" "clipboard helpers while the second program owns the clipboard"
  click_exit "$APP_WIN"
  app_wait_exit 5 || fail "the second program did not end"
  assert_eq 1 "$(helper_count)" "clipboard helpers after the second program's Exit"
  clipboard_is_pattern 400 300 200 150 || fail "the second crop was not kept"

  # Side by side: A crops, B crops over it, A exits (no longer the owner),
  # then B exits.
  _crop_in_new_program 100 100
  wait_for 5 "the last helper to end" _helpers_are 0
  local a_pid=$APP_PID a_win=$APP_WIN
  E2E_EXTRA_PIDS+=("$a_pid")
  # Out of the way of B's capture, which copies the whole screen.
  xdotool windowminimize --sync "$a_win"
  _crop_in_new_program 400 300
  local b_pid=$APP_PID b_win=$APP_WIN
  APP_PID=$a_pid APP_STATUS=
  xdotool windowactivate --sync "$a_win"
  wait_for 5 "program A's window to come back" _shown_on_top "$a_win"
  click_exit "$a_win"
  app_wait_exit 5 || fail "program A did not end"
  assert_eq 0 "$APP_STATUS" "program A's exit status"
  assert_eq 0 "$(helper_count)" "clipboard helpers after A (whose crop was replaced) exited"
  APP_PID=$b_pid APP_STATUS=
  xdotool windowactivate --sync "$b_win" 2>/dev/null || true
  click_exit "$b_win"
  app_wait_exit 5 || fail "program B did not end"
  assert_eq 1 "$(helper_count)" "clipboard helpers after B exited"
  clipboard_is_pattern 400 300 200 150 || fail "B's crop was not kept"
}
