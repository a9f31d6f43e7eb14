#!/usr/bin/env python3
"""The browser build's speed in headless Chromium (WebGL on SwiftShader);
figures only, nothing judged (tests/web judges the page).

usage: web_bench.py --bench BUILD_WEB        frame time per scene: 120 steps
           of each scene on the offline clock, one per animation frame
       web_bench.py --seek-bench BUILD_WEB   SEEK_BENCH_COUNT seeks to song
           times from a fixed seed while the show plays: the show's time per
           seek, from the page's request to the step drawn, and from the
           request to the page's report of it; then a fresh link to each of
           LINK_TIMES: from the start click to the target drawn, the longest
           the page was held, and how it plays on
(bash bench/web/web_bench.sh [--seek] runs it.)
"""
import itertools
import os
import shutil
import socketserver
import subprocess
import sys
import tempfile
import threading

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))),
                                "tests", "web"))
import browser_test as bt  # noqa: E402

SEEK_BENCH_COUNT = 40
# Shared links (#t=) opened fresh: the song time, and how long it plays on.
LINK_TIMES = [("4:20", 260000), ("1:30", 90000)]
LINK_PLAYS_S = 5


def print_seek_figures(report):
    seeks = report.get("seeks", [])
    reports = report.get("seek_reports", [])
    rows = {"all": [], "back": [], "forward": [], "from a kept state": [], "past the part played": []}
    previous = 0
    for i, (step, work_ms, page_ms, _) in enumerate(seeks):
        kind = "back" if step < previous else "forward"
        rows[kind].append((work_ms, page_ms))
        rows["all"].append((work_ms, page_ms))
        # A kept state lies at most SEEK_INTERVAL_STEPS (30) before any step
        # the show has passed.
        if i < len(reports):
            near = reports[i][1] <= 30
            rows["from a kept state" if near else "past the part played"].append((work_ms, page_ms))
        previous = step
    print("seeks: %d to song times from a fixed seed; the first maps the song up to its target" % len(seeks))
    if seeks:
        print("first seek (to %d ms): %.0f ms in the show, %.0f ms to the page's report" %
              (bt.step_time(seeks[0][0]), seeks[0][1], seeks[0][2]))
    print("each (song ms, ms in the show, from step, steps run, of them GL-free): %s" % "; ".join(
        "%d %.0f %s" % (bt.step_time(s[0]), s[1], " ".join("%d" % v for v in r))
        for s, r in zip(seeks, reports)))
    for kind, values in rows.items():
        for i, name in ((0, "in the show (request to step drawn)"), (1, "request to the page's report")):
            figures = [v[i] for v in values]
            if figures:
                print("%-20s %2d seeks, %s: p50 %.0f ms, p95 %.0f ms, max %.0f ms" %
                      (kind, len(figures), name, bt.percentile(figures, 0.5), bt.percentile(figures, 0.95),
                       max(figures)))


def run_page(build, query, hash_part=""):
    """Opens the page with `query` in a fresh Chromium; the report it posts
    (None when it posted none)."""
    results = bt.Results()
    server = socketserver.ThreadingTCPServer(("127.0.0.1", 0), bt.make_handler(build, results))
    server.daemon_threads = True
    threading.Thread(target=server.serve_forever, daemon=True).start()
    url = "http://127.0.0.1:%d/index.html?%s%s" % (server.server_address[1], query, hash_part)
    work = tempfile.mkdtemp(prefix="vm_browser_")
    browser = subprocess.Popen([bt.chromium_path()] + bt.CHROMIUM_FLAGS + ["--user-data-dir=" + work + "/profile", url],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        results.done.wait(bt.TIMEOUT_S)
    finally:
        bt.stop_browser(browser, server)
        shutil.rmtree(work, ignore_errors=True)
    return results.report


def print_link_figures(build):
    """A fresh #t= link, started at once or once the page has prepared the
    show (as a viewer who reads the panel first): the start click to the
    target drawn, the page's longest task before and after the click, and
    the frames and audio callbacks after it."""
    for (text, ms), start in itertools.product(LINK_TIMES, ("autostart", "autostart=prepared")):
        report = run_page(build, "%s&scale=1&report=%d" % (start, ms // 1000 + LINK_PLAYS_S), "#t=" + text)
        if not report or not report.get("seeks"):
            print("#t=%s: no report from the page" % text)
            continue
        text = "%s (%s)" % (text, "clicked at once" if start == "autostart" else "clicked once prepared")
        step, _, click_ms, _ = report["seeks"][0]
        landed_at = report["click_ms"] + click_ms
        prepared = report.get("prepared", [])
        before = [d for t, d in report.get("long_tasks", []) if t < report["click_ms"]]
        if prepared:
            print("#t=%s: prepared %.0f ms after the page's start, the map through step %d in %.1f MB; "
                  "the longest task before the click %.0f ms" %
                  (text, prepared[-1][1], prepared[-1][2], prepared[-1][3] / 1e6, max(before or [0])))
        tasks = [d for t, d in report.get("long_tasks", []) if t + d >= report["click_ms"]]
        frames = [f[4] for f in report["frames"] if f[4] >= landed_at]
        gaps = [b - a for a, b in zip(frames, frames[1:])]
        calls = [t for t in report.get("audio", {}).get("at_ms", []) if t >= landed_at]
        call_gaps = [b - a for a, b in zip(calls, calls[1:])]
        slices = [s[3] for s in report.get("seeking", [])]
        print("#t=%s: step %d drawn %.0f ms after the start click, in %d slices (the longest %.0f ms, "
              "the last with the drawing %.0f ms); the page's longest task %.0f ms (%d over 50 ms: %s)" %
              (text, step, click_ms, len(slices) + 1, max(slices or [0]), report["seeks"][0][1],
               max(tasks or [0]), len(tasks), " ".join("%.0f" % t for t in tasks)))
        print("  slices: %s" % " ".join("%.0f" % t for t in slices))
        if gaps:
            print("#t=%s: then %d frames in %d s, interval p50 %.1f ms p95 %.1f ms max %.0f ms; "
                  "audio callbacks %d, apart p50 %.1f ms max %.0f ms" %
                  (text, len(frames), LINK_PLAYS_S, bt.percentile(gaps, 0.5), bt.percentile(gaps, 0.95), max(gaps),
                   len(calls), bt.percentile(call_gaps, 0.5), max(call_gaps or [0])))


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ("--bench", "--seek-bench"):
        print("usage: web_bench.py --bench|--seek-bench BUILD_WEB", file=sys.stderr)
        return 2
    seek_bench, build = sys.argv[1] == "--seek-bench", sys.argv[2]
    if not bt.chromium_path() or not os.path.exists(os.path.join(build, "vintermoot.js")):
        print("web_bench: needs chromium and the browser build in %s (bash scripts/web.sh)" % build)
        return 1
    # Started once the page has prepared the show, its map included.
    query = "autostart=prepared&seekbench=%d" % SEEK_BENCH_COUNT if seek_bench else "autostart&bench"
    report = run_page(build, "scale=1&" + query)
    if not report:
        print("web_bench: no report from the page within %d s" % bt.TIMEOUT_S)
        return 1
    if "error" in report:
        print("web_bench: the page failed: %s" % report["error"])
        return 1
    if not seek_bench:
        bt.print_figures(report, build)
        return 0
    print_seek_figures(report)
    print_link_figures(build)
    return 0


if __name__ == "__main__":
    sys.exit(main())
