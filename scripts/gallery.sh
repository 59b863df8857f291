#!/usr/bin/env bash
# Writes PNG pictures of every page at 96, 144 and 192 DPI, composed by the Windows build under
# Wine exactly as the setup window presents them.
#   scripts/gallery.sh [output folder, default build/gallery]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
out=$(realpath -m "${1:-build/gallery}")

source scripts/flavours.sh
flavour=$(host_flavour)
build=$(flavour_build_dir "$flavour")
build_flavour "$flavour" --target presentation_gallery
export WINEARCH=$(host_prefix)
mkdir -p "$out"
rm -f "$out"/*.bmp "$out"/*.png

# Wine's output goes to a file: its helpers inherit it and would hold a pipe open.
scripts/wine-session.sh bash -c \
  'wine "$1" "$(winepath -w "$2")" >"$2/gallery.log" 2>&1 </dev/null' _ \
  "$build/tests/win/presentation_gallery.exe" "$out"
cat "$out/gallery.log"
for bmp in "$out"/*.bmp; do
  convert "$bmp" "${bmp%.bmp}.png"
  rm "$bmp"
done
echo "pictures in $out"
