#!/bin/sh
# Builds the benchmark (Release, in build/native-bench) and prints its table:
# interpreter throughput over memory and over a file, time to a finished PNG
# with the command-line thumbnailer, peak memory and, when LinuxCNC's rs274 is
# installed, its time on the same programs. Rows: contour programs of 10^4 to
# 10^6 blocks, a dense one, and the three programs the speed goals name (the
# 10^6-block spiral, 200,000 arcs, 200,000 facing moves), and the spiral's
# 10^6 moves from a parametric program's loop. When a mingw build
# holds vantrel-thumbnail-bench.exe (cmake --preset mingw && cmake --build
# --preset mingw), the DLL's GetThumbnail on the spiral and the facing
# programs under Wine follows, and the preview pane on the spiral.
#
#   bench/run.sh [vantrel-bench options, e.g. --sizes 10000,1000000s --repeat 3]
#
# Speed goals are measured here, never asserted in tests.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/native-bench"
cd "$root"

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake --preset native -B "$build" >/dev/null
fi
cmake --build "$build" --target vantrel-bench

# The PNG timings need the command-line thumbnailer; without it the table
# still shows the interpreter's figures.

if cmake --build "$build" --target help 2>/dev/null | grep -q '^vantrel-thumbnailer:'; then
  if cmake --build "$build" --target vantrel-thumbnailer; then
    thumbnailer=$(find "$build/linux" -type f -name vantrel-thumbnailer -perm -u+x | head -n 1)
    set -- --thumbnailer "$thumbnailer" "$@"
  else
    echo "bench/run.sh: vantrel-thumbnailer does not build; interpreter figures only" >&2
  fi
fi
if command -v rs274 >/dev/null 2>&1; then
  set -- --rs274 "$(command -v rs274)" "$@"
fi

data="$build/bench-data"
mkdir -p "$data"
echo
echo "machine: $(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1);" \
     "load average $(cut -d ' ' -f 1-3 /proc/loadavg)"
"$build/bench/vantrel-bench" --data "$data" "$@"

# The DLL under Wine, in a prefix of its own beside the mingw build.
mingw="$root/build/mingw"
dllbench="$mingw/NC/Thumb/ThumbnailProvider/vantrel-thumbnail-bench.exe"
if [ ! -f "$dllbench" ] || ! command -v wine >/dev/null 2>&1; then
  echo
  echo "Vantrel.dll: no mingw build with vantrel-thumbnail-bench.exe; no figures under Wine."
  exit 0
fi
VANTREL_WINEPREFIX="$mingw/wineprefix-bench"
export VANTREL_WINEPREFIX
if [ ! -d "$VANTREL_WINEPREFIX/drive_c/ProgramData" ]; then
  echo "making the Wine prefix $VANTREL_WINEPREFIX (about 20 s)"
  (cd "$mingw" && "$root/cmake/wine-prefix.sh") >"$mingw/wineprefix-bench.log" 2>&1
fi
. "$root/cmake/wine-env.sh"
trap 'wineserver -k 2>/dev/null || true' EXIT
for program in 1000000-spiral 200000-facing; do
  echo
  echo "Vantrel.dll under Wine (load average $(cut -d ' ' -f 1-3 /proc/loadavg)):"
  wine "$dllbench" --repeat 3 "Z:$(echo "$data/bench-$program.nc" | tr / '\\')"
done

# The preview pane: from Initialize to the end of its first paint, and a
# re-fit after a resize. Its window needs a display: under Xvfb when none is set.
previewshot="$mingw/NC/Thumb/PreviewHandler/vantrel-preview-shot.exe"
if [ -f "$previewshot" ]; then
  echo
  echo "VantrelPreview.dll under Wine (load average $(cut -d ' ' -f 1-3 /proc/loadavg)):"
  spiral="Z:$(echo "$data/bench-1000000-spiral.nc" | tr / '\\')"
  if [ -n "${DISPLAY:-}" ]; then
    wine "$previewshot" --repeat 3 --size 1000x800 "$spiral"
  else
    wineserver -k 2>/dev/null || true
    "$root/scripts/with-wine-display.sh" "$mingw" wine "$previewshot" --repeat 3 --size 1000x800 "$spiral"
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
  fi
fi
