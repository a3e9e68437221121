# Sourced by the Wine wrappers: a prefix inside the build tree, no prompts, no noise.
# VANTREL_WINEPREFIX may name another prefix; the default lies beside the build's CMakeCache.
: "${VANTREL_WINEPREFIX:=${WINEPREFIX_ROOT:-$PWD}/wineprefix}"
export WINEPREFIX="$VANTREL_WINEPREFIX"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
