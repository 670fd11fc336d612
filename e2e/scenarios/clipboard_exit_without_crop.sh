# shellcheck shell=bash
# "Exit" without a crop starts no clipboard helper, and the clipboard keeps
# what another program put there.

_clipboard_is_text() { [[ $(timeout 5 xclip -selection clipboard -o 2>/dev/null) == "$1" ]]; }

scenario() {
  clipboard_set_text "before the program"
  wait_for 5 "the text on the clipboard" _clipboard_is_text "before the program"
  app_launch
  click_exit "$APP_WIN"
  app_wait_exit 5 || fail "still running 5 s after clicking Exit"
  assert_eq 0 "$APP_STATUS" "exit status"
  # The program waits for a helper's answer before it ends, so one started
  # would be running now.
  no_process_of_ours || fail "processes of ours left after Exit: $(our_processes | tr '\n' ' ')"
  _clipboard_is_text "before the program" || fail "the clipboard lost the other program's text"
}
