#!/usr/bin/env python3
"""Fills a folder with the built page, ready for any static web host.

The script, the WebAssembly, the data and the still frame get their content's
hash in their names (vintermoot.3f2a...js), so that a host may let browsers
keep them for good; index.html names them (its FILES table) and is the one
file that must be asked for again on each visit.  Each large file gets a
gzip (.gz) and a brotli (.br) copy beside it for hosts that serve those
when the browser accepts them.

It never deletes what it did not make: it writes only into a new or empty
folder, or one it made itself (a list of the files it made, MARKER, lies
there).  There it replaces only the files of that list and leaves anything
else; any other folder it refuses with one line and exit status 2, and so a
symbolic link as the folder (dangling or not) or as its list: it never
writes through a link.  The
files are made in a hidden folder beside the target and moved in when all
are there, index.html last, so that a served folder stays whole.

usage: dist.py BUILD_WEB DIR     (scripts/web.sh --dist DIR runs it)
       dist.py --check DIR       (whether DIR may be written; web.sh asks
                                 before it builds)
"""
import gzip
import hashlib
import json
import os
import shutil
import subprocess
import sys
import tempfile

# Named by their content (the page refers to them through FILES).
HASHED = ["vintermoot.js", "vintermoot.wasm", "vintermoot.data", "still.png"]
# Kept by name: the page itself and the favicon that browsers ask for.
PLAIN = ["index.html", "favicon.png"]
# Files at least this large get .gz and .br copies (PNG is compressed already).
COMPRESS_FROM = 1024
NOT_COMPRESSED = (".png",)
FILES_LINE = "const FILES = {};"
HASH_CHARS = 16
# The list of the files dist.py made in a folder, one name a line after the
# first line (MARKER_HEAD).
MARKER = ".vintermoot-dist"
MARKER_HEAD = "# Made by web/dist.py: the files it may replace. Anything else here is left alone."
REFUSED = 2


def fail(text, status=1):
    print("dist: " + text, file=sys.stderr)
    sys.exit(status)


def refuse(text):
    fail(text, REFUSED)


def hashed_name(path, name):
    digest = hashlib.sha256(open(path, "rb").read()).hexdigest()[:HASH_CHARS]
    stem, ext = os.path.splitext(name)
    return "%s.%s%s" % (stem, digest, ext)


def compress(path):
    data = open(path, "rb").read()
    with open(path + ".gz", "wb") as out:
        # No name or time stamp inside: the same bytes on every run.
        out.write(gzip.compress(data, compresslevel=9, mtime=0))
    subprocess.run(["brotli", "--quality=11", "--force", "--output=" + path + ".br", path], check=True)


def plain_name(name):
    """Whether a name of the list is a plain file name of the folder itself."""
    return name not in ("", ".", "..", MARKER) and os.path.basename(name) == name


def made_before(target):
    """The files an earlier run made in target: a list, or None when target
    may not be written (an error text instead)."""
    # Never through a link: a link (dangling or not) as the folder, or as
    # its list, is not written.
    if os.path.islink(target):
        return "will not write %s: it is a symbolic link; give the folder itself" % target
    if not os.path.exists(target):
        return []
    if not os.path.isdir(target):
        return "will not write %s: it is not a folder" % target
    here = os.path.realpath(os.getcwd())
    real = os.path.realpath(target)
    if here == real or here.startswith(real.rstrip(os.sep) + os.sep):
        return "will not write %s: it is the folder this runs from (or holds it); give a new folder" % target
    entries = os.listdir(target)
    if not entries:
        return []
    marker = os.path.join(target, MARKER)
    if os.path.islink(marker):
        return "will not write %s: its %s is a symbolic link (nothing was changed)" % (target, MARKER)
    if not os.path.isfile(marker):
        return ("will not write %s: it holds files dist.py did not make; give a new or empty folder "
                "(nothing was changed)" % target)
    lines = open(marker, encoding="utf-8").read().splitlines()
    if not lines or lines[0] != MARKER_HEAD:
        return "will not write %s: its %s is not one dist.py wrote (nothing was changed)" % (target, MARKER)
    return [n for n in lines[1:] if plain_name(n)]


def write_marker(target, names):
    # Written beside it and renamed over it: a link put there meanwhile is
    # replaced, not written through.
    handle, staged = tempfile.mkstemp(prefix=MARKER + ".", dir=target)
    with os.fdopen(handle, "w", encoding="utf-8") as out:
        out.write(MARKER_HEAD + "\n" + "".join(n + "\n" for n in sorted(set(names))))
    os.chmod(staged, 0o644)
    os.replace(staged, os.path.join(target, MARKER))


def make_files(build, stage, page):
    """Fills stage with the page's files; returns the hashed names."""
    names = {}
    for name in HASHED:
        names[name] = hashed_name(os.path.join(build, name), name)
        shutil.copyfile(os.path.join(build, name), os.path.join(stage, names[name]))
    page = page.replace(FILES_LINE, "const FILES = %s;" % json.dumps(names, sort_keys=True))
    page = page.replace('src="still.png"', 'src="%s"' % names["still.png"])
    with open(os.path.join(stage, "index.html"), "w", encoding="utf-8") as out:
        out.write(page)
    shutil.copyfile(os.path.join(build, "favicon.png"), os.path.join(stage, "favicon.png"))
    for name in sorted(os.listdir(stage)):
        path = os.path.join(stage, name)
        if os.path.getsize(path) >= COMPRESS_FROM and not name.endswith(NOT_COMPRESSED):
            compress(path)
    return names


def move_in(stage, target, old):
    """Moves the staged files into target (index.html last, as it names the
    others), then removes the files of the earlier run that are gone."""
    new = sorted(os.listdir(stage), key=lambda n: n.startswith("index.html"))
    taken = [n for n in new if n not in old and os.path.lexists(os.path.join(target, n))]
    if taken:
        refuse("will not write %s: it holds %s, which dist.py did not make (nothing was changed)" %
               (target, ", ".join(taken)))
    os.makedirs(target, exist_ok=True)
    # Listed first, so that an interrupted run leaves no file of its own unlisted.
    write_marker(target, old + new)
    for name in new:
        os.replace(os.path.join(stage, name), os.path.join(target, name))
    for name in old:
        path = os.path.join(target, name)
        if name not in new and os.path.isfile(path) and not os.path.islink(path):
            os.remove(path)
    write_marker(target, new)


def main():
    if len(sys.argv) != 3:
        fail("usage: dist.py BUILD_WEB DIR", REFUSED)
    build, target = sys.argv[1], os.path.abspath(sys.argv[2])
    old = made_before(target)
    if isinstance(old, str):
        refuse(old)
    if build == "--check":
        return 0
    for name in HASHED + PLAIN:
        if not os.path.isfile(os.path.join(build, name)):
            fail("%s is missing in %s (bash scripts/web.sh builds it)" % (name, build))
    if not shutil.which("brotli"):
        fail("brotli is missing (Debian package brotli)")
    page = open(os.path.join(build, "index.html"), encoding="utf-8").read()
    if page.count(FILES_LINE) != 1:
        fail("index.html has no '%s' line to fill" % FILES_LINE)
    parent = os.path.dirname(target)
    os.makedirs(parent, exist_ok=True)
    # Beside the target, so that the files move in by renaming.
    stage = tempfile.mkdtemp(prefix=".dist-", dir=parent)
    try:
        names = make_files(build, stage, page)
        move_in(stage, target, old)
    finally:
        shutil.rmtree(stage, ignore_errors=True)
    raw = sum(os.path.getsize(os.path.join(target, names[n])) for n in HASHED[:3])
    gz = sum(os.path.getsize(os.path.join(target, names[n] + ".gz")) for n in HASHED[:3])
    br = sum(os.path.getsize(os.path.join(target, names[n] + ".br")) for n in HASHED[:3])
    print("dist: %s: the show downloads %.1f MB, %.1f MB gzipped, %.1f MB with brotli" %
          (target, raw / 1e6, gz / 1e6, br / 1e6))
    return 0


if __name__ == "__main__":
    sys.exit(main())
