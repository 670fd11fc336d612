# shellcheck shell=bash
# The main window opens at its design size, centred on the screen, not kept
# above other windows, showing the white start panel on the lavender
# viewport. Set E2E_SCREENSHOT_OUT=FILE to keep a picture of the window.

_centred() { # WIN: the outer rectangle (frame included) centred within 2 px
  local x y w h
  read -r x y w h < <(win_outer_geometry "$1") || return 1
  local dx=$((x - (E2E_SCREEN_W - w) / 2)) dy=$((y - (E2E_SCREEN_H - h) / 2))
  ((dx >= -2 && dx <= 2 && dy >= -2 && dy <= 2))
}

scenario() {
  e2e_set_background
  app_launch

  local cw ch
  read -r _ _ cw ch < <(win_client_geometry "$APP_WIN")
  assert_eq "${ZS_CLIENT_W}x${ZS_CLIENT_H}" "${cw}x${ch}" "client area size"

  if ! wait_until 3 _centred "$APP_WIN"; then
    fail "window not centred: outer $(win_outer_geometry "$APP_WIN") (x y w h) on a ${E2E_SCREEN_W}x${E2E_SCREEN_H} screen"
  fi
  win_lacks_state "$APP_WIN" _NET_WM_STATE_ABOVE ||
    fail "window starts above other windows: $(win_state "$APP_WIN" | tr '\n' ' ')"

  # Start panel corners are white, the viewport around it lavender.
  window_screenshot "$APP_WIN" "$E2E_TMP/window.png"
  assert_start_panel "$E2E_TMP/window.png"

  window_screenshot "$APP_WIN" "$E2E_TMP/window-framed.png" frame
  if [[ -n ${E2E_SCREENSHOT_OUT:-} ]]; then
    cp "$E2E_TMP/window-framed.png" "$E2E_SCREENSHOT_OUT"
    e2e_log "window picture saved to $E2E_SCREENSHOT_OUT"
  fi
}
