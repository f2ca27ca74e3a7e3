// The readers of the BMP and PCX layouts that other programs write, and the
// names of the variants: pixels of every layout, the limits of the run codes,
// data cut short and files they refuse.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

#include "test_util.h"

namespace {

using kt::Bytes;

// GCC 12 warns of vector::insert falsely here.
Bytes operator+(Bytes a, const Bytes& b) {
    for (unsigned char c : b) a.push_back(c);
    return a;
}

void put(Bytes* b, size_t at, uint32_t v, int n) {
    for (int i = 0; i < n; ++i) (*b)[at + size_t(i)] = uint8_t(v >> (8 * i));
}

// A BMP file with a Windows info header of infoSize bytes (or the OS/2 one of
// 12), then table (colours, or bit-field masks) and pixels.
Bytes bmp(int32_t width, int32_t height, int bits, uint32_t compression, const Bytes& pixels,
          const Bytes& table = {}, uint32_t infoSize = 40) {
    Bytes b(14 + infoSize);
    b[0] = 'B', b[1] = 'M';
    put(&b, 10, uint32_t(b.size() + table.size()), 4);
    put(&b, 14, infoSize, 4);
    if (infoSize == 12) {
        put(&b, 18, uint32_t(width), 2), put(&b, 20, uint32_t(height), 2);
        put(&b, 22, 1, 2), put(&b, 24, uint32_t(bits), 2);
    } else {
        put(&b, 18, uint32_t(width), 4), put(&b, 22, uint32_t(height), 4);
        put(&b, 26, 1, 2), put(&b, 28, uint32_t(bits), 2), put(&b, 30, compression, 4);
        put(&b, 38, 11811, 4), put(&b, 42, 3780, 4);
    }
    return b + table + pixels;
}

// A colour table of n entries, entry i = (i, 2i, 3i) mod 256, blue first.
Bytes colours(int n, int entryBytes = 4) {
    Bytes t;
    for (int i = 0; i < n; ++i)
        t = t + Bytes{uint8_t(3 * i), uint8_t(2 * i), uint8_t(i)} + Bytes(size_t(entryBytes - 3));
    return t;
}

// A PCX header, then the coded bytes.
Bytes pcx(int width, int height, int bits, int planes, int lineBytes, const Bytes& coded,
          int version = 5) {
    Bytes b(128);
    b[0] = 10, b[1] = uint8_t(version), b[2] = 1, b[3] = uint8_t(bits), b[65] = uint8_t(planes);
    put(&b, 8, uint32_t(width - 1), 2), put(&b, 10, uint32_t(height - 1), 2);
    put(&b, 12, 0xFFFF, 2), put(&b, 14, 72, 2);
    for (int i = 0; i < 48; ++i) b[16 + size_t(i)] = uint8_t(7 * i);
    put(&b, 66, uint32_t(lineBytes), 2);
    return b + coded;
}

// Bytes coded one at a time, each after a count of 1.
Bytes countedOnes(const Bytes& bytes) {
    Bytes c;
    for (unsigned char v : bytes) c = c + Bytes{0xC1, v};
    return c;
}

// n pixels of index x mod period, then last ones.
Bytes indices(int n, int period, const Bytes& last = {}) {
    Bytes b;
    for (int x = 0; x < n; ++x) b.push_back(uint8_t(x % period));
    return b + last;
}

// Read by the reader of the file's format.
struct Read : kt::Decoded {
    explicit Read(const Bytes& b) {
        kt::TempFile f(b);
        const bool isPcx = !b.empty() && b[0] == 10;
        rc = (isPcx ? KroPCXVariantToRsImage : KroBMPVariantToRsImage)(f.get(), &im, &photometric,
                                                                       res, pal);
    }
};

using Rgb = std::array<int, 3>;
Rgb entry(const kt::Decoded& d, int i) {
    return {d.pal[i], d.pal[256 + i], d.pal[512 + i]};
}

}  // namespace

TEST(Variants, PixelsOfEveryLayout) {
    // Rows top first; 24-bit pixels red first.
    const Bytes top = {1, 2, 3, 4, 5}, twoRows = top + Bytes{6, 7, 8, 9, 10};
    const Bytes alphaMasks = {0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0, 0, 0, 0, 0xFF};
    // clang-format off
    const struct { const char* name; Bytes file; int32_t depth; Bytes want; } cases[] = {
        {"BMP 4-bit", bmp(5, 2, 4, 0, {0x67, 0x89, 0xA0, 0, 0x12, 0x34, 0x50, 0}), 8, twoRows},
        {"BMP 4-bit top-down", bmp(5, -2, 4, 0, {0x12, 0x34, 0x50, 0, 0x67, 0x89, 0xA0, 0}), 8,
         twoRows},
        {"BMP 8-bit top-down", bmp(5, -2, 8, 0, top + Bytes(3) + Bytes{6, 7, 8, 9, 10, 0, 0, 0}),
         8, twoRows},
        {"BMP 24-bit top-down", bmp(1, -2, 24, 0, {1, 2, 3, 0, 4, 5, 6, 0}), 24,
         {3, 2, 1, 6, 5, 4}},
        {"OS/2 24-bit", bmp(1, 2, 24, 0, {4, 5, 6, 0, 1, 2, 3, 0}, {}, 12), 24, {3, 2, 1, 6, 5, 4}},
        {"OS/2 2.x 8-bit", bmp(1, 2, 8, 0, {6, 0, 0, 0, 1, 0, 0, 0}, colours(256), 64), 8, {1, 6}},
        // The bits past a 13-pixel picture are set, as the plain reader sets them.
        {"BMP 1-bit top-down", bmp(13, -1, 1, 0, {0x81, 0x80, 0, 0}), 1, {0x81, 0x87}},
        {"BMP 16-bit 5-5-5", bmp(2, 1, 16, 0, {0x00, 0x7C, 0x1F, 0x00}), 24,
         {255, 0, 0, 0, 0, 255}},
        {"BMP 5-6-5 fields", bmp(2, 1, 16, 3, {0xE0, 0x07, 0x10, 0x84},
                                 {0, 0xF8, 0, 0, 0xE0, 7, 0, 0, 0x1F, 0, 0, 0}),
         24, {0, 255, 0, 132, 130, 132}},
        {"BMP 32-bit", bmp(1, 1, 32, 0, {3, 2, 1, 9}), 24, {1, 2, 3}},
        // Blue, green, red, alpha: red opaque, red transparent, black at half.
        {"BMP alpha on white",
         bmp(3, 1, 32, 6, {0, 0, 255, 255, 0, 0, 255, 0, 0, 0, 0, 128}, alphaMasks), 24,
         {255, 0, 0, 255, 255, 255, 127, 127, 127}},
        {"BMP alpha of zeros", bmp(1, 1, 32, 6, {0, 0, 255, 0}, alphaMasks), 24, {255, 0, 0}},
        {"RLE8 run of 255", bmp(256, 1, 8, 1, {255, 7, 1, 9, 0, 1}), 8, Bytes(255, 7) + Bytes{9}},
        // RLE4 runs alternate their nibbles, high first.
        {"RLE4 run of 255", bmp(256, 1, 4, 2, {255, 0x01, 1, 0x30, 0, 1}), 8, indices(255, 2, {3})},
        {"RLE4 odd absolute run", bmp(7, 1, 4, 2, {0, 5, 0x01, 0x23, 0x40, 0, 2, 0x56, 0, 1}), 8,
         indices(7, 7)},
        {"RLE8 end of line, move",
         bmp(3, 3, 8, 1, {0, 3, 4, 5, 6, 0, 0, 0, 0, 2, 2, 1, 1, 8, 0, 1}), 8,
         {0, 0, 8, 0, 0, 0, 4, 5, 6}},
        // Eight pixels; plane p holds bit p of the index.
        {"PCX 2 planes", pcx(8, 1, 1, 2, 1, countedOnes({0x55, 0x33})), 8, indices(8, 4)},
        {"PCX 3 planes", pcx(8, 1, 1, 3, 1, countedOnes({0x55, 0x33, 0x0F})), 8, indices(8, 8)},
        {"PCX 4 planes", pcx(8, 1, 1, 4, 1, countedOnes({0x55, 0x33, 0x0F, 0})), 8, indices(8, 8)},
        {"PCX 2 bits", pcx(8, 1, 2, 1, 2, countedOnes({0x1B, 0x1B})), 8, indices(8, 4)},
        {"PCX 4 bits", pcx(8, 1, 4, 1, 4, countedOnes({0x01, 0x23, 0x45, 0x67})), 8, indices(8, 8)},
        // Two runs of 63 fill the two planes: a count that stood for 64 would
        // shift the second.
        {"PCX runs of 63", pcx(504, 1, 1, 2, 63, {0xFF, 0x55, 0xFF, 0x00}), 8, indices(504, 2)},
        {"PCX run across lines", pcx(8, 2, 1, 2, 1, {0xC4, 0xFF}), 8, Bytes(16, 3)},
        // Red, green, blue, alpha planes: red opaque, blue transparent.
        {"PCX alpha on white", pcx(2, 1, 8, 4, 2, countedOnes({255, 0, 0, 0, 0, 255, 255, 0})), 24,
         {255, 0, 0, 255, 255, 255}},
        {"PCX alpha of zeros", pcx(2, 1, 8, 4, 2, countedOnes({255, 0, 0, 0, 0, 255, 0, 0})), 24,
         {255, 0, 0, 0, 0, 255}},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fndErrorStatus = 0;
        Read r(c.file);
        ASSERT_EQ(r.rc, 0) << fndErrorStatus;
        EXPECT_EQ(r.im.depth, c.depth);
        EXPECT_EQ(r.pixels(), c.want);
    }
}

TEST(Variants, PalettesAndResolutions) {
    Read rle(bmp(2, 1, 8, 1, {2, 1, 0, 1}, colours(3)));
    ASSERT_EQ(rle.rc, 0);
    EXPECT_EQ(rle.photometric, KRO_PHOTO_PALETTE);
    EXPECT_EQ(entry(rle, 2), (Rgb{2, 4, 6}));
    EXPECT_EQ(entry(rle, 3), (Rgb{0, 0, 0})) << "entries past the table are cleared";
    EXPECT_EQ(rle.res[0], 300);
    EXPECT_EQ(rle.res[1], 96);
    Read os2(bmp(1, 1, 4, 0, {0x10, 0, 0, 0}, colours(16, 3), 12));
    ASSERT_EQ(os2.rc, 0);
    EXPECT_EQ(entry(os2, 1), (Rgb{1, 2, 3})) << "colours of 3 bytes";
    EXPECT_EQ(os2.res[0], 0) << "the OS/2 1.x header states no resolution";
    Read v5(pcx(8, 1, 1, 2, 1, countedOnes({0, 0})));
    ASSERT_EQ(v5.rc, 0);
    EXPECT_EQ(entry(v5, 1), (Rgb{21, 28, 35})) << "the header's colours";
    EXPECT_EQ(entry(v5, 16), (Rgb{0, 0, 0}));
    EXPECT_EQ(v5.res[0], -1) << "signed";
    EXPECT_EQ(v5.res[1], 72);
    Read v3(pcx(8, 1, 1, 2, 1, countedOnes({0, 0}), 3));
    ASSERT_EQ(v3.rc, 0);
    EXPECT_EQ(entry(v3, 5), (Rgb{170, 0, 170})) << "the standard colours";
}

TEST(Variants, RefusedAndCutShort) {
    Bytes bigEndian = bmp(4, 1, 16, 0, {});
    bigEndian[0] = 'M', bigEndian[1] = 'B';
    Bytes pastEnd = bmp(1, 1, 16, 0, {0, 0, 0, 0});
    put(&pastEnd, 10, 1000, 4);
    // clang-format off
    const struct { const char* name; Bytes file; int32_t code; } cases[] = {
        {"BMP header cut", Bytes{'B', 'M', 0, 0, 0, 0, 0, 0}, KRO_ERR_IO},
        {"BMP rows cut", bmp(4, -3, 24, 0, Bytes(30)), KRO_ERR_IO},
        {"BMP masks cut", bmp(1, 1, 16, 3, Bytes(4), Bytes(4)), KRO_ERR_IO},
        {"RLE without its end", bmp(4, 2, 8, 1, {4, 1, 0, 0}), KRO_ERR_IO},
        {"RLE absolute run cut", bmp(4, 1, 8, 1, {0, 4, 1, 2}), KRO_ERR_IO},
        {"RLE too short for its picture", bmp(32768, 32768, 8, 1, {0, 1}), KRO_ERR_IO},
        {"BMP big-endian", bigEndian, KRO_ERR_BMP_HEADER},
        {"BMP pixels past the end", pastEnd, KRO_ERR_BMP_HEADER},
        {"BMP 2-bit", bmp(4, 1, 2, 0, {0, 0, 0, 0}), KRO_ERR_DEPTH},
        {"BMP holding a JPEG", bmp(4, 1, 24, 4, Bytes(16)), KRO_ERR_BMP_COMPRESSION},
        {"OS/2 Huffman", bmp(8, 1, 1, 3, Bytes(4), colours(2), 64), KRO_ERR_BMP_COMPRESSION},
        {"BMP of no rows", bmp(4, 0, 4, 0, {}), KRO_ERR_SIZE},
        {"PCX header cut", Bytes(100, 10), KRO_ERR_IO},
        {"PCX data cut", pcx(8, 4, 1, 4, 1, {0xC8, 1}), KRO_ERR_IO},
        {"PCX count without its byte", pcx(2, 1, 4, 1, 1, {0xC1}), KRO_ERR_IO},
        {"PCX too short for its picture", pcx(32767, 32767, 1, 4, 4096, {0xFF, 0}), KRO_ERR_IO},
        {"PCX plain 8-bit", pcx(8, 1, 8, 1, 8, Bytes(8)), KRO_ERR_PCX_PLANES},
        {"PCX 5 planes", pcx(8, 1, 1, 5, 1, Bytes(5)), KRO_ERR_PCX_PLANES},
        {"PCX 3 bits", pcx(8, 1, 3, 1, 3, Bytes(3)), KRO_ERR_DEPTH},
        {"PCX lines too short", pcx(40, 1, 1, 2, 2, Bytes(4)), KRO_ERR_PCX_HEADER},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fndErrorStatus = 0;
        Read r(c.file);
        EXPECT_EQ(r.rc, -1);
        EXPECT_EQ(fndErrorStatus, c.code);
        EXPECT_EQ(r.im.data, nullptr);
    }
}

TEST(Variants, NamesFromTheHeader) {
    Bytes bigEndian16 = bmp(4, 1, 16, 0, Bytes(8));
    bigEndian16[0] = 'M', bigEndian16[1] = 'B';
    std::swap(bigEndian16[14], bigEndian16[17]);  // the info size, 40
    std::swap(bigEndian16[28], bigEndian16[29]);  // the bits
    // clang-format off
    const struct { const char* name; Bytes file; const char* want; } cases[] = {
        {"RLE8", bmp(4, 1, 8, 1, Bytes(4)), "RLE8-compressed BMP"},
        {"RLE4: its depth first", bmp(4, 1, 4, 2, Bytes(4)), "4-bit BMP"},
        {"top-down", bmp(4, -1, 8, 0, Bytes(4)), "top-down BMP (negative height)"},
        {"OS/2", bmp(4, 1, 24, 0, Bytes(32), {}, 12), "OS/2 BMP"},
        {"big-endian 16-bit", bigEndian16, "16-bit BMP"},
        {"plain BMP", bmp(4, 1, 8, 0, Bytes(4)), ""},
        {"planar PCX", pcx(8, 1, 1, 4, 1, {}), "4-plane 1-bit PCX"},
        {"plain PCX", pcx(8, 1, 8, 3, 8, {}), ""},
        {"CMYK JPEG", kt::readFile(std::string(KRO_TEST_DATA) + "/bad/jpeg-cmyk.jpg"), "CMYK JPEG"},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        kt::TempFile f(c.file);
        char name[64];
        EXPECT_EQ(KroDescribeVariant(f.get(), name, sizeof name), int32_t(std::strlen(c.want)));
        EXPECT_STREQ(name, c.want);
    }
    kt::TempFile f(bmp(4, 1, 8, 1, {}));
    char shortName[5];
    EXPECT_EQ(KroDescribeVariant(f.get(), shortName, sizeof shortName), 19);
    EXPECT_STREQ(shortName, "RLE8");
    EXPECT_FAILS_WITH(KroDescribeVariant(f.get(), nullptr, 8), KRO_ERR_NULL);
}
