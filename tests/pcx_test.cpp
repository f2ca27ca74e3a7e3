// PCX reading and writing: round trips, the exact run-length coding, odd and
// bad files, and interop with netpbm and GraphicsMagick both ways.
#include <gtest/gtest.h>

#include <cctype>
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
    explicit Read(const Bytes& b) {
        kt::TempFile f(b);
        std::memset(pal, 0xAA, sizeof pal);
        rc = KroPCXToRsImage(f.get(), &im, &photometric, res, pal);
    }
    ~Read() { std::free(im.data); }
};

Bytes writePcx(const RsImage& im, int32_t photometric, int32_t dpi = 300,
               unsigned char* pal = nullptr) {
    unsigned char scratch[768] = {};
    const int32_t res[2] = {dpi, dpi};
    kt::TempFile f;
    EXPECT_EQ(KroRsImageToPCX(f.get(), &im, photometric, res, pal ? pal : scratch), 0);
    return f.contents();
}

uint32_t le16(const Bytes& b, size_t at) {
    return b[at] | b[at + 1] << 8;
}

Bytes operator+(Bytes a, const Bytes& b) {
    for (unsigned char c : b) a.push_back(c);
    return a;
}

// A header as a peer might write it, then the coded bytes verbatim.
Bytes makePcx(int width, int height, int bits, int planes, int perLine, const Bytes& coded,
              int xMin = 0) {
    Bytes b(128);
    auto put = [&](size_t at, int v) {
        b[at] = uint8_t(v);
        b[at + 1] = uint8_t(v >> 8);
    };
    b[0] = 10, b[1] = 5, b[2] = 1, b[3] = uint8_t(bits), b[65] = uint8_t(planes);
    put(4, xMin), put(8, xMin + width - 1), put(10, height - 1), put(66, perLine);
    return b + coded;
}

Bytes grayPalette(bool whiteFirst) {
    Bytes p{12};
    for (int i = 0; i < 256; ++i)
        for (int c = 0; c < 3; ++c) p.push_back(uint8_t(whiteFirst ? 255 - i : i));
    return p;
}

// The colour of a pixel as a viewer shows it: through the palette below 24 bits.
uint32_t colourAt(const RsImage& im, const unsigned char* pal, int32_t x, int32_t y) {
    const uint32_t v = kt::pixel(im, x, y);
    if (im.depth == 24) return v;
    return uint32_t(pal[v]) << 16 | uint32_t(pal[256 + v]) << 8 | pal[512 + v];
}

}  // namespace

struct RoundTripCase {
    int32_t width, height, depth, photometric;
};

class PcxRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(PcxRoundTrip, PixelsAndFieldsSurvive) {
    const auto c = GetParam();
    kt::Image src(c.width, c.height, c.depth);
    kt::drawF(&src);
    fndErrorStatus = 12345;
    Read r(writePcx(src.im, c.photometric, 150));
    ASSERT_EQ(r.rc, 0);
    EXPECT_EQ(fndErrorStatus, 12345) << "success leaves the status alone";
    EXPECT_EQ(r.im.width, src.im.width);
    EXPECT_EQ(r.im.validWidth, c.width);
    EXPECT_EQ(r.im.validHeight, c.height);
    EXPECT_EQ(r.im.depth, c.depth);
    EXPECT_EQ(r.im.format, KRO_FORMAT_RAW);
    EXPECT_EQ(r.im.size, src.im.size);
    EXPECT_TRUE(kt::samePixels(r.im, src.im, c.width, c.height));
    EXPECT_EQ(r.res[0], 150);
    EXPECT_EQ(r.res[1], 150);
    // Bilevel files always carry black, white: 0 is black.
    EXPECT_EQ(r.photometric, c.depth == 1 ? KRO_PHOTO_BLACK_IS_ZERO : c.photometric);
}

INSTANTIATE_TEST_SUITE_P(Shapes, PcxRoundTrip,
                         ::testing::Values(RoundTripCase{1, 1, 1, 0}, RoundTripCase{13, 9, 1, 1},
                                           RoundTripCase{33, 17, 1, 0}, RoundTripCase{1, 1, 8, 1},
                                           RoundTripCase{13, 9, 8, 0}, RoundTripCase{301, 7, 8, 1},
                                           RoundTripCase{1, 1, 24, 2}, RoundTripCase{13, 9, 24, 2},
                                           RoundTripCase{301, 7, 24, 2}));

// One 8-bit row of data bytes, coded: the bytes after the 128-byte header up
// to the palette.
Bytes codedRow(const Bytes& row) {
    kt::Image im(int32_t(row.size()), 1, 8);
    std::memcpy(im.im.data, row.data(), row.size());
    unsigned char pal[768] = {};
    Bytes file = writePcx(im.im, KRO_PHOTO_PALETTE, 300, pal);
    return Bytes(file.begin() + 128, file.end() - 769);
}

TEST(PcxWrite, RunLengthCodingIsExact) {
    struct Case {
        const char* what;
        Bytes row, coded;
    };
    const Bytes b100(100, 5), b64(64, 0xC0), b126(126, 7);
    Bytes mixed{1, 2, 2, 0xC5, 3};
    const Case cases[] = {
        {"100 equal bytes: 63 + 37", b100, {0xFF, 5, 0xE5, 5}},
        {"a lone 0xC8 needs a count", {0xC8, 1, 2, 3}, {0xC1, 0xC8, 1, 2, 3}},
        {"two of 0xC8 make a run", {0xC8, 0xC8, 1, 2}, {0xC2, 0xC8, 1, 2}},
        {"lone 0x3F stands for itself; pad of 3", {0x3F}, {0x3F, 0xC3, 0}},
        {"64 of 0xC0: a full run, then a counted one", b64, {0xFF, 0xC0, 0xC1, 0xC0}},
        {"126: two full runs, then the pad", b126, {0xFF, 7, 0xFF, 7, 0xC2, 0}},
        {"pairs, a high byte, a pad of 3", mixed, {1, 0xC2, 2, 0xC1, 0xC5, 3, 0xC3, 0}},
        {"ten bytes end with a pad run of 2", Bytes(10, 0), {0xCA, 0, 0xC2, 0}},
    };
    for (const auto& c : cases) EXPECT_EQ(codedRow(c.row), c.coded) << c.what;

    // Runs never cross plane lines when writing: each of R, G and B is coded
    // on its own, then padded.
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
    EXPECT_EQ(Bytes(one.begin(), one.begin() + 4), (Bytes{10, 5, 1, 1}));
    EXPECT_EQ(le16(one, 8), 12u) << "the picture's own width, not the stored 16";
    EXPECT_EQ(le16(one, 10), 1u);
    EXPECT_EQ(le16(one, 12), 300u);
    EXPECT_EQ(le16(one, 14), 300u);
    EXPECT_EQ(Bytes(one.begin() + 16, one.begin() + 23), (Bytes{0, 0, 0, 255, 255, 255, 0}));
    EXPECT_EQ(one[65], 1);
    EXPECT_EQ(le16(one, 66), 4u);
    EXPECT_EQ(le16(one, 68), 1u);
    EXPECT_EQ(le16(one, 70), 640u);
    EXPECT_EQ(le16(one, 72), 480u);
    EXPECT_EQ(Bytes(one.begin() + 128, one.begin() + 132), (Bytes{0xA5, 0, 0xC2, 0}));
    // Black, white whatever the photometric value; the other entries untouched.
    EXPECT_EQ(Bytes({pal[0], pal[1], pal[2], pal[256], pal[257], pal[513]}),
              (Bytes{0, 255, 7, 0, 255, 255}));

    kt::Image gray(4, 1, 8);
    Bytes g = writePcx(gray.im, KRO_PHOTO_WHITE_IS_ZERO, 72, pal);
    EXPECT_EQ(Bytes(g.end() - 769, g.end() - 763), (Bytes{12, 255, 255, 255, 254, 254}));
    EXPECT_EQ(pal[512 + 3], 252);
    EXPECT_EQ(le16(g, 66), 4u);
    EXPECT_EQ(Bytes(g.begin() + 16, g.begin() + 64), Bytes(48, 0));

    kt::Image rgb(5, 1, 24);
    Bytes c = writePcx(rgb.im, KRO_PHOTO_RGB);
    EXPECT_EQ(c[3], 8);
    EXPECT_EQ(c[65], 3);
    EXPECT_EQ(le16(c, 66), 8u);
}

TEST(PcxWrite, ArgumentChecksInOrderWriteNothing) {
    kt::Image im(4, 4, 8);
    unsigned char pal[768] = {};
    const int32_t res[2] = {300, 300}, uneven[2] = {300, 200}, zero[2] = {0, 0},
                  wide[2] = {40000, 40000};
    kt::TempFile f;
    RsImage noData = im.im, tiny = im.im, deep = im.im, coded = im.im, broad = im.im;
    noData.data = nullptr;
    tiny.height = 32769;
    tiny.depth = 7;  // the size check comes first
    deep.depth = 16;
    coded.format = KRO_FORMAT_G4;
    broad.width = 32765;  // plane lines of 32768 bytes do not fit the header
    struct Case {
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
        {f.get(), &tiny, 1, res, KRO_ERR_SIZE},
        {f.get(), &deep, 1, res, KRO_ERR_DEPTH},
        {f.get(), &coded, 1, res, KRO_ERR_FORMAT},
        {f.get(), &im.im, 4, res, KRO_ERR_PHOTOMETRIC},
        {f.get(), &im.im, -1, zero, KRO_ERR_PHOTOMETRIC},
        {f.get(), &im.im, 1, uneven, KRO_ERR_RESOLUTION},
        {f.get(), &im.im, 1, zero, KRO_ERR_RESOLUTION},
        {f.get(), &im.im, 1, wide, KRO_ERR_RESOLUTION},
        {f.get(), &broad, 1, res, KRO_ERR_SIZE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_FAILS_WITH(KroRsImageToPCX(c.f, c.im, c.photometric, c.res, pal), c.code);
    }
    EXPECT_TRUE(f.contents().empty());

    int32_t photometric = 5, out[2];
    RsImage none{};
    EXPECT_FAILS_WITH(KroPCXToRsImage(nullptr, &none, &photometric, out, pal), KRO_ERR_NULL);
    EXPECT_EQ(photometric, 0);  // cleared before any check
}

TEST(PcxRead, RunsCountsAndPlaneLines) {
    const Bytes gray = grayPalette(false);
    struct Case {
        const char* what;
        Bytes file, pixels;
    };
    const Case cases[] = {
        {"a run crosses lines and a count of 0 counts as 1",
         makePcx(3, 2, 8, 1, 3, {0xC4, 9, 0xC0, 8, 0xC1, 7}) + gray,
         {9, 9, 9, 9, 8, 7}},
        {"a run past the last line is dropped; the palette follows it",
         makePcx(2, 1, 8, 1, 2, {0xFF, 4}) + gray,
         {4, 4}},
        {"padding bytes of each plane line are dropped",
         makePcx(2, 2, 8, 1, 4, {1, 2, 0xC2, 0x33, 3, 4, 0xC2, 0x33}) + gray,
         {1, 2, 3, 4}},
        {"plane lines shorter than the row leave its rest 0",
         makePcx(4, 2, 8, 1, 2, {1, 2, 3, 4}) + gray,
         {1, 2, 0, 0, 3, 4, 0, 0}},
        {"24 bits: three plane lines a row, red first",
         makePcx(2, 1, 8, 3, 3, {1, 2, 0, 3, 4, 0, 5, 6, 0}),
         {1, 3, 5, 2, 4, 6}},
        {"24 bits: data stopping inside a row leaves the rest 0",
         makePcx(2, 2, 8, 3, 2, {1, 2, 3}),
         {1, 3, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"1 bit: rows of whole bytes, x minimum honoured",
         makePcx(9, 2, 1, 1, 2, {0xB0, 0x80, 0x0F, 0x00}, 100),
         {0xB0, 0x80, 0x0F, 0x00}},
        {"1 bit: data stopping early leaves lines 0",
         makePcx(8, 4, 1, 1, 1, {0xAA, 0x55}),
         {0xAA, 0x55, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Read r(c.file);
        ASSERT_EQ(r.rc, 0);
        EXPECT_EQ(Bytes(r.im.data, r.im.data + r.im.size), c.pixels);
    }
    Read bits(cases[6].file);
    EXPECT_EQ(bits.im.width, 16);
    EXPECT_EQ(bits.im.validWidth, 9);
}

// The walk over the coded stream, byte by byte, as plainly as it can be put:
// the reference for the batched decoder.
Bytes referenceDecode(const Bytes& coded, int32_t width, int32_t height, int planes, int perLine) {
    const size_t rowBytes = size_t(width) * size_t(planes);
    Bytes out(rowBytes * size_t(height), 0);
    size_t line = 0, plane = 0, pos = 0, at = 0;
    auto put = [&](unsigned char v) {
        if (line >= size_t(height)) return;
        if (pos < size_t(width)) out[line * rowBytes + pos * size_t(planes) + plane] = v;
        if (++pos == size_t(perLine)) {
            pos = 0;
            if (++plane == size_t(planes)) plane = 0, ++line;
        }
    };
    while (at < coded.size() && line < size_t(height)) {
        const unsigned char b = coded[at++];
        if (b < 0xC0) {
            put(b);
        } else {
            if (at == coded.size()) return {};
            const unsigned char v = coded[at++];
            for (int n = (b & 0x3F) ? (b & 0x3F) : 1; n > 0; --n) put(v);
        }
    }
    return out;
}

TEST(PcxRead, AnyCodedBytesDecodeLikeTheWalk) {
    // Pseudo-random coded bytes: every count value, counts of counts, runs
    // across lines and planes, batches ending anywhere.
    uint32_t seed = 12345;
    auto next = [&]() { return seed = seed * 1103515245u + 12345u, uint8_t(seed >> 16); };
    struct Shape {
        int32_t width, height, planes, perLine;
    };
    const Shape shapes[] = {
        {301, 40, 3, 302}, {1000, 300, 1, 1000}, {7, 200, 3, 9}, {5000, 100, 3, 5000}};
    for (const auto& sh : shapes) {
        for (int bias : {0, 1, 2}) {
            Bytes coded;
            // Three planes stop half way; one plane (palette after the data)
            // always holds enough for the whole picture.
            const size_t total = size_t(sh.perLine) * size_t(sh.planes) * size_t(sh.height);
            const size_t n = sh.planes == 3 ? total / 2 : 2 * total;
            while (coded.size() < n) {
                uint8_t b = next();
                if (bias == 1) b = b < 0x60 ? uint8_t(0xC0 | (b & 1)) : b;  // lone pairs
                if (bias == 2 && b >= 0xC0) b = uint8_t(0xC0 | (b & 3));    // short runs
                coded.push_back(b);
            }
            if (coded.back() >= 0xC0) coded.back() = 1;
            Bytes expect = referenceDecode(coded, sh.width, sh.height, sh.planes, sh.perLine);
            Bytes file = makePcx(sh.width, sh.height, 8, sh.planes, sh.perLine, coded);
            if (sh.planes == 1) file = file + grayPalette(false);
            SCOPED_TRACE(testing::Message() << sh.width << "x" << sh.height << " bias " << bias);
            Read r(file);
            ASSERT_EQ(r.rc, 0);
            ASSERT_EQ(Bytes(r.im.data, r.im.data + r.im.size), expect);
        }
    }
}

TEST(PcxWrite, NoisyPicturesSurvive) {
    uint32_t seed = 99;
    for (int32_t depth : {8, 24}) {
        kt::Image im(997, 31, depth);
        for (size_t i = 0; i < size_t(im.im.size);) {
            seed = seed * 1103515245u + 12345u;
            const size_t run = (seed >> 8) % 7 == 0 ? (seed >> 12) % 150 + 1 : 1;
            for (size_t j = 0; j < run && i < size_t(im.im.size); ++j)
                im.im.data[i++] = uint8_t(seed >> 20);
        }
        Read r(writePcx(im.im, depth == 24 ? 2 : 3));
        ASSERT_EQ(r.rc, 0);
        EXPECT_EQ(Bytes(r.im.data, r.im.data + r.im.size),
                  Bytes(im.im.data, im.im.data + im.im.size));
    }
}

TEST(PcxRead, ResolutionPaletteAndPhotometric) {
    Bytes f = makePcx(1, 1, 8, 1, 1, {0}) + grayPalette(true);
    f[12] = 0xFB, f[13] = 0xFF;  // -5, sign-extended
    f[14] = 0x2C, f[15] = 0x01;
    Read white(f);
    ASSERT_EQ(white.rc, 0);
    EXPECT_EQ(white.res[0], -5);
    EXPECT_EQ(white.res[1], 300);
    EXPECT_EQ(white.photometric, KRO_PHOTO_WHITE_IS_ZERO);
    EXPECT_EQ(white.pal[256 + 1], 254);
    Read black(makePcx(1, 1, 8, 1, 1, {0}) + grayPalette(false));
    EXPECT_EQ(black.photometric, KRO_PHOTO_BLACK_IS_ZERO);
    Bytes tinted = grayPalette(false);
    tinted[1 + 3 * 200 + 2] = 11;
    Read colour(makePcx(1, 1, 8, 1, 1, {0}) + tinted);
    EXPECT_EQ(colour.photometric, KRO_PHOTO_PALETTE);
    EXPECT_EQ(colour.pal[512 + 200], 11);
    // Junk between the data and the marker is skipped.
    Read junk(makePcx(1, 1, 8, 1, 1, {0}) + Bytes{1, 2, 3} + grayPalette(false));
    EXPECT_EQ(junk.rc, 0);

    // Bilevel: header entries 0 and 1 only; entry 0 decides.
    Bytes b = makePcx(8, 1, 1, 1, 1, {0x55});
    const Bytes entries{255, 255, 255, 0, 0, 0, 9, 9, 9};
    std::copy(entries.begin(), entries.end(), b.begin() + 16);
    Read w(b);
    EXPECT_EQ(w.photometric, KRO_PHOTO_WHITE_IS_ZERO);
    EXPECT_EQ(Bytes({w.pal[0], w.pal[1], w.pal[2], w.pal[256], w.pal[257]}),
              (Bytes{255, 0, 0xAA, 255, 0}));
    b[16] = 0;
    Read k(b);
    EXPECT_EQ(k.photometric, KRO_PHOTO_BLACK_IS_ZERO);
    for (uint8_t version : {0, 2, 3}) {
        b[1] = version;
        EXPECT_EQ(Read(b).rc, 0) << int(version);
    }
}

TEST(PcxBadFiles, EachGivesItsCode) {
    std::ifstream list(std::string(KRO_TEST_DATA) + "/bad/README.md");
    int checked = 0;
    for (std::string line; std::getline(list, line);) {
        if (line.rfind("- pcx-", 0) != 0) continue;
        std::istringstream fields(line.substr(2));
        std::string name;
        long code = -1;
        std::getline(fields, name, ':');
        fields >> code;
        SCOPED_TRACE(name);
        fndErrorStatus = 0;
        Read r(kt::readFile(std::string(KRO_TEST_DATA) + "/bad/" + name));
        EXPECT_EQ(r.rc, code == 0 ? 0 : -1);
        EXPECT_EQ(fndErrorStatus, code);
        EXPECT_TRUE(code == 0 || r.im.data == nullptr) << "a failed read keeps no buffer";
        ++checked;
    }
    EXPECT_GE(checked, 20);
}

TEST(PcxBadFiles, HugeDeclaredSizeIsRefusedBeforeAllocating) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizers reserve address space of their own";
#else
    const std::string file = std::string(KRO_TEST_DATA) + "/bad/pcx-huge-declared.pcx";
    EXPECT_EQ(kt::run("ulimit -v 262144; '" KRO_CLI "' info '" + file +
                      "' 2>&1 | grep -q 'status 1012120027'"),
              0);
#endif
}

// ---- Interop ---------------------------------------------------------------

namespace {

std::string tempDir() {
    char name[] = "/tmp/kro-pcx-XXXXXX";
    return mkdtemp(name) ? name : "";
}

// A netpbm file of the picture: P4 (1 is black), P5 or P6.
void writePnm(const std::string& path, const kt::Image& src) {
    const RsImage& im = src.im;
    std::ostringstream out;
    out << (im.depth == 1   ? "P4"
            : im.depth == 8 ? "P5"
                            : "P6")
        << "\n"
        << im.validWidth << " " << im.height << "\n";
    if (im.depth != 1) out << "255\n";
    const size_t n = im.depth == 1 ? size_t(im.validWidth + 7) / 8 : src.rowBytes();
    for (int32_t y = 0; y < im.height; ++y)
        out.write(reinterpret_cast<const char*>(src.row(y)), std::streamsize(n));
    const std::string s = out.str();
    kt::writeFile(path, Bytes(s.begin(), s.end()));
}

// The pixels of a P6 file as r<<16|g<<8|b; empty when it is not one.
std::vector<uint32_t> readP6(const std::string& path, int* width, int* height) {
    Bytes b = kt::readFile(path);
    size_t at = 0;
    auto number = [&]() {
        while (at < b.size() && (std::isspace(b[at]) || b[at] == '#')) {
            if (b[at] == '#')
                while (at < b.size() && b[at] != '\n') ++at;
            ++at;
        }
        int v = 0;
        while (at < b.size() && std::isdigit(b[at])) v = v * 10 + (b[at++] - '0');
        return v;
    };
    if (b.size() < 2 || b[0] != 'P' || b[1] != '6') return {};
    at = 2;
    *width = number(), *height = number();
    if (number() != 255) return {};
    ++at;
    std::vector<uint32_t> px;
    for (; at + 2 < b.size() && px.size() < size_t(*width) * size_t(*height); at += 3)
        px.push_back(uint32_t(b[at]) << 16 | uint32_t(b[at + 1]) << 8 | b[at + 2]);
    return px;
}

uint32_t shownColour(const kt::Image& src, int32_t x, int32_t y) {
    const uint32_t v = kt::pixel(src.im, x, y);
    if (src.im.depth == 24) return v;
    if (src.im.depth == 8) return v * 0x010101u;
    return v ? 0 : 0xFFFFFF;  // 1 is black
}

}  // namespace

struct InteropCase {
    int32_t width, depth;
};

class PcxInterop : public ::testing::TestWithParam<InteropCase> {
  protected:
    void SetUp() override {
        if (!kt::haveTool("pcxtoppm") || !kt::haveTool("ppmtopcx") || !kt::haveTool("gm"))
            GTEST_SKIP() << "netpbm or GraphicsMagick not installed";
        dir = tempDir();
        ASSERT_FALSE(dir.empty());
    }
    void TearDown() override {
        if (!dir.empty()) kt::run("rm -rf '" + dir + "'");
    }
    std::string dir;
};

TEST_P(PcxInterop, PeersReadOursAndWeReadTheirs) {
    const auto c = GetParam();
    kt::Image src(c.width, c.width + 4, c.depth);
    kt::drawF(&src);
    const int32_t h = src.im.height;
    writePnm(dir + "/src.pnm", src);

    // Ours, through pcxtoppm and gm. Bilevel files are black, white: 0 is black.
    kt::Image ours(c.width, h, c.depth);
    std::memcpy(ours.im.data, src.im.data, size_t(src.im.size));
    if (c.depth == 1)
        for (int32_t i = 0; i < ours.im.size; ++i) ours.im.data[i] = uint8_t(~ours.im.data[i]);
    kt::writeFile(dir + "/ours.pcx", writePcx(ours.im, c.depth == 24 ? 2 : 1));
    const std::string readers[] = {"pcxtoppm '" + dir + "/ours.pcx' 2>/dev/null | ppmtoppm",
                                   "gm convert 'pcx:" + dir + "/ours.pcx' ppm:-"};
    for (const std::string& reader : readers) {
        SCOPED_TRACE(reader);
        ASSERT_EQ(kt::run(reader + " >'" + dir + "/back.ppm'"), 0);
        int w = 0, hh = 0;
        std::vector<uint32_t> px = readP6(dir + "/back.ppm", &w, &hh);
        ASSERT_EQ(w, c.width);
        ASSERT_EQ(hh, h);
        ASSERT_EQ(px.size(), size_t(w) * size_t(hh));
        int wrong = 0;
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < c.width; ++x)
                wrong += px[size_t(y) * size_t(w) + size_t(x)] != shownColour(src, x, y);
        EXPECT_EQ(wrong, 0);
    }

    // Theirs, through our reader.
    const char* depthFlag = c.depth == 24 ? "-24bit" : c.depth == 8 ? "-8bit" : "";
    const std::string writers[] = {
        std::string("ppmtopcx ") + depthFlag + " '" + dir + "/src.pnm' 2>/dev/null",
        "gm convert '" + dir + "/src.pnm' " + (c.depth == 24 ? "-type TrueColor " : "") + "pcx:-"};
    for (const std::string& writer : writers) {
        SCOPED_TRACE(writer);
        ASSERT_EQ(kt::run(writer + " >'" + dir + "/theirs.pcx'"), 0);
        Read r(kt::readFile(dir + "/theirs.pcx"));
        ASSERT_EQ(r.rc, 0) << fndErrorStatus;
        ASSERT_EQ(r.im.validWidth, c.width);
        ASSERT_EQ(r.im.validHeight, h);
        int wrong = 0;
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < c.width; ++x)
                wrong += colourAt(r.im, r.pal, x, y) != shownColour(src, x, y);
        EXPECT_EQ(wrong, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Peers, PcxInterop,
                         ::testing::Values(InteropCase{1, 1}, InteropCase{13, 1},
                                           InteropCase{33, 1}, InteropCase{1, 8},
                                           InteropCase{13, 8}, InteropCase{33, 8},
                                           InteropCase{1, 24}, InteropCase{13, 24},
                                           InteropCase{33, 24}));

TEST(PcxCli, ConvertsBothWaysWithTheRightColours) {
    if (!kt::haveTool("pcxtoppm")) GTEST_SKIP() << "netpbm not installed";
    const std::string dir = tempDir();
    // A bilevel BMP 13 wide (1 is black in kro's pictures) to PCX and back.
    kt::Image src(13, 9, 1);
    kt::drawF(&src);
    unsigned char pal[768];
    kt::TempFile bmp;
    ASSERT_EQ(KroRsImageToBMP(bmp.get(), &src.im, 0, 0, 0, pal), 0);
    kt::writeFile(dir + "/in.bmp", bmp.contents());
    const std::string kro = std::string("'") + KRO_CLI + "' convert ";
    ASSERT_EQ(kt::run(kro + dir + "/in.bmp " + dir + "/out.pcx"), 0);
    ASSERT_EQ(kt::run("pcxtoppm " + dir + "/out.pcx 2>/dev/null | ppmtoppm >" + dir + "/out.ppm"),
              0);
    int w = 0, h = 0;
    std::vector<uint32_t> px = readP6(dir + "/out.ppm", &w, &h);
    ASSERT_EQ(w, 13);
    ASSERT_EQ(px.size(), 13u * 9u);
    int wrong = 0;
    for (int32_t y = 0; y < 9; ++y)
        for (int32_t x = 0; x < 13; ++x)
            wrong += px[size_t(y) * 13 + size_t(x)] != shownColour(src, x, y);
    EXPECT_EQ(wrong, 0);
    ASSERT_EQ(kt::run(kro + dir + "/out.pcx " + dir + "/back.bmp"), 0);
    kt::TempFile back(kt::readFile(dir + "/back.bmp"));
    RsImage im{};
    int32_t photometric, res[2];
    ASSERT_EQ(KroBMPToRsImage(back.get(), &im, &photometric, res, pal), 0);
    EXPECT_TRUE(kt::samePixels(im, src.im, 13, 9));
    EXPECT_EQ(res[0], 400) << "the default resolution travels through the PCX";
    std::free(im.data);
    kt::run("rm -rf '" + dir + "'");
}
