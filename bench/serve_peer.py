#!/usr/bin/env python3
"""`scorvane serve` under load, side by side with nginx: `make bench`'s
figures of the standings site.

Writes the pages of a results folder with `scorvane publish`, serves that
folder with Debian's nginx (one worker, on loopback) and the same results
with `scorvane serve --results`, and loads the same standings page of both
with wrk, at each number of connections in turn, the two servers one after
the other and in the other order in the next round, so that a busy machine
weighs on both alike. Both write a line per request to a log file of their
own. For each server and each number of connections: requests per second
(the median of the rounds), every answer other than 200 and every socket
error of all rounds, and the server's CPU time per request.

Nothing leaves 127.0.0.1; every run ends after its seconds.

Writes one JSON object (to --out, or standard output).
"""

import argparse
import os
import re
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import time
import urllib.request

from bench_util import cpu_seconds, write_result

def fail(message):
    print(f"serve_peer: {message}", file=sys.stderr)
    sys.exit(1)


def children(pid):
    """The processes whose parent is `pid`."""
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat") as f:
                stat = f.read()
        except OSError:
            continue
        if int(stat[stat.rindex(")") + 2:].split()[1]) == pid:
            found.append(int(entry))
    return found


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for_page(url, proc, what):
    deadline = time.monotonic() + 15
    while time.monotonic() < deadline:
        if proc.poll() is not None:
            fail(f"{what} exited at start")
        try:
            with urllib.request.urlopen(url, timeout=2) as answer:
                if answer.status == 200:
                    return answer.read()
        except OSError:
            pass
        time.sleep(0.1)
    fail(f"{what} does not answer {url}")


def stop(proc):
    if proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


# Debian's own settings (/etc/nginx/nginx.conf) but for one worker, the
# paths, and a site of its own on loopback.
NGINX_CONF = """\
worker_processes 1;
pid {work}/nginx.pid;
error_log {work}/nginx-error.log;
events {{ worker_connections 768; }}
http {{
    sendfile on;
    tcp_nopush on;
    types_hash_max_size 2048;
    include /etc/nginx/mime.types;
    default_type application/octet-stream;
    access_log {work}/nginx-access.log;
    gzip on;
    client_body_temp_path {work}/nginx-temp;
    proxy_temp_path {work}/nginx-temp;
    fastcgi_temp_path {work}/nginx-temp;
    uwsgi_temp_path {work}/nginx-temp;
    scgi_temp_path {work}/nginx-temp;
    server {{
        listen 127.0.0.1:{port};
        root {site};
    }}
}}
"""


def start_nginx(nginx, work, site):
    port = free_port()
    conf = os.path.join(work, "nginx.conf")
    with open(conf, "w") as f:
        f.write(NGINX_CONF.format(work=work, port=port, site=site))
    # Run as root, nginx's worker reads the pages as nobody.
    for folder, dirs, files in os.walk(work):
        os.chmod(folder, 0o755)
        for name in files:
            os.chmod(os.path.join(folder, name), 0o644)
    proc = subprocess.Popen([nginx, "-e", os.path.join(work, "nginx-error.log"), "-c", conf, "-g", "daemon off;"],
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return proc, port


def start_serve(scorvane, results, limit, work):
    log = open(os.path.join(work, "serve.log"), "w")
    env = dict(os.environ, XDG_CACHE_HOME=os.path.join(work, "cache"))
    proc = subprocess.Popen([scorvane, "serve", "--port", "0", "--results", results, "--refresh", "0",
                             "--max-connections", str(limit)],
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=log, env=env)
    deadline = time.monotonic() + 15
    while time.monotonic() < deadline:
        with open(log.name) as f:
            match = re.search(r"^scorvane serve: listening on 127\.0\.0\.1:(\d+)$", f.read(), re.M)
        if match:
            return proc, int(match.group(1))
        if proc.poll() is not None:
            fail("scorvane serve exited at start")
        time.sleep(0.05)
    fail("scorvane serve did not say where it listens")


WRK_FIGURES = {
    "requests": re.compile(r"^\s*(\d+) requests in"),
    "rps": re.compile(r"^Requests/sec:\s*([\d.]+)"),
    "non200": re.compile(r"^\s*Non-2xx or 3xx responses:\s*(\d+)"),
}
WRK_ERRORS = re.compile(r"Socket errors: connect (\d+), read (\d+), write (\d+), timeout (\d+)")


def load(wrk, url, connections, seconds, threads, pid):
    """One wrk run; the server's CPU time is that of `pid` over the run."""
    before = cpu_seconds(pid)
    out = subprocess.run([wrk, f"-t{min(threads, connections)}", f"-c{connections}", f"-d{seconds:g}s",
                          "--timeout", "5s", url], capture_output=True, text=True, timeout=seconds + 60)
    cpu = cpu_seconds(pid) - before
    if out.returncode != 0:
        fail(f"wrk failed: {out.stderr.strip()}")
    run = {"requests": 0, "rps": 0.0, "non200": 0, "connect": 0, "read": 0, "write": 0, "timeout": 0,
           "cpu_seconds": cpu}
    for line in out.stdout.splitlines():
        for key, pattern in WRK_FIGURES.items():
            match = pattern.match(line)
            if match:
                run[key] = float(match.group(1)) if key == "rps" else int(match.group(1))
        match = WRK_ERRORS.search(line)
        if match:
            run.update(zip(("connect", "read", "write", "timeout"), map(int, match.groups())))
    if run["requests"] == 0:
        fail(f"no figures in wrk's output: {out.stdout}")
    return run


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--scorvane", required=True)
    parser.add_argument("--results", required=True, help="the results folder both servers show")
    parser.add_argument("--page", default="eng", help="the association whose page is loaded (default eng)")
    parser.add_argument("--connections", default="32,64,256", help="numbers of connections (default 32,64,256)")
    parser.add_argument("--limit", type=int, default=64, help="serve's --max-connections (default 64)")
    parser.add_argument("--seconds", type=float, default=5.0, help="length of one wrk run (default 5)")
    parser.add_argument("--rounds", type=int, default=3, help="runs of each server at each count (default 3)")
    parser.add_argument("--out")
    args = parser.parse_args()

    nginx = shutil.which("nginx") or shutil.which("nginx", path="/usr/sbin:/sbin")
    wrk = shutil.which("wrk")
    if not nginx or not wrk:
        fail("nginx and wrk are needed (scripts/install-deps installs them)")
    counts = [int(c) for c in args.connections.split(",")]
    threads = max(1, min(os.cpu_count() or 1, 4))
    path = f"/associations/association={args.page}/nationalleague/standings.html"

    work = tempfile.mkdtemp(prefix="scorvane-http-bench-")
    servers = []
    try:
        site = os.path.join(work, "site")
        published = subprocess.run([args.scorvane, "publish", "--results", args.results, "--out", site],
                                   capture_output=True, text=True)
        if published.returncode != 0:
            fail(f"scorvane publish failed: {published.stderr.strip()}")
        serve, serve_port = start_serve(args.scorvane, args.results, args.limit, work)
        servers.append(serve)
        peer, peer_port = start_nginx(nginx, work, site)
        servers.append(peer)
        sides = {
            "serve": (f"http://127.0.0.1:{serve_port}{path}", serve.pid),
            "nginx": (f"http://127.0.0.1:{peer_port}{path}", None),
        }
        ours = wait_for_page(sides["serve"][0], serve, "scorvane serve")
        theirs = wait_for_page(sides["nginx"][0], peer, "nginx")
        if ours != theirs:
            fail("the two servers send different pages")
        workers = children(peer.pid)
        if len(workers) != 1:
            fail(f"nginx runs {len(workers)} workers, not one")
        sides["nginx"] = (sides["nginx"][0], workers[0])

        runs = {side: {c: [] for c in counts} for side in sides}
        for n in range(args.rounds):
            order = ["serve", "nginx"] if n % 2 == 0 else ["nginx", "serve"]
            for c in counts:
                for side in order:
                    url, pid = sides[side]
                    runs[side][c].append(load(wrk, url, c, args.seconds, threads, pid))
                    # The connections of the run close before the next one.
                    time.sleep(0.5)

        result = {"page": path, "bytes": len(ours), "limit": args.limit, "seconds": args.seconds,
                  "rounds": args.rounds, "wrk_threads": threads, "nginx": nginx, "sides": {}}
        for side, by_count in runs.items():
            result["sides"][side] = {}
            for c, done in by_count.items():
                requests = sum(r["requests"] for r in done)
                result["sides"][side][str(c)] = {
                    "rps_median": statistics.median(r["rps"] for r in done),
                    "rps": [r["rps"] for r in done],
                    "requests": requests,
                    "non200": sum(r["non200"] for r in done),
                    "socket_errors": {k: sum(r[k] for r in done) for k in ("connect", "read", "write", "timeout")},
                    "cpu_us_per_request": 1e6 * sum(r["cpu_seconds"] for r in done) / requests if requests else 0.0,
                }
    finally:
        for proc in servers:
            stop(proc)
        shutil.rmtree(work, ignore_errors=True)

    write_result(result, args.out)


if __name__ == "__main__":
    main()
