// The colour operations of the raster-processing library: gamma tables,
// dithering, colour to gray, colour reduction and level reduction.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "kro/pixo.h"
#include "test_util.h"

namespace {

using kt::Image;
using kt::pixel;
using Palette = std::vector<unsigned char>;

// A photograph stand-in: smooth colour gradients, a few soft blobs and noise.
void drawPhoto(Image* image, uint32_t seed = 7) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0.0, 6.0);
    RsImage& im = image->im;
    const int32_t w = im.validWidth, h = im.validHeight;
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            const double u = double(x) / w, v = double(y) / h;
            const double blob = std::exp(-((u - 0.6) * (u - 0.6) + (v - 0.4) * (v - 0.4)) * 12);
            double c[3] = {40 + 180 * u + 30 * blob, 60 + 120 * v + 60 * blob,
                           200 - 150 * u * v + 20 * std::sin(9 * u)};
            uint32_t px = 0;
            for (double& ch : c) {
                ch = std::min(255.0, std::max(0.0, ch + noise(rng)));
                px = px << 8 | uint32_t(std::lround(ch));
            }
            kt::setPixel(&im, x, y, px);
        }
}

Palette randomPalette(uint32_t seed) {
    std::mt19937 rng(seed);
    Palette p(768);
    for (auto& b : p) b = uint8_t(rng());
    return p;
}

int gammaRef(int v, double gamma) {
    return gamma == 0 ? v : int(std::lround(255.0 * std::pow(v / 255.0, 1.0 / gamma)));
}

TEST(PixoGamma, CurvesFollowTheFormulaAndOneChangesNothing) {
    for (double gamma : {1.0, 0.0, 2.2, 0.45}) {
        SCOPED_TRACE("gamma " + std::to_string(gamma));
        // Gray of both photometric values: the curve runs on intensity.
        for (int32_t photometric : {KRO_PHOTO_BLACK_IS_ZERO, KRO_PHOTO_WHITE_IS_ZERO}) {
            Image im(256, 2, 8);
            for (int v = 0; v < 256; ++v) im.row(0)[v] = im.row(1)[v] = uint8_t(v);
            int32_t status = -1;
            ASSERT_EQ(GfxGtbl(&im.im, photometric, nullptr, gamma, &im.im, nullptr, &status), 0);
            EXPECT_EQ(status, GFX_ST_OK);
            for (int v = 0; v < 256; ++v) {
                const int want = photometric == KRO_PHOTO_BLACK_IS_ZERO
                                     ? gammaRef(v, gamma)
                                     : 255 - gammaRef(255 - v, gamma);
                ASSERT_EQ(im.row(1)[v], want) << "value " << v;
            }
        }
        // RGB: every channel by the same table.
        Image rgb(50, 3, 24), before(50, 3, 24);
        drawPhoto(&rgb);
        std::memcpy(before.im.data, rgb.im.data, size_t(rgb.im.size));
        ASSERT_EQ(GfxGtbl(&rgb.im, KRO_PHOTO_RGB, nullptr, gamma, &rgb.im, nullptr, nullptr), 0);
        for (int32_t i = 0; i < rgb.im.size; ++i)
            ASSERT_EQ(rgb.im.data[i], gammaRef(before.im.data[i], gamma));
        // Palette: the entries are corrected, the pixels and the palette read are not.
        Image pal(16, 1, 8);
        for (int i = 0; i < 16; ++i) pal.row(0)[i] = uint8_t(i * 16);
        const Palette palette = randomPalette(3);
        Palette input = palette, corrected(768, 0xEE);
        ASSERT_EQ(GfxGtbl(&pal.im, KRO_PHOTO_PALETTE, input.data(), gamma, &pal.im,
                          corrected.data(), nullptr),
                  0);
        EXPECT_EQ(input, palette);
        for (int i = 0; i < 768; ++i) ASSERT_EQ(corrected[i], gammaRef(palette[i], gamma));
        for (int i = 0; i < 16; ++i) EXPECT_EQ(pal.row(0)[i], i * 16);
    }
    Image im(4, 4, 8);
    for (double bad : {-1.0, double(NAN), double(INFINITY)}) {
        int32_t status = 0;
        EXPECT_EQ(GfxGtbl(&im.im, 1, nullptr, bad, &im.im, nullptr, &status), -1);
        EXPECT_EQ(status, GFX_ST_ARGUMENT);
    }
}

// 0.299 R + 0.587 G + 0.114 B, rounded to 16 bits and cut to 8.
uint32_t lumaRef(uint32_t r, uint32_t g, uint32_t b) {
    const double y = 0.299 * r + 0.587 * g + 0.114 * b;
    return uint32_t(std::floor(std::floor(y * 257 + 0.5) / 257));
}

TEST(PixoGray, LumaOfRgbAndPaletteAgreeWithGraphicsMagick) {
    Image rgb(64, 48, 24), gray(64, 48, 8);
    std::mt19937 rng(11);
    for (int32_t i = 0; i < rgb.im.size; ++i) rgb.im.data[i] = uint8_t(rng());
    ASSERT_EQ(GfxCtog(&rgb.im, 0, 0, 64, 48, nullptr, &gray.im, 0, 0, 0, nullptr), 0);
    for (int32_t y = 0; y < 48; ++y)
        for (int32_t x = 0; x < 64; ++x) {
            const uint32_t c = pixel(rgb.im, x, y);
            ASSERT_EQ(pixel(gray.im, x, y), lumaRef(c >> 16, c >> 8 & 255, c & 255));
        }
    // The same colours through a palette give the same grays.
    Image pal(256, 1, 8), palGray(256, 1, 8);
    const Palette palette = randomPalette(5);
    for (int i = 0; i < 256; ++i) pal.row(0)[i] = uint8_t(i);
    ASSERT_EQ(GfxCtog(&pal.im, 0, 0, 256, 1, palette.data(), &palGray.im, 0, 0, 0, nullptr), 0);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(palGray.row(0)[i], lumaRef(palette[i], palette[256 + i], palette[512 + i]));

    if (!kt::haveTool("gm")) GTEST_SKIP() << "GraphicsMagick not installed";
    const std::string dir = testing::TempDir();
    kt::writeFile(dir + "luma.ppm", kt::pnm(rgb.im));
    ASSERT_EQ(kt::run("gm convert " + dir + "luma.ppm -colorspace gray pgm:" + dir + "luma.pgm"),
              0);
    const kt::Bytes pgm = kt::readFile(dir + "luma.pgm");
    ASSERT_GE(pgm.size(), size_t(64 * 48));
    EXPECT_EQ(0, std::memcmp(pgm.data() + pgm.size() - 64 * 48, gray.im.data, 64 * 48));
}

// Every way of asking for a method, with the method it must give.
struct DitherCase {
    int32_t flag, code;
    const char* method;
};
const DitherCase kDithers[] = {
    {1, 0, "threshold"}, {1, 1, "Floyd-Steinberg"}, {1, 2, "Bayer 4x4"},
    {1, 3, "Bayer 8x8"}, {1, 4, "Atkinson"},        {1, 5, "Stucki"},
};

// Dithers a gray picture (black is zero) with the case's method; 1 = black.
void dither(const Image& gray, const DitherCase& c, Image* out) {
    int32_t status = -1;
    ASSERT_EQ(GfxMdsp(&gray.im, 0, 0, gray.im.validWidth, gray.im.validHeight,
                      KRO_PHOTO_BLACK_IS_ZERO, nullptr, &out->im, 0, 0, c.flag, c.code, &status),
              0);
    EXPECT_EQ(status, GFX_ST_OK);
}

TEST(PixoDither, EveryMethodKeepsTheMeanOfAGradientAndTheExtremes) {
    const int32_t w = 509, h = 64;  // odd width: the serpentine turns on a partial byte
    Image ramp(w, h, 8);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) ramp.row(y)[x] = uint8_t(x * 255 / (w - 1));
    double meanGray = 0;
    for (int32_t x = 0; x < w; ++x) meanGray += ramp.row(0)[x];
    meanGray /= 255.0 * w;
    for (const DitherCase& c : kDithers) {
        SCOPED_TRACE(c.method);
        Image out(w, h, 1);
        dither(ramp, c, &out);
        int64_t white = 0;
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) white += 1 - int(pixel(out.im, x, y));
        EXPECT_NEAR(double(white) / (w * h), meanGray, 0.03);
        // The padding bits past the width stay clear.
        for (int32_t y = 0; y < h; ++y) EXPECT_EQ(out.row(y)[w / 8] & (0xFF >> (w % 8)), 0);
        // Flat black and flat white come out flat.
        for (uint8_t level : {0, 255}) {
            Image flat(40, 9, 8), bits(40, 9, 1);
            std::memset(flat.im.data, level, size_t(flat.im.size));
            dither(flat, c, &bits);
            for (int32_t i = 0; i < bits.im.size; ++i)
                ASSERT_EQ(bits.im.data[i], level ? 0x00 : 0xFF) << int(level);
        }
    }
    // Without the flag the code is ignored and Floyd-Steinberg is used.
    Image fs(w, h, 1), noFlag(w, h, 1), inverse(w, h, 1), rgb(w, h, 24);
    dither(ramp, kDithers[1], &fs);
    dither(ramp, {0, 4, "no flag"}, &noFlag);
    EXPECT_TRUE(kt::samePixels(fs.im, noFlag.im, w, h));
    // The same levels as white-is-zero gray and as RGB grays dither alike.
    for (int32_t i = 0; i < ramp.im.size; ++i) {
        kt::setPixel(&rgb.im, i % w, i / w, ramp.im.data[i] * 0x010101u);
        ramp.im.data[i] = uint8_t(255 - ramp.im.data[i]);
    }
    ASSERT_EQ(GfxMdsp(&ramp.im, 0, 0, w, h, 0, nullptr, &inverse.im, 0, 0, 1, 1, nullptr), 0);
    EXPECT_TRUE(kt::samePixels(fs.im, inverse.im, w, h));
    ASSERT_EQ(GfxMdsp(&rgb.im, 0, 0, w, h, 2, nullptr, &inverse.im, 0, 0, 1, 1, nullptr), 0);
    EXPECT_TRUE(kt::samePixels(fs.im, inverse.im, w, h));
}

// Each method's exact bits for a small gradient, so a changed weight, tap or
// threshold shows even where the mean stays.
TEST(PixoDither, EveryMethodGivesItsOwnBitsForASmallGradient) {
    const int32_t w = 16, h = 8;
    Image ramp(w, h, 8);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) ramp.row(y)[x] = uint8_t(40 + x * 8 + y * 12);
    // Rows as 16-bit numbers, the leftmost pixel in the top bit, 1 = black.
    // Floyd-Steinberg's first row worked by hand: 40, 48 + 17, 56 + 28, 64 + 36
    // and 72 + 43 go black, 80 + 50 white, 88 - 55 black, ...
    const std::vector<uint16_t> want[] = {
        {0xFFE0, 0xFFC0, 0xFF00, 0xFE00, 0xF800, 0xF000, 0xC000, 0x8000},  // threshold
        {0xFB54, 0xD6AA, 0xBAA1, 0xD554, 0xAA08, 0x6AD0, 0x9404, 0x52A0},  // Floyd-Steinberg
        {0x5551, 0xFAAA, 0x5544, 0xEEAA, 0x5500, 0xAAAA, 0x5400, 0xAAA8},  // Bayer 4x4
        {0x5551, 0xFAAA, 0x5544, 0xEEAA, 0x5500, 0xAAAA, 0x5440, 0xAAA8},  // Bayer 8x8
        {0xFF64, 0xF994, 0xAC92, 0xB348, 0xD920, 0x6620, 0x9080, 0x9900},  // Atkinson
        {0xFED2, 0xF5A4, 0x9929, 0xEB48, 0xB490, 0x5244, 0x9220, 0x5480},  // Stucki
    };
    for (size_t m = 0; m < std::size(kDithers); ++m) {
        Image out(w, h, 1);
        dither(ramp, kDithers[m], &out);
        std::vector<uint16_t> rows;
        for (int32_t y = 0; y < h; ++y)
            rows.push_back(uint16_t(out.row(y)[0] << 8 | out.row(y)[1]));
        EXPECT_EQ(rows, want[m]) << kDithers[m].method;
    }
}

// The number of distinct values of an 8-bit picture, and the largest.
std::set<int> valuesOf(const Image& im) {
    std::set<int> v;
    for (int32_t y = 0; y < im.im.validHeight; ++y)
        for (int32_t x = 0; x < im.im.validWidth; ++x) v.insert(int(pixel(im.im, x, y)));
    return v;
}

TEST(PixoQuantise, APhotographGetsAtMostCountColoursAllUsedAndClose) {
    const int32_t w = 320, h = 200;
    Image photo(w, h, 24);
    drawPhoto(&photo);
    // {count, bound on the mean error per channel}
    const std::pair<int32_t, double> cases[] = {{1, 80}, {8, 20}, {64, 8}, {216, 5}, {256, 5}};
    for (const auto& [count, bound] : cases) {
        SCOPED_TRACE("count " + std::to_string(count));
        Image out(w, h, 8);
        Palette palette(768, 0xEE);
        ASSERT_EQ(GfxCdsp(&photo.im, 0, 0, w, h, count, 0, &out.im, 0, 0, palette.data(), nullptr),
                  0);
        EXPECT_EQ(out.im.validWidth, w);
        const std::set<int> used = valuesOf(out);
        ASSERT_LE(int32_t(used.size()), count);
        // The palette holds exactly the used colours, in its first entries.
        EXPECT_EQ(*used.rbegin(), int(used.size()) - 1);
        for (size_t i = used.size(); i < 256; ++i)
            EXPECT_EQ(palette[i] | palette[256 + i] | palette[512 + i], 0);
        double error = 0;
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) {
                const uint32_t c = pixel(photo.im, x, y);
                const int k = int(pixel(out.im, x, y));
                error += std::abs(int(c >> 16) - palette[k]) +
                         std::abs(int(c >> 8 & 255) - palette[256 + k]) +
                         std::abs(int(c & 255) - palette[512 + k]);
            }
        EXPECT_LT(error / (3.0 * w * h), bound);
    }
}

TEST(PixoQuantise, FewColoursAreKeptExactly) {
    const uint32_t colours[] = {0xFF0000, 0x00FF00, 0x0000FE, 0x123456, 0xFFFFFF};
    Image im(31, 17, 24);
    for (int32_t y = 0; y < 17; ++y)
        for (int32_t x = 0; x < 31; ++x) kt::setPixel(&im.im, x, y, colours[(x / 3 + y) % 5]);
    for (int32_t count : {4, 5, 216}) {
        Image out(31, 17, 8);
        Palette palette(768);
        ASSERT_EQ(GfxCdsp(&im.im, 0, 0, 31, 17, count, 0, &out.im, 0, 0, palette.data(), nullptr),
                  0);
        EXPECT_EQ(valuesOf(out).size(), std::min(size_t(count), size_t(5)));
        if (count < 5) continue;  // one colour too many: quantised
        for (int32_t y = 0; y < 17; ++y)
            for (int32_t x = 0; x < 31; ++x) {
                const int k = int(pixel(out.im, x, y));
                ASSERT_EQ(
                    uint32_t(palette[k]) << 16 | uint32_t(palette[256 + k]) << 8 | palette[512 + k],
                    pixel(im.im, x, y));
            }
    }
}

TEST(PixoLevels, GrayLevelsAreEvenAndKeepTheirOrder) {
    Image ramp(256, 2, 8);
    for (int v = 0; v < 256; ++v) ramp.row(0)[v] = ramp.row(1)[v] = uint8_t(v);
    for (int32_t count : {1, 2, 4, 7, 256}) {
        SCOPED_TRACE("count " + std::to_string(count));
        Image out(256, 2, 8);
        Palette reduced(768, 0xEE);
        int32_t used = 0;
        ASSERT_EQ(GfxPlet(&ramp.im, 0, 0, 256, 2, KRO_PHOTO_BLACK_IS_ZERO, nullptr, count, 0,
                          &out.im, 0, 0, reduced.data(), &used, nullptr),
                  0);
        EXPECT_EQ(used, count);
        EXPECT_EQ(int32_t(valuesOf(out).size()), count);
        for (int v = 1; v < 256; ++v) ASSERT_LE(out.row(0)[v - 1], out.row(0)[v]);
        if (count > 1) {
            EXPECT_EQ(reduced[0], 0);
            EXPECT_EQ(reduced[count - 1], 255);
            const double step = 255.0 / (count - 1);
            for (int k = 0; k < count; ++k) EXPECT_NEAR(reduced[k], k * step, 0.5);
        }
        for (int v = 0; v < 256; ++v)  // each value goes to its nearest level
            ASSERT_LE(std::abs(reduced[out.row(0)[v]] - v),
                      count > 1 ? 128 / (count - 1) + 1 : 128);
    }
}

TEST(PixoLevels, PaletteColoursAreReducedAndThePaletteReadIsKept) {
    const int32_t w = 160, h = 100;
    Image photo(w, h, 24), indexed(w, h, 8);
    drawPhoto(&photo);
    Palette palette(768);
    ASSERT_EQ(GfxCdsp(&photo.im, 0, 0, w, h, 256, 0, &indexed.im, 0, 0, palette.data(), nullptr),
              0);
    const Palette before = palette;
    const size_t colours = valuesOf(indexed).size();
    for (int32_t count : {16, 256}) {
        SCOPED_TRACE("count " + std::to_string(count));
        Image out(w, h, 8);
        Palette reduced(768);
        int32_t used = 0;
        ASSERT_EQ(GfxPlet(&indexed.im, 0, 0, w, h, KRO_PHOTO_PALETTE, palette.data(), count, 0,
                          &out.im, 0, 0, reduced.data(), &used, nullptr),
                  0);
        EXPECT_EQ(palette, before);
        EXPECT_EQ(size_t(used), valuesOf(out).size());
        EXPECT_LE(used, count);
        if (size_t(count) >= colours) {  // few enough: every pixel keeps its colour
            for (int32_t y = 0; y < h; ++y)
                for (int32_t x = 0; x < w; ++x) {
                    const int a = indexed.row(y)[x], b = out.row(y)[x];
                    ASSERT_EQ(palette[a], reduced[b]);
                    ASSERT_EQ(palette[256 + a], reduced[256 + b]);
                    ASSERT_EQ(palette[512 + a], reduced[512 + b]);
                }
        }
    }
}

TEST(PixoColour, BadArgumentsAreRefusedBeforeAnyPixel) {
    Image rgb(16, 8, 24), gray(16, 8, 8), bits(16, 8, 1);
    Palette palette(768), out(768);
    int32_t used = 0;
    // {what, result, expected status}
    struct Case {
        const char* what;
        int32_t rc;
        int32_t status;
    };
    int32_t st[9];
    const Case cases[] = {
        {"dither code 6", GfxMdsp(&gray.im, 0, 0, 16, 8, 1, nullptr, &bits.im, 0, 0, 1, 6, &st[0]),
         GFX_ST_ARGUMENT},
        {"dither RGB called gray",
         GfxMdsp(&rgb.im, 0, 0, 16, 8, 1, nullptr, &bits.im, 0, 0, 1, 1, &st[1]), GFX_ST_IMAGE},
        {"dither palette without one",
         GfxMdsp(&gray.im, 0, 0, 16, 8, 3, nullptr, &bits.im, 0, 0, 1, 1, &st[2]), GFX_ST_NULL},
        {"dither past the edge",
         GfxMdsp(&gray.im, 0, 0, 17, 8, 1, nullptr, &bits.im, 0, 0, 1, 1, &st[3]), GFX_ST_RECT},
        {"gray in place", GfxCtog(&gray.im, 0, 0, 16, 8, palette.data(), &gray.im, 0, 0, 0, &st[4]),
         GFX_ST_ARGUMENT},
        {"empty region", GfxCtog(&rgb.im, 0, 0, 0, 8, nullptr, &gray.im, 0, 0, 0, &st[5]),
         GFX_ST_RECT},
        {"quantise to 257 colours",
         GfxCdsp(&rgb.im, 0, 0, 16, 8, 257, 0, &gray.im, 0, 0, out.data(), &st[6]),
         GFX_ST_ARGUMENT},
        {"levels of RGB",
         GfxPlet(&rgb.im, 0, 0, 16, 8, 2, nullptr, 4, 0, &gray.im, 0, 0, out.data(), &used, &st[7]),
         GFX_ST_ARGUMENT},
        {"gamma on a bilevel picture",
         GfxGtbl(&bits.im, 0, nullptr, 2.0, &bits.im, nullptr, &st[8]), GFX_ST_IMAGE},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(cases[i].rc, -1) << cases[i].what;
        EXPECT_EQ(st[i], cases[i].status) << cases[i].what;
    }
}

}  // namespace
