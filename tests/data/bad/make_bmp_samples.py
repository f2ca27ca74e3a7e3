#!/usr/bin/env python3
"""Writes the malformed BMP samples of this folder and their lines for README.md."""
import struct

def header(width, height, bpp=24, compression=0, offset=None, colours=0, planes=1,
           reserved=(0, 0), magic=b"BM", big=False, ppm=2835, info_size=40):
    table = 4 * (colours if colours else (1 << bpp if bpp in (1, 8) else 0))
    if offset is None:
        offset = 54 + min(table, 1024)
    e = ">" if big else "<"
    file_hdr = magic + struct.pack(e + "IHHI", 0, reserved[0], reserved[1], offset)
    info = struct.pack(e + "IiiHHIIiiII", info_size, width, height, planes, bpp, compression, 0,
                       ppm, ppm, colours, 0)
    return file_hdr + info

def stride(width, bpp):
    return (width * bpp + 31) // 32 * 4

def gray_table(n=256):
    return b"".join(bytes((i, i, i, 0)) for i in range(n))

samples = []

def add(name, data, code, why):
    with open(name, "wb") as f:
        f.write(data)
    samples.append(f"- {name}: {code} — {why}")

add("bmp-empty.bmp", b"", 1012120027, "no bytes at all")
add("bmp-truncated-header.bmp", header(4, 4)[:20], 1012120027,
    "file ends inside the header fields")
add("bmp-bad-magic.bmp", header(4, 4, magic=b"XY") + bytes(48), 1012140159,
    "magic is neither BM nor MB")
add("bmp-zero-width.bmp", header(0, 4) + bytes(64), 1012140137, "width 0")
add("bmp-negative-height.bmp", header(4, -4) + bytes(48), 1012140137,
    "top-down bitmap (negative height) is not read")
add("bmp-width-too-large.bmp", header(40000, 1) + bytes(64), 1012140137,
    "width above 32768")
add("bmp-huge-rgb.bmp", header(32768, 32768), 1012140137,
    "24-bit 32768 x 32768: pixel bytes do not fit the 32-bit size field")
add("bmp-huge-declared.bmp", header(32768, 32768, bpp=8) + gray_table(), 1012120027,
    "declares 1 GiB of pixels in a 1 KiB file; refused before allocating")
add("bmp-huge-bilevel.bmp", header(32768, 32768, bpp=1) + gray_table(2), 1012120027,
    "declares 128 MiB of bilevel rows with no pixel data")
add("bmp-offset-past-end.bmp", header(4, 4, offset=1_000_000) + bytes(48), 1012120027,
    "pixel data offset beyond the end of the file")
add("bmp-bpp-0.bmp", header(4, 4, bpp=0) + bytes(64), 1012140138, "0 bits per pixel")
add("bmp-bpp-7.bmp", header(4, 4, bpp=7) + bytes(64), 1012140138, "7 bits per pixel")
add("bmp-bpp-32.bmp", header(4, 4, bpp=32) + bytes(64), 1012140138, "32 bits per pixel")
add("bmp-rle8.bmp", header(4, 4, bpp=8, compression=1) + gray_table() + bytes(16), 1012160161,
    "run-length compressed (compression 1)")
add("bmp-bitfields.bmp", header(4, 4, bpp=24, compression=3) + bytes(64), 1012160161,
    "bit-field masks (compression 3)")
add("bmp-colours-huge-truncated.bmp", header(2, 2, bpp=8, colours=0xFFFFFF00), 1012120027,
    "colours used 0xFFFFFF00 and the file ends before the colour table")
add("bmp-colours-huge.bmp",
    header(2, 2, bpp=8, colours=0xFFFFFF00, offset=54 + 1024) + gray_table() + bytes(8), 0,
    "colours used 0xFFFFFF00: the first 256 entries are read and the picture loads")
add("bmp-truncated-rows.bmp", header(10, 10) + bytes(stride(10, 24) * 5), 1012120027,
    "only 5 of 10 rows present; refused before allocating")
add("bmp-short-last-row.bmp", header(10, 10) + bytes(stride(10, 24) * 9 + 7), 0,
    "last row cut short by the end of the file: its missing bytes read as zeros")
add("bmp-mb-reserved.bmp", header(4, 4, magic=b"MB", big=True, reserved=(1, 0)) + bytes(48),
    1012140159, "big-endian (MB) file with a non-zero reserved field")
add("bmp-mb-planes.bmp", header(4, 4, magic=b"MB", big=True, planes=2) + bytes(48), 1012140159,
    "big-endian (MB) file with 2 planes")
add("bmp-mb-zero-height.bmp", header(4, 0, magic=b"MB", big=True) + bytes(48), 1012140137,
    "big-endian (MB) file with height 0")
add("bmp-mb-little-fields.bmp", header(4, 4, magic=b"MB") + bytes(48), 1012140159,
    "MB magic but little-endian fields: planes read as 256")

add("bmp-bpp-16.bmp", header(4, 4, bpp=16) + bytes(64), 1012140138, "16 bits per pixel")
add("bmp-info-short.bmp", header(4, 4, info_size=39) + bytes(48), 1012140159,
    "info header size 39, below the 40 bytes of the fields read")
add("bmp-info-past-pixels.bmp", header(4, 4, bpp=8, info_size=124, offset=54) + gray_table()
    + bytes(16), 1012140159, "124-byte info header runs past the pixel data offset")
# An OS/2 bitmap: a 12-byte info header of 16-bit fields and 3-byte colour entries.
add("bmp-os2.bmp", b"BM" + struct.pack("<IHHIIHHHH", 0, 0, 0, 32, 12, 4, 4, 1, 1)
    + bytes((0, 0, 0, 255, 255, 255)) + bytes(64), 1012140159,
    "OS/2 bitmap (12-byte info header) is not read")

print("\n".join(samples))
