#!/usr/bin/env python3
"""The front page and the guides stay true to the repository and programs.

Every relative link and picture in README.md and docs/*.md must name a file
of the repository, and a link's anchor a heading of the page it names (as
GitHub makes anchors of headings).  Every option a program's --help prints
must appear in the guide that covers the program.  Before checking, the
checker is tried on a small page with known faults and must find each.

Usage: docs_links.py REPO_ROOT [PROGRAM GUIDE]...
"""
import os
import re
import subprocess
import sys
import tempfile

LINK = re.compile(r"!?\[(?:[^\[\]]|\[[^\]]*\])*\]\(\s*<?([^)\s>]+)>?(?:\s+\"[^\"]*\")?\s*\)")
HTML_REF = re.compile(r"""<(?:img|a)\b[^>]*?\b(?:src|href)\s*=\s*["']([^"']+)["']""", re.I)
SCHEME = re.compile(r"^[a-zA-Z][a-zA-Z0-9+.-]*:")
OPTION = re.compile(r"--[a-z][a-z-]*")
FENCE = re.compile(r"^\s*(```|~~~)")


def prose(text):
    """The page's lines, None for those in code blocks, inline code taken out."""
    out, in_fence = [], False
    for line in text.split("\n"):
        if FENCE.match(line):
            in_fence = not in_fence
            out.append(None)
        elif in_fence or line.startswith("    ") or line.startswith("\t"):
            out.append(None)
        else:
            out.append(re.sub(r"`[^`]*`", "", line))
    return out


def anchors(text):
    """The anchors GitHub gives the headings of a page: lower case, without
    punctuation but - and _, spaces made -, repeats numbered."""
    found, seen, in_fence = set(), {}, False
    for line in text.split("\n"):
        if FENCE.match(line):
            in_fence = not in_fence
        m = None if in_fence else re.match(r"^#{1,6}\s+(.*?)\s*#*\s*$", line)
        if not m:
            continue
        slug = "".join(ch for ch in m.group(1).lower() if ch.isalnum() or ch in " -_")
        slug = slug.replace(" ", "-")
        count = seen.get(slug, 0)
        seen[slug] = count + 1
        found.add(slug if count == 0 else f"{slug}-{count}")
    return found


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


def page_faults(root, page):
    """The broken links and pictures of one page, as lines to print."""
    faults = []
    text = read(page)
    rel_page = os.path.relpath(page, root)
    for number, line in enumerate(prose(text), 1):
        if line is None:
            continue
        for target in LINK.findall(line) + HTML_REF.findall(line):
            if SCHEME.match(target):
                continue
            path, _, anchor = target.partition("#")
            where = os.path.normpath(os.path.join(os.path.dirname(page), path)) if path else page
            inside = os.path.commonpath([os.path.realpath(root), os.path.realpath(where)])
            if inside != os.path.realpath(root) or not os.path.exists(where):
                faults.append(f"{rel_page}:{number}: {target}: no such file in the repository")
            elif anchor and where.endswith(".md"):
                if anchor not in anchors(read(where)):
                    faults.append(f"{rel_page}:{number}: {target}: no heading for #{anchor}")
    return faults


def option_faults(help_text, guide_text, program, guide):
    """The options --help prints that the guide does not name."""
    missing = sorted(set(OPTION.findall(help_text)) - set(OPTION.findall(guide_text)))
    return [f"{guide}: lacks {option} (printed by {program} --help)" for option in missing]


def pages(root):
    docs = os.path.join(root, "docs")
    found = [os.path.join(root, "README.md")]
    found += sorted(os.path.join(docs, n) for n in os.listdir(docs) if n.endswith(".md"))
    return found


def checker_finds_known_faults():
    """A page with a broken link, picture and anchor, and a guide lacking an
    option: each must be reported, and the sound links must not be."""
    with tempfile.TemporaryDirectory() as root:
        os.mkdir(os.path.join(root, "docs"))
        with open(os.path.join(root, "docs", "guide.md"), "w", encoding="utf-8") as f:
            f.write("# A guide\n\n## The `--from` option\n")
        with open(os.path.join(root, "README.md"), "w", encoding="utf-8") as f:
            f.write("[ok](docs/guide.md#the---from-option) [top](#front) [web](https://x.invalid/)\n"
                    "# Front\n\n    [code](missing-in-code.md)\n"
                    "[gone](docs/gone.md) ![lost](docs/lost.png) [bad](docs/guide.md#nowhere)\n"
                    "[out](../outside.md)\n")
        faults = page_faults(root, os.path.join(root, "README.md"))
        faults += page_faults(root, os.path.join(root, "docs", "guide.md"))
    faults += option_faults("--from T  --to T", "give --from", "prog", "guide.md")
    wanted = ["docs/gone.md", "docs/lost.png", "#nowhere", "../outside.md", "lacks --to"]
    missed = [w for w in wanted if not any(w in f for f in faults)]
    if missed or len(faults) != len(wanted):
        print("docs_links: the checker itself is wrong: it missed " + ", ".join(missed) +
              " and reported:\n  " + "\n  ".join(faults))
        return False
    return True


def main():
    if len(sys.argv) < 2 or len(sys.argv) % 2 != 0:
        print(__doc__.strip().split("\n")[-1])
        return 2
    root = os.path.realpath(sys.argv[1])
    if not checker_finds_known_faults():
        return 1
    faults, links = [], 0
    for page in pages(root):
        faults += page_faults(root, page)
        links += sum(len(LINK.findall(line)) for line in prose(read(page)) if line)
    for program, guide in zip(sys.argv[2::2], sys.argv[3::2]):
        result = subprocess.run([program, "--help"], capture_output=True, text=True, timeout=60)
        if result.returncode != 0 or not OPTION.search(result.stdout):
            faults.append(f"{program} --help failed or printed no option")
            continue
        faults += option_faults(result.stdout, read(os.path.join(root, guide)),
                                os.path.basename(program), guide)
    for fault in faults:
        print("docs_links: FAIL: " + fault)
    print(f"docs_links: {len(pages(root))} pages, {links} links and pictures, "
          f"{(len(sys.argv) - 2) // 2} programs' options; {len(faults)} fault(s)")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
