// PCX reading and writing: round trips, the exact run-length coding, odd and
// bad files, and interop with netpbm and GraphicsMagick both ways.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>

#include "test_util.h"

namespace {

using kt::Bytes;

using Read = kt::ReadWith<KroPCXToRsImage>;

Bytes writePcx(const RsImage& im, int32_t photometric, int32_t dpi = 300,
               unsigned char* pal = nullptr) {
    unsigned char scratch[768] = {};
    const int32_t res[2] = {dpi, dpi};
    kt::TempFile f;
    EXPECT_EQ(KroRsImageToPCX(f.get(), &im, photometric, res, pal ? pal : scratch), 0);
    return f.contents();
}

Bytes operator+(Bytes a, const Bytes& b) {
    for (unsigned char c : b) a.push_back(c);
    return a;
}

// A header as a peer might write it, then the coded bytes verbatim.
Bytes makePcx(int width, int height, int bits, int planes, int perLine, const Bytes& coded) {
    Bytes b(128);
    b[0] = 10, b[1] = 5, b[2] = 1, b[3] = uint8_t(bits), b[65] = uint8_t(planes);
    b[4] = 100, b[8] = uint8_t(100 + width - 1), b[9] = uint8_t((100 + width - 1) >> 8);
    b[10] = uint8_t(height - 1), b[11] = uint8_t((height - 1) >> 8);
    b[66] = uint8_t(perLine), b[67] = uint8_t(perLine >> 8);
    return b + coded;
}

Bytes grayPalette(bool whiteFirst) {
    Bytes p{12};
    for (int i = 0; i < 768; ++i) p.push_back(uint8_t(whiteFirst ? 255 - i / 3 : i / 3));
    return p;
}

uint32_t seed = 1;
uint8_t noise() {
    return seed = seed * 1103515245u + 12345u, uint8_t(seed >> 16);
}

}  // namespace

TEST(PcxRoundTrip, PixelsAndFieldsSurvive) {
    // {width, height, depth, photometric, noisy}
    const int32_t cases[][5] = {{1, 1, 1, 0, 0},  {13, 9, 1, 1, 0},  {33, 17, 1, 0, 1},
                                {1, 1, 8, 1, 0},  {13, 9, 8, 0, 0},  {997, 31, 8, 1, 1},
                                {1, 1, 24, 2, 0}, {13, 9, 24, 2, 0}, {997, 31, 24, 2, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c[0] << "x" << c[1] << "x" << c[2]);
        kt::Image src(c[0], c[1], c[2]);
        kt::drawF(&src);
        // Noise with runs of every length: all paths of the coder and decoder.
        for (int32_t i = 0; c[4] && i < src.im.size;) {
            const uint8_t v = noise(), run = noise() % 8 ? 1 : noise();
            for (int j = 0; j < run && i < src.im.size; ++j) src.im.data[i++] = v;
        }
        fndErrorStatus = 12345;
        Read r(writePcx(src.im, c[3], 150));
        ASSERT_EQ(r.rc, 0);
        EXPECT_EQ(fndErrorStatus, 12345) << "success leaves the status alone";
        EXPECT_EQ(r.im.width, src.im.width);
        EXPECT_EQ(r.im.validWidth, c[0]);
        EXPECT_EQ(r.im.depth, c[2]);
        EXPECT_EQ(r.pixels(), Bytes(src.im.data, src.im.data + src.im.size));
        EXPECT_EQ(r.res[1], 150);
        // Bilevel files always carry black, white: 0 is black.
        EXPECT_EQ(r.photometric, c[2] == 1 ? KRO_PHOTO_BLACK_IS_ZERO : c[3]);
    }
}

TEST(PcxWrite, RunLengthCodingIsExact) {
    const std::pair<Bytes, Bytes> cases[] = {
        {Bytes(100, 5), {0xFF, 5, 0xE5, 5}},           // 63 + 37
        {{0xC8, 1, 2, 3}, {0xC1, 0xC8, 1, 2, 3}},      // a lone high byte is counted
        {{0x3F}, {0x3F, 0xC3, 0}},                     // pad of 3 as one run
        {Bytes(64, 0xC0), {0xFF, 0xC0, 0xC1, 0xC0}},   // full run, then one more
        {Bytes(126, 7), {0xFF, 7, 0xFF, 7, 0xC2, 0}},  // two full runs, pad of 2
        {{1, 2, 2, 0xC5, 3}, {1, 0xC2, 2, 0xC1, 0xC5, 3, 0xC3, 0}},
    };
    for (const auto& [row, coded] : cases) {
        kt::Image im(int32_t(row.size()), 1, 8);
        std::memcpy(im.im.data, row.data(), row.size());
        Bytes file = writePcx(im.im, KRO_PHOTO_PALETTE);
        EXPECT_EQ(Bytes(file.begin() + 128, file.end() - 769), coded) << row.size();
    }
    // Long noisy rows, where lone bytes are coded many at a step: the same
    // bytes as coding one run at a time.
    for (int bias : {0, 1}) {
        kt::Image im(1000, 1, 8);
        Bytes want;
        for (size_t i = 0; i < 1000;) {
            const uint8_t v = bias ? uint8_t(0xBE + noise() % 4) : noise();
            const size_t run = std::min<size_t>(noise() % 16 ? 1 : 1 + noise() % 70, 1000 - i);
            if (i && im.im.data[i - 1] == v) continue;
            std::memset(im.im.data + i, v, run);
            for (size_t left = run; left; left -= std::min<size_t>(left, 63)) {
                if (left > 1 || v >= 0xC0)
                    want.push_back(uint8_t(0xC0 | std::min<size_t>(left, 63)));
                want.push_back(v);
            }
            i += run;
        }
        Bytes file = writePcx(im.im, KRO_PHOTO_PALETTE);
        EXPECT_EQ(Bytes(file.begin() + 128, file.end() - 769), want) << "bias " << bias;
    }
    // Each plane line of a 24-bit row is coded on its own, then padded.
    kt::Image rgb(2, 1, 24);
    std::memcpy(rgb.im.data, "\x01\x02\x03\x01\x05\x06", 6);
    Bytes f = writePcx(rgb.im, KRO_PHOTO_RGB);
    EXPECT_EQ(Bytes(f.begin() + 128, f.end()),
              (Bytes{0xC2, 1, 0xC2, 0, 2, 5, 0xC2, 0, 3, 6, 0xC2, 0}));
}

TEST(PcxWrite, HeaderFieldsAndPalettes) {
    kt::Image bits(13, 2, 1);
    bits.im.data[0] = 0xA5;
    unsigned char pal[768];
    std::memset(pal, 7, sizeof pal);
    Bytes one = writePcx(bits.im, KRO_PHOTO_WHITE_IS_ZERO, 300, pal);
    Bytes head(one.begin(), one.begin() + 74);
    const Bytes expect{10, 5, 1, 1, 0, 0, 0, 0, 12, 0, 1, 0, 44, 1, 44, 1, 0, 0, 0, 255, 255, 255};
    EXPECT_EQ(Bytes(head.begin(), head.begin() + 22), expect) << "x maximum: the own width";
    EXPECT_EQ(Bytes(head.begin() + 64, head.end()), (Bytes{0, 1, 4, 0, 1, 0, 128, 2, 224, 1}));
    EXPECT_EQ(Bytes(one.begin() + 128, one.begin() + 132), (Bytes{0xA5, 0, 0xC2, 0}));
    // Black, white whatever the photometric value; the other entries untouched.
    EXPECT_EQ(Bytes({pal[0], pal[1], pal[2], pal[256], pal[257], pal[513]}),
              (Bytes{0, 255, 7, 0, 255, 255}));

    kt::Image gray(4, 1, 8);
    Bytes g = writePcx(gray.im, KRO_PHOTO_WHITE_IS_ZERO, 72, pal);
    EXPECT_EQ(Bytes(g.end() - 769, g.end() - 763), (Bytes{12, 255, 255, 255, 254, 254}));
    EXPECT_EQ(pal[512 + 3], 252);
    EXPECT_EQ(Bytes(g.begin() + 16, g.begin() + 64), Bytes(48, 0));
}

TEST(PcxWrite, ArgumentChecksInOrderWriteNothing) {
    kt::Image im(4, 4, 8);
    unsigned char pal[768] = {};
    const int32_t res[2] = {300, 300}, uneven[2] = {300, 200}, zero[2] = {0, 0},
                  wide[2] = {40000, 40000};
    kt::TempFile f;
    RsImage noData = im.im, tall = im.im, deep = im.im, coded = im.im, broad = im.im;
    noData.data = nullptr;
    tall.height = 32769, tall.depth = 7;  // the size check comes first
    deep.depth = 16;
    coded.format = KRO_FORMAT_G4;
    broad.width = 32765;  // plane lines of 32768 bytes do not fit the header
    const struct {
        FILE* f;
        const RsImage* im;
        int32_t photometric;
        const int32_t* res;
        int32_t code;
    } cases[] = {
        {nullptr, &im.im, 1, res, KRO_ERR_NULL},
        {f.get(), nullptr, 1, res, KRO_ERR_NULL},
        {f.get(), &noData, 1, res, KRO_ERR_NULL},
        {f.get(), &im.im, 1, nullptr, KRO_ERR_NULL},
        {f.get(), &tall, 1, res, KRO_ERR_SIZE},
        {f.get(), &deep, 1, res, KRO_ERR_DEPTH},
        {f.get(), &coded, 1, res, KRO_ERR_FORMAT},
        {f.get(), &im.im, 4, res, KRO_ERR_PHOTOMETRIC},
        {f.get(), &im.im, -1, zero, KRO_ERR_PHOTOMETRIC},
        {f.get(), &im.im, 1, uneven, KRO_ERR_RESOLUTION},
        {f.get(), &im.im, 1, zero, KRO_ERR_RESOLUTION},
        {f.get(), &im.im, 1, wide, KRO_ERR_RESOLUTION},
        {f.get(), &broad, 1, res, KRO_ERR_SIZE},
    };
    for (const auto& c : cases)
        EXPECT_FAILS_WITH(KroRsImageToPCX(c.f, c.im, c.photometric, c.res, pal), c.code);
    EXPECT_TRUE(f.contents().empty());

    int32_t photometric = 5, out[2];
    RsImage none{};
    EXPECT_FAILS_WITH(KroPCXToRsImage(nullptr, &none, &photometric, out, pal), KRO_ERR_NULL);
    EXPECT_EQ(photometric, 0);  // cleared before any check
}

// What the random streams below do not reach: plane lines shorter than the
// row, and 1-bit files.
TEST(PcxRead, RunsCountsAndPlaneLines) {
    const struct {
        const char* what;
        Bytes file, pixels;
    } cases[] = {
        {"a run crosses lines; a count of 0 counts as 1",
         makePcx(3, 2, 8, 1, 3, {0xC4, 9, 0xC0, 8, 0xC1, 7}) + grayPalette(false),
         {9, 9, 9, 9, 8, 7}},
        {"plane lines shorter than the row",
         makePcx(4, 2, 8, 1, 2, {1, 2, 3, 4}) + grayPalette(false),
         {1, 2, 0, 0, 3, 4, 0, 0}},
        {"1 bit: whole bytes a row",
         makePcx(9, 2, 1, 1, 2, {0xB0, 0x80, 0x0F, 0}),
         {0xB0, 0x80, 0x0F, 0}},
        {"1 bit: the last line's padding left out",
         makePcx(8, 2, 1, 1, 2, {0xAA, 0, 0x55}),
         {0xAA, 0x55}},
        {"24 bits: the last line's padding left out",
         makePcx(1, 1, 8, 3, 2, {1, 0, 2, 0, 3}),
         {1, 2, 3}},
    };
    for (const auto& c : cases) {
        Read r(c.file);
        ASSERT_EQ(r.rc, 0) << c.what;
        EXPECT_EQ(r.pixels(), c.pixels) << c.what;
    }
    Read bits(cases[2].file);
    EXPECT_EQ(bits.im.width, 16);
    EXPECT_EQ(bits.im.validWidth, 9);
}

// A file that ends before the last byte of its picture is refused, wherever
// the cut falls; only the padding after the last plane line may be missing.
TEST(PcxRead, AFileCutInsideThePictureIsRefused) {
    const struct {
        const char* what;
        Bytes file;
        int32_t code;
    } cases[] = {
        {"1 bit: 2 of 4 lines", makePcx(8, 4, 1, 1, 1, {0xAA, 0x55}), KRO_ERR_IO},
        {"1 bit: in the padding of a line before the last", makePcx(8, 2, 1, 1, 2, {0xAA}),
         KRO_ERR_IO},
        {"1 bit: in a run", makePcx(8, 4, 1, 1, 1, {0xC2, 0xAA}), KRO_ERR_IO},
        {"8 bits: inside a line", makePcx(3, 2, 8, 1, 3, {0xC4, 9}), KRO_ERR_IO},
        {"24 bits: in the green plane", makePcx(4, 2, 8, 3, 4, Bytes(10, 7)), KRO_ERR_IO},
        {"24 bits: in the blue plane of the last line", makePcx(2, 2, 8, 3, 2, Bytes(11, 7)),
         KRO_ERR_IO},
        {"after a count in the last line's padding", makePcx(8, 2, 1, 1, 2, {0xAA, 0, 0x55, 0xC1}),
         KRO_ERR_PCX_HEADER},
    };
    for (const auto& c : cases) {
        fndErrorStatus = 0;
        Read r(c.file);
        EXPECT_EQ(r.rc, -1) << c.what;
        EXPECT_EQ(fndErrorStatus, c.code) << c.what;
        EXPECT_EQ(r.im.data, nullptr) << c.what;
    }
}

// The coded stream walked byte by byte: the reference for the batched decoder.
// *complete tells whether the stream held every byte of the picture.
Bytes referenceDecode(const Bytes& coded, size_t width, size_t height, size_t planes,
                      size_t perLine, bool* complete) {
    Bytes out(width * planes * height, 0);
    size_t line = 0, plane = 0, pos = 0, at = 0;
    auto put = [&](unsigned char v) {
        if (line < height && pos < width) out[(line * width + pos) * planes + plane] = v;
        if (++pos == perLine) pos = 0, plane = (plane + 1) % planes, line += plane == 0;
    };
    while (at < coded.size() && line < height) {
        const unsigned char b = coded[at++];
        if (b < 0xC0) {
            put(b);
            continue;
        }
        const unsigned char v = coded[at++];  // the last coded byte is never a count
        for (int n = (b & 0x3F) ? (b & 0x3F) : 1; n > 0; --n) put(v);
    }
    *complete = line >= height || (line == height - 1 && plane == planes - 1 && pos >= width);
    return out;
}

TEST(PcxRead, AnyCodedBytesDecodeLikeTheWalk) {
    // {width, height, planes, bytes per plane line}: padding, runs across lines and
    // planes, a stop inside a row, runs past the last line; batches end anywhere.
    const int cases[][4] = {
        {301, 40, 3, 302}, {1000, 300, 1, 1000}, {7, 200, 3, 9}, {5000, 100, 3, 5000}};
    for (const auto& c : cases)
        for (int bias : {0, 1, 2}) {
            // Three planes may stop half way; one (palette after it) holds enough.
            const size_t total = size_t(c[3]) * size_t(c[2]) * size_t(c[1]);
            Bytes coded;
            while (coded.size() < (c[2] == 3 ? total / 2 : 2 * total)) {
                uint8_t b = noise();
                if (bias == 1 && b < 0x60) b = uint8_t(0xC0 | (b & 1));   // pairs of one
                if (bias == 2 && b >= 0xC0) b = uint8_t(0xC0 | (b & 3));  // short runs
                coded.push_back(b);
            }
            coded.back() = 1;
            Read r(makePcx(c[0], c[1], 8, c[2], c[3], coded) +
                   (c[2] == 1 ? grayPalette(false) : Bytes{}));
            bool complete = false;
            const Bytes want = referenceDecode(coded, size_t(c[0]), size_t(c[1]), size_t(c[2]),
                                               size_t(c[3]), &complete);
            if (!complete) {
                EXPECT_EQ(r.rc, -1) << c[0] << " bias " << bias;
                EXPECT_EQ(fndErrorStatus, KRO_ERR_IO);
                continue;
            }
            ASSERT_EQ(r.rc, 0);
            EXPECT_EQ(r.pixels(), want) << c[0] << " bias " << bias;
        }
}

TEST(PcxRead, ResolutionPaletteAndPhotometric) {
    Bytes f = makePcx(1, 1, 8, 1, 1, {0}) + grayPalette(true);
    f[12] = 0xFB, f[13] = 0xFF, f[14] = 0x2C, f[15] = 0x01;  // -5 (sign-extended), 300
    Read white(f);
    EXPECT_EQ(white.res[0], -5);
    EXPECT_EQ(white.res[1], 300);
    EXPECT_EQ(white.photometric, KRO_PHOTO_WHITE_IS_ZERO);
    Bytes tinted = grayPalette(false);
    tinted[1 + 3 * 200 + 2] = 11;
    // Junk between the data and the marker is skipped.
    Read colour(makePcx(1, 1, 8, 1, 1, {0}) + Bytes{1, 2} + tinted);
    EXPECT_EQ(colour.photometric, KRO_PHOTO_PALETTE);
    EXPECT_EQ(colour.pal[512 + 200], 11);

    // Bilevel: header entries 0 and 1 only; entry 0's red decides.
    Bytes b = makePcx(8, 1, 1, 1, 1, {0x55});
    for (int i = 0; i < 9; ++i) b[16 + size_t(i)] = uint8_t(i < 3 ? 255 : 9 * (i / 6));
    Read w(b);
    EXPECT_EQ(w.photometric, KRO_PHOTO_WHITE_IS_ZERO);
    EXPECT_EQ(Bytes({w.pal[0], w.pal[1], w.pal[2], w.pal[257]}), (Bytes{255, 0, 0xAA, 0}));
    b[16] = 0, b[1] = 3;
    EXPECT_EQ(Read(b).photometric, KRO_PHOTO_BLACK_IS_ZERO);
}

TEST(PcxBadFiles, EachGivesItsCode) {
    EXPECT_GE(kt::expectBadSamplesGiveTheirCodes<Read>("pcx-"), 20U);
// (Not under the sanitizers, which reserve address space of their own, nor on
// Windows, which has no ulimit.)
#if !defined(__SANITIZE_ADDRESS__) && !defined(_WIN32)
    // 1 GiB declared in 1 KiB is refused before allocating.
    EXPECT_EQ(kt::run("ulimit -v 262144; '" KRO_CLI "' info '" KRO_TEST_DATA
                      "/bad/pcx-huge-declared.pcx' 2>&1 | grep -q 'status 1012120027'"),
              0);
#endif
}

// ---- Interop -----------------------------------------------------------------

namespace {

// What a viewer shows at (x, y): r<<16|g<<8|b, through the palette below 24
// bits; for a bilevel picture of kro's (1 is black) give no palette.
uint32_t shown(const RsImage& im, const unsigned char* pal, int32_t x, int32_t y) {
    const uint32_t v = kt::pixel(im, x, y);
    if (im.depth == 24) return v;
    if (!pal) return im.depth == 8 ? v * 0x010101u : v ? 0 : 0xFFFFFF;
    return uint32_t(pal[v]) << 16 | uint32_t(pal[256 + v]) << 8 | pal[512 + v];
}

// Pixels of a P6 file whose header is "P6 W H 255" without comments.
bool sameAsP6(const std::string& path, const kt::Image& src) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int w = 0, h = 0, max = 0;
    in >> magic >> w >> h >> max;
    in.get();
    if (magic != "P6" || w != src.im.validWidth || h != src.im.height) return false;
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            unsigned char p[3] = {};
            in.read(reinterpret_cast<char*>(p), 3);
            if ((uint32_t(p[0]) << 16 | p[1] << 8 | p[2]) != shown(src.im, nullptr, x, y))
                return false;
        }
    return bool(in);
}

}  // namespace

TEST(PcxInterop, PeersReadOursAndWeReadTheirs) {
    if (!kt::haveTool("pcxtoppm") || !kt::haveTool("ppmtopcx") || !kt::haveTool("gm"))
        GTEST_SKIP() << "netpbm or GraphicsMagick not installed";
    const kt::TempDir tmp;
    const std::string dir = tmp.path.string();
    for (int32_t depth : {1, 8, 24})
        for (int32_t width : {1, 13, 33}) {
            SCOPED_TRACE(testing::Message() << depth << " bits, " << width << " wide");
            kt::Image src(width, width + 4, depth);
            kt::drawF(&src);
            // Ours: bilevel files are black, white, so 0 is black.
            kt::Image ours(width, width + 4, depth);
            for (int32_t i = 0; i < src.im.size; ++i)
                ours.im.data[i] = uint8_t(depth == 1 ? ~src.im.data[i] : src.im.data[i]);
            kt::writeFile(dir + "/ours.pcx", writePcx(ours.im, depth == 24 ? 2 : 1));
            EXPECT_EQ(kt::run("pcxtoppm " + dir + "/ours.pcx 2>/dev/null | ppmtoppm >" + dir +
                              "/n.ppm && gm convert pcx:" + dir + "/ours.pcx " + dir + "/g.ppm"),
                      0);
            EXPECT_TRUE(sameAsP6(dir + "/n.ppm", src)) << "pcxtoppm";
            EXPECT_TRUE(sameAsP6(dir + "/g.ppm", src)) << "gm";

            // Theirs, from a netpbm picture.
            kt::writeFile(dir + "/src.pnm", kt::pnm(src.im));
            const std::string flag = depth == 24 ? "-24bit " : depth == 8 ? "-8bit " : "";
            for (const std::string& writer :
                 {"ppmtopcx " + flag + dir + "/src.pnm 2>/dev/null",
                  "gm convert " + dir + "/src.pnm " + (depth == 24 ? "-type TrueColor " : "") +
                      "pcx:-"}) {
                ASSERT_EQ(kt::run(writer + " >" + dir + "/theirs.pcx"), 0);
                Read r(kt::readFile(dir + "/theirs.pcx"));
                ASSERT_EQ(r.rc, 0) << writer;
                int wrong = r.im.validWidth != width || r.im.validHeight != src.im.height;
                for (int32_t y = 0; !wrong && y < src.im.height; ++y)
                    for (int32_t x = 0; x < width; ++x)
                        wrong += shown(r.im, r.pal, x, y) != shown(src.im, nullptr, x, y);
                EXPECT_EQ(wrong, 0) << writer;
            }
        }
}

TEST(PcxInterop, KroConvertKeepsBilevelColours) {
    if (!kt::haveTool("pcxtoppm")) GTEST_SKIP() << "netpbm not installed";
    const kt::TempDir tmp;
    const std::string dir = tmp.path.string();
    kt::Image src(13, 9, 1);  // 1 is black, as in kro's BMP files
    kt::drawF(&src);
    unsigned char pal[768];
    kt::TempFile bmp;
    ASSERT_EQ(KroRsImageToBMP(bmp.get(), &src.im, 0, 0, 0, pal), 0);
    kt::writeFile(dir + "/in.bmp", bmp.contents());
    const std::string kro = std::string(KRO_CLI) + " convert ";
    ASSERT_EQ(kt::run(kro + dir + "/in.bmp " + dir + "/out.pcx && pcxtoppm " + dir +
                      "/out.pcx 2>/dev/null | ppmtoppm >" + dir + "/out.ppm"),
              0);
    EXPECT_TRUE(sameAsP6(dir + "/out.ppm", src));
    ASSERT_EQ(kt::run(kro + dir + "/out.pcx " + dir + "/back.bmp"), 0);
    kt::TempFile back(kt::readFile(dir + "/back.bmp"));
    RsImage im{};
    int32_t photometric, res[2];
    ASSERT_EQ(KroBMPToRsImage(back.get(), &im, &photometric, res, pal), 0);
    EXPECT_TRUE(kt::samePixels(im, src.im, 13, 9));
    EXPECT_EQ(res[0], 400) << "the default resolution went into the PCX";
    std::free(im.data);
}
