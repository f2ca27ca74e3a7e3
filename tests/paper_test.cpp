// Paper tables and the queries between paper types, millimetres and dots.
#include "paper/paper.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <set>
#include <string>
#include <utility>

#include "test_util.h"

namespace {

// Every named sheet, walked a row at a time as hosts walk it, has a size and is
// found again from each name and (unless long) from its own dots; the row of
// code 0 ("NO") is no paper.
TEST(PaperTables, EverySheetIsFoundAgain) {
    std::set<std::string> seen;
    const char* names[16];
    int32_t code = 0, rows = 0;
    for (int32_t n; (n = KroPaperNames(rows, &code, names, 16)) >= 0; ++rows) {
        ASSERT_GT(n, 0) << rows;
        for (int32_t i = 0; i < std::min(n, 16); ++i) {
            EXPECT_TRUE(seen.insert(names[i]).second) << "name in two rows: " << names[i];
            EXPECT_EQ(kroGetPapertypeOption(names[i]), code) << names[i];
        }
        int32_t w, h;
        ASSERT_EQ(KroQueryDotsByPapertype(code, 400, &w, &h), 0) << names[0];
        if (code & KRO_PAPER_LONG) continue;
        EXPECT_EQ(KroQueryPapertypeByDots(w, h, 400), code) << names[0];
    }
    EXPECT_EQ(rows, 48);
    EXPECT_EQ(kroGetPapertypeOption("A4V"), 0x00010410);
    EXPECT_EQ(kroGetPapertypeOption("NO"), -1);
    // A short buffer gets the first names; the count is the row's.
    EXPECT_EQ(KroPaperNames(1, &code, names, 1), 5);  // A0H A0 a0h a0landscape a0
    EXPECT_STREQ(names[0], "A0H");
    EXPECT_EQ(KroPaperNames(-1, &code, names, 8), -1);
}

TEST(PaperQuery, DotsAndLengthByPapertype) {
    struct Case {
        int32_t code, dpi, width, height, status;
    };
    const Case cases[] = {
        {0x00010410, 400, 3304, 4672, 0},
        {0x01010410, 400, 3304, 4672, 0},  // the long bit is ignored
        {0x00010401, 400, 4672, 3304, 0},
        {0x00010411, 400, 3304, 4672, 0},  // the portrait bit is tested first
        {0x00030110, 400, 3400, 4408, 0},
        {0x00050101, 300, 1072, 648, 0},
        // On the size failure the sizes are already stored.
        {0x00010001, 720, 33696, 23832, KRO_ERR_PAPER_TOO_LARGE},
        {0x00010410, INT32_MAX, INT32_MAX, INT32_MAX, KRO_ERR_PAPER_TOO_LARGE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << std::hex << c.code << " at " << std::dec << c.dpi);
        int32_t w = -9, h = -9;
        fndErrorStatus = 0;
        EXPECT_EQ(KroQueryDotsByPapertype(c.code, c.dpi, &w, &h), c.status ? -1 : 0);
        EXPECT_EQ(fndErrorStatus, c.status);
        EXPECT_EQ(w, c.width);
        EXPECT_EQ(h, c.height);
    }
    int32_t w, h;
    for (int32_t bad : {0x00010400, 0x00010700, 0, -1, 0x00060110})
        EXPECT_FAILS_WITH(KroQueryDotsByPapertype(bad, 400, &w, &h), KRO_ERR_PAPER);
    EXPECT_FAILS_WITH(KroQueryDotsByPapertype(0x00010410, 400, nullptr, &h), KRO_ERR_NULL);

    float mw = 0, mh = 0;
    ASSERT_EQ(KroQueryLengthByPapertype(0x00010410, &mw, &mh), 0);
    EXPECT_EQ(std::make_pair(mw, mh), std::make_pair(210.0f, 297.0f));
    ASSERT_EQ(KroQueryLengthByPapertype(0x01020401, &mw, &mh), 0);
    EXPECT_EQ(std::make_pair(mw, mh), std::make_pair(364.0f, 257.0f));
    for (int32_t bad : {0x00010400, 0x00070110})
        EXPECT_FAILS_WITH(KroQueryLengthByPapertype(bad, &mw, &mh), KRO_ERR_PAPER);
    EXPECT_FAILS_WITH(KroQueryLengthByPapertype(0x00010410, &mw, nullptr), KRO_ERR_NULL);
}

// Each row finds the paper for a size in dots at a resolution, or in
// millimetres to fit (1: the smallest that holds it, 0: the nearest).
TEST(PaperQuery, PapertypeBySize) {
    enum Unit { kDots, kMm };
    struct Case {
        Unit unit;
        double width, height;
        int32_t dpiOrFit, code;  // 0: no paper
    };
    const Case cases[] = {
        {kDots, 3304, 4672, 400, 0x00010410},
        // Short side A4, long side letter: A4's long side misses, letter fits.
        {kDots, 3402, 4409, 400, 0x00030110},
        // Longer than any sheet: long paper, for the A and B series only.
        {kDots, 3304, 20000, 400, 0x01010410},
        {kDots, 866, 20000, 400, 0},  // business card width
        {kDots, 3304, 9000, 400, 0},  // long side of A2: neither check fits
        {kDots, 1000, 1000, INT32_MAX, 0},
        {kMm, 216, 280, 0, 0x00030110},  // found walking back from the end
        {kMm, 216, 280, 1, 0x00010410},  // A4's short limit 220 holds 216
        {kMm, 297, 210, 1, 0x00010401},
        {kMm, 200, 400, 1, 0x01010410},
        {kMm, 145, 224, 1, 0x00030210},   // A5 by width, half letter by length
        {kMm, 100, 140, 1, 0x00010610},   // postcard stands for A6
        {kMm, 223, 300, 1, 0},            // letter cannot be long
        {kMm, 50, 100, 1, 0},             // nor a business card
        {kMm, 223, 2000, 1, 0x01030110},  // unless no sheet is that long
        {kMm, 500, 500, 0, 0},
        {kMm, 55, 2000, 0, 0x01050110},  // any series in the nearest mode
        {kMm, NAN, 200, 0, 0},
        {kMm, 200, NAN, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << c.width << "x" << c.height << (c.unit ? " mm " : " dots ") << c.dpiOrFit);
        fndErrorStatus = 0;
        int32_t code =
            c.unit == kDots
                ? KroQueryPapertypeByDots(int32_t(c.width), int32_t(c.height), c.dpiOrFit)
                : KroQueryPapertypeByLength(float(c.width), float(c.height), c.dpiOrFit);
        EXPECT_EQ(code, c.code);
        EXPECT_EQ(fndErrorStatus, c.code ? 0 : KRO_ERR_PAPER);
    }
    EXPECT_FAILS_WITH(KroQueryPapertypeByDots(100, 32769, 400), KRO_ERR_PAPER_TOO_LARGE);
    EXPECT_FAILS_WITH(KroQueryPapertypeByDots(INT32_MAX, 1, 400), KRO_ERR_PAPER_TOO_LARGE);
}

}  // namespace
