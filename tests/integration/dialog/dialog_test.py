#!/usr/bin/env python3
"""The Linux configuration run end to end: start-up with the vemo profile in a
private XDG_CONFIG_HOME, a standings server on loopback, the GTK dialog on
the X server of DISPLAY (run inside xvfb-run), driven with xdotool and checked
on screenshots taken with ImageMagick's import.

Usage: dialog_test.py --driver D --bitmaps B --set-active S CASE
Exit status 0 pass, 1 fail, 77 skipped.
"""

import argparse
import http.server
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time

SKIP = 77
STEP_TIMEOUT = 10

# Pixel layout of the dialog: the template in dialog units converted with
# the base units 6 x 13.
CLIENT = (504, 377)
PICTURE_AT = (2, 1)
OK_AT = (441, 8)
CANCEL_AT = (441, 163)
BALL = 46
CAPTION_RECT = (293, 10, 383, 23)
INFO_RECT = (8, 154, 271, 252)
LIST_AT = (293, 23)
ROTATION_AT = (293, 114)

CYAN, RED, YELLOW, GREEN = (0, 255, 255), (255, 0, 0), (255, 255, 0), (0, 255, 0)


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def run(args, timeout=STEP_TIMEOUT):
    return subprocess.run(args, capture_output=True, text=True, timeout=timeout, check=True).stdout


def xdotool(*args):
    return run(["xdotool", *[str(a) for a in args]])


class Image:
    def __init__(self, path):
        with open(path, "rb") as f:
            data = f.read()
        # P6, width, height, maxval, one whitespace byte, then the pixels.
        m = re.match(rb"P6\s+(?:#[^\n]*\n\s*)*(\d+)\s+(\d+)\s+(\d+)\s", data)
        check(m is not None, f"{path} is not a binary PPM")
        self.width, self.height, maxval = int(m.group(1)), int(m.group(2)), int(m.group(3))
        check(maxval == 255, f"{path}: maxval {maxval}")
        self.pixels = data[m.end():]
        check(len(self.pixels) >= 3 * self.width * self.height, f"{path} is truncated")

    def at(self, x, y):
        i = 3 * (y * self.width + x)
        return tuple(self.pixels[i:i + 3])


class Bitmaps:
    def __init__(self, tool, folder):
        self.tool, self.folder, self.cache = tool, folder, {}

    def __getitem__(self, rid):
        if rid not in self.cache:
            path = os.path.join(self.folder, f"bitmap{rid}.ppm")
            run([self.tool, str(rid), path])
            self.cache[rid] = Image(path)
        return self.cache[rid]


class StandingsServer:
    """Answers every request with 404 and remembers the paths, in order."""

    def __init__(self):
        paths = self.paths = []

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                paths.append(self.path)
                self.send_response(404)
                self.send_header("Content-Length", "0")
                self.end_headers()

            def log_message(self, *args):
                pass

        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.port = self.httpd.server_address[1]
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()

    def close(self):
        self.httpd.shutdown()
        self.httpd.server_close()


class Session:
    def __init__(self, opts, scratch):
        self.opts, self.scratch = opts, scratch
        self.config_home = os.path.join(scratch, "config")
        self.ini = os.path.join(self.config_home, "vemo", "vemo.ini")
        self.server = StandingsServer()
        self.bitmaps = Bitmaps(opts.bitmaps, scratch)
        self.shots = 0

    def seed(self, championship=None):
        """The profile every case starts from: our server, and maybe a code."""
        os.makedirs(os.path.dirname(self.ini), exist_ok=True)
        text = f"[Settings]\nServer=127.0.0.1:{self.server.port}\n"
        if championship is not None:
            text += f"Championship={championship}\n"
        with open(self.ini, "w", encoding="latin-1") as f:
            f.write(text)
        return text

    def profile(self):
        with open(self.ini, encoding="latin-1") as f:
            return f.read()

    def championship_lines(self):
        return [l for l in self.profile().splitlines() if l.lower().startswith("championship=")]

    def screenshot(self):
        self.shots += 1
        path = os.path.join(self.scratch, f"shot{self.shots}.ppm")
        run(["import", "-window", "root", "-depth", "8", path])
        return Image(path)


class Dialog:
    def __init__(self, session, *args):
        env = dict(os.environ, XDG_CONFIG_HOME=session.config_home)
        env.pop("GTK_MODULES", None)
        self.proc = subprocess.Popen([session.opts.driver, *args], env=env, stdout=subprocess.PIPE,
                                     stderr=subprocess.PIPE, text=True)
        self.wid = self._wait_window()

    def _wait_window(self):
        deadline = time.monotonic() + STEP_TIMEOUT
        while time.monotonic() < deadline:
            if self.proc.poll() is not None:
                raise Failure(f"the driver ended early: {self.proc.communicate()}")
            r = subprocess.run(["xdotool", "search", "--all", "--onlyvisible", "--pid", str(self.proc.pid),
                                "--name", "^Settings$"], capture_output=True, text=True, timeout=STEP_TIMEOUT)
            ids = r.stdout.split()
            if ids:
                time.sleep(0.5)  # the first frame
                return int(ids[0])
            time.sleep(0.1)
        raise Failure("no window titled Settings appeared")

    def origin(self):
        info = run(["xwininfo", "-id", str(self.wid)])
        x = int(re.search(r"Absolute upper-left X:\s+(-?\d+)", info).group(1))
        y = int(re.search(r"Absolute upper-left Y:\s+(-?\d+)", info).group(1))
        w = int(re.search(r"Width:\s+(\d+)", info).group(1))
        h = int(re.search(r"Height:\s+(\d+)", info).group(1))
        return x, y, w, h

    def key(self, *keys):
        xdotool("windowfocus", "--sync", self.wid)
        for k in keys:
            xdotool("key", "--delay", "40", k)
            time.sleep(0.05)

    def alive(self):
        return self.proc.poll() is None

    def finish(self):
        """Waits for the driver to end; returns its status text."""
        try:
            out, err = self.proc.communicate(timeout=STEP_TIMEOUT)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.communicate()
            raise Failure("the dialog did not close")
        check(self.proc.returncode == 0, f"driver exit {self.proc.returncode}: {err}")
        m = re.search(r"^status: (.*)$", out, re.M)
        check(m is not None, f"no status line in {out!r}")
        return m.group(1)

    def kill(self):
        if self.alive():
            self.proc.kill()
            self.proc.communicate()


def picture_mismatches(shot, origin, stadium, exclude):
    """Pixels of the stadium area that differ from bitmap 140, outside `exclude`."""
    ox, oy = origin
    bad = 0
    for y in range(PICTURE_AT[1], PICTURE_AT[1] + stadium.height):
        for x in range(PICTURE_AT[0], PICTURE_AT[0] + stadium.width):
            if any(l <= x < r and t <= y < b for (l, t, r, b) in exclude):
                continue
            if shot.at(ox + x, oy + y) != stadium.at(x - PICTURE_AT[0], y - PICTURE_AT[1]):
                bad += 1
    return bad


# Rows of a ball that the caption may cover.
CAPTION_BAND = range(15, 32)


def ball_mismatches(shot, origin, at, face, mask, stadium):
    """Pixels of a ball that are neither the face (inside the mask's disc) nor
    the picture beneath (outside it), caption rows left out."""
    ox, oy = origin
    bad = []
    for y in range(BALL):
        if y in CAPTION_BAND:
            continue
        for x in range(BALL):
            inside = mask.at(x, y) != (255, 255, 255)
            want = face.at(x, y) if inside else stadium.at(at[0] + x - PICTURE_AT[0], at[1] + y - PICTURE_AT[1])
            if shot.at(ox + at[0] + x, oy + at[1] + y) != want:
                bad.append((x, y))
    return bad


def count_colour(shot, origin, rect, colour, tolerance=0):
    """Pixels of `rect` no channel of which is more than `tolerance` off `colour`."""
    ox, oy = origin
    l, t, r, b = rect
    return sum(1 for y in range(t, b) for x in range(l, r)
               if max(abs(c - w) for c, w in zip(shot.at(ox + x, oy + y), colour)) <= tolerance)


def expect_ball(session, dialog, at, face_id, what):
    b = session.bitmaps
    shot = session.screenshot()
    x, y, _, _ = dialog.origin()
    bad = ball_mismatches(shot, (x, y), at, b[face_id], b[138], b[140])
    check(not bad, f"{what}: {len(bad)} pixels differ from bitmap {face_id}, first {bad[:5]}")
    return shot


def park_pointer():
    xdotool("mousemove", 1020, 760)


# --- cases -----------------------------------------------------------------

def case_shows(s):
    """No profile value: the dialog over the stadium with both balls and both
    coloured texts; Germany is selected, so Enter stores ger."""
    s.seed()
    park_pointer()
    d = Dialog(s)
    try:
        x, y, w, h = d.origin()
        check((w, h) == CLIENT, f"client size {w}x{h}")
        shot = s.screenshot()
        b = s.bitmaps
        # Everything the controls leave free shows bitmap 140 pixel for pixel.
        exclude = [
            (OK_AT[0], OK_AT[1], OK_AT[0] + BALL, OK_AT[1] + BALL),
            (CANCEL_AT[0], CANCEL_AT[1], CANCEL_AT[0] + BALL, CANCEL_AT[1] + BALL),
            (CAPTION_RECT[0] - 2, CAPTION_RECT[1] - 2, 440, 70),  # caption and closed list
            (CAPTION_RECT[0] - 2, 50, 436, 258),  # club and rotation
            (INFO_RECT[0] - 2, INFO_RECT[1] - 2, INFO_RECT[2], INFO_RECT[3]),
        ]
        bad = picture_mismatches(shot, (x, y), b[140], exclude)
        check(bad == 0, f"{bad} picture pixels differ from bitmap 140")
        # The list is drawn where the template puts it.
        list_changed = sum(1 for yy in range(LIST_AT[1] + 2, LIST_AT[1] + 14) for xx in range(LIST_AT[0] + 2, 430)
                           if shot.at(x + xx, y + yy) != b[140].at(xx - 2, yy - 1))
        check(list_changed > 500, f"the list covers only {list_changed} pixels")
        for at, face, name in ((OK_AT, 143, "OK"), (CANCEL_AT, 148, "Cancel")):
            bad = ball_mismatches(shot, (x, y), at, b[face], b[138], b[140])
            check(not bad, f"{name} ball: {len(bad)} pixels differ, first {bad[:5]}")
        band = lambda at: (at[0], at[1] + CAPTION_BAND.start, at[0] + BALL, at[1] + CAPTION_BAND.stop)
        # The ball captions are thin and smoothed: nearly their colour is
        # enough there, where neither ball has such pixels of its own.
        counts = {
            "OK caption cyan": count_colour(shot, (x, y), band(OK_AT), CYAN, 20),
            "Cancel caption red": count_colour(shot, (x, y), band(CANCEL_AT), RED, 20),
            "Championship: yellow": count_colour(shot, (x, y), (290, 6, 400, 26), YELLOW),
            "information green": count_colour(shot, (x, y), INFO_RECT, GREEN),
        }
        minimum = {"OK caption cyan": 8, "Cancel caption red": 12, "Championship: yellow": 40,
                   "information green": 150}
        for k, n in counts.items():
            check(n >= minimum[k], f"{k}: only {n} pixels")
        check(s.championship_lines() == [], "the profile was written before OK")
        d.key("Return")
        d.finish()
        check(s.championship_lines() == ["Championship=ger"], f"profile: {s.profile()!r}")
    finally:
        d.kill()


def case_startup_order(s):
    """The download of the stored association's page is done before the
    dialog exists."""
    s.seed("usa")
    d = Dialog(s)
    try:
        paths = list(s.server.paths)
        d.key("Escape")
        status = d.finish()
    finally:
        d.kill()
    if status == "Not connected to the internet":
        print("skipped: the machine reports no connection, so start-up downloads nothing")
        sys.exit(SKIP)
    check(paths == ["/associations/association=usa/nationalleague/standings.html"], f"requests {paths}")
    # The server answers 404: a failed download.
    check(status == "Mistake of data acquisition.", f"status {status!r}")


def case_keyboard_usa(s):
    """Tab to the list, type u five times (Uganda, Ukraine, United Arab
    Emirates, Uruguay, USA), Enter."""
    s.seed()
    d = Dialog(s)
    try:
        d.key("Tab", "Tab", "u", "u", "u", "u", "u", "Return")
        d.finish()
    finally:
        d.kill()
    check(s.championship_lines() == ["Championship=usa"], f"profile: {s.profile()!r}")


def case_club_rotation(s):
    """After the old controls: the club typed, Albania and Andorra checked
    with the space bar, Angola with a click; Enter stores all three values."""
    s.seed("eng")
    d = Dialog(s)
    try:
        d.key("Tab", "Tab", "Tab")
        xdotool("type", "--delay", "30", "Arsenal")
        d.key("Tab", "space", "Down", "Down", "space")
        x, y, _, _ = d.origin()
        # The fourth row of the list: rows are about 22 pixels high.
        xdotool("mousemove", x + ROTATION_AT[0] + 60, y + ROTATION_AT[1] + 2 + 3 * 22 + 11)
        time.sleep(0.1)
        xdotool("click", 1)
        time.sleep(0.2)
        d.key("Return")
        d.finish()
    finally:
        d.kill()
    lines = [l for l in s.profile().splitlines() if l.split("=")[0] in ("Championship", "Team", "Rotation")]
    check(lines == ["Championship=eng", "Team=Arsenal", "Rotation=alb,and,ang"], f"profile: {s.profile()!r}")


def case_escape(s):
    """Escape, after changing the selection, leaves the profile byte for byte."""
    before = s.seed("zim")
    d = Dialog(s)
    try:
        d.key("Tab", "Tab", "Home", "Down")
        d.key("Escape")
        d.finish()
    finally:
        d.kill()
    check(s.profile() == before, f"profile changed: {s.profile()!r}")
    check(sorted(os.listdir(os.path.dirname(s.ini))) == ["vemo.ini"], "stray files beside the profile")


def case_ger_selects_albania(s):
    """The code in capitals matches no entry: Albania is selected, OK stores alb."""
    s.seed("GER")
    d = Dialog(s)
    try:
        d.key("Return")
        d.finish()
    finally:
        d.kill()
    check(s.championship_lines() == ["Championship=alb"], f"profile: {s.profile()!r}")


def case_mouse(s):
    """Hover and clicks stop at the disc: a corner of the OK button does
    nothing; over the disc the mouse-over face shows and the tooltip comes; a
    press shows the pressed face, dragging off restores the normal one, and
    releasing on the disc stores the choice (Zimbabwe, the last entry)."""
    s.seed("zim")
    park_pointer()
    d = Dialog(s)
    try:
        x, y, _, _ = d.origin()
        corner = (x + OK_AT[0] + 2, y + OK_AT[1] + 2)
        centre = (x + OK_AT[0] + 23, y + OK_AT[1] + 10)
        xdotool("mousemove", *corner)
        time.sleep(0.3)
        expect_ball(s, d, OK_AT, 143, "pointer on the corner")
        xdotool("click", 1)
        time.sleep(0.5)
        check(d.alive(), "a click on the corner closed the dialog")
        check(s.championship_lines() == ["Championship=zim"], "a click on the corner wrote the profile")

        xdotool("mousemove", *centre)
        time.sleep(0.25)
        expect_ball(s, d, OK_AT, 147, "pointer on the disc")
        # The tooltip is a window of its own near the pointer.
        time.sleep(1.5)
        others = [int(w) for w in xdotool("search", "--all", "--onlyvisible", "--pid", d.proc.pid).split()
                  if int(w) != d.wid]
        tips = [w for w in others if "_NET_WM_WINDOW_TYPE_TOOLTIP" in
                run(["xprop", "-id", str(w), "_NET_WM_WINDOW_TYPE"])]
        check(len(tips) == 1, f"no tooltip window appeared over the disc ({others})")

        xdotool("mousedown", 1)
        time.sleep(0.3)
        expect_ball(s, d, OK_AT, 146, "pressed on the disc")
        xdotool("mousemove", *corner)
        time.sleep(0.3)
        expect_ball(s, d, OK_AT, 143, "pressed and dragged off the disc")
        xdotool("mousemove", *centre)
        time.sleep(0.3)
        expect_ball(s, d, OK_AT, 146, "dragged back onto the disc")
        check(d.alive(), "the press alone closed the dialog")
        xdotool("mouseup", 1)
        d.finish()
    finally:
        d.kill()
    check(s.championship_lines() == ["Championship=zim"], f"profile: {s.profile()!r}")


def case_cancel_ball(s):
    """Pressing the Cancel ball, dragging off and releasing does nothing; a
    click on it leaves without writing."""
    before = s.seed("mkd")
    park_pointer()
    d = Dialog(s)
    try:
        x, y, _, _ = d.origin()
        centre = (x + CANCEL_AT[0] + 23, y + CANCEL_AT[1] + 10)
        xdotool("mousemove", *centre)
        time.sleep(0.25)
        expect_ball(s, d, CANCEL_AT, 155, "pointer on the Cancel disc")
        xdotool("mousedown", 1)
        xdotool("mousemove", x + 300, y + 300)
        time.sleep(0.2)
        xdotool("mouseup", 1)
        time.sleep(0.4)
        check(d.alive(), "a release off the disc clicked")
        xdotool("mousemove", *centre)
        time.sleep(0.2)
        xdotool("click", 1)
        d.finish()
    finally:
        d.kill()
    check(s.profile() == before, f"profile changed: {s.profile()!r}")


def drag(start, delta, modifier=None):
    xdotool("mousemove", *start)
    time.sleep(0.1)
    if modifier:
        xdotool("keydown", modifier)
    xdotool("mousedown", 1)
    steps = 6
    for i in range(1, steps + 1):
        xdotool("mousemove", start[0] + delta[0] * i // steps, start[1] + delta[1] * i // steps)
        time.sleep(0.05)
    time.sleep(0.2)
    xdotool("mouseup", 1)
    if modifier:
        xdotool("keyup", modifier)
    time.sleep(0.4)


def case_drag(s):
    """The left button alone on the picture drags the window by the pointer's
    movement; with Shift or Ctrl held it does not."""
    s.seed()
    d = Dialog(s)
    try:
        x0, y0, _, _ = d.origin()
        drag((x0 + 150, y0 + 80), (60, 40))
        x1, y1, _, _ = d.origin()
        check((x1 - x0, y1 - y0) == (60, 40), f"moved by {(x1 - x0, y1 - y0)}")
        for modifier in ("shift", "ctrl"):
            drag((x1 + 150, y1 + 80), (-50, 30), modifier)
            check(d.origin()[:2] == (x1, y1), f"moved with {modifier} held")
        # The labels belong to the picture: dragging by the information block works too.
        drag((x1 + INFO_RECT[0] + 10, y1 + INFO_RECT[1] + 5), (-30, -20))
        x2, y2, _, _ = d.origin()
        check((x2 - x1, y2 - y1) == (-30, -20), f"drag by the label moved by {(x2 - x1, y2 - y1)}")
        check(d.alive(), "dragging closed the dialog")
        d.key("Escape")
        d.finish()
    finally:
        d.kill()
    check(s.championship_lines() == [], f"profile: {s.profile()!r}")


def transient_for(wid):
    out = run(["xprop", "-id", str(wid), "WM_TRANSIENT_FOR"])
    m = re.search(r"window id # (0x[0-9a-fA-F]+)", out)
    return int(m.group(1), 16) if m else None


def case_transient_parent(s):
    """/c:ID belongs to the active window; the default mode (no switch) has
    no parent even when a window is active."""
    s.seed()
    parent = Dialog(s)
    children = []
    try:
        run([s.opts.set_active, hex(parent.wid)])
        child = Dialog(s, "/c:1234")
        children.append(child)
        check(transient_for(child.wid) == parent.wid,
              f"/c:1234 is transient for {transient_for(child.wid)}, not {parent.wid}")
        child.key("Escape")
        child.finish()
        plain = Dialog(s)
        children.append(plain)
        check(transient_for(plain.wid) is None, "the default mode got a parent")
        plain.key("Escape")
        plain.finish()
        parent.key("Escape")
        parent.finish()
    finally:
        for d in children + [parent]:
            d.kill()
    check(s.championship_lines() == [], f"profile: {s.profile()!r}")


CASES = {name[5:]: fn for name, fn in globals().items() if name.startswith("case_")}


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--driver", required=True)
    ap.add_argument("--bitmaps", required=True)
    ap.add_argument("--set-active", required=True)
    ap.add_argument("--keep", action="store_true", help="keep the screenshots and the profile")
    ap.add_argument("case", choices=sorted(CASES))
    opts = ap.parse_args()
    if "DISPLAY" not in os.environ:
        print("no DISPLAY: run inside xvfb-run", file=sys.stderr)
        return 1
    scratch = tempfile.mkdtemp(prefix="dialog-test-")
    session = Session(opts, scratch)
    try:
        CASES[opts.case](session)
        print(f"{opts.case}: ok")
        return 0
    except (Failure, subprocess.SubprocessError) as e:
        print(f"{opts.case}: FAILED: {e}", file=sys.stderr)
        opts.keep = True
        return 1
    finally:
        session.server.close()
        if opts.keep:
            print(f"kept {scratch}", file=sys.stderr)
        else:
            shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
