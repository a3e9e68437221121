#!/usr/bin/env bash
# with-wine-display.sh BUILD_DIR COMMAND...
# Runs COMMAND with a virtual X display started before the first Wine
# process, then stops the build's Wine server and the display, whatever the
# command's outcome, and returns the command's status.
set -u
build=$(cd "$1" && pwd)
shift
display=""
for n in $(seq 90 120); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=":$n"; break; fi
done
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
export DISPLAY=$display

"$@"
status=$?

WINEPREFIX="$build/wineprefix" wineserver -k 2>/dev/null
WINEPREFIX="$build/wineprefix" wineserver -w 2>/dev/null
kill "$xvfb" 2>/dev/null
wait "$xvfb" 2>/dev/null
exit $status
