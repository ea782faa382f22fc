#!/usr/bin/env bash
# Installs a build into a temporary prefix and checks what a user's machine would
# get: every file in its place, the desktop entry and the AppStream metadata valid,
# and the installed program answering --version and --help and writing a trend
# with --export, all without a display.
#   scripts/install-check.sh BUILD_DIR
set -euo pipefail
build="$1"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
fail() { echo "install check: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null || fail "cmake --install failed"

app=com.quandel.KRN740Viewer
expected=(
    "bin/krn740-viewer"
    "share/krn740-viewer/KRN740 DATA VIEWER HELP.HLP"
    "share/applications/$app.desktop"
    "share/metainfo/$app.metainfo.xml"
    "share/icons/hicolor/scalable/apps/krn740-viewer.svg"
)
for size in 16 32 48 64 128 256; do
    expected+=("share/icons/hicolor/${size}x${size}/apps/krn740-viewer.png")
done
for file in "${expected[@]}"; do
    [ -s "$prefix/$file" ] || fail "missing or empty: $file"
done
[ -x "$prefix/bin/krn740-viewer" ] || fail "the program is not executable"
for size in 16 256; do
    file "$prefix/share/icons/hicolor/${size}x${size}/apps/krn740-viewer.png" | grep -q "$size x $size" ||
        fail "the ${size}x${size} icon has another size"
done

desktop="$prefix/share/applications/$app.desktop"
desktop-file-validate "$desktop" || fail "the desktop entry is not valid"
grep -qx 'MimeType=.*text/csv;.*' "$desktop" || fail "the desktop entry does not open CSV files"
grep -qx 'Icon=krn740-viewer' "$desktop" || fail "the desktop entry names another icon"
appstreamcli validate --no-net "$prefix/share/metainfo/$app.metainfo.xml" >/dev/null ||
    fail "the AppStream metadata is not valid"

version="$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb "$prefix/bin/krn740-viewer" --version)" ||
    fail "the installed program does not answer --version"
[[ "$version" =~ ^krn740-viewer\ [0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "unexpected --version answer: $version"
env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb "$prefix/bin/krn740-viewer" --help | grep -q -- '--version' ||
    fail "the installed program does not answer --help"
if env -u DISPLAY -u WAYLAND_DISPLAY "$prefix/bin/krn740-viewer" --help --no-such-option >/dev/null 2>&1; then
    fail "an unknown option does not fail"
fi
# A trend written by the installed program from a small log, with no display.
work="$prefix/export-check"
mkdir -p "$work/config" "$work/runtime"
chmod 700 "$work/runtime"
{
    printf 'Date,Time,Temp,Wind\r\n'
    for minute in $(seq 0 19); do
        printf '3/14/2024,1:%02d:00 PM,%d.%d,%d\r\n' "$minute" $((20 + minute % 7)) $((minute % 10)) $((minute % 5))
    done
} >"$work/log.csv"
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" \
    "$prefix/bin/krn740-viewer" --export "$work/trend.png" "$work/log.csv" ||
    fail "the installed program does not export a trend without a display"
file "$work/trend.png" | grep -q 'PNG image data' || fail "the exported trend is not a PNG"

echo "install check: $version, ${#expected[@]} files in place, --export writes a PNG"
