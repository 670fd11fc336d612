#!/usr/bin/env bash
# capture-latency.sh BUILD_DIR [none|openbox [BENCHMARK_ARGS...]]: runs the
# capture latency benchmarks on a private 1920x1080 desktop with openbox (or,
# with "none", without a window manager) and a private session bus, the way
# the end-to-end tests make them.
set -euo pipefail
build=$(realpath "${1:?usage: $0 BUILD_DIR [none]}")
# shellcheck disable=SC2034 # read by x11_start_desktop
E2E_WM=${2:-openbox}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=e2e/lib.sh
source "$here/../e2e/lib.sh"
e2e_use x11
trap e2e_cleanup EXIT
x11_start_desktop
# A private session bus, which zentrim-screen --capture reaches the running
# program through.
x11_start_session_bus
DBUS_SESSION_BUS_ADDRESS=$E2E_DBUS_ADDRESS ZENTRIM_APP=$build/app/zentrim-screen \
  "$build/bench/capture_latency_bench" "${@:3}"
