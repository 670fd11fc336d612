# shellcheck shell=bash
# "shrink" turns the main window into the small red compact bar at the
# screen's top-left corner, kept above other windows; the bar's restore
# button brings back the full-size window, still above, still at 0,0.
#
# The sizes are the outer (frame included) sizes of the design:
# compact 121 x 78 px, restored 1045 x 801 px.

scenario() {
  app_launch
  local win=$APP_WIN

  click_client "$win" "${ZS_SHRINK_BUTTON[@]}"
  wait_until 5 win_outer_is "$win" 0 0 121 78 ||
    fail "compact window: outer $(win_outer_geometry "$win"), expected 0 0 121 78 (frame extents $(win_frame_extents "$win"))"
  win_has_state "$win" _NET_WM_STATE_ABOVE ||
    fail "compact window not above others: $(win_state "$win" | tr '\n' ' ')"
  wait_for 5 "the red compact bar at client 2,2" client_pixel_is "$win" 2 2 "$ZS_COMPACT_BAR_COLOUR"

  click_client "$win" "${ZS_COMPACT_RESTORE_BUTTON[@]}"
  wait_until 5 win_outer_is "$win" 0 0 1045 801 ||
    fail "restored window: outer $(win_outer_geometry "$win"), expected 0 0 1045 801 (frame extents $(win_frame_extents "$win"))"
  win_has_state "$win" _NET_WM_STATE_ABOVE ||
    fail "restored window no longer above others: $(win_state "$win" | tr '\n' ' ')"
  wait_for 5 "the start panel again (white at client 16,16)" client_pixel_is "$win" 16 16 FFFFFF
}
