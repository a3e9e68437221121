#!/usr/bin/env bash
# Renders every bundled sample program to a PNG thumbnail: first with the
# Linux renderer, then with the Windows DLL under Wine. Prints where they are.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc)

cmake --preset native >/dev/null
cmake --build --preset native -j "$jobs" --target vantrel-thumbnailer >/dev/null

out=$root/build/samples/linux
mkdir -p "$out"
for program in samples/*; do
  case "$program" in *.md) continue ;; esac
  name=$(basename "$program")
  build/native/linux/thumbnailer/vantrel-thumbnailer --axis --comments --type \
    "$program" "$out/${name%.*}.png"
done
echo "Linux thumbnails:   $out"
ls "$out"

cmake --preset mingw >/dev/null
cmake --build --preset mingw -j "$jobs" >/dev/null
scripts/windows-samples.sh build/mingw "$root/build/samples/windows"

cat <<MSG

Windows thumbnails (Vantrel.dll under Wine): $root/build/samples/windows
The settings program under Wine, on a desktop:
  WINEPREFIX=$root/build/mingw/wineprefix-samples wine build/mingw/NC/SorvaneSettings/SorvaneSettings.exe
MSG
