#!/usr/bin/env python3
"""The show in headless Chromium against the native harness.

Serves the browser build on 127.0.0.1, lets Chromium (SwiftShader's WebGL,
no user gesture needed for sound) play the page, and checks that the canvas
at known steps equals the native harness frame of the same step within the
tolerance of the subset test, and that the notes of the beat instrument
over the first 30 s of song (count and song times) equal the native ones.
Prints the figures: frame time, time to the first frame, download size and
the audio output latency.  Then it presses Escape in the page and checks
that the show stops.  Exit 77 (skipped) without Chromium or the build.

usage: browser_test.py BUILD_WEB CAPTURE_TOOL DATA_PARENT
       browser_test.py --bench BUILD_WEB   (frame time per scene, figures only)
"""
import http.server
import json
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
ESCAPE_TIMEOUT_S = 20
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
        for x in range(stride):
            a = line[x - 3] if x >= 3 else 0
            b, c = prev[x], (prev[x - 3] if x >= 3 else 0)
            if kind == 1:
                line[x] = (line[x] + a) & 255
            elif kind == 2:
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
    pixels = len(a) // 3
    differing, total = 0, 0
    for p in range(pixels):
        d = [abs(a[p * 3 + c] - b[p * 3 + c]) for c in range(3)]
        total += sum(d)
        if max(d) > PIXEL_DIFFERS:
            differing += 1
    return differing / pixels, total / (3.0 * pixels)


class Results:
    def __init__(self):
        self.frames = {}
        self.report = None
        self.done = threading.Event()
        self.stopped = threading.Event()


def make_handler(root, results):
    class Handler(http.server.SimpleHTTPRequestHandler):
        def __init__(self, *args, **kwargs):
            super().__init__(*args, directory=root, **kwargs)

        def log_message(self, *args):
            pass

        def do_POST(self):
            body = self.rfile.read(int(self.headers.get("Content-Length", 0)))
            if self.path.startswith("/frame"):
                query = dict(p.split("=") for p in self.path.split("?", 1)[1].split("&"))
                results.frames[int(query["step"])] = body
            elif self.path == "/stopped":
                results.stopped.set()
            elif self.path == "/report":
                results.report = json.loads(body)
                results.done.set()
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
        print("audio: the clock leads what is heard by about %.1f ms: buffers of %s frames play "
              "%.1f ms (median) after the callback hands them over, then Web Audio's base latency "
              "%.1f ms and output latency %.1f ms (%d Hz)" %
              (ahead + base + output, audio.get("buffer_frames", "?"), ahead, base, output,
               audio["sample_rate"]))


def main():
    bench = sys.argv[1] == "--bench"
    if bench:
        build, capture_tool, data_parent = sys.argv[2], None, None
    else:
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
    url = "http://127.0.0.1:%d/index.html?autostart&scale=1&" % server.server_address[1]
    if bench:
        url += "bench"
    else:
        url += "escape&capture=%s&report=%d" % (",".join(map(str, CAPTURE_STEPS)), NOTES_UNTIL_MS // 1000 + 1)
    work = tempfile.mkdtemp(prefix="vm_browser_")
    browser = subprocess.Popen([chromium] + CHROMIUM_FLAGS + ["--user-data-dir=" + work + "/profile", url],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        finished = results.done.wait(TIMEOUT_S)
        stopped = finished and not bench and results.stopped.wait(ESCAPE_TIMEOUT_S)
    finally:
        browser.terminate()
        try:
            browser.wait(10)
        except subprocess.TimeoutExpired:
            browser.kill()
        server.shutdown()
    failures = []
    if not finished:
        print("browser_test: no report from the page within %d s" % TIMEOUT_S)
        return 1
    report = results.report
    if "error" in report:
        print("browser_test: the page failed: %s" % report["error"])
        return 1
    print_figures(report, build)
    if bench:
        return 0
    frames_dir, native_notes = native_reference(capture_tool, data_parent, sorted(results.frames), work)
    for step, rgba in sorted(results.frames.items()):
        _, _, native = read_png_rgb(os.path.join(frames_dir, "%d.png" % step_time(step)))
        differing, mean = compare(rgba_bottom_up_to_rgb(rgba, WIDTH, HEIGHT), native)
        ok = differing <= TOLERATED_DIFFERING and mean <= TOLERATED_MEAN
        print("step %d (%d ms): differing %.5f mean %.3f %s" %
              (step, step_time(step), differing, mean, "" if ok else "  TOO FAR"))
        if not ok:
            failures.append("canvas of step %d differs from the harness frame" % step)
    if len(results.frames) < len(CAPTURE_STEPS):
        failures.append("only %d of %d canvases arrived" % (len(results.frames), len(CAPTURE_STEPS)))
    if not stopped:
        failures.append("the show did not stop on Escape")
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
