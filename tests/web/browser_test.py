#!/usr/bin/env python3
"""The show in headless Chromium against the native harness.

Serves the browser build on 127.0.0.1, lets Chromium (SwiftShader's WebGL,
no user gesture needed for sound) play the page, and checks that the canvas
at known steps equals the native harness frame of the same step within the
tolerance of the subset test, and that the notes of the beat instrument
over the first 30 s of song (count and song times) equal the native ones,
and that at every drawn frame the clock took off the audio latency the page
measures (Web Audio's buffer, base and output latency) plus its ?delay=.
Prints the figures: frame time, time to the first frame, download size and
the audio output latency.  Then it presses Escape in the page and checks
that the show stops.  Exit 77 (skipped) without Chromium or the build.

usage: browser_test.py BUILD_WEB CAPTURE_TOOL DATA_PARENT
(The page's speed figures are the benchmark's: bench/web/web_bench.py.)
"""
import http.server
import itertools
import json
import operator
import os
import shutil
import socketserver
import struct
import subprocess
import sys
import tempfile
import threading
import time
import zlib

SKIP = 77
WIDTH, HEIGHT = 1024, 768
# Steps whose canvas is compared (song times about 2, 8, 20 and 28 s).
CAPTURE_STEPS = [120, 480, 1200, 1680]
NOTES_UNTIL_MS = 30000
# As in the subset test, a pixel differs when a channel is off by more than
# PIXEL_DIFFERS; a frame matches when at most TOLERATED_DIFFERING of its
# pixels differ and the mean channel difference is at most TOLERATED_MEAN.
# Measured (Chromium 156, SwiftShader, against Mesa 22.3's llvmpipe): at
# most 0.21 % of the pixels and a mean of 0.19 over these steps; the
# tolerance is about three times that.  The same canvas half a second
# (30 steps) off gives a mean of 1.7.
PIXEL_DIFFERS = 24
TOLERATED_DIFFERING = 0.006
TOLERATED_MEAN = 0.6
TIMEOUT_S = 300
# The page's ?delay= (ms): added to the latency the clock applies.  Notes
# and canvases belong to steps, so the comparisons above do not move.
DELAY_MS = 40
# The clock's figure is taken in the same animation frame as the page's;
# only a revision of Web Audio's output latency in between could part them.
LATENCY_TOLERANCE_MS = 0.5
# Only for a page that has died: the steps are judged by what the page posts.
ESCAPE_TIMEOUT_S = 120
CHROMIUM_FLAGS = ["--headless=new", "--no-sandbox", "--use-angle=swiftshader",
                  "--enable-unsafe-swiftshader", "--autoplay-policy=no-user-gesture-required",
                  "--window-size=%d,%d" % (WIDTH, HEIGHT), "--no-first-run",
                  "--disable-gpu-vsync"]


def step_time(step):
    return step * 1000 // 60


def read_png_rgb(path):
    """An 8-bit RGB PNG (as the capture tool writes) as bytes, top row first."""
    data = open(path, "rb").read()
    at, idat, width, height = 8, b"", 0, 0
    while at < len(data):
        size, kind = struct.unpack(">I4s", data[at:at + 8])
        chunk = data[at + 8:at + 8 + size]
        at += 12 + size
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", chunk[:10])
            assert depth == 8 and colour == 2, "not 8-bit RGB"
        elif kind == b"IDAT":
            idat += chunk
    raw = zlib.decompress(idat)
    stride, out, prev, pos = width * 3, bytearray(), bytearray(width * 3), 0
    for _ in range(height):
        kind, line = raw[pos], bytearray(raw[pos + 1:pos + 1 + stride])
        pos += 1 + stride
        if kind == 1:  # each byte adds the one to its left: a running sum per channel
            for c in range(3):
                line[c::3] = bytes(map((255).__and__, itertools.accumulate(line[c::3])))
            kind = 0
        for x in range(stride if kind else 0):
            a = line[x - 3] if x >= 3 else 0
            b, c = prev[x], (prev[x - 3] if x >= 3 else 0)
            if kind == 2:
                line[x] = (line[x] + b) & 255
            elif kind == 3:
                line[x] = (line[x] + (a + b) // 2) & 255
            elif kind == 4:
                pa, pb, pc = abs(b - c), abs(a - c), abs(a + b - 2 * c)
                line[x] = (line[x] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        out += line
        prev = line
    return width, height, bytes(out)


def rgba_bottom_up_to_rgb(rgba, width, height):
    rows = []
    for y in range(height - 1, -1, -1):
        row = rgba[y * width * 4:(y + 1) * width * 4]
        rgb = bytearray(width * 3)
        rgb[0::3], rgb[1::3], rgb[2::3] = row[0::4], row[1::4], row[2::4]
        rows.append(bytes(rgb))
    return b"".join(rows)


def compare(a, b):
    """The share of pixels that differ and the mean channel difference."""
    diffs = bytes(map(abs, map(operator.sub, a, b)))
    pixels = len(a) // 3
    largest = map(max, diffs[0::3], diffs[1::3], diffs[2::3])
    differing = sum(map(PIXEL_DIFFERS.__lt__, largest))
    return differing / pixels, sum(diffs) / (3.0 * pixels)


class Results:
    """What the page posted: canvases by (play, step) as (width, height,
    RGBA bottom row first), the report, each stop's panel; and what the
    server saw: every request, every POST and every answer of 400 or more."""
    def __init__(self):
        self.frames = {}
        self.seek_frames = []  # (kind, step, width, height, RGBA) after seeks
        self.report = None
        self.stops = []
        self.posts = []
        self.errors = []
        self.requests = []
        self.done = threading.Event()
        self.stopped = threading.Event()
        self.replayed = threading.Event()
        self.changed = threading.Condition()

    def wait(self, test, timeout_s):
        """Waits until test() is true (the page has posted what it needs);
        the time limit only ends a run whose page has died."""
        with self.changed:
            return self.changed.wait_for(test, timeout_s)


def make_handler(root, results):
    class Handler(http.server.SimpleHTTPRequestHandler):
        def __init__(self, *args, **kwargs):
            super().__init__(*args, directory=root, **kwargs)

        def log_message(self, *args):
            pass

        def log_request(self, code="-", size="-"):
            with results.changed:
                results.requests.append(self.path)
                if isinstance(code, int) and code >= 400:
                    results.errors.append((int(code), self.path))

        def do_POST(self):
            body = self.rfile.read(int(self.headers.get("Content-Length", 0)))
            path = self.path.split("?", 1)[0]
            with results.changed:
                results.posts.append(path)
                if path == "/frame":
                    query = dict(p.split("=") for p in self.path.split("?", 1)[1].split("&"))
                    frame = (int(query["width"]), int(query["height"]), body)
                    if "kind" in query:
                        results.seek_frames.append((query["kind"], int(query["step"])) + frame)
                    else:
                        results.frames[(int(query.get("play", 1)), int(query["step"]))] = frame
                elif path == "/stopped":
                    results.stops.append(json.loads(body))
                    results.stopped.set()
                elif path == "/replayed":
                    results.replayed.set()
                elif path == "/report":
                    results.report = json.loads(body)
                    results.done.set()
                results.changed.notify_all()
            self.send_response(204)
            self.end_headers()

    return Handler


def native_reference(capture_tool, data_parent, steps, work):
    """The harness frames of `steps` and the notes until NOTES_UNTIL_MS."""
    frames_dir = os.path.join(work, "native")
    sync = os.path.join(work, "sync.txt")
    times = sorted(set([step_time(s) for s in steps] + [NOTES_UNTIL_MS]))
    subprocess.run([capture_tool, "--data", data_parent, "--frames", frames_dir, "--at",
                    ",".join(map(str, times)), "--size", "%dx%d" % (WIDTH, HEIGHT),
                    "--sync-log", sync], check=True, stdout=subprocess.DEVNULL,
                   env=dict(os.environ, SDL_VIDEODRIVER="offscreen"))
    notes = [float(line.split()[0]) for line in open(sync) if not line.startswith("#")]
    return frames_dir, [n for n in notes if n < NOTES_UNTIL_MS]


def check_state_hashes(capture_tool, data_parent, report, work):
    """The frames the page reported carry the straight run's state checksum of
    their steps (vintermoot-capture --state-hashes), but for a step whose
    value the page's libm rounds otherwise: its cosf differs from glibc's by
    one unit in the last place at some angles, and the opening's spin angle is
    taken afresh every step from a phase, so that step alone differs (a few
    steps apart at times: 1085 and 1089).  A difference that every frame
    reported over the next CARRIED_STEPS steps still shows is a fault, however
    few frames a busy machine reports."""
    frames = [f for f in report["frames"] if len(f) > 5]
    if not frames:
        return ["the page reported no frame with a state checksum"]
    straight = os.path.join(work, "hashes.txt")
    subprocess.run([capture_tool, "--data", data_parent, "--state-hashes", straight, "--to",
                    str(step_time(max(f[0] for f in frames))), "--size", "64x48"], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   env=dict(os.environ, SDL_VIDEODRIVER="offscreen"))
    want = dict(line.split() for line in open(straight))
    equal = [want.get(str(f[0])) == f[5] for f in frames]
    print("state checksums: %d of %d reported frames equal the straight run's; differing at "
          "steps %s" % (sum(equal), len(frames), [f[0] for f, e in zip(frames, equal) if not e]))
    kept = [f for i, f in enumerate(frames) if not equal[i] and carried(frames, equal, i)]
    return ["step %d has the state checksum %s, the straight run %s, and every frame over the "
            "next %d steps differs too" % (f[0], f[5], want.get(str(f[0])), CARRIED_STEPS)
            for f in kept[:5]]


# Steps over which a difference must last to count as carried from step to step.
CARRIED_STEPS = 30


def carried(frames, equal, i):
    """Every frame reported after frame i, up to the first one CARRIED_STEPS
    steps on, differs from the straight run too."""
    for j in range(i + 1, len(frames)):
        if equal[j]:
            return False
        if frames[j][0] >= frames[i][0] + CARRIED_STEPS:
            return True
    return False


def percentile(values, share):
    values = sorted(values)
    return values[min(len(values) - 1, int(share * len(values)))] if values else float("nan")


def print_figures(report, build):
    sizes = {name: os.path.getsize(os.path.join(build, name))
             for name in ("vintermoot.wasm", "vintermoot.js", "vintermoot.data")}
    print("download: wasm %.2f MB, script %.2f MB, data %.2f MB" %
          tuple(sizes[n] / 1e6 for n in ("vintermoot.wasm", "vintermoot.js", "vintermoot.data")))
    print("first frame: %.0f ms after page load, %.0f ms after start" %
          (report["first_frame_ms"], report["first_frame_after_click_ms"]))
    frames = report["frames"]
    by_scene = {}
    for i in range(1, len(frames)):
        by_scene.setdefault(frames[i][2], []).append((frames[i][4] - frames[i - 1][4], frames[i][3]))
    for scene, values in sorted(by_scene.items()):
        intervals = [v[0] for v in values]
        work = [v[1] for v in values]
        p50 = percentile(intervals, 0.5)
        print("scene %d: %d frames, frame interval p50 %.1f ms (%.1f frames/s) p95 %.1f ms, "
              "show's work p50 %.1f ms" % (scene, len(values), p50, 1000.0 / p50,
                                          percentile(intervals, 0.95), percentile(work, 0.5)))
    audio = report.get("audio")
    if audio:
        ahead = percentile(audio.get("ahead_s", []), 0.5) * 1000
        base, output = audio["base_latency_s"] * 1000, audio["output_latency_s"] * 1000
        lead = ahead + base + output
        print("audio: what is heard comes about %.1f ms after the callback hands a buffer over: "
              "buffers of %s frames play %.1f ms (median) later, then Web Audio's base latency "
              "%.1f ms and output latency %.1f ms (%d Hz)" %
              (lead, audio.get("buffer_frames", "?"), ahead, base, output, audio["sample_rate"]))
        latency = report.get("latency")
        if latency:
            measured = percentile([m for _, m, _ in latency], 0.5)
            print("audio: the clock takes off %.1f ms (median; before: nothing), so it leads what "
                  "is heard by %.1f ms (before: %.1f ms), plus ?delay=" %
                  (measured, round(lead - measured, 1) + 0.0, lead))


def stop_browser(browser, server):
    """Ends the browser (killed if it does not go within 10 s) and the server."""
    browser.terminate()
    try:
        browser.wait(10)
    except subprocess.TimeoutExpired:
        browser.kill()
    server.shutdown()


def chromium_path():
    return shutil.which("chromium") or shutil.which("chromium-browser")


def check_latency(report):
    """Every drawn frame's clock took off the page's latency plus the delay."""
    latency = report.get("latency", [])
    if not latency:
        return ["the page reported no latency applied"]
    off = [abs(applied - max(0.0, measured + delay)) for applied, measured, delay in latency]
    applied = [a for a, _, _ in latency]
    print("latency applied: %.1f to %.1f ms over %d frames (the page's figure plus ?delay=%d), "
          "worst difference %.3f ms" % (min(applied), max(applied), len(latency), DELAY_MS, max(off)))
    if any(d != DELAY_MS for _, _, d in latency):
        return ["the page did not pass ?delay=%d on" % DELAY_MS]
    if max(off) > LATENCY_TOLERANCE_MS:
        return ["the clock applied a latency other than the page's (by %.3f ms)" % max(off)]
    return []


def main():
    build, capture_tool, data_parent = sys.argv[1:4]
    chromium = shutil.which("chromium") or shutil.which("chromium-browser")
    if not chromium:
        print("browser_test: SKIPPED - no chromium (Debian package chromium)")
        return SKIP
    if not shutil.which("emcc"):
        print("browser_test: SKIPPED - no emscripten (Debian package emscripten; bash scripts/web.sh)")
        return SKIP
    if not os.path.exists(os.path.join(build, "vintermoot.js")):
        print("browser_test: SKIPPED - no browser build in %s (bash scripts/web.sh makes it)" % build)
        return SKIP
    results = Results()
    server = socketserver.ThreadingTCPServer(("127.0.0.1", 0), make_handler(build, results))
    server.daemon_threads = True
    threading.Thread(target=server.serve_forever, daemon=True).start()
    url = "http://127.0.0.1:%d/index.html?scale=1&autostart&escape&replay&delay=%d&capture=%s&report=%d" % (
        server.server_address[1], DELAY_MS, ",".join(map(str, CAPTURE_STEPS)), NOTES_UNTIL_MS // 1000 + 1)
    work = tempfile.mkdtemp(prefix="vm_browser_")
    browser = subprocess.Popen([chromium] + CHROMIUM_FLAGS + ["--user-data-dir=" + work + "/profile", url],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        finished = results.done.wait(TIMEOUT_S)
        stopped = finished and results.stopped.wait(ESCAPE_TIMEOUT_S)
        replayed = stopped and results.replayed.wait(ESCAPE_TIMEOUT_S)
    finally:
        stop_browser(browser, server)
    failures = []
    if not finished:
        print("browser_test: no report from the page within %d s" % TIMEOUT_S)
        return 1
    report = results.report
    if "error" in report:
        print("browser_test: the page failed: %s" % report["error"])
        return 1
    print_figures(report, build)
    frames_dir, native_notes = native_reference(capture_tool, data_parent,
                                                sorted(step for _, step in results.frames), work)
    for (play, step), (width, height, rgba) in sorted(results.frames.items()):
        _, _, native = read_png_rgb(os.path.join(frames_dir, "%d.png" % step_time(step)))
        differing, mean = compare(rgba_bottom_up_to_rgb(rgba, width, height), native)
        ok = (width, height) == (WIDTH, HEIGHT) and differing <= TOLERATED_DIFFERING and mean <= TOLERATED_MEAN
        print("play %d step %d (%d ms) %dx%d: differing %.5f mean %.3f %s" %
              (play, step, step_time(step), width, height, differing, mean, "" if ok else "  TOO FAR"))
        if not ok:
            failures.append("canvas of step %d (play %d) differs from the harness frame" % (step, play))
    first_play = [k for k in results.frames if k[0] == 1]
    if len(first_play) < len(CAPTURE_STEPS):
        failures.append("only %d of %d canvases arrived" % (len(first_play), len(CAPTURE_STEPS)))
    if not stopped:
        failures.append("the show did not stop on Escape")
    elif not results.stops[0]["panel"]["visible"] or results.stops[0]["panel"]["status"] != "Stopped":
        failures.append("after Escape the page does not show \"Stopped\" and its button: %s" %
                        results.stops[0]["panel"])
    if not replayed or len(results.frames) == len(first_play):
        failures.append("the second play (after Escape, without a reload) drew no canvas")
    failures += check_latency(report)
    failures += check_state_hashes(capture_tool, data_parent, report, work)
    page_notes = [n[0] for n in report["notes"] if n[0] < NOTES_UNTIL_MS]
    print("notes before %d ms: browser %d, native %d" % (NOTES_UNTIL_MS, len(page_notes), len(native_notes)))
    if len(page_notes) != len(native_notes) or any(
            abs(a - b) > 0.0005 for a, b in zip(page_notes, native_notes)):
        failures.append("the notes differ from the native ones")
    shutil.rmtree(work, ignore_errors=True)
    for failure in failures:
        print("browser_test: FAILED - " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
