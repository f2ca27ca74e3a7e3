// Names of the BMP, PCX and JPEG variants that the readers refuse, so that a
// host can tell its user what the file is rather than which field failed;
// and the whole-file read of the BMP and PCX variant readers.
#include "codecs/variants.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "core/image.h"

namespace {

// BMP header fields in either byte order; h holds the first 54 bytes.
std::string bmpVariant(const unsigned char* h) {
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

// The frame header tells the JPEG variants apart: the coding process by its
// marker, then the sample precision and the components. The stream stands
// after the start-of-image marker.
std::string jpegVariant(FILE* f) {
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

// PCX files of other depths and plane counts than one plane of 1 or 8 bits
// and three of 8; h holds the 128-byte header.
std::string pcxVariant(const unsigned char* h) {
    const int bits = h[3], planes = h[65];
    if ((bits == 1 && planes == 1) || (bits == 8 && (planes == 1 || planes == 3))) return "";
    if (planes == 1) return std::to_string(bits) + "-bit PCX";
    return std::to_string(planes) + "-plane " + std::to_string(bits) + "-bit PCX";
}

std::string variantOf(FILE* f) {
    unsigned char h[128];
    if (std::fread(h, 1, 2, f) != 2) return "";
    if ((h[0] == 'B' && h[1] == 'M') || (h[0] == 'M' && h[1] == 'B'))
        return std::fread(h + 2, 1, 52, f) == 52 ? bmpVariant(h) : "";
    if (h[0] == 0xFF && h[1] == 0xD8) return jpegVariant(f);
    if (h[0] == 10)  // the PCX manufacturer byte
        return std::fread(h + 2, 1, 126, f) == 126 ? pcxVariant(h) : "";
    return "";
}

}  // namespace

int32_t kro::readRest(FILE* stream, std::vector<unsigned char>* bytes) {
    unsigned char chunk[65536];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, stream)) > 0;) {
        if (bytes->size() + n > kLargestVariantFile) return KRO_ERR_SIZE;
        bytes->insert(bytes->end(), chunk, chunk + n);
    }
    return std::ferror(stream) ? KRO_ERR_IO : 0;
}

extern "C" KRO_API int32_t KroDescribeVariant(FILE* stream, char* name, size_t size) {
    if (!stream || !name || size == 0) return kro::fail(KRO_ERR_NULL);
    const std::string variant = variantOf(stream);
    const size_t n = std::min(variant.size(), size - 1);
    std::memcpy(name, variant.data(), n);
    name[n] = '\0';
    return int32_t(variant.size());
}

int32_t kro::beginVariantRead(FILE* stream, const RsImage* image, int32_t* photometric,
                              const int32_t* resolution, const unsigned char* palette,
                              std::vector<unsigned char>* file) {
    if (photometric) *photometric = 0;
    if (!stream || !image || !photometric || !resolution || !palette) return KRO_ERR_NULL;
    return readRest(stream, file);
}
