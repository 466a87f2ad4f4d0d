#!/usr/bin/env python3
"""Draws the program icon (a stack of clipboard pages) into Pagekeep.ico.

The drawing is resolution independent: each size is rendered from the same
shapes with 4x4 supersampling, so small sizes stay crisp. Run it after
changing the drawing and commit the .ico beside it.
"""
import struct
import sys

SIZES = [16, 20, 24, 32, 48, 256]
BLUE = (0x4F, 0x8B, 0xC1)
DARK = (0x2E, 0x5E, 0x8C)
PAPER = (0xFF, 0xFF, 0xFF)
LINE = (0x92, 0x92, 0x92)


def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


# Shapes in a 0..1 unit square, painted in order (later ones on top).
SHAPES = [
    (rounded_rect(0.22, 0.04, 0.96, 0.80, 0.08), DARK),     # back page
    (rounded_rect(0.04, 0.16, 0.80, 0.96, 0.08), BLUE),     # front page
    (rounded_rect(0.13, 0.27, 0.71, 0.87, 0.04), PAPER),    # its sheet
    (rounded_rect(0.20, 0.38, 0.64, 0.45, 0.02), LINE),     # text lines
    (rounded_rect(0.20, 0.53, 0.64, 0.60, 0.02), LINE),
    (rounded_rect(0.20, 0.68, 0.50, 0.75, 0.02), LINE),
]


def render(size, ss=4):
    pixels = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(ss):
                for sx in range(ss):
                    x = (px + (sx + 0.5) / ss) / size
                    y = (py + (sy + 0.5) / ss) / size
                    colour = None
                    for inside, c in SHAPES:
                        if inside(x, y):
                            colour = c
                    if colour:
                        acc[0] += colour[0]
                        acc[1] += colour[1]
                        acc[2] += colour[2]
                        acc[3] += 1
            n = ss * ss
            a = acc[3] / n
            if acc[3]:
                rgb = [round(acc[i] / acc[3]) for i in range(3)]
            else:
                rgb = [0, 0, 0]
            row.append((rgb[0], rgb[1], rgb[2], round(a * 255)))
        pixels.append(row)
    return pixels


def bmp_entry(size, pixels):
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = bytearray()
    for row in reversed(pixels):
        for r, g, b, a in row:
            xor += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    and_mask = bytearray()
    for row in reversed(pixels):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        and_mask += bits
    return header + bytes(xor) + bytes(and_mask)


def main(out):
    images = [bmp_entry(s, render(s, 4 if s <= 48 else 2)) for s in SIZES]
    data = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, img in zip(SIZES, images):
        dim = 0 if s >= 256 else s
        data += struct.pack('<BBBBHHII', dim, dim, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    for img in images:
        data += img
    with open(out, 'wb') as f:
        f.write(data)


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else 'Pagekeep.ico')
