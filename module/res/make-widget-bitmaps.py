#!/usr/bin/env python3
"""Draws the settings widgets' bitmaps: the slider thumb (8x16, 24 bits) and the "REC" and "STOP"
button faces (81x26 and 95x26, 8 bits): a rounded grey button on a dark blue ground with its word.
Usage: make-widget-bitmaps.py OUT_DIR"""
import struct
import sys

# 5x7 letters, one string per row, '#' set.
FONT = {
    's': [" ####", "#    ", "#    ", " ### ", "    #", "    #", "#### "],
    't': ["  #  ", "  #  ", "#####", "  #  ", "  #  ", "  #  ", "   ##"],
    'a': [" ### ", "    #", "    #", " ####", "#   #", "#   #", " ####"],
    'r': ["# ## ", "##  #", "#    ", "#    ", "#    ", "#    ", "#    "],
    'o': [" ### ", "#   #", "#   #", "#   #", "#   #", "#   #", " ### "],
    'p': ["#### ", "#   #", "#   #", "#### ", "#    ", "#    ", "#    "],
}
BLUE, GREY, SHADE, LIGHT, INK = 0, 1, 2, 3, 4
PALETTE = [(0x00, 0x00, 0x80), (0xC0, 0xC0, 0xC0), (0x60, 0x60, 0x60), (0xF0, 0xF0, 0xF0), (0x00, 0x00, 0x40)]


def write_bmp(path, width, height, bits, rows, palette=()):
    """rows[y][x], top row first: palette indexes (8 bits) or (r, g, b) (24 bits)."""
    stride = (width * bits // 8 + 3) & ~3
    pixels = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for p in row:
            line += bytes([p]) if bits == 8 else bytes([p[2], p[1], p[0]])
        pixels += line + bytes(stride - len(line))
    colours = b"".join(bytes([b, g, r, 0]) for r, g, b in palette)
    offset = 14 + 40 + len(colours)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(pixels), 2835, 2835, len(palette), 0)
    with open(path, "wb") as f:
        f.write(header + info + colours + pixels)


def thumb():
    grey, dark = (0xB0, 0xB0, 0xB0), (0x30, 0x30, 0x30)
    return [[dark if x in (3, 4) and 2 <= y <= 13 else grey for x in range(8)] for y in range(16)]


def face(width, word, height=26):
    rows = [[BLUE] * width for _ in range(height)]
    left, top, right, bottom, radius = 2, 2, width - 3, height - 3, 4
    for y in range(top, bottom + 1):
        for x in range(left, right + 1):
            dx = max(left + radius - x, 0, x - (right - radius))
            dy = max(top + radius - y, 0, y - (bottom - radius))
            if dx * dx + dy * dy > radius * radius:
                continue  # outside the rounded corners
            edge = x in (left, right) or y in (top, bottom) or dx * dx + dy * dy > (radius - 1) ** 2
            rows[y][x] = (LIGHT if x < (left + right) / 2 and y < (top + bottom) / 2 else SHADE) if edge else GREY
    scale, gap = 2, 2
    text_width = len(word) * 5 * scale + (len(word) - 1) * gap
    x0, y0 = (width - text_width) // 2, (height - 7 * scale) // 2
    for i, letter in enumerate(word):
        for gy, line in enumerate(FONT[letter]):
            for gx, cell in enumerate(line):
                if cell != "#":
                    continue
                for sy in range(scale):
                    for sx in range(scale):
                        rows[y0 + gy * scale + sy][x0 + i * (5 * scale + gap) + gx * scale + sx] = INK
    return rows


def main():
    out = sys.argv[1]
    write_bmp(f"{out}/SliderThumb.bmp", 8, 16, 24, thumb())
    write_bmp(f"{out}/RecButton.bmp", 81, 26, 8, face(81, "start"), PALETTE)
    write_bmp(f"{out}/StopButton.bmp", 95, 26, 8, face(95, "stop"), PALETTE)


if __name__ == "__main__":
    main()
