// Shared checks and row helpers of the raster-processing library.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/image.h"
#include "core/palette.h"
#include "kro/pixo.h"

namespace pixo {

inline int32_t fail(int32_t* status, int32_t code) {
    if (status) *status = code;
    return -1;
}

inline int32_t done(int32_t* status) {
    if (status) *status = GFX_ST_OK;
    return 0;
}

// Success of an operation that wrote the w x h rectangle at (dx, dy): the
// destination's valid area now ends at the rectangle's far corner.
inline int32_t filled(RsImage* dst, int32_t dx, int32_t dy, int32_t w, int32_t h, int32_t* status) {
    dst->validWidth = dx + w;
    dst->validHeight = dy + h;
    return done(status);
}

// The rows of a raw image as the operations address them.
struct Plane {
    unsigned char* data;
    size_t stride;  // bytes from one row to the next
    int32_t width;  // addressable pixels per row (whole bytes only at depth 1)
    int32_t height;
    int32_t depth;
    int32_t bytesPerPixel;  // 0 at depth 1

    unsigned char* row(int64_t y) const { return data + size_t(y) * stride; }
};

// Checks a raw image (format 1, depth 1, 8 or 24, sides 1 to 32768, size
// covering every row) and describes its rows. 0 or a GFX_ST_* code.
inline int32_t checkImage(const RsImage* im, Plane* out) {
    if (!im || !im->data) return GFX_ST_NULL;
    if (im->format != KRO_FORMAT_RAW) return GFX_ST_IMAGE;
    if (im->depth != 1 && im->depth != 8 && im->depth != 24) return GFX_ST_IMAGE;
    if (im->width < 1 || im->width > KRO_MAX_SIDE || im->height < 1 || im->height > KRO_MAX_SIDE)
        return GFX_ST_IMAGE;
    const size_t stride =
        im->depth == 1 ? size_t(im->width) / 8 : size_t(im->width) * size_t(im->depth / 8);
    if (stride == 0) return GFX_ST_IMAGE;  // a bilevel row narrower than one byte holds no pixel
    if (!kro::sizeCoversRows(*im)) return GFX_ST_IMAGE;
    out->data = im->data;
    out->stride = stride;
    out->width = im->depth == 1 ? int32_t(stride * 8) : im->width;
    out->height = im->height;
    out->depth = im->depth;
    out->bytesPerPixel = im->depth / 8;
    return 0;
}

inline bool rectInside(const Plane& p, int64_t x, int64_t y, int64_t w, int64_t h) {
    return x >= 0 && y >= 0 && w >= 1 && h >= 1 && x + w <= p.width && y + h <= p.height;
}

// Whether two planes share any byte.
inline bool overlap(const Plane& a, const Plane& b) {
    const unsigned char* aEnd = a.data + a.stride * size_t(a.height);
    const unsigned char* bEnd = b.data + b.stride * size_t(b.height);
    return a.data < bEnd && b.data < aEnd;
}

// A malloc'd work buffer, freed on scope exit.
class Scratch {
  public:
    Scratch() = default;
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    ~Scratch() { std::free(p_); }
    // Zeroed room for n bytes; false when memory is short.
    bool reserve(uint64_t n) {
        std::free(p_);
        p_ =
            n > SIZE_MAX ? nullptr : static_cast<unsigned char*>(std::calloc(n ? size_t(n) : 1, 1));
        return p_ != nullptr;
    }
    template <typename T = unsigned char>
    T* as() const {
        return reinterpret_cast<T*>(p_);
    }

  private:
    unsigned char* p_ = nullptr;
};

// Bits [x, x + w) of a bilevel row, moved to start at bit 0 of out; the bits
// of out's last byte past w are cleared. Reads no byte past bit x + w - 1.
inline void loadBits(const unsigned char* row, int64_t x, int32_t w, unsigned char* out) {
    const unsigned char* p = row + x / 8;
    const int shift = int(x % 8);
    const size_t n = (size_t(w) + 7) / 8;
    if (shift == 0) {
        std::memcpy(out, p, n);
    } else {
        const size_t last = size_t((x + w - 1) / 8 - x / 8);  // index of the last byte touched
        for (size_t i = 0; i < n; ++i) {
            unsigned v = unsigned(p[i]) << shift;
            if (i + 1 <= last) v |= p[i + 1] >> (8 - shift);
            out[i] = uint8_t(v);
        }
    }
    if (w % 8) out[n - 1] &= uint8_t(0xFF00 >> (w % 8));
}

// Writes w bits from the start of bits into a bilevel row at bit x, keeping
// every other bit of the row.
inline void storeBits(const unsigned char* bits, unsigned char* row, int64_t x, int32_t w) {
    if (x % 8 == 0) {
        unsigned char* d = row + x / 8;
        const size_t whole = size_t(w) / 8;
        std::memcpy(d, bits, whole);
        if (w % 8) {
            const uint8_t mask = uint8_t(0xFF00 >> (w % 8));
            d[whole] = uint8_t((d[whole] & ~mask) | (bits[whole] & mask));
        }
        return;
    }
    for (int32_t i = 0; i < w; ++i) {
        const int64_t at = x + i;
        const uint8_t m = uint8_t(0x80 >> (at % 8));
        if (bits[i / 8] & (0x80 >> (i % 8)))
            row[at / 8] = uint8_t(row[at / 8] | m);
        else
            row[at / 8] = uint8_t(row[at / 8] & ~m);
    }
}

constexpr std::array<uint8_t, 256> reversedBitsTable() {
    std::array<uint8_t, 256> t{};
    for (int v = 0; v < 256; ++v) {
        int r = 0;
        for (int b = 0; b < 8; ++b)
            if (v & (1 << b)) r |= 0x80 >> b;
        t[size_t(v)] = uint8_t(r);
    }
    return t;
}

// The bit-reversed value of every byte.
inline constexpr std::array<uint8_t, 256> kReversedBits = reversedBitsTable();

}  // namespace pixo
