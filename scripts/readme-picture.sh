#!/usr/bin/env bash
# Makes docs/viewer.png, the README's picture, from the program's own windows:
# builds the picture tool (tools/readme-picture, not part of an ordinary build)
# in the release build folder and runs it on a virtual display. Run it again
# whenever the windows' look changes.
#   scripts/readme-picture.sh [OUT.png]
set -euo pipefail
VIEWER_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
. "$VIEWER_ROOT/scripts/deps.sh"

out="$(realpath -m "${1:-$VIEWER_ROOT/docs/viewer.png}")"
viewer_install_packages $VIEWER_BUILD_PACKAGES $VIEWER_PICTURE_PACKAGES

dir="$VIEWER_ROOT/build/release"
cmake -S "$VIEWER_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DVIEWER_BENCH=OFF >/dev/null
cmake --build "$dir" -j2 --target readme-picture

mkdir -p "$(dirname "$out")"
# The real windows on a screen of their own (not the offscreen platform), in a
# fixed locale so that the grid's numbers read the same on every machine.
env -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb LC_ALL=C.UTF-8 \
    xvfb-run -a -s "-screen 0 1600x1000x24" "$dir/tools/readme-picture/readme-picture" "$out"
