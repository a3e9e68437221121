#!/usr/bin/env bash
# windows-samples.sh MINGW_BUILD_DIR OUT_DIR [NC_FILE...]
# Writes the thumbnails that Vantrel.dll makes for the sample NC programs (or
# the files given) as PNG files, by running vantrel-thumbnail-png under Wine:
# OUT_DIR/plain with every overlay off, OUT_DIR/overlays with all three on.
# Wine runs in a prefix of its own, MINGW_BUILD_DIR/wineprefix-samples, made
# on first use, so the test prefix is left alone.
set -euo pipefail
if [ $# -lt 2 ]; then
  echo "usage: $0 MINGW_BUILD_DIR OUT_DIR [NC_FILE...]" >&2
  exit 2
fi
repo=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)
shift 2

tool="$build/NC/Thumb/ThumbnailProvider/vantrel-thumbnail-png.exe"
if [ ! -f "$tool" ]; then
  echo "$tool is missing: build first (cmake --build $build)" >&2
  exit 1
fi

files=("$@")
if [ ${#files[@]} -eq 0 ]; then
  shopt -s nullglob
  files=("$repo"/samples/*.nc "$repo"/samples/*.h)
fi
[ ${#files[@]} -gt 0 ] || { echo "no NC files to render" >&2; exit 1; }

export VANTREL_WINEPREFIX="$build/wineprefix-samples"
if [ ! -d "$VANTREL_WINEPREFIX/drive_c/ProgramData" ]; then
  echo "making the Wine prefix $VANTREL_WINEPREFIX (about 20 s)"
  (cd "$build" && "$repo/cmake/wine-prefix.sh") >"$build/wineprefix-samples.log" 2>&1
fi
. "$repo/cmake/wine-env.sh"
trap 'wineserver -k 2>/dev/null || true' EXIT

# Wine sees the Linux file system as drive Z:.
windows_path() { local p; p=$(cd "$(dirname "$1")" && pwd)/$(basename "$1"); echo "Z:${p//\//\\}"; }
windows_files=()
for f in "${files[@]}"; do windows_files+=("$(windows_path "$f")"); done

# The provider reads its three option files from C:\ProgramData\Kestrova.
settings="$WINEPREFIX/drive_c/ProgramData/Kestrova"
mkdir -p "$settings"
render() {
  local folder=$1 state=$2
  for option in ShowAxis ShowComment ShowType; do
    printf %s "$state" >"$settings/Vantrel_$option.txt"
  done
  mkdir -p "$out/$folder"
  wine "$tool" "$(windows_path "$out/$folder")" "${windows_files[@]}" >/dev/null
}
render plain 0
render overlays 1
wineserver -w

echo "thumbnails made by Vantrel.dll:"
for folder in plain overlays; do
  for f in "${files[@]}"; do echo "  $out/$folder/$(basename "$f").png"; done
done
