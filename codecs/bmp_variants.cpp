// BMP layouts that other programs write beside the plain one: 4-bit pixels,
// RLE8 and RLE4, top-down rows, 16- and 32-bit pixels with or without bit
// fields, and the OS/2 info headers of 12 and 64 bytes.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "codecs/bmp.h"
#include "codecs/variants.h"
#include "core/image.h"

namespace {

using kro::fail;
using kro::get16le;
using kro::get32le;

constexpr size_t kFileHeaderBytes = 14;
constexpr uint32_t kCoreInfoBytes = 12;  // OS/2 1.x
constexpr uint32_t kOs2InfoBytes = 64;   // OS/2 2.x: compression codes above 2 are its own
constexpr uint32_t kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBitFields = 6;
// An end of line covers at most a row of 32768 pixels in 2 bytes. Moves and
// the end of the picture may cover more, but data that stands for more than
// this a byte is taken for data cut short, so that a few bytes cannot ask
// for a large picture.
constexpr double kMostPixelsPerRleByte = 16384.0;

uint64_t fileStride(uint32_t width, uint32_t bits) {
    return (uint64_t(width) * bits + 31) / 32 * 4;
}

// One colour channel of a bit-field pixel, scaled to 0..255.
struct Channel {
    uint32_t mask = 0, shift = 0, top = 0;
    explicit Channel(uint32_t m) : mask(m) {
        if (!m) return;
        shift = uint32_t(__builtin_ctz(m));
        top = m >> shift;
    }
    uint32_t operator()(uint32_t px) const {
        if (!mask) return 0;
        return uint32_t((uint64_t((px & mask) >> shift) * 255 + top / 2) / top);
    }
};

// The record being filled: rows top to bottom.
struct Target {
    uint32_t width, height;  // the file's own width, before depth 1 rounds it
    size_t rowBytes;
    unsigned char* pixels;
    unsigned char* row(uint32_t y) const { return pixels + size_t(y) * rowBytes; }
};

// RLE8, or RLE4 when nibbles: rows come bottom first; pixels the stream skips
// stay index 0. False when the stream ends before its end mark or last row.
bool decodeRle(const unsigned char* s, size_t n, bool nibbles, const Target& out) {
    uint64_t x = 0, r = 0;  // r: rows from the bottom
    const auto put = [&](uint32_t index) {
        if (x < out.width && r < out.height)
            out.row(uint32_t(out.height - 1 - r))[x] = uint8_t(index);
        ++x;
    };
    size_t i = 0;
    while (r < out.height) {
        if (i + 2 > n) return false;
        const uint32_t count = s[i], value = s[i + 1];
        i += 2;
        if (count > 0) {  // a run; RLE4 alternates the two nibbles, high first
            for (uint32_t k = 0; k < count; ++k)
                put(nibbles ? (k & 1 ? value & 15 : value >> 4) : value);
            continue;
        }
        if (value == 0) {  // end of line
            x = 0, ++r;
        } else if (value == 1) {  // end of picture
            return true;
        } else if (value == 2) {  // move right and up
            if (i + 2 > n) return false;
            x += s[i], r += s[i + 1];
            i += 2;
        } else {  // value pixels as they stand, padded to a 16-bit boundary
            const size_t bytes = nibbles ? (value + 1) / 2 : value;
            if (i + bytes > n) return false;
            for (uint32_t k = 0; k < value; ++k)
                put(nibbles ? (k & 1 ? s[i + k / 2] & 15 : s[i + k / 2] >> 4) : s[i + k]);
            i += (bytes + 1) & ~size_t(1);
        }
    }
    return true;
}

enum class Layout { Rows, Rle8, Rle4, Fields };

// The layout of a bits and compression pair; 0, or the code that refuses it.
int32_t layoutOf(uint32_t bits, uint32_t compression, Layout* layout) {
    if (compression == kRle8 && bits == 8) {
        *layout = Layout::Rle8;
    } else if (compression == kRle4 && bits == 4) {
        *layout = Layout::Rle4;
    } else if ((compression == 0 || compression == kBitFields || compression == kAlphaBitFields) &&
               (bits == 16 || bits == 32)) {
        *layout = Layout::Fields;
    } else if (compression == 0 && (bits == 1 || bits == 4 || bits == 8 || bits == 24)) {
        *layout = Layout::Rows;
    } else if (compression == 0 || bits == 0 || bits == 2 || bits > 32) {
        return KRO_ERR_DEPTH;
    } else {
        return KRO_ERR_BMP_COMPRESSION;  // JPEG, PNG, or a code that fits other depths
    }
    return 0;
}

}  // namespace

extern "C" KRO_API int32_t KroBMPVariantToRsImage(FILE* stream, RsImage* image,
                                                  int32_t* photometric, int32_t resolution[2],
                                                  unsigned char palette[768]) {
    std::vector<unsigned char> file;
    if (int32_t code =
            kro::beginVariantRead(stream, image, photometric, resolution, palette, &file))
        return fail(code);

    if (file.size() < kFileHeaderBytes + 12) return fail(KRO_ERR_IO);
    const unsigned char* h = file.data();
    if (h[0] != 'B' || h[1] != 'M') return fail(KRO_ERR_BMP_HEADER);
    const uint32_t offset = get32le(h + 10), infoSize = get32le(h + 14);
    // The OS/2 1.x header has 16-bit sides, colours of 3 bytes, no compression
    // and no resolution. A header or pixel data beyond the end of the file is
    // a bad header rather than a short file.
    const bool core = infoSize == kCoreInfoBytes;
    if ((!core && infoSize < 40) || infoSize > file.size() - kFileHeaderBytes ||
        offset > file.size())
        return fail(KRO_ERR_BMP_HEADER);
    const int32_t width = core ? int32_t(get16le(h + 18)) : int32_t(get32le(h + 18));
    const int32_t signedHeight = core ? int32_t(get16le(h + 20)) : int32_t(get32le(h + 22));
    const uint32_t bits = get16le(h + (core ? 24 : 28)), compression = core ? 0 : get32le(h + 30);
    if (!kro::sideInRange(width) || signedHeight == 0 ||
        !kro::sideInRange(std::abs(int64_t(signedHeight))))
        return fail(KRO_ERR_SIZE);
    if (infoSize == kOs2InfoBytes && compression > kRle4) return fail(KRO_ERR_BMP_COMPRESSION);
    Layout layout;
    if (int32_t code = layoutOf(bits, compression, &layout)) return fail(code);

    const bool topDown = signedHeight < 0;
    const auto height = uint32_t(std::abs(int64_t(signedHeight)));
    const int32_t depth = layout == Layout::Fields ? 24 : bits == 4 ? 8 : int32_t(bits);
    const int32_t recordWidth = depth == 1 ? (width + 7) & ~7 : width;

    const unsigned char* pixels = h + offset;
    const size_t available = file.size() - offset;
    const uint64_t inStride = fileStride(uint32_t(width), bits);
    if (layout == Layout::Rows || layout == Layout::Fields) {
        if (inStride * height > available) return fail(KRO_ERR_IO);
    } else if (double(width) * height > kMostPixelsPerRleByte * double(available) + width) {
        return fail(KRO_ERR_IO);
    }
    const bool fields = layout == Layout::Fields && compression != 0;
    if (fields && file.size() < 66) return fail(KRO_ERR_IO);  // the three masks
    const uint64_t bytes = kro::pixelBytes(recordWidth, int32_t(height), depth);
    if (bytes > uint64_t(INT32_MAX)) return fail(KRO_ERR_SIZE);
    kro::Buffer buffer(kro::allocZeroed(bytes));
    if (!buffer) return fail(KRO_ERR_NOMEM);
    const Target out{uint32_t(width), height, size_t(kro::rowBytes(recordWidth, depth)),
                     buffer.get()};

    // The colour table sits between the info header and the pixel data.
    int32_t colours = 0;
    if (depth <= 8) {
        const uint32_t used = core ? 0 : get32le(h + 46), most = 1u << bits;
        const size_t at = kFileHeaderBytes + infoSize, entryBytes = core ? 3 : 4;
        const size_t entries = std::min<size_t>(used == 0 || used > most ? most : used,
                                                offset > at ? (offset - at) / entryBytes : 0);
        std::memset(palette, 0, KRO_PALETTE_SIZE);
        for (size_t i = 0; i < entries; ++i) {
            const unsigned char* e = h + at + entryBytes * i;
            palette[i] = e[2];
            palette[256 + i] = e[1];
            palette[512 + i] = e[0];
        }
        colours = 1 << depth;
    }

    if (layout == Layout::Rle8 || layout == Layout::Rle4) {
        if (!decodeRle(pixels, available, layout == Layout::Rle4, out)) return fail(KRO_ERR_IO);
    } else {
        Channel red(0), green(0), blue(0), alpha(0);
        if (layout == Layout::Fields) {
            red = Channel(fields ? get32le(h + 54) : bits == 16 ? 0x7C00 : 0xFF0000);
            green = Channel(fields ? get32le(h + 58) : bits == 16 ? 0x03E0 : 0x00FF00);
            blue = Channel(fields ? get32le(h + 62) : bits == 16 ? 0x001F : 0x0000FF);
            if (fields && (infoSize >= 56 || compression == kAlphaBitFields) && file.size() >= 70)
                alpha = Channel(get32le(h + 66));
        }
        const auto pixel = [&](const unsigned char* row, uint32_t x) {
            return bits == 16 ? get16le(row + 2 * x) : get32le(row + 4 * x);
        };
        // Some writers declare an alpha channel and leave it 0: then it means nothing.
        bool alphaUsed = false;
        for (uint32_t y = 0; alpha.mask && y < height && !alphaUsed; ++y)
            for (uint32_t x = 0; x < out.width && !alphaUsed; ++x)
                alphaUsed = alpha(pixel(pixels + y * inStride, x)) != 0;
        const unsigned char padMask = width % 8 ? uint8_t(0xFF >> (width % 8)) : 0;
        for (uint32_t y = 0; y < height; ++y) {
            const unsigned char* in = pixels + size_t(topDown ? y : height - 1 - y) * inStride;
            unsigned char* o = out.row(y);
            if (layout == Layout::Fields) {
                for (uint32_t x = 0; x < out.width; ++x, o += 3) {
                    const uint32_t p = pixel(in, x), a = alphaUsed ? alpha(p) : 255;
                    o[0] = kro::overWhite(red(p), a);
                    o[1] = kro::overWhite(green(p), a);
                    o[2] = kro::overWhite(blue(p), a);
                }
            } else if (bits == 4) {
                for (uint32_t x = 0; x < out.width; ++x)
                    o[x] = x & 1 ? in[x / 2] & 15 : in[x / 2] >> 4;
            } else if (bits == 24) {
                for (uint32_t x = 0; x < out.width; ++x, o += 3, in += 3)
                    o[0] = in[2], o[1] = in[1], o[2] = in[0];
            } else {
                std::memcpy(o, in, out.rowBytes);
                // As the plain reader does: bits past the picture's width are set.
                if (depth == 1 && padMask) o[(width - 1) / 8] |= padMask;
            }
        }
    }

    kro::handOverPicture(image, recordWidth, int32_t(height), depth, bytes,
                         buffer.release(), width, int32_t(height));
    // The OS/2 1.x header states no resolution.
    resolution[0] = core ? 0 : kro::dpiFromPixelsPerMetre(int32_t(get32le(h + 38)));
    resolution[1] = core ? 0 : kro::dpiFromPixelsPerMetre(int32_t(get32le(h + 42)));
    *photometric = kro::photometricFromPalette(depth, palette, colours);
    return 0;
}
