#!/usr/bin/env bash
# Draws every picture the program ships: the tool-bar and compact-bar icons,
# the application icon and the start-panel illustration.
#
# Each icon is described once in a 96 x 96 design space (MVG, ImageMagick's
# vector drawing language), drawn on a canvas several times larger than the
# target and box-filtered down, which gives clean anti-aliased edges at every
# size without hand-tuning pixels.
#
# Usage: assets/make-assets.sh [OUTPUT_DIR]   (default: the assets/ folder)
set -euo pipefail

# Always ImageMagick itself: a different `convert` may come first in PATH.
CONVERT=/usr/bin/convert
[[ -x $CONVERT ]] || { echo "make-assets: $CONVERT not found (apt-get install imagemagick)" >&2; exit 1; }

OUT=${1:-$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)}
mkdir -p "$OUT/icons"

# Palette: flat colours, one dark ink for outlines.
INK='#263238'
BLUE='#1E88E5'
SKY='#BBDEFB'
PALE='#E3F2FD'
RED='#E53935'
GREEN='#43A047'
AMBER='#FFB300'
AMBER_DARK='#F57F17'
SLATE='#607D8B'
GREY='#90A4AE'
LIGHT='#CFD8DC'
WHITE='#FFFFFF'

# render SIZE FILE MVG: draws MVG (96 x 96 design units) into a SIZE x SIZE
# RGBA PNG with a transparent background.
render() {
  local size=$1 file=$2 mvg=$3
  local factor=8
  ((size > 64)) && factor=4
  local canvas=$((size * factor))
  local scale
  scale=$(awk -v c="$canvas" 'BEGIN { printf "%.6f", c / 96 }')
  "$CONVERT" -size "${canvas}x${canvas}" xc:none \
    -draw "scale $scale,$scale $mvg" \
    -filter Box -resize "${size}x${size}" \
    -strip -define png:compression-level=9 -define png:exclude-chunks=date,time \
    "PNG32:$OUT/icons/$file"
}

# --- 32 px capture: viewfinder corners around a red crosshair --------------
capture_mvg="
  fill none stroke '$INK' stroke-width 8 stroke-linecap round stroke-linejoin round
  polyline 10,30 10,10 30,10
  polyline 66,10 86,10 86,30
  polyline 86,66 86,86 66,86
  polyline 30,86 10,86 10,66
  stroke '$RED' stroke-width 6
  circle 48,48 48,66
  line 48,22 48,36  line 48,60 48,74  line 22,48 36,48  line 60,48 74,48
  fill '$RED' stroke none circle 48,48 48,54
"
render 32 capture-32.png "$capture_mvg"

# --- 24 px tool-bar icons ---------------------------------------------------
# Floppy disk.
render 24 save-24.png "
  fill '$BLUE' stroke '$INK' stroke-width 5 stroke-linejoin round
  polygon 10,10 72,10 86,24 86,86 10,86
  fill '$LIGHT' stroke '$INK' stroke-width 4
  rectangle 26,10 66,36
  fill '$INK' stroke none rectangle 52,16 60,30
  fill '$WHITE' stroke '$INK' stroke-width 4
  rectangle 22,52 74,86
  stroke '$GREY' stroke-width 4 line 30,64 66,64 line 30,74 66,74
"

# Open folder.
render 24 load-24.png "
  fill '$AMBER_DARK' stroke '$INK' stroke-width 5 stroke-linejoin round
  polygon 8,18 36,18 44,28 84,28 84,80 8,80
  fill '$AMBER' polygon 8,80 22,42 92,42 80,80
"

# Monitor whose whole screen is framed by red corners.
render 24 allscreen-24.png "
  fill '$INK' stroke none
  roundrectangle 6,12 90,72 6,6
  rectangle 42,72 54,82
  roundrectangle 26,80 70,88 3,3
  fill '$SKY' rectangle 13,19 83,65
  fill none stroke '$RED' stroke-width 6 stroke-linecap square
  polyline 20,36 20,26 30,26
  polyline 66,26 76,26 76,36
  polyline 76,48 76,58 66,58
  polyline 30,58 20,58 20,48
"

# Pencil, tip down-left.
render 24 edit-24.png "
  translate 48,48 rotate -45
  fill '$AMBER' stroke '$INK' stroke-width 4 stroke-linejoin round
  rectangle -22,-11 28,11
  fill '#FFE0B2' polygon -22,-11 -44,0 -22,11
  fill '$INK' stroke none polygon -44,0 -35,-4.5 -35,4.5
  fill '$GREY' stroke '$INK' stroke-width 4 rectangle 28,-11 34,11
  fill '#F48FB1' roundrectangle 34,-11 44,11 3,3
"

# Gear: eight teeth around a ring with a hole (even-odd fill punches it).
gear_teeth=""
for a in 0 45 90 135 180 225 270 315; do
  gear_teeth+=" push graphic-context translate 48,48 rotate $a roundrectangle -8,-44 8,-24 2,2 pop graphic-context"
done
render 24 settings-24.png "
  fill '$SLATE' stroke '$INK' stroke-width 3
  $gear_teeth
  fill-rule evenodd
  path 'M 16,48 A 32,32 0 1,0 80,48 A 32,32 0 1,0 16,48 Z M 36,48 A 12,12 0 1,0 60,48 A 12,12 0 1,0 36,48 Z'
"

# Large window collapsing into the small red bar at its top-left.
render 24 shrink-24.png "
  fill '$WHITE' stroke '$INK' stroke-width 5
  rectangle 10,10 86,86
  fill '$RED' stroke '$INK' stroke-width 4
  rectangle 10,10 46,32
  fill none stroke '$INK' stroke-width 7 stroke-linecap round
  line 78,78 56,56
  fill '$INK' stroke none polygon 44,44 70,50 50,70
"

# Door with an arrow leaving it.
render 24 exit-24.png "
  fill '$LIGHT' stroke '$INK' stroke-width 5 stroke-linejoin round
  rectangle 12,8 58,88
  fill '$SLATE' polygon 12,8 42,18 42,88 12,88
  fill '$WHITE' stroke none circle 36,52 36,56
  fill none stroke '$RED' stroke-width 8 stroke-linecap round
  line 54,48 78,48
  fill '$RED' stroke none polygon 92,48 72,34 72,62
"

# Arrow pointing left.
render 24 back-24.png "
  fill '$BLUE' stroke '$INK' stroke-width 4 stroke-linejoin round
  polygon 8,48 44,14 44,34 88,34 88,62 44,62 44,82
"

# Frame with width and height measures.
render 24 size-24.png "
  fill '$PALE' stroke '$INK' stroke-width 5
  rectangle 30,30 86,86
  fill none stroke '$BLUE' stroke-width 5
  line 38,13 78,13 line 13,38 13,78
  fill '$BLUE' stroke none
  polygon 30,13 42,5 42,21  polygon 86,13 74,5 74,21
  polygon 13,30 5,42 21,42  polygon 13,86 5,74 21,74
"

# Circular arrow turning back to the start.
render 24 restore-24.png "
  fill none stroke '$BLUE' stroke-width 11 stroke-linecap round
  arc 20,20 80,80 180,440
  fill '$BLUE' stroke none
  polygon 6,46 36,46 21,68
"

# Two overlapping pages.
render 24 copy-24.png "
  fill '$LIGHT' stroke '$INK' stroke-width 5 stroke-linejoin round
  rectangle 12,8 60,66
  fill '$WHITE'
  rectangle 34,28 84,88
  stroke '$GREY' stroke-width 4
  line 44,44 74,44 line 44,56 74,56 line 44,68 66,68
"

# Check mark.
render 24 apply-24.png "
  fill none stroke '$GREEN' stroke-width 14 stroke-linecap round stroke-linejoin round
  polyline 14,52 38,74 82,24
"

# --- printer, one drawing at four sizes --------------------------------------
print_mvg="
  stroke '$INK' stroke-width 5 stroke-linejoin round
  fill '$WHITE' rectangle 26,6 70,36
  fill '$SLATE' roundrectangle 8,30 88,70 8,8
  fill '$INK' stroke none rectangle 20,56 76,64
  fill '$WHITE' stroke '$INK' stroke-width 5 rectangle 24,58 72,90
  stroke '$GREY' stroke-width 5 line 32,70 64,70 line 32,80 56,80
  fill '$GREEN' stroke none circle 76,42 76,47
"
for s in 16 24 32 48; do render "$s" "print-$s.png" "$print_mvg"; done

# --- 16 px compact-bar buttons and arrows ------------------------------------
render 16 compact-capture-16.png "
  fill none stroke '$INK' stroke-width 12 stroke-linecap square
  polyline 10,34 10,10 34,10
  polyline 62,10 86,10 86,34
  polyline 86,62 86,86 62,86
  polyline 34,86 10,86 10,62
  fill '$RED' stroke none circle 48,48 48,64
"

render 16 compact-restore-16.png "
  fill '$WHITE' stroke '$INK' stroke-width 10
  rectangle 8,8 88,88
  fill '$INK' stroke none rectangle 8,8 88,28
  fill none stroke '$BLUE' stroke-width 12 stroke-linecap square
  line 30,46 62,74
  fill '$BLUE' stroke none polygon 80,88 80,54 46,88
"

arrow_mvg="fill '$INK' stroke '$INK' stroke-width 4 stroke-linejoin round polygon 48,16 86,70 10,70"
render 16 arrow-up-16.png    "$arrow_mvg"
render 16 arrow-right-16.png "translate 48,48 rotate 90 translate -48,-48 $arrow_mvg"
render 16 arrow-down-16.png  "translate 48,48 rotate 180 translate -48,-48 $arrow_mvg"
render 16 arrow-left-16.png  "translate 48,48 rotate 270 translate -48,-48 $arrow_mvg"

# --- application icon: a screen with a dashed selection and a pointer -------
# At 16 px the screen content would only blur the selection, so the
# smallest size shows the bare screen.
app_icon() {
  local size=$1 dash=$2 pointer=$3 width=${4:-5}
  local mvg="
    fill '$INK' stroke none
    roundrectangle 4,8 92,74 8,8
    polygon 40,74 56,74 60,84 36,84
    roundrectangle 24,82 72,90 4,4
    fill '$PALE' rectangle 11,15 85,67
  "
  if ((size > 16)); then
    mvg+="
      fill '$BLUE' rectangle 16,20 50,27
      fill '$SKY' rectangle 16,27 50,46
      fill '$LIGHT' rectangle 56,34 80,62
      push graphic-context
      fill '#E539353A' stroke '$RED' stroke-width $width stroke-dasharray $dash
      rectangle 26,31 66,57
      pop graphic-context
    "
  else
    mvg+="
      push graphic-context
      fill '#E5393540' stroke '$RED' stroke-width 7 stroke-dasharray $dash
      rectangle 22,27 70,56
      pop graphic-context
    "
  fi
  if ((pointer)); then
    mvg+="
      fill '$WHITE' stroke '$INK' stroke-width 3 stroke-linejoin round
      polygon 64,55 64,88 72,80 78,93 84,90 78,78 89,78
    "
  fi
  render "$size" "app-$size.png" "$mvg"
}
app_icon 16 "14 8" 0
app_icon 24 "12 6" 0
app_icon 32 "10 6" 1
app_icon 48 "9 5" 1
app_icon 64 "8 5" 1 4.5
app_icon 128 "7 4" 1 4
app_icon 256 "7 4" 1 3.5

# --- start-panel illustration (310 x 240 JPEG) ------------------------------
# Drawn at twice the size and reduced, like the icons; white background to
# match the panel it sits on.
"$CONVERT" -size 620x480 xc:"$WHITE" -draw "
  fill '#ECEFF1' stroke none roundrectangle 20,20 600,460 24,24
  fill '$INK' roundrectangle 60,48 460,330 16,16
  polygon 230,330 290,330 302,372 218,372
  roundrectangle 170,368 350,384 8,8
  fill '#DCEBFA' rectangle 76,64 444,314
  fill '$SLATE' rectangle 76,292 444,314
  fill '$WHITE' rectangle 96,84 300,236
  fill '$BLUE' rectangle 96,84 300,104
  fill '$SKY' rectangle 110,118 286,150
  fill '$LIGHT' rectangle 110,162 230,172 rectangle 110,184 260,194 rectangle 110,206 200,216
  fill '$WHITE' rectangle 262,140 428,276
  fill '$SLATE' rectangle 262,140 428,158
  fill '$AMBER' rectangle 284,220 304,262
  fill '$GREEN' rectangle 316,192 336,262
  fill '$BLUE' rectangle 348,172 368,262
  fill '$RED' rectangle 380,206 400,262
  push graphic-context
  fill '#E5393526' stroke '$RED' stroke-width 5 stroke-dasharray 18 10
  rectangle 250,116 414,272
  pop graphic-context
  fill '$WHITE' stroke '$INK' stroke-width 4 stroke-linejoin round
  polygon 410,268 410,334 426,318 438,344 450,338 438,312 460,312
  fill '$AMBER_DARK' stroke '$INK' stroke-width 5
  roundrectangle 480,190 588,352 10,10
  fill '$WHITE' rectangle 492,214 576,340
  fill '$SLATE' roundrectangle 506,178 562,204 6,6
  fill '$WHITE' stroke '$RED' stroke-width 4
  rectangle 502,232 566,294
  fill '$AMBER' stroke none rectangle 512,266 522,288
  fill '$GREEN' rectangle 528,252 538,288
  fill '$BLUE' rectangle 544,244 554,288
  fill none stroke '$INK' stroke-width 8 stroke-linecap round
  line 448,212 474,212
  fill '$INK' stroke none polygon 484,212 466,200 466,224
" -filter Box -resize 310x240 -strip -sampling-factor 4:4:4 -quality 90 "$OUT/start-panel.jpg"

echo "make-assets: wrote $(find "$OUT/icons" -name '*.png' | wc -l) icons and start-panel.jpg to $OUT"
