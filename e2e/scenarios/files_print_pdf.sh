# shellcheck shell=bash
# "Print" on the tool bar sends the crop to the default printer (a CUPS PDF
# queue here) as one job of one page, the picture at the top-left corner of
# the printable area at its size on the screen (96 pixels to the inch).

e2e_use printing

scenario() {
  use_pdf_printer
  launch_and_select # 200 x 150 pixels at 100,100 selected
  local win=$APP_WIN h=$APP_CLIENT_H

  cups_pdf_mark "$E2E_TMP/print-mark"
  click_client "$win" 368 $((h - 37)) # "Print"
  local pdf
  pdf=$(cups_pdf_wait_new "$E2E_TMP/print-mark" 60) || fail "no PDF came out of the queue"
  e2e_log "printed to $pdf"
  local pages
  pages=$(pdfinfo "$pdf" | awk '/^Pages:/ { print $2 }')
  assert_eq 1 "$pages" "pages in the print job"

  pdftoppm -r 96 -png -singlefile "$pdf" "$E2E_TMP/page"
  local pw ph cw ch cx cy
  read -r pw ph < <(image_size "$E2E_TMP/page.png")
  # The picture is the only thing on the page: its bounding box.
  read -r cw ch cx cy < <("$IM_CONVERT" "$E2E_TMP/page.png" -fuzz 3% -trim -format '%w %h %X %Y\n' info: | tr -d '+')
  e2e_log "page ${pw}x${ph} at 96 dpi, picture ${cw}x${ch} at ${cx},${cy}"
  assert_near 200 "$cw" 1 "printed width in pixels at 96 dpi"
  assert_near 150 "$ch" 1 "printed height in pixels at 96 dpi"
  ((cx <= 48 && cy <= 48)) || fail "the picture is not at the top-left of the page (${cx},${cy})"
  # Its pixels: the page passes through the PDF's lossy image compression
  # and sits a fraction of a pixel off the grid, so compare the colours in
  # the middle of the solid squares of the selected region.
  pattern_crop 100 100 200 150 "$E2E_TMP/expected.png"
  local p
  for p in "140 120" "140 8" "8 120"; do
    # shellcheck disable=SC2086
    colours_close "$(pixel "$E2E_TMP/expected.png" $p)" \
      "$(pixel "$E2E_TMP/page.png" $((cx + ${p% *})) $((cy + ${p#* })))" 24 ||
      fail "printed colour at $p differs from the screen's"
  done
  rm -f "$pdf"
  app_running || fail "the program ended"
}
