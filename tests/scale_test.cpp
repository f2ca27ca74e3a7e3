// KroConvSize: the checks before scaling and the choice between enlarging and reducing.
#include <gtest/gtest.h>

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
