#!/usr/bin/env python3
"""Checks a screenshot of Vemo.scr for what the board should show.

  screen_check.py table PNG            the standings table standing in its columns
  screen_check.py region PNG X Y W H   something drawn (non-black) in the rectangle
  screen_check.py textline PNG         a grey line of text (the status line)
  screen_check.py nonblack PNG         anything drawn at all
  screen_check.py blocks PNG S X W     the strip from x = X, W wide, drawn in S x S
                                       blocks from its corner, with the table in it

Prints what it found; exit status 0 when the check passes, 1 when not.
"""

import subprocess
import sys
from collections import Counter

# Left edges of the nine shown cells of a row, from the table's left x.
COLUMNS = [0, 200, 230, 260, 290, 320, 350, 380, 410]
ROW_PITCH = 17


def load(path):
    data = subprocess.run(["convert", path, "-depth", "8", "ppm:-"], check=True,
                          stdout=subprocess.PIPE).stdout
    # P6 header: magic, width, height, maxval, each separated by blanks.
    fields = []
    pos = 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        start = pos
        while not data[pos:pos + 1].isspace():
            pos += 1
        fields.append(data[start:pos])
    pos += 1
    width, height = int(fields[1]), int(fields[2])
    return width, height, data[pos:pos + width * height * 3]


def pixels(width, height, rgb):
    """Yields (x, y, colour) of every non-black pixel."""
    for i in range(0, width * height * 3, 3):
        r, g, b = rgb[i], rgb[i + 1], rgb[i + 2]
        if r or g or b:
            p = i // 3
            yield p % width, p // width, (r, g, b)


def check_blocks(width, height, rgb, scale, left, strip):
    """Every S x S block of the strip is one colour; the stage inside it,
    sampled one pixel a block, shows the table."""
    if left + strip > width or strip < scale:
        print(f"the screen is {width} wide: no strip of {strip} from x={left}")
        return False
    row_bytes = width * 3
    stage = bytearray()
    for y in range(0, height - height % scale, scale):
        base = rgb[y * row_bytes + left * 3:y * row_bytes + (left + strip) * 3]
        sampled = [base[x * 3:x * 3 + 3] for x in range(0, strip - strip % scale, scale)]
        expanded = b"".join(p * scale for p in sampled)
        for dy in range(scale):
            row = rgb[(y + dy) * row_bytes + left * 3:(y + dy) * row_bytes + left * 3 + len(expanded)]
            if row != expanded:
                print(f"row {y + dy} is not made of {scale}-pixel blocks")
                return False
        stage += b"".join(sampled)
    sw, sh = strip // scale, height // scale
    if not check_table(sw, sh, bytes(stage)):
        return False
    print(f"{strip}x{height} from x={left} in {scale}x{scale} blocks")
    return True


def check_table(width, height, rgb):
    by_colour = {}
    for x, y, c in pixels(width, height, rgb):
        by_colour.setdefault(c, []).append((x, y))
    ranked = sorted(by_colour.items(), key=lambda kv: -len(kv[1]))[:4]
    for colour, points in ranked:
        left = min(x for x, _ in points)
        top = min(y for _, y in points)
        hit = 0
        for j, offset in enumerate(COLUMNS):
            lo = left + offset - 3
            hi = left + (190 if j == 0 else offset + 26)
            if any(lo <= x < hi for x, _ in points):
                hit += 1
        bands = {(y - top) // ROW_PITCH for _, y in points}
        print(f"colour #{colour[0]:02x}{colour[1]:02x}{colour[2]:02x}: {len(points)} pixels, "
              f"{hit} of 9 columns, {len(bands)} rows")
        if hit >= 6 and len(bands) >= 3:
            return True
    return False


def check_region(width, height, rgb, x0, y0, w, h):
    count = 0
    for y in range(max(0, y0), min(height, y0 + h)):
        row = y * width * 3
        for x in range(max(0, x0), min(width, x0 + w)):
            i = row + 3 * x
            if rgb[i] or rgb[i + 1] or rgb[i + 2]:
                count += 1
    print(f"{count} non-black pixels in {w}x{h}+{x0}+{y0}")
    return count >= 20


def check_textline(width, height, rgb):
    cell = 8
    cells = set()
    for x, y, (r, g, b) in pixels(width, height, rgb):
        if r == g == b and r <= 200:
            cells.add((x // cell, y // cell))
    seen = set()
    for start in cells:
        if start in seen:
            continue
        stack = [start]
        seen.add(start)
        xs, ys = [], []
        while stack:
            cx, cy = stack.pop()
            xs.append(cx)
            ys.append(cy)
            for dx in (-1, 0, 1):
                for dy in (-1, 0, 1):
                    n = (cx + dx, cy + dy)
                    if n in cells and n not in seen:
                        seen.add(n)
                        stack.append(n)
        w = (max(xs) - min(xs) + 1) * cell
        h = (max(ys) - min(ys) + 1) * cell
        # A line of text: wider than any picture of the board, one line high.
        if w >= 130 and h <= 32:
            print(f"grey text line {w}x{h} at {min(xs) * cell},{min(ys) * cell}")
            return True
    print(f"no grey text line among {len(cells)} grey cells")
    return False


def main(argv):
    if len(argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    width, height, rgb = load(argv[2])
    if argv[1] == "table":
        ok = check_table(width, height, rgb)
    elif argv[1] == "region" and len(argv) == 7:
        ok = check_region(width, height, rgb, *map(int, argv[3:7]))
    elif argv[1] == "textline":
        ok = check_textline(width, height, rgb)
    elif argv[1] == "blocks" and len(argv) == 6:
        ok = check_blocks(width, height, rgb, *map(int, argv[3:6]))
    elif argv[1] == "nonblack":
        ok = check_region(width, height, rgb, 0, 0, width, height)
    else:
        print(__doc__, file=sys.stderr)
        return 2
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
