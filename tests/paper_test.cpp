// Paper tables and the queries between paper types, millimetres and dots.
#include "paper/paper.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <set>
#include <string>

#include "test_util.h"

namespace {

TEST(PaperTables, NamesAndSizesAgree) {
    std::set<std::string> seen;
    int rows = 0;
    const kro::PaperNames* row = kro::kPaperNames;
    for (; row->code != 0; ++row, ++rows) {
        int32_t orientation = row->code & kro::kPaperOrientationMask;
        EXPECT_TRUE(orientation == KRO_PAPER_PORTRAIT || orientation == KRO_PAPER_LANDSCAPE)
            << std::hex << row->code;
        EXPECT_NE(kro::findPaperSize(row->code), nullptr) << std::hex << row->code;
        for (const char* const* n = row->names; *n; ++n) {
            EXPECT_LE(n - row->names, kro::kMaxPaperNames);
            EXPECT_TRUE(seen.insert(*n).second) << "name in two rows: " << *n;
            EXPECT_EQ(kroGetPapertypeOption(*n), row->code) << *n;
        }
    }
    EXPECT_EQ(rows, 48);
    EXPECT_STREQ(row->names[0], "NO");
    EXPECT_EQ(row[1].code, -1);
    EXPECT_EQ(std::size(kro::kPaperSizes), 15u);
    EXPECT_EQ(kro::kPaperSizes[14].base, 0);
}

TEST(PaperQuery, DotsByPapertype) {
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
        {0x00010410, 0, 0, 0, 0},
        {0x00010001, 720, 33696, 23832, KRO_ERR_PAPER_TOO_LARGE},
        {0x00010410, INT32_MAX, INT32_MAX, INT32_MAX, KRO_ERR_PAPER_TOO_LARGE},
    };
    for (const Case& c : cases) {
        int32_t w = -9, h = -9;
        fndErrorStatus = 0;
        EXPECT_EQ(KroQueryDotsByPapertype(c.code, c.dpi, &w, &h), c.status ? -1 : 0)
            << std::hex << c.code;
        EXPECT_EQ(fndErrorStatus, c.status);
        // On the size failure the sizes are already stored.
        EXPECT_EQ(w, c.width) << std::hex << c.code;
        EXPECT_EQ(h, c.height) << std::hex << c.code;
    }
    int32_t w, h;
    for (int32_t bad : {0x00010400, 0x00010700, 0, -1, 0x00060110})
        EXPECT_FAILS_WITH(KroQueryDotsByPapertype(bad, 400, &w, &h), KRO_ERR_PAPER);
    EXPECT_FAILS_WITH(KroQueryDotsByPapertype(0x00010410, 400, nullptr, &h), KRO_ERR_NULL);
}

TEST(PaperQuery, LengthByPapertype) {
    float w = 0, h = 0;
    ASSERT_EQ(KroQueryLengthByPapertype(0x00010410, &w, &h), 0);
    EXPECT_EQ(w, 210.0f);
    EXPECT_EQ(h, 297.0f);
    ASSERT_EQ(KroQueryLengthByPapertype(0x01020401, &w, &h), 0);
    EXPECT_EQ(w, 364.0f);
    EXPECT_EQ(h, 257.0f);
    EXPECT_FAILS_WITH(KroQueryLengthByPapertype(0x00010400, &w, &h), KRO_ERR_PAPER);
    EXPECT_FAILS_WITH(KroQueryLengthByPapertype(0x00070110, &w, &h), KRO_ERR_PAPER);
    EXPECT_FAILS_WITH(KroQueryLengthByPapertype(0x00010410, &w, nullptr), KRO_ERR_NULL);
}

TEST(PaperQuery, PapertypeByDots) {
    struct Case {
        int32_t width, height, dpi, code, status;
    };
    const Case cases[] = {
        {3304, 4672, 400, 0x00010410, 0},
        {4672, 3304, 400, 0x00010401, 0},
        // Short side A4, long side letter: A4's long side misses, letter fits.
        {3402, 4409, 400, 0x00030110, 0},
        {3400, 3400, 400, 0, KRO_ERR_PAPER},
        // Longer than any sheet: long paper, for the A and B series only.
        {3304, 20000, 400, 0x01010410, 0},
        {20000, 3304, 400, 0x01010401, 0},
        {866, 20000, 400, 0, KRO_ERR_PAPER},  // business card width
        {100, 20000, 400, 0, KRO_ERR_PAPER},
        {3304, 9000, 400, 0, KRO_ERR_PAPER},  // long side of A2: neither check fits
        {1000, 1000, INT32_MAX, 0, KRO_ERR_PAPER},
        {1000, 1000, -400, 0, KRO_ERR_PAPER},
    };
    for (const Case& c : cases) {
        fndErrorStatus = 0;
        EXPECT_EQ(KroQueryPapertypeByDots(c.width, c.height, c.dpi), c.code)
            << c.width << "x" << c.height;
        EXPECT_EQ(fndErrorStatus, c.status) << c.width << "x" << c.height;
    }
    EXPECT_FAILS_WITH(KroQueryPapertypeByDots(100, 32769, 400), KRO_ERR_PAPER_TOO_LARGE);
    EXPECT_FAILS_WITH(KroQueryPapertypeByDots(INT32_MAX, 1, 400), KRO_ERR_PAPER_TOO_LARGE);
    // Every sheet is found again from its own dots.
    for (const kro::PaperNames* row = kro::kPaperNames; row->code != 0; ++row) {
        if (row->code & KRO_PAPER_LONG) continue;
        int32_t w, h;
        ASSERT_EQ(KroQueryDotsByPapertype(row->code, 400, &w, &h), 0);
        EXPECT_EQ(KroQueryPapertypeByDots(w, h, 400), row->code) << row->names[0];
    }
}

TEST(PaperQuery, PapertypeByLength) {
    struct Case {
        float width, height;
        int32_t fit, code;
    };
    const Case cases[] = {
        {216, 280, 0, 0x00030110},  // found walking back from the end
        {280, 216, 0, 0x00030101},
        {216, 280, 1, 0x00010410},  // A4's short limit 220 holds 216
        {210, 297, 0, 0x00010410},
        {297, 210, 1, 0x00010401},
        {200, 400, 1, 0x01010410},
        {200, 2000, 1, 0x01010410},
        {145, 224, 1, 0x00030210},  // A5 by width, half letter by length
        {145, 215, 1, 0x00010510},
        {100, 140, 1, 0x00010610},   // postcard stands for A6
        {223, 300, 1, 0},            // letter cannot be long
        {50, 100, 1, 0},             // nor a business card
        {223, 2000, 1, 0x01030110},  // unless no sheet is that long
        {900, 900, 1, 0},
        {500, 500, 0, 0},
        {216, 600, 0, 0x01010410},
        {216, 2000, 0, 0x01010410},
        {55, 2000, 0, 0x01050110},  // any series in the nearest mode
        {216, 200, 0, 0},
    };
    for (const Case& c : cases) {
        fndErrorStatus = 0;
        EXPECT_EQ(KroQueryPapertypeByLength(c.width, c.height, c.fit), c.code)
            << c.width << "x" << c.height << " fit " << c.fit;
        EXPECT_EQ(fndErrorStatus, c.code ? 0 : KRO_ERR_PAPER)
            << c.width << "x" << c.height << " fit " << c.fit;
    }
    for (int32_t fit : {0, 1}) {
        fndErrorStatus = 0;
        EXPECT_EQ(KroQueryPapertypeByLength(NAN, 200, fit), 0);
        EXPECT_EQ(fndErrorStatus, KRO_ERR_PAPER);
        EXPECT_EQ(KroQueryPapertypeByLength(200, NAN, fit), 0);
    }
}

}  // namespace
