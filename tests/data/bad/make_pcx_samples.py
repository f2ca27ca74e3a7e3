#!/usr/bin/env python3
"""Writes the malformed PCX samples of this folder and their lines for README.md."""
import struct

def header(width, height, bits=8, planes=1, per_line=None, manufacturer=10, version=5,
           encoding=1, x_min=0, y_min=0, res=300):
    if per_line is None:
        per_line = (width * bits + 7) // 8
    h = struct.pack("<BBBBHHHHhh", manufacturer, version, encoding, bits, x_min, y_min,
                    (x_min + width - 1) & 0xFFFF, (y_min + height - 1) & 0xFFFF, res, res)
    h += bytes(48) + b"\0" + bytes((planes,)) + struct.pack("<hHHH", per_line, 1, 640, 480)
    return h + bytes(128 - len(h))

def literal_lines(per_line, lines):
    """Plane lines of bytes 0x10, 0x11, ... below 0xC0, each coded as itself."""
    return bytes(0x10 + (i % 0x80) for i in range(per_line * lines))

gray_palette = b"\x0c" + b"".join(bytes((i, i, i)) for i in range(256))

samples = []

def add(name, data, code, why):
    with open(name, "wb") as f:
        f.write(data)
    samples.append(f"- {name}: {code} — {why}")

add("pcx-empty.pcx", b"", 1012120027, "no bytes at all")
add("pcx-truncated-header.pcx", header(4, 4)[:60], 1012120027,
    "file ends inside the 128-byte header")
add("pcx-bad-manufacturer.pcx", header(4, 4, manufacturer=11) + bytes(16), 1012160170,
    "manufacturer byte 11")
add("pcx-version-4.pcx", header(4, 4, version=4) + bytes(16), 1012160170, "version 4")
add("pcx-encoding-0.pcx", header(4, 4, encoding=0) + bytes(16), 1012160170,
    "encoding 0 (uncoded)")
add("pcx-zero-width.pcx", header(0, 4) + bytes(16), 1012140137, "x maximum below x minimum")
add("pcx-width-32768.pcx", header(32768, 1, bits=1, per_line=4096) + bytes(16), 1012140137,
    "32768 wide: the width taken on 16 signed bits is negative")
add("pcx-planes-4.pcx", header(4, 4, bits=1, planes=4, per_line=2) + bytes(32), 1012160171,
    "16 colours in four 1-bit planes")
add("pcx-bits-4.pcx", header(4, 4, bits=4) + bytes(16), 1012140138, "4 bits per pixel")
add("pcx-1bit-3planes.pcx", header(8, 2, bits=1, planes=3, per_line=2) + bytes(12), 1012140138,
    "1 bit in 3 planes would make a 3-bit picture")
add("pcx-zero-bytes-per-line.pcx", header(4, 4, per_line=0) + bytes(16), 1012160170,
    "0 bytes per plane line: the walk would never leave the first line")
add("pcx-negative-bytes-per-line.pcx", header(4, 4, per_line=-4) + bytes(16), 1012160170,
    "negative bytes per plane line")
add("pcx-huge-rgb.pcx", header(32767, 32767, planes=3) + bytes(16), 1012140137,
    "24-bit 32767 x 32767: pixel bytes do not fit the 32-bit size field")
add("pcx-huge-declared.pcx", header(32767, 32767) + b"\xff\x00" * 64 + gray_palette,
    1012120027, "declares 1 GiB of 8-bit pixels in 1 KiB; refused before allocating")
add("pcx-huge-bilevel-cut-run.pcx", header(32767, 32767, bits=1) + b"\xff\x00\x05\xc4",
    1012160170, "declares 128 MiB of bilevel rows; its 4 coded bytes end after a count byte")
add("pcx-truncated-rgb.pcx", header(40, 6, planes=3) + literal_lines(40, 3 * 2), 0,
    "24-bit data stops after 2 of 6 lines: the missing lines read as 0")
add("pcx-cut-after-count.pcx", header(40, 4, planes=3) + literal_lines(40, 2) + b"\xc5",
    1012160170,
    "the file ends right after a count byte")
add("pcx-no-palette-marker.pcx", header(4, 2) + literal_lines(4, 2) + bytes(769), 1012120027,
    "8-bit file without the byte 12 before its palette")
add("pcx-short-palette.pcx", header(4, 2) + literal_lines(4, 2) + gray_palette[:300],
    1012120027, "8-bit file that ends inside its palette")
add("pcx-runs-cross-lines.pcx", header(4, 3) + b"\xcc\x07" + gray_palette, 0,
    "one run of 12 bytes covers all three lines")
add("pcx-narrow-plane-line.pcx", header(16, 2, per_line=4) + literal_lines(4, 2) + gray_palette,
    0, "plane lines of 4 bytes for 16-pixel rows: the rest of each row reads as 0")
add("pcx-wide-plane-line.pcx", header(3, 2, planes=3, per_line=200)
    + b"".join(bytes((10 + k, 20 + k, 30 + k)) + b"\xff\x99" * 3 + b"\xc8\x99" for k in range(6)),
    0, "plane lines of 200 bytes for 3-pixel rows: the padding is dropped")

print("\n".join(samples))
