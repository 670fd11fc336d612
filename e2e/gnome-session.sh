#!/usr/bin/env bash
# gnome-session.sh [--private-tmp SCENARIO_DIR] [--as UID:GID] DIR MONITORS -- VAR=VALUE...
#
# The session leader of the GNOME desktop of the end-to-end scenarios,
# started by gn_start_desktop (e2e/gnome.sh) as the leader of a process
# session of its own (setsid) in a mount namespace of its own (unshare
# --mount). It writes its PID to DIR/leader.pid and starts, with exactly the
# environment VAR=VALUE..., a private system bus, the D-Bus session bus,
# PipeWire and a headless GNOME Shell with one virtual monitor per word of
# MONITORS (e.g. "1920x1080 1920x1080"), logging to DIR/*.log, and waits.
#
# gnome-shell asks logind for a seat whenever /run/systemd/seats exists, and
# dies without one: an empty tmpfs is laid over /run/systemd here, inside the
# namespace only. Its system bus is a private one of the same user (a bus of
# type session: mutter only needs someone to answer there).
#
#   --private-tmp SCENARIO_DIR  lay DIR/tmp over /tmp, SCENARIO_DIR bound
#                  again at its own path (as e2e/wayland-session.sh does)
#   --as UID:GID   run everything as that user (when started as root)
set -euo pipefail

private_tmp='' as=()
while (($#)); do
  case $1 in
    --private-tmp) private_tmp=$2; shift 2 ;;
    --as) as=(setpriv "--reuid=${2%:*}" "--regid=${2#*:}" --clear-groups); shift 2 ;;
    *) break ;;
  esac
done
if (($# < 3)) || [[ $3 != -- ]]; then
  echo "usage: $0 [--private-tmp SCENARIO_DIR] [--as UID:GID] DIR MONITORS -- VAR=VALUE..." >&2
  exit 2
fi
dir=$1 monitors=$2
shift 3
env=("$@")

if [[ -n $private_tmp ]]; then
  cd "$private_tmp"
  mount --bind "$dir/tmp" /tmp
  mkdir -p "$private_tmp"
  mount --no-canonicalize --bind . "$private_tmp"
  cd /
fi
if [[ -d /run/systemd ]]; then
  mount -t tmpfs -o mode=755,nosuid,nodev zentrim-e2e-nosystemd /run/systemd
fi

cat >"$dir/system-bus.conf" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=$dir/runtime/system_bus_socket</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
EOF
chmod 644 "$dir/system-bus.conf"

shell_args=(--headless --wayland --no-x11 --unsafe-mode --wayland-display wayland-0)
for m in $monitors; do shell_args+=(--virtual-monitor "$m"); done

echo $$ >"$dir/leader.pid"
"${as[@]}" env -i "${env[@]}" dbus-daemon --config-file="$dir/system-bus.conf" --nofork --nopidfile \
  >"$dir/system-bus.log" 2>&1 &
"${as[@]}" env -i "${env[@]}" dbus-daemon --session --nofork --nopidfile \
  --address="unix:path=$dir/runtime/bus" >"$dir/dbus.log" 2>&1 &
"${as[@]}" env -i "${env[@]}" pipewire >"$dir/pipewire.log" 2>&1 &
# gnome-shell needs both buses before it starts.
for _ in $(seq 100); do
  [[ -S $dir/runtime/bus && -S $dir/runtime/system_bus_socket ]] && break
  sleep 0.05
done
"${as[@]}" env -i "${env[@]}" gnome-shell "${shell_args[@]}" >"$dir/gnome-shell.log" 2>&1 &
wait
