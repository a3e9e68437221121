#!/usr/bin/env bash
# CMAKE_CROSSCOMPILING_EMULATOR: runs one Windows program under Wine in the
# build tree's throwaway prefix. ctest starts tests in their build folder, so
# the prefix is found by walking up to the folder that holds CMakeCache.txt.
dir=$PWD
while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
[ -f "$dir/CMakeCache.txt" ] || dir=$PWD
WINEPREFIX_ROOT=$dir
. "$(dirname "$0")/wine-env.sh"
exec wine "$@"
