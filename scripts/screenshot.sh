#!/usr/bin/env bash
# screenshot.sh: retakes docs/screenshot.png, the picture of the main window
# that the README shows and software centres show through the AppStream
# metadata. The e2e harness takes it: the real program on a private Xvfb
# desktop with openbox, as the window_opens scenario checks it.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

bash scripts/deps.sh --test
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --target zentrim-screen

shot=$(mktemp --suffix=.png)
trap 'rm -f "$shot"' EXIT
mkdir -p build/e2e # a failing scenario leaves its evidence there
(cd build/e2e && E2E_SCREENSHOT_OUT=$shot bash ../../e2e/run-scenario.sh \
  ../../e2e/scenarios/window_opens.sh ../app/zentrim-screen)
# The file changes only when the window's pixels do; then it is written
# without time stamps or other metadata.
out=docs/screenshot.png
if [[ -f $out ]] && [[ $(/usr/bin/compare -metric AE "$shot" "$out" null: 2>&1) == 0 ]]; then
  echo "screenshot: $out unchanged"
else
  /usr/bin/convert "$shot" -strip -define png:exclude-chunks=date,time "PNG24:$out"
  echo "screenshot: wrote $out ($(/usr/bin/identify -format '%wx%h' "$out"))"
fi
