#!/usr/bin/env bash
# test.sh: installs what is missing (build and test tools), builds with
# warnings as errors, starts the services the tests need (a CUPS scheduler
# with a PDF queue) and runs every test:
#  1. the normal build (build/): unit, widget and end-to-end tests, and the
#     Debian package made and checked (packaging/check-package.sh);
#  2. the sanitized build (build-asan/: clang, AddressSanitizer and
#     UndefinedBehaviorSanitizer, leak detection; no benchmarks), built in
#     the background while the first part's tests run: the same
#     unit and end-to-end tests against the sanitized program (not the
#     harness's self-check nor the leftovers check, which test the
#     scripts, nor the Wayland desktops' other layouts), and the fuzz
#     targets replaying their corpora and past failures (no fuzzing);
#  3. clang-tidy over the program's code (scripts/tidy.sh --program; the
#     tests and tools too with scripts/tidy.sh), at low priority after the
#     sanitized build, while the tests run;
#  4. the system's default printer is the same as before the tests.
# The queue and the scheduler are removed and stopped at the end if this
# script made them. Every part runs even when an earlier one failed; exits
# non-zero if anything failed, naming what.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

bash scripts/deps.sh --test
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZENTRIM_WERROR=ON
cmake --build build

# The sanitized build, then clang-tidy over its compile database (it needs
# the build's generated files), run in the background at lower priorities
# while the normal build's tests run: the end-to-end tests mostly wait on a
# display server and use little processor time, but must not starve.
# The build's exit status comes back through a FIFO held open here, so the
# background job never waits for a reader.
mkdir -p build-asan
asan_log=build-asan/build.log
tidy_log=build-asan/tidy.log
asan_fifo=$(mktemp -u)
mkfifo "$asan_fifo"
exec {asan_fd}<>"$asan_fifo"
rm -f "$asan_fifo"
(
  status=0
  nice -n 10 bash scripts/sanitized-build.sh >"$asan_log" 2>&1 || status=$?
  echo "$status" >&"$asan_fd"
  ((status == 0)) || { echo "tidy: not run, the sanitized build failed" >"$tidy_log"; exit 1; }
  nice -n 19 bash scripts/tidy.sh --program build-asan >"$tidy_log" 2>&1
) &
background_pid=$!

# shellcheck source=e2e/printing.sh
source e2e/printing.sh
# process_tree PID: PID and every process below it.
process_tree() {
  local child
  echo "$1"
  # shellcheck disable=SC2013 # the file lists PIDs separated by spaces
  for child in $(cat /proc/"$1"/task/*/children 2>/dev/null); do process_tree "$child"; done
}
# still_our_child PID: PID runs and is this shell's child (once ended, its
# number may be another process's).
still_our_child() {
  local stat
  read -r stat 2>/dev/null <"/proc/$1/stat" || return 1
  stat=${stat##*) }
  read -r _ stat _ <<<"$stat"
  [[ $stat == "$$" ]]
}
# On the way out, also when interrupted: the background build and clang-tidy
# stop (a background job ignores Ctrl+C), and the queue and the scheduler
# are removed and stopped if this script made them.
on_exit() {
  local pids
  if still_our_child "$background_pid"; then
    pids=$(process_tree "$background_pid")
    # shellcheck disable=SC2086 # one PID per word
    kill -TERM $pids 2>/dev/null || true
  fi
  cups_stop
}
trap on_exit EXIT
cups_start build/cupsd.log || true
# The tests point only the program under test at their queue ($PRINTER): the
# system's default printer must be the same afterwards.
default_printer_before=$(cups_default_printer)
if cups_pdf_queue "$CUPS_PDF_QUEUE" && cups_pdf_selftest "$CUPS_PDF_QUEUE"; then
  export ZENTRIM_PDF_QUEUE=$CUPS_PDF_QUEUE
  ZENTRIM_PDF_DIR=$(cups_pdf_outdir)
  export ZENTRIM_PDF_DIR
  echo "test: PDF printer '$ZENTRIM_PDF_QUEUE' writes to $ZENTRIM_PDF_DIR"
else
  echo "test: no working PDF printer; the printing tests will fail" >&2
fi

failed=()
part() { # NAME COMMAND...: runs COMMAND, records NAME if it fails
  local name=$1 start=$SECONDS
  shift
  echo "test: --- $name ---"
  "$@" || failed+=("$name")
  echo "test: $name took $((SECONDS - start)) s"
}
part "tests" ctest --test-dir build --output-on-failure --parallel "$(nproc)" -LE package
# The Debian package: made with CPack, its files, metadata and lintian, and
# the installed program opening its window.
part "packaging" ctest --test-dir build --output-on-failure -L package
sanitized_build() { # the background build's status; its log's end if it failed
  local status
  read -r -t 3600 status <&"$asan_fd" || status=1
  ((status == 0)) || tail -n 40 "$asan_log"
  return "$status"
}
part "sanitized build" sanitized_build
# The harness's self-check runs no program of ours, and the leftovers check
# looks at the scripts, not the program: once is enough. So are the Wayland
# desktops' other layouts (scale, two outputs, the window's first showing,
# a refused KWin authorisation): the sanitized program runs each desktop's
# capture, crop and Exit, at a quarter of their time.
part "sanitized tests" ctest --test-dir build-asan --output-on-failure --parallel "$(nproc)" \
  -E '^e2e\.(harness|leftovers|(wayland|kwin|gnome)_(scale2|scaled|two_outputs|two_monitors|primary_right|window_opens|not_authorised))$'
part "clang-tidy" wait "$background_pid"
cat "$tidy_log"

# Read while the scheduler still runs, as before the tests.
same_default_printer() {
  local after
  after=$(cups_default_printer)
  [[ $after == "$default_printer_before" ]] && return 0
  echo "test: the default printer changed: before '$default_printer_before', after '$after'" >&2
  return 1
}
part "default printer unchanged" same_default_printer

if ((${#failed[@]} > 0)); then
  echo "test: FAILED: ${failed[*]}" >&2
  exit 1
fi
echo "test: all passed"
