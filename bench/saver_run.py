#!/usr/bin/env python3
"""The running saver, side by side with a peer hack: `make bench`'s figures of
vemo under Xvfb.

Starts `scorvane serve` on loopback, a settings file whose Server points at
it, two Xvfb servers of the same size, one for vemo and one for the peer,
and a third one of a large screen (3840x2160) for a second vemo (each X
server's CPU time is then the cost its one client causes). Then:

  start-up   vemo /s with --trace under scorvane_first_frame, several times:
             milliseconds from exec to the end of frame 1 (the stage starts
             empty, so that frame draws nothing) and of frame 2 (the first
             one with boxes on it); the download is part of it.
  idle cost  vemo /s and the peer (-root) at the same time, each on its own
             server, for SECONDS after a short settling time: CPU time
             (user + system, /proc/PID/stat) per second of wall time of both
             clients and both servers, and both clients' peak resident
             memory (VmHWM) with its parts. At the same time, and measured
             the same way, vemo /s --scale 3 on the large screen: a scaled
             stage against the first vemo's stage of the screen's size.

Writes one JSON object (to --out, or standard output).
"""

import argparse
import os
import re
import signal
import statistics
import subprocess
import sys
import tempfile
import time

from bench_util import cpu_seconds, write_result

def fail(message):
    print(f"saver_run: {message}", file=sys.stderr)
    sys.exit(1)


def memory_kib(pid):
    """VmHWM, VmRSS and the resident parts, in KiB."""
    out = {}
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            key, _, value = line.partition(":")
            if key in ("VmHWM", "VmRSS", "RssAnon", "RssFile", "RssShmem"):
                out[key] = int(value.split()[0])
    return out


def status_counts(pid):
    """Voluntary and involuntary context switches so far: every wake-up of a
    process that sleeps in poll is one voluntary switch."""
    out = {}
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            key, _, value = line.partition(":")
            if key in ("voluntary_ctxt_switches", "nonvoluntary_ctxt_switches"):
                out[key] = int(value.split()[0])
    return out


def shared_libraries(pid):
    """The shared objects mapped into a process (the program itself and the
    vDSO left out), by file name."""
    names = set()
    with open(f"/proc/{pid}/maps") as f:
        for line in f:
            parts = line.split(None, 5)
            if len(parts) == 6 and ".so" in os.path.basename(parts[5].strip()):
                names.add(parts[5].strip())
    return sorted(names)


def start_xvfb(size, work, name):
    """An Xvfb of its own; returns (process, display)."""
    read_end, write_end = os.pipe()
    log = open(os.path.join(work, f"{name}.log"), "w")
    proc = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{size}x24", "-nolisten", "tcp", "-noreset"],
        stdout=log, stderr=subprocess.STDOUT, pass_fds=(write_end,))
    os.close(write_end)
    number = b""
    deadline = time.monotonic() + 20
    while not number.endswith(b"\n") and time.monotonic() < deadline:
        chunk = os.read(read_end, 16)
        if not chunk:
            break
        number += chunk
    os.close(read_end)
    if not number.strip():
        proc.kill()
        fail(f"Xvfb did not start (see {log.name})")
    return proc, ":" + number.decode().strip()


def start_server(scorvane, work):
    log_path = os.path.join(work, "serve.log")
    log = open(log_path, "w")
    proc = subprocess.Popen([scorvane, "serve", "--bind", "127.0.0.1", "--port", "0"],
                            stdout=subprocess.DEVNULL, stderr=log)
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline:
        with open(log_path) as f:
            m = re.search(r"^scorvane serve: listening on ([0-9.]+:[0-9]+)$", f.read(), re.M)
        if m:
            return proc, m.group(1)
        if proc.poll() is not None:
            break
        time.sleep(0.05)
    proc.kill()
    fail(f"scorvane serve did not start (see {log_path})")


def stop(proc, timeout=5):
    if proc.poll() is None:
        proc.send_signal(signal.SIGTERM)
        try:
            proc.wait(timeout)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--vemo", required=True)
    parser.add_argument("--scorvane", required=True)
    parser.add_argument("--first-frame", required=True, help="the scorvane_first_frame program")
    parser.add_argument("--peer", required=True, help="an XScreenSaver hack, run with -root")
    parser.add_argument("--size", default="1920x1080")
    parser.add_argument("--large-size", default="3840x2160", help="the screen of the scaled vemo")
    parser.add_argument("--large-scale", type=int, choices=range(1, 5), default=3,
                        help="its --scale (default 3)")
    parser.add_argument("--seconds", type=float, default=60.0)
    parser.add_argument("--settle", type=float, default=3.0,
                        help="seconds after exec before the idle cost is measured (default 3)")
    parser.add_argument("--startups", type=int, default=7, help="start-up runs (default 7)")
    parser.add_argument("--out")
    args = parser.parse_args()

    for program in (args.vemo, args.scorvane, args.first_frame, args.peer):
        if not os.access(program, os.X_OK):
            fail(f"{program} is not an executable program")

    procs = []
    result = {"size": args.size, "peer": os.path.basename(args.peer), "seconds": args.seconds,
              "large_size": args.large_size, "large_scale": args.large_scale}
    with tempfile.TemporaryDirectory(prefix="scorvane-bench.") as work:
        try:
            server, address = start_server(args.scorvane, work)
            procs.append(server)
            config = os.path.join(work, "config")
            os.makedirs(os.path.join(config, "vemo"))
            with open(os.path.join(config, "vemo", "vemo.ini"), "w") as f:
                f.write(f"[Settings]\nServer={address}\nChampionship=ger\n")
            saver_x, saver_display = start_xvfb(args.size, work, "xvfb-saver")
            procs.append(saver_x)
            peer_x, peer_display = start_xvfb(args.size, work, "xvfb-peer")
            procs.append(peer_x)
            large_x, large_display = start_xvfb(args.large_size, work, "xvfb-large")
            procs.append(large_x)
            # On X11 even from a Wayland session.
            saver_env = dict(os.environ, DISPLAY=saver_display, XDG_CONFIG_HOME=config, WAYLAND_DISPLAY="")
            saver_env.pop("XSCREENSAVER_WINDOW", None)
            peer_env = dict(os.environ, DISPLAY=peer_display)
            large_env = dict(saver_env, DISPLAY=large_display)

            # Start-up, the download included.
            trace = os.path.join(work, "trace.txt")
            frame1, frame2 = [], []
            for _ in range(args.startups):
                out = subprocess.run(
                    [args.first_frame, "--trace", trace, "--frames", "2", "--timeout", "20", "--",
                     args.vemo, "/s", "--trace", trace],
                    env=saver_env, capture_output=True, text=True, timeout=60)
                if out.returncode != 0:
                    fail(f"start-up run failed: {out.stderr.strip()}")
                values = dict(line.split("=", 1) for line in out.stdout.splitlines() if "=" in line)
                frame1.append(float(values["frame1_ms"]))
                frame2.append(float(values["frame2_ms"]))
                result["presentation"] = values.get("first_line", "")
                time.sleep(0.3)
            result["startup_frame1_ms"] = frame1
            result["startup_frame2_ms"] = frame2
            result["startup_frame1_median_ms"] = statistics.median(frame1)
            result["startup_frame2_median_ms"] = statistics.median(frame2)

            # Idle cost: all clients at once, so that all see the same machine.
            begin_saver_x, begin_peer_x = cpu_seconds(saver_x.pid), cpu_seconds(peer_x.pid)
            begin_large_x = cpu_seconds(large_x.pid)
            saver = subprocess.Popen([args.vemo, "/s"], env=saver_env,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
            procs.append(saver)
            peer = subprocess.Popen([args.peer, "-root"], env=peer_env,
                                    stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
            procs.append(peer)
            large = subprocess.Popen([args.vemo, "/s", "--scale", str(args.large_scale)], env=large_env,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
            procs.append(large)
            clients = (("vemo", saver), ("peer", peer), (f"vemo at {args.large_size}", large))
            measured = (("saver", saver), ("peer", peer), ("saver_x", saver_x), ("peer_x", peer_x),
                        ("large", large), ("large_x", large_x))
            time.sleep(args.settle)
            for name, proc in clients:
                if proc.poll() is not None:
                    fail(f"{name} ended early: {proc.stderr.read().decode(errors='replace').strip()}")
            t1 = time.monotonic()
            c1 = {k: cpu_seconds(p.pid) for k, p in measured}
            w1 = {k: status_counts(p.pid) for k, p in (("saver", saver), ("peer", peer))}
            time.sleep(args.seconds)
            t2 = time.monotonic()
            w2 = {k: status_counts(p.pid) for k, p in (("saver", saver), ("peer", peer))}
            c2 = {k: cpu_seconds(p.pid) for k, p in measured}
            for name, proc in clients:
                if proc.poll() is not None:
                    fail(f"{name} ended during the measurement")
            for key in w1:
                result[f"{key}_wakeups_per_s"] = (w2[key]["voluntary_ctxt_switches"] -
                                                  w1[key]["voluntary_ctxt_switches"]) / (t2 - t1)
            result["saver_libraries"] = shared_libraries(saver.pid)
            result["peer_libraries"] = shared_libraries(peer.pid)
            result["saver_memory_kib"] = memory_kib(saver.pid)
            result["peer_memory_kib"] = memory_kib(peer.pid)
            result["large_memory_kib"] = memory_kib(large.pid)
            wall = t2 - t1
            result["wall_s"] = wall
            for key in c1:
                result[f"{key}_cpu_percent"] = 100.0 * (c2[key] - c1[key]) / wall
            # What start-up cost the saver, for the record (it is not idle cost).
            result["saver_startup_cpu_s"] = c1["saver"]
            result["saver_x_startup_cpu_s"] = c1["saver_x"] - begin_saver_x
            result["peer_x_startup_cpu_s"] = c1["peer_x"] - begin_peer_x
            result["large_startup_cpu_s"] = c1["large"]
            result["large_x_startup_cpu_s"] = c1["large_x"] - begin_large_x
        finally:
            for proc in reversed(procs):
                stop(proc)

    write_result(result, args.out)


if __name__ == "__main__":
    main()
