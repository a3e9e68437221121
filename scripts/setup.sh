#!/usr/bin/env bash
# Installs every Debian package the build and the tests need.
# Does nothing when they are all present. Runs as root or through sudo.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  googletest libgtest-dev libbenchmark-dev
  clang libclang-rt-dev
  libcairo2-dev libfontconfig1-dev fontconfig fonts-liberation shared-mime-info
  g++-mingw-w64-x86-64-posix
  wine wine64 fonts-wine
  xvfb xauth
  dpkg-dev python3-gi gir1.2-gnomedesktop-3.0 gir1.2-gdkpixbuf-2.0 bubblewrap tumbler dbus
  libglib2.0-bin xdg-utils netcdf-bin
  wixl
  extra-cmake-modules qtbase5-dev libkf5kio-dev kio-extras dolphin lintian
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
echo "setup: installing ${missing[*]}" >&2
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
