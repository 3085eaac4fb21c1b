"""Reads the files scorvane render writes, with nothing but the standard
library: a PNG is inflated and unfiltered, a GIF walked block by block and
decompressed, so that the checks see real pixels."""

import struct
import sys
import zlib


def read_png(path):
    data = open(path, "rb").read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    pos, idat, width, height = 8, b"", 0, 0
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
            assert (depth, colour) == (8, 2), "expected 8-bit RGB"
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw = zlib.decompress(idat)
    stride = width * 3
    rows, prev, i = [], bytearray(stride), 0
    for _ in range(height):
        f = raw[i]
        line = bytearray(raw[i + 1:i + 1 + stride])
        i += 1 + stride
        for x in range(stride if f else 0):
            a = line[x - 3] if x >= 3 else 0
            b = prev[x]
            c = prev[x - 3] if x >= 3 else 0
            if f == 1:
                line[x] = (line[x] + a) & 0xFF
            elif f == 2:
                line[x] = (line[x] + b) & 0xFF
            elif f == 3:
                line[x] = (line[x] + (a + b) // 2) & 0xFF
            elif f == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                pred = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
                line[x] = (line[x] + pred) & 0xFF
        rows.append(bytes(line))
        prev = line
    return width, height, rows


def lzw(data, min_size):
    clear, end = 1 << min_size, (1 << min_size) + 1
    bits = int.from_bytes(data, "little")
    total = len(data) * 8
    pos, size, table, prev, out = 0, min_size + 1, None, None, bytearray()
    while pos + size <= total:
        code = (bits >> pos) & ((1 << size) - 1)
        pos += size
        if code == clear:
            table = [bytes([i]) for i in range(clear)] + [b"", b""]
            size, prev = min_size + 1, None
            continue
        if code == end:
            return bytes(out)
        if code < len(table):
            entry = table[code]
        elif code == len(table) and prev is not None:
            entry = prev + prev[:1]
        else:
            raise AssertionError("bad code")
        out += entry
        if prev is not None and len(table) < 4096:
            table.append(prev + entry[:1])
            if len(table) == (1 << size) and size < 12:
                size += 1
        prev = entry
    raise AssertionError("no end code")


def read_gif(path):
    data = open(path, "rb").read()
    assert data[:6] == b"GIF89a", "not a GIF89a"
    width, height, flags = struct.unpack("<HHB", data[6:11])
    pos = 13 + (3 * (2 << (flags & 7)) if flags & 0x80 else 0)
    screen = bytearray(width * height * 3)
    frames, delays, delay = [], [], 0
    while True:
        b = data[pos]
        pos += 1
        if b == 0x3B:
            return width, height, frames, delays
        if b == 0x21:
            label = data[pos]
            pos += 1
            if label == 0xF9:
                delay = struct.unpack("<H", data[pos + 2:pos + 4])[0]
            while data[pos]:
                pos += data[pos] + 1
            pos += 1
            continue
        assert b == 0x2C, "unexpected block"
        left, top, w, h, packed = struct.unpack("<HHHHB", data[pos:pos + 9])
        pos += 9
        n = 2 << (packed & 7)
        table = data[pos:pos + 3 * n]
        pos += 3 * n
        min_size = data[pos]
        pos += 1
        chunks = bytearray()
        while data[pos]:
            chunks += data[pos + 1:pos + 1 + data[pos]]
            pos += data[pos] + 1
        pos += 1
        indices = lzw(bytes(chunks), min_size)
        assert len(indices) == w * h, "short image data"
        for y in range(h):
            for x in range(w):
                k = indices[y * w + x]
                o = ((top + y) * width + left + x) * 3
                screen[o:o + 3] = table[3 * k:3 * k + 3]
        frames.append(bytes(screen))
        delays.append(delay)


def summary_png(path):
    width, height, rows = read_png(path)
    pixels = b"".join(rows)
    colours = {pixels[i:i + 3] for i in range(0, len(pixels), 3)}
    black = sum(1 for i in range(0, len(pixels), 3) if pixels[i:i + 3] == b"\0\0\0")
    print(f"png {width}x{height} colours={len(colours)} black={black} total={width * height}")


def blown_up(big_path, small_path, scale):
    """Whether the big PNG is the small one with every pixel an
    scale x scale block (black where the small one does not reach)."""
    bw, bh, big = read_png(big_path)
    sw, sh, small = read_png(small_path)
    wrong, rows = 0, {}
    for y in range(bh):
        if y // scale not in rows:
            src, want = small[y // scale] if y // scale < sh else b"", bytearray(bw * 3)
            for x in range(min(sw, bw // scale) if src else 0):
                want[x * scale * 3:(x + 1) * scale * 3] = src[x * 3:x * 3 + 3] * scale
            rows[y // scale] = bytes(want)
        wrong += big[y] != rows[y // scale]
    print(f"blown {bw}x{bh} from {sw}x{sh} wrongrows={wrong}")


def summary_gif(path):
    width, height, frames, delays = read_gif(path)
    last = frames[-1] if frames else b""
    nonblack = sum(1 for i in range(0, len(last), 3) if last[i:i + 3] != b"\0\0\0")
    print(f"gif {width}x{height} frames={len(frames)} delays={','.join(map(str, delays))} "
          f"lastnonblack={nonblack}")


def same_pixels(png_path, gif_path):
    """Share of the pixels of the PNG that the GIF's last frame shows alike
    (a GIF frame of more than 256 colours is quantised)."""
    _, _, rows = read_png(png_path)
    _, _, frames, _ = read_gif(gif_path)
    png, gif = b"".join(rows), frames[-1]
    alike = sum(1 for i in range(0, len(png), 3) if png[i:i + 3] == gif[i:i + 3])
    print(f"alike {alike} of {len(png) // 3}")


if __name__ == "__main__":
    if sys.argv[1] == "png":
        summary_png(sys.argv[2])
    elif sys.argv[1] == "blown":
        blown_up(sys.argv[2], sys.argv[3], int(sys.argv[4]))
    elif sys.argv[1] == "gif":
        summary_gif(sys.argv[2])
    else:
        same_pixels(sys.argv[2], sys.argv[3])
