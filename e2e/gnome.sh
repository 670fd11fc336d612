# shellcheck shell=bash
# shellcheck disable=SC2034 # WL_* are read by wayland.sh's helpers
# A private GNOME desktop for the end-to-end scenarios: headless GNOME Shell
# (mutter) with its own system and session buses, PipeWire and the desktop
# portal with GNOME's backend, run as the Wayland desktop's unprivileged
# user, and the program on it. A scenario asks for it with
# E2E_DESKTOP=gnome at its top level (and GN_MONITORS, the virtual
# monitors' sizes, default "1920x1080", or two of E2E_SCREEN_W x
# E2E_SCREEN_H side by side); run-scenario.sh then sources this
# file and calls gn_start_desktop. It reuses e2e/wayland.sh for running
# things as the desktop's user (wl_run, wl_spawn), the program (wl_app_start),
# the pointer commands (wl_pointer_to, wl_click, wl_drag: here carried out by
# the helper gnome-pointer through mutter's remote-desktop interface), the
# portal's permission (wl_portal_ready) and stopping (wl_stop_desktop).
#
# The shell runs in unsafe mode so that the harness can look at it through
# org.gnome.Shell.Eval and org.gnome.Shell.Screenshot, which GNOME otherwise
# keeps for its own programs; the program itself only ever uses the portal.
# The overview and the top bar are put away, so the wallpaper (the pattern,
# set through the desktop's own settings file) fills the whole screen.
#
# Functions (every wait is bounded):
#   gn_start_desktop          start the desktop; registers its clean-up
#   gn_eval JS                evaluate JS in the shell; prints its string result
#   gn_screenshot FILE [X Y W H]  the whole screen or a region of it (stage
#                             coordinates), in device pixels, without cursor
#   gn_pixel X Y / gn_pixel_is X Y RRGGBB
#   gn_region_is_pattern X Y W H  that region of the screen is the pattern's
#   gn_app_window [TIMEOUT]   wait for the program's shown window; sets
#                             APP_FRAME "X Y W H" (stage coordinates) and
#                             APP_RECT, its client area (once the decoration
#                             is measured: gn_app_launch)
#   gn_window_state           "maximized minimized" of the program's window
#                             (0 or 1 each)
#   gn_app_launch [ARGS...]   wl_app_start (logging the capture backend),
#                             gn_app_window, start panel painted
#   gn_capture_again N        "Capture" on the maximised window: the program's
#                             Nth screenshot, the window back maximised
#   gn_clipboard_types        the clipboard's MIME types, one per line
#   gn_clipboard_save TYPE FILE  the clipboard's data of TYPE into FILE
#   gn_clipboard_is_pattern TYPE X Y W H
#   gn_set_scale MONITOR SCALE  through org.gnome.Mutter.DisplayConfig
#   gn_monitors               "connector x y w h scale primary" per line
#   gn_report_failure         screenshot, window list and logs

e2e_use wayland

GN_MONITORS=${GN_MONITORS:-1920x1080}
GN_SCALE=1 # the primary monitor's scale (a whole number), set by gn_apply_layout
GN_SHOTS= # where the shell writes the harness's screenshots (the user's)

# Qt draws its own decoration on GNOME (mutter offers no server-side one):
# "LEFT TOP RIGHT BOTTOM" from the window's frame to its client area,
# measured on the lavender viewport when the window first shows.
GN_DECORATION=

gn_tool_path() {
  local tool=${E2E_GNOME_POINTER:-}
  if [[ -z $tool && -n ${APP:-} ]]; then
    tool=$(dirname "$APP")/../e2e/gnome-pointer
  fi
  [[ -n $tool && -x $tool ]] || return 1
  realpath "$tool"
}

# _gn_settings OPTIONS: the desktop's settings (GSettings' keyfile backend,
# so that nothing reaches the host's dconf): the background picture one to
# one (OPTIONS stretched, which at scale 2 too fills the monitor with the
# picture of its own size, or spanned); no animations (a minimised window is
# gone at once); no welcome tour, no notification banners (the shell
# announces that it cannot lock the screen).
_gn_settings() {
  cat <<EOF
[org/gnome/desktop/background]
picture-uri='file://$WL_DIR/background.png'
picture-uri-dark='file://$WL_DIR/background.png'
picture-options='$1'

[org/gnome/desktop/interface]
enable-animations=false

[org/gnome/shell]
welcome-dialog-last-shown-version='999'

[org/gnome/desktop/session]
idle-delay=uint32 0

[org/gnome/desktop/screensaver]
lock-enabled=false

[org/gnome/desktop/notifications]
show-banners=false
EOF
}

# _gn_portal_dir: the portal backends this desktop may use, whatever else is
# installed: GNOME's, and the gtk one for the access check (the portal
# offers screenshots only with one), as on a GNOME desktop.
_gn_portal_dir() {
  mkdir -p "$WL_DIR/portals"
  cp /usr/share/xdg-desktop-portal/portals/{gnome,gtk}.portal "$WL_DIR/portals/"
  chmod -R a+rX "$WL_DIR/portals"
}

_gn_shell_answers() { [[ $(gn_eval '"up"' 2>/dev/null) == up ]]; }

gn_start_desktop() {
  local tool need
  tool=$(gn_tool_path) || fail "the helper gnome-pointer was not built (set E2E_GNOME_POINTER)"
  for need in gnome-shell gdbus dbus-daemon pipewire /usr/libexec/xdg-desktop-portal \
    /usr/libexec/xdg-desktop-portal-gnome; do
    command -v "$need" >/dev/null || fail "the GNOME desktop needs $need (scripts/deps.sh --test)"
  done
  _wl_as_root || fail "the GNOME desktop needs root: it hides /run/systemd in a mount namespace of its own"
  # Inside a chroot / is no mount point and no private namespace can be
  # made; /run/systemd could then only be hidden by a mount the host sees.
  unshare --mount --propagation private true 2>/dev/null ||
    skip "the GNOME desktop needs a private mount namespace, and none can be made here (a chroot?)"
  e2e_make_tmp
  e2e_on_cleanup wl_stop_desktop
  e2e_on_failure gn_report_failure
  unset DISPLAY WAYLAND_DISPLAY
  WL_DIR=$E2E_TMP/wl
  mkdir -p "$WL_DIR/runtime" "$WL_DIR/home/.config/glib-2.0/settings" "$WL_DIR/tmp" "$WL_DIR/bin"
  chmod 700 "$WL_DIR/runtime"
  chmod 1777 "$WL_DIR/tmp"
  cp "$tool" "$WL_DIR/bin/gnome-pointer"
  [[ ! -x ${tool%/*}/qt-screens ]] || cp "${tool%/*}/qt-screens" "$WL_DIR/bin/"
  if [[ -n ${APP:-} ]]; then
    cp "$APP" "$WL_DIR/bin/"
    WL_APP=$WL_DIR/bin/$(basename "$APP")
    E2E_PROGRAM_COPIES+=("$WL_APP" "$WL_DIR/bin/zentrim-screen-clipboard")
    [[ ! -x ${APP%/*}/zentrim-screen-clipboard ]] ||
      cp "${APP%/*}/zentrim-screen-clipboard" "$WL_DIR/bin/"
  fi
  _wl_ensure_user
  WL_PRIVATE_TMP=1 WL_TMP=$WL_DIR/tmp WL_OUTPUT=Meta-0
  GN_SHOTS=$WL_DIR/home/.harness
  mkdir -p "$GN_SHOTS"
  local options=stretched
  if [[ $GN_MONITORS == *" "* ]]; then
    # Two monitors: one picture across both, the pattern's negative on the
    # left and the pattern on the right, so that a copy of the wrong monitor
    # (or of both) cannot pass for the pattern.
    options=spanned
    "$IM_CONVERT" \( "$(e2e_pattern_file)" -negate \) "$(e2e_pattern_file)" +append \
      "PNG24:$WL_DIR/background.png"
  else
    cp "$(e2e_pattern_file)" "$WL_DIR/background.png"
  fi
  _gn_settings "$options" >"$WL_DIR/home/.config/glib-2.0/settings/keyfile"
  _gn_portal_dir
  chown -R "$WL_USER:" "$WL_DIR/runtime" "$WL_DIR/home"
  chmod 711 "$E2E_TMP" "$WL_DIR"
  chmod 644 "$WL_DIR/background.png"
  chmod -R a+rX "$WL_DIR/bin"

  WL_ENV=(HOME="$WL_DIR/home" XDG_RUNTIME_DIR="$WL_DIR/runtime" PATH=/usr/local/bin:/usr/bin:/bin
    LANG=C.UTF-8 DBUS_SESSION_BUS_ADDRESS="unix:path=$WL_DIR/runtime/bus"
    DBUS_SYSTEM_BUS_ADDRESS="unix:path=$WL_DIR/runtime/system_bus_socket"
    XDG_CURRENT_DESKTOP=GNOME XDG_SESSION_TYPE=wayland XDG_SESSION_DESKTOP=gnome NO_AT_BRIDGE=1
    GSETTINGS_BACKEND=keyfile XDG_DESKTOP_PORTAL_DIR="$WL_DIR/portals"
    XDG_CONFIG_HOME="$WL_DIR/home/.config" XDG_DATA_HOME="$WL_DIR/home/.local/share"
    XDG_CACHE_HOME="$WL_DIR/home/.cache")

  _wl_run_leader GNOME bash "$E2E_LIB_DIR/gnome-session.sh" \
    --private-tmp "$E2E_TMP" --as "$(id -u "$WL_USER"):$(id -g "$WL_USER")" \
    "$WL_DIR" "$GN_MONITORS" -- "${WL_ENV[@]}"
  wait_until 10 _wl_socket_up pipewire-0 || fail "PipeWire did not start: $(tail -n 3 "$WL_DIR/pipewire.log")"
  wait_until 30 _wl_socket_up wayland-0 || fail "gnome-shell did not start: $(tail -n 5 "$WL_DIR/gnome-shell.log")"
  WL_DISPLAY=wayland-0
  WL_ENV+=(WAYLAND_DISPLAY="$WL_DISPLAY")
  wait_for 30 "gnome-shell to answer on D-Bus" _gn_shell_answers
  wait_for 30 "gnome-shell to finish starting" _gn_started
  # D-Bus-started services (the portal and its backend) must find the shell.
  wl_activation_env WAYLAND_DISPLAY="$WL_DISPLAY" XDG_CURRENT_DESKTOP=GNOME NO_AT_BRIDGE=1 \
    XDG_DESKTOP_PORTAL_DIR="$WL_DIR/portals" GSETTINGS_BACKEND=keyfile
  gn_eval 'Main.overview.hide(); Main.panel.hide(); ""' >/dev/null

  mkfifo -m 644 "$WL_DIR/pointer.in"
  _gn_start_pointer
  wait_for 10 "the wallpaper to fill the screen" _gn_screen_is_background
  e2e_log "GNOME desktop ready ($GN_MONITORS, user $WL_USER)"
}

_gn_started() { [[ $(gn_eval 'Main.layoutManager._startingUp ? "no" : "yes"') == yes ]]; }

# _gn_start_pointer: (re)starts the pointer helper on WL_OUTPUT (GNOME's
# primary monitor) and parks the pointer in that monitor's bottom-right
# corner: it is drawn into every screenshot, and the checks leave that
# corner out.
GN_POINTER_PID=
GN_POINTER_ORIGIN="0 0" # the recorded monitor's top-left, stage coordinates
_gn_start_pointer() {
  if [[ -n $WL_POINTER_FD ]]; then
    exec {WL_POINTER_FD}>&-
    WL_POINTER_FD=
  fi
  _stop_pid "$GN_POINTER_PID"
  wl_spawn "$WL_DIR/bin/gnome-pointer" "$WL_OUTPUT" <>"$WL_DIR/pointer.in" >"$WL_DIR/pointer.log" 2>&1
  GN_POINTER_PID=$WL_SPAWNED
  exec {WL_POINTER_FD}>"$WL_DIR/pointer.in"
  WL_POINTER_SEQ=0
  wait_for 10 "the remote-desktop pointer" grep -qx ready "$WL_DIR/pointer.log"
  local connector x y scale
  while read -r connector x y scale _; do
    [[ $connector == "$WL_OUTPUT" ]] && GN_POINTER_ORIGIN="$x $y"
  done < <(gn_logical_monitors)
  gn_park_pointer
}

gn_park_pointer() {
  local w h
  read -r w h < <(gn_primary_size)
  wl_pointer_to $((w - 1)) $((h - 1))
}

# gn_at X Y: stage coordinates as the pointer helper takes them (device
# pixels of its monitor).
gn_at() {
  local ox oy
  read -r ox oy <<<"$GN_POINTER_ORIGIN"
  echo $(($1 - ox)) $(($2 - oy))
}

# gn_logical_monitors: "CONNECTOR X Y SCALE PRIMARY" per monitor, as
# org.gnome.Mutter.DisplayConfig has them (stage coordinates: this mutter
# lays monitors out in device pixels).
gn_logical_monitors() {
  wl_run gdbus call --session -d org.gnome.Mutter.DisplayConfig -o /org/gnome/Mutter/DisplayConfig \
    -m org.gnome.Mutter.DisplayConfig.GetCurrentState |
    grep -oP "\((-?\d+), (-?\d+), ([\d.]+), (uint32 )?\d+, (true|false), \[\('[^']+'" |
    sed -E "s/^\((-?[0-9]+), (-?[0-9]+), ([0-9.]+), (uint32 )?[0-9]+, (true|false), \[\('([^']+)'/\6 \1 \2 \3 \5/"
}

# gn_apply_layout CONNECTOR:X:Y:SCALE[:primary]... (SCALE as 1.0 or 2.0):
# lays the monitors out
# (each in its current mode) through DisplayConfig, waits until the shell
# shows it, and restarts the pointer helper on the new primary monitor.
gn_apply_layout() {
  local state serial spec connector x y scale primary mode logical=() primary_connector=
  state=$(wl_run gdbus call --session -d org.gnome.Mutter.DisplayConfig -o /org/gnome/Mutter/DisplayConfig \
    -m org.gnome.Mutter.DisplayConfig.GetCurrentState) || fail "DisplayConfig does not answer"
  serial=$(grep -oP '^\(uint32 \K\d+' <<<"$state")
  for spec; do
    IFS=: read -r connector x y scale primary <<<"$spec"
    mode=$(grep -oP "\('$connector', [^)]*\), \[\('\K[^']+" <<<"$state") ||
      fail "DisplayConfig has no monitor $connector"
    [[ $primary == primary ]] && primary=true primary_connector=$connector || primary=false
    logical+=("($x, $y, $scale, uint32 0, $primary, [('$connector', '$mode', @a{sv} {})])")
  done
  local IFS=,
  wl_run gdbus call --session -d org.gnome.Mutter.DisplayConfig -o /org/gnome/Mutter/DisplayConfig \
    -m org.gnome.Mutter.DisplayConfig.ApplyMonitorsConfig "$serial" 1 "[${logical[*]}]" '@a{sv} {}' \
    >/dev/null || fail "DisplayConfig refused the layout ${logical[*]}"
  unset IFS
  wait_for 10 "the shell to take the layout $*" _gn_layout_is "$@"
  [[ -z $primary_connector ]] || WL_OUTPUT=$primary_connector
  for spec; do
    IFS=: read -r connector x y scale primary <<<"$spec"
    [[ $connector != "$WL_OUTPUT" ]] || GN_SCALE=${scale%.*}
  done
  _gn_start_pointer
  e2e_log "monitors: $(gn_logical_monitors | tr '\n' ';')"
}

_gn_layout_is() {
  local spec connector x y scale primary want have
  have=$(gn_logical_monitors)
  for spec; do
    IFS=: read -r connector x y scale primary <<<"$spec"
    [[ $primary == primary ]] && primary=true || primary=false
    want="$connector $x $y $scale $primary"
    grep -qxF "$want" <<<"$have" || return 1
  done
}

# gn_qt_primary: "NAME X Y W H RATIO" of the screen Qt calls primary here.
gn_qt_primary() {
  wl_run QT_QPA_PLATFORM=wayland "$WL_DIR/bin/qt-screens" | head -n 1 | sed 's/^\*//'
}

# gn_eval JS: the string JS evaluates to (the shell's answer without its
# JSON quotes); fails when the shell refuses or throws.
gn_eval() {
  # gdbus reads each argument as GVariant text: JS goes in as a quoted string.
  local js=${1//\\/\\\\} out
  js=${js//\'/\\\'}
  out=$(wl_run gdbus call --session -d org.gnome.Shell -o /org/gnome/Shell \
    -m org.gnome.Shell.Eval "'$js'" 2>&1) || return 1
  [[ $out == "(true, '"* ]] || { printf 'gn_eval: %s\n' "$out" >&2; return 1; }
  out=${out#"(true, '"}
  out=${out%"')"}
  out=${out#\"}
  printf '%s\n' "${out%\"}"
}

# --- the screen ------------------------------------------------------------

gn_screenshot() {
  local out=$1 name reply
  shift
  name=$GN_SHOTS/shot-$RANDOM.png
  if (($# == 4)) && ((GN_SCALE > 1)); then
    # The shell paints an area at the monitor's scale on top of the stage's,
    # which here is already in device pixels: cut it from the whole screen.
    gn_screenshot "$E2E_TMP/whole.png" || return 1
    "$IM_CONVERT" "$E2E_TMP/whole.png" -crop "${3}x${4}+${1}+${2}" +repage "PNG24:$out"
    return
  elif (($# == 4)); then
    reply=$(wl_run gdbus call --session -d org.gnome.Shell -o /org/gnome/Shell/Screenshot \
      -m org.gnome.Shell.Screenshot.ScreenshotArea "$@" false "$name" 2>&1) || return 1
  else
    reply=$(wl_run gdbus call --session -d org.gnome.Shell -o /org/gnome/Shell/Screenshot \
      -m org.gnome.Shell.Screenshot.Screenshot false false "$name" 2>&1) || return 1
  fi
  [[ $reply == "(true, "* && -s $name ]] || return 1
  mv "$name" "$out"
}

gn_pixel() {
  gn_screenshot "$E2E_TMP/gn-pixel.png" "$1" "$2" 1 1 || return 1
  pixel "$E2E_TMP/gn-pixel.png" 0 0
}

gn_pixel_is() { [[ $(gn_pixel "$1" "$2") == "$3" ]]; }

gn_region_is_pattern() {
  gn_screenshot "$E2E_TMP/region.png" "$@" || return 1
  pattern_crop "$@" "$E2E_TMP/expected.png"
  [[ $(images_identical "$E2E_TMP/expected.png" "$E2E_TMP/region.png") == 0 ]]
}

# The whole screen shows the background (but for the parked pointer).
_gn_screen_is_background() {
  gn_screenshot "$E2E_TMP/screen-check.png" || return 1
  wl_same_but_cursor "$WL_DIR/background.png" "$E2E_TMP/screen-check.png"
}

# --- monitors ----------------------------------------------------------------

# gn_monitors: one line per monitor, "X Y W H SCALE PRIMARY" (stage
# coordinates; PRIMARY 1 for GNOME's primary monitor).
gn_monitors() {
  gn_eval '[...Array(global.display.get_n_monitors()).keys()].map(i => (r => [r.x, r.y, r.width, r.height, global.display.get_monitor_scale(i), i == global.display.get_primary_monitor() ? 1 : 0].join(" "))(global.display.get_monitor_geometry(i))).join(",")' |
    tr ',' '\n'
}

# gn_primary_size: "W H" of GNOME's primary monitor in device pixels.
gn_primary_size() {
  gn_eval '(i => (r => [r.width * global.display.get_monitor_scale(i), r.height * global.display.get_monitor_scale(i)].join(" "))(global.display.get_monitor_geometry(i)))(global.display.get_primary_monitor())'
}

# --- the program's window ------------------------------------------------------

# _gn_app_window_js EXPR: JS that evaluates EXPR with `w`, the program's
# window, or gives "" when it has none.
_gn_app_window_js() {
  printf '(() => { const w = global.get_window_actors().map(a => a.meta_window).find(w => w.get_pid() == %s); return w ? (%s) : ""; })()' "$APP_PID" "$1"
}

# _gn_app_frame: "X Y W H" of the program's window frame when it is shown.
_gn_app_frame() {
  gn_eval "$(_gn_app_window_js 'w.minimized || !w.showing_on_its_workspace() ? "" : (r => r.width > 0 ? [r.x, r.y, r.width, r.height].join(" ") : "")(w.get_frame_rect())')"
}

_gn_app_has_frame() { [[ -n $(_gn_app_frame 2>/dev/null) ]]; }
_gn_app_gone() { ! _gn_app_has_frame; }

# gn_window_state: "MAXIMIZED MINIMIZED" (1 or 0 each).
gn_window_state() {
  gn_eval "$(_gn_app_window_js '[w.get_maximized() == 3 ? 1 : 0, w.minimized ? 1 : 0].join(" ")')"
}

gn_app_window() {
  local timeout=${1:-20}
  wait_until "$timeout" _gn_app_has_frame ||
    app_fail_no_window "no shown window of the program within ${timeout}s"
  APP_FRAME=$(_gn_app_frame)
  local x y w h l t r b
  read -r x y w h <<<"$APP_FRAME"
  if [[ -n $GN_DECORATION ]]; then
    read -r l t r b <<<"$GN_DECORATION"
    APP_RECT="$((x + l)) $((y + t)) $((w - l - r)) $((h - t - b))"
  else
    APP_RECT=
  fi
  e2e_log "window of pid $APP_PID: frame $APP_FRAME, client ${APP_RECT:-unknown} (x y w h)"
}

# _gn_lavender_from FILE: the index of the first lavender (viewport) pixel
# of a one-pixel-wide or -high picture.
_gn_lavender_from() {
  "$IM_CONVERT" "$1" -depth 8 txt:- | awk -F'[,:]' '/#C0C0FF/ { print ($1 > $2 ? $1 : $2); exit }'
}

# _gn_measure_decoration: GN_DECORATION from the shown start panel's window:
# lines from the frame's left edge and top edge to the lavender viewport,
# which begins right at the client area's top-left corner. Qt's decoration
# is as wide at the right and bottom as at the left (the viewport ends
# before the scroll bar and tool bar there, so it cannot tell).
_gn_measure_decoration() {
  local x y w h l t
  read -r x y w h <<<"$APP_FRAME"
  gn_screenshot "$E2E_TMP/row.png" "$x" $((y + h / 2)) $((w / 4)) 1 || return 1
  gn_screenshot "$E2E_TMP/column.png" $((x + w / 2)) "$y" 1 $((h / 4)) || return 1
  l=$(_gn_lavender_from "$E2E_TMP/row.png") t=$(_gn_lavender_from "$E2E_TMP/column.png")
  [[ -n $l && -n $t ]] || return 1
  GN_DECORATION="$l $t $l $l"
  APP_RECT="$((x + l)) $((y + t)) $((w - 2 * l)) $((h - t - l))"
}

# _gn_panel_painted: the start panel's white at client 16,16, on the
# lavender viewport (what a click needs to be ready for).
_gn_panel_painted() {
  APP_FRAME=$(_gn_app_frame) && [[ -n $APP_FRAME ]] || return 1
  _gn_measure_decoration 2>/dev/null || return 1
  local x y
  read -r x y _ <<<"$APP_RECT"
  gn_pixel_is $((x + 16 * GN_SCALE)) $((y + 16 * GN_SCALE)) FFFFFF
}

gn_app_launch() {
  # The program logs the capture backend it chose.
  WL_APP_ENV=(QT_LOGGING_RULES=zentrim.capture.debug=true)
  wl_app_start "$@"
  gn_app_window 20
  wait_for 10 "the start panel to be painted" _gn_panel_painted
  e2e_log "the decoration takes $GN_DECORATION (left top right bottom); client $APP_RECT"
}

# --- the clipboard -------------------------------------------------------------
# Read through the shell itself: mutter offers no data-control protocol, and
# the compositor may read the clipboard whoever has the focus.

gn_clipboard_types() {
  gn_eval 'imports.gi.St.Clipboard.get_default().get_mimetypes(imports.gi.St.ClipboardType.CLIPBOARD).join(" ")' |
    tr ' ' '\n' | grep .
}

gn_clipboard_save() {
  local name=$GN_SHOTS/clip-$RANDOM
  rm -f "$name"
  gn_eval "imports.gi.St.Clipboard.get_default().get_content(imports.gi.St.ClipboardType.CLIPBOARD, '$1', (c, b) => { const d = b ? b.get_data() : null; if (d && d.length) imports.gi.Gio.File.new_for_path('$name').replace_contents(d, null, false, 0, null); }); \"\"" >/dev/null || return 1
  wait_until 5 test -s "$name" || return 1
  mv "$name" "$2"
}

gn_clipboard_is_pattern() {
  local file=$E2E_TMP/clipboard.${1#image/}
  gn_clipboard_save "$1" "$file" || return 1
  pattern_crop "$2" "$3" "$4" "$5" "$E2E_TMP/expected.png"
  [[ $(images_identical "$E2E_TMP/expected.png" "$file") == 0 ]]
}

# --- scenario steps ----------------------------------------------------------

# gn_capture_and_check [ARGS...]: starts the program with ARGS (logging its
# capture backend),
# clicks "Capture" and checks that the window comes back maximised with its
# surface showing the primary monitor one to one from its top-left corner:
# none of the window is in the copy. Leaves the pointer in the surface's
# top-right corner, where it and the cross-hair lines stay out of the way.
gn_capture_and_check() {
  local x y w h k=$GN_SCALE
  read -r x y w h <<<"$APP_RECT"
  # The tool bar's Capture, 56 pixels from the left, 37 from the bottom
  # (times the scale: coordinates here are device pixels).
  # shellcheck disable=SC2046 # two numbers
  wl_click $(gn_at $((x + 56 * k)) $((y + h - 37 * k)))
  wait_for 15 "the window to come back maximised" _gn_back_maximised
  gn_app_window
  read -r x y w h <<<"$APP_RECT"
  # shellcheck disable=SC2046
  wl_pointer_to $(gn_at $((x + w - 60 * k)) $((y + 20 * k)))
  # Short of the scroll bars and the tool bar, and of the top rows and left
  # columns, where the cross-hair's dotted lines wait.
  local sw=$((w - (27 + 80 + 2) * k)) sh=$((h - (27 + 75 + 40) * k))
  wait_for 10 "the surface to show the screen one to one (${sw}x$sh from $((2 * k)),$((40 * k)))" \
    gn_surface_is_pattern $((2 * k)) $((40 * k)) "$sw" "$sh"
}

# gn_capture_again N: clicks "Capture" on the maximised window and waits for
# the program's Nth screenshot through the portal (its log counts them) and
# for the window to come back maximised.
gn_capture_again() {
  local x y w h k=$GN_SCALE
  read -r x y w h <<<"$APP_RECT"
  # shellcheck disable=SC2046 # two numbers
  wl_click $(gn_at $((x + 56 * k)) $((y + h - 37 * k)))
  wait_for 10 "capture $1 to copy the screen" _gn_portal_shots_are "$1"
  wait_for 15 "the window to come back maximised after capture $1" _gn_back_maximised
  gn_app_window
}

_gn_portal_shots_are() {
  (($(grep -c 'portal screenshot took .* ms [0-9]' "$E2E_TMP/app.log") >= $1))
}

_gn_back_maximised() { _gn_app_has_frame && [[ $(gn_window_state 2>/dev/null) == "1 0" ]]; }

# gn_surface_is_pattern X Y W H: the client area's part at X,Y shows the
# pattern's part at X,Y (the surface shows the copy from its origin).
gn_surface_is_pattern() {
  local cx cy
  read -r cx cy _ <<<"$APP_RECT"
  gn_screenshot "$E2E_TMP/surface.png" $((cx + $1)) $((cy + $2)) "$3" "$4" || return 1
  pattern_crop "$@" "$E2E_TMP/expected.png"
  images_identical "$E2E_TMP/expected.png" "$E2E_TMP/surface.png" >"$E2E_TMP/last-compare.txt"
}

# gn_crop_and_check X Y W H: a drag over the surface from client X,Y by
# W x H pixels puts exactly that part of the screen on the clipboard.
gn_crop_and_check() {
  local cx cy
  read -r cx cy _ <<<"$APP_RECT"
  # shellcheck disable=SC2046
  wl_drag $(gn_at $((cx + $1)) $((cy + $2))) $(gn_at $((cx + $1 + $3)) $((cy + $2 + $4)))
  wait_for 5 "the clipboard to hold the $3x$4 pixels under the drag" \
    gn_clipboard_is_pattern image/png "$@"
}

# gn_no_portal_file_left: no screenshot file of the portal's in the user's
# home or Pictures folder (GNOME names them Screenshot*.png).
gn_no_portal_file_left() {
  local left
  left=$(find "$WL_DIR/home" -maxdepth 2 -name 'Screenshot*.png' | head -n 3)
  [[ -z $left ]] || fail "the portal's picture was left behind: $left"
}

# --- failures ------------------------------------------------------------------

gn_report_failure() {
  [[ -n $WL_SESSION_PID ]] || return 0
  gn_screenshot "$E2E_TMP/final-screen.png" 2>/dev/null || true
  gn_eval 'global.get_window_actors().map(a => a.meta_window).map(w => [w.get_pid(), w.get_title(), w.get_maximized(), w.minimized, (r => [r.x, r.y, r.width, r.height].join(","))(w.get_frame_rect())].join(" ")).join("; ")' \
    >"$E2E_TMP/final-windows.txt" 2>&1 || true
  cp "$WL_DIR"/*.log "$E2E_TMP/" 2>/dev/null || true
}
