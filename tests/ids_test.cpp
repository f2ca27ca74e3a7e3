// Image description strings, built and read back.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "ids/description.h"
#include "paper/paper.h"
#include "test_util.h"

namespace {

// The text of a built string, given back at once.
std::string make(int32_t papertype, int32_t first, int32_t second) {
    char* s = KroMakeImageDescriptionString(papertype, first, second);
    if (s == KRO_FAILED_PTR) return "<failed>";
    std::string text = s;
    FndUtFree(s, __FILE__, __LINE__);
    return text;
}

TEST(DescriptionString, Build) {
    long live = FndUtLiveBlocks();
    EXPECT_EQ(make(0x00010410, 1024, 768), "A4V,1024,768");
    EXPECT_EQ(make(0x00030110, -5, 0), "LETV,-5,0");
    EXPECT_EQ(make(0x01050101, 1, 2), "<failed>");  // no row holds this code
    EXPECT_EQ(make(0, 1, 2), "NO,1,2");
    EXPECT_EQ(make(0x00010310, INT32_MIN, INT32_MIN), "A3V,-2147483648,-2147483648");
    EXPECT_EQ(make(0x00050101, INT32_MAX, INT32_MIN), "CALLH,2147483647,-2147483648");
    EXPECT_EQ(FndUtLiveBlocks(), live);

    fndErrorStatus = 0;
    EXPECT_EQ(KroMakeImageDescriptionString(0x00010700, 1, 2), KRO_FAILED_PTR);
    EXPECT_EQ(fndErrorStatus, KRO_ERR_PAPER);
    EXPECT_EQ(KroMakeImageDescriptionString(-1, 1, 2), KRO_FAILED_PTR);
    EXPECT_EQ(FndUtLiveBlocks(), live);
}

TEST(DescriptionString, Read) {
    struct Case {
        const char* text;
        int32_t code, first, second;  // code -1: fails with KRO_ERR_DESCRIPTION
    };
    const Case cases[] = {
        {"A3V", 0x00010310, -1, -1},
        {"a3portrait,1,2", 0x00010310, 1, 2},
        {"A4V,1024,768", 0x00010410, 1024, 768},
        {"A4,-3, 7", 0x00010401, -3, 7},
        {"A3V,", 0x00010310, -1, -1},  // a name with nothing after the comma
        {"A3V,x,2", 0x00010310, -1, -1},
        {"A3V,1,2junk", 0x00010310, 1, 2},
        {"A3V,99999999999,-99999999999", 0x00010310, INT32_MAX, INT32_MIN},
        {"A3V,10", -1, 0, 0},
        {"A3V,10,", -1, 0, 0},
        {"A3V,1;2", -1, 0, 0},
        {"", -1, 0, 0},
        {",1,2", -1, 0, 0},
        {"NO,1,2", -1, 0, 0},  // the code-0 row is never searched
        {"NO", -1, 0, 0},
        {"A3V ,1,2", -1, 0, 0},
        {"a3V,1,2", -1, 0, 0},
        {"Unknown,1,2", -1, 0, 0},
    };
    long live = FndUtLiveBlocks();
    for (const Case& c : cases) {
        int32_t first = 0, second = 0;
        fndErrorStatus = 0;
        EXPECT_EQ(kro::ReadImageDescriptionString(c.text, &first, &second), c.code) << c.text;
        if (c.code == -1) {
            EXPECT_EQ(fndErrorStatus, KRO_ERR_DESCRIPTION) << c.text;
            continue;
        }
        EXPECT_EQ(fndErrorStatus, 0);
        EXPECT_EQ(first, c.first) << c.text;
        EXPECT_EQ(second, c.second) << c.text;
    }
    EXPECT_EQ(FndUtLiveBlocks(), live);

    int32_t a, b;
    EXPECT_FAILS_WITH(kro::ReadImageDescriptionString(nullptr, &a, &b), KRO_ERR_NULL);
    EXPECT_FAILS_WITH(kro::ReadImageDescriptionString("A3V", nullptr, &b), KRO_ERR_NULL);
    std::string longText(100000, 'A');
    EXPECT_FAILS_WITH(kro::ReadImageDescriptionString(longText.c_str(), &a, &b),
                      KRO_ERR_DESCRIPTION);
    EXPECT_EQ(FndUtLiveBlocks(), live);
}

TEST(DescriptionString, EveryPaperRoundTrips) {
    for (const kro::PaperNames* row = kro::kPaperNames; row->code != 0; ++row) {
        std::string text = make(row->code, 12, -34);
        int32_t first = 0, second = 0;
        EXPECT_EQ(kro::ReadImageDescriptionString(text.c_str(), &first, &second), row->code)
            << text;
        EXPECT_EQ(first, 12);
        EXPECT_EQ(second, -34);
    }
}

}  // namespace
