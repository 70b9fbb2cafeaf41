#!/usr/bin/env bash
# Draws the frame's pictures with ImageMagick; run it here after changing a drawing.
#   toolbar.png        112 x 15: Backup, Restore, Cut, Copy, Paste, Print, About (16 x 15 each)
#   toolbar-large.png  224 x 30: the same at twice the size
#   panes.png           32 x 16: the Options and Properties panes
#   mossvale-N.png      the program's icon, N x N for N in 16 32 48 256
# Every drawing is made on a 32 x 30 (or 32 x 32) grid and scaled down for the small sizes.
set -euo pipefail
cd "$(dirname "$0")"

# One picture: $1 canvas "WxH" of the drawing grid, $2 scale, $3 output, $4 MVG commands.
draw() {
  local grid=$1 scale=$2 out=$3 mvg=$4
  local w=${grid%x*} h=${grid#*x}
  local sw sh
  sw=$(python3 -c "print(round($w*$scale))")
  sh=$(python3 -c "print(round($h*$scale))")
  convert -size "${sw}x${sh}" xc:none -draw "affine $scale,0,0,$scale,0,0 $mvg" "PNG32:$out"
}

BACKUP="stroke #3a5a7a stroke-width 1.5 fill #d8e4f0 roundrectangle 3,16 29,28 2,2
        fill #7aa0c8 rectangle 6,22 20,24 fill #5c5 stroke #2a7a2a
        polygon 16,1 25,11 20,11 20,19 12,19 12,11 7,11"
RESTORE="stroke #3a5a7a stroke-width 1.5 fill #d8e4f0 roundrectangle 3,16 29,28 2,2
        fill #7aa0c8 rectangle 6,22 20,24 fill #48c stroke #1a4a8a
        polygon 16,20 25,10 20,10 20,1 12,1 12,10 7,10"
CUT="stroke #333 stroke-width 2 fill none line 9,2 21,19 line 23,2 11,19
        stroke #a22 stroke-width 2.5 circle 9,23 9,28 circle 23,23 23,28"
COPY="stroke #445 stroke-width 1.5 fill #fff rectangle 3,2 18,20
        line 6,7 15,7 line 6,11 15,11 line 6,15 13,15
        fill #eef rectangle 13,9 28,28 line 16,14 25,14 line 16,18 25,18 line 16,22 23,22"
PASTE="stroke #6a4a1a stroke-width 1.5 fill #c9a063 roundrectangle 4,4 24,28 2,2
        fill #bbb stroke #555 rectangle 10,1 18,6
        fill #fff stroke #445 rectangle 13,11 28,29 line 16,16 25,16 line 16,20 25,20 line 16,24 23,24"
PRINT="stroke #444 stroke-width 1.5 fill #fff rectangle 9,2 23,12
        fill #aab rectangle 3,12 29,24 fill #fff rectangle 9,20 23,29
        line 12,24 20,24 stroke none fill #4c4 circle 25,16 26,17"
ABOUT="stroke #1a4a8a stroke-width 1.5 fill #48c circle 16,15 16,1
        stroke none fill #fff font DejaVu-Sans-Bold font-size 22 text 10,23 '?'"
OPTIONS="stroke #445 stroke-width 2 fill #fff rectangle 3,3 29,29
        stroke #48c stroke-width 3 line 8,10 24,10 line 8,16 24,16 line 8,22 24,22
        fill #c33 stroke #822 stroke-width 1.5 circle 13,10 13,13 circle 20,16 20,19 circle 11,22 11,25"
PROPERTIES="stroke #445 stroke-width 2 fill #fffbe0 rectangle 5,2 27,30
        stroke #888 stroke-width 2 line 9,9 23,9 line 9,14 23,14 line 9,19 23,19 line 9,24 18,24"
APP="stroke #244a70 stroke-width 1.5 fill #6aa0d8 roundrectangle 2,12 30,30 3,3
        fill #244a70 stroke none rectangle 5,25 22,27
        fill #3c9c48 stroke #1f6a2a stroke-width 1.2
        path 'M16,1 L26,11 L20,11 L20,21 L12,21 L12,11 L6,11 Z'
        fill #b8e3b0 stroke none circle 26,26 26,28"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
i=0
for mvg in "$BACKUP" "$RESTORE" "$CUT" "$COPY" "$PASTE" "$PRINT" "$ABOUT"; do
  draw 32x30 0.5 "$tmp/s$i.png" "$mvg"
  draw 32x30 1 "$tmp/l$i.png" "$mvg"
  i=$((i + 1))
done
convert "$tmp"/s{0..6}.png +append +repage PNG32:toolbar.png
convert "$tmp"/l{0..6}.png +append +repage PNG32:toolbar-large.png
draw 32x32 0.5 "$tmp/p0.png" "$OPTIONS"
draw 32x32 0.5 "$tmp/p1.png" "$PROPERTIES"
convert "$tmp/p0.png" "$tmp/p1.png" +append +repage PNG32:panes.png
for n in 16 32 48 256; do
  draw 32x32 "$(python3 -c "print($n/32)")" "mossvale-$n.png" "$APP"
done
