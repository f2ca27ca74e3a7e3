// Scaling of 1-, 8- and 24-bit rectangles, one axis at a time. Reduction
// averages areas: each output pixel is the mean of the source area it covers,
// border pixels counted by the fraction they cover; horizontal sums are kept
// as 1/256 steps of a level, so the vertical pass adds 32-bit integers.
// Enlargement interpolates bilinearly in 1/256 steps; bilevel enlargement
// replicates pixels.
#include <numeric>

#include "pixo_internal.h"

namespace {

using pixo::fail;
using pixo::Plane;
using pixo::Scratch;

// Horizontal results are levels times 256; a bilevel pixel enters as level 255.
constexpr uint32_t kFullLevel = 255 * 256;

// Which source pixels each of d output pixels covers, out of s >= d, and by
// how much. With the sides divided by their common divisor, output i spans
// [i * s, (i + 1) * s) and source j spans [j * d, (j + 1) * d): the overlaps of
// one output add up to s.
struct AreaAxis {
    Scratch startBuf, countBuf, firstBuf, weightBuf;
    int32_t* start = nullptr;
    int32_t* count = nullptr;
    int32_t* first = nullptr;    // index of the output's first weight
    uint16_t* weight = nullptr;  // overlaps, at most d <= 32768
    uint32_t units = 0;          // s after division: the sum of one output's weights

    bool build(int32_t sourceSide, int32_t outSide) {
        const int64_t g = std::gcd(sourceSide, outSide);
        const int64_t s = sourceSide / g, d = outSide / g;
        units = uint32_t(s);
        const uint64_t maxWeights = uint64_t(sourceSide) + uint64_t(outSide);
        if (!startBuf.reserve(4 * uint64_t(outSide)) || !countBuf.reserve(4 * uint64_t(outSide)) ||
            !firstBuf.reserve(4 * uint64_t(outSide)) || !weightBuf.reserve(2 * maxWeights))
            return false;
        start = startBuf.as<int32_t>();
        count = countBuf.as<int32_t>();
        first = firstBuf.as<int32_t>();
        weight = weightBuf.as<uint16_t>();
        int32_t next = 0;
        for (int64_t i = 0; i < outSide; ++i) {
            const int64_t lo = i * s, hi = lo + s;
            const int64_t j0 = lo / d, j1 = (hi - 1) / d;
            start[i] = int32_t(j0);
            count[i] = int32_t(j1 - j0 + 1);
            first[i] = next;
            for (int64_t j = j0; j <= j1; ++j) {
                const int64_t a = lo > j * d ? lo : j * d;
                const int64_t b = hi < (j + 1) * d ? hi : (j + 1) * d;
                weight[next++] = uint16_t(b - a);
            }
        }
        return true;
    }
};

// round(v / divisor) by a multiply. v * factor is about the quotient times
// 2^shift: below 2^16 with shift 40 horizontally, below 2^8 with 48 vertically.
struct Divider {
    int shift;
    uint64_t factor;
    Divider(uint64_t divisor, int shift_)
        : shift(shift_), factor(((uint64_t(1) << shift_) + divisor / 2) / divisor) {}
    uint32_t operator()(uint64_t v) const {
        return uint32_t((v * factor + (uint64_t(1) << (shift - 1))) >> shift);
    }
};

// One source row reduced horizontally: out[i * C + c] in 1/256 steps.
template <int C>
void reduceRow(const unsigned char* src, const AreaAxis& ax, const Divider& toSteps, int32_t outW,
               uint16_t* out) {
    for (int32_t i = 0; i < outW; ++i) {
        const unsigned char* p = src + size_t(ax.start[i]) * C;
        const uint16_t* w = ax.weight + ax.first[i];
        const int32_t n = ax.count[i];
        uint32_t sum[C] = {};
        for (int32_t k = 0; k < n; ++k)
            for (int c = 0; c < C; ++c) sum[c] += uint32_t(w[k]) * p[k * C + c];
        for (int c = 0; c < C; ++c)
            out[size_t(i) * C + c] = uint16_t(toSteps(uint64_t(sum[c]) * 256));
    }
}

// Source row r of the rectangle as bytes: the pixels themselves at depth 8 and
// 24, 0 or 255 per pixel at depth 1.
struct RowReader {
    const Plane& plane;
    int32_t x, y, w;
    unsigned char* bits;   // depth 1: the row's bits, byte-aligned
    unsigned char* bytes;  // depth 1: one byte a pixel

    const unsigned char* operator()(int32_t r) const {
        if (plane.depth != 1) return plane.row(y + r) + size_t(x) * size_t(plane.bytesPerPixel);
        pixo::loadBits(plane.row(y + r), x, w, bits);
        for (int32_t i = 0; i < w; ++i) bytes[i] = (bits[i >> 3] & (0x80 >> (i & 7))) ? 255 : 0;
        return bytes;
    }
};

// Packs one bilevel output row (1 = black) and stores it at bit dx.
void storeBilevel(const uint8_t* black, int32_t n, unsigned char* packed, unsigned char* row,
                  int32_t dx) {
    std::memset(packed, 0, (size_t(n) + 7) / 8);
    for (int32_t i = 0; i < n; ++i)
        if (black[i]) packed[i >> 3] = uint8_t(packed[i >> 3] | (0x80 >> (i & 7)));
    pixo::storeBits(packed, row, dx, n);
}

template <int C>
int32_t reduce(const Plane& s, int32_t x, int32_t y, int32_t w, int32_t h, const Plane& d,
               int32_t dx, int32_t dy, int32_t dw, int32_t dh) {
    AreaAxis ax, ay;
    Scratch inter, acc, bits, bytes, flags, packed;
    const size_t lineValues = size_t(dw) * C;
    if (!ax.build(w, dw) || !ay.build(h, dh) || !inter.reserve(2 * lineValues) ||
        !acc.reserve(4 * lineValues) || !bits.reserve(size_t(w) / 8 + 2) ||
        !bytes.reserve(size_t(w)) || !flags.reserve(size_t(dw)) ||
        !packed.reserve(size_t(dw) / 8 + 1))
        return GFX_ST_NOMEM;
    const RowReader source{s, x, y, w, bits.as(), bytes.as()};
    const Divider toSteps(ax.units, 40);
    const Divider toLevel(uint64_t(ay.units) * 256, 48);
    // A bilevel output pixel is black when at least a quarter of it is: a
    // one-pixel line still shows after halving or quartering.
    const uint32_t blackFrom = ay.units * (kFullLevel / 4);
    uint16_t* row = inter.as<uint16_t>();
    uint32_t* sum = acc.as<uint32_t>();
    int32_t cached = -1;
    for (int32_t oy = 0; oy < dh; ++oy) {
        std::memset(sum, 0, lineValues * 4);
        const uint16_t* wy = ay.weight + ay.first[oy];
        for (int32_t k = 0; k < ay.count[oy]; ++k) {
            const int32_t r = ay.start[oy] + k;
            if (r != cached) {  // a source row on a border serves two output rows
                reduceRow<C>(source(r), ax, toSteps, dw, row);
                cached = r;
            }
            const uint32_t f = wy[k];
            for (size_t i = 0; i < lineValues; ++i) sum[i] += f * row[i];
        }
        if (s.depth == 1) {
            uint8_t* black = flags.as();
            for (int32_t i = 0; i < dw; ++i) black[i] = sum[i] >= blackFrom;
            storeBilevel(black, dw, packed.as(), d.row(dy + oy), dx);
        } else {
            unsigned char* out = d.row(dy + oy) + size_t(dx) * C;
            for (size_t i = 0; i < lineValues; ++i) out[i] = uint8_t(toLevel(sum[i]));
        }
    }
    return 0;
}

// Bilinear sample positions of an enlargement from s to d >= s pixels, in
// 1/256 of a source pixel, centres aligned; the last pixel repeats past the edge.
struct LinearAxis {
    Scratch indexBuf, fracBuf;
    int32_t* index = nullptr;
    uint16_t* frac = nullptr;

    bool build(int32_t s, int32_t d) {
        if (!indexBuf.reserve(4 * uint64_t(d)) || !fracBuf.reserve(2 * uint64_t(d))) return false;
        index = indexBuf.as<int32_t>();
        frac = fracBuf.as<uint16_t>();
        for (int64_t i = 0; i < d; ++i) {
            const int64_t num = ((2 * i + 1) * s - d) * 256;
            int64_t at = num <= 0 ? 0 : num / (2 * int64_t(d));
            if ((at >> 8) >= s - 1) at = int64_t(s - 1) << 8;
            index[i] = int32_t(at >> 8);
            frac[i] = uint16_t(at & 255);
        }
        return true;
    }
};

template <int C>
void enlargeRow(const unsigned char* src, const LinearAxis& ax, int32_t srcW, int32_t outW,
                uint16_t* out) {
    for (int32_t i = 0; i < outW; ++i) {
        const int32_t j = ax.index[i];
        const uint32_t f = ax.frac[i];
        const unsigned char* a = src + size_t(j) * C;
        const unsigned char* b = j + 1 < srcW ? a + C : a;
        for (int c = 0; c < C; ++c) out[size_t(i) * C + c] = uint16_t(a[c] * (256 - f) + b[c] * f);
    }
}

template <int C>
int32_t enlarge(const Plane& s, int32_t x, int32_t y, int32_t w, int32_t h, const Plane& d,
                int32_t dx, int32_t dy, int32_t dw, int32_t dh) {
    LinearAxis ax, ay;
    Scratch rows;
    const size_t lineValues = size_t(dw) * C;
    if (!ax.build(w, dw) || !ay.build(h, dh) || !rows.reserve(2 * 2 * lineValues))
        return GFX_ST_NOMEM;
    uint16_t* line[2] = {rows.as<uint16_t>(), rows.as<uint16_t>() + lineValues};
    int32_t held[2] = {-1, -1};  // source row in each line
    auto horizontal = [&](int32_t r) -> const uint16_t* {
        if (held[0] == r) return line[0];
        if (held[1] == r) return line[1];
        const int slot = held[0] < held[1] ? 0 : 1;  // rows only move down: drop the upper
        enlargeRow<C>(s.row(y + r) + size_t(x) * C, ax, w, dw, line[slot]);
        held[slot] = r;
        return line[slot];
    };
    for (int32_t oy = 0; oy < dh; ++oy) {
        const int32_t r = ay.index[oy];
        const uint32_t g = ay.frac[oy];
        const uint16_t* a = horizontal(r);
        const uint16_t* b = r + 1 < h ? horizontal(r + 1) : a;
        unsigned char* out = d.row(dy + oy) + size_t(dx) * C;
        for (size_t i = 0; i < lineValues; ++i)
            out[i] = uint8_t((a[i] * (256 - g) + b[i] * g + 32768) >> 16);
    }
    return 0;
}

// Bilevel enlargement: each output pixel takes the source pixel under its centre.
int32_t replicate(const Plane& s, int32_t x, int32_t y, int32_t w, int32_t h, const Plane& d,
                  int32_t dx, int32_t dy, int32_t dw, int32_t dh) {
    Scratch mapBuf, bits, packed;
    if (!mapBuf.reserve(4 * uint64_t(dw)) || !bits.reserve(size_t(w) / 8 + 2) ||
        !packed.reserve(size_t(dw) / 8 + 2))
        return GFX_ST_NOMEM;
    int32_t* from = mapBuf.as<int32_t>();
    for (int64_t i = 0; i < dw; ++i) from[i] = int32_t((2 * i + 1) * w / (2 * int64_t(dw)));
    int32_t built = -1;
    for (int32_t oy = 0; oy < dh; ++oy) {
        const int32_t r = int32_t((2 * int64_t(oy) + 1) * h / (2 * int64_t(dh)));
        if (r != built) {
            const unsigned char* in = bits.as();
            pixo::loadBits(s.row(y + r), x, w, bits.as());
            unsigned char* out = packed.as();
            std::memset(out, 0, (size_t(dw) + 7) / 8);
            for (int32_t i = 0; i < dw; ++i)
                if (in[from[i] >> 3] & (0x80 >> (from[i] & 7)))
                    out[i >> 3] = uint8_t(out[i >> 3] | (0x80 >> (i & 7)));
            built = r;
        }
        pixo::storeBits(packed.as(), d.row(dy + oy), dx, dw);
    }
    return 0;
}

// The checks both scaling operations make; 0 or a GFX_ST_* code.
int32_t checkScale(const RsImage* src, int32_t x, int32_t y, int32_t w, int32_t h, RsImage* dst,
                   int32_t dx, int32_t dy, int32_t dw, int32_t dh, Plane* s, Plane* d) {
    if (int32_t rc = pixo::checkImage(src, s)) return rc;
    if (!dst) return GFX_ST_NULL;
    if (int32_t rc = pixo::checkImage(dst, d)) return rc;
    if (s->depth != d->depth) return GFX_ST_IMAGE;
    if (!pixo::rectInside(*s, x, y, w, h) || !pixo::rectInside(*d, dx, dy, dw, dh))
        return GFX_ST_RECT;
    if (pixo::overlap(*s, *d)) return GFX_ST_ARGUMENT;
    return 0;
}

}  // namespace

extern "C" PIXO_API int32_t GfxZoom(const RsImage* src, int32_t x, int32_t y, int32_t width,
                                    int32_t height, RsImage* dst, int32_t dx, int32_t dy,
                                    int32_t dstWidth, int32_t dstHeight, int32_t* status) {
    Plane s, d;
    if (int32_t rc = checkScale(src, x, y, width, height, dst, dx, dy, dstWidth, dstHeight, &s, &d))
        return fail(status, rc);
    if (dstWidth < width || dstHeight < height) return fail(status, GFX_ST_ARGUMENT);
    int32_t rc;
    switch (s.depth) {
        case 1:
            rc = replicate(s, x, y, width, height, d, dx, dy, dstWidth, dstHeight);
            break;
        case 8:
            rc = enlarge<1>(s, x, y, width, height, d, dx, dy, dstWidth, dstHeight);
            break;
        default:
            rc = enlarge<3>(s, x, y, width, height, d, dx, dy, dstWidth, dstHeight);
            break;
    }
    if (rc) return fail(status, rc);
    return pixo::filled(dst, dx, dy, dstWidth, dstHeight, status);
}

extern "C" PIXO_API int32_t GfxRedu(const RsImage* src, int32_t x, int32_t y, int32_t width,
                                    int32_t height, RsImage* dst, int32_t dx, int32_t dy,
                                    int32_t dstWidth, int32_t dstHeight, int32_t* status) {
    Plane s, d;
    if (int32_t rc = checkScale(src, x, y, width, height, dst, dx, dy, dstWidth, dstHeight, &s, &d))
        return fail(status, rc);
    if (dstWidth > width || dstHeight > height) return fail(status, GFX_ST_ARGUMENT);
    const int32_t rc = s.depth == 24
                           ? reduce<3>(s, x, y, width, height, d, dx, dy, dstWidth, dstHeight)
                           : reduce<1>(s, x, y, width, height, d, dx, dy, dstWidth, dstHeight);
    if (rc) return fail(status, rc);
    return pixo::filled(dst, dx, dy, dstWidth, dstHeight, status);
}
