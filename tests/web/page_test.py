#!/usr/bin/env python3
"""The page as a viewer meets it, in headless Chromium driven through its
DevTools protocol (real clicks and key presses, a 1920 x 1080 screen at
device pixel ratio 2):

1. a plain load reaches "Ready" with no console error, no failed request, no
   POST and no emscripten status text; it shows the download size and the
   still frame; without WebGL it says so and what to try, before any download;
2. full screen before the start holds the start button, in view;
3. the show then draws into a 2880 x 2160 drawing buffer (the 4:3 picture
   at the screen's pixels), equal to the native harness frame of that size;
4. Escape in full screen shows "Stopped" and its button, in view; after
   leaving full screen, Play again draws the same frame again (from the
   start), follows a window resize, and Escape stops it again;
5. the address #t=1:30 starts the show there, and a click on the seek bar
   at a known place goes to that song time: each lands on its step (the
   address follows) with the time bar over the picture, equal to the harness
   frame of that step above the bar, and the first later step without the
   bar equals its harness frame whole; the notes after the seek reach their
   own steps; a drag along the bar ends where it is let go, Right goes 5 s
   on, Space pauses; with the map the page made before the start, no seek
   runs more than two intervals of steps;
6. the folder web/dist.py makes, served by python3 -m http.server, plays;
7. an address with a fault keeps its good parameters and drops the bad
   ones on arrival (#t= and ?t= alike); one with a malformed escape and a
   bad delay (#t=%, ?delay=abc)
   loads to "Ready" and says what is wrong in the panel; the seek bar marks
   the scenes where the show starts them; a start that fails (no WebGL
   context, in full screen) says so, gives the keyboard back, hides the
   controls and offers the start again; that start plays from the beginning,
   and with a sound output that does not run (an AudioContext held suspended)
   says so and plays on in silence; when the output then runs, the music
   joins in (the clock is the output's again, on from where it was, with no
   leap or long halt) and the note goes; #t=1:30% typed while it plays is a
   note, not a dead page;
8. without the map for seeking (?nomap), the seek to #t=4:20 runs in slices:
   Space between them lands it paused on its step, Escape stops the show.

Every step is judged by what the page reports (its state read through the
protocol, the canvases it posts); the time limits only end a run whose page
has died.  Exit 77 (skipped) without Chromium or the build.

usage: page_test.py BUILD_WEB CAPTURE_TOOL DATA_PARENT
"""
import json
import math
import os
import shutil
import socket
import socketserver
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import browser_test as bt  # noqa: E402

SCREEN_W, SCREEN_H, PIXEL_RATIO = 1920, 1080, 2
# The 4:3 canvas fills the screen's height: 1440 x 1080 CSS pixels.
CANVAS_W, CANVAS_H = 2880, 2160
CAPTURE_STEP = 600
DIST_PLAYS_MS = 2000
WAIT_S = 300
ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
FLAGS = ["--headless=new", "--no-sandbox", "--use-angle=swiftshader", "--enable-unsafe-swiftshader",
         "--autoplay-policy=no-user-gesture-required", "--no-first-run", "--disable-gpu-vsync"]
# Records every text of the status line from the page's start.
WATCH_STATUS = """
window.vmStatusTexts = [];
document.addEventListener('DOMContentLoaded', () => {
  const line = document.getElementById('status');
  if (!line) return;
  window.vmStatusTexts.push(line.textContent);
  new MutationObserver(() => window.vmStatusTexts.push(line.textContent))
    .observe(line, { childList: true, characterData: true, subtree: true });
});
"""


class Browser:
    """Chromium's DevTools protocol over --remote-debugging-pipe: commands to
    the browser on fd 3, answers and events from it on fd 4, each a JSON text
    ended by a NUL byte."""

    def __init__(self, chromium, profile):
        to_browser, self.to_w = os.pipe()
        self.from_r, from_browser = os.pipe()

        def child():
            # Both ends above 4 first, so that neither dup2 overwrites the other.
            a, b = os.dup(to_browser) + 10, os.dup(from_browser) + 10
            os.dup2(to_browser, a)
            os.dup2(from_browser, b)
            os.dup2(a, 3)
            os.dup2(b, 4)

        self.proc = subprocess.Popen([chromium] + FLAGS + ["--user-data-dir=" + profile,
                                                           "--remote-debugging-pipe", "about:blank"],
                                     close_fds=False, preexec_fn=child,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(to_browser)
        os.close(from_browser)
        self.next_id, self.replies, self.session = 0, {}, None
        self.console = []
        self.lock = threading.Condition()
        threading.Thread(target=self.read, daemon=True).start()

    def read(self):
        pending = b""
        while True:
            chunk = os.read(self.from_r, 1 << 16)
            if not chunk:
                with self.lock:
                    self.replies[-1] = None
                    self.lock.notify_all()
                return
            pending += chunk
            while b"\0" in pending:
                text, pending = pending.split(b"\0", 1)
                message = json.loads(text)
                with self.lock:
                    if "id" in message:
                        self.replies[message["id"]] = message
                    else:
                        self.note_event(message)
                    self.lock.notify_all()

    def note_event(self, message):
        method, p = message.get("method"), message.get("params", {})
        # Errors only: SDL's sound output warns that its ScriptProcessorNode is
        # deprecated, which is not the page's fault.
        if method == "Runtime.consoleAPICalled" and p.get("type") in ("error", "assert"):
            self.console.append("console.%s: %s" % (p["type"], " ".join(
                str(a.get("value", a.get("description", ""))) for a in p.get("args", []))))
        elif method == "Runtime.exceptionThrown":
            self.console.append("exception: %s" % p["exceptionDetails"].get("exception", {}).get(
                "description", p["exceptionDetails"].get("text")))
        elif method == "Log.entryAdded" and p["entry"]["level"] == "error":
            self.console.append("%s: %s %s" % (p["entry"]["level"], p["entry"]["text"],
                                               p["entry"].get("url", "")))

    def call(self, method, params=None, browser_level=False):
        with self.lock:
            self.next_id += 1
            ident = self.next_id
        message = {"id": ident, "method": method, "params": params or {}}
        if self.session and not browser_level:
            message["sessionId"] = self.session
        os.write(self.to_w, json.dumps(message).encode() + b"\0")
        with self.lock:
            self.lock.wait_for(lambda: ident in self.replies or -1 in self.replies, WAIT_S)
            reply = self.replies.pop(ident, None)
        if reply is None:
            raise RuntimeError("the browser did not answer " + method)
        if "error" in reply:
            raise RuntimeError("%s: %s" % (method, reply["error"].get("message")))
        return reply["result"]

    def open_page(self):
        targets = self.call("Target.getTargets", browser_level=True)["targetInfos"]
        page = next(t for t in targets if t["type"] == "page")
        self.session = self.call("Target.attachToTarget", {"targetId": page["targetId"], "flatten": True},
                                 browser_level=True)["sessionId"]
        for domain in ("Runtime", "Log", "Page"):
            self.call(domain + ".enable")
        self.call("Emulation.setDeviceMetricsOverride", {"width": SCREEN_W, "height": SCREEN_H,
                                                         "deviceScaleFactor": PIXEL_RATIO, "mobile": False})
        self.call("Page.addScriptToEvaluateOnNewDocument", {"source": WATCH_STATUS})

    def go(self, url):
        with self.lock:
            self.console = []
        # The document now answering is marked: the new one is not (its
        # address may differ, as the page drops what is wrong in it).
        self.value("window.vmLeft = true")
        went = self.call("Page.navigate", {"url": url})
        if "errorText" in went:
            with self.lock:
                self.console.append("navigation to %s: %s" % (url, went["errorText"]))
        if "loaderId" not in went:
            return  # the same document, moved to another #
        while self.value("!window.vmLeft && document.readyState !== 'loading'") is not True:
            time.sleep(0.05)

    def value(self, expression):
        result = self.call("Runtime.evaluate", {"expression": expression, "returnByValue": True})
        return result["result"].get("value")

    def wait_for(self, expression):
        """Waits until the page's `expression` is true, asking at each of the
        page's animation frames; false when the page has died."""
        poll = ("new Promise(done => { const ask = () => { let ok = false; try { ok = !!(%s); } catch (e) {}"
                " if (ok) done(true); else requestAnimationFrame(ask); }; ask(); })" % expression)
        try:
            result = self.call("Runtime.evaluate", {"expression": poll, "awaitPromise": True,
                                                    "returnByValue": True, "timeout": WAIT_S * 1000})
        except RuntimeError:
            return False
        return result["result"].get("value") is True

    def click(self, element_id):
        box = self.value("JSON.stringify(document.getElementById('%s').getBoundingClientRect())" % element_id)
        box = json.loads(box)
        x, y = box["x"] + box["width"] / 2, box["y"] + box["height"] / 2
        for kind in ("mousePressed", "mouseReleased"):
            self.call("Input.dispatchMouseEvent", {"type": kind, "x": x, "y": y, "button": "left",
                                                   "clickCount": 1})

    def press_key(self, key, code, vk):
        for kind in ("keyDown", "keyUp"):
            self.call("Input.dispatchKeyEvent", {"type": kind, "key": key, "code": code,
                                                 "windowsVirtualKeyCode": vk, "nativeVirtualKeyCode": vk})

    def press_escape(self):
        self.press_key("Escape", "Escape", 27)

    def mouse(self, kind, x, y, buttons):
        self.call("Input.dispatchMouseEvent", {"type": kind, "x": x, "y": y, "button": "left",
                                               "buttons": buttons, "clickCount": 1})

    def close(self):
        self.proc.terminate()
        try:
            self.proc.wait(10)
        except subprocess.TimeoutExpired:
            self.proc.kill()


def serve(root, results):
    server = socketserver.ThreadingTCPServer(("127.0.0.1", 0), bt.make_handler(root, results))
    server.daemon_threads = True
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server, "http://127.0.0.1:%d/" % server.server_address[1]


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Checks:
    def __init__(self):
        self.failures = []

    def expect(self, ok, text):
        print("%s %s" % ("ok  " if ok else "FAIL", text))
        if not ok:
            self.failures.append(text)
        return ok


def plain_load(browser, url, results, checks):
    browser.go(url + "index.html")
    ready = browser.wait_for("document.getElementById('status').textContent === 'Ready'")
    checks.expect(ready, "a plain load reaches \"Ready\"")
    statuses = browser.value("window.vmStatusTexts") or []
    checks.expect(not [s for s in statuses if "Running" in s or "Downloading" in s],
                  "no emscripten status text (seen: %s)" % sorted(set(statuses)))
    checks.expect(not browser.console, "no console error on a plain load %s" % browser.console)
    checks.expect(not results.posts and not results.errors,
                  "no POST and no failed request on a plain load (POSTs %s, failed %s)" %
                  (results.posts, results.errors))
    checks.expect(browser.value("document.getElementById('facts').textContent.includes(' MB to download')")
                  and browser.value("document.getElementById('still').naturalWidth > 0"),
                  "the arrival panel gives the download size and shows the still frame")
    # Without WebGL: a plain explanation, and nothing downloaded.
    del results.requests[:]
    browser.go(url + "index.html?nowebgl")
    said = browser.value("document.getElementById('status').textContent")
    checks.expect("WebGL" in said and "Try" in said and
                  not [r for r in results.requests if r.startswith("/vintermoot.")],
                  "without WebGL the page says so and what to try, and downloads nothing (%s)" % said)


def full_screen_play(browser, url, results, checks):
    """Returns the canvases to compare: (play, step) -> (width, height, RGBA)."""
    # The page prepares the show at a smaller size; the window grows before the start.
    browser.call("Emulation.setDeviceMetricsOverride", {"width": 1280, "height": 800, "deviceScaleFactor": 1,
                                                         "mobile": False})
    browser.go(url + "index.html?capture=%d" % CAPTURE_STEP)
    if not checks.expect(browser.wait_for("!document.getElementById('start').disabled"), "the page loads"):
        return
    checks.expect(browser.wait_for("figures.prepared.length >= 3"), "the page prepares the show before the start")
    browser.call("Emulation.setDeviceMetricsOverride", {"width": SCREEN_W, "height": SCREEN_H,
                                                         "deviceScaleFactor": PIXEL_RATIO, "mobile": False})
    browser.click("fullscreen")
    checks.expect(browser.wait_for("document.fullscreenElement"), "the corner button puts the page in full screen")
    shown = browser.value("JSON.stringify(panelShown())")
    checks.expect(json.loads(shown)["visible"] and json.loads(shown)["inside"],
                  "full screen before the start shows the start button %s" % shown)
    browser.click("start")
    checks.expect(results.wait(lambda: (1, CAPTURE_STEP) in results.frames or
                               any(k[0] == 1 for k in results.frames), WAIT_S), "the show draws")
    size = browser.value("[canvas.width, canvas.height]")
    checks.expect(size == [CANVAS_W, CANVAS_H], "the drawing buffer is %dx%d at %dx%d, pixel ratio %d (it is %s)"
                  % (CANVAS_W, CANVAS_H, SCREEN_W, SCREEN_H, PIXEL_RATIO, size))
    browser.press_escape()
    checks.expect(results.wait(lambda: len(results.stops) >= 1, WAIT_S), "Escape in full screen stops the show")
    if results.stops:
        panel = results.stops[0]["panel"]
        checks.expect(panel["visible"] and panel["inside"] and panel["fullscreen"] and
                      panel["status"] == "Stopped", "\"Stopped\" and Play again in view, in full screen %s" % panel)
    browser.click("fullscreen")
    checks.expect(browser.wait_for("!document.fullscreenElement"), "the same button leaves full screen")
    checks.expect(browser.value("document.getElementById('start').textContent") == "Play again",
                  "the button now reads Play again")
    browser.click("start")
    checks.expect(results.wait(lambda: results.replayed.is_set(), WAIT_S), "Play again draws without a reload")
    browser.call("Emulation.setDeviceMetricsOverride", {"width": 1280, "height": 720, "deviceScaleFactor": 1,
                                                         "mobile": False})
    drawn = browser.value("figures.drawn")
    checks.expect(browser.wait_for("canvas.width === 960 && canvas.height === 720 && figures.drawn > %d" % (drawn + 2)),
                  "a resized window re-sizes the drawing buffer (960x720 at 1280x720, pixel ratio 1) and the show "
                  "draws on")
    browser.press_escape()
    checks.expect(results.wait(lambda: len(results.stops) >= 2, WAIT_S),
                  "Escape outside full screen stops the second play")
    checks.expect(not browser.console, "no console error while playing %s" % browser.console)


SEEK_START, SEEK_START_MS = "1:30", 90000
# The show's map reaches this step; with it a seek runs at most one interval
# of 30 steps (two in the finale, whose kept states are thinned).
MAP_LAST_STEP = 19800
MAP_MOST_STEPS = 60
SPAN_MS = 300000
JUMP_STEPS = 300
# The time bar covers the picture's bottom rows: max(24, 11 %) of its height.
BAR_SHARE = 0.11


def last_step_at(ms):
    step = ms * 60 // 1000
    while bt.step_time(step + 1) <= ms:
        step += 1
    while bt.step_time(step) > ms:
        step -= 1
    return step


def bar_ms(box, x):
    """The song time the page gives a pointer at x on the seek bar."""
    share = max(0.0, min(1.0, (x - box["x"]) / box["width"]))
    return int(math.floor(share * SPAN_MS + 0.5))


def seek_count(results, kind):
    return len([f for f in results.seek_frames if f[0] == kind])


def seek_play(browser, url, results, checks):
    """Seeks by the address, the bar (click and drag) and keys; returns the
    step of each seek whose canvases were posted."""
    browser.call("Emulation.setDeviceMetricsOverride", {"width": 1280, "height": 800, "deviceScaleFactor": 1,
                                                         "mobile": False})
    browser.go(url + "index.html?scale=1&seekcapture=2#t=" + SEEK_START)
    if not checks.expect(browser.wait_for("!document.getElementById('start').disabled"), "the page loads"):
        return []
    # As a viewer who reads the panel first: the page maps the whole show.
    checks.expect(browser.wait_for("figures.prepared.some(p => p[2] >= %d)" % MAP_LAST_STEP),
                  "the page maps the show through step %d before the start" % MAP_LAST_STEP)
    browser.click("start")
    wanted = last_step_at(SEEK_START_MS)
    checks.expect(results.wait(lambda: seek_count(results, "clear") >= 1, WAIT_S), "the show starts at #t=")
    landed = [f[1] for f in results.seek_frames if f[0] == "landed"]
    checks.expect(landed[:1] == [wanted], "#t=%s lands on step %d (it drew %s)" % (SEEK_START, wanted, landed))
    checks.expect(browser.value("location.hash") == "#t=" + SEEK_START, "the address keeps #t=%s" % SEEK_START)
    # A click at 60 % of the bar, on a whole pixel.
    box = json.loads(browser.value("JSON.stringify(document.getElementById('seekbar').getBoundingClientRect())"))
    x, y = round(box["x"] + 0.6 * box["width"]), box["y"] + box["height"] / 2
    ms = bar_ms(box, x)
    browser.mouse("mousePressed", x, y, 1)
    browser.mouse("mouseReleased", x, y, 0)
    checks.expect(results.wait(lambda: seek_count(results, "clear") >= 2, WAIT_S), "a click on the seek bar seeks")
    landed = [f[1] for f in results.seek_frames if f[0] == "landed"]
    checks.expect(landed[1:2] == [last_step_at(ms)], "the click at %d ms lands on step %d (it drew %s)" %
                  (ms, last_step_at(ms), landed))
    hash_text = browser.value("location.hash")
    checks.expect(hash_text == "#t=%d:%02d" % (ms // 60000, ms // 1000 % 60), "the address follows: %s" % hash_text)
    # The page's own notes once the music has played a note past the step
    # landed on (no other seek runs meanwhile).
    browser.wait_for("figures.notes.some(n => n[1] > %d)" % last_step_at(ms))
    notes = browser.value("figures.notes") or []
    after = [(n, s) for n, s in notes if s > last_step_at(ms)]
    late = [(n, s) for n, s in after if s != last_step_at(math.ceil(n) - 1) + 1]
    checks.expect(after and not late, "%d notes after the click reach their own steps (not: %s)" % (len(after), late[:5]))
    # A drag from 20 % to 30 %: it ends where it is let go.
    seeks = browser.value("figures.seeks.length")
    x0, x1 = round(box["x"] + 0.2 * box["width"]), round(box["x"] + 0.3 * box["width"])
    browser.mouse("mousePressed", x0, y, 1)
    for at in range(x0, x1 + 1, max(1, (x1 - x0) // 4)):
        browser.mouse("mouseMoved", at, y, 1)
    browser.mouse("mouseMoved", x1, y, 1)
    browser.mouse("mouseReleased", x1, y, 0)
    end = last_step_at(bar_ms(box, x1))
    # (On a busy machine the moves may come together in one animation frame,
    # and so one seek.)
    checks.expect(browser.wait_for("figures.seeks.length > %d && figures.seeks[figures.seeks.length - 1][0] === %d"
                                   % (seeks, end)),
                  "a drag along the bar ends on step %d (seeks on the way: %s)" %
                  (end, browser.value("JSON.stringify(figures.seeks.slice(%d).map(s => s[0]))" % seeks)))
    seeks = browser.value("figures.seeks.length")
    browser.press_key("ArrowRight", "ArrowRight", 39)
    checks.expect(browser.wait_for("figures.seeks.length > %d && figures.seeks[figures.seeks.length - 1][0] >= %d"
                                   % (seeks, end + JUMP_STEPS)), "Right goes 5 s on")
    browser.press_key(" ", "Space", 32)
    checks.expect(browser.wait_for("document.getElementById('playpause').textContent === 'Play'"),
                  "Space pauses (the button offers Play)")
    checks.expect(not browser.console, "no console error while seeking %s" % browser.console)
    ran = browser.value("figures.seek_reports.map(r => r[1])") or []
    checks.expect(ran and max(ran) <= MAP_MOST_STEPS,
                  "with the map every seek ran at most %d steps (they ran %s)" % (MAP_MOST_STEPS, ran))
    return [f[1] for f in results.seek_frames if f[0] == "landed"]


# A far seek the page replays in slices: without the map (?nomap), from the
# start to 4:20.
FAR_SEEK, FAR_SEEK_MS = "4:20", 260000


def keys_during_far_seek(browser, url, checks):
    """Space and Escape act between the slices of a far seek: Space lands
    it paused on its target, Escape stops the show before it lands."""
    target = last_step_at(FAR_SEEK_MS)
    for key in ("Space", "Escape"):
        # (A page of its own for each key: the same address would only move to its #t=.)
        browser.go(url + "index.html?scale=1&nomap&seekcapture=0&key=%s#t=%s" % (key, FAR_SEEK))
        if not checks.expect(browser.wait_for("!document.getElementById('start').disabled"),
                             "the page without the map loads (%s)" % key):
            return
        browser.click("start")
        under_way = browser.wait_for("figures.seeking.length >= 2")
        checks.expect(under_way and not browser.value("figures.seeks.length"),
                      "the seek to #t=%s runs in slices (%s)" % (FAR_SEEK, key))
        if key == "Space":
            browser.press_key(" ", "Space", 32)
            landed = browser.wait_for("figures.seeks.length >= 1")
            step, _, _, paused = (browser.value("figures.seeks") or [[0, 0, 0, False]])[0]
            checks.expect(landed and step == target and paused,
                          "Space during it: the seek lands on step %d, paused (%s, paused %s)" % (target, step, paused))
        else:
            browser.press_escape()
            stopped = browser.wait_for("document.getElementById('status').textContent === 'Stopped'")
            checks.expect(stopped and not browser.value("figures.seeks.length"),
                          "Escape during it stops the show before the seek lands")
        # (A figure, not a check: on a busy machine any slice may take longer.)
        slices = browser.value("figures.seeking.map(s => s[3])") or [0]
        print("     %d slices before %s, the longest %.0f ms" % (len(slices), key, max(slices)))


def compare_seeks(results, capture_tool, data_parent, work, checks):
    """The canvases after each seek against the harness frames: the landed
    step above the time bar (and the bar is there), the next clear one whole."""
    frames_dir = os.path.join(work, "native_seek")
    steps = sorted(set(f[1] for f in results.seek_frames))
    if not steps:
        return
    subprocess.run([capture_tool, "--data", data_parent, "--frames", frames_dir, "--at",
                    ",".join(str(bt.step_time(s)) for s in steps), "--size", "%dx%d" % (bt.WIDTH, bt.HEIGHT)],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   env=dict(os.environ, SDL_VIDEODRIVER="offscreen"))
    for kind, step, width, height, rgba in results.seek_frames:
        _, _, native = bt.read_png_rgb(os.path.join(frames_dir, "%d.png" % bt.step_time(step)))
        if not checks.expect((width, height) == (bt.WIDTH, bt.HEIGHT), "the seek canvas is %dx%d" % (width, height)):
            continue
        rgb = bt.rgba_bottom_up_to_rgb(rgba, width, height)
        if kind == "landed":
            above = (height - math.ceil(max(24, height * BAR_SHARE))) * width * 3
            differing, mean = bt.compare(rgb[:above], native[:above])
            _, bar_mean = bt.compare(rgb[above:], native[above:])
            checks.expect(bar_mean > 10 * bt.TOLERATED_MEAN, "the time bar is over the step landed on (mean %.2f)"
                          % bar_mean)
        else:
            differing, mean = bt.compare(rgb, native)
        checks.expect(differing <= bt.TOLERATED_DIFFERING and mean <= bt.TOLERATED_MEAN,
                      "after a seek, step %d (%s) equals the harness frame%s (differing %.5f, mean %.3f)" %
                      (step, kind, " above the bar" if kind == "landed" else "", differing, mean))


def compare_native(results, capture_tool, data_parent, work, checks):
    frames_dir = os.path.join(work, "native")
    steps = sorted(set(step for _, step in results.frames))
    if not steps:
        return
    subprocess.run([capture_tool, "--data", data_parent, "--frames", frames_dir, "--at",
                    ",".join(str(bt.step_time(s)) for s in steps), "--size", "%dx%d" % (CANVAS_W, CANVAS_H)],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   env=dict(os.environ, SDL_VIDEODRIVER="offscreen"))
    for (play, step), (width, height, rgba) in sorted(results.frames.items()):
        _, _, native = bt.read_png_rgb(os.path.join(frames_dir, "%d.png" % bt.step_time(step)))
        if not checks.expect((width, height) == (CANVAS_W, CANVAS_H), "play %d canvas is %dx%d" % (play, width, height)):
            continue
        differing, mean = bt.compare(bt.rgba_bottom_up_to_rgb(rgba, width, height), native)
        checks.expect(differing <= bt.TOLERATED_DIFFERING and mean <= bt.TOLERATED_MEAN,
                      "play %d step %d at %dx%d equals the harness frame (differing %.5f, mean %.3f)" %
                      (play, step, width, height, differing, mean))


# Where the show's timeline starts scenes 2 to 6 (ms), for the bar's marks.
SCENE_STARTS_MS = [77000, 102500, 121800, 159760, 260000]
# Test doubles put in before the page's own script: the show's first two
# WebGL contexts fail (the one it prepares before the click, and the one the
# click tries again),
# the keyboard lock records its calls, and the sound output does not run (as
# Firefox without a sound server: suspended, resume() never settles) until
# the test wakes it (as a headset that wakes late: it runs, and says so).
DOUBLES = """
window.vmFailWebGL = 2;
window.vmKeyboard = [];
const realGetContext = HTMLCanvasElement.prototype.getContext;
HTMLCanvasElement.prototype.getContext = function (...args) {
  if (this.id === 'canvas' && window.vmFailWebGL > 0) { window.vmFailWebGL -= 1; return null; }
  return realGetContext.apply(this, args);
};
if (navigator.keyboard) {
  navigator.keyboard.lock = () => { window.vmKeyboard.push('lock'); return Promise.resolve(); };
  navigator.keyboard.unlock = () => window.vmKeyboard.push('unlock');
}
window.vmAudioHeld = true;
window.vmAudioContexts = [];
const RealAudioContext = window.AudioContext;
window.AudioContext = class extends RealAudioContext {
  constructor(...args) { super(...args); super.suspend(); window.vmAudioContexts.push(this); }
  get state() { return window.vmAudioHeld ? 'suspended' : super.state; }
  resume() { return window.vmAudioHeld ? new Promise(() => {}) : super.resume(); }
};
window.vmWakeAudio = () => {
  window.vmAudioHeld = false;
  for (const c of window.vmAudioContexts)
    if (c.state !== 'closed') c.resume().then(() => c.dispatchEvent(new Event('statechange')));
};
true
"""


# Addresses with a fault, and what the page keeps of each on arrival: the
# good parameters stay, the bad ones go, after # as in the query.
ADDRESSES = [
    ("?scale=1&delay=abc#t=%", "?scale=1"),
    ("?scale=1&delay=abc#t=1:30", "?scale=1#t=1:30"),
    ("?t=abc&delay=20&scale=1", "?delay=20&scale=1"),
    ("?scale=1&t=1:30&delay=9999&nomap", "?scale=1&t=1:30&nomap"),
]


def faults_and_failures(browser, url, checks):
    browser.call("Emulation.setDeviceMetricsOverride", {"width": 1280, "height": 800, "deviceScaleFactor": 1,
                                                         "mobile": False})
    for given, kept in ADDRESSES:
        browser.go(url + "index.html" + given)
        address = browser.value("location.href")
        checks.expect(address == url + "index.html" + kept, "the address %s after its fault is %s (it is %s)" %
                      (given, kept, address[len(url):]))
    browser.go(url + "index.html?scale=1&delay=abc#t=%")
    if not checks.expect(browser.wait_for("!document.getElementById('start').disabled"),
                         "an address with #t=% and ?delay=abc loads to the start button"):
        return
    said = browser.value("document.getElementById('addressfault').hidden ? '' : "
                         "document.getElementById('addressfault').textContent")
    checks.expect('not "%"' in said and "beginning" in said and '?delay=' in said and 'not "abc"' in said,
                  "the panel says what is wrong with the address (%s)" % said)
    checks.expect(not browser.console, "no console error on arrival %s" % browser.console)
    marks = browser.value("[...document.querySelectorAll('.scene-mark')].map(m => parseFloat(m.style.left))")
    wanted = [100.0 * ms / SPAN_MS for ms in SCENE_STARTS_MS]
    checks.expect(marks and len(marks) == len(wanted) and all(abs(a - b) < 1e-3 for a, b in zip(marks, wanted)),
                  "the seek bar marks the scenes at %s %% (it has %s)" % (wanted, marks))
    doubles = browser.call("Page.addScriptToEvaluateOnNewDocument", {"source": DOUBLES})["identifier"]
    browser.go(url + "index.html?scale=1")
    browser.call("Page.removeScriptToEvaluateOnNewDocument", {"identifier": doubles})
    if not checks.expect(browser.wait_for("!document.getElementById('start').disabled"),
                         "the page with a failing WebGL loads to the start button"):
        return
    browser.click("fullscreen")
    checks.expect(browser.wait_for("document.fullscreenElement"), "full screen before the failing start")
    browser.click("start")
    failed = browser.wait_for("figures.messages.length >= 1")
    state = json.loads(browser.value(
        "JSON.stringify({ messages: figures.messages, panel: panelShown(), button: startButton.textContent, "
        "controls: controls.classList.contains('hidden'), keyboard: window.vmKeyboard })"))
    checks.expect(failed and "WebGL" in str(state["messages"]), "a failing start says so %s" % state["messages"])
    checks.expect(state["panel"]["visible"] and state["button"] == "Try again" and state["controls"],
                  "after it the start button is in view, offering Try again, the controls hidden %s" % state)
    checks.expect(state["keyboard"][-1:] == ["unlock"] and "lock" in state["keyboard"],
                  "the keyboard lock taken for the show is given back (%s)" % state["keyboard"])
    # (The recording lock holds nothing: out of full screen, Escape reaches the page.)
    browser.click("fullscreen")
    browser.wait_for("!document.fullscreenElement")
    browser.click("start")
    checks.expect(browser.wait_for("figures.notices.some(n => n.startsWith('No sound'))"),
                  "a sound output that never runs is named %s" % browser.value("figures.notices"))
    clock = browser.value("figures.clock_ms")
    checks.expect(browser.wait_for("figures.clock_ms >= %d" % (clock + 1000)) and clock < 30000,
                  "the show plays on from the beginning in silence (clock %s ms, then %s ms)" %
                  (clock, browser.value("figures.clock_ms")))
    late_sound_joins(browser, checks)
    drawn = browser.value("figures.drawn")
    browser.value("location.hash = '#t=1:30%'")
    checks.expect(browser.wait_for("figures.notices.length >= 2 && figures.drawn > %d" % (drawn + 2)),
                  "#t=1:30%% typed while playing is a note and the show draws on %s" %
                  browser.value("figures.notices"))
    exceptions = [c for c in browser.console if c.startswith("exception")]
    checks.expect(not exceptions, "no script exception %s" % exceptions)
    browser.press_escape()
    checks.expect(browser.wait_for("document.getElementById('status').textContent === 'Stopped'"),
                  "Escape stops it")


# The show's clock at each animation frame with the page's time, for the
# late sound output.
WATCH_CLOCK = """
window.vmClocks = [];
(function watch() {
  window.vmClocks.push([figures.clock_ms, performance.now()]);
  requestAnimationFrame(watch);
})();
true
"""
# Over an animation frame the song clock moves on at most as far as the
# page's time did (it is the song heard), give or take the show's work
# between the two readings; and it stands at most this many frames in a row
# (the output's first buffer and latency take a few: a clock that waited
# for the silent stretch to be played again would stand for seconds).
CLOCK_SLACK_MS = 250
JOIN_MOST_MS = 10000
MOST_STANDING_FRAMES = 60


def late_sound_joins(browser, checks):
    """The output starts after the page went silent: the music joins in (the
    clock is the output's again, its latency applied), the clock goes on
    from where it was, never back and with no leap or long halt, and the
    note goes."""
    browser.value(WATCH_CLOCK)
    browser.wait_for("window.vmClocks.length >= 10")
    checks.expect(browser.value("figures.latency_ms") == 0, "silent, the clock applies no latency")
    woken = browser.value("window.vmWakeAudio(); figures.clock_ms")
    # (Ten seconds of song on in silence after the wake: it did not join.)
    browser.wait_for("figures.latency_ms > 0 || figures.clock_ms >= %d" % (woken + JOIN_MOST_MS))
    joined = browser.value("figures.latency_ms > 0")
    clock = browser.value("figures.clock_ms")
    browser.wait_for("figures.clock_ms >= %d" % (clock + 1000))
    readings = [r for r in browser.value("window.vmClocks") if r[0] >= 0]
    moves = [(b[0] - a[0], b[1] - a[1]) for a, b in zip(readings, readings[1:])]
    back = [m for m in moves if m[0] < 0]
    leaps = [m for m in moves if m[0] > m[1] + CLOCK_SLACK_MS]
    standing, longest = 0, 0
    for move, _ in moves:
        standing = standing + 1 if move == 0 else 0
        longest = max(longest, standing)
    note = browser.value("document.getElementById('messages').textContent")
    checks.expect(joined and moves and not back and not leaps and longest <= MOST_STANDING_FRAMES,
                  "a late sound output joins in: latency %s ms applied; the clock over %d frames from %d ms "
                  "never back %s, never ahead of the page's time %s, standing at most %d frames in a row" %
                  (browser.value("figures.latency_ms"), len(moves), readings[0][0] if readings else -1,
                   back[:3], leaps[:3], longest))
    checks.expect("No sound" not in note, "the note on the silence goes (%r)" % note[:60])


def serving(url):
    """Waits until the server at url answers; false when it never does."""
    for _ in range(WAIT_S * 10):
        try:
            urllib.request.urlopen(url, timeout=10).close()
            return True
        except OSError:
            time.sleep(0.1)
    return False


def dist_plays(browser, build, work, checks):
    dist = os.path.join(work, "dist")
    made = subprocess.run([sys.executable, os.path.join(ROOT, "web", "dist.py"), build, dist])
    if not checks.expect(made.returncode == 0, "web/dist.py makes the static host's folder"):
        return
    port = free_port()
    log = open(os.path.join(work, "server.log"), "w+")
    server = subprocess.Popen([sys.executable, "-m", "http.server", "--bind", "127.0.0.1", str(port)],
                              cwd=dist, stdout=log, stderr=subprocess.STDOUT)
    try:
        url = "http://127.0.0.1:%d/" % port
        # It listens a moment after its start (until then a connection is
        # refused, and the browser would show its error page).
        checks.expect(serving(url), "python3 -m http.server answers")
        browser.go(url + "index.html?autostart&scale=1")
        played = browser.wait_for("figures.clock_ms >= %d" % DIST_PLAYS_MS)
        checks.expect(played, "the folder served by python3 -m http.server plays (%s ms of song)" %
                      browser.value("figures.clock_ms"))
        checks.expect(not browser.console, "no console error from the folder %s" % browser.console)
        wasm = next(n for n in os.listdir(dist) if n.endswith(".wasm"))
        kind = urllib.request.urlopen(url + wasm).headers.get("Content-Type")
        checks.expect(kind == "application/wasm", "%s comes as application/wasm (%s)" % (wasm, kind))
    finally:
        server.terminate()
        server.wait()
    log.seek(0)
    lines = log.read().splitlines()
    hashed = [line for line in lines if '"GET /vintermoot.' in line and " 200 " in line]
    failed = [line for line in lines if '" 4' in line or '" 5' in line]
    checks.expect(len(hashed) >= 3 and not failed, "the page fetched its three hashed files, nothing failed %s" % failed)


def main():
    build, capture_tool, data_parent = sys.argv[1:4]
    chromium = shutil.which("chromium") or shutil.which("chromium-browser")
    if not chromium:
        print("page_test: SKIPPED - no chromium (Debian package chromium)")
        return bt.SKIP
    if not os.path.exists(os.path.join(build, "vintermoot.js")):
        print("page_test: SKIPPED - no browser build in %s (bash scripts/web.sh makes it)" % build)
        return bt.SKIP
    work = tempfile.mkdtemp(prefix="vm_page_")
    checks = Checks()
    results = bt.Results()
    server, url = serve(build, results)
    browser = Browser(chromium, os.path.join(work, "profile"))
    try:
        browser.open_page()
        plain_load(browser, url, results, checks)
        full_screen_play(browser, url, results, checks)
        seek_play(browser, url, results, checks)
        keys_during_far_seek(browser, url, checks)
        faults_and_failures(browser, url, checks)
        dist_plays(browser, build, work, checks)
    finally:
        browser.close()
        server.shutdown()
    compare_native(results, capture_tool, data_parent, work, checks)
    compare_seeks(results, capture_tool, data_parent, work, checks)
    shutil.rmtree(work, ignore_errors=True)
    for failure in checks.failures:
        print("page_test: FAILED - " + failure)
    return 1 if checks.failures else 0


if __name__ == "__main__":
    sys.exit(main())
