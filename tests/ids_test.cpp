// Image description strings, built and read back.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <tuple>
#include <utility>

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
    EXPECT_EQ(make(0x00010410, 1024, 768), "A4V,1024,768");
    EXPECT_EQ(make(0x00030110, -5, 0), "LETV,-5,0");
    EXPECT_EQ(make(0, 1, 2), "NO,1,2");
    EXPECT_EQ(make(0x00010310, INT32_MIN, INT32_MIN), "A3V,-2147483648,-2147483648");
    // No row holds these codes; nor is the end of the table a paper.
    for (int32_t code : {0x01050101, 0x00010700, -1}) {
        fndErrorStatus = 0;
        EXPECT_EQ(make(code, 1, 2), "<failed>") << code;
        EXPECT_EQ(fndErrorStatus, KRO_ERR_PAPER) << code;
    }

    // Every sheet's string reads back.
    for (const kro::PaperNames* row = kro::kPaperNames; row->code != 0; ++row) {
        std::string text = make(row->code, 12, -34);
        int32_t first = 0, second = 0;
        EXPECT_EQ(kro::ReadImageDescriptionString(text.c_str(), &first, &second), row->code)
            << text;
        EXPECT_EQ(std::make_pair(first, second), std::make_pair(12, -34)) << text;
    }
}

TEST(DescriptionString, Read) {
    // text, code (-1: fails with KRO_ERR_DESCRIPTION), first and second number
    const std::tuple<const char*, int32_t, int32_t, int32_t> cases[] = {
        {"A3V", 0x00010310, -1, -1},
        {"A4V,1024,768", 0x00010410, 1024, 768},
        {"A4,-3, 7", 0x00010401, -3, 7},
        {"A3V,x,2", 0x00010310, -1, -1},  // a name and no numbers
        {"A3V,99999999999,-99999999999", 0x00010310, INT32_MAX, INT32_MIN},
        {"A3V,10", -1, 0, 0},
        {",1,2", -1, 0, 0},
        {"NO,1,2", -1, 0, 0},  // the code-0 row is never searched
    };
    for (const auto& [text, code, wantFirst, wantSecond] : cases) {
        SCOPED_TRACE(text);
        int32_t first = 0, second = 0;
        fndErrorStatus = 0;
        EXPECT_EQ(kro::ReadImageDescriptionString(text, &first, &second), code);
        EXPECT_EQ(fndErrorStatus, code == -1 ? KRO_ERR_DESCRIPTION : 0);
        if (code == -1) continue;
        EXPECT_EQ(std::make_pair(first, second), std::make_pair(wantFirst, wantSecond));
    }
    int32_t a, b;
    EXPECT_FAILS_WITH(kro::ReadImageDescriptionString(nullptr, &a, &b), KRO_ERR_NULL);
    EXPECT_FAILS_WITH(kro::ReadImageDescriptionString("A3V", nullptr, &b), KRO_ERR_NULL);
    std::string longText(100000, 'A');
    EXPECT_FAILS_WITH(kro::ReadImageDescriptionString(longText.c_str(), &a, &b),
                      KRO_ERR_DESCRIPTION);
}

}  // namespace
