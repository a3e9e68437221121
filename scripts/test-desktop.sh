#!/usr/bin/env bash
# The Linux renderer as a desktop meets it: the Debian packages inspected with
# dpkg-deb and lintian and installed, GNOME's thumbnail library and XFCE's
# tumbler making real thumbnails with it, KDE's preview job and a real Dolphin
# window with the KDE plugin, and the MIME types that gio and xdg-mime give
# real files after a /usr, a /usr/local and a ~/.local install.
#
# Installing into /usr and /usr/local needs root (or sudo without a
# password); without it those parts are skipped. Everything installed is
# removed again, and the MIME databases are rebuilt as they were. Home,
# cache and data folders are private to the run.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
consumers=$repo/linux/thumbnailer/tests/desktop/consumers.py
kde_driver=$repo/build/native/linux/kde/vantrel-kde-preview

step() { printf '\n== %s\n' "$*"; }
failures=0
fail() { echo "FAIL $*"; failures=$((failures + 1)); }

as_root=()
if [ "$(id -u)" -ne 0 ]; then
  if sudo -n true 2>/dev/null; then as_root=(sudo -n); else as_root=(none); fi
fi
run_root() { "${as_root[@]}" "$@"; }
can_install() { [ "${as_root[*]}" != none ]; }

scratch=$(mktemp -d /tmp/vantrel-desktop.XXXXXX)
installed_deb=false
local_manifest=
local_mime_existed=true
remove_local_install() {
  xargs -d '\n' "${as_root[@]}" rm -f <"$local_manifest"
  if $local_mime_existed; then
    run_root update-mime-database /usr/local/share/mime
  else
    run_root rm -rf /usr/local/share/mime
  fi
  # The folders the install made, deepest first.
  find /usr/local -xdev -type d | sort | comm -13 "$scratch/local-dirs" - | sort -r |
    xargs -r -d '\n' "${as_root[@]}" rmdir --ignore-fail-on-non-empty
  local_manifest=
}

cleanup() {
  if $installed_deb; then
    run_root dpkg --purge vantrel-thumbnailer-kde vantrel-thumbnailer >/dev/null || true
  fi
  if [ -n "$local_manifest" ]; then remove_local_install; fi
  rm -rf "$scratch"
}
trap cleanup EXIT

# Private folders, as a fresh user has them.
export HOME=$scratch/home
export XDG_CACHE_HOME=$HOME/.cache XDG_CONFIG_HOME=$HOME/.config XDG_DATA_HOME=$HOME/.local/share
mkdir -p "$XDG_CACHE_HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME"
unset XDG_DATA_DIRS XDG_CURRENT_DESKTOP

step "Debian packages: build and inspect"
scripts/package.sh deb
deb=$(ls "$repo"/dist/vantrel-thumbnailer_*.deb)
kde_deb=$(ls "$repo"/dist/vantrel-thumbnailer-kde_*.deb 2>/dev/null || true)
[ -n "$kde_deb" ] || fail "no vantrel-thumbnailer-kde package (KIO's development files missing?)"
# Neither error nor warning from Debian's package checker.
if ! lintian_report=$(lintian --fail-on error,warning "$deb" $kde_deb 2>/dev/null) ||
   grep -qE '^[EW]: ' <<<"$lintian_report"; then
  fail "lintian: $lintian_report"
fi
contents=$(dpkg-deb --contents "$deb" | awk '{print $NF}')
for path in ./usr/bin/vantrel-thumbnailer ./usr/bin/vantrel-thumbnailer-overlays \
            ./usr/share/thumbnailers/vantrel.thumbnailer \
            ./usr/share/mime/packages/vantrel-nc-programs.xml \
            ./usr/share/man/man1/vantrel-thumbnailer.1.gz \
            ./usr/share/doc/vantrel-thumbnailer/copyright \
            ./usr/share/doc/vantrel-thumbnailer/changelog.gz; do
  grep -qx -- "$path" <<<"$contents" || fail "package lacks $path"
done
# Nothing but /usr, and no MIME cache of its own (the trigger makes it).
grep -v '^\./usr/' <<<"$contents" | grep -qv '^\./$' && fail "package installs outside /usr"
grep -q '^\./usr/share/mime/mime.cache' <<<"$contents" && fail "package carries a MIME cache"
[ "$(dpkg-deb --field "$deb" Package)" = vantrel-thumbnailer ] || fail "package name"
depends=$(dpkg-deb --field "$deb" Depends)
for library in libc6 libcairo2 libfontconfig1; do
  grep -q "$library" <<<"$depends" || fail "Depends lacks $library: $depends"
done
unpacked=$scratch/unpacked
dpkg-deb --extract "$deb" "$unpacked"
grep -q '^License: Apache-2.0' "$unpacked/usr/share/doc/vantrel-thumbnailer/copyright" ||
  fail "copyright does not name Apache-2.0"
zcat "$unpacked/usr/share/man/man1/vantrel-thumbnailer.1.gz" | grep -q '^\.SH EXIT STATUS' ||
  fail "man page"
"$unpacked/usr/bin/vantrel-thumbnailer" --help | grep -q '^usage: vantrel-thumbnailer' ||
  fail "packaged program does not run"
echo "package: $(basename "$deb"), Depends: $depends"
kde_plugin=
if [ -n "$kde_deb" ]; then
  kde_plugin=$(dpkg-deb --contents "$kde_deb" | awk '{print $NF}' |
               grep -x '\./usr/lib/.*/plugins/kf[56]/thumbcreator/vantrelthumbnail\.so' | cut -c2-)
  [ -n "$kde_plugin" ] || fail "the KDE package lacks the plugin in Qt's plugin folder"
  kde_depends=$(dpkg-deb --field "$kde_deb" Depends)
  grep -q "vantrel-thumbnailer (= $(dpkg-deb --field "$deb" Version))" <<<"$kde_depends" ||
    fail "the KDE package does not depend on vantrel-thumbnailer: $kde_depends"
  grep -q 'libcairo2' <<<"$depends" && ! grep -qi 'kf5\|kf6\|qt' <<<"$depends" ||
    fail "vantrel-thumbnailer depends on KDE: $depends"
  echo "package: $(basename "$kde_deb"), Depends: $kde_depends"
fi

step "test files"
files=$scratch/files
mkdir -p "$files"
cp samples/*.nc samples/*.h "$files/"
cp samples/tnc-contour.h "$files/TNC-UPPER.H"
sed 's/^[0-9]* //' samples/tnc-contour.h >"$files/tnc-nonumber.h"
printf 'Notes on the lathe.\nOiled the chuck on Monday; the next service is due in March.\n' \
  >"$files/prose.nc"
# NC programs of every extension, starting as programs do.
starts=('%\nO1000 (PART)\n' '%\r\nO1000\r\n' '%_N_PART_MPF\n' '%1000 G71 *\n' '(PART)\n'
        ';comment\n' 'O1000\n' 'N10 G90\n' 'G21\n' 'M6 T1\n' 'T1 M6\n' '10 G0 X0\n')
programs=()
for extension in nc tap cnc mpf spf eia ngc; do
  for i in "${!starts[@]}"; do
    printf '%b' "${starts[$i]}G1 X10 Y0\nG1 X10 Y10\n" >"$files/start$i.$extension"
    programs+=("start$i.$extension")
  done
  head -c 2048 /dev/urandom >"$files/binary.$extension"
done
printf 'netcdf t {\ndimensions: x = 2 ;\nvariables: int v(x) ;\ndata: v = 1, 2 ;\n}\n' >"$scratch/t.cdl"
ncgen -k classic -o "$files/netcdf-classic.nc" "$scratch/t.cdl"
ncgen -k 64-bit-offset -o "$files/netcdf-64bit.nc" "$scratch/t.cdl"
ncgen -k netCDF-4 -o "$files/netcdf-hdf5.nc" "$scratch/t.cdl"
/usr/bin/python3 - "$files/photo.nc" <<'EOF'
import sys, gi
gi.require_version("GdkPixbuf", "2.0")
from gi.repository import GdkPixbuf
picture = GdkPixbuf.Pixbuf.new(GdkPixbuf.Colorspace.RGB, False, 8, 16, 16)
picture.fill(0xC04020FF)
picture.savev(sys.argv[1], "jpeg", [], [])
EOF
: >"$files/empty.nc"
printf '#include <stdio.h>\nint f(void);\n' >"$files/header.h"
printf '#pragma once\n' >"$files/HEADER-UPPER.H"
printf '// BEGIN PGM is no header start\n' >"$files/comment.h"

# name=type pairs; "!type" means anything but that type.
mime_table=(iso-milling.nc=text/x-nc-program turning.nc=text/x-nc-program
            tnc-contour.h=text/x-nc-program crlf-tnc.h=text/x-nc-program
            TNC-UPPER.H=text/x-nc-program tnc-nonumber.h=text/x-nc-program
            netcdf-classic.nc=application/x-netcdf netcdf-64bit.nc=application/x-netcdf
            netcdf-hdf5.nc=application/x-netcdf photo.nc=application/x-netcdf
            binary.nc=application/x-netcdf empty.nc='!text/x-nc-program'
            binary.ngc='!text/x-nc-program' header.h=text/x-chdr HEADER-UPPER.H=text/x-chdr
            comment.h=text/x-chdr)
for extension in tap cnc mpf spf eia; do mime_table+=("binary.$extension=application/octet-stream"); done
for program in "${programs[@]}"; do
  # LinuxCNC's own type may take text .ngc files; its entry lists it too.
  case "$program" in
    *.ngc) mime_table+=("$program=text/x-nc-program|text/ngc") ;;
    *) mime_table+=("$program=text/x-nc-program") ;;
  esac
done

# Checks every file of the table with gio and with xdg-mime, in the data
# folders given (empty: the default ones).
check_mime_table() {
  local label=$1 data_dirs=$2 entry name expected got tool mismatches=0
  for entry in "${mime_table[@]}"; do
    name=${entry%%=*} expected=${entry#*=}
    for tool in gio xdg-mime; do
      case $tool in
        gio) got=$(env ${data_dirs:+XDG_DATA_DIRS=$data_dirs} gio info -a standard::content-type \
                     "$files/$name" | sed -n 's/^ *standard::content-type: //p') ;;
        # As on a desktop: xdg-mime asks the desktop's own tool (outside
        # one it would ask file(1), which knows nothing of these types).
        xdg-mime) got=$(env ${data_dirs:+XDG_DATA_DIRS=$data_dirs} XDG_CURRENT_DESKTOP=XFCE \
                          xdg-mime query filetype "$files/$name") ;;
      esac
      case $expected in
        '!'*) [ "$got" != "${expected#!}" ] && continue ;;
        *) [[ "|$expected|" == *"|$got|"* ]] && continue ;;
      esac
      fail "$label: $tool says $name is $got, not $expected"
      mismatches=$((mismatches + 1))
    done
  done
  echo "$label: ${#mime_table[@]} files, 2 tools, $mismatches mismatch(es)"
}

# The desktop consumers on the samples; NetCDF, a JPEG named .nc and an
# empty program, asked for as NC programs all the same, must fail.
run_consumers() {
  local label=$1
  shift
  rm -rf "$XDG_CACHE_HOME/thumbnails"
  (cd "$files" && "$consumers" gnome "$@" --ok iso-milling.nc iso-drilling.nc turning.nc \
     tnc-contour.h crlf-tnc.h --refused netcdf-classic.nc photo.nc empty.nc) |
    grep -v '^ok ' || fail "$label: GNOME's thumbnail library"
}
run_tumbler() {
  rm -rf "$XDG_CACHE_HOME/thumbnails"
  (cd "$files" && dbus-run-session -- bash -c '
    /usr/lib/*/tumbler-1/tumblerd >/dev/null 2>&1 & tumbler=$!
    for _ in $(seq 100); do
      gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
        --method org.freedesktop.DBus.NameHasOwner org.freedesktop.thumbnails.Thumbnailer1 |
        grep -q true && break
      sleep 0.2
    done
    "$0" tumbler "$@"; status=$?
    kill $tumbler; exit $status' "$consumers" "$@" \
      --ok iso-milling.nc iso-drilling.nc turning.nc tnc-contour.h crlf-tnc.h \
      --refused netcdf-classic.nc photo.nc empty.nc) 2>/dev/null |
    grep -v '^ok ' || fail "tumbler"
}

# KDE's preview job as Dolphin starts it (files typed by their names,
# Dolphin's default plugins), then a real Dolphin window on a small folder.
kde_ok=(iso-milling.nc turning.nc tnc-contour.h crlf-tnc.h TNC-UPPER.H tnc-nonumber.h
        start0.nc start1.tap start2.cnc start3.mpf start4.spf start5.eia start6.ngc)
kde_refused=(header.h HEADER-UPPER.H comment.h netcdf-classic.nc netcdf-hdf5.nc prose.nc
             photo.nc empty.nc binary.tap binary.eia binary.ngc)
run_kde() {
  rm -rf "$XDG_CACHE_HOME/thumbnails"
  # The plugin reads the overlay option files as the thumbnailer it is
  # compared with does.
  local facts=$repo/build/native/generated/ProductFacts.h option
  option=$XDG_CONFIG_HOME/$(sed -n 's/^#define VANTREL_SETTINGS_FOLDER "\(.*\)"$/\1/p' "$facts")
  mkdir -p "$option"
  option=$option/$(sed -n 's/^#define VANTREL_SHOW_TYPE_FILE "\(.*\)"$/\1/p' "$facts")
  printf 1 >"$option"
  (cd "$files" && env -u DBUS_SESSION_BUS_ADDRESS "$consumers" kde --driver "$kde_driver" \
     --ok "${kde_ok[@]}" --refused "${kde_refused[@]}") | grep -v '^ok ' || fail "KDE's preview job"
  rm "$option"
  local window=$scratch/dolphin
  mkdir -p "$window"
  (cd "$files" && cp iso-milling.nc tnc-contour.h tnc-nonumber.h start1.tap start4.spf \
     start5.eia start6.ngc header.h netcdf-classic.nc prose.nc binary.tap "$window/")
  rm -rf "$XDG_CACHE_HOME/thumbnails"
  (cd "$window" && env -u DBUS_SESSION_BUS_ADDRESS "$consumers" dolphin \
     --ok iso-milling.nc tnc-contour.h tnc-nonumber.h start1.tap start4.spf start5.eia start6.ngc \
     --refused header.h netcdf-classic.nc prose.nc binary.tap) | grep -v '^ok ' || fail "Dolphin"
}

step "MIME types after a ~/.local install"
cmake --install build/native --prefix "$HOME/.local" >/dev/null 2>&1
check_mime_table "~/.local" ""
rm -rf "$HOME/.local"
mkdir -p "$XDG_DATA_HOME"

# One run of this part at a time on a machine: it installs into the system.
# The lock is taken through a read-only descriptor, which flock allows, so
# that a lock file another user made serves as well.
lock=/tmp/vantrel-desktop-test.lock
[ -e "$lock" ] || : >"$lock"
exec 9<"$lock"
flock 9

if ! can_install; then
  step "skipped: the /usr and /usr/local installs need root or password-less sudo"
elif dpkg-query -W -f='${Status}' vantrel-thumbnailer vantrel-thumbnailer-kde 2>/dev/null |
     grep -q 'ok installed'; then
  step "skipped: vantrel-thumbnailer is installed here already, and the test would remove it"
else
  step "Debian packages: install, MIME types, GNOME's thumbnail library, tumbler, KDE, Dolphin"
  # Another package manager run may hold dpkg's lock for a while.
  for attempt in $(seq 60); do
    if run_root dpkg -i "$deb" $kde_deb >"$scratch/dpkg.log" 2>&1; then break; fi
    grep -q 'lock' "$scratch/dpkg.log" && [ "$attempt" -lt 60 ] || { cat "$scratch/dpkg.log"; exit 1; }
    sleep 5
  done
  installed_deb=true
  check_mime_table "/usr" ""
  check_mime_table "/usr only" "/usr/share"
  run_consumers "/usr"
  # The overlays a user chooses reach the sandboxed thumbnailer through the
  # user's own entry.
  vantrel-thumbnailer-overlays --type >/dev/null
  run_consumers "/usr, user entry with --type" --type-overlay
  run_tumbler --type-overlay
  vantrel-thumbnailer-overlays --remove >/dev/null
  if [ -n "$kde_plugin" ]; then run_kde; fi
  run_root dpkg --purge vantrel-thumbnailer-kde vantrel-thumbnailer >/dev/null
  installed_deb=false
  [ -z "$(dpkg-query -W vantrel-thumbnailer vantrel-thumbnailer-kde 2>/dev/null)" ] ||
    fail "packages not removed"
  [ -z "$kde_plugin" ] || [ ! -e "$kde_plugin" ] || fail "$kde_plugin outlived its package"
  [ "$(env XDG_CURRENT_DESKTOP=GNOME xdg-mime query filetype "$files/iso-milling.nc")" != text/x-nc-program ] ||
    fail "the MIME type outlived the package"
fi


if can_install && [ ! -e /usr/local/bin/vantrel-thumbnailer ]; then
  step "/usr/local install: MIME types whatever the data-folder order, GNOME's thumbnail library"
  [ -d /usr/local/share/mime ] || local_mime_existed=false
  find /usr/local -xdev -type d | sort >"$scratch/local-dirs"
  local_manifest=$scratch/local-manifest.txt
  run_root cmake --install build/native --prefix /usr/local >/dev/null 2>&1
  cp build/native/install_manifest.txt "$local_manifest"
  run_root rm -f build/native/install_manifest.txt  # root's; later installs write their own
  check_mime_table "/usr/local" ""
  check_mime_table "/usr/local after /usr" "/usr/share:/usr/local/share"
  run_consumers "/usr/local"
  remove_local_install
fi

step "desktop tests: $failures failure(s)"
[ "$failures" -eq 0 ]
