#!/usr/bin/env bash
# wayland-vs-x11-latency.sh BUILD_DIR: "Capture" click to the copy shown,
# median of 12, first on X11 (bench/capture-latency.sh: Xvfb 1920x1080 with
# openbox, measured through XTest and X reads) and right after on headless
# sway (bench/wayland_capture_latency.sh through the end-to-end harness,
# measured with the virtual pointer and grim), so that both figures come
# from one run at one load. Each desktop is stopped before the next starts.
set -euo pipefail
build=$(realpath "${1:?usage: $0 BUILD_DIR}")
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
echo "== X11 (load: $(cut -d' ' -f1-3 /proc/loadavg))"
bash "$here/capture-latency.sh" "$build"
echo "== sway (load: $(cut -d' ' -f1-3 /proc/loadavg))"
LATENCY_RUNS=${LATENCY_RUNS:-12} bash "$here/../e2e/run-scenario.sh" \
  "$here/wayland_capture_latency.sh" "$build/app/zentrim-screen"
