# Hostile clients against scorvane serve on 127.0.0.1:PORT, each bounded in
# count and time: 200 idle connections (the ones past the limit must read a
# "busy" answer, not a reset; the rest are closed at the deadline), then a
# client that trickles its head one byte every 0.9 s. Prints what it saw.
import socket
import sys
import time

port = int(sys.argv[1])
deadline = float(sys.argv[2])


def connect():
    s = socket.create_connection(("127.0.0.1", port), timeout=30)
    return s


def read_all(s, limit):
    s.settimeout(limit)
    data = b""
    try:
        while True:
            chunk = s.recv(65536)
            if not chunk:
                return data, "closed"
            data += chunk
    except ConnectionResetError:
        return data, "reset"
    except socket.timeout:
        return data, "open"


GET = b"GET /associations/association=ger/nationalleague/standings.html HTTP/1.0\r\n\r\n"

# 200 idle connections, then one that asks for a page.
start = time.monotonic()
idle = [connect() for _ in range(200)]
time.sleep(0.5)
late = connect()
late.sendall(GET)
answer, end = read_all(late, 5)
print("late client:", answer.split(b"\r\n")[0].decode(), end)
busy = 0
for s in idle[100:]:
    data, end = read_all(s, 2)
    if data.startswith(b"HTTP/1.1 503 ") and end == "closed":
        busy += 1
print("busy answers among the last 100 idle:", busy)
# The first 64 are cut at the deadline, counted from accept.
held = []
for s in idle[:64]:
    data, end = read_all(s, max(0.1, deadline + 2 - (time.monotonic() - start)))
    held.append(end)
print("first 64 after the deadline:", "all closed" if all(e in ("closed", "reset") for e in held) else held)
print("closed within", round(time.monotonic() - start) <= deadline + 2)
for s in idle + [late]:
    s.close()
fresh = connect()
fresh.sendall(GET)
answer, end = read_all(fresh, 5)
print("fresh client:", answer.split(b"\r\n")[0].decode())
fresh.close()

# One byte every 0.9 s, for at most 20 s.
s = connect()
start = time.monotonic()
request = b"GET /associations/association=ger/nationalleague/standings.html HTTP/1.0\r\nX-Slow: " + b"a" * 40
end = "open"
for byte in request:
    try:
        s.sendall(bytes([byte]))
    except (BrokenPipeError, ConnectionResetError):
        end = "closed"
        break
    s.settimeout(0.9)
    try:
        if s.recv(4096) == b"":
            end = "closed"
            break
    except socket.timeout:
        pass
    except ConnectionResetError:
        end = "closed"
        break
    if time.monotonic() - start > 20:
        break
held = time.monotonic() - start
print("trickling client:", end, "within the deadline" if held <= deadline + 2 else "after %.1f s" % held)
s.close()
