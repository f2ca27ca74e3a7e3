// Names for the variants of a format that the library refuses, so that a
// user learns what the file is rather than which header field failed.
#include <cstdint>
#include <cstdio>
#include <string>

#include "cli/picture.h"

namespace kro::cli {

namespace {

// The BMP header fields that tell its variants apart, in either byte order.
std::string bmpVariant(FILE* f) {
    unsigned char h[54];
    std::rewind(f);
    if (std::fread(h, 1, sizeof h, f) != sizeof h) return "";
    const bool big = h[0] == 'M';
    auto field = [&](int at, int n) {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i) v |= uint32_t(h[at + (big ? n - 1 - i : i)]) << (8 * i);
        return v;
    };
    const uint32_t infoSize = field(14, 4);
    if (infoSize == 12 || infoSize == 64) return "OS/2 BMP";
    if (infoSize < 40) return "";
    if (int32_t(field(22, 4)) < 0) return "top-down BMP (negative height)";
    const uint32_t bits = field(28, 2);
    if (bits != 1 && bits != 8 && bits != 24 && bits != 0 && bits <= 64)
        return std::to_string(bits) + "-bit BMP";
    switch (field(30, 4)) {
        case 1:
            return "RLE8-compressed BMP";
        case 2:
            return "RLE4-compressed BMP";
        case 3:
        case 6:
            return "bit-field BMP";
        case 4:
            return "JPEG-compressed BMP";
        case 5:
            return "PNG-compressed BMP";
    }
    return "";
}

// The frame header of a JPEG file tells its variants apart: the coding
// process by its marker, then the sample precision and the components.
std::string jpegVariant(FILE* f) {
    std::rewind(f);
    if (std::fgetc(f) != 0xFF || std::fgetc(f) != 0xD8) return "";
    for (int segments = 0; segments < 1000; ++segments) {
        int c = std::fgetc(f);
        while (c == 0xFF) c = std::fgetc(f);  // fill bytes
        if (c == EOF) return "";
        const int hi = std::fgetc(f), lo = std::fgetc(f);
        if (hi == EOF || lo == EOF) return "";
        const long length = long(hi) << 8 | lo;
        if (c >= 0xC0 && c <= 0xCF && c != 0xC4 && c != 0xC8 && c != 0xCC) {
            const int precision = std::fgetc(f);
            unsigned char rest[5];
            if (precision == EOF || std::fread(rest, 1, sizeof rest, f) != sizeof rest) return "";
            if (c >= 0xC9) return "arithmetic-coded JPEG";
            if (c == 0xC3 || c == 0xC7) return "lossless JPEG";
            if (precision != 8) return std::to_string(precision) + "-bit JPEG";
            if (rest[4] == 4) return "CMYK JPEG";
            if (rest[4] != 1 && rest[4] != 3) return std::to_string(rest[4]) + "-component JPEG";
            return "";
        }
        if (length < 2 || std::fseek(f, length - 2, SEEK_CUR) != 0) return "";
    }
    return "";
}

// PCX files of other depths and plane counts than one plane of 1 or 8 bits and
// three of 8.
std::string pcxVariant(FILE* f) {
    unsigned char h[128];
    std::rewind(f);
    if (std::fread(h, 1, sizeof h, f) != sizeof h) return "";
    const int bits = h[3], planes = h[65];
    if ((bits == 1 && planes == 1) || (bits == 8 && (planes == 1 || planes == 3))) return "";
    if (planes == 1) return std::to_string(bits) + "-bit PCX";
    return std::to_string(planes) + "-plane " + std::to_string(bits) + "-bit PCX";
}

}  // namespace

std::string unsupportedVariant(FILE* f, Format format) {
    switch (format) {
        case Format::Bmp:
            return bmpVariant(f);
        case Format::Jpeg:
            return jpegVariant(f);
        case Format::Pcx:
            return pcxVariant(f);
        default:
            return "";
    }
}

}  // namespace kro::cli
