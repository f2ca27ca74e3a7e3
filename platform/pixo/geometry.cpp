// Quarter turns and bit reversal. Bilevel turns move 8 x 8 blocks of bits
// with a word transpose; 8- and 24-bit turns walk the source in bands of rows
// so that both images are read and written along cache lines.
#include "pixo_internal.h"

namespace {

using pixo::fail;
using pixo::Plane;

// Transposes an 8 x 8 bit block: row r is byte 7 - r of the word (row 0 the
// most significant), column c is bit 7 - c of its byte; the result holds
// column c of the input as its row c.
inline uint64_t transpose8(uint64_t x) {
    uint64_t t;
    t = (x ^ (x >> 7)) & 0x00AA00AA00AA00AAull;
    x ^= t ^ (t << 7);
    t = (x ^ (x >> 14)) & 0x0000CCCC0000CCCCull;
    x ^= t ^ (t << 14);
    t = (x ^ (x >> 28)) & 0x00000000F0F0F0F0ull;
    x ^= t ^ (t << 28);
    return x;
}

// A bilevel rectangle whose first pixel is the top bit of its first byte.
struct BitRect {
    const unsigned char* data;
    size_t stride;
    int32_t width, height;
    const unsigned char* row(int64_t y) const { return data + size_t(y) * stride; }
};

// Turns a bilevel rectangle by 90 (ccw true) or 270 degrees into out, whose
// rows start byte-aligned and are src.height bits long. Bits of out's last
// byte column past src.height are kept.
void turnBits(const BitRect& src, bool ccw, unsigned char* out, size_t outStride) {
    const int32_t w = src.width, h = src.height;
    const int32_t srcBytes = (w + 7) / 8;
    const int32_t blocks = (h + 7) / 8;
    const unsigned char* rows[8];
    for (int32_t k = 0; k < blocks; ++k) {
        // Output pixels 8k .. 8k + 7 of every output row come from these rows.
        for (int r = 0; r < 8; ++r) {
            const int32_t y = ccw ? 8 * k + r : h - 1 - 8 * k - r;
            rows[r] = (y >= 0 && y < h) ? src.row(y) : nullptr;
        }
        const int32_t valid = h - 8 * k < 8 ? h - 8 * k : 8;
        const uint8_t keep = uint8_t(0xFF >> valid);  // output bits that stay
        for (int32_t bx = 0; bx < srcBytes; ++bx) {
            uint64_t m = 0;
            for (int r = 0; r < 8; ++r) m = m << 8 | (rows[r] ? rows[r][bx] : 0);
            const uint64_t t = transpose8(m);
            for (int c = 0; c < 8; ++c) {
                const int32_t sx = 8 * bx + c;
                if (sx >= w) break;
                const int32_t outRow = ccw ? w - 1 - sx : sx;
                unsigned char* d = out + size_t(outRow) * outStride + size_t(k);
                const uint8_t v = uint8_t(t >> (56 - 8 * c));
                *d = keep ? uint8_t((*d & keep) | v) : v;
            }
        }
    }
}

// Turns a bilevel rectangle by 180 degrees into out (rows byte-aligned,
// src.width bits long; the rest of each last byte is kept).
void halfTurnBits(const BitRect& src, unsigned char* out, size_t outStride, unsigned char* tmp) {
    const int32_t w = src.width, h = src.height;
    const int32_t n = (w + 7) / 8;
    const int shift = 8 * n - w;
    for (int32_t y = 0; y < h; ++y) {
        const unsigned char* s = src.row(h - 1 - y);
        for (int32_t i = 0; i < n; ++i) tmp[i] = pixo::kReversedBits[s[n - 1 - i]];
        if (shift)
            for (int32_t i = 0; i < n; ++i)
                tmp[i] = uint8_t(tmp[i] << shift | (i + 1 < n ? tmp[i + 1] >> (8 - shift) : 0));
        pixo::storeBits(tmp, out + size_t(y) * outStride, 0, w);
    }
}

int32_t turnBilevel(const Plane& s, int32_t x, int32_t y, int32_t w, int32_t h, const Plane& d,
                    int32_t dx, int32_t dy, int32_t angle) {
    pixo::Scratch srcCopy, dstCopy, tmp;
    BitRect src{s.row(y) + x / 8, s.stride, w, h};
    if (x % 8) {  // move the rectangle to a byte boundary first
        const size_t stride = (size_t(w) + 7) / 8;
        if (!srcCopy.reserve(stride * size_t(h))) return GFX_ST_NOMEM;
        for (int32_t r = 0; r < h; ++r)
            pixo::loadBits(s.row(y + r), x, w, srcCopy.as() + size_t(r) * stride);
        src = BitRect{srcCopy.as(), stride, w, h};
    }
    const int32_t outW = angle == 180 ? w : h, outH = angle == 180 ? h : w;
    unsigned char* out = d.row(dy) + dx / 8;
    size_t outStride = d.stride;
    if (dx % 8) {
        outStride = (size_t(outW) + 7) / 8;
        if (!dstCopy.reserve(outStride * size_t(outH))) return GFX_ST_NOMEM;
        out = dstCopy.as();
    }
    if (angle == 180) {
        if (!tmp.reserve((size_t(w) + 7) / 8)) return GFX_ST_NOMEM;
        halfTurnBits(src, out, outStride, tmp.as());
    } else {
        turnBits(src, angle == 90, out, outStride);
    }
    if (dx % 8)
        for (int32_t r = 0; r < outH; ++r)
            pixo::storeBits(out + size_t(r) * outStride, d.row(dy + r), dx, outW);
    return 0;
}

// 8- and 24-bit turns, B bytes a pixel. The source is taken in bands of
// kBand rows; within a band every output row is a short run of writes.
constexpr int32_t kBand = 32;

template <int B>
void turnBytes(const Plane& s, int32_t x, int32_t y, int32_t w, int32_t h, const Plane& d,
               int32_t dx, int32_t dy, int32_t angle) {
    auto px = [](unsigned char* to, const unsigned char* from) {
        for (int i = 0; i < B; ++i) to[i] = from[i];
    };
    if (angle == 180) {
        for (int32_t r = 0; r < h; ++r) {
            const unsigned char* src = s.row(y + h - 1 - r) + size_t(x) * B;
            unsigned char* dst = d.row(dy + r) + size_t(dx) * B;
            for (int32_t c = 0; c < w; ++c) px(dst + size_t(c) * B, src + size_t(w - 1 - c) * B);
        }
        return;
    }
    // 90: out(X, Y) = in(w - 1 - Y, X); 270: out(X, Y) = in(Y, h - 1 - X). Output
    // is h wide and w high.
    for (int32_t band = 0; band < h; band += kBand) {
        const int32_t n = h - band < kBand ? h - band : kBand;
        const unsigned char* rows[kBand];
        for (int32_t i = 0; i < n; ++i) {
            const int32_t X = band + i;
            rows[i] = s.row(y + (angle == 90 ? X : h - 1 - X)) + size_t(x) * B;
        }
        for (int32_t Y = 0; Y < w; ++Y) {
            const size_t col = size_t(angle == 90 ? w - 1 - Y : Y) * B;
            unsigned char* dst = d.row(dy + Y) + size_t(dx + band) * B;
            for (int32_t i = 0; i < n; ++i) px(dst + size_t(i) * B, rows[i] + col);
        }
    }
}

}  // namespace

extern "C" PIXO_API int32_t GfxRt90(const RsImage* src, int32_t x, int32_t y, int32_t width,
                                    int32_t height, RsImage* dst, int32_t dx, int32_t dy,
                                    int32_t angle, int32_t* status) {
    Plane s, d;
    if (int32_t rc = pixo::checkImage(src, &s)) return fail(status, rc);
    if (!dst) return fail(status, GFX_ST_NULL);
    if (int32_t rc = pixo::checkImage(dst, &d)) return fail(status, rc);
    if (s.depth != d.depth) return fail(status, GFX_ST_IMAGE);
    if (angle != 90 && angle != 180 && angle != 270) return fail(status, GFX_ST_ARGUMENT);
    const int32_t outW = angle == 180 ? width : height, outH = angle == 180 ? height : width;
    if (!pixo::rectInside(s, x, y, width, height) || !pixo::rectInside(d, dx, dy, outW, outH))
        return fail(status, GFX_ST_RECT);
    if (pixo::overlap(s, d)) return fail(status, GFX_ST_ARGUMENT);

    switch (s.depth) {
        case 1:
            if (int32_t rc = turnBilevel(s, x, y, width, height, d, dx, dy, angle))
                return fail(status, rc);
            break;
        case 8:
            turnBytes<1>(s, x, y, width, height, d, dx, dy, angle);
            break;
        default:
            turnBytes<3>(s, x, y, width, height, d, dx, dy, angle);
            break;
    }
    return pixo::filled(dst, dx, dy, outW, outH, status);
}

extern "C" PIXO_API int32_t GfxRbyt(RsImage* image, int32_t x, int32_t y, int32_t width,
                                    int32_t height, int32_t* status) {
    Plane p;
    if (int32_t rc = pixo::checkImage(image, &p)) return fail(status, rc);
    if (!pixo::rectInside(p, x, y, width, height)) return fail(status, GFX_ST_RECT);
    size_t first, end;  // byte columns the rectangle covers
    if (p.depth == 1) {
        first = size_t(x) / 8;
        end = (size_t(x) + size_t(width) + 7) / 8;
    } else {
        first = size_t(x) * size_t(p.bytesPerPixel);
        end = (size_t(x) + size_t(width)) * size_t(p.bytesPerPixel);
    }
    for (int32_t r = 0; r < height; ++r) {
        unsigned char* row = p.row(y + r);
        for (size_t i = first; i < end; ++i) row[i] = pixo::kReversedBits[row[i]];
    }
    return pixo::done(status);
}
