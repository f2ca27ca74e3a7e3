// Gamma tables, colour to gray and level reduction of gray and palette
// pictures. Every operation works a row at a time through 256-entry tables.
#include <algorithm>
#include <cmath>

#include "colour_internal.h"

namespace pixo {

bool intensityTable(int32_t photometric, const unsigned char* palette, uint8_t table[256]) {
    for (int v = 0; v < 256; ++v) {
        switch (photometric) {
            case KRO_PHOTO_WHITE_IS_ZERO:
                table[v] = uint8_t(255 - v);
                break;
            case KRO_PHOTO_BLACK_IS_ZERO:
                table[v] = uint8_t(v);
                break;
            case KRO_PHOTO_PALETTE: {
                if (!palette) return false;
                const kro::ConstPalette p(palette);
                table[v] = luma(p.red[v], p.green[v], p.blue[v]);
                break;
            }
            default:
                return false;
        }
    }
    return true;
}

}  // namespace pixo

namespace {

using pixo::fail;
using pixo::Plane;

// Applies a byte table to every byte of a rectangle's rows (any depth but 1).
void mapRows(const Plane& s, int32_t x, int32_t y, int32_t w, int32_t h, const Plane& d, int32_t dx,
             int32_t dy, const uint8_t table[256]) {
    const size_t bpp = size_t(s.bytesPerPixel);
    const size_t n = size_t(w) * bpp;
    for (int32_t r = 0; r < h; ++r) {
        const unsigned char* in = s.row(y + r) + size_t(x) * bpp;
        unsigned char* out = d.row(dy + r) + size_t(dx) * bpp;
        for (size_t i = 0; i < n; ++i) out[i] = table[in[i]];
    }
}

bool depthFits(int32_t photometric, int32_t depth) {
    if (photometric == KRO_PHOTO_RGB) return depth == 24;
    return depth == 8 && photometric >= 0 && photometric <= 3;
}

}  // namespace

extern "C" PIXO_API int32_t GfxGtbl(const RsImage* view, int32_t photometric,
                                    const unsigned char* palette, double gamma, RsImage* image,
                                    unsigned char* corrected, int32_t* status) {
    Plane s, d;
    if (int32_t rc = pixo::checkImage(view, &s)) return fail(status, rc);
    if (!image) return fail(status, GFX_ST_NULL);
    if (int32_t rc = pixo::checkImage(image, &d)) return fail(status, rc);
    if (photometric < 0 || photometric > 3) return fail(status, GFX_ST_ARGUMENT);
    if (!depthFits(photometric, s.depth) || d.depth != s.depth) return fail(status, GFX_ST_IMAGE);
    if (!pixo::rectInside(d, 0, 0, s.width, s.height)) return fail(status, GFX_ST_RECT);
    if (photometric == KRO_PHOTO_PALETTE && (!palette || !corrected))
        return fail(status, GFX_ST_NULL);
    if (!std::isfinite(gamma) || gamma < 0) return fail(status, GFX_ST_ARGUMENT);

    // Gamma 0 has no curve (the exponent would be infinite): no correction.
    uint8_t table[256];
    for (int v = 0; v < 256; ++v)
        table[v] = gamma == 0 ? uint8_t(v)
                              : uint8_t(std::lround(255.0 * std::pow(v / 255.0, 1.0 / gamma)));
    if (photometric == KRO_PHOTO_WHITE_IS_ZERO) {  // the curve runs on intensity
        uint8_t inverted[256];
        for (int v = 0; v < 256; ++v) inverted[v] = uint8_t(255 - table[255 - v]);
        std::memcpy(table, inverted, sizeof table);
    }
    if (photometric == KRO_PHOTO_PALETTE) {
        unsigned char out[768];  // the palette may be the one corrected
        for (int i = 0; i < 768; ++i) out[i] = table[palette[i]];
        std::memcpy(corrected, out, sizeof out);
        if (s.data != d.data)
            for (int32_t r = 0; r < s.height; ++r) std::memcpy(d.row(r), s.row(r), s.stride);
    } else {
        mapRows(s, 0, 0, s.width, s.height, d, 0, 0, table);
    }
    image->validWidth = s.width;
    image->validHeight = s.height;
    return pixo::done(status);
}

extern "C" PIXO_API int32_t GfxCtog(const RsImage* src, int32_t x, int32_t y, int32_t width,
                                    int32_t height, const unsigned char* palette, RsImage* dst,
                                    int32_t dx, int32_t dy, int32_t /*reserved*/, int32_t* status) {
    Plane s, d;
    if (int32_t rc = pixo::checkImage(src, &s)) return fail(status, rc);
    if (!dst) return fail(status, GFX_ST_NULL);
    if (int32_t rc = pixo::checkImage(dst, &d)) return fail(status, rc);
    if (s.depth == 1 || d.depth != 8) return fail(status, GFX_ST_IMAGE);
    if (s.depth == 8 && !palette) return fail(status, GFX_ST_NULL);
    if (!pixo::rectInside(s, x, y, width, height) || !pixo::rectInside(d, dx, dy, width, height))
        return fail(status, GFX_ST_RECT);
    if (pixo::overlap(s, d)) return fail(status, GFX_ST_ARGUMENT);

    if (s.depth == 24) {
        for (int32_t r = 0; r < height; ++r)
            pixo::lumaRow(s.row(y + r) + size_t(x) * 3, d.row(dy + r) + dx, size_t(width));
    } else {
        uint8_t table[256];
        pixo::intensityTable(KRO_PHOTO_PALETTE, palette, table);
        mapRows(s, x, y, width, height, d, dx, dy, table);
    }
    return pixo::filled(dst, dx, dy, width, height, status);
}

namespace {

// Gray: count levels spread evenly over 0..255, index k below index k + 1.
// One level is mid-gray.
void grayLevels(int32_t count, uint8_t index[256], kro::Palette reduced) {
    const int steps = count - 1;
    for (int v = 0; v < 256; ++v) index[v] = uint8_t(steps ? (v * steps + 127) / 255 : 0);
    for (int k = 0; k < count; ++k) {
        const uint8_t level = uint8_t(steps ? (k * 255 + steps / 2) / steps : 128);
        kro::setEntry(reduced, k, level, level, level);
    }
}

// Palette: the colours the rectangle uses, exactly when there are no more
// than count, otherwise count chosen by Wu's quantiser over the used entries
// weighted by their pixels. index maps each old entry to its new one.
int paletteLevels(const Plane& s, int32_t x, int32_t y, int32_t w, int32_t h,
                  kro::ConstPalette palette, int32_t count, uint8_t index[256],
                  uint8_t (*colours)[3], int32_t* rc) {
    const unsigned char *red = palette.red, *green = palette.green, *blue = palette.blue;
    uint64_t pixels[256] = {};
    for (int32_t r = 0; r < h; ++r) {
        const unsigned char* p = s.row(y + r) + x;
        for (int32_t i = 0; i < w; ++i) ++pixels[p[i]];
    }
    uint32_t distinct[256];
    int n = 0;
    for (int e = 0; e < 256; ++e)
        if (pixels[e]) distinct[n++] = uint32_t(red[e]) << 16 | uint32_t(green[e]) << 8 | blue[e];
    std::sort(distinct, distinct + n);
    n = int(std::unique(distinct, distinct + n) - distinct);
    if (n <= count) {
        for (int k = 0; k < n; ++k)
            colours[k][0] = uint8_t(distinct[k] >> 16), colours[k][1] = uint8_t(distinct[k] >> 8),
            colours[k][2] = uint8_t(distinct[k]);
    } else {
        pixo::ColourHistogram hist;
        if (!hist.init()) {
            *rc = GFX_ST_NOMEM;
            return 0;
        }
        for (int e = 0; e < 256; ++e)
            if (pixels[e])
                hist.add(red[e], green[e], blue[e],
                         uint32_t(std::min<uint64_t>(pixels[e], UINT32_MAX)));
        n = hist.quantise(count, colours);
    }
    for (int e = 0; e < 256; ++e)
        index[e] = uint8_t(pixo::nearestColour(colours, n, red[e], green[e], blue[e]));
    return n;
}

}  // namespace

extern "C" PIXO_API int32_t GfxPlet(const RsImage* src, int32_t x, int32_t y, int32_t width,
                                    int32_t height, int32_t photometric,
                                    const unsigned char* palette, int32_t count,
                                    int32_t /*reserved*/, RsImage* dst, int32_t dx, int32_t dy,
                                    unsigned char* reduced, int32_t* used, int32_t* status) {
    Plane s, d;
    if (int32_t rc = pixo::checkImage(src, &s)) return fail(status, rc);
    if (!dst || !reduced) return fail(status, GFX_ST_NULL);
    if (int32_t rc = pixo::checkImage(dst, &d)) return fail(status, rc);
    if (photometric < 0 || photometric > 3 || photometric == KRO_PHOTO_RGB)
        return fail(status, GFX_ST_ARGUMENT);
    if (s.depth != 8 || d.depth != 8) return fail(status, GFX_ST_IMAGE);
    if (photometric == KRO_PHOTO_PALETTE && !palette) return fail(status, GFX_ST_NULL);
    if (!pixo::rectInside(s, x, y, width, height) || !pixo::rectInside(d, dx, dy, width, height))
        return fail(status, GFX_ST_RECT);
    if (pixo::overlap(s, d)) return fail(status, GFX_ST_ARGUMENT);
    if (count < 1 || count > 256) return fail(status, GFX_ST_ARGUMENT);

    uint8_t index[256];
    unsigned char out[768] = {};  // reduced may be the palette read
    int n = count;
    if (photometric == KRO_PHOTO_PALETTE) {
        uint8_t colours[256][3];
        int32_t rc = 0;
        n = paletteLevels(s, x, y, width, height, kro::ConstPalette(palette), count, index, colours,
                          &rc);
        if (rc) return fail(status, rc);
        mapRows(s, x, y, width, height, d, dx, dy, index);
        n = pixo::dropUnused(d, dx, dy, width, height, colours, n);
        pixo::storePalette(out, colours, n);
    } else {
        grayLevels(count, index, kro::Palette(out));
        mapRows(s, x, y, width, height, d, dx, dy, index);
    }
    std::memcpy(reduced, out, sizeof out);
    if (used) *used = n;
    return pixo::filled(dst, dx, dy, width, height, status);
}
