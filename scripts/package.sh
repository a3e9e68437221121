#!/usr/bin/env bash
# Writes every package to dist/: the Debian package of the Linux renderer.
#   scripts/package.sh          all packages
#   scripts/package.sh deb      only the named ones
set -euo pipefail
cd "$(dirname "$0")/.."
dist=$PWD/dist

# vantrel-thumbnailer_<version>_<arch>.deb, made by CPack from what
# `cmake --install` installs (see cmake/DebianPackage.cmake).
build_deb() {
  cmake --preset native >/dev/null
  cmake --build --preset native -j "$(nproc)" --target vantrel-thumbnailer vantrel-man-pages
  rm -rf "$dist/.cpack" "$dist"/vantrel-thumbnailer_*.deb
  (cd build/native && cpack -G DEB -B "$dist/.cpack" >/dev/null)
  mv "$dist"/.cpack/vantrel-thumbnailer_*.deb "$dist/"
  rm -rf "$dist/.cpack"
  echo "package: $(ls "$dist"/vantrel-thumbnailer_*.deb)"
}

main() {
  mkdir -p "$dist"
  local kinds=("$@")
  [ ${#kinds[@]} -gt 0 ] || kinds=(deb)
  for kind in "${kinds[@]}"; do
    case "$kind" in
      deb) build_deb ;;
      *) echo "package.sh: unknown package '$kind'" >&2; exit 2 ;;
    esac
  done
}

main "$@"
