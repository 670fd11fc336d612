# shellcheck shell=bash
# With its output read through a pipe (`zentrim-screen 2>&1 | cat`, as a
# launcher or `out=$(...)` would), a crop and "Exit" end the pipeline within
# 2 s while the crop stays on the clipboard: the helper that keeps it holds
# neither the program's output nor its working folder (it works in /).

scenario() {
  APP_THROUGH_PIPE=1 launch_and_select # 200 x 150 pixels at 100,100 selected
  pattern_crop 100 100 200 150 "$E2E_TMP/crop.png"
  wait_for 5 "the crop on the clipboard" clipboard_type_is image/png "$E2E_TMP/crop.png"

  click_exit "$APP_WIN"
  wait_until 2 _pid_gone "$APP_PIPE_PID" ||
    fail "the pipeline still runs 2 s after Exit (helpers: $(clipboard_helpers | tr '\n' ' '))"
  wait "$APP_PIPE_PID" 2>/dev/null || true
  local helper
  helper=$(clipboard_helpers)
  assert_eq 1 "$(grep -c . <<<"$helper")" "clipboard helpers after Exit"
  assert_eq / "$(readlink "/proc/$helper/cwd")" "the helper's working folder"
  clipboard_type_is image/png "$E2E_TMP/crop.png" || fail "the crop did not stay on the clipboard"

  clipboard_set_text "taken over"
  wait_for 5 "no process of ours to be left" no_process_of_ours
}
