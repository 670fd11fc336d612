# shellcheck shell=bash
# shellcheck disable=SC2034 # WL_OUTPUT, WL_DISPLAY, APP_RECT: read by wayland.sh and the scenarios
# A private KDE Plasma desktop for the end-to-end scenarios: KWin alone,
# headless (kwin_wayland --virtual), with its own D-Bus session, run like the
# sway desktop of e2e/wayland.sh (whose helpers it uses: wl_run, wl_spawn,
# the program, the pointer, the clipboard). Sourced by e2e_use kwin; a
# scenario asks for it with E2E_DESKTOP=kwin, and run-scenario.sh then calls
# kwin_start_desktop.
#
# Settings a scenario may make at its top level, before the desktop starts:
#   KWIN_SCALE=2          the outputs' scale (W x H stay device pixels)
#   KWIN_OUTPUTS=2        outputs side by side, Virtual-0 leftmost
#   KWIN_PRIMARY_RIGHT=1  with two outputs, Virtual-0 (the one Qt calls
#                         primary) right of Virtual-1, which then lies at
#                         the layout's origin (tools/kwin_output_layout.cpp)
#   KWIN_SCREENSHOT_CHECKS=1  KWin checks who may use its screenshot
#                         interface (otherwise everyone may)
#   KWIN_DATA_DIRS=DIR... prepended to XDG_DATA_DIRS (where KWin looks for
#                         the programs' .desktop files)
#
# Functions (every wait is bounded):
#   kwin_start_desktop [W H]  start the desktop (default 1920x1080 per output)
#   kwin_windows          "PID X Y W H MINIMISED" of each window (client area)
#   kwin_app_window [TIMEOUT]  wait for the program's window; sets APP_RECT
#   kwin_app_launch [ARGS...]  wl_app_start and kwin_app_window
#   kwin_set_background FILE   FILE on the output Virtual-0 (swaybg), checked
#   kwin_screenshot FILE [OUTPUT]  the output's pixels (e2e/tools/kwin_screenshot.cpp)
#   kwin_qt_primary       "NAME X Y W H RATIO" of the screen Qt calls primary
#   kwin_capture_and_crop X Y W H  "Capture", then a drag checked on the
#                         clipboard (see below)
#   kwin_install_program  the program installed in a prefix of the scenario
#                         with its menu entry, where KWin looks (sets WL_APP)
#
# KWin's binary carries a file capability that a container's bounding set
# may lack (exec then fails): the desktop runs a copy, which drops it. The
# pointer helper uses KWin's fake input device, which KWin offers to every
# client with KWIN_WAYLAND_NO_PERMISSION_CHECKS=1. Each desktop has a portal
# folder of its own (XDG_DESKTOP_PORTAL_DIR, empty): no backend installed for
# another desktop answers here. Coordinates given to the functions are the
# desktop's device pixels (all outputs side by side, wherever they stand).

e2e_use wayland

KWIN_SCALE=${KWIN_SCALE:-1}
KWIN_OUTPUTS=${KWIN_OUTPUTS:-1}
KWIN_PRIMARY_RIGHT=${KWIN_PRIMARY_RIGHT:-0}
KWIN_SCREENSHOT_CHECKS=${KWIN_SCREENSHOT_CHECKS:-0}
KWIN_DATA_DIRS=${KWIN_DATA_DIRS:-}
KWIN_OUTPUT_W=1920 # one output's width in device pixels
KWIN_OUTPUT_X=0    # Virtual-0's left edge in device pixels
KWIN_SOCKET=kwin-e2e

_kwin_has_screenshot() {
  wl_run dbus-send --session --print-reply=literal --dest=org.freedesktop.DBus / \
    org.freedesktop.DBus.NameHasOwner string:org.kde.KWin.ScreenShot2 2>/dev/null | grep -q true
}

kwin_start_desktop() {
  local width=${1:-1920} height=${2:-1080} need
  KWIN_OUTPUT_W=$width
  for need in kwin_wayland swaybg wl-paste dbus-daemon dbus-send; do
    command -v "$need" >/dev/null || fail "the KWin desktop needs $need (scripts/deps.sh --test)"
  done
  _wl_prepare
  local shot=${E2E_KWIN_SCREENSHOT:-$(dirname "${APP:-.}")/../e2e/kwin-screenshot}
  [[ -x $shot ]] || fail "the helper kwin-screenshot was not built (set E2E_KWIN_SCREENSHOT)"
  cp /usr/bin/kwin_wayland "$shot" "$WL_DIR/bin/"
  # For kwin_qt_primary, built beside the screenshot helper.
  [[ ! -x ${shot%/*}/qt-screens ]] || cp "${shot%/*}/qt-screens" "$WL_DIR/bin/"
  chmod -R a+rX "$WL_DIR/bin"
  if ((KWIN_PRIMARY_RIGHT)); then
    ((KWIN_OUTPUTS == 2)) || fail "KWIN_PRIMARY_RIGHT=1 needs KWIN_OUTPUTS=2"
    cp "${shot%/*}/kwin-output-layout" "$WL_DIR/bin/" || fail "the helper kwin-output-layout was not built"
    chmod a+rx "$WL_DIR/bin/kwin-output-layout"
  fi
  mkdir -p "$WL_DIR/portals"
  WL_OUTPUT=Virtual-0
  local data_dirs=/usr/local/share:/usr/share
  [[ -z $KWIN_DATA_DIRS ]] || data_dirs=$KWIN_DATA_DIRS:$data_dirs
  WL_ENV=(HOME="$WL_DIR/home" XDG_RUNTIME_DIR="$WL_DIR/runtime" PATH=/usr/local/bin:/usr/bin:/bin
    LANG=C.UTF-8 DBUS_SESSION_BUS_ADDRESS="unix:path=$WL_DIR/runtime/bus"
    XDG_CURRENT_DESKTOP=KDE XDG_SESSION_TYPE=wayland NO_AT_BRIDGE=1
    XDG_CONFIG_HOME="$WL_DIR/home/.config" XDG_DATA_HOME="$WL_DIR/home/.local/share"
    XDG_CACHE_HOME="$WL_DIR/home/.cache" XDG_DATA_DIRS="$data_dirs"
    XDG_DESKTOP_PORTAL_DIR="$WL_DIR/portals")
  # KWin takes an output's size in logical pixels.
  local args=(--virtual --width $((width / KWIN_SCALE)) --height $((height / KWIN_SCALE)) --no-lockscreen --no-global-shortcuts
    --no-kactivities --socket "$KWIN_SOCKET")
  ((KWIN_SCALE == 1)) || args+=(--scale "$KWIN_SCALE")
  ((KWIN_OUTPUTS == 1)) || args+=(--output-count "$KWIN_OUTPUTS")
  printf '%s\n' "${args[@]}" >"$WL_DIR/kwin.args"
  # Scripts' print() (kwin_windows) goes to the log.
  local env=(QT_LOGGING_RULES=kwin_scripting.debug=true KWIN_WAYLAND_NO_PERMISSION_CHECKS=1)
  ((KWIN_SCREENSHOT_CHECKS)) || env+=(KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1)
  printf '%s\n' "${env[@]}" >"$WL_DIR/kwin.env"
  chmod 644 "$WL_DIR/kwin.args" "$WL_DIR/kwin.env"
  _wl_start_leader --compositor kwin
  e2e_on_failure _kwin_report_failure
  wait_until 20 _wl_socket_up "$KWIN_SOCKET" || fail "KWin did not start: $(tail -n 5 "$WL_DIR/kwin.log")"
  WL_DISPLAY=$KWIN_SOCKET
  WL_ENV+=(WAYLAND_DISPLAY="$WL_DISPLAY")
  ((KWIN_PRIMARY_RIGHT)) && _kwin_primary_right "$width"
  wait_for 10 "KWin's screenshot interface on the bus" _kwin_has_screenshot
  wl_activation_env WAYLAND_DISPLAY="$WL_DISPLAY" XDG_CURRENT_DESKTOP=KDE NO_AT_BRIDGE=1 \
    XDG_DESKTOP_PORTAL_DIR="$WL_DIR/portals"

  # The pointer moves over the whole desktop in device pixels (the outputs
  # side by side, all at KWIN_SCALE).
  _wl_start_pointer $((width * KWIN_OUTPUTS)) "$height" "$KWIN_SCALE"
  wait_for 10 "the fake input device" grep -qx ready "$WL_DIR/pointer.log"
  wl_pointer_to $((width * KWIN_OUTPUTS - 1)) $((height - 1))
  e2e_log "KWin desktop $WL_DISPLAY ready ($KWIN_OUTPUTS x ${width}x${height}, scale $KWIN_SCALE," \
    "Virtual-0 at x $KWIN_OUTPUT_X, user $WL_USER)"
}

# _kwin_primary_right W: Virtual-1 to the layout's origin and Virtual-0 (W
# device pixels wide) right of it, checked against what KWin then reports.
_kwin_primary_right() {
  local x=$(($1 / KWIN_SCALE)) layout
  layout=$(wl_run timeout 10 "$WL_DIR/bin/kwin-output-layout" Virtual-1=0,0 "Virtual-0=$x,0" 2>&1) ||
    fail "KWin did not take the layout: $layout"
  assert_eq "Virtual-0 $x 0"$'\n'"Virtual-1 0 0" "$layout" "KWin's outputs after the layout"
  KWIN_OUTPUT_X=$1
}

kwin_qt_primary() {
  [[ -x $WL_DIR/bin/qt-screens ]] || fail "the helper qt-screens was not built"
  wl_run QT_QPA_PLATFORM=wayland "$WL_DIR/bin/qt-screens" | head -n 1 | sed 's/^\*//'
}

# _kwin_report_failure: the output as KWin shows it and KWin's windows
# (after wl_report_failure, whose grim cannot read KWin's outputs).
_kwin_report_failure() {
  [[ -n $WL_SESSION_PID ]] || return 0
  kwin_screenshot "$E2E_TMP/final-screen.png" 2>/dev/null || true
  kwin_windows >"$E2E_TMP/final-tree.txt" 2>&1 || true
}

# kwin_windows: asks KWin (a script of its own, whose print() lands in the
# log as "js: ..." lines marked with this call's name) for its windows. KWin
# 5.27 has no clientGeometry: frameGeometry is the client area where KWin
# draws no decoration (none is installed here).
kwin_windows() {
  # Called in subshells (wait_until): the name comes from the clock, not a counter.
  local seq=${EPOCHREALTIME/./}
  local name=zs-list-$seq script=$WL_DIR/list-$seq.js
  cat >"$script" <<JS
var windows = workspace.clientList();
for (var i = 0; i < windows.length; ++i) {
    var w = windows[i], g = w.clientGeometry || w.frameGeometry;
    print("$name " + w.pid + " " + g.x + " " + g.y + " " + g.width + " " + g.height + " " + (w.minimized ? 1 : 0));
}
print("$name end");
JS
  chmod 644 "$script"
  local id
  id=$(wl_run dbus-send --session --print-reply=literal --dest=org.kde.KWin /Scripting \
    org.kde.kwin.Scripting.loadScript string:"$script" string:"$name") || return 1
  id=${id##* } # "   int32 N"
  # The script's own object runs it and answers once it has been evaluated
  # (Scripting.start runs only the scripts configured in kwinrc).
  wl_run dbus-send --session --print-reply --dest=org.kde.KWin "/$id" org.kde.kwin.Script.run >/dev/null ||
    return 1
  wait_until 5 grep -q "js: $name end" "$WL_DIR/kwin.log" || return 1
  wl_run dbus-send --session --dest=org.kde.KWin /Scripting org.kde.kwin.Scripting.unloadScript \
    string:"$name" || true
  sed -n "s/^js: $name \\([0-9].*\\)/\\1/p" "$WL_DIR/kwin.log"
}

# _kwin_app_rect: the program's visible main window, in device pixels (KWin
# lists logical ones).
_kwin_app_rect() {
  kwin_windows | awk -v pid="$APP_PID" -v s="$KWIN_SCALE" \
    '$1 == pid && $6 == 0 && $4 > 100 { print $2 * s, $3 * s, $4 * s, $5 * s; exit }'
}
_kwin_app_has_rect() { [[ -n $(_kwin_app_rect) ]]; }

kwin_app_window() {
  local timeout=${1:-20}
  wait_until "$timeout" _kwin_app_has_rect ||
    app_fail_no_window "no visible window of the program within ${timeout}s"
  APP_RECT=$(_kwin_app_rect)
  e2e_log "window of pid $APP_PID at $APP_RECT (x y w h)"
}

kwin_app_launch() {
  wl_app_start "$@"
  kwin_app_window 20
}

kwin_set_background() {
  local file=$WL_DIR/background.png
  cp "$1" "$file"
  chmod 644 "$file"
  wl_spawn swaybg -o "$WL_OUTPUT" -i "$file" -m center >"$WL_DIR/swaybg.log" 2>&1
  wait_for 10 "the background to show on $WL_OUTPUT" _kwin_output_shows "$1"
}

# kwin_screenshot FILE [OUTPUT]: what KWin shows on OUTPUT ($WL_OUTPUT), in
# device pixels, without the cursor.
kwin_screenshot() {
  wl_run "$WL_DIR/bin/kwin-screenshot" "${2:-$WL_OUTPUT}" >"$1" 2>>"$WL_DIR/kwin-screenshot.log"
}

_kwin_output_shows() { # FILE
  kwin_screenshot "$E2E_TMP/output-check.png" &&
    [[ $(images_identical "$1" "$E2E_TMP/output-check.png") == 0 ]]
}

# kwin_capture_and_crop X Y W H [CW CH]: clicks "Capture" in the window at
# X,Y (W x H, device pixels), waits for it to come back maximised
# (APP_RECT), drags over CW x CH device pixels (200 x 150) from where the
# window's own 100,100 was, and checks that exactly that part of the
# wallpaper pattern reaches the clipboard: the copy shows no window there.
# Sets KWIN_CROP to "X Y W H" of that region.
kwin_capture_and_crop() {
  local x=$1 y=$2 h=$4 cw=${5:-200} ch=${6:-150} s=$KWIN_SCALE
  local before=$APP_RECT left top
  wl_click $((x + 56 * s)) $((y + h - 37 * s))
  wait_for 15 "the window to come back maximised" _kwin_app_maximised "$before"
  APP_RECT=$(_kwin_app_rect)
  e2e_log "after Capture the window is at $APP_RECT"
  read -r left top _ _ <<<"$APP_RECT"
  local cx=$((x - left + 100)) cy=$((y - top + 100))
  wl_drag $((left + cx)) $((top + cy)) $((left + cx + cw)) $((top + cy + ch))
  wl_pointer_to $((left + 20)) $((top + h))
  KWIN_CROP="$cx $cy $cw $ch"
  wait_for 5 "the clipboard to hold the selected ${cw}x${ch} region of the pattern at $cx,$cy" \
    wl_clipboard_is_pattern image/png "$cx" "$cy" "$cw" "$ch"
}

_kwin_app_maximised() { # RECT-BEFORE
  local rect w
  rect=$(_kwin_app_rect)
  [[ -n $rect && $rect != "$1" ]] && read -r _ _ w _ <<<"$rect" && ((w >= KWIN_OUTPUT_W - 20))
}

# kwin_install_program: the program and its helper in $KWIN_PREFIX/bin, the
# menu entry (written as the package writes it) in $KWIN_PREFIX/share/
# applications with one for kwin-screenshot, and KDE's service cache
# rebuilt, so that KWin finds the entries that authorise both. KWIN_DATA_DIRS must include
# $KWIN_PREFIX/share before the desktop starts.
KWIN_PREFIX=$E2E_TMP/wl/prefix
kwin_install_program() {
  mkdir -p "$KWIN_PREFIX/bin" "$KWIN_PREFIX/share/applications"
  cp "$WL_APP" "$WL_DIR/bin/zentrim-screen-clipboard" "$KWIN_PREFIX/bin/"
  cmake -DIN="$E2E_LIB_DIR/../assets/zentrim-screen.desktop" \
    -DOUT="$KWIN_PREFIX/share/applications/zentrim-screen.desktop" \
    -DBINARY="$KWIN_PREFIX/bin/zentrim-screen" -P "$E2E_LIB_DIR/../packaging/desktop_entry.cmake" ||
    fail "could not write the menu entry"
  # The screenshot helper (kwin_screenshot) needs an entry of its own.
  cat >"$KWIN_PREFIX/share/applications/zentrim-e2e-kwin-screenshot.desktop" <<EOF
[Desktop Entry]
Type=Application
Name=KWin screenshot helper of the end-to-end tests
Exec=$WL_DIR/bin/kwin-screenshot
NoDisplay=true
X-KDE-DBUS-Restricted-Interfaces=org.kde.KWin.ScreenShot2
EOF
  chmod -R a+rX "$KWIN_PREFIX"
  WL_APP=$KWIN_PREFIX/bin/zentrim-screen
  E2E_PROGRAM_COPIES+=("$WL_APP" "$KWIN_PREFIX/bin/zentrim-screen-clipboard")
  wl_run kbuildsycoca5 --noincremental >"$WL_DIR/kbuildsycoca.log" 2>&1 ||
    fail "kbuildsycoca5 failed: $(tail -n 3 "$WL_DIR/kbuildsycoca.log")"
}
