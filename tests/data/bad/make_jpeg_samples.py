#!/usr/bin/env python3
"""Writes the malformed JPEG samples of this folder and their lines for README.md.
Needs cjpeg (libjpeg-turbo-progs) and ImageMagick's convert."""
import struct
import subprocess

def ppm(width, height, channels=3):
    magic = b"P6" if channels == 3 else b"P5"
    pixels = bytes((x * 7 + y * 3 + c * 50) % 256 for y in range(height) for x in range(width)
                   for c in range(channels))
    return magic + b"\n%d %d\n255\n" % (width, height) + pixels

def cjpeg(source, *args):
    return subprocess.run(["cjpeg", *args], input=source, capture_output=True, check=True).stdout

def segments(data):
    """(marker, start, end) of each marker segment up to the first scan's data."""
    out, at = [], 2
    while at < len(data):
        marker = data[at + 1]
        length = struct.unpack(">H", data[at + 2:at + 4])[0]
        out.append((marker, at, at + 2 + length))
        if marker == 0xDA:
            break
        at += 2 + length
    return out

def scans(data):
    """(start, end) of each SOS segment with its entropy-coded data."""
    starts, at = [], 2
    while True:
        at = data.find(b"\xff\xda", at)
        if at < 0:
            break
        starts.append(at)
        at += 2
    ends = starts[1:] + [len(data) - 2]
    return list(zip(starts, ends))

def set_frame_size(data, width, height):
    for marker, start, _ in segments(data):
        if marker in (0xC0, 0xC1, 0xC2, 0xC9, 0xCA):
            return data[:start + 5] + struct.pack(">HH", height, width) + data[start + 9:]
    raise ValueError("no frame header")

def set_density(data, unit, x, y):
    for marker, start, _ in segments(data):
        if marker == 0xE0:
            return data[:start + 11] + struct.pack(">BHH", unit, x, y) + data[start + 16:]
    raise ValueError("no JFIF segment")

samples = []

def add(name, data, code, why):
    with open(name, "wb") as f:
        f.write(data)
    samples.append(f"- {name}: {code} — {why}")

colour = cjpeg(ppm(64, 48))
gray = cjpeg(ppm(64, 48, 1))
progressive = cjpeg(ppm(64, 48), "-progressive")
first_scan = segments(colour)[-1][2]

add("jpeg-empty.jpg", b"", 1012140135, "no bytes at all")
add("jpeg-soi-only.jpg", colour[:2], 1012140135, "start-of-image marker and nothing else")
add("jpeg-no-scan.jpg", colour[:first_scan - 14] + b"\xff\xd9", 1012140135,
    "tables and frame header, then end of image: no scan")
add("jpeg-truncated-header.jpg", colour[:100], 1012140135, "file ends inside the tables")
add("jpeg-truncated-scan.jpg", colour[:first_scan + (len(colour) - first_scan) // 2], 1012140135,
    "scan data cut in half: libjpeg would fill the rest with gray")
add("jpeg-no-eoi.jpg", colour[:-2], 1012140135,
    "complete scan but no end-of-image marker: the stream may have been cut")
add("jpeg-truncated-progressive.jpg", progressive[:scans(progressive)[3][1]], 1012140135,
    "progressive file that ends after four of its scans")
add("jpeg-zero-height.jpg", set_frame_size(colour, 64, 0), 1012140137, "frame height 0")
add("jpeg-too-wide.jpg", set_frame_size(colour, 40000, 48), 1012140137,
    "frame width 40000, above 32768")
add("jpeg-huge-frame.jpg", set_frame_size(colour, 20000, 20000), 1012140135,
    "20000 x 20000 frame over a 64 x 48 scan; refused before allocating")
add("jpeg-huge-rgb.jpg", set_frame_size(colour, 32768, 32768), 1012140137,
    "32768 x 32768 RGB: pixel bytes do not fit the 32-bit size field")
add("jpeg-arithmetic.jpg", cjpeg(ppm(64, 48), "-arithmetic"), 1012140135,
    "arithmetic-coded: refused, a few bytes of it can stand for any size of picture")
small = cjpeg(ppm(8, 8, 1), "-progressive")
pscans = scans(small)
last = small[pscans[-1][0]:pscans[-1][1]]
add("jpeg-many-scans.jpg", small[:pscans[-1][1]] + last * 600 + b"\xff\xd9", 1012140135,
    "progressive file whose last scan is repeated 600 times; refused past 500 scans")
add("jpeg-density-unequal.jpg", set_density(gray, 1, 300, 150), 1012120049,
    "density 300 x 150 dots per inch")
add("jpeg-density-cm.jpg", set_density(gray, 2, 300, 150), 0,
    "density in dots per centimetre, unequal: not a resolution, so it loads with -1, -1")
cmyk = subprocess.run(["convert", "-size", "16x16", "xc:red", "-colorspace", "CMYK", "jpg:-"],
                      capture_output=True, check=True).stdout
add("jpeg-cmyk.jpg", cmyk, 1012140157, "CMYK picture: neither gray nor RGB")
corrupt = bytearray(colour)
for i in range(first_scan + 40, first_scan + 60):
    corrupt[i] = 0x55
add("jpeg-corrupt-scan.jpg", bytes(corrupt), 0,
    "twenty bytes of scan data overwritten (no marker among them): wrong pixels, but it loads")

print("\n".join(samples))
