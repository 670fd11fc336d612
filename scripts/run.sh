#!/usr/bin/env bash
# run.sh [ARGS...]: installs what is missing, builds Zentrim Screen in build/
# and starts it (ARGS are passed to the program).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

bash scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build

if [[ -z ${DISPLAY:-} && -z ${WAYLAND_DISPLAY:-} ]]; then
  cat >&2 <<'MSG'
run: built build/app/zentrim-screen, but there is no graphical session to
show it in (neither DISPLAY nor WAYLAND_DISPLAY is set).
Run it from a desktop session, or in a virtual X server:

  xvfb-run -s "-screen 0 1920x1080x24" scripts/run.sh

(xvfb-run comes with: apt-get install xvfb xauth)
MSG
  exit 1
fi

exec build/app/zentrim-screen "$@"
