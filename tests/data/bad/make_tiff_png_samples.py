#!/usr/bin/env python3
"""Writes the malformed TIFF and PNG samples of this folder; their lines are in
README.md. The TIFF files are laid out by hand, so that each breaks one rule."""
import struct
import zlib

SHORT, LONG, RATIONAL = 3, 4, 5

def tiff(entries, data=b"", next_ifd=0, ifd_at=8):
    """A little-endian TIFF: the IFD at ifd_at, entries (tag, type, value or
    list), then data. Offsets in entries that name data count from its start,
    which follows the IFD."""
    count = len(entries)
    data_at = ifd_at + 2 + 12 * count + 4
    out = bytearray(b"II*\0" + struct.pack("<I", ifd_at))
    out += b"\0" * (ifd_at - len(out))
    out += struct.pack("<H", count)
    for tag, kind, value in sorted(entries):
        if kind == RATIONAL:
            out += struct.pack("<HHII", tag, kind, 1, data_at + len(data))
            data += struct.pack("<II", value, 1)
        else:
            out += struct.pack("<HHI", tag, kind, 1)
            out += struct.pack("<HH" if kind == SHORT else "<I", *((value, 0) if kind == SHORT else (value,)))
    out += struct.pack("<I", next_ifd)
    return bytes(out) + data, data_at

def page(width, height, bits=1, photometric=0, compression=1, strip=b"", strip_offset=None,
         strip_count=None, extra=()):
    # Strip offset first laid out with a placeholder, then fixed once the IFD size is known.
    entries = [(256, LONG, width), (257, LONG, height), (258, SHORT, bits), (259, SHORT, compression),
               (262, SHORT, photometric), (273, LONG, 0), (277, SHORT, 1), (278, LONG, height),
               (279, LONG, len(strip) if strip_count is None else strip_count)] + list(extra)
    _, data_at = tiff(entries)
    offset = data_at if strip_offset is None else strip_offset
    entries[5] = (273, LONG, offset)
    return tiff(entries, strip)[0]

def png_chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

def png(width, height, bits=8, colour=0, idat=None, crc_ok=True):
    ihdr = png_chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, bits, colour, 0, 0, 0))
    if not crc_ok:
        ihdr = ihdr[:-1] + bytes([ihdr[-1] ^ 0xFF])
    body = b"\x89PNG\r\n\x1a\n" + ihdr
    if idat is not None:
        body += png_chunk(b"IDAT", idat)
    return body + png_chunk(b"IEND", b"")

def write(name, data):
    with open(name, "wb") as f:
        f.write(data)

white_rows = zlib.compress(b"\0" + b"\xff" * 8)  # one row of 8 gray pixels

# Two IFDs that name each other as the next.
first, _ = tiff([(256, LONG, 8), (257, LONG, 1), (258, SHORT, 8), (262, SHORT, 1),
                 (273, LONG, 240), (277, SHORT, 1), (278, LONG, 1), (279, LONG, 8)], next_ifd=120)
loop = bytearray(first + b"\0" * (120 - len(first)))
second, _ = tiff([(256, LONG, 8), (257, LONG, 1), (258, SHORT, 8), (262, SHORT, 1),
                  (273, LONG, 240), (277, SHORT, 1), (278, LONG, 1), (279, LONG, 8)], next_ifd=8)
loop += second[8:]
loop += b"\0" * (240 - len(loop)) + b"\x80" * 8

samples = {
    "tiff-empty.tif": b"",
    "tiff-bad-magic.tif": b"II+\0\x08\0\0\0" + b"\0" * 16,
    "tiff-ifd-loop.tif": bytes(loop),
    "tiff-huge-declared.tif": page(32768, 32768, 8, 1, 1, b"\0" * 100),
    "tiff-strip-past-end.tif": page(64, 64, 8, 1, 1, b"\0" * 64, strip_offset=1 << 20,
                                    strip_count=4096),
    "tiff-too-wide.tif": page(40000, 1, 1, 0, 1, b"\0" * 5000),
    "tiff-g4-garbage.tif": page(64, 64, 1, 0, 4, bytes(range(7, 250, 3)) * 4),
    "tiff-lzw-cut.tif": page(64, 64, 8, 1, 5, b"\x80\x00\x20"),
    "tiff-bits-3.tif": page(8, 8, 3, 1, 1, b"\0" * 24),
    "tiff-float.tif": page(2, 2, 32, 1, 1, b"\0" * 16, extra=[(339, SHORT, 3)]),
    "tiff-unknown-compression.tif": page(8, 8, 8, 1, 12345, b"\0" * 64),
    "png-empty.png": b"",
    "png-bad-crc.png": png(8, 1, idat=white_rows, crc_ok=False),
    "png-no-idat.png": png(8, 1),
    "png-cut-idat.png": png(64, 64, idat=zlib.compress(b"\0" * 65 * 64))[:60],
    "png-huge-declared.png": png(32768, 32768, 8, 2, idat=white_rows),
    "png-too-wide.png": png(40000, 1, idat=white_rows),
    "png-bad-filter.png": png(8, 1, idat=zlib.compress(b"\x09" + b"\xff" * 8)),
}
for name, data in samples.items():
    write(name, data)
