# A results source on loopback for the refresh and retry tests: serves
# FOLDER as SEASON/LEAGUE.json with an ETag, answers If-None-Match with 304,
# and behaves as the file FOLDER/mode says: "ok", "garbage" (a broken file),
# "stall" (takes the request and never answers), "429" (each file's first
# request answered 429 with Retry-After: 2, the next ones as "ok"), "503"
# (every request). With --late SECONDS it refuses connections that long
# before it listens. Prints its port, then one line per request: PATH
# STATUS MONOTONIC-SECONDS.
import hashlib
import http.server
import os
import socket
import sys
import threading
import time

folder = sys.argv[1]
late = float(sys.argv[3]) if len(sys.argv) > 3 and sys.argv[2] == "--late" else 0
refused_once = set()
lock = threading.Lock()


# One line at a time: the requests are answered on threads of their own.
def say(line):
    with lock:
        sys.stdout.write(line + "\n")
        sys.stdout.flush()


class Source(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        mode = open(os.path.join(folder, "mode")).read().strip()
        if mode == "stall":
            say(self.path + " stall")
            time.sleep(30)
            return
        if mode == "503":
            self.answer(503, b"busy")
            return
        path = os.path.join(folder, self.path.lstrip("/"))
        if ".." in self.path or not os.path.isfile(path):
            self.answer(404, b"")
            return
        if mode == "429":
            with lock:
                first = self.path not in refused_once
                refused_once.add(self.path)
            if first:
                self.answer(429, b"slow down", headers={"Retry-After": "2"})
                return
        body = open(path, "rb").read() if mode in ("ok", "429") else b'{"matches": [garbage'
        etag = '"' + hashlib.sha1(body).hexdigest() + '"'
        if self.headers.get("If-None-Match") == etag:
            self.answer(304, b"", {"ETag": etag})
        else:
            self.answer(200, body, {"ETag": etag})

    def answer(self, status, body, headers=None):
        say("%s %s %.3f" % (self.path, status, time.monotonic()))
        self.send_response(status)
        for name, value in (headers or {}).items():
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


if late:
    # The port is found and let go, so that it refuses until the server
    # takes it.
    probe = socket.socket()
    probe.bind(("127.0.0.1", 0))
    port = probe.getsockname()[1]
    probe.close()
    print(port, flush=True)
    time.sleep(late)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", port), Source)
else:
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Source)
    print(server.server_address[1], flush=True)
server.daemon_threads = True
server.serve_forever()
