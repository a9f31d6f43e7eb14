#!/usr/bin/env python3
"""web/dist.py never deletes what it did not make: from a stand-in build it
fills a new folder, updates its own folder (replacing only its own files,
keeping a file the user put there), and refuses with one line and exit 2 a
folder of other files, a file, the folder it runs from (or one above it),
and a symbolic link as the folder or as its list, changing nothing and
writing nothing through a link.  scripts/web.sh --dist installs its packages
before it runs python3.  Exit 77 (skipped) without brotli.

usage: dist_test.py
"""
import os
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
DIST = os.path.join(ROOT, "web", "dist.py")
SKIP = 77
PAGE = '<img id="still" src="still.png"><script>const FILES = {};</script>\n'
failures = []


def expect(ok, text):
    print("%s %s" % ("ok  " if ok else "FAIL", text))
    if not ok:
        failures.append(text)


def make_build(build, version):
    os.makedirs(build, exist_ok=True)
    for name in ("vintermoot.js", "vintermoot.wasm", "vintermoot.data", "still.png", "favicon.png"):
        with open(os.path.join(build, name), "w") as out:
            out.write("%s %s\n" % (name, version) * 200)
    with open(os.path.join(build, "index.html"), "w") as out:
        out.write(PAGE)


def run(build, target, cwd):
    done = subprocess.run([sys.executable, DIST, build, target], cwd=cwd, capture_output=True, text=True)
    return done.returncode, done.stderr.strip().splitlines()


def snapshot(folder):
    found = {}
    for top, _, names in os.walk(folder):
        for name in names:
            path = os.path.join(top, name)
            found[os.path.relpath(path, folder)] = (os.readlink(path) if os.path.islink(path) else
                                                    open(path, "rb").read())
    return found


def refused(build, target, cwd, what, reason):
    """Refused with one line naming `reason`, exit 2, nothing changed."""
    before = snapshot(cwd)
    status, lines = run(build, target, cwd)
    expect(status == 2 and len(lines) == 1 and lines[0].startswith("dist: will not write") and
           reason in lines[0], "%s: refused with one line, exit 2 (%d, %s)" % (what, status, lines))
    expect(snapshot(cwd) == before, "%s: nothing changed" % what)


def installs_before_python(work):
    """scripts/web.sh --dist on a machine without python3: it installs its
    packages before it runs python3 (stand-ins for apt-get and dpkg-query
    record the order)."""
    tools, log = os.path.join(work, "tools"), os.path.join(work, "order.txt")
    os.makedirs(tools)
    for name in ("bash", "dirname", "basename", "id", "grep", "cat", "rm", "mktemp", "tail", "chmod"):
        os.symlink(shutil.which(name), os.path.join(tools, name))
    stand_ins = {
        # Everything is installed but python3.
        "dpkg-query": 'case "$*" in *" python3") exit 1 ;; *) echo "install ok installed" ;; esac',
        # An install puts a python3 in place that records its call and refuses.
        "apt-get": 'echo "apt-get $*" >> %s\n[ "$1" = install ] && printf \'#!%s\\necho "python3 $*" >> %s; '
                   'exit 2\\n\' > %s/python3 && chmod +x %s/python3\nexit 0' %
                   (log, shutil.which("bash"), log, tools, tools),
        "sudo": 'exec "$@"',
    }
    for name, text in stand_ins.items():
        with open(os.path.join(tools, name), "w") as out:
            out.write("#!%s\n%s\n" % (shutil.which("bash"), text))
        os.chmod(os.path.join(tools, name), 0o755)
    done = subprocess.run([shutil.which("bash"), os.path.join(ROOT, "scripts", "web.sh"), "--dist",
                           os.path.join(work, "nowhere")], env={"PATH": tools, "HOME": work},
                          capture_output=True, text=True)
    order = [line.split()[0] for line in open(log)] if os.path.exists(log) else []
    expect(done.returncode == 2 and order[-2:] == ["apt-get", "python3"],
           "web.sh --dist installs its packages before it runs python3 (exit %d, order %s, %s)" %
           (done.returncode, order, done.stderr.strip().splitlines()[-1:]))


def main():
    if not shutil.which("brotli"):
        print("dist_test: SKIPPED - no brotli (Debian package brotli)")
        return SKIP
    work = tempfile.mkdtemp(prefix="vm_dist_")
    build = os.path.join(work, "build")
    make_build(build, 1)
    status, lines = run(build, "site", work)
    site = os.path.join(work, "site")
    first = set(os.listdir(site)) if os.path.isdir(site) else set()
    expect(status == 0 and "index.html" in first and ".vintermoot-dist" in first and
           any(n.startswith("vintermoot.") and n.endswith(".wasm.br") for n in first),
           "a new folder is filled (%d, %s)" % (status, sorted(first)))
    # The user's own file stays; the files of the last run are replaced.
    open(os.path.join(site, "precious.txt"), "w").write("mine")
    make_build(build, 2)
    status, lines = run(build, "site", work)
    second = set(os.listdir(site))
    expect(status == 0 and "precious.txt" in second, "its own folder is updated, the user's file kept")
    expect(len(second) == len(first) + 1 and not [n for n in first - second if n.startswith("index")] and
           first - second and not (first - second) & {"favicon.png", ".vintermoot-dist"},
           "the old hashed files are replaced, nothing else (gone: %s)" % sorted(first - second))
    expect(not [n for n in os.listdir(work) if n.startswith(".dist-")], "no staging folder is left")
    # Folders it did not make.
    other = os.path.join(work, "other")
    os.makedirs(other)
    open(os.path.join(other, "precious.txt"), "w").write("mine")
    refused(build, "other", work, "a folder of other files", "did not make")
    refused(build, "precious.txt", other, "a file", "not a folder")
    # Its own folders otherwise: only the rule on the folder it runs from
    # refuses them.
    refused(build, ".", site, "the folder it runs from", "runs from")
    inner = os.path.join(site, "inner")
    os.makedirs(inner)
    refused(build, "..", inner, "the folder above the one it runs from", "runs from")
    os.rmdir(inner)
    # Symbolic links: as the folder (dangling or to its own folder) and as
    # its list; nothing is written through them.
    os.symlink(os.path.join(work, "gone"), os.path.join(work, "dangling"))
    refused(build, "dangling", work, "a dangling link as the folder", "symbolic link")
    expect(not os.path.lexists(os.path.join(work, "gone")), "nothing made where the dangling link points")
    os.symlink(site, os.path.join(work, "linked"))
    refused(build, "linked", work, "a link to its own folder", "symbolic link")
    # (The link's file reads as a list dist.py wrote.)
    marker = os.path.join(site, ".vintermoot-dist")
    listed = open(marker).read()
    kept = os.path.join(work, "kept.txt")
    open(kept, "w").write(listed)
    os.remove(marker)
    os.symlink(kept, marker)
    refused(build, "site", work, "its own folder whose list is a link", "symbolic link")
    expect(open(kept).read() == listed, "the file the list's link points to is left as it was")
    os.remove(marker)
    open(marker, "w").write(listed)
    # Its own folder where the user put a file of one of its names.
    os.remove(os.path.join(site, "favicon.png"))
    with open(os.path.join(site, ".vintermoot-dist")) as f:
        listed = f.read()
    with open(os.path.join(site, ".vintermoot-dist"), "w") as f:
        f.write(listed.replace("favicon.png\n", ""))
    open(os.path.join(site, "favicon.png"), "w").write("mine")
    refused(build, "site", work, "its own folder holding a file of its names it did not make", "did not make")
    installs_before_python(work)
    shutil.rmtree(work, ignore_errors=True)
    for failure in failures:
        print("dist_test: FAILED - " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
