# The standings site in a real browser: headless Chromium, driven over its
# DevTools pipe, so that every console message, script error and failed
# load of a page is seen as an event rather than fished out of a log.
#
#   site_browser.py --chromium PROGRAM --profile DIR --pages FILE
#                   [--shot URL PNG]...
#
# Loads every address of FILE (one a line) at a wide screen's size, then
# shows it at a phone's; a page fails on any console error or warning, any
# uncaught exception, any load that fails or answers 400 or more, and, on
# the phone, any table or page wider than the screen. The first page must
# change its colours in the dark scheme.
# --shot saves the top of a page at the wide size as PNG, for the README.
# Prints one line of figures; exits 1 naming every fault.
import argparse
import base64
import fcntl
import json
import os
import select
import subprocess
import sys
import time

WIDE = (1280, 900)
PHONE = (390, 844)
SHOT_HEIGHT = 1400
# Wider than the screen by more than rounding.
GROUND = "getComputedStyle(document.body).backgroundColor"
OVERFLOW = """[document.documentElement.scrollWidth > innerWidth + 1,
  [...document.querySelectorAll('.table-scroll')].filter(e => e.scrollWidth > e.clientWidth + 1).length]"""


class Chromium:
    def __init__(self, program, profile):
        to_browser, from_browser = os.pipe(), os.pipe()
        # The browser reads commands on descriptor 3 and answers on 4; its
        # ends are moved out of the way first, so that wiring one cannot
        # close the other.
        ends = [fcntl.fcntl(fd, fcntl.F_DUPFD_CLOEXEC, 10) for fd in (to_browser[0], from_browser[1])]
        for fd in (to_browser[0], from_browser[1]):
            os.close(fd)

        def wire():
            os.dup2(ends[0], 3)
            os.dup2(ends[1], 4)

        self.log = open(os.path.join(profile, "chromium.log"), "w")
        self.proc = subprocess.Popen(
            [program, "--headless", "--no-sandbox", "--disable-gpu", "--remote-debugging-pipe",
             f"--user-data-dir={profile}", "--no-first-run", "--no-default-browser-check", "--disable-extensions",
             "--disable-background-networking", "--disable-component-update", "--disable-sync",
             "--hide-scrollbars", "--mute-audio", "--no-proxy-server", "about:blank"],
            stdin=subprocess.DEVNULL, stdout=self.log, stderr=self.log, preexec_fn=wire, close_fds=False)
        for fd in ends:
            os.close(fd)
        self.out, self.inp = to_browser[1], from_browser[0]
        self.buffer, self.next_id, self.events = b"", 0, []
        target = self.call("Target.createTarget", {"url": "about:blank"})["targetId"]
        self.session = self.call("Target.attachToTarget", {"targetId": target, "flatten": True})["sessionId"]
        for domain in ("Page", "Runtime", "Log", "Network"):
            self.call(f"{domain}.enable", session=True)

    def call(self, method, params=None, session=False, timeout=30):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = self.session
        os.write(self.out, json.dumps(message).encode() + b"\0")
        answer = self.wait(lambda m: m.get("id") == self.next_id, timeout, method)
        if "error" in answer:
            raise RuntimeError(f"{method}: {answer['error']}")
        return answer.get("result", {})

    def wait(self, wanted, timeout, what):
        """Reads messages until one is wanted; every event is kept."""
        deadline = time.monotonic() + timeout
        while True:
            while b"\0" in self.buffer:
                raw, self.buffer = self.buffer.split(b"\0", 1)
                message = json.loads(raw)
                if "method" in message:
                    self.events.append(message)
                if wanted(message):
                    return message
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.inp], [], [], left)[0]:
                raise TimeoutError(f"no answer to {what} within {timeout} s")
            chunk = os.read(self.inp, 1 << 20)
            if not chunk:
                raise ConnectionError(f"the browser went away during {what}")
            self.buffer += chunk

    def view(self, size, dark=False):
        """The screen the page is shown on, without loading it again."""
        width, height = size
        self.call("Emulation.setDeviceMetricsOverride",
                  {"width": width, "height": height, "deviceScaleFactor": 1, "mobile": width < 600}, session=True)
        self.call("Emulation.setEmulatedMedia",
                  {"features": [{"name": "prefers-color-scheme", "value": "dark" if dark else "light"}]}, session=True)

    def evaluate(self, expression):
        return self.call("Runtime.evaluate", {"expression": expression, "returnByValue": True},
                         session=True)["result"]["value"]

    def load(self, url):
        """Loads url at the wide size; the events of the load."""
        self.view(WIDE)
        self.events = []
        self.call("Page.navigate", {"url": url}, session=True)
        self.wait(lambda m: m.get("method") == "Page.loadEventFired", 30, f"the load of {url}")
        return self.events

    def shot(self, url, path):
        self.load(url)
        height = self.call("Page.getLayoutMetrics", session=True)["cssContentSize"]["height"]
        clip = {"x": 0, "y": 0, "width": WIDE[0], "height": min(height, SHOT_HEIGHT), "scale": 1}
        data = self.call("Page.captureScreenshot", {"format": "png", "clip": clip, "captureBeyondViewport": True},
                         session=True)["data"]
        with open(path, "wb") as f:
            f.write(base64.b64decode(data))

    def close(self):
        try:
            self.call("Browser.close", timeout=10)
        except (RuntimeError, TimeoutError, ConnectionError, OSError):
            pass
        try:
            self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()


def faults_of(events):
    """What went wrong in a load, one text per fault."""
    found = []
    for e in events:
        method, p = e["method"], e.get("params", {})
        if method == "Runtime.exceptionThrown":
            found.append("exception: " + p["exceptionDetails"].get("text", ""))
        elif method == "Runtime.consoleAPICalled" and p.get("type") in ("error", "warning", "assert"):
            found.append(f"console {p['type']}: " + " ".join(str(a.get("value", "")) for a in p.get("args", [])))
        elif method == "Log.entryAdded" and p["entry"]["level"] in ("error", "warning"):
            entry = p["entry"]
            found.append(f"{entry['level']}: {entry['text']} {entry.get('url', '')}".strip())
        elif method == "Network.loadingFailed":
            found.append(f"load failed: {p.get('errorText')}")
        elif method == "Network.responseReceived" and p["response"]["status"] >= 400:
            found.append(f"{p['response']['status']} for {p['response']['url']}")
    return found


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--chromium", required=True)
    parser.add_argument("--profile", required=True)
    parser.add_argument("--pages", required=True)
    parser.add_argument("--shot", nargs=2, action="append", default=[], metavar=("URL", "PNG"))
    args = parser.parse_args()
    with open(args.pages) as f:
        pages = [line.strip() for line in f if line.strip()]
    browser = Chromium(args.chromium, args.profile)
    faults = []
    try:
        for i, url in enumerate(pages):
            faults.extend(f"{url}: {f}" for f in faults_of(browser.load(url)))
            if i == 0:
                light = browser.evaluate(GROUND)
                browser.view(WIDE, dark=True)
                dark = browser.evaluate(GROUND)
                if light == dark:
                    faults.append(f"{url}: the same ground, {light}, in the light and the dark scheme")
            browser.view(PHONE)
            page_wider, tables_wider = browser.evaluate(OVERFLOW)
            if page_wider or tables_wider:
                faults.append(f"{url} (phone): wider than the screen: page {page_wider}, {tables_wider} tables")
        for url, path in args.shot:
            browser.shot(url, path)
    finally:
        browser.close()
    for fault in faults:
        print(f"site_browser: {fault}", file=sys.stderr)
    print(f"{len(pages)} pages, {len(args.shot)} screenshots")
    return 1 if faults else 0


sys.exit(main())
