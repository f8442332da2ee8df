#!/usr/bin/env bash
# Makes the desktop icons packaging/icons/hicolor/NxN/apps/varnox-patch.png
# from the program's own icon (ui/varnox_icon.xpm, 32x32). Run it when that
# icon changes and commit the PNGs: a build needs no ImageMagick.
set -euo pipefail
cd "$(dirname "$0")/.."

source_icon=ui/varnox_icon.xpm
command -v convert >/dev/null || { echo "make_icons: needs ImageMagick's convert" >&2; exit 1; }

for size in 16 22 24 32 48 64 128 256; do
  out=packaging/icons/hicolor/${size}x${size}/apps/varnox-patch.png
  mkdir -p "$(dirname "$out")"
  if ((size % 32 == 0)); then
    # Whole multiples keep the pixel drawing sharp.
    scale=(-filter point -resize "${size}x${size}")
  else
    # Other sizes: enlarge sharply first, then shrink smoothly.
    scale=(-filter point -resize 256x256 -filter Lanczos -resize "${size}x${size}")
  fi
  # No time stamps or other metadata, so that the files only change with the icon.
  convert "$source_icon" "${scale[@]}" -strip -define png:exclude-chunks=date,time PNG32:"$out"
done
ls -l packaging/icons/hicolor/*/apps/varnox-patch.png
