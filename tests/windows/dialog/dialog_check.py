#!/usr/bin/env python3
"""Checks a screenshot of the settings dialog against the program's own bitmaps.

  dialog_check.py SHOT STATE BITMAPS [--ok-face ID] [--cancel-face ID] [--balls-only]

SHOT is a screenshot of the whole screen, STATE what `dialog_probe` printed
for the dialog on it, BITMAPS the folder of the committed bitmaps. Checked:

  * the stadium photograph (bitmap 140) centred in the client area, pixel for
    pixel, wherever no control covers it;
  * each ball button showing its face (OK: bitmap 143, Cancel: 148, or the
    ids given) inside the disc of the mask (138), the photograph outside it,
    and its caption in its colour (cyan, red);
  * the yellow caption above the list and the green information block.

Prints what it measured; exit status 0 when everything holds, 1 when not.
"""

import argparse
import os
import struct
import subprocess
import sys


def load_screenshot(path):
    data = subprocess.run(["convert", path, "-depth", "8", "ppm:-"], check=True,
                          stdout=subprocess.PIPE).stdout
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


def load_bmp(path):
    """(width, height, rows top-down of (r, g, b)) of an uncompressed 1-, 8- or 24-bit BMP."""
    data = open(path, "rb").read()
    offset = struct.unpack_from("<I", data, 10)[0]
    header_size, width, height, _, bits, compression = struct.unpack_from("<IiiHHI", data, 14)
    if compression != 0 or bits not in (1, 8, 24):
        raise ValueError(f"{path}: unsupported bitmap ({bits} bits, compression {compression})")
    colors = []
    if bits <= 8:
        count = struct.unpack_from("<I", data, 46)[0] or (1 << bits)
        table = 14 + header_size
        for i in range(count):
            b, g, r, _ = data[table + 4 * i:table + 4 * i + 4]
            colors.append((r, g, b))
    row_size = (bits * width + 31) // 32 * 4
    rows = []
    for y in range(abs(height)):
        source_row = abs(height) - 1 - y if height > 0 else y
        row = data[offset + source_row * row_size:offset + (source_row + 1) * row_size]
        out = []
        for x in range(width):
            if bits == 24:
                b, g, r = row[3 * x:3 * x + 3]
                out.append((r, g, b))
            elif bits == 8:
                out.append(colors[row[x]])
            else:
                out.append(colors[(row[x // 8] >> (7 - x % 8)) & 1])
        rows.append(out)
    return width, abs(height), rows


def parse_state(path):
    state = {"control": {}, "region": {}}
    for line in open(path, encoding="latin-1"):
        parts = line.split()
        if not parts:
            continue
        key = parts[0]
        if key == "client":
            state["client"] = tuple(int(v) for v in parts[1:5])
        elif key == "control" and len(parts) >= 6:
            state["control"][int(parts[1])] = tuple(int(v) for v in parts[2:6])
        elif key == "region":
            state["region"][int(parts[1])] = tuple(int(v) for v in parts[2:6])
    return state


def trunc_half(value):
    """Half of an integer, truncated toward zero as C's division does."""
    return int(value / 2)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("shot")
    parser.add_argument("state")
    parser.add_argument("bitmaps")
    parser.add_argument("--ok-face", type=int, default=143)
    parser.add_argument("--cancel-face", type=int, default=148)
    parser.add_argument("--balls-only", action="store_true",
                        help="check the faces on the two discs only (a tooltip may cover the rest)")
    args = parser.parse_args()

    sw, sh, rgb = load_screenshot(args.shot)

    def screen(x, y):
        i = (y * sw + x) * 3
        return rgb[i], rgb[i + 1], rgb[i + 2]

    state = parse_state(args.state)
    if "client" not in state:
        print("no client rectangle in the probe's state")
        return 1
    cx, cy, cw, ch = state["client"]
    pw, ph, picture = load_bmp(os.path.join(args.bitmaps, "bmp140.bmp"))
    ox, oy = trunc_half(cw - pw), trunc_half(ch - ph)

    def picture_at(x, y):
        """Photograph pixel at client (x, y), or None where it does not reach."""
        px, py = x - ox, y - oy
        if 0 <= px < pw and 0 <= py < ph:
            return picture[py][px]
        return None

    ok = True
    covered = [r for r in state["control"].values()]

    def under_control(x, y):
        return any(l - 2 <= x < r + 2 and t - 2 <= y < b + 2 for l, t, r, b in covered)

    compared = matched = 0
    for y in range(0 if args.balls_only else ch):
        sy = cy + y
        if not 0 <= sy < sh:
            continue
        for x in range(cw):
            sx = cx + x
            if not 0 <= sx < sw or under_control(x, y):
                continue
            expected = picture_at(x, y)
            if expected is None:
                continue
            compared += 1
            if screen(sx, sy) == expected:
                matched += 1
    share = matched / compared if compared else 0.0
    print(f"photograph: {matched} of {compared} pixels exact ({share:.4f}), placed at ({ox}, {oy})")
    if not args.balls_only and (compared < 100000 or share < 0.995):
        ok = False

    mw, mh, mask = load_bmp(os.path.join(args.bitmaps, "bmp138.bmp"))
    balls = [(1, args.ok_face, (0, 255, 255), "OK"), (2, args.cancel_face, (255, 0, 0), "Cancel")]
    for control_id, face_id, caption_colour, name in balls:
        rect = state["control"].get(control_id)
        if rect is None:
            print(f"{name}: no such control")
            ok = False
            continue
        left, top, right, bottom = rect
        if (right - left, bottom - top) != (mw, mh):
            print(f"{name}: button is {right - left} x {bottom - top}, not the mask's {mw} x {mh}")
            ok = False
        _, _, face = load_bmp(os.path.join(args.bitmaps, f"bmp{face_id}.bmp"))
        inside = inside_hit = outside = outside_hit = caption = 0
        for j in range(min(mh, bottom - top)):
            for i in range(min(mw, right - left)):
                sx, sy = cx + left + i, cy + top + j
                if not (0 <= sx < sw and 0 <= sy < sh):
                    continue
                seen = screen(sx, sy)
                if seen == caption_colour:
                    caption += 1
                if mask[j][i] == (0, 0, 0):
                    inside += 1
                    inside_hit += seen == face[j][i]
                else:
                    expected = picture_at(left + i, top + j)
                    if expected is not None:
                        outside += 1
                        outside_hit += seen == expected
        print(f"{name}: face {face_id} on {inside_hit} of {inside} disc pixels, photograph on "
              f"{outside_hit} of {outside} corner pixels, {caption} caption pixels")
        if inside == 0 or inside_hit < 0.85 * inside:
            ok = False
        if not args.balls_only and (outside == 0 or outside_hit < 0.95 * outside):
            ok = False
        if caption < 10:
            ok = False

    labels = [] if args.balls_only else [(1020, (255, 255, 0), "caption", 20),
                                         (1000, (0, 255, 0), "information block", 80)]
    for control_id, colour, name, least in labels:
        rect = state["control"].get(control_id)
        count = 0
        if rect:
            left, top, right, bottom = rect
            for y in range(top, bottom):
                for x in range(left, right):
                    sx, sy = cx + x, cy + y
                    if 0 <= sx < sw and 0 <= sy < sh and screen(sx, sy) == colour:
                        count += 1
        print(f"{name}: {count} pixels of {colour}")
        if count < least:
            ok = False

    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
