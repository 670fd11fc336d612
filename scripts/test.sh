#!/usr/bin/env bash
# test.sh: installs what is missing (build and test tools), builds with
# warnings as errors, starts the services the tests need (a CUPS scheduler
# with a PDF queue) and runs every test:
#  1. the normal build (build/): unit, widget and end-to-end tests, and the
#     Debian package made and checked (packaging/check-package.sh);
#  2. the sanitized build (build-asan/: clang, AddressSanitizer and
#     UndefinedBehaviorSanitizer, leak detection; no benchmarks): the same
#     unit and end-to-end tests against the sanitized program (not the
#     harness's self-check, which runs none of ours), and the fuzz
#     targets replaying their corpora and past failures (no fuzzing);
#  3. clang-tidy over the program's code (scripts/tidy.sh --program; the
#     tests and tools too with scripts/tidy.sh), at low priority
#     while the tests run.
# Every part runs even when an earlier one failed; exits non-zero if
# anything failed, naming what.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

bash scripts/deps.sh --test
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZENTRIM_WERROR=ON
cmake --build build
bash scripts/sanitized-build.sh

# clang-tidy needs only the sanitized build's compile database and
# generated files; it runs alongside the tests, yielding the processor to
# them (the end-to-end tests wait on a display server and must not starve).
tidy_log=build-asan/tidy.log
nice -n 19 bash scripts/tidy.sh --program build-asan >"$tidy_log" 2>&1 &
tidy_pid=$!

# shellcheck source=e2e/cups.sh
source e2e/cups.sh
trap cups_stop EXIT # stops the scheduler only if this script started it
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
# The harness's self-check runs no program of ours: once is enough.
part "sanitized tests" ctest --test-dir build-asan --output-on-failure --parallel "$(nproc)" \
  -E '^e2e\.harness$'
part "clang-tidy" wait "$tidy_pid"
cat "$tidy_log"

if ((${#failed[@]} > 0)); then
  echo "test: FAILED: ${failed[*]}" >&2
  exit 1
fi
echo "test: all passed"
