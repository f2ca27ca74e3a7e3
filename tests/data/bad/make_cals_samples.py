#!/usr/bin/env python3
"""Writes the malformed CALS samples of this folder and their lines for README.md."""
# Group 4 coding of a 104 x 29 line of text.
TEXT_G4 = bytes.fromhex(
    "ffceb11d10be812bf724d1d576084c65d11f23e6f4197cc6083866f2e88f97ec341041309045"
    "d208ba61208115194e1422e904104d208ba86fff8f8dafe3a8e744fffc1705ff05c16d7ffb2e"
    "bb2e92040bfb082ecbad049a4eed86c130d6d9e1db0d361c44444444444444447ff0010010")

def record(text):
    b = text.encode("latin-1")
    assert len(b) <= 128
    return b + b" " * (128 - len(b))

def header(pels=104, lines=29, orient="000,270", density="0200", rtype="1", counts=None,
           replace=None):
    records = ["srcdocid: NONE", "dstdocid: NONE", "txtfilid: NONE", "figid: NONE",
               "srcgph: NONE", "doccls: NONE", "rtype: " + rtype, "rorient: " + orient,
               counts or "rpelcnt: %06d,%06d" % (pels, lines), "rdensity: " + density,
               "notes: NONE"]
    if replace:
        records[replace[0]] = replace[1]
    return b"".join(record(r) for r in records) + b" " * 640

samples = []

def add(name, data, code, why):
    with open(name, "wb") as f:
        f.write(data)
    samples.append(f"- {name}: {code} — {why}")

add("cals-short-header.cal", header()[:1000], 1012160125,
    "file ends inside the eighth header record")
add("cals-unknown-record.cal", header(replace=(3, "figure: NONE")) + TEXT_G4, 1012160130,
    "a record begins with none of the record names")
add("cals-rpelcnt-no-comma.cal", header(counts="rpelcnt: 000104 000029") + TEXT_G4,
    1012160130, "pel counts not separated by a comma")
add("cals-zero-lines.cal", header(lines=0) + TEXT_G4, 1012160130, "0 lines")
add("cals-density-decimal.cal", header(density="200.5") + TEXT_G4, 1012160130,
    "density with a decimal point reads as 0")
add("cals-rtype-2.cal", header(rtype="2") + TEXT_G4, 1012160130, "raster type 2")
add("cals-header-only.cal", header(), 1012160130, "no coded byte after the 2048-byte header")
add("cals-truncated-g4.cal", header() + TEXT_G4[:len(TEXT_G4) // 2], 1012160041,
    "coded picture cut in half")
add("cals-bad-code.cal", header() + TEXT_G4[:40] + bytes(3) + TEXT_G4[43:], 1012160041,
    "24 zero bits in the middle of the coded lines: no Group 4 code fits them")
add("cals-narrower-than-runs.cal", header(pels=64) + TEXT_G4, 1012160041,
    "header says 64 pels a line, the runs are coded for 104")
add("cals-zero-bits.cal", header() + bytes(32), 1012160041,
    "coded bytes all zero: no valid code")
add("cals-huge-claim.cal", header(32768, 32768, "090,270") + TEXT_G4[:16], 1012160041,
    "32768 x 32768 turned picture in 16 coded bytes; refused before the work image is made")
add("cals-turned-truncated.cal", header(orient="270,090") + TEXT_G4[:-9], 1012160041,
    "turned and mirrored picture whose last lines are cut off")
add("cals-more-lines-than-coded.cal", header(lines=45) + TEXT_G4, 1012160041,
    "header asks for 45 lines, the stream ends after 29")
add("cals-trailing-junk.cal", header() + TEXT_G4 + b"\xff" * 100, 0,
    "bytes after the last coded line are not part of the picture; the file loads")

print("\n".join(samples))
