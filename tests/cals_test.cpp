// CALS files: the header records, the reader's turning and mirroring, the
// writer's records and retries, malformed files, and interop with other tools.
#include "codecs/cals.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "kro/pixo.h"
#include "test_util.h"

namespace {

using kt::Bytes;
using kt::Image;

const std::vector<std::string> kStandard = {
    "srcdocid: NONE",         "dstdocid: NONE", "txtfilid: NONE", "figid: NONE",
    "srcgph: NONE",           "doccls: NONE",   "rtype: 1",       "rorient: 000,270",
    "rpelcnt: 001728,002200", "rdensity: 0200", "notes: NONE"};

// The records, each padded or cut to 128 bytes, then 640 spaces up to 2048.
Bytes headerBytes(const std::vector<std::string>& records) {
    std::string out;
    for (const std::string& r : records) out += (r + std::string(128, ' ')).substr(0, 128);
    out.append(640, ' ');
    return Bytes(out.begin(), out.end());
}

CalsHeader headerFor(int32_t pels, int32_t lines, int32_t path = 0, int32_t progression = 270) {
    CalsHeader h{};
    std::strcpy(h.srcdocid, "NONE");
    h.rtype = 1, h.pelPath = path, h.lineProgression = progression;
    h.pelsPerLine = pels, h.numLines = lines, h.rdensity = 200;
    return h;
}

Bytes writeCals(const CalsHeader& h, const RsImage& im) {
    kt::TempFile f;
    EXPECT_EQ(KroRsImageToCals(f.get(), &h, &im), 0) << fndErrorStatus;
    return f.contents();
}

int32_t readCals(const Bytes& file, Image* image) {
    kt::TempFile f(file);
    CalsHeader h;
    if (KroGetCals(f.get(), &h) != 0) return -1;
    return KroCalsToRsImage(f.get(), &h, &image->im);
}

TEST(CalsHeader, RecordsAreReadAndCheckedOneByOne) {
    const int32_t bad = KRO_ERR_CALS_HEADER;
    const std::tuple<int, const char*, int32_t> cases[] = {
        {7, "rorient: 90,270,0", bad},  // two commas
        {7, "rorient: ,270", bad},
        {8, "rpelcnt: 1728,", bad},
        {8, "rpelcnt: 1728 2200", bad},
        {10, "rorient: 090,", bad},  // a later record missing a number undoes the earlier one
        {10, "rorient: 0,90,0", 0},  // a malformed one leaves it alone
        {8, "rpelcnt:   17 , 22", 0},
        {8, "rpelcnt: 99999999999999999999,1", bad},
        {6, "rtype: 1a", bad},
        {6, "rtype: 2", bad},
        {9, "rdensity: 200.5", bad},
    };
    for (const auto& [index, text, code] : cases) {
        std::vector<std::string> records = kStandard;
        records[size_t(index)] = text;
        kt::TempFile f(headerBytes(records));
        CalsHeader h;
        fndErrorStatus = 0;
        EXPECT_EQ(KroGetCals(f.get(), &h), code ? -1 : 0) << text;
        EXPECT_EQ(fndErrorStatus, code) << text;
        EXPECT_TRUE(code || std::ftell(f.get()) == 1408) << text;
    }
    // Any order, the later of two records wins, text loses its trailing spaces unless
    // that leaves nothing, and the class and density records have shorter spellings.
    kt::TempFile f(
        headerBytes({"rpelcnt: 000010,000020", "rdensty: 0300", "rpelcnt: 001728,002200",
                     "rorient: 000,270", "rtype: 1", "docls: MANUAL", "srcgph: NONE", "figid: NONE",
                     "txtfilid:  A B  C", "dstdocid: NONE", "srcdocid: "}));
    CalsHeader h;
    ASSERT_EQ(KroGetCals(f.get(), &h), 0);
    EXPECT_EQ(std::tie(h.rtype, h.pelPath, h.lineProgression, h.pelsPerLine, h.numLines),
              std::make_tuple(1, 0, 270, 1728, 2200));
    EXPECT_EQ(h.rdensity, 300.0);
    EXPECT_EQ(std::string(h.srcdocid), std::string(118, ' '));
    EXPECT_STREQ(h.txtfilid, " A B  C");
    EXPECT_STREQ(h.doccls, "MANUAL");
    EXPECT_STREQ(h.notes, "");
    const Bytes whole = headerBytes(kStandard);
    kt::TempFile shortFile(Bytes(whole.begin(), whole.begin() + 1407));
    EXPECT_FAILS_WITH(KroGetCals(shortFile.get(), &h), KRO_ERR_CALS_HEADER_READ);
    EXPECT_FAILS_WITH(KroGetCals(nullptr, &h), KRO_ERR_NULL);
}

// Stands in for the encoder: notes each capacity offered, finds it too small
// the first `refusals` times, then codes.
std::vector<int32_t> offered;
int32_t refusals = 0, produced = 0;  // produced: codedLength of the last success
int32_t spyEncoder(const RsImage* src, int32_t x, int32_t y, int32_t pels, int32_t lines,
                   RsImage* coded, int32_t scheme, int32_t* status) {
    offered.push_back(coded->size);
    *status = GFX_ST_BUFFER_FULL;
    if (refusals-- > 0) return -1;
    const int32_t rc = GfxEncd(src, x, y, pels, lines, coded, scheme, status);
    produced = coded->codedLength;
    return rc;
}
struct Spy {
    explicit Spy(int32_t n) { offered.clear(), refusals = n, kro::calsSeams.encode = spyEncoder; }
    ~Spy() { kro::calsSeams.encode = GfxEncd; }
};

TEST(CalsWriter, PrintsTheRecordsAndCodesThePageOnce) {
    CalsHeader h = headerFor(1728, 2200);
    std::memset(h.txtfilid, 'A', 127);
    std::memset(h.notes, 'B', 128);  // no NUL at all: printed up to the field's end
    h.rdensity = 300.9;
    Image page(1728, 2200, 1);
    kt::drawF(&page);
    Spy spy(0);
    const Bytes file = writeCals(h, page.im);
    const Bytes want =
        headerBytes({"srcdocid: NONE", "dstdocid: ", "txtfilid: " + std::string(127, 'A'),
                     "figid: ", "srcgph: ", "doccls: ", "rtype: 1", "rorient: 000,270",
                     "rpelcnt: 001728,002200", "rdensty: 0300", "notes: " + std::string(128, 'B')});
    EXPECT_EQ(std::string(file.begin(), file.begin() + 2048),
              std::string(want.begin(), want.end()));
    // One coding, into a buffer that holds any coding of the page.
    ASSERT_EQ(offered.size(), 1u);
    EXPECT_GE(uint64_t(offered[0]), kro::g4WorstCaseBytes(1728, 2200));
    EXPECT_EQ(file.size(), 2048 + size_t(produced));

    // A coder that still finds it too small has failed.
    Spy refusing(1);
    kt::TempFile f;
    EXPECT_FAILS_WITH(KroRsImageToCals(f.get(), &h, &page.im), KRO_ERR_G4_ENCODE);
    EXPECT_EQ(offered.size(), 1u);
}

// The same rectangle coded by libtiff alone, line after line in one strip.
Bytes serialCoding(const Image& page, int32_t x, int32_t pels, int32_t lines) {
    char name[] = "/tmp/kro-g4-XXXXXX";
    const int fd = mkstemp(name);
    EXPECT_GE(fd, 0);
    close(fd);
    TIFF* tif = TIFFOpen(name, "w");
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(pels));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(lines));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, uint32_t(lines));
    Bytes row(size_t(pels + 7) / 8);
    for (int32_t y = 0; y < lines; ++y) {
        std::fill(row.begin(), row.end(), 0);
        for (int32_t i = 0; i < pels; ++i)
            if (kt::pixel(page.im, x + i, y)) row[size_t(i) / 8] |= uint8_t(0x80 >> (i % 8));
        TIFFWriteScanline(tif, row.data(), uint32_t(y), 0);
    }
    TIFFClose(tif);
    tif = TIFFOpen(name, "r");
    Bytes strip(size_t(TIFFGetStrileByteCount(tif, 0)));
    TIFFReadRawStrip(tif, 0, strip.data(), tmsize_t(strip.size()));
    TIFFClose(tif);
    std::remove(name);
    return strip;
}

TEST(CalsWriter, LargePagesCodeToTheSameBytesAsOneSerialCoding) {
    // Large enough to be coded in bands where there are several cores: noise
    // in one half, long runs and single pels in the other.
    Image page(2051, 1100, 1);
    uint32_t seed = 12345;
    for (int32_t y = 0; y < 1100; ++y)
        for (int32_t x = 0; x < 2051; ++x) {
            seed = seed * 1103515245u + 12345u;
            const bool black = y < 550 ? (seed >> 16) & 1 : (x / (1 + y % 97)) % 3 == 0 || x == y;
            kt::setPixel(&page.im, x, y, black);
        }
    page.im.validWidth = 2051;
    for (const auto& [x, pels] : {std::pair{0, 2051}, std::pair{3, 2040}}) {
        std::vector<unsigned char> buf(kro::g4WorstCaseBytes(pels, 1100));
        RsImage coded{};
        coded.size = int32_t(buf.size()), coded.format = KRO_FORMAT_G4, coded.depth = 1;
        coded.data = buf.data();
        int32_t status = -1;
        ASSERT_EQ(GfxEncd(&page.im, x, 0, pels, 1100, &coded, GFX_CODING_G4, &status), 0) << status;
        EXPECT_EQ(Bytes(buf.begin(), buf.begin() + coded.codedLength),
                  serialCoding(page, x, pels, 1100))
            << x;
        // One byte short of the coding is too small, and says so.
        coded.size = coded.codedLength - 1;
        EXPECT_EQ(GfxEncd(&page.im, x, 0, pels, 1100, &coded, GFX_CODING_G4, &status), -1);
        EXPECT_EQ(status, GFX_ST_BUFFER_FULL);
    }
}

TEST(CalsReader, EveryOrientationComesOutUpright) {
    // A 13 x 21 F, at the top left of a blank 24 x 32 image, tells every turn and flip apart.
    Image upright(24, 32, 1);
    upright.im.validWidth = 13, upright.im.validHeight = 21;
    kt::drawF(&upright);
    for (int32_t pelPath : {0, 90, 180, 270})
        for (int32_t progression : {270, 90}) {
            // Stored so that a counter-clockwise turn by the pel path, then a mirror
            // for line progression 90, makes it upright.
            const bool across = pelPath == 90 || pelPath == 270;
            const int32_t w = across ? 21 : 13, h = across ? 13 : 21;
            Image stored(w, h, 1);
            for (int32_t uy = 0; uy < 21; ++uy)
                for (int32_t ux = 0; ux < 13; ++ux) {
                    const int32_t x = progression == 90 ? 12 - ux : ux, y = uy;
                    const int32_t from[4][2] = {
                        {x, y}, {w - 1 - y, x}, {w - 1 - x, h - 1 - y}, {y, h - 1 - x}};
                    const auto [sx, sy] = from[pelPath / 90];
                    kt::setPixel(&stored.im, sx, sy, kt::pixel(upright.im, ux, uy));
                }
            const Bytes file = writeCals(headerFor(w, h, pelPath, progression), stored.im);
            for (int32_t spare : {0, 11}) {  // a larger image holds the picture at its top left
                Image back(13 + spare, 21 + spare, 1);
                ASSERT_EQ(readCals(file, &back), 0) << pelPath << "," << progression;
                EXPECT_TRUE(kt::samePixels(back.im, upright.im, back.im.width, back.im.height))
                    << pelPath << "," << progression << " +" << spare;
                EXPECT_EQ(std::tie(back.im.validWidth, back.im.validHeight), std::tuple(13, 21));
            }
        }
}

TEST(CalsImageChecks, ReaderAndWriterRefuseBadArgumentsAndWriteNothing) {
    // Upright the picture is 21 x 13; the writer codes it as stored, 13 x 21.
    const CalsHeader h = headerFor(13, 21, 90);
    CalsHeader bad = h, thin = h;
    bad.lineProgression = 180;
    thin.rdensity = 0.5;  // would print as 0000, which no reader takes
    Image both(24, 21, 1), wide(24, 13, 1), tall(16, 21, 1), low(24, 12, 1), gray(24, 21, 8);
    const Bytes file = writeCals(h, both.im);
    // A size of 0 is taken as not stated, as hosts that set only sides and buffer leave it.
    RsImage shortSize = both.im, unstated = both.im;
    shortSize.size -= 1;
    unstated.size = 0;
    const int32_t size = KRO_ERR_SIZE;
    const std::tuple<const CalsHeader*, RsImage*, int32_t, int32_t> cases[] = {
        {nullptr, &both.im, KRO_ERR_NULL, KRO_ERR_NULL},
        {&bad, nullptr, KRO_ERR_CALS_HEADER, KRO_ERR_CALS_HEADER},  // the header comes first
        {&thin, &both.im, 0, KRO_ERR_CALS_HEADER},
        {&h, &gray.im, KRO_ERR_DEPTH, KRO_ERR_DEPTH},
        {&h, &wide.im, 0, size},
        {&h, &tall.im, size, 0},
        {&h, &low.im, size, size},
        {&h, &shortSize, size, size},
        {&h, &unstated, 0, 0}};
    for (const auto& [header, image, readCode, writeCode] : cases) {
        kt::TempFile in(file), out;
        fndErrorStatus = 12345;  // success leaves the status alone
        EXPECT_EQ(KroCalsToRsImage(in.get(), header, image), readCode ? -1 : 0) << readCode;
        EXPECT_EQ(fndErrorStatus, readCode ? readCode : 12345);
        fndErrorStatus = 12345;
        EXPECT_EQ(KroRsImageToCals(out.get(), header, image), writeCode ? -1 : 0) << writeCode;
        EXPECT_EQ(fndErrorStatus, writeCode ? writeCode : 12345);
        EXPECT_EQ(out.contents(), writeCode ? Bytes{} : file) << writeCode;
    }
    EXPECT_EQ(unstated.size, 0) << "the caller's record is not changed";
}

TEST(CalsBadFiles, EachGivesItsCode) {
    const std::vector<kt::BadSample> samples = kt::badSamples("cals-");
    for (const kt::BadSample& bad : samples) {
        kt::TempFile f(kt::readFile(std::string(KRO_TEST_DATA) + "/bad/" + bad.name));
        CalsHeader h{};
        fndErrorStatus = 0;
        int32_t rc = KroGetCals(f.get(), &h);
        const int32_t side = std::max(h.pelsPerLine, h.numLines);  // holds it either way up
        Image image(side, side, 1);
        if (rc == 0) rc = KroCalsToRsImage(f.get(), &h, &image.im);
        EXPECT_EQ(rc, bad.code ? -1 : 0) << bad.name;
        EXPECT_EQ(fndErrorStatus, bad.code) << bad.name;
    }
    EXPECT_GE(samples.size(), 10u);
}

// A little-endian TIFF whose one strip is the Group 4 coding of a CALS file.
Bytes tiffAround(const Bytes& cals, uint32_t pels, uint32_t lines) {
    Bytes t = {'I', 'I', 42, 0, 8, 0, 0, 0, 9, 0};
    auto put = [&t](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) t.push_back(uint8_t(v >> (8 * i)));
    };
    const uint32_t entries[9][3] = {
        {256, 4, pels}, {257, 4, lines}, {258, 3, 1},
        {259, 3, 4},    {262, 3, 0},     {273, 4, 122},
        {277, 3, 1},    {278, 4, lines}, {279, 4, uint32_t(cals.size() - 2048)}};
    for (const auto& e : entries) put(e[0], 2), put(e[1], 2), put(1, 4), put(e[2], 4);
    put(0, 4);  // the strip follows at 8 + 2 + 9 * 12 + 4 = 122
    t.insert(t.end(), cals.begin() + 2048, cals.end());
    return t;
}

TEST(CalsInterop, OtherToolsReadOursAndWeReadTheirs) {
    if (!kt::haveTool("gm") || !kt::haveTool("tiffcp")) GTEST_SKIP() << "gm or tiffcp missing";
    const kt::TempDir tmp;
    const std::string dir = tmp.at("");
    Image page(1003, 701, 1);
    kt::drawF(&page);
    for (int32_t y = 5; y < 700; y += 3)
        for (int32_t x = (y * 7) % 11; x < 1003; x += 13 + y % 5) kt::setPixel(&page.im, x, y, 1);
    const Bytes pbm = kt::pnm(page.im);

    // Theirs, read by us.
    kt::writeFile(dir + "page.pbm", pbm);
    ASSERT_EQ(kt::run("cd " + dir + " && gm convert page.pbm cals:theirs.cal"), 0);
    Image back(1003, 701, 1);
    ASSERT_EQ(readCals(kt::readFile(dir + "theirs.cal"), &back), 0) << fndErrorStatus;
    EXPECT_TRUE(kt::samePixels(page.im, back.im, 1003, 701));

    // Ours, read by them: as a CALS file, and as a Group 4 strip in a TIFF.
    const Bytes ours = writeCals(headerFor(1003, 701), page.im);
    kt::writeFile(dir + "ours.cal", ours);
    kt::writeFile(dir + "g4.tif", tiffAround(ours, 1003, 701));
    ASSERT_EQ(kt::run("cd " + dir + " && gm convert cals:ours.cal pbm:cals.pbm && tiffcp -c none " +
                      "g4.tif plain.tif 2>err.txt && gm convert plain.tif pbm:tiff.pbm"),
              0);
    EXPECT_TRUE(kt::readFile(dir + "err.txt").empty()) << "libtiff complained";
    for (const char* file : {"cals.pbm", "tiff.pbm"})
        EXPECT_EQ(kt::readFile(dir + file), pbm) << file;
    // ImageMagick takes the density record only in the standard's spelling.
    if (kt::haveTool("convert")) {
        ASSERT_EQ(kt::run("cd " + dir + " && convert cals:ours.cal pbm:im.pbm"), 0);
        EXPECT_EQ(kt::readFile(dir + "im.pbm"), pbm);
    }
}

}  // namespace
