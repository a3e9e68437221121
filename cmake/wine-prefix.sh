#!/usr/bin/env bash
# Makes the throwaway Wine prefix for the test run (ctest fixture). The old
# one is removed first, so every run starts from a clean registry.
set -eu
dir=$PWD
while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
WINEPREFIX_ROOT=$dir
. "$(dirname "$0")/wine-env.sh"
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
rm -rf "$WINEPREFIX"
wineboot -i </dev/null >/dev/null 2>&1
# GDI+ finds no "Arial" in a bare prefix; Liberation Sans has its metrics.
wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Arial /t REG_SZ /d 'Liberation Sans' /f >/dev/null 2>&1
mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
wineserver -w
# Keep one server warm for the tests that follow: without it every test
# process pays Wine's start-up again. It ends 30 s after its last client;
# the test command also stops it when the run is over.
wineserver -p30 </dev/null >/dev/null 2>&1
# Wine's own services start with the first program and inherit its output;
# started by a test, they would hold ctest's pipes open for half a minute
# after it ended. A program that waits here (until the server is stopped,
# at most ten minutes) starts them now, with no pipe of ctest's. Opened for
# reading and writing, its input pipe never ends, so "pause" waits.
mkfifo "$WINEPREFIX/waiting-input"
timeout 600 wine cmd /c pause <>"$WINEPREFIX/waiting-input" >/dev/null 2>&1 &
# Return only once it and the services run: a test started earlier could
# win the race and start the services itself.
runs_here() {
  local pid
  for pid in $(pgrep -f "$1"); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && return 0
  done
  return 1
}
for _ in $(seq 150); do
  runs_here 'cmd\.exe /c pause' && runs_here 'services\.exe' && break
  sleep 0.2
done
echo "wine prefix ready: $WINEPREFIX"
