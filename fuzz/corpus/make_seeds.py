#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz harnesses: small hand-made files, and
CALS files coded by our own writer (kro convert). Run from the repository:
    python3 fuzz/corpus/make_seeds.py build/cli/kro
"""
import os
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))


def put(target, name, data):
    os.makedirs(os.path.join(HERE, target), exist_ok=True)
    if isinstance(data, str):
        data = data.encode()
    with open(os.path.join(HERE, target, name), "wb") as f:
        f.write(data)


def bmp(width, height, bits, rows, colours=None, big_endian=False):
    """A bottom-up BMP; rows are top-down lists of pixel bytes per row."""
    stride = (width * bits + 31) // 32 * 4
    table = b""
    if bits != 24:
        colours = colours or [(i * 255 // ((1 << bits) - 1),) * 3 for i in range(1 << bits)]
        table = b"".join(bytes((b, g, r, 0)) for r, g, b in colours)
    pixels = b"".join(bytes(r).ljust(stride, b"\0") for r in reversed(rows))
    offset = 54 + len(table)
    e = ">" if big_endian else "<"
    head = (b"MB" if big_endian else b"BM") + struct.pack(
        e + "IHHIIiiHHIIiiII", offset + len(pixels), 0, 0, offset, 40, width, height, 1, bits,
        0, len(pixels), 11811, 11811, len(colours or []) if bits != 24 else 0, 0)
    return head + table + pixels


def f_shape(width, height):
    """An asymmetric "F" as 0/1 rows, so flips and turns show."""
    rows = []
    for y in range(height):
        row = []
        for x in range(width):
            stem = 1 <= x <= 2
            bar = (y in (1, 2) and x < width - 1) or (y == height // 2 and x < width - 3)
            row.append(1 if (stem or bar) and y >= 1 else 0)
        rows.append(row)
    return rows


def pack_bits(row):
    out = bytearray((len(row) + 7) // 8)
    for x, v in enumerate(row):
        if v:
            out[x // 8] |= 0x80 >> (x % 8)
    return bytes(out)


def bmp_seeds():
    f = f_shape(13, 9)
    seeds = {
        "bilevel-13x9.bmp": bmp(13, 9, 1, [pack_bits(r) for r in f]),
        "bilevel-black-first.bmp": bmp(13, 9, 1, [pack_bits(r) for r in f],
                                       colours=[(0, 0, 0), (255, 255, 255)]),
        "bilevel-mb.bmp": bmp(13, 9, 1, [pack_bits(r) for r in f], big_endian=True),
        "gray-5x4.bmp": bmp(5, 4, 8, [bytes(range(y * 40, y * 40 + 5)) for y in range(4)]),
        "palette-3x3.bmp": bmp(3, 3, 8, [b"\0\1\2", b"\2\1\0", b"\1\1\1"],
                               colours=[(255, 0, 0), (0, 0, 255), (0, 255, 0)]),
        "rgb-4x3.bmp": bmp(4, 3, 24, [b"".join(bytes((0, 0, 255) if (x + y) % 2 else (255, 0, 0))
                                               for x in range(4)) for y in range(3)]),
        "rgb-1x1.bmp": bmp(1, 1, 24, [b"\x10\x20\x30"]),
    }
    for name, data in seeds.items():
        put("bmp", name, data)
        put("roundtrip", name, data)
    return seeds


def cals_seeds(kro):
    """Our writer codes the bilevel seeds; the header is then turned by hand."""
    with tempfile.TemporaryDirectory() as tmp:
        src = os.path.join(tmp, "f.bmp")
        with open(src, "wb") as f:
            f.write(bmp(40, 24, 1, [pack_bits(r) for r in f_shape(40, 24)]))
        out = os.path.join(tmp, "f.cal")
        subprocess.run([kro, "convert", src, out], check=True)
        with open(out, "rb") as f:
            plain = f.read()
    variants = {"upright.cal": (0, 270), "turned-90.cal": (90, 270), "turned-180.cal": (180, 270),
                "turned-270.cal": (270, 270), "mirrored.cal": (0, 90),
                "turned-90-mirrored.cal": (90, 90)}
    for name, (path, progression) in variants.items():
        record = "rorient: %03d,%03d" % (path, progression)
        data = bytearray(plain)
        data[7 * 128:8 * 128] = record.encode().ljust(128, b" ")
        put("cals", name, bytes(data))
        put("roundtrip", name, bytes(data))
    # The short spellings of two record names.
    short = bytearray(plain)
    short[5 * 128:6 * 128] = b"docls: NONE".ljust(128, b" ")
    short[9 * 128:10 * 128] = b"rdensty: 0200".ljust(128, b" ")
    put("cals", "short-names.cal", bytes(short))
    # Raw Group 4: width 40, 24 lines, left edge 0 and 3, then the coded bytes.
    coded = plain[2048:]
    put("g4", "f-40x24.g4", struct.pack("<HHB", 39, 23, 0) + coded)
    put("g4", "f-40x24-left3.g4", struct.pack("<HHB", 39, 23, 3) + coded)
    put("g4", "white-8x1.g4", struct.pack("<HHB", 7, 0, 0) + bytes((0x10, 0x01)))
    # The same for a PDF page of Group 4 data (its JPEG seed is the jpeg corpus's).
    put("pdf", "f-40x24.g4", struct.pack("<HHB", 39, 23, 0) + coded)


def text_seeds():
    put("option_file", "full.txt",
        "/data/in.plt - - 300 A4V - /tmp/out.ps 2 - - G4 - 90 - 2 - 0.35 - - - - - - 480 7\n")
    put("option_file", "sizes.txt",
        "/in.bmp 1024 768 - - /tmp/o - - 1 3 NO 1.5 180 - - 16 - - - - - - - - 4\n")
    put("option_file", "directory.txt",
        "/in.cal - - - - - - - - - PackBits - 0 /out - - 1 2 3 4 5 6 7 8 0\r\n")
    put("option_file", "dashes.txt", " ".join(["/x"] + ["-"] * 24) + "\n")
    put("options", "dpi.txt", "kro\0-dpi\0300\0in.bmp\0out.cal")
    put("options", "keywords.txt",
        "-compression\nG4\n-papertype\nA4V\n-rotate\n90\n-mode\nXOR\n-colortype\nBilevel\nfile")
    put("options", "switches.txt", "-bold\0-Italic\0-center\0-batch\0-physical\0-notify\0x")
    put("options", "reals.txt", "-gamma\n2.2\n-pen1\n0.35\n-pen8\n480\n-level\n3")
    put("options", "colour.txt", "-color\n#FF00FF\n-color\nred\n-fontsize\n12")
    put("options", "tiles.txt", "-tileWidth\n256\n-x\n5\n-y\n7\n-quality\n90\n-outfile\n/tmp/o")
    put("options", "conflict.txt", "-width\n100\n-scale\n2\n-page\n1\n-from\n1")
    put("options", "no-value.txt", "a\0-dpi")
    put("color_names", "found.txt",
        "ghost white\n! comment\n255 250 250\t\tsnow\n248 248 255\t\tghost white\n")
    put("color_names", "crlf.txt", "Navy\r\n0 0 128\t\tnavy\r\n")
    put("color_names", "missing.txt", "nosuch\n1 2 3\tred\n4 5\n")
    put("color_names", "big.txt", "big\n99999999999 -5 300\tbig\n255 255 255\twhite\n")
    for name, text in {"a4.txt": "A4V,1024,768", "name-only.txt": "LETH",
                       "spaces.txt": "B5V, 12 , -3", "one-number.txt": "A3H,7",
                       "no-name.txt": ",1,2", "overflow.txt": "A4V,99999999999,-99999999999",
                       "none.txt": "NO,0,0"}.items():
        put("description", name, text)


def main():
    bmp_seeds()
    text_seeds()
    if len(sys.argv) > 1:
        cals_seeds(sys.argv[1])


if __name__ == "__main__":
    main()
