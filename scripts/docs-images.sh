#!/bin/bash
# Renews the pictures in docs/images/: runs the demo headless under Wine and
# Xvfb with game.exe held open when the update starts (so the files-in-use box
# shows once before the update goes on) and a large file added to the new
# version (so the copy dialog is caught with its bar under way), then keeps
# the four windows a player meets, as small palette PNGs.
#
#   flock /tmp/wine.lock bash scripts/docs-images.sh
set -euo pipefail
cd "$(dirname "$0")/.."

SHOTS=$(mktemp -d)
trap 'rm -rf "$SHOTS"' EXIT

env -u DISPLAY DEMO_HOLD=game.exe DEMO_LARGE_MB=64 bash scripts/demo.sh "$SHOTS"

mkdir -p docs/images
# The demo's screenshot name -> the picture's name in docs/images.
for pair in update-dialog:update-dialog in-use:files-in-use filecopy:copy-dialog \
  message:complete; do
  shot=$(find "$SHOTS" -name "[0-9][0-9]-${pair%%:*}.png" | head -n 1)
  if [ -z "$shot" ]; then
    echo "docs-images: the demo took no screenshot of ${pair%%:*}" >&2
    exit 1
  fi
  picture=docs/images/${pair#*:}.png
  # Dialogs hold few colours: 16 without dithering keep the text sharp.
  convert "$shot" -trim +repage +dither -colors 16 -strip \
    -define png:compression-level=9 "PNG8:$picture"
  echo "  $picture: $(stat -c %s "$picture") bytes"
done
