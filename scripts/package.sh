#!/usr/bin/env bash
# package.sh [NAME ...]   (NAME: msi, deb)
# Builds the product's packages and writes them to dist/. Without arguments
# it builds every package this script knows.
#
# Windows package (msi): dist/<product>-<version>-x64.msi, built with wixl
# from packaging/windows/Vantrel.wxs. Signing is optional: with
#   VANTREL_SIGN_CERT   certificate file (PEM or DER; SPC)
#   VANTREL_SIGN_KEY    its private key
#   VANTREL_SIGN_PASS   the key's password (optional)
#   VANTREL_SIGN_TIMESTAMP  a time-stamping server's URL (optional)
# set, the DLL, the settings program and the package are signed with
# osslsigncode.
#
# Debian packages (deb): dist/vantrel-thumbnailer_<version>_<arch>.deb and
# dist/vantrel-thumbnailer-kde_<version>_<arch>.deb (the KDE plugin, when it
# builds here), made by CPack from the native build.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
dist=$root/dist
jobs=$(nproc)

# A fact of the generated wixl include, e.g. fact build/mingw ProductVersion.
fact() {
  sed -n "s/.*define $2 = \"\\(.*\\)\".*/\\1/p" "$1/generated/ProductFacts.wxi"
}

# Signs a PE file or an MSI in place when a certificate and key are given.
sign_file() {
  [ -n "${VANTREL_SIGN_CERT:-}" ] && [ -n "${VANTREL_SIGN_KEY:-}" ] || return 0
  local file=$1 signed="$1.signed"
  local args=(sign -certs "$VANTREL_SIGN_CERT" -key "$VANTREL_SIGN_KEY" -h sha256
              -n "$(fact build/mingw Product)")
  [ -n "${VANTREL_SIGN_PASS:-}" ] && args+=(-pass "$VANTREL_SIGN_PASS")
  [ -n "${VANTREL_SIGN_TIMESTAMP:-}" ] && args+=(-ts "$VANTREL_SIGN_TIMESTAMP")
  osslsigncode "${args[@]}" -in "$file" -out "$signed" >/dev/null
  mv "$signed" "$file"
  echo "package: signed $(basename "$file")"
}

build_msi() {
  cmake --preset mingw >/dev/null
  cmake --build --preset mingw -j "$jobs" --target Vantrel VantrelPreview SorvaneSettings
  local build=build/mingw
  local stage
  stage=$(mktemp -d)
  # Signing changes the files, so it works on copies, never the build's own.
  cp "$build/NC/Thumb/ThumbnailProvider/Vantrel.dll" \
     "$build/NC/Thumb/PreviewHandler/VantrelPreview.dll" \
     "$build/NC/SorvaneSettings/SorvaneSettings.exe" "$stage/"
  sign_file "$stage/Vantrel.dll"
  sign_file "$stage/VantrelPreview.dll"
  sign_file "$stage/SorvaneSettings.exe"
  local msi
  msi="$dist/$(fact "$build" Product)-$(fact "$build" ProductVersion)-x64.msi"
  packaging/windows/make-msi.sh "$msi" "$stage" "$build/generated" >/dev/null
  rm -rf "$stage"
  sign_file "$msi"
  echo "package: $msi"
}

# vantrel-thumbnailer_<version>_<arch>.deb and, where KIO's development
# files let the KDE plugin build, vantrel-thumbnailer-kde_<version>_<arch>.deb,
# made by CPack from what `cmake --install` installs (see
# cmake/DebianPackage.cmake).
build_deb() {
  cmake --preset native >/dev/null
  cmake --build --preset native -j "$jobs" --target vantrel-deb-files
  rm -rf "$dist/.cpack" "$dist"/vantrel-thumbnailer_*.deb "$dist"/vantrel-thumbnailer-kde_*.deb
  (cd build/native && cpack -G DEB -B "$dist/.cpack" >/dev/null)
  mv "$dist"/.cpack/vantrel-thumbnailer*.deb "$dist/"
  rm -rf "$dist/.cpack"
  local deb
  for deb in "$dist"/vantrel-thumbnailer_*.deb "$dist"/vantrel-thumbnailer-kde_*.deb; do
    [ -e "$deb" ] && echo "package: $deb"
  done
  return 0
}

mkdir -p "$dist"
# Every package has a function build_<name> above; without arguments, all.
targets=("$@")
[ ${#targets[@]} -gt 0 ] || mapfile -t targets < <(declare -F | sed -n 's/^declare -f build_//p')
for target in "${targets[@]}"; do
  if ! declare -F "build_$target" >/dev/null; then
    echo "package: unknown package '$target'" >&2
    exit 2
  fi
  "build_$target"
done
