# A results source on loopback for the refresh tests: serves FOLDER as
# SEASON/LEAGUE.json with an ETag, answers If-None-Match with 304, and
# behaves as the file FOLDER/mode says: "ok", "garbage" (a broken file),
# "stall" (takes the request and never answers). Prints its port, then one
# line per request: PATH STATUS.
import hashlib
import http.server
import os
import sys
import time

folder = sys.argv[1]


class Source(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        mode = open(os.path.join(folder, "mode")).read().strip()
        if mode == "stall":
            print(self.path, "stall", flush=True)
            time.sleep(30)
            return
        path = os.path.join(folder, self.path.lstrip("/"))
        if ".." in self.path or not os.path.isfile(path):
            self.answer(404, b"")
            return
        body = open(path, "rb").read() if mode == "ok" else b'{"matches": [garbage'
        etag = '"' + hashlib.sha1(body).hexdigest() + '"'
        if self.headers.get("If-None-Match") == etag:
            self.answer(304, b"", etag)
        else:
            self.answer(200, body, etag)

    def answer(self, status, body, etag=None):
        print(self.path, status, flush=True)
        self.send_response(status)
        if etag:
            self.send_header("ETag", etag)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Source)
server.daemon_threads = True
print(server.server_address[1], flush=True)
server.serve_forever()
