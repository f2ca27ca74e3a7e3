// Pages of a PDF document made from a file's coded data, without decoding
// it: a CALS file's Group 4 data, a JPEG file whole.
#include <cstdio>
#include <vector>

#include "cli/input.h"
#include "cli/picture.h"
#include "kro/kro.h"

namespace kro::cli {

namespace {

constexpr long kCalsDataOffset = 2048;  // eleven 128-byte records, then fill

// The bytes of f from offset to its end; false when they cannot be read.
bool readRest(FILE* f, long offset, std::vector<unsigned char>* bytes) {
    if (std::fseek(f, 0, SEEK_END) != 0) return false;
    const long end = std::ftell(f);
    if (end < offset || std::fseek(f, offset, SEEK_SET) != 0) return false;
    bytes->resize(size_t(end - offset));
    return std::fread(bytes->data(), 1, bytes->size(), f) == bytes->size();
}

int32_t copyCals(FILE* out, FILE* in, int32_t dpi) {
    CalsHeader h;
    if (KroGetCals(in, &h) != 0) return fndErrorStatus;
    // The PDF filter draws the coded lines as they come: top down, left to right.
    if (h.pelPath != 0 || h.lineProgression != 270) return KRO_ERR_ROTATE;
    std::vector<unsigned char> coded;
    if (!readRest(in, kCalsDataOffset, &coded)) return KRO_ERR_CALS_SHORT;
    const int32_t density = int32_t(h.rdensity);
    if (density > 0) dpi = density;
    return statusOf(KroG4ToPDF(out, coded.data(), coded.size(), h.pelsPerLine, h.numLines,
                               KRO_PHOTO_WHITE_IS_ZERO, dpi, dpi));
}

int32_t copyJpeg(FILE* out, FILE* in, int32_t dpi) {
    std::vector<unsigned char> data;
    if (!readRest(in, 0, &data)) return KRO_ERR_JPEG_DECODE;
    return statusOf(KroJPEGToPDF(out, data.data(), data.size(), dpi, dpi));
}

}  // namespace

int32_t copyCodedPage(FILE* out, const std::string& path, int32_t dpi, bool jpeg,
                      Format* format) {
    *format = Format::Unknown;
    const std::string file = inputPath(path);
    FILE* in = file.empty() ? nullptr : std::fopen(file.c_str(), "rb");
    if (!in) return KRO_ERR_OPEN;
    *format = detectFormat(in);
    int32_t code = KRO_ERR_FORMAT;
    if (*format == Format::Cals)
        code = copyCals(out, in, dpi);
    else if (*format == Format::Jpeg && jpeg)
        code = copyJpeg(out, in, dpi);
    std::fclose(in);
    return code;
}

}  // namespace kro::cli
