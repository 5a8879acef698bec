#!/usr/bin/env bash
# Redraws the window's pictures and the application icons (PNG and the Windows .ico with
# 48/32/16 px images in 16 and 256 colours). Needs qt6-base-dev and ImageMagick.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# shellcheck disable=SC2046
g++ -std=c++20 -O1 -fPIC -o "$work/draw_artwork" "$ROOT/scripts/artwork/draw_artwork.cpp" \
    $(pkg-config --cflags --libs Qt6Gui)
QT_QPA_PLATFORM=offscreen "$work/draw_artwork" "$work"

cp "$work/module.jpg" "$work/logo.jpg" "$ROOT/ui/resources/"
for size in 16 32 48; do
    cp "$work/icon-$size.png" "$ROOT/app/icons/tovra-rf-tool-$size.png"
done
python3 "$ROOT/scripts/artwork/make-ico.py" "$ROOT/app/tovra-rf-tool.ico" \
    "$work/icon-48.png" "$work/icon-32.png" "$work/icon-16.png"
echo "artwork written to ui/resources, app/icons and app/tovra-rf-tool.ico"
