#!/usr/bin/env python3
"""Draws the host's tray icons (16 and 32 pixels, 32-bit colour) into .ico files.

State 1 (running): green; state 0 (stopped, starting, error): red; state 2 (paused): amber.
The picture is a round badge with a white handset-like bar, readable at 16 x 16.
"""
import os
import struct

def badge(size, rgb):
    px = []
    c = (size - 1) / 2.0
    r = size / 2.0 - 0.5
    for y in range(size):
        row = []
        for x in range(size):
            d = ((x - c) ** 2 + (y - c) ** 2) ** 0.5
            if d > r:
                row.append((0, 0, 0, 0))
                continue
            # a white bar with two rounded ends: the handset
            yy = (y - c) / r
            xx = (x - c) / r
            inside_bar = abs(yy) < 0.22 and abs(xx) < 0.62
            ends = (abs(xx) > 0.4 and abs(xx) < 0.66 and yy > -0.22 and yy < 0.5)
            if inside_bar or ends:
                row.append((255, 255, 255, 255))
            else:
                edge = max(0.0, min(1.0, r - d + 0.5))
                shade = 1.0 - 0.25 * (d / r)
                row.append((int(rgb[0] * shade), int(rgb[1] * shade), int(rgb[2] * shade), int(255 * edge)))
        px.append(row)
    return px

def ico_image(px):
    size = len(px)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = b''.join(bytes((b, g, r, a)) for row in reversed(px) for (r, g, b, a) in row)
    mask_row = ((size + 31) // 32) * 4
    andmask = b''
    for row in reversed(px):
        bits = 0
        out = bytearray(mask_row)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                out[x // 8] |= 0x80 >> (x % 8)
        andmask += bytes(out)
    return header + xor + andmask

def write_ico(path, rgb):
    images = [ico_image(badge(s, rgb)) for s in (16, 32)]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, img in zip((16, 32), images):
        out += struct.pack('<BBBBHHII', s, s, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    out += b''.join(images)
    open(path, 'wb').write(out)

here = os.path.dirname(os.path.abspath(__file__))
write_ico(os.path.join(here, 'StateRunning.ico'), (40, 160, 60))
write_ico(os.path.join(here, 'StateStopped.ico'), (190, 40, 40))
write_ico(os.path.join(here, 'StatePaused.ico'), (220, 150, 20))
