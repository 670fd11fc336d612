#!/usr/bin/env bash
# wayland-vs-x11-latency.sh BUILD_DIR [DESKTOP...]: "Capture" click to the
# copy shown, median of 12 (LATENCY_RUNS), on each desktop one after the
# other, so that all figures come from one run at one load: X11 first
# (bench/capture-latency.sh: Xvfb 1920x1080 with openbox, measured through
# XTest and X reads), then headless sway, KWin and GNOME Shell
# (bench/wayland_capture_latency.sh through the end-to-end harness, measured
# with the harness's pointer and the screen-probe helper). DESKTOP names
# a subset of x11 wayland kwin gnome (default: all four). Each desktop is
# stopped before the next starts.
set -euo pipefail
build=$(realpath "${1:?usage: $0 BUILD_DIR [x11|wayland|kwin|gnome...]}")
shift
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
desktops=("$@")
((${#desktops[@]})) || desktops=(x11 wayland kwin gnome)
for desktop in "${desktops[@]}"; do
  echo "== $desktop (load: $(cut -d' ' -f1-3 /proc/loadavg))"
  case $desktop in
    x11)
      bash "$here/capture-latency.sh" "$build" openbox --benchmark_filter=ClickToSurfaceShown
      ;;
    wayland | kwin | gnome)
      LATENCY_DESKTOP=$desktop LATENCY_RUNS=${LATENCY_RUNS:-12} E2E_TIMEOUT=${E2E_TIMEOUT:-300} \
        bash "$here/../e2e/run-scenario.sh" "$here/wayland_capture_latency.sh" "$build/app/zentrim-screen"
      ;;
    *)
      echo "unknown desktop '$desktop'" >&2
      exit 2
      ;;
  esac
done
