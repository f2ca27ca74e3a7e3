#!/usr/bin/env python3
"""Writes the malformed option files, argument vectors, colour files, description
strings and raw Group 4 streams of this folder, and their lines for README.md.

Argument vectors are words split at NUL or newline. A colour sample's first
line is the name looked up, the rest is the file. A raw Group 4 sample starts
with the line width - 1 and line count - 1 (16 bits each, little-endian) and
the left edge (one byte), as the fuzz harness reads it."""
import struct

samples = []


def add(name, data, code, why):
    if isinstance(data, str):
        data = data.encode("latin-1")
    with open(name, "wb") as f:
        f.write(data)
    samples.append(f"- {name}: {code} — {why}")


def option_line(words, count=25):
    return " ".join(words.get(i, "-") for i in range(1, count + 1)) + "\n"


WORDS = 1012140095
RANGE = 1012120026
add("optfile-24-words.txt", option_line({1: "/in.bmp"}, 24), WORDS, "one word short of 25")
add("optfile-overlong-line.txt", option_line({1: "/" + "a" * 9400}), WORDS,
    "a line longer than 9363 characters")
add("optfile-overlong-word.txt", option_line({1: "/in.bmp", 7: "/" + "o" * 300}), WORDS,
    "outfile of 301 characters, more than its field holds")
add("optfile-nan-scale.txt", option_line({1: "/in.bmp", 12: "nan"}), RANGE,
    "scale NaN is not above 0")
add("optfile-inf-pen.txt", option_line({1: "/in.bmp", 17: "inf"}), RANGE,
    "an infinite pen width")
add("optfile-digit-flood.txt", option_line({1: "/in.bmp", 4: "-" + "9" * 22}), RANGE,
    "dpi of 22 digits (its field holds 23 characters) saturates at the least 32-bit number")
add("optfile-relative-input.txt", option_line({1: "in.bmp"}), 1012140097,
    "input path not absolute")
add("optfile-nul-in-line.txt", option_line({1: "/in.bmp"}).replace(" ", "\0", 3), WORDS,
    "NUL bytes end the line's text early: too few words")

add("options-no-value.txt", "in.bmp\0-dpi", 1012120020, "-dpi ends the vector")
add("options-nan-gamma.txt", "-gamma\nnan", RANGE, "gamma NaN")
add("options-inf-scale.txt", "-scale\ninf", RANGE, "an infinite scale makes no size")
add("options-digit-flood.txt", "-dpi\n-" + "9" * 4000, RANGE,
    "dpi of 4000 digits saturates below 1")
add("options-bad-compression.txt", "-compression\nG5", 1012120022, "not a compression word")
add("options-overlong-paper.txt", "-papertype\n" + "A4V" * 2000, 1012120021,
    "a paper word of 6000 characters")
add("options-conflict.txt", "-width\n100\n-height\n100\n-scale\n2", 1012120025,
    "a size and a scale together")

COLOUR = 1012160166
add("colour-overlong-line.txt", "snow\n" + "1 2 3\t" + "x" * 600 + "\n", COLOUR,
    "a 606-character line is read in pieces, none of them a colour line for the name")
add("colour-digit-flood.txt", "flood\n" + "9" * 3000 + " 0 0\tflood\n", 0,
    "a component of 3000 digits saturates; the name is found")
add("colour-minus-one.txt", "odd\n-1 -1 -1\todd\n", COLOUR,
    "a line whose colour is the failure value carries no colour")
add("colour-no-newline.txt", "navy\n0 0 128\tnavy", 0, "the last line has no newline")
add("colour-nul.txt", "red\n255\0 0 0\tred\n", COLOUR, "a NUL ends the line's text early")

DESC = 1012140024
add("desc-no-name.txt", ",1,2", DESC, "no paper name before the comma")
add("desc-digit-flood.txt", "A4V," + "9" * 3000 + ",1", 0,
    "a number of 3000 digits saturates; the string reads as A4V")
add("desc-overlong-name.txt", "A" * 5000 + ",1,2", DESC, "a 5000-character name")
add("desc-empty.txt", "", DESC, "no text at all")

CODING = 202
add("g4-extension.g4", struct.pack("<HHB", 63, 15, 0) + b"\x03\xff" * 16, CODING,
    "an extension code (uncompressed mode) inside the lines")
add("g4-truncated.g4", struct.pack("<HHB", 2047, 2047, 3) + b"\x80" * 300, CODING,
    "2048 lines asked of a stream that holds a few hundred")
add("g4-zeros.g4", struct.pack("<HHB", 7, 0, 0) + b"\x00" * 8, CODING,
    "zero bits: no valid code")
add("g4-run-past-line.g4", struct.pack("<HHB", 7, 0, 0) + b"\x35\x00\x00", CODING,
    "a horizontal run longer than the 8-pel line")

print("\n".join(samples))
