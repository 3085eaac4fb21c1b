# Crawls a standings site from its root page as a browser would walk it:
# site_crawl.py BASE_URL [--list FILE]. Every link, image, icon and style
# sheet of every page reached must answer 200 with its type; links that leave
# the site may only be the results' project and its licence. Every page gets
# the accessible basics (lang, one h1, alt texts, tables with a caption and
# scoped header cells, so none is a layout table), and the style sheet's
# colour pairs WCAG AA contrast in the light and the dark scheme. Prints one
# line of figures; with --list, writes the address of every page reached.
# Exits 1 naming every fault.
import argparse
import re
import sys
import urllib.error
import urllib.parse
import urllib.request
from html.parser import HTMLParser

OUTSIDE = {
    "https://github.com/openfootball/football.json",
    "https://creativecommons.org/publicdomain/zero/1.0/",
}
TYPES = {".css": "text/css", ".svg": "image/svg+xml", ".html": "text/html", "/": "text/html"}
# Each text colour on each ground it is drawn on.
PAIRS = [("text", g) for g in ("ground", "surface", "stripe", "hover")] + \
        [("muted", g) for g in ("ground", "surface", "stripe", "hover")] + \
        [("accent", "ground"), ("accent", "surface"), ("bar-text", "bar")]

faults = []
opener = urllib.request.build_opener(urllib.request.ProxyHandler({}))


def fetch(url):
    try:
        with opener.open(url, timeout=10) as answer:
            return answer.status, answer.headers.get("Content-Type", ""), answer.read()
    except urllib.error.HTTPError as e:
        return e.code, "", b""


class Page(HTMLParser):
    """What one page links to, and what it does wrong."""

    def __init__(self, url):
        super().__init__(convert_charrefs=True)
        self.url, self.links, self.problems = url, [], []
        self.lang = None
        self.h1 = 0
        self.tables = []  # per table: [caption seen, header cells, header cells without scope]
        self.previous = None

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if tag == "html":
            self.lang = a.get("lang")
        elif tag == "h1":
            self.h1 += 1
        elif tag in ("a", "link") and "href" in a:
            self.links.append(a["href"])
        elif tag in ("img", "script") and "src" in a:
            self.links.append(a["src"])
        if tag == "img" and "alt" not in a:
            self.problems.append(f"an image without alt: {a.get('src')}")
        if tag == "table":
            self.tables.append([False, 0, 0])
        elif tag == "caption" and self.tables:
            # The caption must be the table's first child.
            self.tables[-1][0] = self.previous == "table"
        elif tag == "th" and self.tables:
            self.tables[-1][1] += 1
            if a.get("scope") not in ("col", "row", "colgroup", "rowgroup"):
                self.tables[-1][2] += 1
        self.previous = tag

    def check(self):
        if self.lang != "en":
            self.problems.append(f"lang is {self.lang!r}")
        if self.h1 != 1:
            self.problems.append(f"{self.h1} h1 headings")
        for i, (caption, headers, unscoped) in enumerate(self.tables, 1):
            if not caption:
                self.problems.append(f"table {i} has no caption")
            if headers == 0:
                self.problems.append(f"table {i} has no header cells: a layout table")
            if unscoped:
                self.problems.append(f"table {i}: {unscoped} header cells without scope")
        return self.problems


def luminance(hex_colour):
    channels = [int(hex_colour[i:i + 2], 16) / 255 for i in (1, 3, 5)]
    linear = [c / 12.92 if c <= 0.03928 else ((c + 0.055) / 1.055) ** 2.4 for c in channels]
    return 0.2126 * linear[0] + 0.7152 * linear[1] + 0.0722 * linear[2]


def check_contrast(css):
    light = dict(re.findall(r"--([a-z-]+):\s*(#[0-9a-f]{6});", css.split("@media (prefers-color-scheme: dark)")[0]))
    dark_block = re.search(r"@media \(prefers-color-scheme: dark\)\s*\{(.*?)\}\s*\}", css, re.S)
    if not dark_block:
        faults.append("style sheet: no dark scheme")
        return 0
    dark = dict(light, **dict(re.findall(r"--([a-z-]+):\s*(#[0-9a-f]{6});", dark_block.group(1))))
    checked = 0
    for scheme, colours in (("light", light), ("dark", dark)):
        for fg, bg in PAIRS:
            if fg not in colours or bg not in colours:
                faults.append(f"style sheet: no --{fg} or --{bg} in the {scheme} scheme")
                continue
            a, b = sorted((luminance(colours[fg]), luminance(colours[bg])), reverse=True)
            ratio = (a + 0.05) / (b + 0.05)
            if ratio < 4.5:
                faults.append(f"style sheet: --{fg} on --{bg} in the {scheme} scheme: contrast {ratio:.2f} < 4.5")
            checked += 1
    return checked


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("base")
    parser.add_argument("--list")
    args = parser.parse_args()
    base = args.base.rstrip("/") + "/"
    origin = urllib.parse.urlsplit(base).netloc
    queue, seen, pages, files, outside, pairs = [base], {base}, [], 0, set(), 0
    while queue:
        url = queue.pop(0)
        status, ctype, body = fetch(url)
        path = urllib.parse.urlsplit(url).path
        want = next((t for end, t in TYPES.items() if path.endswith(end)), None)
        if status != 200:
            faults.append(f"{url}: status {status}")
            continue
        if want is None or not ctype.startswith(want):
            faults.append(f"{url}: type {ctype!r}")
            continue
        files += 1
        if want == "text/css":
            pairs = check_contrast(body.decode("utf-8"))
        if want != "text/html":
            continue
        pages.append(url)
        page = Page(url)
        page.feed(body.decode("iso-8859-1"))
        faults.extend(f"{url}: {p}" for p in page.check())
        for link in page.links:
            target = urllib.parse.urljoin(url, link).split("#")[0]
            parts = urllib.parse.urlsplit(target)
            if parts.scheme in ("http", "https") and parts.netloc != origin:
                outside.add(target)
                if target not in OUTSIDE:
                    faults.append(f"{url}: a link out of the site to {target}")
            elif parts.scheme != "http":
                faults.append(f"{url}: a link to {link}")
            elif target not in seen:
                seen.add(target)
                queue.append(target)
    if args.list:
        with open(args.list, "w") as f:
            f.writelines(p + "\n" for p in pages)
    for fault in faults:
        print(f"site_crawl: {fault}", file=sys.stderr)
    print(f"{len(pages)} pages, {files - len(pages)} other files, {len(outside)} links out, {pairs} colour pairs")
    return 1 if faults else 0


sys.exit(main())
