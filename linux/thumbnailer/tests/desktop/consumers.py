#!/usr/bin/python3
"""Thumbnails of real files made by the desktop's own consumers.

  consumers.py gnome   [--type-overlay] --ok FILE... --refused FILE...
  consumers.py tumbler [--type-overlay] --ok FILE... --refused FILE...
  consumers.py kde     --driver PROGRAM --ok FILE... --refused FILE...
  consumers.py dolphin --ok FILE... --refused FILE...

`gnome` drives GNOME's thumbnail library (GnomeDesktop.DesktopThumbnailFactory,
the thumbnailer runs in its bubblewrap sandbox) as GNOME Files does: can it,
generate, then save the picture or record the failure. `tumbler` asks XFCE's
thumbnail service over D-Bus (Thumbnailer1.Queue) as Thunar does; it must
run in a private D-Bus session with tumblerd started.

Each size the consumers know (128, 256, 512, 1024) is asked for. Every --ok
file must get a cached thumbnail of that size with the path's blue pixels in
it (and with --type-overlay, the dialect's name in its box); every --refused
file, asked for as an NC program all the same, must get no thumbnail and a
recorded failure.

`kde` runs KIO::PreviewJob through the driver (vantrel-kde-preview) with
Dolphin's default plugin list, the files typed by their names as Dolphin's
window types them; `dolphin` opens the files' folder in a real Dolphin
window and waits for its thumbnail cache. Both run offscreen without a
session bus. Every --ok file must get a picture whose pixels are those of
`vantrel-thumbnailer -s SIZE` for the same file; every --refused file none.

Exit status 0 when all holds, 1 otherwise; one line per check on standard
output.
"""
import argparse
import hashlib
import os
import subprocess
import sys
import tempfile
import time

import gi

gi.require_version("GdkPixbuf", "2.0")
gi.require_version("GnomeDesktop", "3.0")
from gi.repository import GdkPixbuf, Gio, GLib, GnomeDesktop  # noqa: E402

NC_TYPE = "text/x-nc-program"
GNOME_SIZES = {
    128: GnomeDesktop.DesktopThumbnailSize.NORMAL,
    256: GnomeDesktop.DesktopThumbnailSize.LARGE,
    512: GnomeDesktop.DesktopThumbnailSize.XLARGE,
    1024: GnomeDesktop.DesktopThumbnailSize.XXLARGE,
}
TUMBLER_FLAVORS = {128: "normal", 256: "large", 512: "x-large", 1024: "xx-large"}
failures = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what, flush=True)
    if not ok:
        failures.append(what)


def content_type(path):
    info = Gio.File.new_for_path(path).query_info("standard::content-type", 0, None)
    return info.get_content_type()


def mtime(path):
    return int(os.stat(path).st_mtime)


def uri(path):
    return Gio.File.new_for_path(path).get_uri()


def count(pixbuf, box, test):
    """Pixels in the box (fractions of the side) whose (r, g, b) pass `test`."""
    data = pixbuf.get_pixels()
    n, stride = pixbuf.get_n_channels(), pixbuf.get_rowstride()
    w, h = pixbuf.get_width(), pixbuf.get_height()
    x0, y0, x1, y1 = int(box[0] * w), int(box[1] * h), int(box[2] * w), int(box[3] * h)
    hits = 0
    for y in range(y0, y1):
        row = y * stride
        for x in range(x0, x1):
            o = row + x * n
            if test(data[o], data[o + 1], data[o + 2]):
                hits += 1
    return hits


def is_path_blue(r, g, b):
    return r < 60 and g < 60 and b > 200


def is_type_ink(r, g, b):  # dark red "I S O" or green "T N C", anti-aliased
    return (r > g + 40 and r > b + 40) or (g > r + 30 and g > b + 30)


def check_picture(name, consumer, size, path):
    try:
        pixbuf = GdkPixbuf.Pixbuf.new_from_file(path)
    except GLib.Error as error:
        check(False, f"{consumer} {size}: {name} thumbnail unreadable: {error.message}")
        return
    side = max(pixbuf.get_width(), pixbuf.get_height())
    check(side == size, f"{consumer} {size}: {name} thumbnail is {pixbuf.get_width()}x{pixbuf.get_height()}")
    blue = count(pixbuf, (0, 0, 1, 1), is_path_blue)
    check(blue >= size // 2, f"{consumer} {size}: {name} shows its path ({blue} blue pixels)")
    if args.type_overlay:
        ink = count(pixbuf, (50 / 255, 0, 90 / 255, 13 / 255), is_type_ink)
        check(ink > 5, f"{consumer} {size}: {name} names its dialect ({ink} pixels of ink)")


def run_gnome():
    for size, flavor in GNOME_SIZES.items():
        factory = GnomeDesktop.DesktopThumbnailFactory.new(flavor)
        for path in args.ok + args.refused:
            name = os.path.basename(path)
            mime = NC_TYPE if path in args.refused else content_type(path)
            if not factory.can_thumbnail(uri(path), mime, mtime(path)):
                # A failure recorded at an earlier size holds for every size.
                recorded = factory.has_valid_failed_thumbnail(uri(path), mtime(path))
                check(path in args.refused and recorded,
                      f"gnome {size}: {name} ({mime}) not tried, failure recorded: {recorded}")
                continue
            try:
                pixbuf = factory.generate_thumbnail(uri(path), mime, None)
                error = None
            except GLib.Error as failure:
                pixbuf, error = None, failure.message
            if pixbuf is not None:
                factory.save_thumbnail(pixbuf, uri(path), mtime(path), None)
            else:
                factory.create_failed_thumbnail(uri(path), mtime(path), None)
            cached = GnomeDesktop.desktop_thumbnail_path_for_uri(uri(path), flavor)
            if path in args.ok:
                check(pixbuf is not None, f"gnome {size}: {name} ({mime}) made {error or 'a thumbnail'}")
                if pixbuf is not None:
                    check_picture(name, "gnome", size, cached)
            else:
                check(pixbuf is None and not os.path.exists(cached),
                      f"gnome {size}: {name} gets no thumbnail ({error})")
                check(factory.has_valid_failed_thumbnail(uri(path), mtime(path)),
                      f"gnome {size}: {name} has its failure recorded")


def run_tumbler():
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    proxy = Gio.DBusProxy.new_sync(
        bus, Gio.DBusProxyFlags.NONE, None, "org.freedesktop.thumbnails.Thumbnailer1",
        "/org/freedesktop/thumbnails/Thumbnailer1", "org.freedesktop.thumbnails.Thumbnailer1", None)
    flavors = proxy.call_sync("GetFlavors", None, 0, 30000, None).unpack()[0]
    cache = os.path.join(GLib.get_user_cache_dir(), "thumbnails")
    loop = GLib.MainLoop()
    state = {}

    def on_signal(_proxy, _sender, signal, params):
        values = params.unpack()
        if signal == "Ready":
            state["ready"].update(values[1])
        elif signal == "Error":
            for failed in values[1]:
                state["errors"][failed] = values[3]
        elif signal == "Finished" and values[0] == state.get("handle"):
            loop.quit()

    proxy.connect("g-signal", on_signal)
    files = args.ok + args.refused
    for size, flavor in TUMBLER_FLAVORS.items():
        if flavor not in flavors:
            check(False, f"tumbler {size}: flavor {flavor} not offered ({flavors})")
            continue
        state.update(ready=set(), errors={}, handle=None)
        uris = [uri(p) for p in files]
        mimes = [NC_TYPE if p in args.refused else content_type(p) for p in files]
        state["handle"] = proxy.call_sync(
            "Queue", GLib.Variant("(asasssu)", (uris, mimes, flavor, "foreground", 0)),
            0, 30000, None).unpack()[0]
        GLib.timeout_add_seconds(120, loop.quit)
        loop.run()
        for path, mime in zip(files, mimes):
            name = os.path.basename(path)
            cached = os.path.join(cache, flavor, hashlib.md5(uri(path).encode()).hexdigest() + ".png")
            if path in args.ok:
                check(uri(path) in state["ready"],
                      f"tumbler {size}: {name} ({mime}) made {state['errors'].get(uri(path), 'a thumbnail')}")
                if os.path.exists(cached):
                    check_picture(name, "tumbler", size, cached)
            else:
                check(uri(path) not in state["ready"] and not os.path.exists(cached),
                      f"tumbler {size}: {name} gets no thumbnail")
                check(uri(path) in state["errors"],
                      f"tumbler {size}: {name} has its failure reported "
                      f"({state['errors'].get(uri(path))})")


def rgb_pixels(path):
    """(width, height, bytes of R, G, B per pixel) of a picture file."""
    pixbuf = GdkPixbuf.Pixbuf.new_from_file(path)
    data, n, stride = pixbuf.get_pixels(), pixbuf.get_n_channels(), pixbuf.get_rowstride()
    w, h = pixbuf.get_width(), pixbuf.get_height()
    rows = (bytes(data[y * stride + x * n + c] for x in range(w) for c in range(3)) for y in range(h))
    return w, h, b"".join(rows)


def check_same_picture(consumer, name, path, size, scratch):
    """The picture at `path` has the pixels vantrel-thumbnailer gives at `size`."""
    reference = os.path.join(scratch, f"reference-{size}-{name}.png")
    if not os.path.exists(reference):
        subprocess.run(["vantrel-thumbnailer", "-s", str(size), os.path.join(args.folder, name),
                        reference], check=True)
    try:
        got, want = rgb_pixels(path), rgb_pixels(reference)
    except GLib.Error as error:
        check(False, f"{consumer}: {name} picture unreadable: {error.message}")
        return
    differing = sum(1 for k in range(0, min(len(got[2]), len(want[2])), 3)
                    if got[2][k:k + 3] != want[2][k:k + 3])
    check(got == want, f"{consumer}: {name} is the thumbnailer's {size}-pixel picture "
                       f"({got[0]}x{got[1]}, {differing} pixels differ)")


def kde_environment():
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    env.pop("DBUS_SESSION_BUS_ADDRESS", None)
    return env


def run_kde():
    with tempfile.TemporaryDirectory() as scratch:
        result = subprocess.run([args.driver, "previews", scratch] + args.ok + args.refused,
                                env=kde_environment(), capture_output=True, text=True, timeout=300)
        outcome = {}
        for line in result.stdout.splitlines():
            word, name, mime = (line.split(" ") + ["", ""])[:3]
            outcome[name] = (word, mime)
        check(result.returncode == 0, f"kde: the preview job ran (status {result.returncode})")
        for path in args.ok + args.refused:
            name = os.path.basename(path)
            word, mime = outcome.get(name, ("nothing", "?"))
            picture = os.path.join(scratch, name + ".png")
            if path in args.ok:
                check(word == "preview", f"kde: {name} (typed {mime} by name) got {word}")
                if os.path.exists(picture):
                    check_same_picture("kde", name, picture, 256, scratch)
            else:
                check(word == "failed" and not os.path.exists(picture),
                      f"kde: {name} (typed {mime} by name) gets no picture ({word})")


def run_dolphin():
    cache = os.path.join(GLib.get_user_cache_dir(), "thumbnails")
    flavors = {"normal": 128, "large": 256, "x-large": 512, "xx-large": 1024}

    def cached(path):
        digest = hashlib.md5(uri(path).encode()).hexdigest() + ".png"
        return [(os.path.join(cache, f, digest), size) for f, size in flavors.items()
                if os.path.exists(os.path.join(cache, f, digest))]

    dolphin = subprocess.Popen(["dolphin", "--new-window", args.folder], env=kde_environment(),
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        deadline = time.monotonic() + 60
        while time.monotonic() < deadline and dolphin.poll() is None:
            if all(cached(p) for p in args.ok):
                break
            time.sleep(0.5)
        time.sleep(2)  # the refused files' turn
        check(dolphin.poll() is None, f"dolphin: stayed up while it made thumbnails "
                                      f"(status {dolphin.returncode})")
    finally:
        dolphin.terminate()
        try:
            dolphin.wait(10)
        except subprocess.TimeoutExpired:
            dolphin.kill()
            dolphin.wait()
    with tempfile.TemporaryDirectory() as scratch:
        for path in args.ok + args.refused:
            name = os.path.basename(path)
            found = cached(path)
            if path in args.ok:
                check(bool(found), f"dolphin: {name} has a cached thumbnail")
                for picture, size in found:
                    check_same_picture("dolphin", name, picture, size, scratch)
            else:
                check(not found, f"dolphin: {name} has no cached thumbnail")


parser = argparse.ArgumentParser()
parser.add_argument("consumer", choices=["gnome", "tumbler", "kde", "dolphin"])
parser.add_argument("--ok", nargs="*", default=[])
parser.add_argument("--refused", nargs="*", default=[])
parser.add_argument("--type-overlay", action="store_true")
parser.add_argument("--driver")
args = parser.parse_args()
args.ok = [os.path.abspath(p) for p in args.ok]
args.refused = [os.path.abspath(p) for p in args.refused]
folders = {os.path.dirname(p) for p in args.ok + args.refused}
if args.consumer in ("kde", "dolphin") and len(folders) != 1:
    parser.error("the kde and dolphin checks take files of one folder")
args.folder = folders.pop() if folders else ""
{"gnome": run_gnome, "tumbler": run_tumbler, "kde": run_kde, "dolphin": run_dolphin}[args.consumer]()
print(f"{args.consumer}: {len(failures)} failed check(s)")
sys.exit(1 if failures else 0)
