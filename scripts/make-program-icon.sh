#!/usr/bin/env bash
# Draws the programs' icon and writes it as a Windows icon file with the
# sizes Windows asks for at the usual scalings (16, 20, 24, 32, 40, 48, 64
# and 256 pixels): a clock face with its hands and a red centre, and green
# signal arcs from the top right corner. Drawn once at 256 x 256 with
# ImageMagick and scaled down; the 256-pixel picture is stored as PNG.
#   scripts/make-program-icon.sh [OUTPUT]   (default: src/app/resources/orvik-gpstime.ico)
# The icon file is kept in the repository, so a build needs no ImageMagick;
# run this after changing the drawing.
set -euo pipefail
# It runs only ImageMagick: no program of ours and no wine process, so there is
# no CAP_SYS_TIME to drop.
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/src/app/resources/orvik-gpstime.ico}

# A quarter circle (from straight below the centre to straight left of it)
# as a polyline: ImageMagick's own arcs close their path.
quarter_arc() {  # quarter_arc CX CY RADIUS
  awk -v cx="$1" -v cy="$2" -v r="$3" 'BEGIN {
    pi = atan2(0, -1); line = "polyline"
    for (a = 90; a <= 180; a += 5) line = line sprintf(" %.1f,%.1f", cx + r * cos(a * pi / 180), cy + r * sin(a * pi / 180))
    print line }'
}

drawing="fill white stroke '#000080' stroke-width 14
circle 124,156 124,58
stroke black stroke-width 16 stroke-linecap round
line 124,156 124,88
line 124,156 170,172
fill red stroke none
circle 124,156 124,178
fill none stroke '#008000' stroke-width 16 stroke-linejoin round
$(quarter_arc 240 16 58)
$(quarter_arc 240 16 100)"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
convert -size 256x256 xc:none -draw "$drawing" "$work/icon.png"
convert "$work/icon.png" -depth 8 -define icon:auto-resize=256,64,48,40,32,24,20,16 "$out"
identify "$out"
