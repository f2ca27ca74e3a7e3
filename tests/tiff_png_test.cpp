// TIFF and PNG: round trips at every depth and compression, pages, the
// Orientation tag, layouts read through the RGBA path, the Group 4 copy
// between CALS and TIFF, interop with libtiff's tools, netpbm, GraphicsMagick
// and ImageMagick, and the malformed samples.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstring>

#include "test_util.h"

namespace {

using kt::Bytes;

struct TiffRead : kt::Decoded {
    TiffRead(FILE* f, int32_t page) { rc = KroTIFFToRsImage(f, page, &im, &photometric, res, pal); }
    explicit TiffRead(const Bytes& b, int32_t page = 0) : TiffRead(kt::TempFile(b).get(), page) {}
};
struct PngRead : kt::ReadWith<KroPNGToRsImage> {
    using ReadWith::ReadWith;
};

// The Windows build has no PNG codec, and its libtiff no Deflate.
bool pngBuilt() {
    kt::TempFile empty;
    RsImage im{};
    int32_t photometric, res[2];
    unsigned char pal[768];
    return KroPNGToRsImage(empty.get(), &im, &photometric, res, pal) == 0 ||
           fndErrorStatus != KRO_ERR_UNAVAILABLE;
}
#define KRO_SKIP_WITHOUT_PNG() \
    if (!pngBuilt()) GTEST_SKIP() << "this build has no PNG codec"

// Names of the running test's own, so that tests run side by side do not share files.
std::string tempPath(const std::string& name) {
    const auto* test = testing::UnitTest::GetInstance()->current_test_info();
    return testing::TempDir() + "kro-tiffpng-" + (test ? test->name() : "") + "-" + name;
}

// A gray palette that is not a ramp, so that palette pictures keep their colours apart.
void fillPalette(unsigned char* pal) {
    for (int i = 0; i < 256; ++i)
        pal[i] = uint8_t(i), pal[256 + i] = uint8_t(255 - i), pal[512 + i] = uint8_t(i * 7);
}

struct Case {
    int32_t depth, photometric, compression;
};

TEST(TiffCodec, RoundTripsEveryDepthAndCompression) {
    const Case cases[] = {
        {1, 0, KRO_COMPRESSION_G4},       {1, 0, KRO_COMPRESSION_G3},
        {1, 1, KRO_COMPRESSION_NO},       {1, 0, KRO_COMPRESSION_PACKBITS},
        {8, 1, KRO_COMPRESSION_LZW},      {8, 0, KRO_COMPRESSION_DEFLATE},
        {8, 3, KRO_COMPRESSION_PACKBITS}, {8, 3, KRO_COMPRESSION_LZW},
        {24, 2, KRO_COMPRESSION_NO},      {24, 2, KRO_COMPRESSION_LZW},
        {24, 2, KRO_COMPRESSION_DEFLATE}, {24, 2, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.depth) + "/" + std::to_string(c.photometric) + "/" +
                     std::to_string(c.compression));
        if (c.compression == KRO_COMPRESSION_DEFLATE &&
            !TIFFIsCODECConfigured(COMPRESSION_ADOBE_DEFLATE))
            continue;
        kt::Image im(61, 37, c.depth);
        kt::drawF(&im);
        unsigned char pal[768];
        fillPalette(pal);
        const int32_t res[2] = {300, 150};
        kt::TempFile f;
        ASSERT_EQ(KroRsImageToTIFF(f.get(), &im.im, c.photometric, pal, res, c.compression), 0);
        TiffRead r(f.contents());
        ASSERT_EQ(r.rc, 0);
        EXPECT_EQ(r.im.depth, c.depth);
        EXPECT_EQ(r.photometric, c.photometric);
        EXPECT_EQ(r.im.validWidth, 61);
        EXPECT_EQ(r.im.validHeight, 37);
        EXPECT_EQ(r.res[0], 300);
        EXPECT_EQ(r.res[1], 150);
        EXPECT_TRUE(kt::samePixels(r.im, im.im, 61, 37));
        if (c.photometric == 3) {
            EXPECT_EQ(std::memcmp(r.pal, pal, 768), 0);
        }
    }
}

TEST(TiffCodec, WriterRefusesWhatItCannotStore) {
    kt::Image gray(8, 2, 8), bilevel(8, 2, 1);
    const int32_t res[2] = {-1, -1};
    kt::TempFile f;
    EXPECT_FAILS_WITH(KroRsImageToTIFF(f.get(), &gray.im, 1, nullptr, res, KRO_COMPRESSION_G4),
                      KRO_ERR_TIFF_COMPRESSION);
    // JPEG codes samples: not bits, nor palette indices.
    EXPECT_FAILS_WITH(
        KroRsImageToTIFF(f.get(), &bilevel.im, 1, nullptr, res, KRO_COMPRESSION_JPEG),
        KRO_ERR_TIFF_COMPRESSION);
    unsigned char pal[768] = {};
    EXPECT_FAILS_WITH(KroRsImageToTIFF(f.get(), &gray.im, 3, pal, res, KRO_COMPRESSION_JPEG),
                      KRO_ERR_TIFF_COMPRESSION);
    EXPECT_FAILS_WITH(KroRsImageToTIFF(f.get(), &gray.im, 1, nullptr, res, KRO_COMPRESSION_OJPEG),
                      KRO_ERR_TIFF_COMPRESSION);
    EXPECT_FAILS_WITH(KroRsImageToTIFF(f.get(), &bilevel.im, 2, nullptr, res, 0),
                      KRO_ERR_PHOTOMETRIC);
    EXPECT_FAILS_WITH(KroRsImageToTIFF(f.get(), &gray.im, 3, nullptr, res, 0), KRO_ERR_NULL);
    EXPECT_FAILS_WITH(KroRsImageToTIFF(nullptr, &gray.im, 1, nullptr, res, 0), KRO_ERR_NULL);
    EXPECT_TRUE(f.contents().empty()) << "nothing written before the checks pass";
}

// Pages are appended to the stream one call at a time and read back by number.
TEST(TiffCodec, PagesAppendAndReadByNumber) {
    kt::Image a(40, 20, 1), b(33, 21, 8), c(17, 30, 24);
    kt::drawF(&a), kt::drawF(&b), kt::drawF(&c);
    const int32_t res[2] = {200, 200};
    kt::TempFile f;
    ASSERT_EQ(KroRsImageToTIFF(f.get(), &a.im, 0, nullptr, res, 0), 0);
    ASSERT_EQ(KroRsImageToTIFF(f.get(), &b.im, 1, nullptr, res, 0), 0);
    ASSERT_EQ(KroRsImageToTIFF(f.get(), &c.im, 2, nullptr, res, 0), 0);
    const Bytes file = f.contents();
    kt::TempFile in(file);
    int32_t pages = 0, compression = 0;
    ASSERT_EQ(KroTIFFInfo(in.get(), 1, &pages, &compression), 0);
    EXPECT_EQ(pages, 3);
    EXPECT_EQ(compression, KRO_COMPRESSION_LZW);
    const kt::Image* originals[] = {&a, &b, &c};
    for (int32_t page = 0; page < 3; ++page) {
        TiffRead r(file, page);
        ASSERT_EQ(r.rc, 0) << page;
        EXPECT_TRUE(kt::samePixels(r.im, originals[page]->im, originals[page]->im.validWidth,
                                   originals[page]->im.validHeight))
            << page;
    }
    EXPECT_FAILS_WITH(TiffRead(file, 3).rc, KRO_ERR_TIFF_PAGE);
    EXPECT_FAILS_WITH(TiffRead(file, -1).rc, KRO_ERR_TIFF_PAGE);
    if (kt::haveTool("tiffinfo")) {
        kt::writeFile(tempPath("pages.tif"), file);
        EXPECT_EQ(kt::run("tiffinfo " + tempPath("pages.tif") + KRO_QUIET), 0);
    }
}

// Pages written by libtiff itself with the layouts other programs use.
Bytes libtiffPage(uint32_t w, uint32_t h, uint16_t bits, uint16_t samples, uint16_t photometric,
                  const std::vector<unsigned char>& pixels, uint16_t orientation = 1,
                  uint16_t extra = 0, uint16_t unit = RESUNIT_INCH, float res = 300) {
    const std::string path = tempPath("libtiff.tif");
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, w);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, h);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bits);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, photometric);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, orientation);
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, res);
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, res);
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, unit);
    if (extra) {
        uint16_t kind = EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &kind);
    }
    const size_t row = (size_t(w) * bits * samples + 7) / 8;
    for (uint32_t y = 0; y < h; ++y)
        TIFFWriteScanline(tif, const_cast<unsigned char*>(pixels.data()) + y * row, y, 0);
    TIFFClose(tif);
    return kt::readFile(path);
}

// Each Orientation value names where the stored rows and columns lie; the
// picture read must come out as ImageMagick's -auto-orient turns it.
TEST(TiffCodec, OrientationTurnsThePictureUpright) {
    if (!kt::haveTool("convert")) GTEST_SKIP() << "no ImageMagick convert";
    kt::Image im(13, 7, 8);
    kt::drawF(&im);
    const std::vector<unsigned char> stored(im.im.data, im.im.data + 13 * 7);
    for (uint16_t o = 1; o <= 8; ++o) {
        SCOPED_TRACE(o);
        const std::string tif = tempPath("orient.tif"), pgm = tempPath("orient.pgm");
        kt::writeFile(tif, libtiffPage(13, 7, 8, 1, PHOTOMETRIC_MINISBLACK, stored, o));
        ASSERT_EQ(kt::run("convert " + tif + " -auto-orient " + pgm), 0);
        TiffRead r(kt::readFile(tif));
        ASSERT_EQ(r.rc, 0);
        const Bytes want = kt::readFile(pgm);
        const Bytes got = kt::pnm(r.im);
        EXPECT_EQ(got, want);
        // A bilevel page turns the same way.
        std::vector<unsigned char> bits(2 * 7, 0);
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 13; ++x)
                if (stored[size_t(y * 13 + x)] < 128)
                    bits[size_t(y * 2 + x / 8)] |= uint8_t(0x80 >> (x % 8));
        TiffRead b(libtiffPage(13, 7, 1, 1, PHOTOMETRIC_MINISWHITE, bits, o));
        ASSERT_EQ(b.rc, 0);
        ASSERT_EQ(b.im.validWidth, r.im.validWidth);
        for (int y = 0; y < r.im.validHeight; ++y)
            for (int x = 0; x < r.im.validWidth; ++x)
                ASSERT_EQ(kt::pixel(b.im, x, y), kt::pixel(r.im, x, y) < 128 ? 1u : 0u);
    }
}

TEST(TiffCodec, OtherLayoutsAndUnits) {
    // Centimetres: 118.11 dots per cm is 300 dpi; no unit states nothing.
    std::vector<unsigned char> gray(8 * 2, 100);
    TiffRead cm(libtiffPage(8, 2, 8, 1, 1, gray, 1, 0, RESUNIT_CENTIMETER, 118.11f));
    ASSERT_EQ(cm.rc, 0);
    EXPECT_EQ(cm.res[0], 300);
    TiffRead none(libtiffPage(8, 2, 8, 1, 1, gray, 1, 0, RESUNIT_NONE, 1));
    EXPECT_EQ(none.res[0], -1);
    // 4-bit gray widens over 0 to 255.
    TiffRead four(libtiffPage(2, 1, 4, 1, PHOTOMETRIC_MINISBLACK, {0x0F}));
    ASSERT_EQ(four.rc, 0);
    EXPECT_EQ(four.im.depth, 8);
    EXPECT_EQ(four.im.data[0], 0);
    EXPECT_EQ(four.im.data[1], 255);
    // 16-bit RGB through the RGBA path keeps the high bytes.
    std::vector<unsigned char> deep = {0x00, 0x12, 0x00, 0x80, 0xFF, 0xFF};
    TiffRead rgb16(libtiffPage(1, 1, 16, 3, PHOTOMETRIC_RGB, deep));
    ASSERT_EQ(rgb16.rc, 0);
    EXPECT_EQ(rgb16.im.depth, 24);
    EXPECT_EQ(kt::pixel(rgb16.im, 0, 0), 0x1280FFu);
    // Unassociated alpha lies on white: half-transparent black is mid gray.
    TiffRead alpha(libtiffPage(1, 1, 8, 4, PHOTOMETRIC_RGB, {0, 0, 0, 128}, 1, 1));
    ASSERT_EQ(alpha.rc, 0);
    EXPECT_EQ(kt::pixel(alpha.im, 0, 0), 0x7F7F7Fu);
}

TEST(PngCodec, RoundTripsWithResolution) {
    KRO_SKIP_WITHOUT_PNG();
    const Case cases[] = {{1, 0, 0}, {1, 1, 0}, {8, 1, 0}, {8, 0, 0}, {8, 3, 0}, {24, 2, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.depth) + "/" + std::to_string(c.photometric));
        kt::Image im(61, 37, c.depth);
        kt::drawF(&im);
        unsigned char pal[768];
        fillPalette(pal);
        const int32_t res[2] = {300, 600};
        kt::TempFile f;
        ASSERT_EQ(KroRsImageToPNG(f.get(), &im.im, c.photometric, pal, res), 0);
        PngRead r(f.contents());
        ASSERT_EQ(r.rc, 0);
        EXPECT_EQ(r.res[0], 300);
        EXPECT_EQ(r.res[1], 600);
        EXPECT_EQ(r.im.depth, c.depth);
        // PNG gray keeps 0 black: pictures whose 0 is white come back inverted.
        const bool inverted = c.photometric == 0;
        EXPECT_EQ(r.photometric, c.depth == 24 ? 2 : c.photometric == 3 ? 3 : 1);
        for (int y = 0; y < 37; ++y)
            for (int x = 0; x < 61; ++x) {
                uint32_t want = kt::pixel(im.im, x, y);
                if (inverted) want = (c.depth == 1 ? 1 : 255) - want;
                ASSERT_EQ(kt::pixel(r.im, x, y), want) << x << "," << y;
            }
        for (int plane = 0; c.photometric == 3 && plane < 3;
             ++plane)  // up to the highest index used
            EXPECT_EQ(std::memcmp(r.pal + 256 * plane, pal + 256 * plane, 250), 0);
    }
}

// netpbm both ways, GraphicsMagick and ImageMagick for 16 bits and alpha.
// 16-bit RGB with alpha laid on white as pngtopnm -mix lays it (netpbm's
// plain pictures both ways are the shell test's).
TEST(PngCodec, SixteenBitsAndAlphaAsNetpbmMixesThem) {
    KRO_SKIP_WITHOUT_PNG();
    if (!kt::haveTool("pngtopnm") || !kt::haveTool("convert")) GTEST_SKIP() << "no netpbm/convert";
    const std::string pnm = tempPath("in.pnm"), png = tempPath("in.png"),
                      back = tempPath("back.pnm");
    kt::Image im(23, 11, 24);
    kt::drawF(&im);
    kt::writeFile(pnm, kt::pnm(im.im));
    ASSERT_EQ(kt::run("convert " + pnm +
                      " -depth 16 -alpha set -channel A -fx 'i/w' +channel PNG64:" + png),
              0);
    ASSERT_EQ(kt::run("pngtopnm -mix -background=white " + png + " | pamdepth 255 > " + back), 0);
    PngRead r(kt::readFile(png));
    ASSERT_EQ(r.rc, 0);
    const Bytes oracle = kt::readFile(back);
    const Bytes ours = kt::pnm(r.im);
    ASSERT_EQ(ours.size(), oracle.size());
    for (size_t i = 0; i < ours.size(); ++i) ASSERT_NEAR(int(ours[i]), int(oracle[i]), 1) << i;
}

// A pixel read from another program's file as drawF draws it at depth: the
// writers choose their own bilevel sense, gray or palette.
uint32_t asDrawn(const kt::Decoded& r, int32_t depth, int x, int y) {
    uint32_t v = kt::pixel(r.im, x, y);
    if (r.photometric == KRO_PHOTO_PALETTE)
        v = uint32_t(r.pal[v]) << 16 | uint32_t(r.pal[256 + v]) << 8 | r.pal[512 + v];
    else if (r.im.depth == 8 && depth == 24)
        v = v * 0x010101u;
    if (r.photometric == KRO_PHOTO_WHITE_IS_ZERO) v = (r.im.depth == 1 ? 1 : 255) - v;
    if (depth == 1 && r.im.depth == 1) return v ^ 1;  // read as 0 black
    if (depth == 1) return (v & 0xFF) < 128 ? 1 : 0;
    if (depth == 8 && (r.im.depth == 24 || r.photometric == KRO_PHOTO_PALETTE)) return v & 0xFF;
    return v;
}

TEST(TiffCodec, AgreesWithLibtiffToolsAndImageMagick) {
    if (!kt::haveTool("tifftopnm") || !kt::haveTool("tiffcp")) GTEST_SKIP() << "no tifftopnm, tiffcp";
    const std::string pnm = tempPath("t.pnm"), tif = tempPath("t.tif"), back = tempPath("t2.pnm");
    const std::string copy = tempPath("copy.tif");
    for (int32_t depth : {1, 8, 24}) {
        SCOPED_TRACE(depth);
        kt::Image im(45, 29, depth);
        kt::drawF(&im);
        kt::writeFile(pnm, kt::pnm(im.im));
        // ImageMagick's into ours (pnmtotiff and gm both ways are the shell test's).
        if (kt::haveTool("convert")) {
            ASSERT_EQ(kt::run("convert " + pnm + " " + tif + KRO_QUIET), 0);
            TiffRead r(kt::readFile(tif));
            ASSERT_EQ(r.rc, 0);
            for (int y = 0; y < 29; ++y)
                for (int x = 0; x < 45; ++x)
                    ASSERT_EQ(asDrawn(r, depth, x, y), kt::pixel(im.im, x, y)) << x << "," << y;
        }
        // Ours into theirs, also after tiffcp copies it.
        kt::TempFile out;
        ASSERT_EQ(KroRsImageToTIFF(out.get(), &im.im,
                                   depth == 24  ? 2
                                   : depth == 8 ? 1
                                                : 0,
                                   nullptr, nullptr, 0),
                  0);
        kt::writeFile(tif, out.contents());
        ASSERT_EQ(kt::run("tiffcp -c none " + tif + " " + copy + KRO_QUIET), 0);
        ASSERT_EQ(kt::run("tifftopnm " + copy + " > " + back), 0);
        EXPECT_EQ(kt::readFile(back), kt::readFile(pnm));
        if (kt::haveTool("tiff2pdf")) {
            EXPECT_EQ(kt::run("tiff2pdf -o " + tempPath("t.pdf") + " " + tif + KRO_QUIET), 0);
        }
    }
}

// A CALS page into TIFF and back without decoding: the coded bytes travel as
// they are, and libtiff decodes the TIFF to the CALS picture.
TEST(TiffCals, Group4CopiedBothWays) {
    kt::Image im(200, 90, 1);
    kt::drawF(&im);
    CalsHeader h{};
    for (char* field : {h.srcdocid, h.dstdocid, h.txtfilid, h.figid, h.srcgph, h.doccls, h.notes})
        std::strcpy(field, "NONE");
    h.rtype = 1, h.pelPath = 0, h.lineProgression = 270, h.pelsPerLine = 200, h.numLines = 90;
    h.rdensity = 300;
    kt::TempFile cals;
    ASSERT_EQ(KroRsImageToCals(cals.get(), &h, &im.im), 0);
    const Bytes calsBytes = cals.contents();

    kt::TempFile calsIn(calsBytes), tiff;
    ASSERT_EQ(KroCalsToTIFF(calsIn.get(), tiff.get()), 0);
    const Bytes tiffBytes = tiff.contents();
    TiffRead r(tiffBytes);
    ASSERT_EQ(r.rc, 0);
    EXPECT_EQ(r.res[0], 300);
    EXPECT_TRUE(kt::samePixels(r.im, im.im, 200, 90));
    if (kt::haveTool("tifftopnm")) {
        kt::writeFile(tempPath("pass.tif"), tiffBytes);
        ASSERT_EQ(kt::run("tifftopnm " + tempPath("pass.tif") + " > " + tempPath("pass.pbm")), 0);
        EXPECT_EQ(kt::readFile(tempPath("pass.pbm")), kt::pnm(im.im));
    }

    kt::TempFile tiffIn(tiffBytes), back;
    CalsHeader out = h;
    out.rdensity = 72;  // the page's own resolution wins
    ASSERT_EQ(KroTIFFToCals(tiffIn.get(), 0, &out, back.get()), 0);
    EXPECT_EQ(out.rdensity, 300);
    EXPECT_EQ(back.contents(), calsBytes) << "header and coded data as they were";

    // What cannot be copied as it stands is left to the host, nothing written.
    h.pelPath = 90, h.pelsPerLine = 90, h.numLines = 200;
    kt::Image turned(96, 200, 1);
    kt::TempFile turnedCals, none;
    ASSERT_EQ(KroRsImageToCals(turnedCals.get(), &h, &turned.im), 0);
    std::rewind(turnedCals.get());
    EXPECT_FAILS_WITH(KroCalsToTIFF(turnedCals.get(), none.get()), KRO_ERR_NOT_AS_IS);
    kt::TempFile lzw;
    ASSERT_EQ(KroRsImageToTIFF(lzw.get(), &im.im, 0, nullptr, nullptr, KRO_COMPRESSION_PACKBITS),
              0);
    std::rewind(lzw.get());
    EXPECT_FAILS_WITH(KroTIFFToCals(lzw.get(), 0, &out, none.get()), KRO_ERR_NOT_AS_IS);
    kt::TempFile reversed(libtiffPage(8, 1, 1, 1, PHOTOMETRIC_MINISBLACK, {0x0F}));
    EXPECT_FAILS_WITH(KroTIFFToCals(reversed.get(), 0, &out, none.get()), KRO_ERR_NOT_AS_IS);
    EXPECT_TRUE(none.contents().empty());
}

TEST(TiffPngBadFiles, EachGivesItsCode) {
    struct Read : TiffRead {
        explicit Read(const Bytes& b) : TiffRead(b, 0) {}
    };
    EXPECT_GE(kt::expectBadSamplesGiveTheirCodes<Read>("tiff-"), 6u);
    if (pngBuilt()) {
        EXPECT_GE(kt::expectBadSamplesGiveTheirCodes<PngRead>("png-"), 4u);
    }
    kt::TempFile loop(kt::readFile(std::string(KRO_TEST_DATA) + "/bad/tiff-ifd-loop.tif"));
    int32_t pages = 0;
    EXPECT_EQ(KroTIFFInfo(loop.get(), 0, &pages, nullptr), 0);
    EXPECT_EQ(pages, 2) << "the loop back to page 0 ends the count";
}

}  // namespace
