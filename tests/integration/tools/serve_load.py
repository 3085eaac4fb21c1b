# Loopback load on scorvane serve at 127.0.0.1:PORT started with
# --max-connections LIMIT, bounded in count and time: clients below and at
# the limit, kept connections beside clients that come and go, then more
# clients than the limit. Prints what the clients saw.
import collections
import socket
import sys
import threading

port = int(sys.argv[1])
limit = int(sys.argv[2])
PATH = b"/associations/association=ger/nationalleague/standings.html"
KEPT = b"GET " + PATH + b" HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"
ONCE = b"GET " + PATH + b" HTTP/1.0\r\n\r\n"
seen = collections.Counter()
lock = threading.Lock()


def note(what):
    with lock:
        seen[str(what)] += 1


def summary():
    text = ", ".join(f"{what} x {n}" for what, n in sorted(seen.items()))
    seen.clear()
    return text


def connect():
    return socket.create_connection(("127.0.0.1", port), timeout=10)


def read_answer(s, buffer):
    """The status of the next answer on a kept connection, and what follows it."""
    while b"\r\n\r\n" not in buffer:
        chunk = s.recv(65536)
        if not chunk:
            raise ConnectionError("closed before an answer")
        buffer += chunk
    head, _, rest = buffer.partition(b"\r\n\r\n")
    fields = dict(l.lower().split(b":", 1) for l in head.split(b"\r\n")[1:])
    length = int(fields[b"content-length"])
    while len(rest) < length:
        chunk = s.recv(65536)
        if not chunk:
            raise ConnectionError("closed within an answer")
        rest += chunk
    return int(head.split()[1]), rest[length:]


def one_request(request):
    """A client that asks once and reads to the end: its status line, whether
    the body came whole, and how the connection ended."""
    data, end = b"", "open"
    try:
        with connect() as s:
            s.sendall(request)
            while chunk := s.recv(65536):
                data += chunk
            end = "closed"
    except ConnectionResetError:
        end = "reset"
    except OSError as e:
        end = str(e)
    lines = data.partition(b"\r\n\r\n")[0].split(b"\r\n")
    length = [l for l in lines if l.lower().startswith(b"content-length:")]
    body = data.partition(b"\r\n\r\n")[2]
    whole = "whole" if length and int(length[0].split(b":")[1]) == len(body) else "cut"
    return lines[0].decode("latin-1") + ", " + whole + ", " + end


def kept_client(requests, go_on, opened):
    """`requests` answers on one connection, then one more once `go_on` is set."""
    try:
        s = connect()
        rest = b""
        for n in range(requests + 1):
            if n == requests:
                opened.release()
                opened = None
                go_on.wait(30)
            s.sendall(KEPT)
            status, rest = read_answer(s, rest)
            note(status)
        s.close()
    except OSError as e:
        note(f"kept client: {e}")
    if opened is not None:
        opened.release()


def hold(count, requests):
    """`count` kept connections that have had their first answers."""
    go_on, opened = threading.Event(), threading.Semaphore(0)
    threads = [threading.Thread(target=kept_client, args=(requests, go_on, opened)) for _ in range(count)]
    for t in threads:
        t.start()
    for _ in threads:
        opened.acquire(timeout=30)
    return threads, go_on


def release(held):
    threads, go_on = held
    go_on.set()
    for t in threads:
        t.join(60)


def run(threads):
    for t in threads:
        t.start()
    for t in threads:
        t.join(60)


def one_shot_clients(count):
    for _ in range(count):
        note(one_request(ONCE))


# Below the limit: half as many clients, each with its own connection.
release(hold(limit // 2, 40))
print(f"below the limit: {limit // 2} clients x 41 requests:", summary())

# At the limit: all connections but four kept, the last four taken by one
# client after another, each asking once and closing. A connection just
# closed must not hold a place.
held = hold(limit - 4, 40)
run([threading.Thread(target=one_shot_clients, args=(40,)) for _ in range(4)])
release(held)
print(f"at the limit: {limit - 4} kept x 41 + 4 x 40 one-shot:", summary())

# Above the limit: every place held by a kept connection, then twice as
# many clients again. Each must read the whole busy answer, then the close.
held = hold(limit, 1)
summary()
run([threading.Thread(target=lambda: note(one_request(KEPT))) for _ in range(2 * limit)])
print(f"above the limit: {2 * limit} more clients:", summary())
release(held)
print("kept clients still served:", summary())
print("fresh client after they left:", one_request(ONCE))
