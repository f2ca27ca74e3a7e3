// BMP reading and writing: round trips, header fields, odd files, bad files.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "test_util.h"

namespace {

using kt::Bytes;

using Read = kt::ReadWith<KroBMPToRsImage>;

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
void put32(Bytes* b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) (*b)[at + size_t(i)] = uint8_t(v >> (8 * i));
}

// A minimal file: header fields as given, then table and rows verbatim.
Bytes makeBmp(int32_t width, int32_t height, int bpp, uint32_t colours, const Bytes& table,
              const Bytes& rows, uint32_t ppm = 0) {
    Bytes b(54);
    auto put = [&](size_t at, uint32_t v, int n) {
        for (int i = 0; i < n; ++i) b[at + i] = uint8_t(v >> (8 * i));
    };
    const uint32_t fields[][3] = {{0, 0x4D42, 2}, {10, uint32_t(54 + table.size()), 4},
                                  {14, 40, 4},    {18, uint32_t(width), 4},
                                  {22, uint32_t(height), 4}, {26, 1, 2},
                                  {28, uint32_t(bpp), 2},    {38, ppm, 4},
                                  {42, ppm, 4},   {46, colours, 4}};
    for (const auto& f : fields) put(f[0], f[1], int(f[2]));
    for (unsigned char c : table) b.push_back(c);
    for (unsigned char c : rows) b.push_back(c);
    return b;
}

Bytes grayTable(int n, bool whiteFirst) {
    Bytes t;
    for (int i = 0; i < n; ++i) {
        const auto v = uint8_t(whiteFirst ? 255 - i : i);
        for (uint8_t c : {v, v, v, uint8_t(0)}) t.push_back(c);
    }
    return t;
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
    fndErrorStatus = 12345;
    Bytes file = writeBmp(src.im, c.photometric, 300);
    Read r(file);
    ASSERT_EQ(r.rc, 0);
    // A file's rows are read through a mapping; a stream in memory cannot be
    // mapped and is read in batches: the same picture either way.
    kt::Decoded m;
    FILE* memory = fmemopen(file.data(), file.size(), "rb");
    ASSERT_NE(memory, nullptr);
    m.rc = KroBMPToRsImage(memory, &m.im, &m.photometric, m.res, m.pal);
    std::fclose(memory);
    ASSERT_EQ(m.rc, 0);
    EXPECT_EQ(m.pixels(), r.pixels());
    EXPECT_EQ(fndErrorStatus, 12345) << "success leaves the status alone";
    EXPECT_EQ(r.im.width, src.im.width);
    EXPECT_EQ(r.im.validWidth, c.width);
    EXPECT_EQ(r.im.validHeight, c.height);
    EXPECT_EQ(r.im.depth, c.depth);
    EXPECT_EQ(r.im.size, src.im.size);
    EXPECT_TRUE(kt::samePixels(r.im, src.im, c.width, c.height));
    EXPECT_EQ(r.res[0], 300);  // stored as 11811 pixels per metre
    EXPECT_EQ(r.res[1], 300);
    // Bilevel pictures are always written with the table white, black.
    EXPECT_EQ(r.photometric, c.depth == 1 ? KRO_PHOTO_WHITE_IS_ZERO : c.photometric);
}

const RoundTripCase kShapes[] = {{1, 1, 1, 0},  {13, 9, 1, 1},  {33, 17, 1, 0},
                                 {1, 1, 8, 1},  {13, 9, 8, 0},  {33, 17, 8, 1},
                                 {1, 1, 24, 2}, {13, 9, 24, 2}, {33, 17, 24, 2}};
INSTANTIATE_TEST_SUITE_P(Shapes, BmpRoundTrip, ::testing::ValuesIn(kShapes));

TEST(BmpRead, BilevelPaddingBitsReadAsOnes) {
    // 13 pixels wide: two bytes of pixels, two of padding; the file holds zeros.
    Read r(makeBmp(13, 2, 1, 0, {255, 255, 255, 0, 0, 0, 0, 0},
                   {0x12, 0x00, 0, 0, 0x34, 0x00, 0, 0}));
    ASSERT_EQ(r.rc, 0);
    EXPECT_EQ(r.im.width, 16);
    EXPECT_EQ(r.im.size, 4);
    // Bottom-up: the first file row is the last picture row.
    EXPECT_EQ(Bytes(r.im.data, r.im.data + 4), (Bytes{0x34, 0x07, 0x12, 0x07}));
}

TEST(BmpRead, ColourTableCountAndPhotometric) {
    // Colours used 16 reads 16 entries and leaves the rest zero.
    Read sixteen(makeBmp(1, 1, 8, 16, grayTable(16, false), Bytes(4, 0)));
    ASSERT_EQ(sixteen.rc, 0);
    EXPECT_EQ(sixteen.pal[15], 15);
    EXPECT_EQ(sixteen.pal[16], 0);
    EXPECT_EQ(sixteen.pal[256 + 200], 0);
    EXPECT_EQ(sixteen.photometric, KRO_PHOTO_BLACK_IS_ZERO);
    // Colours used 0 means 256; one non-gray entry makes a palette picture.
    Bytes table = grayTable(256, true);
    Read gray(makeBmp(1, 1, 8, 0, table, Bytes(4, 0)));
    EXPECT_EQ(gray.photometric, KRO_PHOTO_WHITE_IS_ZERO);
    table[4 * 200] = 11;  // blue of entry 200
    Read colour(makeBmp(1, 1, 8, 0, table, Bytes(4, 0)));
    EXPECT_EQ(colour.photometric, KRO_PHOTO_PALETTE);
    EXPECT_EQ(colour.pal[512 + 200], 11);
}

TEST(BmpResolution, ReadBothConventionsWriteTheStandardOne) {
    // Multiples of 39 come from older writers (dpi * 39), unless the standard
    // rule writes that value for a whole dpi (4134 for 105); any other value is
    // pixels per metre.
    const int32_t reads[][2] = {{11811, 300}, {11700, 300}, {3780, 96},  {2835, 72}, {3761, 96},
                                {23622, 600}, {0, 0},       {2925, 75},  {4134, 105},
                                {-3780, 0},   {INT32_MIN, 0}, {INT32_MAX, 54546084}};
    for (const auto& c : reads) {
        Read r(makeBmp(1, 1, 24, 0, {}, Bytes(4, 0), uint32_t(c[0])));
        EXPECT_EQ(r.res[0], c[1]) << c[0];
        EXPECT_EQ(r.res[1], c[1]) << c[0];
    }
    kt::Image im(1, 1, 24);
    const int32_t writes[][2] = {
        {300, 11811}, {96, 3780}, {72, 2835}, {0, 0}, {54546084, 2147483622}};
    for (const auto& c : writes) {
        const Bytes b = writeBmp(im.im, 2, c[0]);
        EXPECT_EQ(le32(b, 38), uint32_t(c[1])) << c[0];
        EXPECT_EQ(le32(b, 42), uint32_t(c[1])) << c[0];
    }
    // The usual resolutions come back as they were written.
    for (int32_t dpi : {50, 72, 96, 100, 105, 150, 200, 210, 240, 254, 300, 360, 400, 600, 720,
                        1200, 2400, 4800, 9600}) {
        Read r(writeBmp(im.im, 2, dpi));
        EXPECT_EQ(r.res[0], dpi);
    }
    // Too large for the 32-bit field: refused before anything is written.
    unsigned char pal[768] = {};
    for (int32_t dpi : {54546085, 99999999, INT32_MAX, INT32_MIN}) {
        kt::TempFile f;
        EXPECT_FAILS_WITH(KroRsImageToBMP(f.get(), &im.im, 0, dpi, 2, pal), KRO_ERR_RESOLUTION);
        EXPECT_TRUE(f.contents().empty()) << dpi;
    }
}

// The same 8-bit file with its info header grown by n bytes reads the same:
// 68 and 84 make the 108- and 124-byte headers of ImageMagick's files, whose
// conversion cli_test.sh compares pixel for pixel with netpbm's reading.
TEST(BmpRead, ColourTableFollowsTheInfoHeaderOfAnySize) {
    kt::Image src(5, 3, 8);
    kt::drawF(&src);
    unsigned char pal[768];
    for (int i = 0; i < 256; ++i)
        pal[i] = uint8_t(i), pal[256 + i] = uint8_t(i / 2), pal[512 + i] = 7;
    const Bytes plain = writeBmp(src.im, KRO_PHOTO_PALETTE, 72, pal);
    Read base(plain);
    ASSERT_EQ(base.rc, 0);
    for (uint32_t extra : {0u, 1u, 68u, 84u, 1000u}) {
        Bytes b = plain;
        b.insert(b.begin() + 54, extra, 0xEE);
        put32(&b, 14, 40 + extra);
        put32(&b, 10, le32(plain, 10) + extra);
        Read r(b);
        ASSERT_EQ(r.rc, 0) << extra;
        EXPECT_EQ(Bytes(r.pal, r.pal + 768), Bytes(base.pal, base.pal + 768)) << extra;
        EXPECT_TRUE(kt::samePixels(r.im, base.im, 5, 3)) << extra;
    }
}

TEST(BmpRead, BigEndianTwinReadsTheSame) {
    kt::Image src(13, 5, 24);
    kt::drawF(&src);
    Bytes little = writeBmp(src.im, 2), big = little;
    big[0] = 'M', big[1] = 'B';
    size_t at = 2;
    for (int n : {4, 2, 2, 4, 4, 4, 4, 2, 2, 4, 4, 4, 4, 4, 4}) {
        std::reverse(big.begin() + long(at), big.begin() + long(at + size_t(n)));
        at += size_t(n);
    }
    Read a(little), b(big);
    ASSERT_EQ(b.rc, 0);
    EXPECT_EQ(b.im.validWidth, 13);
    EXPECT_TRUE(kt::samePixels(a.im, b.im, 13, 5));
}

TEST(BmpWrite, HeaderLayoutByPhotometric) {
    kt::Image rgb(3, 2, 24);
    Bytes gray = writeBmp(rgb.im, 0, 300);
    EXPECT_EQ(le32(gray, 10), 1078u);  // 24-bit pixels, but a 256-entry gray table
    EXPECT_EQ(le32(gray, 38), 11811u);
    EXPECT_EQ(gray[54], 255);  // entry 0 of a white-is-zero table is white
    EXPECT_EQ(gray.size(), 1078u + 2 * 12);
    Bytes direct = writeBmp(rgb.im, 2);
    EXPECT_EQ(le32(direct, 10), 54u);
    EXPECT_EQ(le32(direct, 2), 54u + 2 * 12);

    kt::Image bits(13, 1, 1);
    bits.im.data[0] = 0xA5;
    unsigned char pal[768];
    std::memset(pal, 7, sizeof pal);
    Bytes one = writeBmp(bits.im, 1, 72, pal);
    EXPECT_EQ(le32(one, 46), 2u);
    EXPECT_EQ(Bytes(one.begin() + 54, one.begin() + 62), (Bytes{255, 255, 255, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Bytes(pal, pal + 3), (Bytes{255, 0, 0}));  // the caller's palette gets the table
    EXPECT_EQ(one[62], 0xA5);  // bits written unchanged
}

TEST(BmpWrite, ArgumentChecksInOrderWriteNothing) {
    kt::Image im(4, 4, 8);
    unsigned char pal[768] = {};
    kt::TempFile f;
    RsImage noData = im.im, tiny = im.im, deep = im.im, coded = im.im;
    noData.data = nullptr;
    tiny.width = 0;
    tiny.depth = 7;  // the size check comes first
    deep.depth = 16;
    coded.format = KRO_FORMAT_G4;
    EXPECT_FAILS_WITH(KroRsImageToBMP(nullptr, &im.im, 0, 0, 0, pal), KRO_ERR_NULL);
    EXPECT_FAILS_WITH(KroRsImageToBMP(f.get(), nullptr, 0, 0, 0, pal), KRO_ERR_NULL);
    EXPECT_FAILS_WITH(KroRsImageToBMP(f.get(), &noData, 0, 0, 0, pal), KRO_ERR_NULL);
    EXPECT_FAILS_WITH(KroRsImageToBMP(f.get(), &im.im, 0, 0, 0, nullptr), KRO_ERR_NULL);
    EXPECT_FAILS_WITH(KroRsImageToBMP(f.get(), &tiny, 0, 0, 0, pal), KRO_ERR_SIZE);
    EXPECT_FAILS_WITH(KroRsImageToBMP(f.get(), &deep, 0, 0, 0, pal), KRO_ERR_DEPTH);
    EXPECT_FAILS_WITH(KroRsImageToBMP(f.get(), &coded, 0, 0, 0, pal), KRO_ERR_FORMAT);
    EXPECT_FAILS_WITH(KroRsImageToBMP(f.get(), &im.im, 1, 0, 0, pal), KRO_ERR_BMP_OPTIONS);
    EXPECT_FAILS_WITH(KroRsImageToBMP(f.get(), &im.im, 0, 0, 4, pal), KRO_ERR_PHOTOMETRIC);
    EXPECT_TRUE(f.contents().empty());

    int32_t photometric = 5, res[2];
    RsImage out{};
    EXPECT_FAILS_WITH(KroBMPToRsImage(nullptr, &out, &photometric, res, pal), KRO_ERR_NULL);
    EXPECT_EQ(photometric, 0);  // cleared before any check
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

TEST(BmpBadFiles, EachGivesItsCode) {
    EXPECT_GE(kt::expectBadSamplesGiveTheirCodes<Read>("bmp-"), 20U);
}
