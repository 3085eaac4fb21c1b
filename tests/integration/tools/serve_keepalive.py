# Kept connections to scorvane serve at 127.0.0.1:PORT, whose deadline is
# DEADLINE seconds: several requests on one, HTTP/1.0 answered and closed,
# HEAD, conditional requests, an oversized head on a kept connection, and
# the deadline counted from each answer. Prints what the client saw; at
# most 30 s.
import select
import socket
import sys
import time

port = int(sys.argv[1])
deadline = float(sys.argv[2])
PATH = b"/associations/association=ger/nationalleague/standings.html"


def connect():
    return socket.create_connection(("127.0.0.1", port), timeout=5)


def request(method=b"GET", extra=b""):
    return method + b" " + PATH + b" HTTP/1.1\r\nHost: 127.0.0.1\r\n" + extra + b"\r\n"


class Reader:
    def __init__(self, s):
        self.s, self.buffer = s, b""

    def more(self):
        chunk = self.s.recv(65536)
        if not chunk:
            raise ConnectionError("closed")
        self.buffer += chunk

    def answer(self, body=True):
        """Status, header fields and body of the next answer."""
        while b"\r\n\r\n" not in self.buffer:
            self.more()
        head, _, self.buffer = self.buffer.partition(b"\r\n\r\n")
        lines = head.decode("latin-1").split("\r\n")
        fields = {k.strip().lower(): v.strip() for k, _, v in (l.partition(":") for l in lines[1:])}
        length = int(fields.get("content-length", "0")) if body else 0
        while len(self.buffer) < length:
            self.more()
        data, self.buffer = self.buffer[:length], self.buffer[length:]
        return int(lines[0].split()[1]), fields, data

    def quiet(self):
        """True when nothing more has come, not even a close, for 0.2 s."""
        return not self.buffer and not select.select([self.s], [], [], 0.2)[0]


# Several requests on one connection, nothing in between.
s = connect()
r = Reader(s)
seen = []
for _ in range(5):
    s.sendall(request())
    status, fields, page = r.answer()
    seen.append(f"{status}/{'open' if r.quiet() else 'not open'}")
print("kept connection:", " ".join(seen), "same page" if len(page) == int(fields["content-length"]) > 0 else "")

# HEAD: the headers of GET, no body: the next answer follows at once.
s.sendall(request(b"HEAD"))
status, head, _ = r.answer(body=False)
s.sendall(request())
status2, fields, _ = r.answer()
print("HEAD:", status, "Content-Length as GET's" if head["content-length"] == str(len(page)) else head,
      "then GET:", status2)

# Conditional requests: the validators of the page.
tag = fields["etag"]
for sent in (tag, "W/" + tag, '"other"'):
    s.sendall(request(extra=b"If-None-Match: " + sent.encode() + b"\r\n"))
    status, got, body = r.answer()
    print("If-None-Match", "the ETag" if sent == tag else "weak" if sent.startswith("W/") else "another", "->",
          status, f"{len(body)} bytes", "same ETag" if got.get("etag") == tag else got.get("etag"))
since = fields["last-modified"].encode()
s.sendall(request(extra=b"If-Modified-Since: " + since + b"\r\n"))
print("If-Modified-Since its Last-Modified ->", r.answer()[0])

# A head too large is refused on a kept connection as on a new one.
s.sendall(b"GET " + PATH + b" HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Big: " + b"a" * 32768 + b"\r\n\r\n")
status, fields, _ = r.answer()
try:
    r.more()
    end = "open"
except ConnectionError:
    end = "closed"
except ConnectionResetError:
    end = "reset"
print("oversized head on a kept connection:", status, end)
s.close()

# HTTP/1.0 without keep-alive: the answer, then the close.
s = connect()
s.sendall(b"GET " + PATH + b" HTTP/1.0\r\n\r\n")
r = Reader(s)
status, fields, body = r.answer()
try:
    r.more()
    end = "open"
except ConnectionError:
    end = "closed"
print("HTTP/1.0:", status, fields.get("connection"), "whole page" if body == page else "other page", end)
s.close()

# The deadline runs from each answer: requests past it from the accept are
# answered; a connection left idle is closed within it.
s = connect()
r = Reader(s)
start = time.monotonic()
answers = []
for pause in (0, deadline * 0.6, deadline * 0.6):
    time.sleep(pause)
    s.sendall(request())
    answers.append(r.answer()[0])
last = time.monotonic()
s.settimeout(deadline + 5)
try:
    r.more()
    end = "open"
except ConnectionError:
    end = "closed"
except socket.timeout:
    end = "still open"
idle = time.monotonic() - last
print(f"answers at 0, {deadline * 0.6:g} and {deadline * 1.2:g} s after accept:", *answers,
      f"then {end}", "within the deadline" if deadline - 1 <= idle <= deadline + 2 else f"after {idle:.1f} s idle")
