#!/usr/bin/env python3
"""Fills a folder with the built page, ready for any static web host.

The script, the WebAssembly, the data and the still frame get their content's
hash in their names (vintermoot.3f2a...js), so that a host may let browsers
keep them for good; index.html names them (its FILES table) and is the one
file that must be asked for again on each visit.  Each large file gets a
gzip (.gz) and a brotli (.br) copy beside it for hosts that serve those
when the browser accepts them.  The folder is written under a temporary name
and renamed when complete.

usage: dist.py BUILD_WEB DIR     (scripts/web.sh --dist DIR runs it)
"""
import gzip
import hashlib
import json
import os
import shutil
import subprocess
import sys

# Named by their content (the page refers to them through FILES).
HASHED = ["vintermoot.js", "vintermoot.wasm", "vintermoot.data", "still.png"]
# Kept by name: the page itself and the favicon that browsers ask for.
PLAIN = ["index.html", "favicon.png"]
# Files at least this large get .gz and .br copies (PNG is compressed already).
COMPRESS_FROM = 1024
NOT_COMPRESSED = (".png",)
FILES_LINE = "const FILES = {};"
HASH_CHARS = 16


def fail(text):
    print("dist: " + text, file=sys.stderr)
    sys.exit(1)


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


def main():
    if len(sys.argv) != 3:
        fail("usage: dist.py BUILD_WEB DIR")
    build, target = sys.argv[1], os.path.abspath(sys.argv[2])
    for name in HASHED + PLAIN:
        if not os.path.isfile(os.path.join(build, name)):
            fail("%s is missing in %s (bash scripts/web.sh builds it)" % (name, build))
    if not shutil.which("brotli"):
        fail("brotli is missing (Debian package brotli)")
    page = open(os.path.join(build, "index.html"), encoding="utf-8").read()
    if page.count(FILES_LINE) != 1:
        fail("index.html has no '%s' line to fill" % FILES_LINE)
    partial = target + ".partial"
    shutil.rmtree(partial, ignore_errors=True)
    os.makedirs(partial)
    names = {}
    for name in HASHED:
        names[name] = hashed_name(os.path.join(build, name), name)
        shutil.copyfile(os.path.join(build, name), os.path.join(partial, names[name]))
    page = page.replace(FILES_LINE, "const FILES = %s;" % json.dumps(names, sort_keys=True))
    page = page.replace('src="still.png"', 'src="%s"' % names["still.png"])
    with open(os.path.join(partial, "index.html"), "w", encoding="utf-8") as out:
        out.write(page)
    shutil.copyfile(os.path.join(build, "favicon.png"), os.path.join(partial, "favicon.png"))
    for name in sorted(os.listdir(partial)):
        path = os.path.join(partial, name)
        if os.path.getsize(path) >= COMPRESS_FROM and not name.endswith(NOT_COMPRESSED):
            compress(path)
    if os.path.isdir(target):
        shutil.rmtree(target)
    os.rename(partial, target)
    raw = sum(os.path.getsize(os.path.join(target, names[n])) for n in HASHED[:3])
    gz = sum(os.path.getsize(os.path.join(target, names[n] + ".gz")) for n in HASHED[:3])
    br = sum(os.path.getsize(os.path.join(target, names[n] + ".br")) for n in HASHED[:3])
    print("dist: %s: the show downloads %.1f MB, %.1f MB gzipped, %.1f MB with brotli" %
          (target, raw / 1e6, gz / 1e6, br / 1e6))
    return 0


if __name__ == "__main__":
    sys.exit(main())
