# shellcheck shell=bash
# "shrink" right after a capture, with the window maximised as a capture
# leaves it: the window becomes the small one at the top-left and the red
# compact bar is in it, and still there a second later, after the window
# manager has confirmed every size on the way.

# _stays_for SECONDS CONDITION...: CONDITION holds at every check over SECONDS.
_stays_for() {
  local seconds=$1 end
  shift
  end=$(($(date +%s%N) + seconds * 1000000000))
  while (($(date +%s%N) < end)); do
    "$@" || return 1
    sleep 0.1
  done
}

scenario() {
  app_launch
  local win=$APP_WIN h
  capture_screen "$win"
  # The tool bar keeps its distance from the client area's bottom edge.
  read -r _ _ _ h < <(win_client_geometry "$win")
  click_client "$win" "${ZS_SHRINK_BUTTON[0]}" $((h - (ZS_CLIENT_H - ZS_SHRINK_BUTTON[1])))

  wait_until 5 win_outer_is "$win" 0 0 121 78 ||
    fail "compact window: outer $(win_outer_geometry "$win"), expected 0 0 121 78"
  win_maximised "$win" && fail "the compact window is still maximised"
  wait_for 5 "the red compact bar at client 2,2" client_pixel_is "$win" 2 2 "$ZS_COMPACT_BAR_COLOUR"
  _stays_for 1 client_pixel_is "$win" 2 2 "$ZS_COMPACT_BAR_COLOUR" ||
    fail "the compact bar went away: client 2,2 is $(client_pixel "$win" 2 2)"
  _stays_for 1 client_pixel_is "$win" 60 40 "$ZS_COMPACT_BAR_COLOUR" ||
    fail "the compact bar went away: client 60,40 is $(client_pixel "$win" 60 40)"

  # Its restore button still works.
  click_client "$win" "${ZS_COMPACT_RESTORE_BUTTON[@]}"
  wait_until 5 win_outer_is "$win" 0 0 1045 801 ||
    fail "restored window: outer $(win_outer_geometry "$win"), expected 0 0 1045 801"
}
