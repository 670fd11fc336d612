#!/usr/bin/env bash
# test.sh: installs what is missing (build and test tools), builds with
# warnings as errors, starts the services the tests need (a CUPS scheduler
# with a PDF queue) and runs every test: unit, widget and end-to-end.
# Exits non-zero if anything fails.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

bash scripts/deps.sh --test
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZENTRIM_WERROR=ON
cmake --build build

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

ctest --test-dir build --output-on-failure --parallel "$(nproc)"
