// The names beyond the original interface that hosts use: the paper name
// table a row at a time and the option-file reader.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "kro/kro.h"

TEST(HostExports, PaperNamesRowByRow) {
    const char* names[8];
    int32_t code = 0, rows = 0;
    bool sawA4 = false;
    for (int32_t n; (n = KroPaperNames(rows, &code, names, 8)) >= 0; ++rows) {
        ASSERT_GT(n, 0) << rows;
        // Every name leads back to its own row's code, as the option parser reads it.
        EXPECT_EQ(kroGetPapertypeOption(names[0]), code) << names[0];
        sawA4 = sawA4 || (code == 0x00010410 && std::strcmp(names[0], "A4V") == 0);
    }
    EXPECT_EQ(rows, 48);
    EXPECT_TRUE(sawA4);
    // A short buffer gets the first names; the count is the row's.
    EXPECT_EQ(KroPaperNames(1, &code, names, 1), 5);  // A0H A0 a0h a0landscape a0
    EXPECT_STREQ(names[0], "A0H");
    EXPECT_EQ(KroPaperNames(-1, &code, names, 8), -1);
}

TEST(HostExports, OptionFileLine) {
    const std::string line = "/in.bmp - - 300 A4V cal - - - - - - - /out - - - - - - - - - - -\n";
    FILE* f = fmemopen(const_cast<char*>(line.data()), line.size(), "r");
    ASSERT_TRUE(f);
    char* input = KroReadOptionFile(f);
    std::fclose(f);
    ASSERT_NE(input, nullptr);
    ASSERT_NE(static_cast<void*>(input), KRO_FAILED_PTR);
    EXPECT_STREQ(input, "/in.bmp");
    EXPECT_EQ(kroOption.dpi.value, 300);
    EXPECT_EQ(kroOption.papertype.value, 0x00010410);
    std::free(input);

    char empty[1] = {0};
    f = fmemopen(empty, 0, "r");
    ASSERT_TRUE(f);
    EXPECT_EQ(static_cast<void*>(KroReadOptionFile(f)), KRO_FAILED_PTR);
    std::fclose(f);
}

// A record of the host's own answers as kroOption would, and kroOption is left
// as it was.
TEST(HostExports, RecordOfTheHostsOwn) {
    kroInitOption();
    const KroOption before = kroOption;
    KroOption own{};
    own.quality = {1, 90};
    EXPECT_EQ(KroCheckCOptionOf(&own, 7), 0);    // JPEG takes a quality
    EXPECT_EQ(KroCheckCOptionOf(&own, 9), -1);   // CALS does not
    EXPECT_EQ(fndErrorStatus, KRO_ERR_OPTION_NOT_ALLOWED);
    EXPECT_EQ(KroCheckCOptionOf(nullptr, 7), -1);
    EXPECT_EQ(fndErrorStatus, KRO_ERR_NULL);

    // Two grays to bilevel at a fixed threshold, the global record untouched.
    unsigned char pixels[16] = {0, 255, 0, 255, 0, 255, 0, 255, 0, 255, 0, 255, 0, 255, 0, 255};
    RsImage src{16, 1, 16, KRO_FORMAT_RAW, 8, pixels, 0, 0, 16, 1, 0};
    unsigned char palette[768] = {}, outPalette[768];
    for (int i = 0; i < 256; ++i) palette[i] = palette[256 + i] = palette[512 + i] = uint8_t(i);
    own = KroOption{};
    own.colortype = {1, KRO_COLORTYPE_BILEVEL};
    own.dithes = {1, 0};
    RsImage dst{};
    int32_t photometric = -1;
    ASSERT_EQ(KroConvImageWith(&own, &src, KRO_PHOTO_BLACK_IS_ZERO, palette, &dst, &photometric,
                               outPalette),
              0);
    EXPECT_EQ(dst.depth, 1);
    EXPECT_EQ(std::memcmp(&before, &kroOption, sizeof before), 0);
    std::free(dst.data);
}
