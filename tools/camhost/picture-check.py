#!/usr/bin/env python3
"""Checks that a screenshot shows the camera simulator's test picture in a live view.

Usage: picture-check.py SHOT.bmp X,Y,W,H

X,Y,W,H is the live view's window in the screenshot. The simulator's picture has a white band over
the top quarter (digits and a moving square in it) and four bars below it, left to right red,
green, blue and grey; the view stretches it to its window. Each area is sampled away from its edges
and from the overlay texts; the check passes when nearly every sampled pixel is near the area's colour.
"""
import struct
import sys

TOLERANCE = 48       # per channel, for JPEG and scaling
MIN_SHARE = 0.95     # of the sampled pixels

# (name, expected RGB, x0, x1, y0, y1) as fractions of the view.
AREAS = [
    ("white band", (255, 255, 255), 0.05, 0.45, 0.200, 0.240),
    ("red bar", (255, 0, 0), 0.0625, 0.1875, 0.40, 0.90),
    ("green bar", (0, 255, 0), 0.3125, 0.4375, 0.40, 0.90),
    ("blue bar", (0, 0, 255), 0.5625, 0.6875, 0.40, 0.90),
    ("grey bar", (128, 128, 128), 0.8125, 0.9375, 0.40, 0.90),
]


def read_bmp(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] != b"BM" or len(data) < 54:
        raise ValueError("not a BMP file")
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    bits = struct.unpack_from("<H", data, 28)[0]
    compression = struct.unpack_from("<I", data, 30)[0]
    if bits not in (24, 32) or compression not in (0, 3) or width <= 0 or height == 0:
        raise ValueError("unsupported BMP (%d bits, compression %d)" % (bits, compression))
    step = bits // 8
    stride = (width * step + 3) & ~3
    rows = abs(height)
    if offset + stride * rows > len(data):
        raise ValueError("BMP file too short")

    def pixel(x, y):
        row = rows - 1 - y if height > 0 else y
        i = offset + row * stride + x * step
        return data[i + 2], data[i + 1], data[i]

    return width, rows, pixel


def main(argv):
    if len(argv) != 3:
        sys.stderr.write(__doc__)
        return 2
    try:
        vx, vy, vw, vh = (int(v) for v in argv[2].split(","))
        width, height, pixel = read_bmp(argv[1])
    except (ValueError, OSError) as e:
        print("picture-check: %s" % e)
        return 2
    if vw <= 0 or vh <= 0 or vx < 0 or vy < 0 or vx + vw > width or vy + vh > height:
        print("picture-check: the view %s is not inside the %dx%d screenshot" % (argv[2], width, height))
        return 2
    shown = True
    for name, want, fx0, fx1, fy0, fy1 in AREAS:
        x0, x1 = vx + int(vw * fx0), vx + max(int(vw * fx1), int(vw * fx0) + 1)
        y0, y1 = vy + int(vh * fy0), vy + max(int(vh * fy1), int(vh * fy0) + 1)
        total = near = 0
        sums = [0, 0, 0]
        for y in range(y0, y1, 2):
            for x in range(x0, x1, 2):
                p = pixel(x, y)
                total += 1
                sums = [s + c for s, c in zip(sums, p)]
                if all(abs(c - w) <= TOLERANCE for c, w in zip(p, want)):
                    near += 1
        share = near / total
        mean = tuple(round(s / total) for s in sums)
        ok = share >= MIN_SHARE
        shown = shown and ok
        print("%-10s mean %3d,%3d,%3d  near %s: %5.1f%%  %s" % (name, mean[0], mean[1], mean[2],
                                                            "%d,%d,%d" % want, 100 * share, "ok" if ok else "WRONG"))
    print("picture: %s" % ("the camera's colour bars" if shown else "not the camera's picture"))
    return 0 if shown else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
