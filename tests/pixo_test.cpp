// The raster-processing library: Group 4 coding, quarter turns and reduction,
// checked against plain per-pixel references.
#include "kro/pixo.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "test_util.h"

namespace {

using kt::Image;
using kt::pixel;
using Bytes = std::vector<unsigned char>;

void fillRandom(Image* image, uint32_t seed) {
    std::mt19937 rng(seed);
    for (int32_t i = 0; i < image->im.size; ++i) image->im.data[i] = uint8_t(rng());
}

// A coded image over the bytes, its capacity their count.
RsImage codedIn(Bytes* bytes) {
    RsImage im{};
    im.format = KRO_FORMAT_G4, im.depth = 1, im.size = int32_t(bytes->size());
    im.data = bytes->data();
    return im;
}

// The decoder's result for the bytes as a pels x lines page, into out or a scratch page.
int32_t decode(Bytes bytes, int32_t pels, int32_t lines, Image* out = nullptr) {
    RsImage coded = codedIn(&bytes);
    Image scratch(pels, lines, 1);
    int32_t status = -1;
    const int32_t rc =
        GfxDecd(&coded, coded.size, out ? &out->im : &scratch.im, 0, 0, pels, lines, &status);
    EXPECT_EQ(status, rc == 0 ? GFX_ST_OK : GFX_ST_CODING);
    return rc;
}

// The page's coding in a buffer of the given capacity; nothing when it is refused.
Bytes encode(const Image& page, size_t capacity, int32_t* status) {
    Bytes bytes(capacity);
    RsImage coded = codedIn(&bytes);
    const int32_t w = page.im.validWidth, h = page.im.validHeight;
    if (GfxEncd(&page.im, 0, 0, w, h, &coded, GFX_CODING_G4, status) != 0) return {};
    bytes.resize(size_t(coded.codedLength));
    return bytes;
}

TEST(PixoG4, PagesRoundTripAndBadStreamsAreRefused) {
    const int32_t sizes[][2] = {{1, 1}, {13, 5}, {64, 64}, {1728, 300}};
    for (const auto& [w, h] : sizes)
        for (bool random : {true, false}) {
            Image page(w, h, 1), back(w, h, 1);
            random ? fillRandom(&page, uint32_t(w)) : kt::drawF(&page);
            int32_t status = -1;
            const Bytes coded = encode(page, size_t(w) * size_t(h) + 64, &status);
            ASSERT_EQ(status, GFX_ST_OK);
            ASSERT_EQ(decode(coded, w, h, &back), 0);
            EXPECT_TRUE(kt::samePixels(page.im, back.im, w, h)) << w << "x" << h;
        }
    // Cut, overlong and corrupt streams, and a full buffer, fail quietly.
    Image page(200, 120, 1);
    kt::drawF(&page);
    int32_t status = 0;
    const Bytes good = encode(page, 30000, &status);
    ASSERT_EQ(decode(good, 200, 120), 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(decode(Bytes(good.begin(), good.begin() + long(good.size() / 2)), 200, 120), -1);
    EXPECT_EQ(decode(good, 200, 121), -1) << "ends a line early";
    EXPECT_EQ(decode(good, 120, 120), -1) << "runs past the line width";
    EXPECT_EQ(decode(Bytes(64, 0x02), 200, 120), -1) << "extension codes";
    EXPECT_TRUE(encode(page, 10, &status).empty());
    EXPECT_EQ(status, GFX_ST_BUFFER_FULL);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

// libtiff's Group 4 coding of the picture's w x h rectangle at (x, 0): the
// strip of a TIFF it writes.
Bytes libtiffG4(const Image& page, int32_t x, int32_t w, int32_t h) {
    const std::string path = testing::TempDir() + "pixo-g4-" +
                             testing::UnitTest::GetInstance()->current_test_info()->name() + ".tif";
    TIFF* t = TIFFOpen(path.c_str(), "w");
    if (!t) return {};
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, uint32_t(w));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, uint32_t(h));
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, uint32_t(h));
    Bytes line(size_t(w + 7) / 8 + 1);
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t i = 0; i < w; ++i) {
            const bool on = pixel(page.im, x + i, y) != 0;
            line[size_t(i / 8)] = uint8_t((line[size_t(i / 8)] & ~(0x80 >> (i % 8))) |
                                          (on ? 0x80 >> (i % 8) : 0));
        }
        TIFFWriteScanline(t, line.data(), uint32_t(y), 0);
    }
    TIFFClose(t);
    t = TIFFOpen(path.c_str(), "r");
    Bytes strip(t ? size_t(TIFFRawStripSize(t, 0)) : 0);
    if (t && TIFFReadRawStrip(t, 0, strip.data(), tmsize_t(strip.size())) < 0) strip.clear();
    if (t) TIFFClose(t);
    std::remove(path.c_str());
    return strip;
}

// Rows of runs of every length up to 3000 in both colours, each row either
// new or the row above shifted by up to 5 pels (which the vertical and pass
// modes code), with a few rows of noise.
void drawRuns(Image* page, uint32_t seed) {
    std::mt19937 rng(seed);
    const int32_t w = page->im.validWidth;
    for (int32_t y = 0; y < page->im.validHeight; ++y) {
        const uint32_t kind = rng() % 8;
        for (int32_t x = 0; x < w;) {
            if (kind == 0) {  // noise
                kt::setPixel(&page->im, x, y, rng() & 1);
                ++x;
                continue;
            }
            if (kind < 4 && y > 0) {  // the row above, shifted
                const int32_t shift = int32_t(rng() % 11) - 5;
                const int32_t from = std::min(std::max(x + shift, 0), w - 1);
                const int32_t len = 1 + int32_t(rng() % 40);
                for (int32_t i = 0; i < len && x < w; ++i, ++x)
                    kt::setPixel(&page->im, x, y, pixel(page->im, std::min(from + i, w - 1), y - 1));
                continue;
            }
            const uint32_t scale = rng() % 3;
            const int32_t len = scale == 0 ? int32_t(rng() % 12)
                                : scale == 1 ? int32_t(rng() % 200)
                                             : int32_t(rng() % 3000);
            const uint32_t on = rng() & 1;
            for (int32_t i = 0; i < len && x < w; ++i, ++x) kt::setPixel(&page->im, x, y, on);
        }
    }
}

TEST(PixoG4, BandsAndOddEdgesCodeAsOneStripDoes) {
    struct Case {
        int32_t w, h, x;
        bool noise;
    };
    const Case cases[] = {{6000, 400, 0, false}, {1237, 200, 0, false}, {999, 150, 5, false},
                          {640, 100, 0, true},   {1, 30, 0, true},      {2561, 40, 3, false}};
    for (const Case& c : cases) {
        Image page(c.x + c.w, c.h, 1);
        page.im.validWidth = c.x + c.w;
        drawRuns(&page, uint32_t(c.w));
        if (c.noise) fillRandom(&page, uint32_t(c.h));
        const Bytes theirs = libtiffG4(page, c.x, c.w, c.h);
        ASSERT_FALSE(theirs.empty());
        Bytes ours(theirs.size() + 64);
        RsImage coded = codedIn(&ours);
        int32_t status = -1;
        ASSERT_EQ(GfxEncd(&page.im, c.x, 0, c.w, c.h, &coded, GFX_CODING_G4, &status), 0);
        ours.resize(size_t(coded.codedLength));
        EXPECT_EQ(ours, theirs) << c.w << " x " << c.h << " at " << c.x;
    }
}

TEST(PixoRt90, TurnsCounterClockwiseAndKeepsWhatLiesOutside) {
    const int32_t sizes[][2] = {{1, 1}, {13, 5}, {8, 8}, {33, 70}, {100, 3}};
    for (int32_t depth : {1, 8, 24})
        for (const auto& [w, h] : sizes)
            for (int32_t angle : {90, 180, 270})
                for (const auto& [a, b] : {std::pair(0, 0), std::pair(3, 5)}) {
                    // The w x h rectangle at (a, a) goes to (b, b) of a filled image.
                    const int32_t ow = angle == 180 ? w : h, oh = angle == 180 ? h : w;
                    Image in(w + a, h + a, depth), out(ow + b + 11, oh + b + 3, depth),
                        was(ow + b + 11, oh + b + 3, depth);
                    fillRandom(&in, uint32_t(w * h + depth));
                    for (Image* im : {&out, &was})
                        std::memset(im->im.data, 0x5C, size_t(im->im.size));
                    ASSERT_EQ(GfxRt90(&in.im, a, a, w, h, &out.im, b, b, angle, nullptr), 0);
                    EXPECT_EQ(std::tie(out.im.validWidth, out.im.validHeight),
                              std::tuple(b + ow, b + oh));
                    for (int32_t y = 0; y < out.im.height; ++y)
                        for (int32_t x = 0; x < out.im.width; ++x) {
                            const int32_t u = x - b, v = y - b;  // in the turned rectangle
                            const int32_t from[3][2] = {
                                {w - 1 - v, u}, {w - 1 - u, h - 1 - v}, {v, h - 1 - u}};
                            const auto [sx, sy] = from[angle / 90 - 1];
                            const bool inside = u >= 0 && u < ow && v >= 0 && v < oh;
                            ASSERT_EQ(pixel(out.im, x, y),
                                      inside ? pixel(in.im, a + sx, a + sy) : pixel(was.im, x, y))
                                << depth << "-bit " << w << "x" << h << " at " << a << " by "
                                << angle << " to " << b << ": " << x << "," << y;
                        }
                }
}

TEST(PixoChecks, BadImagesAndRectanglesAreRefusedBeforeAnyPixel) {
    Image a(16, 8, 8), b(16, 8, 8), bits(16, 8, 1);
    RsImage shortSize = b.im, narrowBits = bits.im;
    shortSize.size -= 1;
    narrowBits.width = 7;  // a bilevel row of no whole byte
    Bytes sixteen(16);
    const RsImage coded = codedIn(&sixteen);
    int32_t st = 0;
    // The detail code of a refused call; 0 for one that went through.
    auto refused = [&st](int32_t rc) { return rc == -1 ? std::exchange(st, 0) : 0; };
    EXPECT_EQ(refused(GfxRbyt(&shortSize, 0, 0, 1, 1, &st)), GFX_ST_IMAGE);
    EXPECT_EQ(refused(GfxRbyt(&narrowBits, 0, 0, 1, 1, &st)), GFX_ST_IMAGE);
    EXPECT_EQ(refused(GfxRbyt(&bits.im, 9, 0, 8, 1, &st)), GFX_ST_RECT);  // past the last byte
    EXPECT_EQ(refused(GfxRt90(&a.im, 0, 0, 8, 8, &b.im, 0, 0, 45, &st)), GFX_ST_ARGUMENT);
    EXPECT_EQ(refused(GfxRt90(&a.im, 0, 0, 16, 8, &b.im, 0, 0, 90, &st)), GFX_ST_RECT);
    EXPECT_EQ(refused(GfxRt90(&a.im, 0, 0, 8, 8, &a.im, 0, 0, 180, &st)), GFX_ST_ARGUMENT);
    EXPECT_EQ(refused(GfxDecd(&coded, 17, &bits.im, 0, 0, 8, 8, &st)), GFX_ST_IMAGE);
}

TEST(PixoRedu, HalvingAveragesAndThinLinesSurvive) {
    for (int32_t depth : {8, 24}) {
        Image src(38, 24, depth), half(19, 12, depth);
        fillRandom(&src, uint32_t(depth));
        ASSERT_EQ(GfxRedu(&src.im, 0, 0, 38, 24, &half.im, 0, 0, 19, 12, nullptr), 0);
        for (int32_t y = 0; y < 12; ++y)
            for (int32_t x = 0; x < 19; ++x)
                for (int shift = 0; shift < depth; shift += 8) {  // channel by channel
                    uint32_t sum = 2;
                    for (int32_t i = 0; i < 4; ++i)
                        sum += pixel(src.im, 2 * x + i % 2, 2 * y + i / 2) >> shift & 0xFF;
                    ASSERT_EQ(pixel(half.im, x, y) >> shift & 0xFF, sum / 4)
                        << depth << "-bit at " << x << "," << y;
                }
    }
    // At depth 1 an output pixel is black when black covers a quarter of it or more: lines
    // one pixel wide survive halving and quartering; diagonal pixels 48, 50, 51 only halving.
    for (int32_t factor : {2, 4})
        for (int32_t at = 20; at < 28; ++at) {
            const int32_t n = 64 / factor;
            Image src(64, 64, 1), dst(n, n, 1);
            for (int32_t i = 0; i < 64; ++i)
                kt::setPixel(&src.im, at, i, 1), kt::setPixel(&src.im, i, at, 1);
            for (int32_t d : {48, 50, 51}) kt::setPixel(&src.im, d, d, 1);
            ASSERT_EQ(GfxRedu(&src.im, 0, 0, 64, 64, &dst.im, 0, 0, n, n, nullptr), 0);
            for (int32_t y = 0; y < n; ++y)
                for (int32_t x = 0; x < n; ++x)
                    ASSERT_EQ(pixel(dst.im, x, y),
                              uint32_t(x == at / factor || y == at / factor ||
                                       (factor == 2 && x == y && x >= 24 && x <= 25)))
                        << factor << ":1, lines at " << at << ", at " << x << "," << y;
        }
}

}  // namespace
