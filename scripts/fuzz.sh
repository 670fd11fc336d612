#!/usr/bin/env bash
# fuzz.sh TARGET [SECONDS] [--merge]: fuzzes one libFuzzer target (picture_load
# or bmp_roundtrip) for SECONDS (default 600) on one core, at low priority.
#
# Builds the sanitized clang build in build-asan/ when needed. The fuzzer
# starts from fuzz/corpus/TARGET and fuzz/regressions/TARGET and keeps what it
# adds in build-asan/fuzz/work/TARGET; a failing input is written to
# build-asan/fuzz/artifacts/TARGET/ and ends the run. With --merge, the inputs
# that add coverage are merged into fuzz/corpus/TARGET afterwards, to be
# committed. After fixing a failure, copy its input to fuzz/regressions/TARGET
# so that every test run replays it.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

usage() { echo "usage: $0 picture_load|bmp_roundtrip [SECONDS] [--merge]" >&2; exit 2; }
(($# >= 1)) || usage
target=$1
seconds=${2:-600}
merge=${3:-}
[[ -d fuzz/corpus/$target ]] || usage
[[ $seconds =~ ^[0-9]+$ ]] || usage
[[ -z $merge || $merge == --merge ]] || usage

bash scripts/sanitized-build.sh "${target}_fuzz"

build=build-asan
work=$build/fuzz/work/$target
artifacts=$build/fuzz/artifacts/$target
mkdir -p "$work" "$artifacts" "fuzz/regressions/$target"
export QT_QPA_PLATFORM=offscreen
# The image readers' warnings about damaged input would drown the fuzzer's
# own report.
export QT_LOGGING_RULES='qt.gui.imageio*=false'

status=0
nice -n 19 "$build/fuzz/${target}_fuzz" -max_total_time="$seconds" -rss_limit_mb=4096 \
  -timeout=120 -print_final_stats=1 -artifact_prefix="$artifacts/" \
  "$work" "fuzz/corpus/$target" "fuzz/regressions/$target" || status=$?

if [[ $merge == --merge ]]; then
  nice -n 19 "$build/fuzz/${target}_fuzz" -merge=1 -rss_limit_mb=4096 \
    "fuzz/corpus/$target" "$work"
fi
exit "$status"
