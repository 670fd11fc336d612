# shellcheck shell=bash
# shellcheck disable=SC2034 # APP_STATUS, WL_TMP and the WL_* places: read by lib.sh and the scenarios
# A private Wayland desktop for the end-to-end scenarios: headless sway with
# a D-Bus session, PipeWire and the desktop portal (xdg-desktop-portal with
# its wlr and gtk backends), run as an unprivileged user, and the program
# on it. Sourced by e2e_use wayland; a scenario asks for it with
# E2E_DESKTOP=wayland at its top level, and run-scenario.sh then sources this
# file and calls wl_start_desktop instead of starting Xvfb. Needs e2e/lib.sh.
#
# A scenario may set, at its top level: WL_SCALE (the output's integer
# scale; W H then give its mode in device pixels) and WL_LEFT_OUTPUT=1 (a
# second output, HEADLESS-2 showing WL_LEFT_COLOUR, left of HEADLESS-1,
# which Qt still takes as its primary screen and which then does not lie at
# the layout's origin). Coordinates given to the functions below are device
# pixels of HEADLESS-1 at any scale and position (even ones at scale 2).
#
# Functions (every wait is bounded):
#   wl_start_desktop [W H]    start the desktop (default 1920x1080); sets
#                             WL_DISPLAY, WL_USER, WL_ENV; registers
#                             wl_stop_desktop and wl_report_failure
#   wl_run CMD...             run CMD as the desktop's user, in its session
#                             (Wayland, D-Bus, sway IPC, private /tmp)
#   wl_spawn CMD...           the same in the background; the PID is kept in
#                             E2E_EXTRA_PIDS (stopped by the cleanup) and in
#                             WL_SPAWNED
#   wl_activation_env VAR=... add variables to what D-Bus-started services see
#   wl_grant_screenshot       let the portal take screenshots without asking
#   wl_portal_has_screenshot  the portal is up and offers screenshots
#   wl_portal_ready           grant screenshots, wait for the portal
#   wl_set_background FILE    show FILE one to one on the output (swaybg) and
#                             wait until a screenshot shows exactly it
#   wl_app_start [ARGS...]    start $APP on Qt's wayland platform (APP_PID),
#                             with the variables in WL_APP_ENV (VAR=VALUE)
#   wl_app_window [TIMEOUT]   wait for its visible window; sets APP_RECT to
#                             "X Y W H" of the client area on the output
#   wl_app_launch [ARGS...]   both, then wait for the start panel
#   wl_expect_backend NAME    the program logged NAME as its capture backend
#   wl_capture_crop_exit X Y W H  capture, crop, Exit: the crop exact throughout
#   wl_pointer_to X Y         move the pointer (output coordinates; through
#                             the helper wl-pointer-device, a virtual mouse)
#   wl_park_pointer           the cross-hair to the surface's corner, the
#                             pointer off it
#   wl_click X Y              left click; wl_press/wl_release [BUTTON]
#   wl_drag X0 Y0 X1 Y1 [STEPS]  press, move in steps, release
#   wl_screenshot FILE [X Y W H] the output, or a region of it (grim)
#   wl_pixel X Y              RRGGBB on the output now; wl_pixel_is X Y RRGGBB
#   wl_region_is_pattern X Y W H  that region of the output is the pattern's
#   wl_same_but_cursor A B [X Y]  two output pictures agree but for the box
#                             where a cursor is drawn (default: the parked one)
#   wl_clipboard_types        the clipboard's MIME types, one per line
#   wl_clipboard_save TYPE FILE  the clipboard's data of TYPE into FILE
#   wl_clipboard_is_pattern TYPE X Y W H  the clipboard's TYPE picture is
#                             that part of the pattern
#   wl_clipboard_is_text TEXT the clipboard holds TEXT
#   wl_stop_desktop           stop everything started here (run by
#                             e2e_cleanup)
#   wl_report_failure         save a screenshot, sway's tree and the logs
#                             (run by run-scenario.sh when a scenario fails)
#
# The program runs from a copy in $WL_DIR/bin ($WL_APP), since the build may
# lie where the desktop's user cannot enter. sway tiles it over the whole
# output, so client and output coordinates coincide.
#
# The session leader is e2e/wayland-session.sh, which makes the mounts
# described below and starts the bus, PipeWire and sway.
#
# When the tests run as root (CI), the desktop runs as the system user
# zentrim-e2e-wl (created on first use: sway refuses to run as root) inside
# a private mount namespace whose /tmp is a directory of the scenario, so
# that files the portal writes to a fixed name in /tmp do not meet another
# desktop's. As a normal user everything runs as that user with the real
# /tmp, and so as root in a chroot, where no private mount namespace can be
# made (/ is no mount point). Wayland clients share their pixels through
# files in /dev/shm; where the desktop's user cannot write there (a chroot
# that binds only the host's /dev shows devtmpfs's bare directory), the
# desktop gets a tmpfs of its own there, in a mount namespace whose /dev no
# longer passes mounts on to the host. Every process belongs to the
# desktop's session or the program's (setsid), or was started here, and the
# cleanup stops exactly those, never anything found by name.

WL_USER=
WL_DISPLAY=
WL_ENV=()
WL_SESSION_PID= # leader of the process session that holds the desktop
WL_PRIVATE_TMP=0 # 1 when the desktop has a mount namespace with its own /tmp
WL_SHM_TMPFS=0   # 1 when it has one with a tmpfs of its own on /dev/shm
WL_TMP=/tmp      # the desktop's /tmp, as seen from here
WL_APP_SESSIONS=() # the program's own sessions: what it leaves running is stopped too
WL_DIR=         # $E2E_TMP/wl: runtime dir, home, private /tmp, binaries
WL_SPAWNED=
WL_OUTPUT=HEADLESS-1
WL_SYSTEM_USER=zentrim-e2e-wl
WL_WIDTH=1920 WL_HEIGHT=1080 # HEADLESS-1's size in device pixels

WL_SCALE=${WL_SCALE:-1}
WL_LEFT_OUTPUT=${WL_LEFT_OUTPUT:-0}
WL_LEFT_COLOUR=${WL_LEFT_COLOUR:-#20A040}
WL_OUTPUT_X=0 # HEADLESS-1's left edge in the layout (logical pixels)

# Client places in the program's window, which sway tiles over the whole
# 1920x1080 (logical) output; in device pixels once the desktop is up.
WL_CAPTURE_BUTTON=(56 1043)
WL_ALL_SCREEN_BUTTON=(472 1043)
WL_EXIT_BUTTON=(1863 1043)

# wl_tool_path: the pointer helper built with the tests.
wl_tool_path() {
  local tool=${E2E_WL_POINTER_DEVICE:-}
  if [[ -z $tool && -n ${APP:-} ]]; then
    tool=$(dirname "$APP")/../e2e/wl-pointer-device
  fi
  [[ -n $tool && -x $tool ]] || return 1
  realpath "$tool"
}

_wl_as_root() { ((EUID == 0)); }
_wl_own_mount_ns() { ((WL_PRIVATE_TMP || WL_SHM_TMPFS)); }

# _wl_ensure_user: the unprivileged user the desktop runs as (root only).
_wl_ensure_user() {
  if ! id -u "$WL_SYSTEM_USER" >/dev/null 2>&1; then
    # Two scenarios may start at once; the loser of the race finds the user.
    useradd --system --user-group --no-create-home --home-dir /nonexistent \
      --shell /usr/sbin/nologin "$WL_SYSTEM_USER" 2>/dev/null ||
      id -u "$WL_SYSTEM_USER" >/dev/null 2>&1 ||
      fail "cannot create the user $WL_SYSTEM_USER for the Wayland desktop"
  fi
  WL_USER=$WL_SYSTEM_USER
}

# _wl_exec: the command prefix that enters the desktop's mount namespace and
# becomes its user (empty when not root).
_wl_exec() {
  _wl_as_root || return 0
  local uid gid
  uid=$(id -u "$WL_USER") gid=$(id -g "$WL_USER")
  # Entering a mount namespace leaves a chroot: --root keeps the leader's.
  ! _wl_own_mount_ns ||
    printf '%s\0' nsenter "--mount=/proc/$WL_SESSION_PID/ns/mnt" "--root=/proc/$WL_SESSION_PID/root" --
  printf '%s\0' setpriv "--reuid=$uid" "--regid=$gid" --clear-groups
}

wl_run() {
  local prefix=()
  mapfile -d '' -t prefix < <(_wl_exec)
  "${prefix[@]}" env -i "${WL_ENV[@]}" "$@"
}

# In the background the subshell execs the command chain (nsenter, setpriv
# and env exec too), so $! is the command's own PID.
_wl_exec_bg() {
  local prefix=()
  mapfile -d '' -t prefix < <(_wl_exec)
  exec "${prefix[@]}" env -i "${WL_ENV[@]}" "$@"
}

# Standard input is passed on explicitly: a background command without job
# control would otherwise read /dev/null.
wl_spawn() {
  (_wl_exec_bg "$@") <&0 &
  WL_SPAWNED=$!
  E2E_EXTRA_PIDS+=("$WL_SPAWNED")
}

wl_activation_env() {
  wl_run dbus-update-activation-environment "$@" >/dev/null 2>&1 ||
    fail "could not pass $* to the D-Bus session"
}

_wl_socket_up() { [[ -S $WL_DIR/runtime/$1 ]]; }
_wl_sway_socket() { compgen -G "$WL_DIR/runtime/sway-ipc.*.sock" | head -n 1; }
_wl_sway_answers() { wl_run swaymsg -t get_version >/dev/null 2>&1; }
_wl_seat_has_pointer() {
  [[ $(wl_run swaymsg -t get_seats 2>/dev/null | jq '[.[] | select(.capabilities % 2 == 1)] | length') -ge 1 ]]
}

# wl_start_desktop [W H]
wl_start_desktop() {
  local width=${1:-1920} height=${2:-1080}
  WL_WIDTH=$width WL_HEIGHT=$height
  local need
  for need in sway swaymsg swaybg grim wl-paste dbus-daemon pipewire jq \
    /usr/libexec/xdg-desktop-portal /usr/libexec/xdg-desktop-portal-wlr; do
    command -v "$need" >/dev/null || fail "the Wayland desktop needs $need (scripts/deps.sh --test)"
  done
  _wl_prepare
  cat >"$WL_DIR/sway.conf" <<EOF
xwayland disable
output $WL_OUTPUT mode ${width}x${height} position 0 0 scale $WL_SCALE
default_border none
default_floating_border none
focus_follows_mouse no
EOF
  chmod 644 "$WL_DIR/sway.conf"
  # The portal backends this desktop may use, whatever else is installed:
  # the wlr one for screenshots, the gtk one for the access check.
  mkdir -p "$WL_DIR/portals"
  cp /usr/share/xdg-desktop-portal/portals/{wlr,gtk}.portal "$WL_DIR/portals/"
  chmod -R a+rX "$WL_DIR/portals"

  WL_ENV=(HOME="$WL_DIR/home" XDG_RUNTIME_DIR="$WL_DIR/runtime" PATH=/usr/local/bin:/usr/bin:/bin
    LANG=C.UTF-8 DBUS_SESSION_BUS_ADDRESS="unix:path=$WL_DIR/runtime/bus"
    XDG_CURRENT_DESKTOP=sway XDG_SESSION_TYPE=wayland NO_AT_BRIDGE=1
    XDG_CONFIG_HOME="$WL_DIR/home/.config" XDG_DATA_HOME="$WL_DIR/home/.local/share"
    XDG_CACHE_HOME="$WL_DIR/home/.cache" XDG_DESKTOP_PORTAL_DIR="$WL_DIR/portals")
  _wl_start_leader --compositor sway
  wait_until 10 _wl_socket_up pipewire-0 || fail "PipeWire did not start: $(tail -n 3 "$WL_DIR/pipewire.log")"
  local socket
  wait_until 15 _wl_sway_socket >/dev/null || fail "sway did not start: $(tail -n 5 "$WL_DIR/sway.log")"
  socket=$(_wl_sway_socket)
  wait_until 10 compgen -G "$WL_DIR/runtime/wayland-*.lock" >/dev/null || fail "sway made no Wayland socket"
  WL_DISPLAY=$(basename "$(compgen -G "$WL_DIR/runtime/wayland-*.lock" | head -n 1)" .lock)
  WL_ENV+=(WAYLAND_DISPLAY="$WL_DISPLAY" SWAYSOCK="$socket")
  wait_for 10 "sway to answer on its socket" _wl_sway_answers
  # D-Bus-started services (the portal and its backends) must find sway.
  wl_activation_env WAYLAND_DISPLAY="$WL_DISPLAY" XDG_CURRENT_DESKTOP=sway NO_AT_BRIDGE=1 \
    XDG_DESKTOP_PORTAL_DIR="$WL_DIR/portals"

  ((WL_LEFT_OUTPUT)) && _wl_add_left_output
  WL_CAPTURE_BUTTON=($((56 * WL_SCALE)) $((1043 * WL_SCALE)))
  WL_ALL_SCREEN_BUTTON=($((472 * WL_SCALE)) $((1043 * WL_SCALE)))
  WL_EXIT_BUTTON=($((1863 * WL_SCALE)) $((1043 * WL_SCALE)))

  _wl_start_pointer "$width" "$height"
  wait_for 10 "the virtual pointer on the seat" _wl_seat_has_pointer
  # Its absolute positions span HEADLESS-1 alone, in device pixels.
  wl_run swaymsg input type:pointer map_to_output "$WL_OUTPUT" >/dev/null ||
    fail "could not map the pointer to $WL_OUTPUT"
  # Park the pointer in the bottom-right corner: sway draws the cursor into
  # the output (and into every screenshot); the checks leave that corner out.
  wl_pointer_to $((width - 1)) $((height - 1))
  e2e_log "Wayland desktop $WL_DISPLAY ready (${width}x${height} scale $WL_SCALE at x $WL_OUTPUT_X, user $WL_USER)"
}

_wl_output_count() { wl_run swaymsg -t get_outputs | jq length; }

# _wl_add_left_output: HEADLESS-2, 1920x1080 in a plain colour, at the
# layout's origin, HEADLESS-1 to its right, and the focus (where sway opens
# windows) back on HEADLESS-1.
_wl_add_left_output() {
  wl_run swaymsg create_output >/dev/null || fail "sway made no second output"
  wait_for 5 "the second output" test "$(_wl_output_count)" -ge 2
  WL_OUTPUT_X=1920
  if ! { wl_run swaymsg output HEADLESS-2 mode 1920x1080 position 0 0 scale 1 &&
    wl_run swaymsg output "$WL_OUTPUT" position "$WL_OUTPUT_X" 0 &&
    wl_run swaymsg output HEADLESS-2 bg "$WL_LEFT_COLOUR" solid_color &&
    wl_run swaymsg focus output "$WL_OUTPUT"; } >/dev/null; then
    fail "could not lay out the two outputs"
  fi
}

# _wl_prepare: the desktop's folders, user and mount decisions, and copies
# of the program and the pointer helper in $WL_DIR/bin (also for e2e/kwin.sh).
_wl_prepare() {
  local tool
  tool=$(wl_tool_path) || fail "the helper wl-pointer-device was not built (set E2E_WL_POINTER_DEVICE)"
  e2e_make_tmp
  e2e_on_cleanup wl_stop_desktop
  e2e_on_failure wl_report_failure
  unset DISPLAY WAYLAND_DISPLAY
  WL_DIR=$E2E_TMP/wl
  mkdir -p "$WL_DIR/runtime" "$WL_DIR/home" "$WL_DIR/tmp" "$WL_DIR/bin"
  chmod 700 "$WL_DIR/runtime"
  chmod 1777 "$WL_DIR/tmp"
  # The user runs copies of the program and the helper: the build may lie
  # in a folder only root can enter.
  cp "$tool" "$WL_DIR/bin/wl-pointer-device"
  if [[ -n ${APP:-} ]]; then
    cp "$APP" "$WL_DIR/bin/"
    WL_APP=$WL_DIR/bin/$(basename "$APP")
    # Every process of these copies is this scenario's (our_processes).
    E2E_PROGRAM_COPIES+=("$WL_APP" "$WL_DIR/bin/zentrim-screen-clipboard")
    # The clipboard helper the program starts from its own folder.
    [[ ! -x ${APP%/*}/zentrim-screen-clipboard ]] ||
      cp "${APP%/*}/zentrim-screen-clipboard" "$WL_DIR/bin/"
  fi
  if _wl_as_root; then
    _wl_ensure_user
    # A private mount namespace needs / to be a mount point; inside a chroot
    # it is not, and the desktop then shares the real /tmp (the scenarios run
    # one at a time, so the portal's fixed file name meets no other desktop).
    if unshare --mount --propagation private true 2>/dev/null; then
      WL_PRIVATE_TMP=1 WL_TMP=$WL_DIR/tmp
    else
      e2e_log "no private mount namespace here (a chroot?): the desktop shares /tmp"
    fi
    if ! setpriv "--reuid=$(id -u "$WL_USER")" "--regid=$(id -g "$WL_USER")" --clear-groups test -w /dev/shm; then
      # The tmpfs must not reach the host: outside a private namespace the
      # mount that holds /dev/shm is made private first (in a chroot that is
      # its bind of /dev; where /dev is no mount point of its own this fails
      # and the desktop cannot start).
      e2e_log "$WL_USER cannot write /dev/shm: the desktop gets a tmpfs there of its own"
      WL_SHM_TMPFS=1
    fi
    chown "$WL_USER:" "$WL_DIR/runtime" "$WL_DIR/home"
    chmod 711 "$E2E_TMP" "$WL_DIR"
    chmod -R a+rX "$WL_DIR/bin"
  else
    WL_USER=$(id -un)
    test -w /dev/shm || fail "Wayland clients need to write /dev/shm, and $WL_USER cannot"
  fi
}

# _wl_start_leader [LEADER-OPTION...]: starts the session leader with
# WL_ENV and waits for its bus.
_wl_start_leader() {
  # The session leader (e2e/wayland-session.sh) makes the mounts decided
  # above, in a mount namespace of its own, and starts the bus, PipeWire and
  # sway as the user.
  local leader=(bash "$E2E_LIB_DIR/wayland-session.sh" "$@")
  ((WL_PRIVATE_TMP)) && leader+=(--private-tmp "$E2E_TMP")
  ((WL_SHM_TMPFS)) && leader+=(--shm-tmpfs)
  _wl_as_root && leader+=(--as "$(id -u "$WL_USER"):$(id -g "$WL_USER")")
  leader+=("$WL_DIR" -- "${WL_ENV[@]}")
  _wl_run_leader Wayland "${leader[@]}"
}

# _wl_run_leader NAME COMMAND...: starts the session leader COMMAND in a
# session and, as decided, a mount namespace of its own, and waits for its
# bus (also for e2e/gnome.sh, whose leader is its own).
_wl_run_leader() {
  local name=$1
  shift
  if ((WL_PRIVATE_TMP)); then
    setsid unshare --mount --propagation private -- "$@" </dev/null >"$WL_DIR/leader.log" 2>&1 &
  elif _wl_own_mount_ns; then
    # Its mounts would reach the host's until the leader makes /dev private.
    setsid unshare --mount --propagation unchanged -- "$@" </dev/null >"$WL_DIR/leader.log" 2>&1 &
  else
    setsid "$@" </dev/null >"$WL_DIR/leader.log" 2>&1 &
  fi
  # setsid forks when it must; the leader writes down its own PID.
  local started=$!
  wait_until 5 test -s "$WL_DIR/leader.pid" ||
    fail "the $name session did not start: $(tail -n 3 "$WL_DIR/leader.log")"
  WL_SESSION_PID=$(<"$WL_DIR/leader.pid")
  E2E_EXTRA_PIDS+=("$started")

  wait_until 10 _wl_socket_up bus || fail "the D-Bus session did not start: $(tail -n 3 "$WL_DIR/dbus.log")"
}

# _wl_start_pointer W H [SCALE]: the pointer helper over W x H, fed through a FIFO.
_wl_start_pointer() {
  mkfifo -m 644 "$WL_DIR/pointer.in"
  # Opened read-write: opening a FIFO only for reading would wait for a writer.
  wl_spawn "$WL_DIR/bin/wl-pointer-device" "$@" <>"$WL_DIR/pointer.in" >"$WL_DIR/pointer.log" 2>&1
  exec {WL_POINTER_FD}>"$WL_DIR/pointer.in"
  WL_POINTER_SEQ=0
}

# wl_grant_screenshot: the permission a user gives the portal once ("allow
# screenshots"), granted up front so that no dialog asks.
wl_grant_screenshot() {
  wl_run dbus-send --session --print-reply=literal --dest=org.freedesktop.impl.portal.PermissionStore \
    /org/freedesktop/impl/portal/PermissionStore org.freedesktop.impl.portal.PermissionStore.SetPermission \
    string:screenshot boolean:true string:screenshot string: array:string:yes >/dev/null ||
    fail "could not grant the screenshot permission"
}

# wl_portal_has_screenshot: the portal exports the Screenshot interface (the
# first call starts the portal and its backends, which takes seconds on a
# busy machine: a session usually has it running before anyone captures).
wl_portal_has_screenshot() {
  wl_run dbus-send --session --print-reply=literal --dest=org.freedesktop.portal.Desktop \
    /org/freedesktop/portal/desktop org.freedesktop.DBus.Properties.Get \
    string:org.freedesktop.portal.Screenshot string:version >/dev/null 2>&1
}

# wl_portal_ready: screenshots granted and the portal up, ready to capture.
wl_portal_ready() {
  wl_grant_screenshot
  wait_for 30 "the screenshot portal to start" wl_portal_has_screenshot
}

# --- pointer ---------------------------------------------------------------

# The helper wl-pointer-device owns the seat's only pointer and takes one
# command a line from a FIFO held open here; it answers "done N" in its log
# once the compositor has handled the N-th.
WL_POINTER_FD=
WL_POINTER_SEQ=0

_wl_pointer_answered() { grep -qE "^(done|error) $1( |\$)" "$WL_DIR/pointer.log"; }

wl_pointer_cmd() {
  [[ -n $WL_POINTER_FD ]] || fail "no pointer: the Wayland desktop is not running"
  printf '%s\n' "$*" >&"$WL_POINTER_FD" || fail "the pointer helper is gone"
  WL_POINTER_SEQ=$((WL_POINTER_SEQ + 1))
  wait_until 5 _wl_pointer_answered "$WL_POINTER_SEQ" ||
    fail "the pointer helper did not carry out '$*'"
  grep -q "^done $WL_POINTER_SEQ\$" "$WL_DIR/pointer.log" || fail "pointer: $(tail -n 1 "$WL_DIR/pointer.log")"
}

wl_pointer_to() { wl_pointer_cmd move "$1" "$2"; }
wl_press() { wl_pointer_cmd press "${1:-1}"; }
wl_release() { wl_pointer_cmd release "${1:-1}"; }

# wl_park_pointer: the surface's cross-hair lines to its top-right corner
# (x 1860, y 20), then the pointer off the surface to the output's
# bottom-right corner, where no tooltip of the surface covers what the
# checks compare and the cursor lies outside it.
wl_park_pointer() {
  wl_pointer_to $((1860 * WL_SCALE)) $((20 * WL_SCALE))
  wl_pointer_to $((WL_WIDTH - 1)) $((WL_HEIGHT - 1))
}

wl_click() {
  wl_pointer_to "$1" "$2"
  wl_press 1
  wl_release 1
}

wl_drag() {
  local x0=$1 y0=$2 x1=$3 y1=$4 steps=${5:-8} i
  wl_pointer_to "$x0" "$y0"
  wl_press 1
  for ((i = 1; i <= steps; i++)); do
    wl_pointer_to $((x0 + (x1 - x0) * i / steps)) $((y0 + (y1 - y0) * i / steps))
  done
  wl_release 1
}

# --- screen and clipboard --------------------------------------------------

wl_screenshot() {
  local out=$1
  shift
  if (($# == 4)); then
    local s=$WL_SCALE
    wl_run grim -t png -g "$((WL_OUTPUT_X + $1 / s)),$(($2 / s)) $(($3 / s))x$(($4 / s))" - >"$out"
  else
    wl_run grim -t png -o "$WL_OUTPUT" - >"$out"
  fi
}

wl_pixel() {
  wl_screenshot "$E2E_TMP/wl-pixel.png" "$1" "$2" "$WL_SCALE" "$WL_SCALE" || return 1
  pixel "$E2E_TMP/wl-pixel.png" 0 0
}

wl_pixel_is() { [[ $(wl_pixel "$1" "$2") == "$3" ]]; } # X Y RRGGBB

# wl_region_is_pattern X Y W H: that region of the output is the pattern's.
wl_region_is_pattern() {
  wl_screenshot "$E2E_TMP/region.png" "$@" || return 1
  pattern_crop "$@" "$E2E_TMP/expected.png"
  [[ $(images_identical "$E2E_TMP/expected.png" "$E2E_TMP/region.png") == 0 ]]
}

wl_clipboard_types() { wl_run timeout 5 wl-paste --list-types 2>/dev/null; }

wl_clipboard_save() {
  wl_run timeout 5 wl-paste --no-newline --type "$1" >"$2" 2>/dev/null && [[ -s $2 ]]
}

# wl_clipboard_is_pattern TYPE X Y W H: the clipboard's TYPE picture (saved
# as $E2E_TMP/clipboard.png for image/png) is that part of the pattern.
wl_clipboard_is_pattern() {
  local file=$E2E_TMP/clipboard.${1#image/}
  wl_clipboard_save "$1" "$file" || return 1
  pattern_crop "$2" "$3" "$4" "$5" "$E2E_TMP/expected.png"
  [[ $(images_identical "$E2E_TMP/expected.png" "$file") == 0 ]]
}

wl_clipboard_is_text() { [[ $(wl_run timeout 5 wl-paste --no-newline 2>/dev/null) == "$1" ]]; }

# wl_set_background FILE: FILE must have the output's size.
wl_set_background() {
  local file=$WL_DIR/background.png
  cp "$1" "$file"
  chmod 644 "$file"
  wl_spawn swaybg -o "$WL_OUTPUT" -i "$file" -m center >"$WL_DIR/swaybg.log" 2>&1
  # A large picture takes swaybg a while on a busy machine.
  wait_for 30 "the background to show on the output" _wl_output_shows "$1"
}

_wl_output_shows() { # FILE: the output equals FILE but for the parked cursor
  wl_screenshot "$E2E_TMP/output-check.png" || return 1
  wl_same_but_cursor "$1" "$E2E_TMP/output-check.png"
}

# wl_same_but_cursor A B [X Y]: two full-output pictures agree in every
# pixel outside the 32 x 32 box from X,Y, where a cursor is drawn (default:
# the bottom-right corner, where the parked cursor is).
wl_same_but_cursor() {
  local w h
  read -r w h < <(image_size "$1") || return 1
  local x=${3:-$((w - 32))} y=${4:-$((h - 32))}
  local mask=(-fill black -draw "rectangle $x,$y $((x + 31)),$((y + 31))")
  "$IM_CONVERT" "$1" "${mask[@]}" "PNG24:$E2E_TMP/masked-a.png" || return 1
  "$IM_CONVERT" "$2" "${mask[@]}" "PNG24:$E2E_TMP/masked-b.png" || return 1
  [[ $(images_identical "$E2E_TMP/masked-a.png" "$E2E_TMP/masked-b.png") == 0 ]]
}

# --- the program -------------------------------------------------------------

# wl_app_start [ARGS...]: $APP on the desktop, output in $E2E_TMP/app.log.
WL_APP_ENV=()
wl_app_start() {
  [[ -n ${WL_APP:-} && -x $WL_APP ]] || fail "program not found or not executable: '${APP:-}'"
  # In a session of its own (setsid execs in place here: the subshell leads
  # no process group), so that helpers it leaves behind are found and
  # stopped with the desktop.
  # A sanitized program runs here without leak detection (the address and
  # undefined-behaviour checks stay on): Qt 6.4's Wayland plugin never
  # destroys some of its protocol objects (xdg-activation tokens, the
  # clipboard's data source), and what they point to, the crop included, is
  # reported as leaked at exit. The X11 scenarios check the same code for
  # leaks.
  # The capture's diagnostics name the chosen backend (wl_capture_backend).
  (_wl_exec_bg QT_QPA_PLATFORM=wayland ASAN_OPTIONS=detect_leaks=0 \
    QT_LOGGING_RULES=zentrim.capture.debug=true "${WL_APP_ENV[@]}" \
    setsid "$WL_APP" "$@") >"$E2E_TMP/app.log" 2>&1 &
  APP_PID=$!
  WL_APP_SESSIONS+=("$APP_PID")
  APP_STATUS=
  e2e_log "started $APP on $WL_DISPLAY (pid $APP_PID)"
}

# wl_capture_backend: the backend the program chose, from its log.
wl_capture_backend() {
  sed -n 's/.*capture backend: "\([^"]*\)".*/\1/p' "$E2E_TMP/app.log" | head -n 1
}

# wl_expect_backend NAME: the program logged that it copies through NAME.
wl_expect_backend() {
  wait_until 5 grep -q 'capture backend:' "$E2E_TMP/app.log" ||
    fail "the program logged no capture backend: $(tail -n 3 "$E2E_TMP/app.log")"
  assert_eq "$1" "$(wl_capture_backend)" "the capture backend"
}

# _wl_app_rect: "X Y W H" of the program's visible window content.
_wl_app_rect() {
  wl_run swaymsg -t get_tree 2>/dev/null | jq -r --argjson pid "$APP_PID" '
    [.. | objects | select(.pid? == $pid and .visible? == true)] | first
    | if . == null then empty else
        "\(.rect.x + .window_rect.x) \(.rect.y + .window_rect.y) \(.window_rect.width) \(.window_rect.height)"
      end'
}

_wl_app_has_rect() { [[ -n $(_wl_app_rect) ]]; }

wl_app_window() {
  local timeout=${1:-20}
  wait_until "$timeout" _wl_app_has_rect ||
    app_fail_no_window "no visible window of the program within ${timeout}s"
  APP_RECT=$(_wl_app_rect)
  e2e_log "window of pid $APP_PID at $APP_RECT (x y w h)"
}

# wl_app_launch [ARGS...]: wl_app_start, wl_app_window, and the white start
# panel painted (output pixel 16,16), so that clicks reach a window that is
# ready for them.
# shellcheck disable=SC2120 # the scenarios pass arguments
wl_app_launch() {
  wl_app_start "$@"
  wl_app_window 20
  wait_for 10 "the start panel to be painted" wl_pixel_is $((16 * WL_SCALE)) $((16 * WL_SCALE)) FFFFFF
}

# wl_capture_crop_exit X Y W H: the pattern on HEADLESS-1, the program
# started, "Capture" through screencopy shows it one to one, a drag over the
# device pixels X,Y W x H puts exactly them on the clipboard, and they stay
# there after "Exit".
wl_capture_crop_exit() {
  local x=$1 y=$2 w=$3 h=$4 s=$WL_SCALE
  wl_set_background "$(e2e_pattern_file)"
  # shellcheck disable=SC2119 # the program without arguments
  wl_app_launch
  wl_expect_backend wlr-screencopy
  wl_click "${WL_CAPTURE_BUTTON[@]}"
  wl_park_pointer
  wait_for 15 "the surface to show the screen one to one" \
    wl_region_is_pattern $((2 * s)) $((30 * s)) $((1200 * s)) $((670 * s))
  wl_drag "$x" "$y" $((x + w)) $((y + h))
  wl_park_pointer
  wait_for 5 "the clipboard to hold the ${w}x$h device pixels dragged over" \
    wl_clipboard_is_pattern image/png "$x" "$y" "$w" "$h"
  wl_click "${WL_EXIT_BUTTON[@]}"
  app_expect_exit "clicking Exit"
  wl_clipboard_is_pattern image/png "$x" "$y" "$w" "$h" || fail "after Exit the clipboard is not the crop"
}

# --- stopping ------------------------------------------------------------------

# _wl_session_pids: the live processes of the desktop's session and of the
# program's sessions.
_wl_session_pids() {
  local sessions=" $WL_SESSION_PID ${WL_APP_SESSIONS[*]} "
  [[ -n ${sessions// /} ]] || return 0
  local file line pid state session
  for file in /proc/[0-9]*/stat; do
    read -r line 2>/dev/null <"$file" || continue
    pid=${line%% *}
    # the fields after the command name: state ppid pgrp session ...
    read -r state _ _ session _ <<<"${line##*) }"
    [[ $sessions == *" $session "* && $state != Z ]] && echo "$pid"
  done
  return 0
}

_wl_session_gone() { [[ -z $(_wl_session_pids) ]]; }

wl_stop_desktop() {
  if [[ -n $WL_POINTER_FD ]]; then
    exec {WL_POINTER_FD}>&-
    WL_POINTER_FD=
  fi
  [[ -n $WL_SESSION_PID ]] || return 0
  local pids
  pids=$(_wl_session_pids)
  # shellcheck disable=SC2086 # one PID per word
  [[ -z $pids ]] || kill -TERM $pids 2>/dev/null || true
  if ! wait_until 5 _wl_session_gone; then
    pids=$(_wl_session_pids)
    # shellcheck disable=SC2086
    [[ -z $pids ]] || kill -KILL $pids 2>/dev/null || true
    wait_until 3 _wl_session_gone || e2e_log "processes of the Wayland session left: $(_wl_session_pids | tr '\n' ' ')"
  fi
  wait "$WL_SESSION_PID" 2>/dev/null || true
  WL_SESSION_PID=
  WL_APP_SESSIONS=()
}

# wl_report_failure: while the desktop runs, a picture of the output
# (final-screen.png), sway's tree (final-tree.txt) and the desktop's logs.
wl_report_failure() {
  [[ -n $WL_SESSION_PID ]] || return 0
  wl_screenshot "$E2E_TMP/final-screen.png" 2>/dev/null || true
  wl_run swaymsg -t get_tree >"$E2E_TMP/final-tree.txt" 2>&1 || true
  cp "$WL_DIR"/*.log "$E2E_TMP/" 2>/dev/null || true
}
