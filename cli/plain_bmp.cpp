// Rewriting the BMP variants the library does not read into plain files.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "cli/plain_copy.h"
#include "core/image.h"
#include "kro/kro.h"

namespace kro::cli {

namespace {

constexpr size_t kLargestFile = size_t(1) << 31;

size_t rowBytes(uint32_t width, uint32_t bits) {
    return (size_t(width) * bits + 31) / 32 * 4;
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

// The picture being rebuilt: rows top to bottom, depth 1, 8 or 24.
struct Plain {
    uint32_t width = 0, height = 0, depth = 8;
    size_t stride = 0;
    std::vector<unsigned char> pixels;
    unsigned char* row(uint32_t y) { return pixels.data() + size_t(y) * stride; }
};

// RLE8 (nibbles false) or RLE4: the rows come bottom first. Pixels the
// stream skips stay at index 0. False when the stream ends before its end
// mark or the last row.
bool decodeRle(const unsigned char* s, size_t n, bool nibbles, Plain* out) {
    uint32_t x = 0, r = 0;  // r: rows from the bottom
    const auto put = [&](uint32_t index) {
        if (x < out->width && r < out->height) out->row(out->height - 1 - r)[x] = uint8_t(index);
        ++x;
    };
    size_t i = 0;
    while (r < out->height) {
        if (i + 2 > n) return false;
        const uint32_t count = s[i], value = s[i + 1];
        i += 2;
        if (count > 0) {  // a run
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

}  // namespace

PlainCopy plainBmp(const std::vector<unsigned char>& file, std::vector<unsigned char>* plain) {
    if (file.size() < 26 || file[0] != 'B' || file[1] != 'M') return PlainCopy::None;
    const unsigned char* h = file.data();
    const uint32_t offset = get32le(h + 10), infoSize = get32le(h + 14);
    // The OS/2 1.x header (12 bytes): 16-bit sides, colours of 3 bytes, no
    // compression and no resolution. The OS/2 2.x one (64 bytes) reads like
    // the Windows one but for its compression codes above 2.
    const bool core = infoSize == 12;
    if ((!core && infoSize < 40) || infoSize > file.size() - 14 || offset > file.size())
        return PlainCopy::None;
    const int32_t width = core ? int32_t(get16le(h + 18)) : int32_t(get32le(h + 18));
    const int32_t signedHeight = core ? int32_t(get16le(h + 20)) : int32_t(get32le(h + 22));
    const uint32_t bits = get16le(h + (core ? 24 : 28)), compression = core ? 0 : get32le(h + 30);
    if (width <= 0 || width > KRO_MAX_SIDE || signedHeight == 0 || signedHeight == INT32_MIN ||
        std::abs(signedHeight) > KRO_MAX_SIDE || (infoSize == 64 && compression > 2))
        return PlainCopy::None;
    const bool topDown = signedHeight < 0;
    const bool foreign = core || infoSize == 64;  // headers the library does not read
    Plain out;
    out.width = uint32_t(width);
    out.height = uint32_t(std::abs(signedHeight));

    enum { Rows, Rle8, Rle4, Fields } kind;
    if (compression == 1 && bits == 8)
        kind = Rle8;
    else if (compression == 2 && bits == 4)
        kind = Rle4;
    else if ((compression == 0 || compression == 3 || compression == 6) &&
             (bits == 16 || bits == 32))
        kind = Fields;
    else if (compression == 0 &&
             (bits == 4 || ((topDown || foreign) && (bits == 1 || bits == 8 || bits == 24))))
        kind = Rows;
    else
        return PlainCopy::None;
    out.depth = kind == Fields ? 24 : bits == 4 ? 8 : bits;
    out.stride = rowBytes(out.width, out.depth);

    const unsigned char* pixels = h + offset;
    const size_t available = file.size() - offset;
    const size_t inStride = rowBytes(out.width, bits);
    if (kind == Rows || kind == Fields) {
        if (inStride * out.height > available) return PlainCopy::Damaged;
    } else if (double(out.width) * out.height > 16384.0 * double(available) + out.width) {
        // Nothing in an RLE stream covers more than this many pixels per byte.
        return PlainCopy::Damaged;
    }
    out.pixels.assign(out.stride * out.height, 0);

    // The colour table of a palette picture, as the plain file will hold it.
    std::vector<unsigned char> table;
    if (out.depth <= 8) {
        const uint32_t used = core ? 0 : get32le(h + 46), most = 1u << bits;
        const size_t at = 14 + size_t(infoSize), entryBytes = core ? 3 : 4;
        const size_t entries = std::min<size_t>(used == 0 || used > most ? most : used,
                                                offset > at ? (offset - at) / entryBytes : 0);
        table.assign(size_t(1u << out.depth) * 4, 0);
        for (size_t i = 0; i < entries; ++i) std::memcpy(&table[4 * i], h + at + entryBytes * i, 3);
    }

    if (kind == Rle8 || kind == Rle4) {
        if (!decodeRle(pixels, available, kind == Rle4, &out)) return PlainCopy::Damaged;
    } else {
        Channel red(0), green(0), blue(0), alpha(0);
        if (kind == Fields) {
            const bool fields = compression != 0;
            if (fields && file.size() < 66) return PlainCopy::Damaged;
            red = Channel(fields ? get32le(h + 54) : bits == 16 ? 0x7C00 : 0xFF0000);
            green = Channel(fields ? get32le(h + 58) : bits == 16 ? 0x03E0 : 0x00FF00);
            blue = Channel(fields ? get32le(h + 62) : bits == 16 ? 0x001F : 0x0000FF);
            if (fields && (infoSize >= 56 || compression == 6) && file.size() >= 70)
                alpha = Channel(get32le(h + 66));
        }
        const auto pixel = [&](const unsigned char* row, uint32_t x) {
            return bits == 16 ? get16le(row + 2 * x) : get32le(row + 4 * x);
        };
        // Some writers declare an alpha channel and leave it 0: then it means nothing.
        bool alphaUsed = false;
        for (uint32_t y = 0; alpha.mask && y < out.height && !alphaUsed; ++y)
            for (uint32_t x = 0; x < out.width && !alphaUsed; ++x)
                alphaUsed = alpha(pixel(pixels + y * inStride, x)) != 0;
        for (uint32_t y = 0; y < out.height; ++y) {
            const unsigned char* in = pixels + size_t(topDown ? y : out.height - 1 - y) * inStride;
            unsigned char* o = out.row(y);
            if (kind == Rows && bits == 4) {
                for (uint32_t x = 0; x < out.width; ++x)
                    o[x] = x & 1 ? in[x / 2] & 15 : in[x / 2] >> 4;
            } else if (kind == Rows) {
                std::memcpy(o, in, out.stride);
            } else {
                for (uint32_t x = 0; x < out.width; ++x, o += 3) {
                    const uint32_t p = pixel(in, x), a = alphaUsed ? alpha(p) : 255;
                    const uint32_t c[3] = {blue(p), green(p), red(p)};  // BMP order
                    for (int k = 0; k < 3; ++k)
                        o[k] = uint8_t((c[k] * a + 255 * (255 - a) + 127) / 255);  // over white
                }
            }
        }
    }

    // The plain file: headers, colour table, rows bottom first.
    const size_t head = 14 + 40 + table.size(), total = head + out.pixels.size();
    if (total > kLargestFile) return PlainCopy::Damaged;
    plain->assign(total, 0);
    unsigned char* p = plain->data();
    p[0] = 'B', p[1] = 'M';
    put32le(p + 2, uint32_t(total));
    put32le(p + 10, uint32_t(head));
    put32le(p + 14, 40);
    put32le(p + 18, out.width);
    put32le(p + 22, out.height);
    put16le(p + 26, 1);
    put16le(p + 28, out.depth);
    put32le(p + 34, uint32_t(out.pixels.size()));
    if (!core) std::memcpy(p + 38, h + 38, 8);  // the resolution, as it stands
    put32le(p + 46, uint32_t(table.size() / 4));
    if (!table.empty()) std::memcpy(p + 54, table.data(), table.size());
    for (uint32_t y = 0; y < out.height; ++y)
        std::memcpy(p + head + size_t(out.height - 1 - y) * out.stride, out.row(y), out.stride);
    return PlainCopy::Made;
}

bool readWhole(FILE* f, std::vector<unsigned char>* bytes) {
    std::rewind(f);
    unsigned char chunk[65536];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, f)) > 0;) {
        if (bytes->size() + n > kLargestFile) return false;
        bytes->insert(bytes->end(), chunk, chunk + n);
    }
    return !std::ferror(f);
}

PlainCopy plainCopy(FILE* f, Format format, std::vector<unsigned char>* plain) {
    if (format != Format::Bmp && format != Format::Pcx) return PlainCopy::None;
    std::vector<unsigned char> file;
    if (!readWhole(f, &file)) return PlainCopy::None;
    return format == Format::Bmp ? plainBmp(file, plain) : plainPcx(file, plain);
}

}  // namespace kro::cli
