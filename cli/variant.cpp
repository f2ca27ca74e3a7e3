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

}  // namespace

std::string unsupportedVariant(FILE* f, Format format) {
    switch (format) {
        case Format::Bmp:
            return bmpVariant(f);
        default:
            return "";
    }
}

}  // namespace kro::cli
