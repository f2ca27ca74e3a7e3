// A record of the host's own, beyond the original interface. (The other names
// hosts use are tested where their subject is: the paper name rows in
// paper_test.cpp, the option-file reader in option_file_test.cpp.)
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "kro/kro.h"

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
