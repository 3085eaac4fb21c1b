#!/usr/bin/env python3
"""The one table of `make bench`: measure, Scorvane, peer, ratio, goal, met.

Reads the JSON of scorvane_bench (Google Benchmark's --benchmark_out), of
saver_run.py and of serve_peer.py. Every ratio is taken between figures of
the same run. Parsing figures are CPU time, the median of the repetitions;
MB is 10^6 bytes, MiB 2^20.

  table.py [BENCH.json SAVER.json] [--http HTTP.json] [--markdown FILE]
"""

import argparse
import json
import sys


class Figures:
    def __init__(self, path):
        with open(path) as f:
            self.runs = json.load(f)["benchmarks"]

    def get(self, name):
        """The entry of benchmark `name`: its median when it was repeated."""
        plain = None
        for run in self.runs:
            run_name = run.get("run_name", run["name"])
            if run_name != name and not run_name.startswith(name + "/"):
                continue
            if run.get("run_type") == "aggregate":
                if run.get("aggregate_name") == "median":
                    return run
            elif plain is None:
                plain = run
        if plain is None:
            raise KeyError(name)
        return plain

    def seconds(self, name):
        run = self.get(name)
        scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[run["time_unit"]]
        return run["cpu_time"] * scale

    def rate(self, name):
        """MB/s of CPU time."""
        return self.get(name)["input_bytes"] / self.seconds(name) / 1e6

    def counter(self, name, key):
        return self.get(name)[key]

    def has(self, name):
        try:
            self.get(name)
            return True
        except KeyError:
            return False


def ms(seconds):
    value = seconds * 1e3
    if value >= 100:
        return f"{value:.0f} ms"
    if value >= 1:
        return f"{value:.1f} ms"
    return f"{value:.3f} ms"


def us(value):
    return f"{value:.0f} us" if value >= 10 else f"{value:.1f} us"


def size(n):
    if n >= 1e6:
        return f"{n / 1e6:.1f} MB"
    if n >= 1e3:
        return f"{n / 1e3:.1f} kB"
    return f"{n:.0f} B"


def times(x):
    if x >= 100:
        return f"{x:.0f}x"
    if x >= 10:
        return f"{x:.1f}x"
    return f"{x:.2f}x"


def verdict(ok):
    return "yes" if ok else "NO"


def http_rows(h):
    """`scorvane serve` against nginx on the same page."""
    rows = []
    limit = h["limit"]
    ours, theirs = h["sides"]["serve"], h["sides"]["nginx"]
    for c in sorted(ours, key=int):
        n = int(c)
        a, b = ours[c], theirs[c]
        ratio = a["rps_median"] / b["rps_median"] if b["rps_median"] else 0.0
        goal = ">= 0.5x" if n == 32 else "(no goal)"
        where = "below" if n < limit else "at" if n == limit else "above"
        rows.append((f"serve vs nginx (1 worker), page {size(h['bytes'])}, {n} connections ({where} the limit of "
                     f"{limit}): requests/s, median of {h['rounds']}", f"{a['rps_median']:.0f}",
                     f"{b['rps_median']:.0f}", times(ratio), goal, verdict(ratio >= 0.5) if n == 32 else "-"))
        errors = sum(a["socket_errors"].values())
        peer_errors = sum(b["socket_errors"].values())
        if n <= limit:
            goal, met = "0 / 0", verdict(a["non200"] == 0 and errors == 0)
        else:
            goal, met = "busy (503) / 0", verdict(errors == 0)
        rows.append((f"same: answers other than 200 / socket errors, of {a['requests']} and {b['requests']}",
                     f"{a['non200']} / {errors}", f"{b['non200']} / {peer_errors}", "-", goal, met))
        rows.append(("same: server CPU per request", us(a["cpu_us_per_request"]), us(b["cpu_us_per_request"]),
                     times(a["cpu_us_per_request"] / b["cpu_us_per_request"]) if b["cpu_us_per_request"] else "-",
                     "(no goal)", "-"))
    return rows


def build_rows(b, s):
    rows = []

    def row(measure, ours, peer, ratio, goal, met):
        rows.append((measure, ours, peer, ratio, goal, met))

    # Parsing: the same job on the same bytes.
    for page, label in (("typical", "typical page (\"ger\", {})"), ("large", "large page ({})")):
        label = label.format(size(b.counter(f"parse/{page}/saver", "input_bytes")))
        ours = b.rate(f"parse/{page}/saver")
        for peer, name, goal in (("libxml2_sax", "libxml2 SAX", 12), ("gumbo", "gumbo", 30)):
            theirs = b.rate(f"parse/{page}/{peer}")
            r = ours / theirs
            row(f"parse {label}: throughput vs {name}", f"{ours:.0f} MB/s", f"{theirs:.0f} MB/s", times(r),
                f">= {goal}x", verdict(r >= goal))
        ceiling = b.rate(f"parse/{page}/memchr")
        row(f"parse {label}: share of a memchr scan", f"{ours:.0f} MB/s", f"{ceiling:.0f} MB/s",
            times(ours / ceiling), "(ceiling)", "-")

    for pattern, label in (("quote", "<a b=\""), ("equals", "<a =")):
        t8 = b.seconds(f"parse/{pattern}_8MiB/saver")
        t16 = b.seconds(f"parse/{pattern}_16MiB/saver")
        scan = b.seconds(f"parse/{pattern}_8MiB/memchr")
        row(f"parse 8 MiB of '{label}' (peer: memchr)", ms(t8), ms(scan), times(t8 / scan), "< 100 ms",
            verdict(t8 < 0.1))
        row(f"parse '{label}': 16 MiB vs 8 MiB", ms(t16), ms(t8), times(t16 / t8), "about 2x (<= 2.5x)",
            verdict(t16 / t8 <= 2.5))

    t1 = b.seconds("parse/attr_distinct_1MiB/saver")
    t2 = b.seconds("parse/attr_distinct_2MiB/saver")
    row("parse 1 MiB attribute of distinct references, saver's handler", ms(t1), "-", "-", "< 100 ms",
        verdict(t1 < 0.1))
    row("same, 2 MiB vs 1 MiB", ms(t2), ms(t1), times(t2 / t1), "about 2x (<= 2.5x)", verdict(t2 / t1 <= 2.5))
    read = b.seconds("parse/attr_common_1MiB/reader")
    skip = b.seconds("parse/attr_common_1MiB/saver")
    row("1 MiB attribute of common references: handler reading it (peer: saver's handler)", ms(read), ms(skip),
        times(read / skip), "(no goal)", "-")
    read2 = b.seconds("parse/attr_common_2MiB/reader")
    row("same reading handler, 2 MiB vs 1 MiB", ms(read2), ms(read), times(read2 / read), "(no goal)", "-")
    q32 = b.seconds("parse/attr_distinct_32KiB/reader")
    q64 = b.seconds("parse/attr_distinct_64KiB/reader")
    row("reading distinct references: 64 KiB vs 32 KiB (1 MiB extrapolated: "
        f"{q64 * (16 ** 2):.0f} s)", ms(q64), ms(q32), times(q64 / q32), "(inherent, no goal)", "-")

    # Memory: growth of the heap during the parse, the input made before.
    def memory(name, label, peer=None):
        peak = b.counter(name, "peak_bytes")
        longest = b.counter(name, "longest_text_bytes")
        theirs = size(b.counter(peer, "peak_bytes")) if peer else "-"
        factor = peak / longest if longest else 0.0
        row(f"heap beyond input / longest text ({size(longest)}): {label}", size(peak), theirs, times(factor),
            "<= 4x longest text", verdict(factor <= 4))

    memory("memory/typical/tokenizer", "typical page", "memory/typical/libxml2_sax")
    memory("memory/large/tokenizer", "large page", "memory/large/libxml2_sax")
    memory("memory/quote_8MiB/saver", "8 MiB '<a b=\"'")
    memory("memory/equals_8MiB/saver", "8 MiB '<a ='")
    memory("memory/attr_distinct_1MiB/saver", "1 MiB attribute, saver's handler")
    memory("memory/attr_common_1MiB/reader", "1 MiB attribute, reading handler")
    kept = b.counter("memory/large/saver", "kept_bytes")
    row(f"heap beyond input, large page with the extractor (rows kept: {size(kept)})",
        size(b.counter("memory/large/saver", "peak_bytes")), size(b.counter("memory/large/libxml2_sax", "peak_bytes")),
        "-", "(rows are output)", "-")

    # Frame cost.
    inc, full = "frame/incremental", "frame/full_repaint"
    median = b.counter(inc, "median_us")
    full_median = b.counter(full, "median_us")
    frames = int(b.counter(inc, "frames"))
    row(f"frame 1920x1080, 21 rows, median CPU ({frames} frames; peer: full repaint)", us(median), us(full_median),
        times(median / full_median), "<= 50 us", verdict(median <= 50))
    row("frame: full repaint / incremental (medians)", us(full_median), us(median), times(full_median / median),
        ">= 20x", verdict(full_median / median >= 20))
    row("frame: 99th percentile CPU", us(b.counter(inc, "p99_us")), us(b.counter(full, "p99_us")),
        times(b.counter(inc, "p99_us") / b.counter(full, "p99_us")), "(no goal)", "-")
    noskip = "frame/no_skip"
    row("frame: mean CPU (peer: the same canvas drawing repeated draws again)", us(b.counter(inc, "mean_us")),
        us(b.counter(noskip, "mean_us")), times(b.counter(inc, "mean_us") / b.counter(noskip, "mean_us")),
        "(no goal)", "-")
    row("frame: median CPU, same peer", us(median), us(b.counter(noskip, "median_us")),
        times(median / b.counter(noskip, "median_us")), "(no goal)", "-")
    row(f"frame: draws left out as repeated (mean per frame)", f"{b.counter(inc, 'skipped_per_frame'):.0f}", "0",
        "-", "(no goal)", "-")
    row("frame: pixels reported changed, mean per frame (peer: full repaint)",
        f"{b.counter(inc, 'reported_px_per_frame') / 1000:.1f} k", f"{b.counter(full, 'reported_px_per_frame') / 1000:.0f} k",
        times(b.counter(inc, "reported_px_per_frame") / b.counter(full, "reported_px_per_frame")), "(no goal)", "-")
    row("frame: share of frames that change no pixel", f"{100 * b.counter(inc, 'idle_share'):.0f}%", "-", "-",
        "(sends nothing)", "-")
    cold = "frame/cold"
    if b.has(cold):
        row("frame after a sweep of the caches, as the running saver's (peer: warm), mean CPU",
            us(b.counter(cold, "mean_us")), us(b.counter(inc, "mean_us")),
            times(b.counter(cold, "mean_us") / b.counter(inc, "mean_us")), "(no goal)", "-")
        row("same, median CPU", us(b.counter(cold, "median_us")), us(median), times(b.counter(cold, "median_us") / median),
            "(no goal)", "-")
    builds = int(b.counter(inc, "build_frames"))
    worst = b.counter(inc, "build_max_us")
    row(f"frame that builds a scene: worst of {builds} (median {us(b.counter(inc, 'build_median_us'))})", us(worst),
        us(b.counter(full, "build_max_us")), times(worst / b.counter(full, "build_max_us")), "<= 1 ms",
        verdict(worst <= 1000))

    # The running saver.
    peer = s["peer"]
    cpu, peer_cpu = s["saver_cpu_percent"], s["peer_cpu_percent"]
    row(f"vemo /s {s['size']}, {s['seconds']:.0f} s: CPU of the saver (peer: {peer})", f"{cpu:.2f}% core",
        f"{peer_cpu:.2f}% core", times(cpu / peer_cpu) if peer_cpu > 0 else "-", "<= 0.7% core", verdict(cpu <= 0.7))
    xs, xp = s["saver_x_cpu_percent"], s["peer_x_cpu_percent"]
    row("CPU of the X server (Xvfb) it causes", f"{xs:.2f}% core", f"{xp:.2f}% core",
        times(xs / xp) if xp > 0 else "-", "<= peer's", verdict(xs <= xp))
    both, peer_both = cpu + xs, peer_cpu + xp
    row("CPU of the client and its X server together", f"{both:.2f}% core", f"{peer_both:.2f}% core",
        times(both / peer_both) if peer_both > 0 else "-", "< peer's", verdict(both < peer_both))
    if "saver_wakeups_per_s" in s:
        wake, peer_wake = s["saver_wakeups_per_s"], s["peer_wakeups_per_s"]
        row("wake-ups per second (voluntary context switches)", f"{wake:.1f}", f"{peer_wake:.1f}",
            times(wake / peer_wake) if peer_wake > 0 else "-", "one a frame (50)", verdict(wake <= 52))
    if "saver_libraries" in s:
        libs, peer_libs = len(s["saver_libraries"]), len(s["peer_libraries"])
        row("shared libraries mapped (/proc/PID/maps)", str(libs), str(peer_libs), times(libs / peer_libs),
            "<= 30", verdict(libs <= 30))
    hwm, peer_hwm = s["saver_memory_kib"]["VmHWM"], s["peer_memory_kib"]["VmHWM"]
    row("peak resident memory (VmHWM)", size(hwm * 1024), size(peer_hwm * 1024), times(hwm / peer_hwm),
        "<= 16 MB", verdict(hwm * 1024 <= 16e6))
    if "large_cpu_percent" in s:
        # A large screen at a scale against the first vemo, in the same run:
        # the stage is no larger, so neither should the cost be.
        large, large_hwm = s["large_cpu_percent"], s["large_memory_kib"]["VmHWM"]
        # The first vemo's scale, as its trace's first line says it.
        words = s.get("presentation", "").split()
        small_scale = words[words.index("scale") + 1] if "scale" in words[:-1] else "1"
        row(f"vemo /s {s['large_size']} at scale {s['large_scale']}: CPU of the saver "
            f"(peer: vemo /s {s['size']} at scale {small_scale})",
            f"{large:.2f}% core", f"{cpu:.2f}% core", times(large / cpu) if cpu > 0 else "-", "<= 1.1x",
            verdict(cpu > 0 and large <= 1.1 * cpu))
        lx = s["large_x_cpu_percent"]
        row("same: CPU of the X server (Xvfb) it causes", f"{lx:.2f}% core", f"{xs:.2f}% core",
            times(lx / xs) if xs > 0 else "-", "(no goal)", "-")
        row("same: peak resident memory (VmHWM)", size(large_hwm * 1024), size(hwm * 1024), times(large_hwm / hwm),
            "<= 1.1x", verdict(large_hwm <= 1.1 * hwm))
    f1, f2 = s["startup_frame1_median_ms"], s["startup_frame2_median_ms"]
    runs = len(s["startup_frame1_ms"])
    row(f"exec to first presented frame, download included (median of {runs})", f"{f1:.0f} ms", "-", "-",
        "<= 100 ms", verdict(f1 <= 100))
    row("exec to first frame with boxes on it (frame 2)", f"{f2:.0f} ms", "-", "-", "<= 100 ms", verdict(f2 <= 100))
    return rows


HEADER = ("measure", "Scorvane", "peer", "ratio", "goal", "met")


def plain(rows):
    widths = [max(len(r[i]) for r in [HEADER] + rows) for i in range(len(HEADER))]
    lines = []
    for n, r in enumerate([HEADER] + rows):
        lines.append("  ".join(cell.ljust(widths[i]) if i == 0 else cell.rjust(widths[i]) if i < 4 else
                               cell.ljust(widths[i]) for i, cell in enumerate(r)).rstrip())
        if n == 0:
            lines.append("  ".join("-" * w for w in widths))
    return "\n".join(lines)


def markdown(rows):
    def esc(cell):
        return cell.replace("|", "\\|").replace("<", "&lt;")
    lines = ["| " + " | ".join(HEADER) + " |", "|" + "|".join(["---", "---:", "---:", "---:", "---", "---"]) + "|"]
    for r in rows:
        lines.append("| " + " | ".join(esc(c) for c in r) + " |")
    return "\n".join(lines)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("bench_json", nargs="?")
    parser.add_argument("saver_json", nargs="?")
    parser.add_argument("--http", help="the figures of serve_peer.py")
    parser.add_argument("--markdown", help="also write the table as Markdown to this file")
    args = parser.parse_args()
    if (args.bench_json is None) != (args.saver_json is None) or (args.bench_json is None and args.http is None):
        parser.error("BENCH.json and SAVER.json go together, and one of them or --http is needed")
    rows = []
    if args.bench_json is not None:
        with open(args.saver_json) as f:
            saver = json.load(f)
        try:
            rows = build_rows(Figures(args.bench_json), saver)
        except KeyError as missing:
            print(f"table.py: no figure for {missing} in {args.bench_json}", file=sys.stderr)
            return 1
    if args.http is not None:
        with open(args.http) as f:
            rows += http_rows(json.load(f))
    print(plain(rows))
    if args.markdown:
        with open(args.markdown, "w") as f:
            f.write(markdown(rows) + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
