# shellcheck shell=bash
# A photo stored sideways with an EXIF orientation of 6 (as phones write
# them) loads upright: the surface shows it turned a quarter clockwise at
# its upright size, and a selection on it is that part of the upright
# picture.

scenario() {
  # Stored 800 x 1200; seen upright it is 1200 x 800.
  local plain=$E2E_TMP/plain.jpg photo=$E2E_TMP/photo.jpg
  "$IM_CONVERT" "$(e2e_pattern_file)" -crop 800x1000+300+40 +repage -resize 800x1200\! -quality 95 "$plain"
  # The EXIF block with Orientation = 6, right after the start of image.
  {
    head -c 2 "$plain"
    printf '\xff\xe1\x00\x22Exif\x00\x00MM\x00\x2a\x00\x00\x00\x08\x00\x01'
    printf '\x01\x12\x00\x03\x00\x00\x00\x01\x00\x06\x00\x00\x00\x00\x00\x00'
    tail -c +3 "$plain"
  } >"$photo"
  assert_eq RightTop "$("$IM_IDENTIFY" -format '%[orientation]' "$photo")" "orientation written"
  "$IM_CONVERT" "$photo" -auto-orient +repage PNG24:"$E2E_TMP/upright.png"
  assert_eq "1200 800" "$(image_size "$E2E_TMP/upright.png")" "upright size"

  app_launch
  local win=$APP_WIN
  load_picture "$win" "$photo"
  crop_loaded_picture "$win" 500 400 300 200 "$E2E_TMP/upright.png" \
    "the clipboard to hold that part of the upright photo"
}
