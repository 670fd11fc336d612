#!/usr/bin/env bash
# make-seeds.sh: writes the seed corpora of the fuzz targets into
# fuzz/corpus/ (existing seeds of the same name are replaced; inputs the
# fuzzer added are kept). Needs ImageMagick.
#
# picture_load: valid JPEG (baseline, progressive, grey, CMYK), PNG (colour,
# alpha, palette, grey, 16-bit, interlaced), BMP (24, 32, 8, 4 and 1 bit,
# RLE8, OS/2 header, top-down) and GIF (still and animated) files of a few
# sizes, each also cut short and with bits flipped.
# bmp_roundtrip: byte strings that choose sizes, formats and pixels.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
export LC_ALL=C

out=corpus/picture_load
mkdir -p "$out" corpus/bmp_roundtrip
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# A picture with edges, gradients and flat areas: each format's encoder has
# something to do.
picture() { # size
  convert -size "$1" gradient:red-blue \
    \( -size "$1" xc:none -fill '#20c040' -draw "rectangle 0,0 %[fx:w/2],%[fx:h/3]" \) \
    -composite "$tmp/base.png" 2>/dev/null ||
    convert -size "$1" gradient:red-blue "$tmp/base.png"
  echo "$tmp/base.png"
}

make() { # name size convert-options... output-prefix:extension
  local name=$1 size=$2
  shift 2
  local target=${*: -1}
  local options=("${@:1:$#-1}")
  convert "$(picture "$size")" "${options[@]}" "$target:$out/$name"
}

for size in 1x1 17x9 64x48; do
  make "jpeg-baseline-$size.jpg" "$size" -quality 80 jpeg
  make "jpeg-progressive-$size.jpg" "$size" -interlace JPEG jpeg
  make "png-rgb-$size.png" "$size" -alpha off png24
  make "png-alpha-$size.png" "$size" -alpha set -channel A -evaluate set 60% +channel png32
  make "png-palette-$size.png" "$size" -colors 16 png8
  make "bmp-24-$size.bmp" "$size" -type TrueColor bmp3
  make "bmp-8-$size.bmp" "$size" -type Palette -colors 200 bmp3
  make "gif-$size.gif" "$size" -colors 32 gif
done
make jpeg-grey-40x30.jpg 40x30 -colorspace Gray jpeg
make jpeg-cmyk-24x16.jpg 24x16 -colorspace CMYK jpeg
make jpeg-restart-48x32.jpg 48x32 -define jpeg:restart-interval=1 jpeg
make png-grey-33x7.png 33x7 -colorspace Gray png
make png-16bit-12x10.png 12x10 -depth 16 png48
make png-interlaced-20x20.png 20x20 -interlace PNG png
make bmp-32-16x8.bmp 16x8 -alpha set -define bmp:format=bmp4 bmp
make bmp-4-15x5.bmp 15x5 -type Palette -colors 12 bmp3
make bmp-1-19x3.bmp 19x3 -monochrome bmp3
make bmp-rle8-30x10.bmp 30x10 -type Palette -colors 50 -compress RLE bmp3
make bmp-os2-12x6.bmp 12x6 -type TrueColor bmp2
cp "$out/bmp-24-17x9.bmp" "$out/bmp-24-topdown-17x9.bmp"
# A negative height (top-down rows): biHeight at offset 22.
printf '\xf7\xff\xff\xff' | dd of="$out/bmp-24-topdown-17x9.bmp" bs=1 seek=22 conv=notrunc status=none
convert -delay 10 "$(picture 10x10)" -negate "$tmp/a.gif"
convert -delay 10 "$(picture 10x10)" "$tmp/a.gif" -loop 0 "$out/gif-animated-10x10.gif"

# Damaged copies of the larger files: cut at a quarter, a half and the last
# byte, and with one bit flipped at a few places.
flip() { # file offset
  local byte
  byte=$(od -An -tu1 -j "$2" -N1 "$1" | tr -d ' ')
  printf "\\x$(printf %02x $((byte ^ 0x10)))" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}
for f in "$out"/*-64x48.* "$out"/jpeg-restart-48x32.jpg "$out"/bmp-rle8-30x10.bmp; do
  base=$(basename "$f")
  n=$(stat -c %s "$f")
  for part in 4 2; do
    head -c $((n / part)) "$f" >"$out/cut$part-$base"
  done
  head -c $((n - 1)) "$f" >"$out/cutlast-$base"
  for at in 1 $((n / 7)) $((n / 3)) $((n * 2 / 3)); do
    cp "$f" "$out/flip$at-$base"
    flip "$out/flip$at-$base" "$at"
  done
done

# Round-trip seeds: two bytes of dots per metre, two of width, two of
# height, one of format, then pixel bytes.
seed() { # name dpm width height format pixel-count seed
  awk -v dpm="$2" -v w="$3" -v h="$4" -v f="$5" -v n="$6" -v s="$7" 'BEGIN {
    printf "%c%c%c%c%c%c%c", int(dpm / 256), dpm % 256, int(w / 256), w % 256,
      int(h / 256), h % 256, f
    srand(s)
    for (i = 0; i < n; i++) printf "%c", int(rand() * 256)
  }' >"corpus/bmp_roundtrip/$1"
}
format=0
for size in "1 1" "3 2" "5 7" "64 33" "300 2"; do
  read -r w h <<<"$size"
  for f in 0 1 2 3 4 5 6 7 8 9; do
    seed "rt-$w-$h-f$f" 3780 "$w" "$h" "$f" $(((w * h % 97) + 16)) $((format++))
  done
done
seed rt-empty 2835 0 5 0 0 1
