// KroConvSize: the checks before scaling and the choice between enlarging and reducing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <tuple>

#include "test_util.h"

namespace {

using kt::Image;

TEST(ConvSize, BothSidesGrowOrNeitherDoes) {
    // {what, source width, height, destination width, height, code (0 for success)}
    const std::tuple<const char*, int32_t, int32_t, int32_t, int32_t, int32_t> cases[] = {
        {"equal sizes reduce", 100, 100, 100, 100, 0},
        {"double", 100, 100, 200, 200, 0},
        {"width grows, height stays", 100, 100, 200, 100, KRO_ERR_SIZE},
        {"width shrinks, height grows", 100, 100, 50, 200, KRO_ERR_SIZE},
        {"width shrinks, height stays", 100, 100, 50, 100, 0},
        {"source rectangle wider than its image", 105, 100, 50, 50, KRO_ERR_SIZE},
        {"empty source rectangle", 0, 100, 50, 50, KRO_ERR_SIZE},
        {"destination rectangle taller than its image", 100, 100, 50, 201, KRO_ERR_SIZE},
        {"empty destination rectangle", 100, 100, 50, 0, KRO_ERR_SIZE},
    };
    for (int32_t depth : {1, 8, 24}) {
        Image src(100, 100, depth), dst(200, 200, depth);
        kt::drawF(&src);
        for (const auto& [what, srcW, srcH, dstW, dstH, code] : cases) {
            SCOPED_TRACE(std::string(what) + " at depth " + std::to_string(depth));
            fndErrorStatus = 4321;
            dst.im.validWidth = dst.im.validHeight = 0;  // left alone by a refused call
            const int32_t rc = KroConvSize(&src.im, srcW, srcH, &dst.im, dstW, dstH);
            EXPECT_EQ(rc, code ? -1 : 0);
            EXPECT_EQ(fndErrorStatus, code ? code : 4321);
            EXPECT_EQ(std::tie(dst.im.validWidth, dst.im.validHeight),
                      std::tuple(code ? 0 : dstW, code ? 0 : dstH));
        }
        ASSERT_EQ(KroConvSize(&src.im, 100, 100, &dst.im, 100, 100), 0);  // equal sizes copy
        EXPECT_TRUE(kt::samePixels(src.im, dst.im, 100, 100)) << depth;
    }
}

// Enlargement interpolates between the source pixels whose centres surround
// an output pixel's centre, and rounds to the nearest level.
TEST(ConvSize, EnlargementInterpolatesAndRounds) {
    Image gray(2, 2, 8), big(4, 4, 8);
    const uint32_t corners[4] = {0, 100, 200, 50};  // top left, top right, bottom left, right
    for (int i = 0; i < 4; ++i) kt::setPixel(&gray.im, i % 2, i / 2, corners[i]);
    ASSERT_EQ(KroConvSize(&gray.im, 2, 2, &big.im, 4, 4), 0);
    const uint32_t want[4][4] = {
        {0, 25, 75, 100}, {50, 59, 78, 88}, {150, 128, 84, 63}, {200, 163, 88, 50}};
    for (int32_t y = 0; y < 4; ++y)
        for (int32_t x = 0; x < 4; ++x)
            EXPECT_EQ(kt::pixel(big.im, x, y), want[y][x]) << x << "," << y;

    // Each channel of a colour picture alike; centres 1/4 of a source pixel apart.
    Image rgb(2, 2, 24), rgbBig(8, 8, 24);
    const uint32_t colours[4] = {0x00FF0A, 0x649B1F, 0xC837FA, 0x32CD01};
    for (int i = 0; i < 4; ++i) kt::setPixel(&rgb.im, i % 2, i / 2, colours[i]);
    ASSERT_EQ(KroConvSize(&rgb.im, 2, 2, &rgbBig.im, 8, 8), 0);
    auto at = [](int32_t i) { return std::clamp((2.0 * (2 * i + 1) - 8) / 16, 0.0, 1.0); };
    for (int32_t y = 0; y < 8; ++y)
        for (int32_t x = 0; x < 8; ++x)
            for (int shift : {16, 8, 0}) {
                double c[4];
                for (int i = 0; i < 4; ++i) c[i] = colours[i] >> shift & 0xFF;
                const double top = c[0] + (c[1] - c[0]) * at(x);
                const double bottom = c[2] + (c[3] - c[2]) * at(x);
                const auto level = uint32_t(std::floor(top + (bottom - top) * at(y) + 0.5));
                EXPECT_EQ(kt::pixel(rgbBig.im, x, y) >> shift & 0xFF, level)
                    << x << "," << y << " channel " << shift;
            }
}

TEST(ConvSize, ImagesAreCheckedSourceFirstAndFailuresNameTheirDirection) {
    Image src(16, 16, 8), dst(32, 32, 8), bits(16, 16, 1);
    RsImage oddDepth = dst.im, shortDst = dst.im;
    oddDepth.depth = 4;
    shortDst.size = 100;  // fewer bytes than the rows need
    EXPECT_FAILS_WITH(KroConvSize(nullptr, 8, 8, &dst.im, 8, 8), KRO_ERR_NULL);
    EXPECT_FAILS_WITH(KroConvSize(&oddDepth, 8, 8, &dst.im, 8, 8), KRO_ERR_DEPTH);
    // A bad source rectangle is reported before the destination is looked at.
    EXPECT_FAILS_WITH(KroConvSize(&src.im, 17, 8, nullptr, 8, 8), KRO_ERR_SIZE);
    EXPECT_FAILS_WITH(KroConvSize(&src.im, 8, 8, nullptr, 8, 8), KRO_ERR_NULL);
    EXPECT_FAILS_WITH(KroConvSize(&src.im, 8, 8, &oddDepth, 8, 8), KRO_ERR_DEPTH);
    EXPECT_FAILS_WITH(KroConvSize(&bits.im, 8, 8, &dst.im, 8, 8), KRO_ERR_DEPTH);

    // A destination whose size field is short of its rows is refused whichever way
    // the scaling goes.
    EXPECT_FAILS_WITH(KroConvSize(&src.im, 16, 16, &shortDst, 32, 32), KRO_ERR_SIZE);
    EXPECT_FAILS_WITH(KroConvSize(&src.im, 16, 16, &shortDst, 8, 8), KRO_ERR_SIZE);
}

}  // namespace
