#!/bin/sh
# Builds the benchmark (Release, in build/native-bench) and prints its table:
# interpreter throughput over memory and over a file, time to a finished PNG
# with the command-line thumbnailer, and peak memory, for programs of 10^4,
# 10^5 and 10^6 blocks (and a dense 10^6 one).
#
#   bench/run.sh [vantrel-bench options, e.g. --sizes 10000,100000 --repeat 3]
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
thumbnailer=""
if cmake --build "$build" --target help 2>/dev/null | grep -q '^vantrel-thumbnailer:'; then
  if cmake --build "$build" --target vantrel-thumbnailer; then
    thumbnailer=$(find "$build/linux" -type f -name vantrel-thumbnailer -perm -u+x | head -n 1)
  else
    echo "bench/run.sh: vantrel-thumbnailer does not build; interpreter figures only" >&2
  fi
fi

data="$build/bench-data"
mkdir -p "$data"
echo
echo "machine: $(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1);" \
     "load average $(cut -d ' ' -f 1-3 /proc/loadavg)"
if [ -n "$thumbnailer" ]; then
  exec "$build/bench/vantrel-bench" --data "$data" --thumbnailer "$thumbnailer" "$@"
else
  exec "$build/bench/vantrel-bench" --data "$data" "$@"
fi
