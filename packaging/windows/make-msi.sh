#!/usr/bin/env bash
# make-msi.sh OUTPUT.msi BIN_DIR FACTS_DIR [VERSION]
# Builds the Windows package from Vantrel.wxs with wixl. BIN_DIR holds the
# files to ship (Vantrel.dll, VantrelPreview.dll,
# SorvaneSettings.exe); FACTS_DIR the generated
# ProductFacts.wxi. VERSION overrides the product version (the tests build
# an older package to upgrade from).
set -euo pipefail
[ $# -ge 3 ] || { echo "usage: $0 OUTPUT.msi BIN_DIR FACTS_DIR [VERSION]" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
output=$(realpath -m "$1")
bin=$(cd "$2" && pwd)
facts=$(cd "$3" && pwd)
version=${4:-$(sed -n 's/.*define ProductVersion = "\(.*\)".*/\1/p' "$facts/ProductFacts.wxi")}
[ -n "$version" ] || { echo "make-msi: no ProductVersion in $facts/ProductFacts.wxi" >&2; exit 1; }

mkdir -p "$(dirname "$output")"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
# wixl takes Source paths relative to the working folder only.
status=0
(cd "$bin" && wixl -a x64 -I "$facts" -D "Version=$version" -o "$output" "$here/Vantrel.wxs") >"$log" 2>&1 \
  || status=$?
cat "$log" >&2
# wixl skips attributes it does not know with a warning and exit code 0;
# such an attribute would silently change what the package does.
if grep -q 'has no property named' "$log"; then
  echo "make-msi: wixl ignored an attribute of Vantrel.wxs (see above)" >&2
  rm -f "$output"
  exit 1
fi
[ $status -eq 0 ] || { rm -f "$output"; exit $status; }
echo "$output"
