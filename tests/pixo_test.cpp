// The raster-processing library: Group 4 coding, quarter turns, bit reversal
// and scaling, checked against plain per-pixel references.
#include "kro/pixo.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "test_util.h"

namespace {

using kt::Image;
using kt::pixel;

void fillRandom(Image* image, uint32_t seed) {
    std::mt19937 rng(seed);
    for (int32_t i = 0; i < image->im.size; ++i) image->im.data[i] = uint8_t(rng());
}

// A coded buffer of the given capacity.
struct Coded {
    std::vector<unsigned char> bytes;
    RsImage im{};
    explicit Coded(size_t capacity) : bytes(capacity + 1) {
        im.format = KRO_FORMAT_G4;
        im.depth = 1;
        im.size = int32_t(capacity);
        im.data = bytes.data();
    }
};

int32_t decode(const std::vector<unsigned char>& bytes, int32_t pels, int32_t lines,
               Image* out = nullptr) {
    Coded coded(bytes.size());
    std::copy(bytes.begin(), bytes.end(), coded.bytes.begin());
    Image scratch(pels, lines, 1);
    int32_t status = -1;
    const int32_t rc =
        GfxDecd(&coded.im, coded.im.size, out ? &out->im : &scratch.im, 0, 0, pels, lines, &status);
    EXPECT_EQ(status, rc == 0 ? GFX_ST_OK : GFX_ST_CODING);
    return rc;
}

std::vector<unsigned char> encode(const Image& page, size_t capacity, int32_t* status) {
    const int32_t w = page.im.validWidth, h = page.im.validHeight;
    Coded coded(capacity);
    if (GfxEncd(&page.im, 0, 0, w, h, &coded.im, GFX_CODING_G4, status) != 0) return {};
    coded.bytes.resize(size_t(coded.im.codedLength));
    return coded.bytes;
}

TEST(PixoG4, RandomAndDrawnPagesRoundTrip) {
    const int32_t sizes[][2] = {{1, 1}, {13, 5}, {64, 64}, {1728, 300}};
    for (const auto& s : sizes)
        for (bool random : {true, false}) {
            Image page(s[0], s[1], 1), back(s[0], s[1], 1);
            random ? fillRandom(&page, uint32_t(s[0])) : kt::drawF(&page);
            int32_t status = -1;
            const auto coded = encode(page, size_t(s[0]) * size_t(s[1]) + 64, &status);
            ASSERT_EQ(status, GFX_ST_OK);
            ASSERT_EQ(decode(coded, s[0], s[1], &back), 0);
            EXPECT_TRUE(kt::samePixels(page.im, back.im, s[0], s[1])) << s[0] << "x" << s[1];
            EXPECT_EQ(back.im.validWidth, s[0]);
        }
    Image noise(1728, 200, 1);
    fillRandom(&noise, 9);
    int32_t status = 0;
    EXPECT_TRUE(encode(noise, 100, &status).empty());
    EXPECT_EQ(status, GFX_ST_BUFFER_FULL);
}

TEST(PixoG4, CutWideAndCorruptStreamsFailQuietly) {
    Image page(200, 120, 1);
    kt::drawF(&page);
    int32_t status = 0;
    const auto good = encode(page, 30000, &status);
    ASSERT_EQ(decode(good, 200, 120), 0);

    testing::internal::CaptureStderr();
    const std::vector<unsigned char> cut(good.begin(), good.begin() + long(good.size() / 2));
    EXPECT_EQ(decode(cut, 200, 120), -1) << "cut";
    EXPECT_EQ(decode(good, 200, 121), -1) << "ends a line early";
    EXPECT_EQ(decode(good, 120, 120), -1) << "runs past the line width";
    EXPECT_EQ(decode(std::vector<unsigned char>(64, 0x00), 200, 120), -1) << "zero bits";
    EXPECT_EQ(decode(std::vector<unsigned char>(64, 0x02), 200, 120), -1) << "extension codes";
    // Damaged and random streams decode or fail, within their buffers.
    std::mt19937 rng(1);
    for (size_t at = 0; at < good.size(); at += 5) {
        auto bad = good;
        bad[at] ^= 0x5A;
        decode(bad, 200, 120);
    }
    for (int i = 0; i < 100; ++i) {
        std::vector<unsigned char> junk(1 + rng() % 300);
        for (auto& b : junk) b = uint8_t(rng());
        decode(junk, 1 + int32_t(rng() % 300), 1 + int32_t(rng() % 200));
    }
    EXPECT_TRUE(encode(page, 10, &status).empty());  // a full buffer is no error message either
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

// Where output (x, y) of a counter-clockwise turn of a w x h picture comes from.
uint32_t turnedPixel(const RsImage& src, int32_t w, int32_t h, int32_t angle, int32_t x,
                     int32_t y) {
    if (angle == 90) return pixel(src, w - 1 - y, x);
    if (angle == 180) return pixel(src, w - 1 - x, h - 1 - y);
    return pixel(src, y, h - 1 - x);
}

TEST(PixoRt90, TurnsCounterClockwiseAndKeepsWhatLiesOutside) {
    const int32_t sizes[][2] = {{1, 1}, {13, 5}, {8, 8}, {33, 70}, {100, 3}};
    for (int32_t depth : {1, 8, 24})
        for (const auto& s : sizes)
            for (int32_t angle : {90, 180, 270}) {
                const int32_t w = s[0], h = s[1];
                const int32_t ow = angle == 180 ? w : h, oh = angle == 180 ? h : w;
                Image src(w, h, depth), dst(ow + 11, oh + 3, depth);
                depth == 1 ? fillRandom(&src, uint32_t(w * h)) : kt::drawF(&src);
                std::memset(dst.im.data, 0x5C, size_t(dst.im.size));
                int32_t status = -1;
                ASSERT_EQ(GfxRt90(&src.im, 0, 0, w, h, &dst.im, 0, 0, angle, &status), 0);
                EXPECT_EQ(dst.im.validWidth, ow);
                EXPECT_EQ(dst.im.validHeight, oh);
                Image untouched(ow + 11, oh + 3, depth);
                std::memset(untouched.im.data, 0x5C, size_t(untouched.im.size));
                for (int32_t y = 0; y < oh + 3; ++y)
                    for (int32_t x = 0; x < ow + 11; ++x) {
                        const uint32_t want = x < ow && y < oh
                                                  ? turnedPixel(src.im, w, h, angle, x, y)
                                                  : pixel(untouched.im, x, y);
                        ASSERT_EQ(pixel(dst.im, x, y), want)
                            << depth << "-bit " << w << "x" << h << " by " << angle << " at " << x
                            << "," << y;
                    }
            }
}

TEST(PixoRt90, UnalignedBilevelCornersTurnBack) {
    Image src(45, 30, 1), a(40, 48, 1), b(48, 40, 1);
    fillRandom(&src, 77);
    int32_t status = 0;
    ASSERT_EQ(GfxRt90(&src.im, 3, 2, 37, 27, &a.im, 5, 1, 90, &status), 0);
    ASSERT_EQ(GfxRt90(&a.im, 5, 1, 27, 37, &b.im, 0, 0, 270, &status), 0);
    for (int32_t y = 0; y < 27; ++y)
        for (int32_t x = 0; x < 37; ++x) ASSERT_EQ(pixel(b.im, x, y), pixel(src.im, x + 3, y + 2));
}

TEST(PixoRbyt, ReversesTheBitsOfTheRectangleOnly) {
    Image im(24, 3, 1);
    for (int32_t i = 0; i < im.im.size; ++i) im.im.data[i] = uint8_t(0x01 + i * 0x11);
    int32_t status = -1;
    ASSERT_EQ(GfxRbyt(&im.im, 8, 1, 16, 2, &status), 0);
    const unsigned char want[9] = {0x01, 0x12, 0x23, 0x34, 0xA2, 0x6A, 0x67, 0x1E, 0x91};
    EXPECT_EQ(0, std::memcmp(im.im.data, want, 9));
}

TEST(PixoChecks, BadImagesAndRectanglesAreRefusedBeforeAnyPixel) {
    Image a(16, 8, 8), b(16, 8, 8), bits(16, 8, 1);
    RsImage shortSize = b.im, narrowBits = bits.im;
    shortSize.size -= 1;
    narrowBits.width = 7;
    Coded coded(16);
    using Call = std::function<int32_t(int32_t*)>;
    const std::tuple<const char*, Call, int32_t> cases[] = {
        {"size short of its rows", [&](int32_t* st) { return GfxRbyt(&shortSize, 0, 0, 1, 1, st); },
         GFX_ST_IMAGE},
        {"bilevel row of no byte",
         [&](int32_t* st) { return GfxRbyt(&narrowBits, 0, 0, 1, 1, st); }, GFX_ST_IMAGE},
        {"angle", [&](int32_t* st) { return GfxRt90(&a.im, 0, 0, 8, 8, &b.im, 0, 0, 45, st); },
         GFX_ST_ARGUMENT},
        {"turned rectangle too tall",
         [&](int32_t* st) { return GfxRt90(&a.im, 0, 0, 16, 8, &b.im, 0, 0, 90, st); },
         GFX_ST_RECT},
        {"past the last whole byte", [&](int32_t* st) { return GfxRbyt(&bits.im, 9, 0, 8, 1, st); },
         GFX_ST_RECT},
        {"same buffer",
         [&](int32_t* st) { return GfxRt90(&a.im, 0, 0, 8, 8, &a.im, 0, 0, 180, st); },
         GFX_ST_ARGUMENT},
        {"zoom that shrinks",
         [&](int32_t* st) { return GfxZoom(&a.im, 0, 0, 16, 8, &b.im, 0, 0, 8, 8, st); },
         GFX_ST_ARGUMENT},
        {"coded count past its buffer",
         [&](int32_t* st) { return GfxDecd(&coded.im, 17, &bits.im, 0, 0, 8, 8, st); },
         GFX_ST_IMAGE},
    };
    for (const auto& [what, call, code] : cases) {
        int32_t status = 0;
        EXPECT_EQ(call(&status), -1) << what;
        EXPECT_EQ(status, code) << what;
    }
}

// The exact mean of one channel over the source area that output (ox, oy) covers.
double areaMean(const RsImage& src, int32_t w, int32_t h, int32_t dw, int32_t dh, int32_t ox,
                int32_t oy, int shift) {
    const double x0 = double(ox) * w / dw, x1 = double(ox + 1) * w / dw;
    const double y0 = double(oy) * h / dh, y1 = double(oy + 1) * h / dh;
    double sum = 0;
    for (int32_t y = int32_t(y0); y < y1; ++y)
        for (int32_t x = int32_t(x0); x < x1; ++x)
            sum += (std::min<double>(x + 1, x1) - std::max<double>(x, x0)) *
                   (std::min<double>(y + 1, y1) - std::max<double>(y, y0)) *
                   double((pixel(src, x, y) >> shift) & 0xFF);
    return sum / ((x1 - x0) * (y1 - y0));
}

TEST(PixoRedu, AveragesTheAreaEachPixelCovers) {
    // Halving gives the mean of four pixels, rounded half up.
    Image gray(38, 24, 8), half(19, 12, 8);
    fillRandom(&gray, 3);
    int32_t status = -1;
    ASSERT_EQ(GfxRedu(&gray.im, 0, 0, 38, 24, &half.im, 0, 0, 19, 12, &status), 0);
    for (int32_t y = 0; y < 12; ++y)
        for (int32_t x = 0; x < 19; ++x) {
            const uint32_t sum = pixel(gray.im, 2 * x, 2 * y) + pixel(gray.im, 2 * x + 1, 2 * y) +
                                 pixel(gray.im, 2 * x, 2 * y + 1) +
                                 pixel(gray.im, 2 * x + 1, 2 * y + 1);
            ASSERT_EQ(pixel(half.im, x, y), (sum + 2) / 4) << x << "," << y;
        }
    EXPECT_EQ(half.im.validWidth, 19);
    // Other ratios weigh border pixels by the part they cover, channel by channel.
    const int32_t cases[][4] = {{10, 10, 3, 7}, {100, 37, 41, 37}, {7, 5, 1, 1}, {300, 2, 299, 1}};
    for (const auto& c : cases) {
        Image src(c[0], c[1], 24), dst(c[2], c[3], 24);
        fillRandom(&src, uint32_t(c[0] + c[2]));
        ASSERT_EQ(GfxRedu(&src.im, 0, 0, c[0], c[1], &dst.im, 0, 0, c[2], c[3], &status), 0);
        for (int32_t y = 0; y < c[3]; ++y)
            for (int32_t x = 0; x < c[2]; ++x)
                for (int shift : {16, 8, 0}) {
                    const double want = areaMean(src.im, c[0], c[1], c[2], c[3], x, y, shift);
                    const double got = double((pixel(dst.im, x, y) >> shift) & 0xFF);
                    ASSERT_LE(std::fabs(got - want), 0.51) << c[0] << "->" << c[2] << " at " << x;
                }
    }
}

TEST(PixoRedu, ThinBilevelLinesSurviveHalvingAndQuartering) {
    for (int32_t factor : {2, 4})
        for (int32_t at = 20; at < 28; ++at)
            for (bool vertical : {true, false}) {
                Image src(64, 64, 1), dst(64 / factor, 64 / factor, 1);
                for (int32_t i = 0; i < 64; ++i)
                    kt::setPixel(&src.im, vertical ? at : i, vertical ? i : at, 1);
                int32_t status = 0;
                ASSERT_EQ(GfxRedu(&src.im, 0, 0, 64, 64, &dst.im, 0, 0, 64 / factor, 64 / factor,
                                  &status),
                          0);
                for (int32_t i = 0; i < 64 / factor; ++i)
                    for (int32_t j = 0; j < 64 / factor; ++j)
                        ASSERT_EQ(pixel(dst.im, vertical ? j : i, vertical ? i : j),
                                  j == at / factor ? 1u : 0u)
                            << factor << ":1, line at " << at << (vertical ? " |" : " -");
            }
    // A lone pixel is a sixteenth of a quartered pixel, below the quarter it takes.
    Image dot(16, 16, 1), small(4, 4, 1);
    kt::setPixel(&dot.im, 5, 5, 1);
    int32_t status = 0;
    ASSERT_EQ(GfxRedu(&dot.im, 0, 0, 16, 16, &small.im, 0, 0, 4, 4, &status), 0);
    EXPECT_EQ(pixel(small.im, 1, 1), 0u);
}

TEST(PixoZoom, ReplicatesBilevelAndBlendsGrayPixels) {
    Image bits(13, 7, 1), big(39, 14, 1);
    fillRandom(&bits, 21);
    int32_t status = 0;
    ASSERT_EQ(GfxZoom(&bits.im, 0, 0, 13, 7, &big.im, 0, 0, 39, 14, &status), 0);
    for (int32_t y = 0; y < 14; ++y)
        for (int32_t x = 0; x < 39; ++x)
            ASSERT_EQ(pixel(big.im, x, y), pixel(bits.im, x / 3, y / 2));
    EXPECT_EQ(big.im.validWidth, 39);

    Image ramp(2, 1, 8), wide(4, 3, 8);
    ramp.im.data[1] = 255;
    ASSERT_EQ(GfxZoom(&ramp.im, 0, 0, 2, 1, &wide.im, 0, 0, 4, 3, &status), 0);
    const unsigned char want[4] = {0, 64, 191, 255};  // centres at -0.25, 0.25, 0.75, 1.25
    for (int32_t y = 0; y < 3; ++y) EXPECT_EQ(0, std::memcmp(wide.row(y), want, 4)) << y;
}

}  // namespace
