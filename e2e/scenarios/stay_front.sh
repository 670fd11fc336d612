# shellcheck shell=bash
# "Stay front" keeps the window above others and lets it go again, on the
# same window, which stays mapped the whole time (the flag is changed on the
# live window, not by re-creating or hiding it).

scenario() {
  app_launch
  local win=$APP_WIN log=$E2E_TMP/structure.log
  win_lacks_state "$win" _NET_WM_STATE_ABOVE || fail "window starts above other windows"
  watch_window_structure "$win" "$log"

  click_client "$win" "${ZS_STAY_FRONT_BOX[@]}"
  wait_for 5 "_NET_WM_STATE_ABOVE after ticking Stay front" win_has_state "$win" _NET_WM_STATE_ABOVE
  assert_eq IsViewable "$(win_map_state "$win")" "map state with Stay front ticked"

  click_client "$win" "${ZS_STAY_FRONT_BOX[@]}"
  wait_for 5 "_NET_WM_STATE_ABOVE to go after clearing Stay front" win_lacks_state "$win" _NET_WM_STATE_ABOVE
  assert_eq IsViewable "$(win_map_state "$win")" "map state with Stay front cleared"

  if window_was_unmapped "$log"; then
    fail "the window was unmapped or destroyed while toggling: $(grep -E '^(UnmapNotify|DestroyNotify)' "$log" | head -n 2 | tr '\n' ' ')"
  fi
  app_window 5
  assert_eq "$win" "$APP_WIN" "window id after toggling"
}
