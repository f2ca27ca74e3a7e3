// CALS files: the header records, the reader's turning and mirroring, the
// writer's records and retries, malformed files, and interop with other tools.
#include "codecs/cals.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "kro/pixo.h"
#include "test_util.h"

namespace {

using kt::Bytes;
using kt::Image;
using kt::pixel;

std::string pad(std::string record) {
    record.resize(128, ' ');
    return record;
}

std::vector<std::string> standardRecords() {
    return {"srcdocid: NONE",         "dstdocid: NONE", "txtfilid: NONE", "figid: NONE",
            "srcgph: NONE",           "doccls: NONE",   "rtype: 1",       "rorient: 000,270",
            "rpelcnt: 001728,002200", "rdensity: 0200", "notes: NONE"};
}

Bytes headerBytes(const std::vector<std::string>& records) {
    Bytes out;
    for (const std::string& r : records) {
        const std::string p = pad(r);
        out.insert(out.end(), p.begin(), p.end());
    }
    out.insert(out.end(), 640, ' ');
    return out;
}

std::string recordAt(const Bytes& file, int n) {
    return std::string(file.begin() + n * 128, file.begin() + (n + 1) * 128);
}

CalsHeader headerFor(int32_t pels, int32_t lines, int32_t pelPath = 0, int32_t progression = 270) {
    CalsHeader h{};
    std::strcpy(h.srcdocid, "NONE");
    h.rtype = 1;
    h.pelPath = pelPath;
    h.lineProgression = progression;
    h.pelsPerLine = pels;
    h.numLines = lines;
    h.rdensity = 200;
    return h;
}

Bytes writeCals(const CalsHeader& h, const RsImage& im, int32_t* rc) {
    kt::TempFile f;
    *rc = KroRsImageToCals(f.get(), &h, &im);
    return f.contents();
}

int32_t readCals(const Bytes& file, Image* image, CalsHeader* h) {
    kt::TempFile f(file);
    if (KroGetCals(f.get(), h) != 0) return -1;
    return KroCalsToRsImage(f.get(), h, &image->im);
}

TEST(CalsHeader, RecordsAreReadAndCheckedOneByOne) {
    using Field = int32_t CalsHeader::*;
    const std::tuple<const char*, int, std::string, int32_t, Field, int32_t> cases[] = {
        {"standard", 0, "srcdocid: NONE", 0, &CalsHeader::numLines, 2200},
        {"two commas", 7, "rorient: 90,270,0", KRO_ERR_CALS_HEADER, &CalsHeader::pelPath, 0},
        {"comma first", 7, "rorient: ,270", KRO_ERR_CALS_HEADER, &CalsHeader::lineProgression, 0},
        // A later record with a number missing undoes the good one before it.
        {"comma last after a good one", 10, "rorient: 090,", KRO_ERR_CALS_HEADER,
         &CalsHeader::lineProgression, 0},
        {"two commas after a good one", 10, "rorient: 0,90,0", 0, &CalsHeader::lineProgression,
         270},
        {"turned, mirrored", 7, "rorient: 270,090", 0, &CalsHeader::lineProgression, 90},
        {"comma last", 8, "rpelcnt: 1728,", KRO_ERR_CALS_HEADER, &CalsHeader::pelsPerLine, 0},
        {"spaced numbers", 8, "rpelcnt:   17 , 22", 0, &CalsHeader::numLines, 22},
        {"no comma", 8, "rpelcnt: 1728 2200", KRO_ERR_CALS_HEADER, &CalsHeader::pelsPerLine, 0},
        {"32769 lines", 8, "rpelcnt: 000001,032769", KRO_ERR_CALS_HEADER, nullptr, 0},
        {"past 32 bits", 8, "rpelcnt: 99999999999999999999,1", KRO_ERR_CALS_HEADER,
         &CalsHeader::pelsPerLine, INT32_MAX},
        {"raster type 1a", 6, "rtype: 1a", KRO_ERR_CALS_HEADER, &CalsHeader::rtype, 0},
        {"raster type 2", 6, "rtype: 2", KRO_ERR_CALS_HEADER, &CalsHeader::rtype, 2},
        {"density 9999", 9, "rdensity: 9999", 0, nullptr, 0},
        {"density 10000", 9, "rdensity: 10000", KRO_ERR_CALS_HEADER, nullptr, 0},
    };
    for (const auto& [what, index, text, code, field, value] : cases) {
        std::vector<std::string> records = standardRecords();
        records[size_t(index)] = text;
        kt::TempFile f(headerBytes(records));
        CalsHeader h;
        fndErrorStatus = 0;
        EXPECT_EQ(KroGetCals(f.get(), &h), code ? -1 : 0) << what;
        EXPECT_EQ(fndErrorStatus, code) << what;
        EXPECT_TRUE(!field || h.*field == value) << what;
        EXPECT_TRUE(code || std::ftell(f.get()) == 1408) << what;
    }
    // The standard header, field by field; a decimal point spoils the density.
    std::vector<std::string> records = standardRecords();
    {
        kt::TempFile standard(headerBytes(records));
        CalsHeader h;
        ASSERT_EQ(KroGetCals(standard.get(), &h), 0);
        EXPECT_EQ(h.rtype, 1);
        EXPECT_EQ(h.pelPath, 0);
        EXPECT_EQ(h.lineProgression, 270);
        EXPECT_EQ(h.pelsPerLine, 1728);
        EXPECT_EQ(h.numLines, 2200);
        EXPECT_EQ(h.rdensity, 200.0);
        records[9] = "rdensity: 200.5";
        kt::TempFile decimal(headerBytes(records));
        EXPECT_FAILS_WITH(KroGetCals(decimal.get(), &h), KRO_ERR_CALS_HEADER);
        EXPECT_EQ(h.rdensity, 0.0);
    }
    // Text values lose their trailing spaces, unless they are nothing else.
    records = standardRecords();
    records[0] = "srcdocid: ";
    records[2] = "txtfilid:  A B  C";
    records[5] = "docls: MANUAL";  // the shorter spelling of the class record
    records[9] = "rdensty: 0300";  // and of the density record
    kt::TempFile f(headerBytes(records));
    CalsHeader h;
    ASSERT_EQ(KroGetCals(f.get(), &h), 0);
    EXPECT_EQ(std::string(h.srcdocid), std::string(118, ' '));
    EXPECT_STREQ(h.txtfilid, " A B  C");
    EXPECT_STREQ(h.doccls, "MANUAL");
    EXPECT_EQ(h.rdensity, 300.0);
}

TEST(CalsHeader, OrderDuplicatesShortFilesAndNulls) {
    std::vector<std::string> records = standardRecords();
    std::reverse(records.begin(), records.end());
    records[0] = "rpelcnt: 000010,000020";  // in place of notes; the later rpelcnt wins
    CalsHeader h;
    kt::TempFile f(headerBytes(records));
    ASSERT_EQ(KroGetCals(f.get(), &h), 0);
    EXPECT_EQ(h.pelsPerLine, 1728);
    EXPECT_STREQ(h.notes, "");

    Bytes cut = headerBytes(standardRecords());
    cut.resize(1407);
    kt::TempFile shortFile(cut);
    EXPECT_FAILS_WITH(KroGetCals(shortFile.get(), &h), KRO_ERR_CALS_HEADER_READ);
    std::memset(&h, 0x55, sizeof h);
    EXPECT_FAILS_WITH(KroGetCals(nullptr, &h), KRO_ERR_NULL);
    EXPECT_EQ(h.pelsPerLine, 0) << "the header is cleared first";
    EXPECT_FAILS_WITH(KroGetCals(f.get(), nullptr), KRO_ERR_NULL);

    records = standardRecords();
    records[0] = "rpelcnt: 12";  // fails at once: nothing more is read
    kt::TempFile early(headerBytes(records));
    EXPECT_FAILS_WITH(KroGetCals(early.get(), &h), KRO_ERR_CALS_HEADER);
    EXPECT_EQ(std::ftell(early.get()), 128);
}

// Stands in for the encoder: notes each capacity offered and refuses the
// first calls (all, when refusals is negative) with a chosen status.
struct EncoderSpy {
    static inline std::vector<int32_t> offered;
    static inline int refusals = 0;
    static inline int32_t refuseWith = 0;
    static inline int32_t produced = 0;  // codedLength of the last success
    static int32_t encode(const RsImage* src, int32_t x, int32_t y, int32_t pels, int32_t lines,
                          RsImage* coded, int32_t scheme, int32_t* status) {
        offered.push_back(coded->size);
        if (refusals == 0) {
            const int32_t rc = GfxEncd(src, x, y, pels, lines, coded, scheme, status);
            produced = coded->codedLength;
            return rc;
        }
        refusals -= refusals > 0;
        *status = refuseWith;
        return -1;
    }
    EncoderSpy(int refuse, int32_t with) {
        offered.clear();
        refusals = refuse;
        refuseWith = with;
        kro::calsEncoder = encode;
    }
    ~EncoderSpy() { kro::calsEncoder = GfxEncd; }
};

TEST(CalsWriter, RecordsArePrintedByteForByte) {
    CalsHeader h = headerFor(1728, 2200);
    std::memset(h.txtfilid, 'A', 127);
    std::memset(h.notes, 'B', 128);  // no NUL at all: printed up to the field's end
    h.rdensity = 300.9;
    Image page(1728, 2200, 1);
    kt::drawF(&page);
    EncoderSpy spy(0, 0);
    int32_t rc = -1;
    const Bytes file = writeCals(h, page.im, &rc);
    ASSERT_EQ(rc, 0);
    EXPECT_EQ(recordAt(file, 0), pad("srcdocid: NONE"));
    EXPECT_EQ(recordAt(file, 2), "txtfilid: " + std::string(118, 'A'));
    EXPECT_EQ(recordAt(file, 5), pad("doccls: "));
    EXPECT_EQ(recordAt(file, 6), pad("rtype: 1"));
    EXPECT_EQ(recordAt(file, 7), pad("rorient: 000,270"));
    EXPECT_EQ(recordAt(file, 8), pad("rpelcnt: 001728,002200"));
    EXPECT_EQ(recordAt(file, 9), pad("rdensity: 0300"));
    EXPECT_EQ(recordAt(file, 10), "notes: " + std::string(121, 'B'));
    EXPECT_EQ(std::string(file.begin() + 1408, file.begin() + 2048), std::string(640, ' '));

    EXPECT_EQ(file.size(), 2048 + size_t(EncoderSpy::produced));
}

TEST(CalsWriter, ChecksComeInOrderAndWriteNothing) {
    Image page(16, 8, 1), gray(16, 8, 8);
    const CalsHeader good = headerFor(16, 8), tooWide = headerFor(17, 8);
    CalsHeader badType = good, thin = good;
    badType.rtype = 2;
    thin.rdensity = 0.5;
    RsImage noData = page.im, coded = page.im, shortSize = page.im;
    noData.data = nullptr;
    coded.format = KRO_FORMAT_G4;
    shortSize.size -= 1;
    const std::tuple<const char*, const CalsHeader*, const RsImage*, int32_t> cases[] = {
        {"null header", nullptr, &page.im, KRO_ERR_NULL},
        {"bad header before the image", &badType, nullptr, KRO_ERR_CALS_HEADER},
        {"density that would print as 0000", &thin, &page.im, KRO_ERR_CALS_HEADER},
        {"null pixels", &good, &noData, KRO_ERR_NULL},
        {"gray image", &good, &gray.im, KRO_ERR_DEPTH},
        {"coded image", &good, &coded, KRO_ERR_FORMAT},
        {"region wider than the image", &tooWide, &page.im, KRO_ERR_SIZE},
        {"size short of the rows", &good, &shortSize, KRO_ERR_SIZE},
    };
    for (const auto& [what, header, image, code] : cases) {
        kt::TempFile f;
        EXPECT_FAILS_WITH(KroRsImageToCals(f.get(), header, image), code);
        EXPECT_TRUE(f.contents().empty()) << what;
    }
}

TEST(CalsWriter, RetriesWithOneMorePictureSizeUpToTheWorstCoding) {
    Image page(40, 30, 1);
    kt::drawF(&page);
    const int32_t plain = page.im.size;
    int32_t rc = -1;
    {
        EncoderSpy spy(2, GFX_ST_BUFFER_FULL);
        const Bytes file = writeCals(headerFor(40, 30), page.im, &rc);
        ASSERT_EQ(rc, 0);
        EXPECT_EQ(EncoderSpy::offered, (std::vector<int32_t>{plain, 2 * plain, 3 * plain}));
        EXPECT_EQ(file.size(), 2048 + size_t(EncoderSpy::produced)) << "only the last is written";
    }
    {
        // Refused for ever: it stops once the buffer could hold any coding of the picture.
        EncoderSpy spy(-1, GFX_ST_BUFFER_FULL);
        writeCals(headerFor(40, 30), page.im, &rc);
        EXPECT_EQ(fndErrorStatus, KRO_ERR_G4_ENCODE);
        const uint64_t worst = kro::g4WorstCaseBytes(40, 30), last = EncoderSpy::offered.back();
        EXPECT_TRUE(last >= worst && last - uint64_t(plain) < worst) << last;
    }
    {
        EncoderSpy spy(1, GFX_ST_CODING);
        writeCals(headerFor(40, 30), page.im, &rc);
        EXPECT_EQ(fndErrorStatus, KRO_ERR_G4_ENCODE);
        EXPECT_EQ(EncoderSpy::offered.size(), 1u);
    }
    {
        // A success that codes no byte leaves nothing to write.
        EncoderSpy spy(0, 0);
        kro::calsEncoder = [](const RsImage*, int32_t, int32_t, int32_t, int32_t, RsImage* coded,
                              int32_t, int32_t*) {
            coded->codedLength = 0;
            return int32_t(0);
        };
        const Bytes file = writeCals(headerFor(40, 30), page.im, &rc);
        EXPECT_EQ(rc, -1);
        EXPECT_EQ(fndErrorStatus, KRO_ERR_CALS_WRITE);
        EXPECT_EQ(file.size(), 2048u);
    }
    {
        // Random bits code larger than themselves: the real encoder asks for more.
        Image noise(1000, 60, 1);
        for (int32_t i = 0; i < noise.im.size; ++i)
            noise.im.data[i] = uint8_t(i * 2654435761u >> 13);
        EncoderSpy spy(0, 0);
        const Bytes file = writeCals(headerFor(1000, 60), noise.im, &rc);
        ASSERT_EQ(rc, 0);
        EXPECT_GT(EncoderSpy::offered.size(), 1u);
        Image back(1000, 60, 1);
        CalsHeader h;
        ASSERT_EQ(readCals(file, &back, &h), 0);
        EXPECT_TRUE(kt::samePixels(noise.im, back.im, 1000, 60));
    }
}

// A picture turned counter-clockwise by angle (or mirrored when angle is -1),
// pixel by pixel, into dst.
void transformNaive(const Image& src, int32_t angle, Image* dst) {
    const int32_t w = src.im.validWidth, h = src.im.validHeight;
    for (int32_t y = 0; y < dst->im.validHeight; ++y)
        for (int32_t x = 0; x < dst->im.validWidth; ++x) {
            const int32_t sx = angle == -1 || angle == 180 ? w - 1 - x
                               : angle == 90               ? w - 1 - y
                               : angle == 270              ? y
                                                           : x;
            const int32_t sy = angle == 90    ? x
                               : angle == 180 ? h - 1 - y
                               : angle == 270 ? h - 1 - x
                                              : y;
            kt::setPixel(&dst->im, x, y, pixel(src.im, sx, sy));
        }
}

TEST(CalsReader, EveryOrientationComesOutUpright) {
    // 13 x 21: neither side a multiple of 8, and the F tells every turn and flip apart.
    Image upright(13, 21, 1);
    kt::drawF(&upright);
    for (int32_t pelPath : {0, 90, 180, 270})
        for (int32_t progression : {270, 90})
            for (int32_t spare : {0, 11}) {  // a larger image holds the picture at its top left
                // Stored so that turning it by the pel path and, for line
                // progression 90, mirroring it gives the upright picture.
                Image mirrored(13, 21, 1);
                transformNaive(upright, progression == 90 ? -1 : 0, &mirrored);
                const bool across = pelPath == 90 || pelPath == 270;
                Image stored(across ? 21 : 13, across ? 13 : 21, 1);
                transformNaive(mirrored, (360 - pelPath) % 360, &stored);
                int32_t rc = -1;
                const Bytes file = writeCals(
                    headerFor(stored.im.validWidth, stored.im.validHeight, pelPath, progression),
                    stored.im, &rc);
                ASSERT_EQ(rc, 0);
                Image back(13 + spare, 21 + spare, 1);
                CalsHeader h;
                ASSERT_EQ(readCals(file, &back, &h), 0) << pelPath << "," << progression;
                for (int32_t y = 0; y < back.im.height; ++y)
                    for (int32_t x = 0; x < back.im.width; ++x)
                        ASSERT_EQ(pixel(back.im, x, y),
                                  x < 13 && y < 21 ? pixel(upright.im, x, y) : 0)
                            << pelPath << "," << progression << " +" << spare << " at " << x << ","
                            << y;
                EXPECT_EQ(back.im.validWidth, 13);
                EXPECT_EQ(back.im.validHeight, 21);
            }
}

TEST(CalsReader, ChecksTheImageAndTheCodedBytes) {
    Image picture(13, 21, 1);
    int32_t rc = -1;
    const Bytes file = writeCals(headerFor(13, 21, 90), picture.im, &rc);  // upright 21 x 13
    kt::TempFile f(file);
    CalsHeader h;
    ASSERT_EQ(KroGetCals(f.get(), &h), 0);
    Image narrow(16, 13, 1), low(24, 12, 1), gray(24, 13, 8), fits(24, 13, 1);
    RsImage shortSize = fits.im, coded = fits.im;
    shortSize.size -= 1;
    coded.format = KRO_FORMAT_G4;
    CalsHeader bad = h;
    bad.lineProgression = 180;
    EXPECT_FAILS_WITH(KroCalsToRsImage(f.get(), &bad, nullptr), KRO_ERR_CALS_HEADER);
    EXPECT_FAILS_WITH(KroCalsToRsImage(f.get(), &h, nullptr), KRO_ERR_NULL);
    EXPECT_FAILS_WITH(KroCalsToRsImage(f.get(), &h, &gray.im), KRO_ERR_DEPTH);
    EXPECT_FAILS_WITH(KroCalsToRsImage(f.get(), &h, &coded), KRO_ERR_FORMAT);
    EXPECT_FAILS_WITH(KroCalsToRsImage(f.get(), &h, &narrow.im), KRO_ERR_SIZE);
    EXPECT_FAILS_WITH(KroCalsToRsImage(f.get(), &h, &low.im), KRO_ERR_SIZE);
    EXPECT_FAILS_WITH(KroCalsToRsImage(f.get(), &h, &shortSize), KRO_ERR_SIZE);
    fndErrorStatus = 12345;
    EXPECT_EQ(KroCalsToRsImage(f.get(), &h, &fits.im), 0);
    EXPECT_EQ(fndErrorStatus, 12345) << "success leaves the status alone";
    // A host that prepares the image by width, height and buffer alone leaves
    // size at 0; the rows are then taken as stated, for reading and writing.
    RsImage unstated = fits.im;
    unstated.size = 0;
    EXPECT_EQ(KroCalsToRsImage(f.get(), &h, &unstated), 0);
    EXPECT_EQ(unstated.size, 0) << "the caller's record is not changed";
    EXPECT_EQ(unstated.validWidth, 21);
    RsImage unstatedSource = picture.im;
    unstatedSource.size = 0;
    kt::TempFile out;
    EXPECT_EQ(KroRsImageToCals(out.get(), &h, &unstatedSource), 0);
    EXPECT_EQ(out.contents(), file);

    // The coded bytes start at 2048: none is an error, one byte may be eight lines.
    std::vector<std::string> records = standardRecords();
    records[8] = "rpelcnt: 000008,000008";
    Bytes eight = headerBytes(records);
    Image image(8, 8, 1);
    EXPECT_EQ(readCals(eight, &image, &h), -1);
    EXPECT_EQ(fndErrorStatus, KRO_ERR_CALS_HEADER);
    eight.push_back(0xFF);  // eight one-bit codes: white lines, each like the one above
    std::memset(image.im.data, 0xFF, size_t(image.im.size));
    ASSERT_EQ(readCals(eight, &image, &h), 0);
    EXPECT_EQ(std::count(image.im.data, image.im.data + image.im.size, 0), 8);
}

TEST(CalsBadFiles, EachGivesItsCode) {
    const std::string dir = std::string(KRO_TEST_DATA) + "/bad/";
    std::ifstream list(dir + "README.md");
    int seen = 0;
    for (std::string line; std::getline(list, line);) {
        if (line.rfind("- cals-", 0) != 0) continue;  // "- name: code — reason"
        const std::string name = line.substr(2, line.find(':') - 2);
        const int32_t code = std::atoi(line.c_str() + line.find(':') + 1);
        kt::TempFile f(kt::readFile(dir + name));
        CalsHeader h;
        fndErrorStatus = 0;
        int32_t rc = KroGetCals(f.get(), &h);
        if (rc == 0) {
            const bool across = h.pelPath == 90 || h.pelPath == 270;
            Image image(across ? h.numLines : h.pelsPerLine, across ? h.pelsPerLine : h.numLines,
                        1);
            rc = KroCalsToRsImage(f.get(), &h, &image.im);
        }
        EXPECT_EQ(rc, code ? -1 : 0) << name;
        EXPECT_EQ(fndErrorStatus, code) << name;
        ++seen;
    }
    EXPECT_GE(seen, 10);
}

struct TempDir {
    std::filesystem::path path;
    TempDir() {
        char name[] = "/tmp/kro-cals-XXXXXX";
        path = mkdtemp(name);
    }
    ~TempDir() { std::filesystem::remove_all(path); }
    std::string operator/(const char* file) const { return (path / file).string(); }
};

// A raw PBM (1 is black) of the picture, and back.
Bytes pbmOf(const Image& image) {
    const RsImage& im = image.im;
    const std::string head =
        "P4\n" + std::to_string(im.validWidth) + " " + std::to_string(im.validHeight) + "\n";
    Bytes out(head.begin(), head.end());
    out.insert(out.end(), im.data, im.data + im.size);  // rows are whole bytes either way
    return out;
}

std::unique_ptr<Image> fromPbm(const Bytes& pbm) {
    int w = 0, h = 0, at = 0;
    const std::string text(pbm.begin(), pbm.begin() + long(std::min<size_t>(pbm.size(), 64)));
    if (std::sscanf(text.c_str(), "P4 %d %d%n", &w, &h, &at) != 2 || w < 1 || h < 1) return nullptr;
    auto image = std::make_unique<Image>(w, h, 1);
    if (pbm.size() < size_t(at) + 1 + size_t(image->im.size)) return nullptr;
    std::memcpy(image->im.data, pbm.data() + at + 1, size_t(image->im.size));
    return image;
}

// A TIFF around coded bytes, as its one Group 4 strip.
Bytes wrapInTiff(const unsigned char* coded, size_t n, uint32_t pels, uint32_t lines) {
    Bytes t = {'I', 'I', 42, 0, 8, 0, 0, 0, 9, 0};
    auto put = [&t](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) t.push_back(uint8_t(v >> (8 * i)));
    };
    const uint32_t entries[9][3] = {{256, 4, pels}, {257, 4, lines}, {258, 3, 1},
                                    {259, 3, 4},    {262, 3, 0},     {273, 4, 122},
                                    {277, 3, 1},    {278, 4, lines}, {279, 4, uint32_t(n)}};
    for (const auto& e : entries) {
        put(e[0], 2), put(e[1], 2), put(1, 4), put(e[2], 4);
    }
    put(0, 4);  // the strip follows at 8 + 2 + 9 * 12 + 4 = 122
    t.insert(t.end(), coded, coded + n);
    return t;
}

TEST(CalsInterop, OtherToolsReadOursAndWeReadTheirs) {
    if (!kt::haveTool("gm") || !kt::haveTool("tiffcp")) GTEST_SKIP() << "gm or tiffcp missing";
    TempDir dir;
    Image page(1003, 701, 1);
    kt::drawF(&page);
    for (int32_t y = 5; y < 700; y += 3)
        for (int32_t x = (y * 7) % 11; x < 1003; x += 13 + y % 5) kt::setPixel(&page.im, x, y, 1);

    // Theirs, read by us.
    kt::writeFile(dir / "page.pbm", pbmOf(page));
    ASSERT_EQ(kt::run("gm convert " + dir / "page.pbm" + " cals:" + dir / "theirs.cal"), 0);
    Image back(1003, 701, 1);
    CalsHeader h;
    ASSERT_EQ(readCals(kt::readFile(dir / "theirs.cal"), &back, &h), 0) << fndErrorStatus;
    EXPECT_TRUE(kt::samePixels(page.im, back.im, 1003, 701));

    // Ours, read by them: as a CALS file, and as a Group 4 strip in a TIFF.
    int32_t rc = -1;
    const Bytes ours = writeCals(headerFor(1003, 701), page.im, &rc);
    ASSERT_EQ(rc, 0);
    kt::writeFile(dir / "ours.cal", ours);
    kt::writeFile(dir / "g4.tif", wrapInTiff(ours.data() + 2048, ours.size() - 2048, 1003, 701));
    ASSERT_EQ(kt::run("gm convert cals:" + dir / "ours.cal" + " pbm:" + dir / "cals.pbm"), 0);
    ASSERT_EQ(kt::run("tiffcp -c none " + dir / "g4.tif" + " " + dir / "plain.tif" + " 2>" +
                      dir / "err.txt"),
              0);
    EXPECT_TRUE(kt::readFile(dir / "err.txt").empty()) << "libtiff complained";
    ASSERT_EQ(kt::run("gm convert " + dir / "plain.tif" + " pbm:" + dir / "tiff.pbm"), 0);
    for (const char* name : {"cals.pbm", "tiff.pbm"}) {
        const auto decoded = fromPbm(kt::readFile(dir / name));
        ASSERT_TRUE(decoded) << name;
        EXPECT_TRUE(kt::samePixels(page.im, decoded->im, 1003, 701)) << name;
    }
}

}  // namespace
