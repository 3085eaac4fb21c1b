#!/usr/bin/env python3
"""A misbehaving HTTP server on 127.0.0.1 for the saver's end-to-end runs.

  hostile_server.py slow-head   sends its response head one byte every 0.5 s
  hostile_server.py redirect    answers every request with a 302 to itself

Prints "port N" once listening, then "accept MS" (wall clock, milliseconds)
for every connection, flushed at once. Ends by itself after 60 s.
"""

import socket
import sys
import threading
import time

LIFETIME = 60.0


def log(line):
    print(line, flush=True)


def read_head(conn):
    data = b""
    while b"\r\n\r\n" not in data and len(data) < 65536:
        chunk = conn.recv(4096)
        if not chunk:
            break
        data += chunk
    return data


def slow_head(conn, end):
    head = b"HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nX-Slow: " + b"z" * 4096 + b"\r\n\r\n"
    for i in range(len(head)):
        if time.time() >= end:
            return
        conn.sendall(head[i:i + 1])
        time.sleep(0.5)


def redirect(conn, path):
    conn.sendall(b"HTTP/1.0 302 Found\r\nLocation: " + path + b"\r\nContent-Length: 0\r\n\r\n")


def serve(conn, mode, end):
    try:
        conn.settimeout(max(0.1, end - time.time()))
        head = read_head(conn)
        parts = head.split(b" ")
        path = parts[1] if len(parts) > 1 else b"/"
        if mode == "slow-head":
            slow_head(conn, end)
        else:
            redirect(conn, path)
    except OSError:
        pass
    finally:
        conn.close()


def main(argv):
    if len(argv) != 2 or argv[1] not in ("slow-head", "redirect"):
        print(__doc__, file=sys.stderr)
        return 2
    mode = argv[1]
    end = time.time() + LIFETIME
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    log(f"port {listener.getsockname()[1]}")
    while time.time() < end:
        listener.settimeout(max(0.1, end - time.time()))
        try:
            conn, _ = listener.accept()
        except socket.timeout:
            break
        log(f"accept {int(time.time() * 1000)}")
        threading.Thread(target=serve, args=(conn, mode, end), daemon=True).start()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
