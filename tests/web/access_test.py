#!/usr/bin/env python3
"""The page for everyone, in headless Chromium driven through its DevTools
protocol (page_test.py's driver; real key presses and touches):

1. keyboard alone: Tab to the start, Enter; Tab to Pause (Space and Enter
   on it), Stop and the seek bar, a named slider whose keys land on their
   steps and whose value reads "m:ss of 5:30" (Space there is the
   slider's); `c` copies the address of the step on screen, which opened
   afresh lands on it; Enter on Stop leaves the keyboard on Play again;
2. the media session (metadata, state, position state, every action) and
   a stand-in wake lock (headless Chromium has none): held while playing,
   given back on pause and stop, taken again when the tab shows again;
3. the panel with a bad #t= fits 1280 x 720; an emulated 390 x 844 phone
   both ways up: Tap to start in view, the drawing buffer capped, a tap on
   the hidden bar only shows it, Pause, a seek and Stop by taps, the seek
   bar 44 px tall beside its time, clear of the show's time bar;
4. axe-core: no violation on the panel, playing, paused, with a note,
   stopped, and on the phone.

Judged by what the page reports; the time limits only end a run whose
page has died.  Exit 77 (skipped) without Chromium or the build.

usage: access_test.py BUILD_WEB
"""
import json
import os
import shutil
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import browser_test as bt  # noqa: E402
import page_test as pt  # noqa: E402

LENGTH_MS = 330000
# Where the show's timeline starts scenes 2 to 6 (ms).
SCENE_STARTS_MS = [77000, 102500, 121800, 159760, 260000]
# The show's own time bar: the picture's bottom max(24 px, 11 %).
BAR_SHARE = 0.11
TOUCH_PIXELS = 1024 * 768
# Key, code, virtual key and the text a keyboard sends with it.
KEYS = {"Tab": ("Tab", 9, ""), "Enter": ("Enter", 13, "\r"), " ": ("Space", 32, " "),
        "ArrowRight": ("ArrowRight", 39, ""), "ArrowLeft": ("ArrowLeft", 37, ""), "PageUp": ("PageUp", 33, ""),
        "PageDown": ("PageDown", 34, ""), "Home": ("Home", 36, ""), "End": ("End", 35, ""), "c": ("KeyC", 67, "c")}
# Stand-ins put in before the page's script: a wake lock that records what
# is held (and a tab that can be hidden and shown), and a media session
# whose action handlers and position states are kept for the test (the
# browser's own still gets them).
STANDINS = """
window.vmWake = { held: 0, taken: 0, visible: true };
class VmSentinel extends EventTarget {
  constructor() { super(); this.type = 'screen'; this.released = false; }
  release() {
    if (!this.released) { this.released = true; vmWake.held -= 1; this.dispatchEvent(new Event('release')); }
    return Promise.resolve();
  }
}
let vmLock = null;
Object.defineProperty(navigator, 'wakeLock', { configurable: true, value: { request(type) {
  if (type !== 'screen' || !vmWake.visible) return Promise.reject(new DOMException('no', 'NotAllowedError'));
  vmWake.held += 1; vmWake.taken += 1; vmLock = new VmSentinel(); return Promise.resolve(vmLock);
} } });
Object.defineProperty(document, 'visibilityState', { configurable: true,
  get: () => vmWake.visible ? 'visible' : 'hidden' });
vmWake.tab = visible => {
  vmWake.visible = visible;
  if (!visible && vmLock) vmLock.release();
  document.dispatchEvent(new Event('visibilitychange'));
};
window.vmMedia = { handlers: {}, positions: [] };
const vmSession = navigator.mediaSession;
const vmSetAction = vmSession.setActionHandler.bind(vmSession);
vmSession.setActionHandler = (action, handler) => { vmMedia.handlers[action] = handler; vmSetAction(action, handler); };
const vmSetPosition = vmSession.setPositionState.bind(vmSession);
vmSession.setPositionState = state => { vmMedia.positions.push(state || null); vmSetPosition(state); };
true
"""


def exact_time(ms):
    text = "%d:%02d" % (ms // 60000, ms // 1000 % 60)
    return text + (".%03d" % (ms % 1000) if ms % 1000 else "")


class Page:
    """The driver with the page's own words: keys, touches, axe."""

    def __init__(self, browser, axe, checks):
        self.b, self.axe, self.checks = browser, axe, checks

    def key(self, key):
        code, vk, text = KEYS[key]
        for kind in ("keyDown", "keyUp"):
            self.b.call("Input.dispatchKeyEvent", dict({"type": kind, "key": key, "code": code,
                                                        "windowsVirtualKeyCode": vk, "nativeVirtualKeyCode": vk},
                                                       **({"text": text} if text and kind == "keyDown" else {})))

    def focused(self):
        return self.b.value("document.activeElement.id")

    def tab_to(self, element_id, most=8):
        for _ in range(most):
            if self.focused() == element_id:
                return True
            self.key("Tab")
        return self.focused() == element_id

    def box(self, element_id):
        return self.json("document.getElementById('%s').getBoundingClientRect()" % element_id)

    def json(self, expression):
        """The page's `expression` as a value (None where it throws: a page
        without the element asked for)."""
        return json.loads(self.b.value("(() => { try { return JSON.stringify(%s); } catch (e) { return 'null'; } })()"
                                       % expression))

    def tap(self, x, y):
        for kind, points in (("touchStart", [{"x": x, "y": y}]), ("touchEnd", [])):
            self.b.call("Input.dispatchTouchEvent", {"type": kind, "touchPoints": points})

    def tap_on(self, element_id, share=0.5, show=True):
        """A tap on a control, the bar shown first by a tap on the picture
        where it has come to rest (as a viewer would)."""
        if show and self.b.value("bar.classList.contains('resting')"):
            canvas = self.box("canvas")
            self.tap(canvas["x"] + canvas["width"] / 2, canvas["y"] + canvas["height"] / 2)
            self.b.wait_for("!bar.classList.contains('resting')")
        box = self.box(element_id)
        self.tap(round(box["x"] + share * box["width"]), box["y"] + box["height"] / 2)
        return box

    def landed(self, count):
        """Waits for seek number `count` to land; its step."""
        self.b.wait_for("figures.seeks.length >= %d && sliderStep < 0" % count)
        return self.b.value("figures.seeks.length >= %d ? figures.seeks[%d][0] : null" % (count, count - 1))

    def no_violations(self, state):
        if not self.b.value("typeof axe !== 'undefined'"):
            self.b.value(self.axe + "\ntrue")
        found = self.b.call("Runtime.evaluate", {
            "expression": "axe.run(document, { resultTypes: ['violations'] }).then(r => JSON.stringify("
                          "r.violations.map(v => [v.id, v.impact, v.nodes.map(n => n.target.join(' '))])))",
            "awaitPromise": True, "returnByValue": True})["result"].get("value")
        self.checks.expect(found == "[]", "axe-core: no violation %s %s" % (state, found))


def keyboard_and_media(page, url, checks):
    """Start, pause, the slider and Stop by keyboard alone; the media
    session and the wake lock on the way."""
    b = page.b
    b.call("Emulation.setDeviceMetricsOverride", {"width": 1280, "height": 720, "deviceScaleFactor": 1,
                                                   "mobile": False})
    b.go(url + "index.html?scale=1&seekcapture=0#t=9:99")
    # (The map made, so that every seek is quick.)
    if not checks.expect(b.wait_for("!startButton.disabled && figures.prepared.some(p => p[0] === 6)"),
                         "the page loads and prepares the show"):
        return
    fits = page.json("[panel.scrollHeight <= panel.clientHeight, !document.getElementById('addressfault').hidden]")
    checks.expect(fits == [True, True], "at 1280 x 720 the panel holds all its lines, the address's fault "
                  "named (%s)" % fits)
    page.no_violations("on the arrival panel")
    checks.expect(page.tab_to("start"), "Tab reaches the start button")
    page.key("Enter")
    if not checks.expect(b.wait_for("running && figures.drawn > 0") and page.focused() == "canvas",
                         "Enter on it starts the show, the keyboard on the picture"):
        return
    checks.expect(b.wait_for("vmWake.held === 1"), "the screen is kept awake while it plays")
    meta = page.json("{ title: navigator.mediaSession.metadata.title, "
                     "art: navigator.mediaSession.metadata.artwork.map(a => a.src), "
                     "state: navigator.mediaSession.playbackState, "
                     "actions: Object.keys(vmMedia.handlers).sort() }") or {}
    checks.expect(meta.get("title") == "Vintermoot 2002" and meta["art"][0].endswith("/still.png") and
                  meta["state"] == "playing" and meta["actions"] == sorted(
                      ["play", "pause", "stop", "seekto", "seekforward", "seekbackward", "nexttrack",
                       "previoustrack"]), "the media session names the show with its still, playing %s" % meta)
    page.no_violations("while playing")
    checks.expect(page.tab_to("playpause", 1), "Tab from the picture reaches Pause")
    for key, paused, label in ((" ", True, "Space"), ("Enter", False, "Enter"), (" ", True, "Space")):
        page.key(key)
        ok = b.wait_for("document.getElementById('playpause').textContent === '%s' && vmWake.held === %d && "
                        "navigator.mediaSession.playbackState === '%s'" %
                        ("Play" if paused else "Pause", 0 if paused else 1, "paused" if paused else "playing"))
        checks.expect(ok and page.focused() == "playpause", "%s on the button %s; the wake lock %s" %
                      (label, "pauses" if paused else "resumes", "given back" if paused else "held"))
    page.no_violations("paused")
    checks.expect(page.tab_to("stop", 1) and page.tab_to("seekbar", 1), "Tab goes on to Stop and the seek bar")
    slider = page.json("['role', 'aria-label', 'aria-valuemax'].map(a => seekBar.getAttribute(a))")
    checks.expect(slider == ["slider", "Song position", "330"], "the seek bar is a named slider %s" % slider)
    # The slider's keys, paused, each from where the last landed.
    scenes = [pt.last_step_at(ms) for ms in SCENE_STARTS_MS]
    moves = [(" ", None), ("Home", 0), ("PageUp", scenes[0]), ("PageUp", scenes[1]),
             ("ArrowLeft", scenes[1] - 300), ("PageDown", scenes[0]), ("ArrowRight", scenes[0] + 300),
             ("End", pt.last_step_at(LENGTH_MS))]
    count, pauses = b.value("figures.seeks.length"), b.value("figures.paused.length")
    for key, wanted in moves:
        page.key(key)
        if wanted is None:
            continue
        count += 1
        step = page.landed(count)
        text = b.value("seekBar.getAttribute('aria-valuetext')")
        said = "%d:%02d of 5:30" % (bt.step_time(wanted) // 60000, bt.step_time(wanted) // 1000 % 60)
        checks.expect(step == wanted and text == said, "%s on the slider lands on step %s (wanted %d), says \"%s\""
                      % (key, step, wanted, text))
    checks.expect(b.value("!!paused && figures.paused.slice(%d).every(p => p[0])" % pauses),
                  "Space on the slider is the slider's: the show stays paused (%s)" %
                  b.value("JSON.stringify(figures.paused.slice(%d).map(p => p[0]))" % pauses))
    # The media session's actions, still paused, each landing where it says.
    position = b.value("vmMedia.positions.length")
    for action, details, wanted in (("seekto", {"seekTime": 100.5}, pt.last_step_at(100500)),
                                    ("seekforward", {}, pt.last_step_at(100500) + 300),
                                    ("previoustrack", {}, scenes[1]), ("nexttrack", {}, scenes[2]),
                                    ("seekbackward", {"seekOffset": 10}, scenes[2] - 600)):
        b.value("vmMedia.handlers.%s(%s)" % (action, json.dumps(dict(details, action=action))))
        count += 1
        step = page.landed(count)
        last = b.value("vmMedia.positions[vmMedia.positions.length - 1]") or {}
        checks.expect(step == wanted and last.get("position") == bt.step_time(wanted) / 1000 and
                      last.get("duration") == LENGTH_MS / 1000 and last.get("playbackRate") == 1,
                      "the media session's %s lands on step %s (wanted %d), position state %s" %
                      (action, step, wanted, last))
    checks.expect(b.value("vmMedia.positions.length") > position, "the position state follows each seek")
    b.value("vmMedia.handlers.play({ action: 'play' })")
    checks.expect(b.wait_for("playButton.textContent === 'Pause' && vmWake.held === 1 && "
                             "navigator.mediaSession.playbackState === 'playing'"),
                  "the media session's play plays, the wake lock held again")
    taken = b.value("vmWake.tab(false); vmWake.taken")
    b.value("vmWake.tab(true)")
    checks.expect(b.wait_for("vmWake.held === 1 && vmWake.taken === %d" % (taken + 1)),
                  "the wake lock is taken again when the tab is shown once more")
    b.value("vmMedia.handlers.pause({ action: 'pause' })")
    checks.expect(b.wait_for("playButton.textContent === 'Play' && vmWake.held === 0"),
                  "the media session's pause pauses")
    copy_and_stop(page, checks)


def copy_and_stop(page, checks):
    """`c` on the picture, the note, Stop by keyboard; the copied address."""
    b = page.b
    b.value("canvas.focus()")
    step = b.value("shownStep")
    page.key("c")
    wanted = "#t=" + exact_time(bt.step_time(step))
    said = b.wait_for("[...messages.children].some(p => p.textContent === 'Link to %s copied')" % wanted[3:])
    copied = b.call("Runtime.evaluate", {"expression": "navigator.clipboard.readText()", "awaitPromise": True,
                                         "returnByValue": True})["result"].get("value", "")
    checks.expect(said and copied.endswith(wanted), "c copies the address of step %d (%s) and says so" % (step, copied))
    page.no_violations("with a note shown")
    checks.expect(b.wait_for("messages.children.length === 0"), "the note goes")
    checks.expect(page.tab_to("stop", 3), "Tab reaches Stop")
    page.key("Enter")
    checks.expect(b.wait_for("statusLine.textContent === 'Stopped'") and page.focused() == "start" and
                  b.value("vmWake.held === 0 && navigator.mediaSession.playbackState === 'none'"),
                  "Enter on Stop stops the show, the keyboard on Play again, the wake lock given back")
    page.no_violations("stopped")
    # The copied address, opened afresh.
    b.go("about:blank")
    b.go(copied)
    b.wait_for("!startButton.disabled")
    b.click("start")
    landed = page.landed(1)
    checks.expect(landed == step, "the copied address opens on step %s (it landed on %s)" % (step, landed))
    b.value("vmMedia.handlers.stop({ action: 'stop' })")
    checks.expect(b.wait_for("statusLine.textContent === 'Stopped' && vmWake.held === 0"),
                  "the media session's stop stops the show")


def phone(page, url, checks, width, height):
    b = page.b
    name = "the %dx%d phone" % (width, height)
    b.call("Emulation.setDeviceMetricsOverride", {"width": width, "height": height, "deviceScaleFactor": 3,
                                                   "mobile": True})
    b.call("Emulation.setTouchEmulationEnabled", {"enabled": True, "maxTouchPoints": 5})
    b.go("about:blank")
    b.go(url + "index.html?seekcapture=0")
    if not checks.expect(b.wait_for("!startButton.disabled && figures.prepared.some(p => p[0] === 6)"),
                         "%s loads the page" % name):
        return
    box = page.box("start")
    seen = page.json("[startButton.textContent, panelShown().visible, "
                     "getComputedStyle(document.getElementById('touchhelp')).display, "
                     "getComputedStyle(document.getElementById('keys')).display]")
    checks.expect(seen == ["Tap to start", True, "block", "none"] and box["y"] >= 0 and
                  box["y"] + box["height"] <= height, "%s: Tap to start in view, touch help, no keys %s %s" %
                  (name, seen, box))
    if width < height:
        page.no_violations("on the phone's panel")
    page.tap_on("start")
    if not checks.expect(b.wait_for("running && figures.drawn > 0"), "%s: a tap starts the show" % name):
        return
    size = b.value("[canvas.width, canvas.height]")
    checks.expect(0 < size[0] * size[1] <= TOUCH_PIXELS, "%s: the drawing buffer is %s, at most 1024 x 768 "
                  "pixels" % (name, size))
    if not checks.expect(b.wait_for("bar.classList.contains('resting')"), "%s: the controls rest" % name):
        return
    page.tap_on("playpause", show=False)
    checks.expect(b.wait_for("!bar.classList.contains('resting')") and not b.value("paused"),
                  "%s: a tap where the hidden Pause is shows the controls and pauses nothing" % name)
    page.tap_on("playpause")
    checks.expect(b.wait_for("playButton.textContent === 'Play'"),
                  "%s: a tap on Pause pauses" % name)
    # The seek bar, its time beside it at its longest, the show's time bar clear.
    b.value("timeText.textContent = 'Seeking… 4:20 (43%)'")
    bar, time, canvas = page.box("seekbar"), page.box("time"), page.box("canvas")
    top = page.json("bar.getBoundingClientRect()")
    band = max(24 / 3, canvas["height"] * BAR_SHARE)
    checks.expect(bar["height"] >= 44 and bar["width"] >= 150 and time["x"] >= bar["x"] + bar["width"] and
                  time["x"] + time["width"] <= width and abs(time["y"] + time["height"] / 2 -
                                                             bar["y"] - bar["height"] / 2) < 4,
                  "%s: the seek bar is %.0f x %.0f px, its time beside it (%s)" %
                  (name, bar["width"], bar["height"], time))
    checks.expect(top["bottom"] <= canvas["y"] + canvas["height"] - band,
                  "%s: the controls (to %.0f px) clear the show's time bar (from %.0f px)" %
                  (name, top["bottom"], canvas["y"] + canvas["height"] - band))
    count = b.value("figures.seeks.length")
    box = page.tap_on("seekbar", 0.5)
    ms = pt.bar_ms(box, round(box["x"] + 0.5 * box["width"]))
    step = page.landed(count + 1)
    checks.expect(step == pt.last_step_at(ms), "%s: a tap on the seek bar lands on step %s (wanted %d)" %
                  (name, step, pt.last_step_at(ms)))
    page.tap(canvas["x"] + canvas["width"] / 2, canvas["y"] + canvas["height"] / 2)
    checks.expect(b.wait_for("bar.classList.contains('resting')"), "%s: a second tap on the picture hides the "
                  "controls" % name)
    page.tap_on("stop")
    checks.expect(b.wait_for("statusLine.textContent === 'Stopped' && panelShown().visible"),
                  "%s: a tap on Stop stops the show, Play again in view" % name)
    b.call("Emulation.setTouchEmulationEnabled", {"enabled": False})


def main():
    build = sys.argv[1]
    chromium = bt.chromium_path()
    if not chromium:
        print("access_test: SKIPPED - no chromium (Debian package chromium)")
        return bt.SKIP
    if not os.path.exists(os.path.join(build, "vintermoot.js")):
        print("access_test: SKIPPED - no browser build in %s (bash scripts/web.sh makes it)" % build)
        return bt.SKIP
    axe_path = os.path.join(build, "test-tools", "axe.min.js")
    if not os.path.exists(axe_path):
        print("access_test: FAILED - no %s (bash scripts/web.sh installs axe-core)" % axe_path)
        return 1
    work = tempfile.mkdtemp(prefix="vm_access_")
    checks = pt.Checks()
    results = bt.Results()
    server, url = pt.serve(build, results)
    browser = pt.Browser(chromium, os.path.join(work, "profile"))
    try:
        browser.open_page()
        browser.call("Page.addScriptToEvaluateOnNewDocument", {"source": STANDINS})
        browser.call("Browser.grantPermissions", {"origin": url.rstrip("/"), "permissions": [
            "clipboardReadWrite", "clipboardSanitizedWrite"]}, browser_level=True)
        browser.call("Emulation.setFocusEmulationEnabled", {"enabled": True})
        page = Page(browser, open(axe_path, encoding="utf-8").read(), checks)
        keyboard_and_media(page, url, checks)
        for width, height in ((390, 844), (844, 390)):
            phone(page, url, checks, width, height)
        exceptions = [c for c in browser.console if c.startswith("exception")]
        checks.expect(not exceptions, "no script exception %s" % exceptions)
    finally:
        browser.close()
        server.shutdown()
        shutil.rmtree(work, ignore_errors=True)
    for failure in checks.failures:
        print("access_test: FAILED - " + failure)
    return 1 if checks.failures else 0


if __name__ == "__main__":
    sys.exit(main())
