# shellcheck shell=bash
# On a Wayland desktop whose D-Bus session has no desktop portal, "Capture"
# through the portal (forced: sway's own screencopy would need none) shows a
# message that says so and leaves the start panel as it was: no blank
# surface.
# shellcheck disable=SC2034 # read by run-scenario.sh
E2E_DESKTOP=wayland

scenario() {
  # A session bus of its own, with no services to start: no portal.
  local conf=$WL_DIR/bare-bus.conf bus=$WL_DIR/runtime/bare-bus
  cat >"$conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig><type>session</type><listen>unix:path=$bus</listen><auth>EXTERNAL</auth>
<policy context="default"><allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/>
<allow own="*"/></policy></busconfig>
CONF
  chmod 644 "$conf"
  wl_spawn dbus-daemon --config-file="$conf" --nofork --nopidfile >"$WL_DIR/bare-bus.log" 2>&1
  wait_for 5 "the bare session bus" test -S "$bus"

  # shellcheck disable=SC2034 # read by wl_app_start
  WL_APP_ENV=(DBUS_SESSION_BUS_ADDRESS="unix:path=$bus" ZENTRIM_CAPTURE_BACKEND=portal)
  wl_app_launch

  wl_click "${WL_CAPTURE_BUTTON[@]}"
  wl_pointer_to 1919 1079
  wait_for 10 "a message about the missing portal" _wl_message_shown
  local title
  title=$(_wl_message_title)
  e2e_log "message window: '$title'"
  # Behind the message the start panel is still there.
  local spot px py want
  for spot in "16 16 FFFFFF" "992 16 FFFFFF" "5 5 C0C0FF"; do
    read -r px py want <<<"$spot"
    assert_eq "$want" "$(wl_pixel "$px" "$py")" "output pixel $px,$py behind the message"
  done
}

# A second visible window of the program: the message box.
_wl_message_title() {
  wl_run swaymsg -t get_tree | jq -r --argjson pid "$APP_PID" \
    '[.. | objects | select(.pid? == $pid and .visible? == true and .type == "floating_con")] | first | .name // empty'
}
_wl_message_shown() { [[ -n $(_wl_message_title) ]]; }
