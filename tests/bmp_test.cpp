// BMP reading and writing: round trips, header fields, odd files, bad files.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "test_util.h"

namespace {

using kt::Bytes;

struct Read {
    RsImage im{};
    int32_t photometric = -7;
    int32_t res[2] = {0, 0};
    unsigned char pal[768];
    int32_t rc;
    explicit Read(FILE* f) {
        std::memset(pal, 0xAA, sizeof pal);
        rc = KroBMPToRsImage(f, &im, &photometric, res, pal);
    }
    explicit Read(const Bytes& b) : Read(kt::TempFile(b).get()) {}
    ~Read() { std::free(im.data); }
};

Bytes writeBmp(const RsImage& im, int32_t photometric, int32_t dpi = 72,
               unsigned char* pal = nullptr) {
    unsigned char scratch[768] = {};
    kt::TempFile f;
    EXPECT_EQ(KroRsImageToBMP(f.get(), &im, 0, dpi, photometric, pal ? pal : scratch), 0);
    return f.contents();
}

uint32_t le32(const Bytes& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}

// A minimal file: header fields as given, then table and rows verbatim.
Bytes makeBmp(int32_t width, int32_t height, int bpp, uint32_t colours, const Bytes& table,
              const Bytes& rows, uint32_t ppm = 0) {
    Bytes b(54);
    b[0] = 'B', b[1] = 'M';
    auto put = [&](size_t at, uint32_t v, int n) {
        for (int i = 0; i < n; ++i) b[at + i] = uint8_t(v >> (8 * i));
    };
    put(10, uint32_t(54 + table.size()), 4);
    put(14, 40, 4);
    put(18, uint32_t(width), 4);
    put(22, uint32_t(height), 4);
    put(26, 1, 2);
    put(28, uint32_t(bpp), 2);
    put(38, ppm, 4);
    put(42, ppm, 4);
    put(46, colours, 4);
    for (unsigned char c : table) b.push_back(c);
    for (unsigned char c : rows) b.push_back(c);
    return b;
}

}  // namespace

struct RoundTripCase {
    int32_t width, height, depth, photometric;
};

class BmpRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(BmpRoundTrip, PixelsAndFieldsSurvive) {
    const auto c = GetParam();
    kt::Image src(c.width, c.height, c.depth);
    kt::drawF(&src);
    Read r(writeBmp(src.im, c.photometric, 300));
    ASSERT_EQ(r.rc, 0) << fndErrorStatus;
    EXPECT_EQ(r.im.width, src.im.width);
    EXPECT_EQ(r.im.height, c.height);
    EXPECT_EQ(r.im.validWidth, c.width);
    EXPECT_EQ(r.im.validHeight, c.height);
    EXPECT_EQ(r.im.depth, c.depth);
    EXPECT_EQ(r.im.format, KRO_FORMAT_RAW);
    EXPECT_EQ(r.im.size, src.im.size);
    EXPECT_TRUE(kt::samePixels(r.im, src.im, c.width, c.height));
    // 300 dpi is stored as 11700 pixels per metre and reads back as 300.
    EXPECT_EQ(r.res[0], 300);
    EXPECT_EQ(r.res[1], 300);
    if (c.depth == 1)
        EXPECT_EQ(r.photometric, KRO_PHOTO_WHITE_IS_ZERO);  // table white, black
    else
        EXPECT_EQ(r.photometric, c.photometric);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, BmpRoundTrip,
    ::testing::Values(RoundTripCase{1, 1, 1, 0}, RoundTripCase{13, 9, 1, 1},
                      RoundTripCase{33, 17, 1, 0}, RoundTripCase{64, 3, 1, 0},
                      RoundTripCase{1, 1, 8, 1}, RoundTripCase{13, 9, 8, 0},
                      RoundTripCase{33, 17, 8, 1}, RoundTripCase{1, 1, 24, 2},
                      RoundTripCase{13, 9, 24, 2}, RoundTripCase{33, 17, 24, 2}));

TEST(BmpRead, BilevelPaddingBitsReadAsOnes) {
    // 13 pixels wide: two bytes of pixels, two of padding; the file holds zeros.
    Bytes table = {255, 255, 255, 0, 0, 0, 0, 0};
    Bytes rows = {0x12, 0x00, 0, 0, 0x34, 0x00, 0, 0};
    Read r(makeBmp(13, 2, 1, 0, table, rows));
    ASSERT_EQ(r.rc, 0);
    EXPECT_EQ(r.im.width, 16);
    EXPECT_EQ(r.im.validWidth, 13);
    EXPECT_EQ(r.im.size, 4);
    // Bottom-up: the first file row is the last picture row.
    EXPECT_EQ(r.im.data[0], 0x34);
    EXPECT_EQ(r.im.data[1], 0x07);
    EXPECT_EQ(r.im.data[2], 0x12);
    EXPECT_EQ(r.im.data[3], 0x07);
    EXPECT_EQ(r.photometric, KRO_PHOTO_WHITE_IS_ZERO);
}

TEST(BmpRead, ColourTableCountAndPhotometric) {
    Bytes rows(4, 0);
    {
        // Colours used 16 reads 16 entries and leaves the rest zero.
        Bytes table;
        for (int i = 0; i < 16; ++i) table.insert(table.end(), {uint8_t(i), uint8_t(i), uint8_t(i), 9});
        Read r(makeBmp(1, 1, 8, 16, table, rows));
        ASSERT_EQ(r.rc, 0);
        EXPECT_EQ(r.pal[15], 15);
        EXPECT_EQ(r.pal[16], 0);
        EXPECT_EQ(r.pal[256 + 200], 0);
        EXPECT_EQ(r.photometric, KRO_PHOTO_BLACK_IS_ZERO);
    }
    {
        // Colours used 0 means 256; one non-gray entry makes a palette picture.
        Bytes table;
        for (int i = 0; i < 256; ++i)
            table.insert(table.end(), {uint8_t(255 - i), uint8_t(255 - i), uint8_t(255 - i), 0});
        Read gray(makeBmp(1, 1, 8, 0, table, rows));
        ASSERT_EQ(gray.rc, 0);
        EXPECT_EQ(gray.photometric, KRO_PHOTO_WHITE_IS_ZERO);
        table[4 * 200] = 11;  // blue of entry 200
        Read colour(makeBmp(1, 1, 8, 0, table, rows));
        ASSERT_EQ(colour.rc, 0);
        EXPECT_EQ(colour.photometric, KRO_PHOTO_PALETTE);
        EXPECT_EQ(colour.pal[512 + 200], 11);
    }
}

TEST(BmpRead, ResolutionRounding) {
    const struct {
        uint32_t ppm;
        int32_t dpi;
    } cases[] = {{3780, 97}, {11811, 303}, {0, 0}, {2835, 73}, {3800, 97}, {3761, 96}};
    for (const auto& c : cases) {
        Read r(makeBmp(1, 1, 24, 0, {}, Bytes(4, 0), c.ppm));
        ASSERT_EQ(r.rc, 0);
        EXPECT_EQ(r.res[0], c.dpi) << c.ppm;
        EXPECT_EQ(r.res[1], c.dpi) << c.ppm;
    }
}

TEST(BmpRead, BigEndianTwinReadsTheSame) {
    kt::Image src(13, 5, 24);
    kt::drawF(&src);
    Bytes little = writeBmp(src.im, 2);
    Bytes big = little;
    big[0] = 'M', big[1] = 'B';
    const int fields[] = {4, 2, 2, 4, 4, 4, 4, 2, 2, 4, 4, 4, 4, 4, 4};
    size_t at = 2;
    for (int n : fields) {
        std::reverse(big.begin() + long(at), big.begin() + long(at + size_t(n)));
        at += size_t(n);
    }
    Read a(little), b(big);
    ASSERT_EQ(a.rc, 0);
    ASSERT_EQ(b.rc, 0);
    EXPECT_EQ(b.im.validWidth, 13);
    EXPECT_TRUE(kt::samePixels(a.im, b.im, 13, 5));
}

TEST(BmpRead, NullArguments) {
    kt::TempFile f(Bytes(60, 0));
    RsImage im{};
    int32_t photometric = 5, res[2];
    unsigned char pal[768];
    EXPECT_FAILS_WITH(KroBMPToRsImage(nullptr, &im, &photometric, res, pal), KRO_ERR_NULL);
    EXPECT_EQ(photometric, 0);  // cleared before any check
    EXPECT_FAILS_WITH(KroBMPToRsImage(f.get(), nullptr, &photometric, res, pal), KRO_ERR_NULL);
}

TEST(BmpWrite, HeaderLayoutByPhotometric) {
    kt::Image rgb(3, 2, 24);
    Bytes gray = writeBmp(rgb.im, 0, 300);
    EXPECT_EQ(le32(gray, 10), 1078u);  // 24-bit pixels, but a 256-entry gray table
    EXPECT_EQ(le32(gray, 38), 11700u);
    EXPECT_EQ(gray[54], 255);          // entry 0 of a white-is-zero table is white
    EXPECT_EQ(gray.size(), 1078u + 2 * 12);
    Bytes direct = writeBmp(rgb.im, 2);
    EXPECT_EQ(le32(direct, 10), 54u);
    EXPECT_EQ(le32(direct, 2), 54u + 2 * 12);
    EXPECT_EQ(le32(direct, 34), 24u);

    kt::Image bits(13, 1, 1);
    bits.im.data[0] = 0xA5;
    unsigned char pal[768];
    std::memset(pal, 7, sizeof pal);
    Bytes one = writeBmp(bits.im, 1, 72, pal);
    EXPECT_EQ(le32(one, 46), 2u);
    const Bytes table(one.begin() + 54, one.begin() + 62);
    EXPECT_EQ(table, (Bytes{255, 255, 255, 0, 0, 0, 0, 0}));
    EXPECT_EQ(pal[0], 255);  // the caller's palette receives the table
    EXPECT_EQ(pal[1], 0);
    EXPECT_EQ(pal[2], 0);
    EXPECT_EQ(one[62], 0xA5);  // bits written unchanged
}

TEST(BmpWrite, ArgumentChecksInOrder) {
    kt::Image im(4, 4, 8);
    unsigned char pal[768] = {};
    kt::TempFile f;
    EXPECT_FAILS_WITH(KroRsImageToBMP(nullptr, &im.im, 0, 0, 0, pal), KRO_ERR_NULL);
    EXPECT_FAILS_WITH(KroRsImageToBMP(f.get(), nullptr, 0, 0, 0, pal), KRO_ERR_NULL);
    RsImage bad = im.im;
    bad.width = 0;
    bad.depth = 7;  // the size check comes first
    EXPECT_FAILS_WITH(KroRsImageToBMP(f.get(), &bad, 0, 0, 0, pal), KRO_ERR_SIZE);
    bad = im.im, bad.depth = 16;
    EXPECT_FAILS_WITH(KroRsImageToBMP(f.get(), &bad, 0, 0, 0, pal), KRO_ERR_DEPTH);
    bad = im.im, bad.format = KRO_FORMAT_G4;
    EXPECT_FAILS_WITH(KroRsImageToBMP(f.get(), &bad, 0, 0, 0, pal), KRO_ERR_FORMAT);
    EXPECT_FAILS_WITH(KroRsImageToBMP(f.get(), &im.im, 1, 0, 0, pal), KRO_ERR_BMP_OPTIONS);
    EXPECT_FAILS_WITH(KroRsImageToBMP(f.get(), &im.im, 0, 0, 4, pal), KRO_ERR_PHOTOMETRIC);
    bad = im.im, bad.data = nullptr;
    EXPECT_FAILS_WITH(KroRsImageToBMP(f.get(), &bad, 0, 0, 0, pal), KRO_ERR_NULL);
    EXPECT_TRUE(f.contents().empty());  // nothing written by a refused call
}

TEST(BmpWrite, NarrowValidWidthGivesAConsistentFile) {
    // An 8-bit record stored 8 wide whose picture is 5 wide: the file says 5
    // and its rows are padded for 5, so any reader sees the same picture.
    kt::Image im(8, 3, 8);
    im.im.validWidth = 5;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 8; ++x) im.row(y)[x] = uint8_t(10 * y + x);
    Bytes b = writeBmp(im.im, 1);
    EXPECT_EQ(le32(b, 18), 5u);
    EXPECT_EQ(b.size(), 1078u + 3 * 8);
    Read r(b);
    ASSERT_EQ(r.rc, 0);
    EXPECT_TRUE(kt::samePixels(r.im, im.im, 5, 3));
}

TEST(BmpWrite, StatusUntouchedOnSuccess) {
    kt::Image im(2, 2, 24);
    fndErrorStatus = 12345;
    unsigned char pal[768];
    kt::TempFile f;
    EXPECT_EQ(KroRsImageToBMP(f.get(), &im.im, 0, 0, 2, pal), 0);
    EXPECT_EQ(fndErrorStatus, 12345);
    std::rewind(f.get());
    Read r(f.get());
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(fndErrorStatus, 12345);
}

TEST(BmpBadFiles, EachGivesItsCode) {
    std::ifstream list(std::string(KRO_TEST_DATA) + "/bad/README.md");
    std::string line;
    int checked = 0;
    while (std::getline(list, line)) {
        if (line.rfind("- bmp-", 0) != 0) continue;
        std::istringstream fields(line.substr(2));
        std::string name;
        long code = -1;
        std::getline(fields, name, ':');
        fields >> code;
        SCOPED_TRACE(name);
        Bytes bytes = kt::readFile(std::string(KRO_TEST_DATA) + "/bad/" + name);
        fndErrorStatus = 0;
        Read r(bytes);
        if (code == 0) {
            EXPECT_EQ(r.rc, 0) << fndErrorStatus;
        } else {
            EXPECT_EQ(r.rc, -1);
            EXPECT_EQ(fndErrorStatus, code);
            EXPECT_EQ(r.im.data, nullptr);
        }
        ++checked;
    }
    EXPECT_GE(checked, 20);
}
