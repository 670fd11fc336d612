#!/usr/bin/env bash
# wayland-session.sh [--compositor sway|kwin] [--private-tmp SCENARIO_DIR]
#                    [--shm-tmpfs] [--as UID:GID] DIR -- VAR=VALUE...
#
# The session leader of the Wayland desktop of the end-to-end scenarios,
# started by wl_start_desktop (e2e/wayland.sh) as the leader of a process
# session of its own (setsid), and when it asks for mounts, in a mount
# namespace of its own (unshare --mount). It writes its PID to DIR/leader.pid,
# starts the D-Bus session bus, PipeWire and sway (configured by
# DIR/sway.conf) with exactly the environment VAR=VALUE..., logging to
# DIR/dbus.log, DIR/pipewire.log and DIR/sway.log, and waits for them.
#
#   --private-tmp SCENARIO_DIR  lay DIR/tmp over /tmp; SCENARIO_DIR (which
#                  may lie in /tmp and holds DIR) is bound again at its own
#                  path, reached through the working directory, so that it
#                  stays in view. Needs a private mount namespace.
#   --shm-tmpfs    mount a tmpfs of its own on /dev/shm (for a user who
#                  cannot write the real one). Without --private-tmp the
#                  mount namespace is expected to share its mounts with the
#                  host's (a chroot, where no private one can be made), and
#                  the mount that holds /dev is made private first, so that
#                  the tmpfs never reaches the host.
#   --as UID:GID   run the three as that user (when started as root).
#   --compositor kwin  start DIR/bin/kwin_wayland (a copy, see e2e/kwin.sh)
#                  with the arguments in DIR/kwin.args and the variables in
#                  DIR/kwin.env (one a line) instead of PipeWire and sway,
#                  logging to DIR/kwin.log.
set -euo pipefail

private_tmp='' shm_tmpfs=0 as=() compositor=sway
while (($#)); do
  case $1 in
    --compositor) compositor=$2; shift 2 ;;
    --private-tmp) private_tmp=$2; shift 2 ;;
    --shm-tmpfs) shm_tmpfs=1; shift ;;
    --as) as=(setpriv "--reuid=${2%:*}" "--regid=${2#*:}" --clear-groups); shift 2 ;;
    --) shift; break ;;
    *) break ;;
  esac
done
if (($# < 2)) || [[ $2 != -- ]]; then
  echo "usage: $0 [--private-tmp SCENARIO_DIR] [--shm-tmpfs] [--as UID:GID] DIR -- VAR=VALUE..." >&2
  exit 2
fi
dir=$1
shift 2
env=("$@")

if [[ -n $private_tmp ]]; then
  cd "$private_tmp"
  mount --bind "$dir/tmp" /tmp
  mkdir -p "$private_tmp"
  mount --no-canonicalize --bind . "$private_tmp"
  cd /
fi
if ((shm_tmpfs)); then
  [[ -n $private_tmp ]] || mount --make-rprivate /dev
  mount -t tmpfs -o mode=1777,nosuid,nodev zentrim-e2e-shm /dev/shm
fi

echo $$ >"$dir/leader.pid"
"${as[@]}" env -i "${env[@]}" dbus-daemon --session --nofork --nopidfile \
  --address="unix:path=$dir/runtime/bus" >"$dir/dbus.log" 2>&1 &
if [[ $compositor == kwin ]]; then
  mapfile -t kwin_args <"$dir/kwin.args"
  mapfile -t kwin_env <"$dir/kwin.env"
  "${as[@]}" env -i "${env[@]}" "${kwin_env[@]}" "$dir/bin/kwin_wayland" "${kwin_args[@]}" \
    >"$dir/kwin.log" 2>&1 &
  wait
  exit
fi
"${as[@]}" env -i "${env[@]}" pipewire >"$dir/pipewire.log" 2>&1 &
"${as[@]}" env -i "${env[@]}" WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
  sway -c "$dir/sway.conf" >"$dir/sway.log" 2>&1 &
wait
