#!/usr/bin/env bash
# Writes PNG pictures of every page at 96, 144 and 192 DPI, composed by the Windows build under
# Wine exactly as the setup window presents them.
#   scripts/gallery.sh [output folder, default build/gallery]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
out=$(realpath -m "${1:-build/gallery}")

cmake -S . -B build/win -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
cmake --build build/win --target presentation_gallery
mkdir -p "$out"
rm -f "$out"/*.bmp "$out"/*.png

# Wine's output goes to a file: its helpers inherit it and would hold a pipe open.
scripts/wine-session.sh bash -c \
  'wine "$1" "$(winepath -w "$2")" >"$2/gallery.log" 2>&1 </dev/null' _ \
  "build/win/tests/win/presentation_gallery.exe" "$out"
cat "$out/gallery.log"
for bmp in "$out"/*.bmp; do
  convert "$bmp" "${bmp%.bmp}.png"
  rm "$bmp"
done
echo "pictures in $out"
