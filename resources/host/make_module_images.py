#!/usr/bin/env python3
"""Draws the module list's four 16-pixel row images into one 64 x 16 24-bit bitmap.

Image 0: fixed, switched on (grey frame, grey tick); 1: can be switched off, on (green box,
tick); 2: can be switched off, off (empty box); 3: fixed, switched off (grey box, grey cross).
The background is white.
"""
import os
import struct

W, H = 16, 16
WHITE = (255, 255, 255)

def image(frame, fill, mark, mark_rgb):
    px = [[WHITE] * W for _ in range(H)]
    for y in range(2, 14):
        for x in range(2, 14):
            edge = x in (2, 13) or y in (2, 13)
            px[y][x] = frame if edge else fill
    if mark == 'tick':
        pts = [(4, 8), (5, 9), (6, 10), (7, 9), (8, 8), (9, 7), (10, 6), (11, 5)]
        for x, y in pts:
            for dy in (0, 1):
                px[y + dy][x] = mark_rgb
    elif mark == 'cross':
        for i in range(5, 11):
            px[i][i] = mark_rgb
            px[i][15 - i] = mark_rgb
    return px

images = [
    image((150, 150, 150), (235, 235, 235), 'tick', (120, 120, 120)),
    image((30, 120, 40), (255, 255, 255), 'tick', (30, 140, 40)),
    image((30, 120, 40), (255, 255, 255), None, None),
    image((150, 150, 150), (235, 235, 235), 'cross', (120, 120, 120)),
]

width = W * len(images)
row_bytes = (width * 3 + 3) & ~3
pixels = b''
for y in reversed(range(H)):  # bottom-up rows
    row = b''
    for img in images:
        for x in range(W):
            r, g, b = img[y][x]
            row += bytes((b, g, r))
    pixels += row + b'\0' * (row_bytes - len(row))
info = struct.pack('<IiiHHIIiiII', 40, width, H, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
header = struct.pack('<2sIHHI', b'BM', 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
here = os.path.dirname(os.path.abspath(__file__))
open(os.path.join(here, 'ModuleImages.bmp'), 'wb').write(header + info + pixels)
