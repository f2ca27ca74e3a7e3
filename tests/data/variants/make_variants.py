#!/usr/bin/env python3
"""Writes the hand-made variants of this folder from source.ppm and the others:
RLE4 BMP, top-down 24-bit BMP, RLE8 cut short, version-3 PCX, PCX cut short."""
import struct

def read_ppm(path):
    data = open(path, 'rb').read()
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    w, h = int(fields[1]), int(fields[2])
    px = data[pos + 1:]
    return w, h, [[tuple(px[(y * w + x) * 3:(y * w + x) * 3 + 3]) for x in range(w)] for y in range(h)]

def bmp(w, h, bits, comp, palette, data, top_down=False):
    off = 14 + 40 + len(palette)
    head = b'BM' + struct.pack('<IHHI', off + len(data), 0, 0, off)
    info = struct.pack('<IiiHHIIiiII', 40, w, -h if top_down else h, 1, bits, comp, len(data),
                       3780, 3780, len(palette) // 4, 0)
    return head + info + palette + data

w, h, rows = read_ppm('source.ppm')
colours = sorted({p for row in rows for p in row})
palette = b''.join(bytes([b, g, r, 0]) for r, g, b in colours)
index = {c: i for i, c in enumerate(colours)}

rle = bytearray()
for n, row in enumerate(reversed(rows)):
    idx = [index[p] for p in row]
    if n == 0:  # absolute mode: every pixel as it stands
        rle += bytes([0, w]) + bytes((idx[i] << 4) | (idx[i + 1] if i + 1 < w else 0)
                                    for i in range(0, w, 2))
        if ((w + 1) // 2) % 2:
            rle.append(0)
    else:
        x = 0
        while x < w:
            run = 1
            while x + run < w and idx[x + run] == idx[x]:
                run += 1
            rle += bytes([run, idx[x] << 4 | idx[x]])
            x += run
    rle += bytes([0, 0])
rle += bytes([0, 1])
open('rle4.bmp', 'wb').write(bmp(w, h, 4, 2, palette, bytes(rle)))

stride = (w * 3 + 3) // 4 * 4
pixels = b''.join(bytes(c for p in row for c in reversed(p)).ljust(stride, b'\0') for row in rows)
open('top-down-24bit.bmp', 'wb').write(bmp(w, h, 24, 0, b'', pixels, top_down=True))

open('rle8-cut-short.bmp', 'wb').write(open('im-rle8.bmp', 'rb').read()[:-40])

pcx = bytearray(open('netpbm-3plane.pcx', 'rb').read())
pcx[1] = 3
pcx[16:64] = bytes(48)
open('v3-3plane.pcx', 'wb').write(bytes(pcx))
open('pcx-4plane-cut-short.pcx', 'wb').write(open('netpbm-4plane.pcx', 'rb').read()[:128 + 20])
