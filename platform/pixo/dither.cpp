// Dithering to bilevel (1 = black). Rows are first read as intensities
// (0 black, 255 white), then turned into bits by a fixed threshold, a Bayer
// matrix or error diffusion. Diffusion runs serpentine (odd rows right to
// left, the kernel mirrored) and keeps each row's errors as exact multiples
// of the kernel's divisor.
#include "colour_internal.h"

namespace {

using pixo::fail;
using pixo::Plane;

inline void setBlack(unsigned char* bits, int32_t i) {
    bits[i >> 3] |= uint8_t(0x80 >> (i & 7));
}

void thresholdRow(const uint8_t* gray, int32_t w, unsigned char* bits) {
    for (int32_t i = 0; i < w; ++i)
        if (gray[i] < 128) setBlack(bits, i);
}

// Bayer matrices: black when the level is below (m + 1/2) * 256 / n^2.
constexpr uint8_t kBayer4[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
constexpr uint8_t kBayer8[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
    {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
    {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21}};

template <int N>
void orderedRow(const uint8_t* gray, int32_t w, int32_t y, const uint8_t (*matrix)[N],
                unsigned char* bits) {
    int thresholds[N];
    for (int i = 0; i < N; ++i) thresholds[i] = (matrix[y % N][i] * 256 + 128) / (N * N);
    for (int32_t i = 0; i < w; ++i)
        if (gray[i] < thresholds[i % N]) setBlack(bits, i);
}

// Error-diffusion kernels: (dx, dy, weight) taps over a divisor. dx is for a
// row walked left to right.
struct Tap {
    int dx, dy, weight;
};
struct FloydSteinberg {
    static constexpr int kDivisor = 16;
    static constexpr Tap kTaps[] = {{1, 0, 7}, {-1, 1, 3}, {0, 1, 5}, {1, 1, 1}};
};
struct Atkinson {  // spreads 6/8 of the error: whites and blacks stay clean
    static constexpr int kDivisor = 8;
    static constexpr Tap kTaps[] = {{1, 0, 1}, {2, 0, 1}, {-1, 1, 1},
                                    {0, 1, 1}, {1, 1, 1}, {0, 2, 1}};
};
struct Stucki {
    static constexpr int kDivisor = 42;
    static constexpr Tap kTaps[] = {{1, 0, 8},  {2, 0, 4}, {-2, 1, 2}, {-1, 1, 4},
                                    {0, 1, 8},  {1, 1, 4}, {2, 1, 2},  {-2, 2, 1},
                                    {-1, 2, 2}, {0, 2, 4}, {1, 2, 2},  {2, 2, 1}};
};

// Errors reach two pixels either side and two rows down.
constexpr int32_t kMargin = 2;

inline int floorDiv(int a, int d) {
    return a >= 0 ? a / d : -((-a + d - 1) / d);
}

// One row of diffusion. err[k] holds the errors carried into row y + k,
// times the divisor, indexed from -kMargin.
template <typename K, bool kBackwards>
void diffuseRow(const uint8_t* gray, int32_t w, int32_t* const err[3], unsigned char* bits) {
    constexpr int step = kBackwards ? -1 : 1;
    int32_t i = kBackwards ? w - 1 : 0;
    for (int32_t n = 0; n < w; ++n, i += step) {
        const int v = gray[i] + floorDiv(err[0][i], K::kDivisor);
        int e;
        if (v < 128) {
            setBlack(bits, i);
            e = v;
        } else {
            e = v - 255;
        }
        for (const Tap& t : K::kTaps) err[t.dy][i + step * t.dx] += e * t.weight;
    }
}

template <typename K>
void diffuse(const uint8_t* gray, int32_t w, int32_t y, int32_t* err[3], unsigned char* bits) {
    if (y % 2)
        diffuseRow<K, true>(gray, w, err, bits);
    else
        diffuseRow<K, false>(gray, w, err, bits);
}

// Row y of a picture as bits by method; whether the method carried errors
// into the rows below.
bool ditherRow(int32_t method, const uint8_t* gray, int32_t w, int32_t y, int32_t* err[3],
               unsigned char* bits) {
    switch (method) {
        case GFX_DITHER_THRESHOLD:
            thresholdRow(gray, w, bits);
            return false;
        case GFX_DITHER_BAYER4:
            orderedRow<4>(gray, w, y, kBayer4, bits);
            return false;
        case GFX_DITHER_BAYER8:
            orderedRow<8>(gray, w, y, kBayer8, bits);
            return false;
        case GFX_DITHER_FLOYD:
            diffuse<FloydSteinberg>(gray, w, y, err, bits);
            return true;
        case GFX_DITHER_ATKINSON:
            diffuse<Atkinson>(gray, w, y, err, bits);
            return true;
        default:
            diffuse<Stucki>(gray, w, y, err, bits);
            return true;
    }
}

}  // namespace

extern "C" PIXO_API int32_t GfxMdsp(const RsImage* src, int32_t x, int32_t y, int32_t width,
                                    int32_t height, int32_t photometric,
                                    const unsigned char* palette, RsImage* dst, int32_t dx,
                                    int32_t dy, int32_t ditherFlag, int32_t ditherCode,
                                    int32_t* status) {
    Plane s, d;
    if (int32_t rc = pixo::checkImage(src, &s)) return fail(status, rc);
    if (!dst) return fail(status, GFX_ST_NULL);
    if (int32_t rc = pixo::checkImage(dst, &d)) return fail(status, rc);
    if (photometric < 0 || photometric > 3) return fail(status, GFX_ST_ARGUMENT);
    if (d.depth != 1 || s.depth != (photometric == KRO_PHOTO_RGB ? 24 : 8))
        return fail(status, GFX_ST_IMAGE);
    if (photometric == KRO_PHOTO_PALETTE && !palette) return fail(status, GFX_ST_NULL);
    if (!pixo::rectInside(s, x, y, width, height) || !pixo::rectInside(d, dx, dy, width, height))
        return fail(status, GFX_ST_RECT);
    if (pixo::overlap(s, d)) return fail(status, GFX_ST_ARGUMENT);
    const int32_t method = ditherFlag ? ditherCode : GFX_DITHER_FLOYD;
    if (method < GFX_DITHER_THRESHOLD || method > GFX_DITHER_STUCKI)
        return fail(status, GFX_ST_ARGUMENT);

    uint8_t table[256];
    if (s.depth == 8) pixo::intensityTable(photometric, palette, table);
    const uint64_t errRow = uint64_t(width) + 2 * kMargin;
    pixo::Scratch grayBuf, bitBuf, errBuf;
    if (!grayBuf.reserve(uint64_t(width)) || !bitBuf.reserve((uint64_t(width) + 7) / 8) ||
        !errBuf.reserve(3 * errRow * sizeof(int32_t)))
        return fail(status, GFX_ST_NOMEM);
    uint8_t* gray = grayBuf.as<uint8_t>();
    unsigned char* bits = bitBuf.as();
    int32_t* err[3];
    for (int k = 0; k < 3; ++k) err[k] = errBuf.as<int32_t>() + size_t(k) * errRow + kMargin;
    const size_t bitBytes = (size_t(width) + 7) / 8;

    for (int32_t r = 0; r < height; ++r) {
        const unsigned char* in = s.row(y + r);
        if (s.depth == 24)
            pixo::lumaRow(in + size_t(x) * 3, gray, size_t(width));
        else
            for (int32_t i = 0; i < width; ++i) gray[i] = table[in[x + i]];
        std::memset(bits, 0, bitBytes);
        if (ditherRow(method, gray, width, r, err, bits)) {
            int32_t* done = err[0];
            err[0] = err[1], err[1] = err[2], err[2] = done;
            std::memset(done - kMargin, 0, errRow * sizeof(int32_t));
        }
        pixo::storeBits(bits, d.row(dy + r), dx, width);
    }
    return pixo::filled(dst, dx, dy, width, height, status);
}
