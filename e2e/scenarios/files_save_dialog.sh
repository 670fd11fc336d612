# shellcheck shell=bash
# "Save" after a selection opens Qt's save dialog in the program's folder
# with "filename.bmp" proposed; a typed path is written as a 24-bit BMP whose
# pixels are exactly the selected part of the screen, ".bmp" is appended to
# a name without it, a name ending in "bmp" is kept as typed (the dialog adds
# nothing), and an existing file is replaced without a question.

_bmp_header_is() { # FILE WIDTH HEIGHT: 24-bit BI_RGB, bottom-up, WIDTH x HEIGHT
  local w h bits comp
  w=$(od -An -t d4 -j 18 -N 4 "$1" | tr -d ' ')
  h=$(od -An -t d4 -j 22 -N 4 "$1" | tr -d ' ')
  bits=$(od -An -t u2 -j 28 -N 2 "$1" | tr -d ' ')
  comp=$(od -An -t u4 -j 30 -N 4 "$1" | tr -d ' ')
  assert_eq "$2 $3 24 0" "$w $h $bits $comp" "BMP header of $1 (width height bits compression)"
}

scenario() {
  launch_and_select # 200 x 150 pixels at 100,100 selected
  local win=$APP_WIN w=$APP_CLIENT_W h=$APP_CLIENT_H

  local out=$E2E_TMP/saved
  mkdir -p "$out"
  # "Save" on the tool bar.
  click_client "$win" 264 $((h - 37))
  type_into_dialog "Save file" "$out/shot"
  wait_for 5 "$out/shot.bmp to be written" test -s "$out/shot.bmp"
  _bmp_header_is "$out/shot.bmp" 200 150
  file_is_pattern "$out/shot.bmp" 100 100 200 150 ||
    fail "shot.bmp is not the selected 200x150 region of the screen"

  # A name that ends in "bmp" without a dot is kept as typed.
  click_client "$win" 264 $((h - 37))
  type_into_dialog "Save file" "$out/screenbmp"
  wait_for 5 "$out/screenbmp to be written" test -s "$out/screenbmp"
  [[ ! -e $out/screenbmp.bmp ]] || fail "an extension was added to screenbmp"

  # A new selection saved under the first name replaces it without a prompt.
  drag_client "$win" 400 300 520 380 # 120 x 80 at 400,300
  click_client "$win" 264 $((h - 37))
  type_into_dialog "Save file" "$out/shot.bmp"
  wait_for 5 "shot.bmp to be replaced by the new selection" \
    file_is_pattern "$out/shot.bmp" 400 300 120 80
  app_running || fail "the program ended"
}
