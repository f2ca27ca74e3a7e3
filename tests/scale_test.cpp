// KroConvSize: the checks before scaling and the choice between enlarging and reducing.
#include <gtest/gtest.h>

#include "test_util.h"

namespace {

using kt::Image;

struct SizeCase {
    const char* what;
    int32_t srcW, srcH, dstW, dstH;
    int32_t code;  // 0 for success
};

TEST(ConvSize, BothSidesGrowOrNeitherDoes) {
    const SizeCase cases[] = {
        {"equal sizes reduce", 100, 100, 100, 100, 0},
        {"double", 100, 100, 200, 200, 0},
        {"width grows, height stays", 100, 100, 200, 100, KRO_ERR_SIZE},
        {"width shrinks, height grows", 100, 100, 50, 200, KRO_ERR_SIZE},
        {"width shrinks, height stays", 100, 100, 50, 100, 0},
        {"width stays, height grows", 100, 100, 100, 150, KRO_ERR_SIZE},
        {"source rectangle wider than its image", 105, 100, 50, 50, KRO_ERR_SIZE},
        {"empty source rectangle", 0, 100, 50, 50, KRO_ERR_SIZE},
        {"destination rectangle taller than its image", 100, 100, 50, 201, KRO_ERR_SIZE},
        {"empty destination rectangle", 100, 100, 50, 0, KRO_ERR_SIZE},
    };
    for (int32_t depth : {1, 8, 24}) {
        Image src(100, 100, depth), dst(200, 200, depth);
        kt::drawF(&src);
        for (const SizeCase& c : cases) {
            fndErrorStatus = 4321;
            const int32_t rc = KroConvSize(&src.im, c.srcW, c.srcH, &dst.im, c.dstW, c.dstH);
            EXPECT_EQ(rc, c.code ? -1 : 0) << c.what << " at depth " << depth;
            EXPECT_EQ(fndErrorStatus, c.code ? c.code : 4321) << c.what << " at depth " << depth;
            if (rc == 0) {
                EXPECT_EQ(dst.im.validWidth, c.dstW) << c.what;
                EXPECT_EQ(dst.im.validHeight, c.dstH) << c.what;
            }
        }
        // Equal sizes copy the pixels.
        ASSERT_EQ(KroConvSize(&src.im, 100, 100, &dst.im, 100, 100), 0);
        EXPECT_TRUE(kt::samePixels(src.im, dst.im, 100, 100)) << depth;
    }
}

TEST(ConvSize, ImagesAreCheckedSourceFirst) {
    Image src(16, 16, 8), dst(16, 16, 8), bits(16, 16, 1);
    RsImage noData = dst.im, wide = dst.im, oddDepth = dst.im, coded = dst.im;
    noData.data = nullptr;
    wide.width = 32769;
    oddDepth.depth = 4;
    coded.format = KRO_FORMAT_G4;
    EXPECT_FAILS_WITH(KroConvSize(nullptr, 8, 8, &dst.im, 8, 8), KRO_ERR_NULL);
    EXPECT_FAILS_WITH(KroConvSize(&noData, 8, 8, &dst.im, 8, 8), KRO_ERR_NULL);
    EXPECT_FAILS_WITH(KroConvSize(&wide, 8, 8, &dst.im, 8, 8), KRO_ERR_SIZE);
    EXPECT_FAILS_WITH(KroConvSize(&oddDepth, 8, 8, &dst.im, 8, 8), KRO_ERR_DEPTH);
    EXPECT_FAILS_WITH(KroConvSize(&coded, 8, 8, &dst.im, 8, 8), KRO_ERR_FORMAT);
    // A bad source rectangle is reported before the destination is looked at.
    EXPECT_FAILS_WITH(KroConvSize(&src.im, 17, 8, nullptr, 8, 8), KRO_ERR_SIZE);
    EXPECT_FAILS_WITH(KroConvSize(&src.im, 8, 8, nullptr, 8, 8), KRO_ERR_NULL);
    EXPECT_FAILS_WITH(KroConvSize(&src.im, 8, 8, &oddDepth, 8, 8), KRO_ERR_DEPTH);
    EXPECT_FAILS_WITH(KroConvSize(&src.im, 8, 8, &coded, 8, 8), KRO_ERR_FORMAT);
    EXPECT_FAILS_WITH(KroConvSize(&bits.im, 8, 8, &dst.im, 8, 8), KRO_ERR_DEPTH);
}

TEST(ConvSize, ALibraryFailureGivesTheCodeOfItsDirection) {
    // The size field promises fewer bytes than the rows need: the library refuses.
    Image src(16, 16, 24), dst(32, 32, 24);
    RsImage shortDst = dst.im;
    shortDst.size = 100;
    EXPECT_FAILS_WITH(KroConvSize(&src.im, 16, 16, &shortDst, 32, 32), KRO_ERR_ZOOM);
    EXPECT_FAILS_WITH(KroConvSize(&src.im, 16, 16, &shortDst, 8, 8), KRO_ERR_REDUCE);
}

}  // namespace
