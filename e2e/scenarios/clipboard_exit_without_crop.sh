# shellcheck shell=bash
# "Exit" without a crop starts no clipboard helper, and the clipboard keeps
# what another program put there.

scenario() {
  clipboard_set_text "before the program"
  wait_for 5 "the text on the clipboard" clipboard_is_text "before the program"
  app_launch
  click_exit "$APP_WIN"
  app_expect_exit "clicking Exit"
  # The program waits for a helper's answer before it ends, so one started
  # would be running now.
  no_process_of_ours || fail "processes of ours left after Exit: $(our_processes | tr '\n' ' ')"
  clipboard_is_text "before the program" || fail "the clipboard lost the other program's text"
}
