#!/usr/bin/env bash
# Draws the program icon (a cream envelope with a brown speaker badge) as SVG and renders
# the hicolor PNG sizes from it with ImageMagick. The results are kept in the repository;
# run this again only after changing the drawing.
set -euo pipefail
cd "$(dirname "$0")"

cream='#f4e8cc'
brown='#6b4226'
mkdir -p hicolor/scalable/apps
cat > hicolor/scalable/apps/corvane.svg <<SVG
<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">
  <rect x="18" y="56" width="212" height="148" rx="16" fill="$cream" stroke="$brown" stroke-width="12"/>
  <polyline points="26,66 124,140 222,66" fill="none" stroke="$brown" stroke-width="12"
            stroke-linecap="round" stroke-linejoin="round"/>
  <circle cx="190" cy="182" r="56" fill="$brown" stroke="$cream" stroke-width="8"/>
  <polygon points="160,170 174,170 192,154 192,210 174,194 160,194" fill="$cream"/>
  <path d="M200 170 A14 14 0 0 1 200 194" fill="none" stroke="$cream" stroke-width="7"
        stroke-linecap="round"/>
  <path d="M208 160 A26 26 0 0 1 208 204" fill="none" stroke="$cream" stroke-width="7"
        stroke-linecap="round"/>
</svg>
SVG

# ImageMagick's own SVG reader mis-draws open arcs, so the PNGs are drawn from the same
# shapes in its drawing language, large once and then scaled down for smooth small sizes.
master=$(mktemp --suffix=.png)
trap 'rm -f "$master"' EXIT
convert -size 1024x1024 xc:none -draw "
  affine 4,0,0,4,0,0
  stroke '$brown' stroke-width 12 fill '$cream'
  roundrectangle 18,56 230,204 16,16
  fill none stroke-linecap round stroke-linejoin round
  polyline 26,66 124,140 222,66
  fill '$brown' stroke '$cream' stroke-width 8
  circle 190,182 190,238
  stroke none fill '$cream'
  polygon 160,170 174,170 192,154 192,210 174,194 160,194
  fill none stroke '$cream' stroke-width 7
  path 'M200 170 A14 14 0 0 1 200 194'
  path 'M208 160 A26 26 0 0 1 208 204'
" "$master"
for size in 16 22 24 32 48 64 128 256; do
  mkdir -p "hicolor/${size}x${size}/apps"
  convert "$master" -filter Lanczos -resize "${size}x${size}" -strip \
    "PNG32:hicolor/${size}x${size}/apps/corvane.png"
done
