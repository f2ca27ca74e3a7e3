// PostScript documents: exact text, run packing, page state, refused calls,
// and Ghostscript drawing the pages back to their pixels.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>

#include "codecs/ps.h"
#include "test_util.h"

namespace {

using kt::Bytes;
using kt::Image;

constexpr std::time_t kNoon = 1700000000;

// Documents written while one lives carry the date of kNoon.
struct FixedClock {
    kro::PsSeams saved = kro::psSeams;
    FixedClock() {
        kro::psSeams.clock = [](std::time_t* t) { return t ? *t = kNoon : kNoon; };
    }
    ~FixedClock() { kro::psSeams = saved; }
};

std::string dateLine() {
    char date[64];
    return std::string("%%CreationDate: ") + ctime_r(&kNoon, date);
}

struct Page {
    const RsImage* image;
    int32_t photometric;
    const unsigned char* palette = nullptr;
    int32_t xdpi = 72, ydpi = 72;
};

std::string document(const std::vector<Page>& pages, const char* title = "T") {
    FixedClock clock;
    kt::TempFile f;
    EXPECT_EQ(KroPutPSHeader(f.get(), nullptr, title), 0);
    for (const Page& p : pages)
        EXPECT_EQ(KroRsImageToPS(f.get(), p.image, p.palette, p.photometric, p.xdpi, p.ydpi), 0)
            << fndErrorStatus;
    EXPECT_EQ(KroPutPSFooter(f.get()), 0);
    return f.text();
}

// Pictures of random pixels; palette pictures get runs of random lengths.
void scramble(Image* image, uint32_t seed, bool runs = false) {
    std::mt19937 rng(seed);
    const size_t n = size_t(image->im.size);
    for (size_t i = 0; i < n;) {
        const size_t len = runs ? 1 + rng() % 300 : 1;
        const auto v = uint8_t(rng());
        for (size_t k = 0; k < len && i < n; ++k) image->im.data[i++] = v;
    }
}

}  // namespace

// Pages of every kind against a stored document, whose text was checked line by
// line; the date comes from the clock.
TEST(PsDocument, PagesMatchTheStoredDocument) {
    Image bilevel(16, 2, 1), rgb(19, 11, 24), pal(21, 9, 8), gray(75, 3, 8);
    kt::drawF(&rgb), kt::drawF(&pal), scramble(&gray, 3);
    unsigned char palette[768];
    for (int i = 0; i < 768; ++i) palette[i] = uint8_t(i * 37 + i / 256);
    std::string doc = document({{&bilevel.im, KRO_PHOTO_WHITE_IS_ZERO},
                                {&bilevel.im, KRO_PHOTO_BLACK_IS_ZERO},
                                {&rgb.im, KRO_PHOTO_RGB, nullptr, 300, 150},
                                {&pal.im, KRO_PHOTO_PALETTE, palette, 200, 200},
                                {&gray.im, KRO_PHOTO_BLACK_IS_ZERO, nullptr, 100, 300}});
    const std::string stored = std::string(KRO_TEST_DATA) + "/ps-pages.ps";
    if (std::getenv("KRO_WRITE_GOLDEN")) kt::writeFile(stored, Bytes(doc.begin(), doc.end()));
    const Bytes want = kt::readFile(stored);
    std::string expected(want.begin(), want.end());
    const size_t at = doc.find("%%CreationDate: ");
    ASSERT_EQ(doc.substr(at, doc.find('\n', at) + 1 - at), dateLine());
    for (std::string* s : {&doc, &expected}) s->erase(at, s->find('\n', at) - at);
    EXPECT_EQ(doc, expected);
    EXPECT_NE(doc.find("image\nffffffff\n"), std::string::npos);
    EXPECT_NE(doc.find("image\n00000000\n"), std::string::npos);
}

struct PackCase {
    Bytes row, packed;
};

TEST(PsPackRow, GroupsRunsAndLiterals) {
    const Bytes run300(300, 9);
    const PackCase cases[] = {
        {run300, {0x7f, 9, 0x7f, 9, 0x2b, 9}},
        {{1, 2, 3}, {0x82, 1, 2, 3}},
        {{5, 6, 6}, {0x81, 5, 6, 0x00, 6}},
        {{5}, {0x00, 5}},
        {{5, 5, 6}, {0x01, 5, 0x00, 6}},
        {{5, 6, 5, 5, 5}, {0x82, 5, 6, 5, 0x01, 5}},
    };
    for (const PackCase& c : cases) {
        Bytes out(2 * c.row.size());
        out.resize(kro::psPackRow(c.row.data(), c.row.size(), out.data()));
        EXPECT_EQ(out, c.packed) << "row of " << c.row.size();
    }
}

// The grouping a byte at a time, as the packer did before it took lone bytes
// many at a time: its groups must stay the same bytes.
Bytes packOneByOne(const Bytes& row) {
    Bytes out;
    size_t start = 0, length = 0;
    bool run = false;
    const auto emit = [&] {
        out.push_back(uint8_t(run ? length - 1 : 128 + length - 1));
        out.insert(out.end(), row.begin() + long(start),
                   row.begin() + long(start + (run ? 1 : length)));
        length = 0;
    };
    for (size_t i = 0; i < row.size(); ++i) {
        const bool same = i > 0 && row[i] == row[i - 1];
        if (length == 0) {
            start = i, length = 1, run = true;
        } else if (run ? !same && length >= 2 : same && length >= 2) {
            emit();
            start = i, length = 1, run = true;
        } else {
            run = same;
            ++length;
        }
        if (length == 128) emit();
    }
    if (length) emit();
    return out;
}

TEST(PsPackRow, UnpacksToTheRowWithinTwiceItsLength) {
    std::mt19937 rng(7);
    for (int trial = 0; trial < 500; ++trial) {
        Bytes row(1 + rng() % 700);
        // Few, some and many equal neighbours; long literals cross the
        // group's limit of 128.
        const unsigned spread[] = {3, 40, 256};
        for (auto& b : row) b = uint8_t(rng() % spread[trial % 3]);
        Bytes packed(2 * row.size()), back;
        packed.resize(kro::psPackRow(row.data(), row.size(), packed.data()));
        ASSERT_EQ(packed, packOneByOne(row)) << "trial " << trial;
        for (size_t i = 0; i < packed.size();) {
            const unsigned control = packed[i++];
            if (control < 128)
                back.insert(back.end(), control + 1, packed[i++]);
            else
                for (unsigned k = 0; k < control - 127; ++k) back.push_back(packed[i++]);
        }
        ASSERT_EQ(back, row) << "trial " << trial;
    }
}

TEST(PsDocument, ScaleAndBoundingBoxFollowThePages) {
    Image a(400, 200, 8), b(100, 50, 8), c(80, 90, 8), d(10, 10, 8);
    std::string doc = document({{&a.im, 1, nullptr, 400, 100}});
    EXPECT_NE(doc.find("\n72.000000 144.000000 scale\n"), std::string::npos);
    EXPECT_NE(doc.find("%%BoundingBox: 0 0 72 144\n"), std::string::npos);
    doc = document({{&b.im, 1}, {&c.im, 0}, {&d.im, 1}});
    EXPECT_NE(doc.find("%%Pages: 3\n%%BoundingBox: 0 0 100 90\n"), std::string::npos);

    // Pages without a header count on; the next header starts afresh.
    kt::TempFile f;
    EXPECT_EQ(KroRsImageToPS(f.get(), &d.im, nullptr, 1, 72, 72), 0);
    EXPECT_EQ(KroPutPSFooter(f.get()), 0);
    EXPECT_NE(f.text().find("%%Page: 4 4\n"), std::string::npos);
    EXPECT_NE(f.text().find("%%Pages: 4\n%%BoundingBox: 0 0 100 90\n"), std::string::npos);
    EXPECT_NE(document({}).find("%%Pages: 0\n%%BoundingBox: 0 0 0 0\n"), std::string::npos);

    // The box holds a page's every part of a point: one pixel at 600 dpi is 0.12.
    Image dot(1, 1, 1), gray(5, 3, 8);
    EXPECT_NE(document({{&dot.im, 1, nullptr, 600, 600}}).find("%%BoundingBox: 0 0 1 1\n"),
              std::string::npos);
    gray.im.validWidth = 3;  // 3 of 5 stored columns: 3 x 72 / 100 = 2.16 points
    EXPECT_NE(document({{&gray.im, 1, nullptr, 100, 72}}).find("%%BoundingBox: 0 0 3 3\n"),
              std::string::npos);
}

// A stored row wider than the picture draws only the picture's columns: the
// scan string, the image size and the data rows all hold validWidth pixels.
TEST(PsDocument, PaddedRowsDrawTheirValidWidth) {
    Image bilevel(17, 2, 1), wideBilevel(24, 2, 1), gray(6, 2, 8), rgb(3, 2, 24), pal(6, 2, 8);
    for (Image* im : {&bilevel, &wideBilevel, &gray, &rgb, &pal})
        for (int32_t i = 0; i < im->im.size; ++i) im->im.data[i] = uint8_t(0x11 * (i % 15 + 1));
    wideBilevel.im.validWidth = 9;  // rows of 3 bytes, of which 2 are drawn
    gray.im.validWidth = 4, rgb.im.validWidth = 2, pal.im.validWidth = 5;
    unsigned char palette[768] = {};
    const struct {
        Page page;
        const char* text;
    } cases[] = {
        {{&bilevel.im, 1},
         "/scan 3 string def\n17.000000 2.000000 scale\n17 2 1\n[17 0 0 -2 0 2]\n"
         "{currentfile scan readhexstring pop}\nimage\n112233445566\n"},
        {{&wideBilevel.im, 0},
         "/scan 2 string def\n9.000000 2.000000 scale\n9 2 1\n"
         "[9 0 0 -2 0 2]\n{currentfile scan readhexstring pop}\nimage\n"
         "eeddbbaa\n"},
        {{&gray.im, 1},
         "/scan 4 string def\n4.000000 2.000000 scale\n4 2 8\n[4 0 0 -2 0 2]\n"
         "{currentfile scan readhexstring pop}\nimage\n11223344778899aa\n"},
        {{&rgb.im, 2}, "false 3 colorimage\n112233445566aabbccddeeff\n"},
        {{&pal.im, 3, palette}, "5 2 8\n[5 0 0 -2 0 2]\ncmapdata\n84112233445584778899aabb\n"},
    };
    for (const auto& c : cases) {
        const std::string doc = document({c.page});
        EXPECT_NE(doc.find(c.text), std::string::npos) << doc.substr(doc.find("gsave"));
    }
}

TEST(PsDocument, ControlCharactersInHeaderTextBecomeSpaces) {
    FixedClock clock;
    kt::TempFile f;
    ASSERT_EQ(KroPutPSHeader(f.get(), "me\r\x7f", "a\nshowpage\tb"), 0);
    EXPECT_EQ(f.text(), "%!PS-Adobe-1.0\n%%Title: a showpage b\n%%Creator: me  \n" + dateLine() +
                             "%%Pages: (atend)\n%%BoundingBox: (atend)\n%%EndComments\n");
}

TEST(PsDocument, RefusedCallsGiveTheirCodes) {
    Image gray(4, 4, 8), rgb(4, 4, 24);
    unsigned char palette[768] = {};
    kt::TempFile f;
    EXPECT_FAILS_WITH(KroPutPSHeader(nullptr, "c", "t"), KRO_ERR_PS_NULL_ARG);
    EXPECT_FAILS_WITH(KroPutPSHeader(f.get(), "c", nullptr), KRO_ERR_PS_NULL_ARG);
    EXPECT_FAILS_WITH(KroPutPSFooter(nullptr), KRO_ERR_PS_NULL_ARG);
    ASSERT_EQ(KroPutPSHeader(f.get(), nullptr, "t"), 0);
    const size_t header = f.contents().size();

    // Refused before anything is written: no page is counted.
    RsImage noData = gray.im, narrow = gray.im, tall = gray.im, coded = gray.im;
    noData.data = nullptr, narrow.width = 0, tall.height = KRO_MAX_SIDE + 1;
    coded.format = KRO_FORMAT_G4;
    const struct {
        FILE* stream;
        const RsImage* image;
        const unsigned char* palette;
        int32_t photometric, xdpi, ydpi, code;
    } before[] = {
        {nullptr, nullptr, palette, -1, 0, 0, KRO_ERR_PS_NULL_ARG},
        {f.get(), nullptr, palette, -1, 0, 0, KRO_ERR_NULL},
        {f.get(), &gray.im, palette, -1, 0, 0, KRO_ERR_DEPTH},
        {f.get(), &gray.im, palette, 9, 72, 72, KRO_ERR_DEPTH},
        {f.get(), &gray.im, palette, 0x1FFFF, 72, 72, KRO_ERR_DEPTH},  // low half -1
        {f.get(), &noData, palette, 1, 0, 72, KRO_ERR_RESOLUTION},
        {f.get(), &noData, palette, 1, 72, -3, KRO_ERR_RESOLUTION},
        {f.get(), &noData, palette, 1, 72, 72, KRO_ERR_NULL},
        {f.get(), &narrow, palette, 1, 72, 72, KRO_ERR_SIZE},
        {f.get(), &tall, palette, 1, 72, 72, KRO_ERR_SIZE},
        {f.get(), &coded, palette, 1, 72, 72, KRO_ERR_FORMAT},
        {f.get(), &gray.im, nullptr, 3, 72, 72, KRO_ERR_NULL},
    };
    for (const auto& c : before) {
        EXPECT_FAILS_WITH(
            KroRsImageToPS(c.stream, c.image, c.palette, c.photometric, c.xdpi, c.ydpi), c.code);
        EXPECT_EQ(f.contents().size(), header) << c.code;
    }

    // Refused after the page has begun: the page is counted and its two lines stay.
    const struct {
        const RsImage* image;
        int32_t photometric, code;
    } after[] = {{&gray.im, 4, KRO_ERR_PHOTOMETRIC}, {&gray.im, 0x10008, KRO_ERR_PHOTOMETRIC},
                 {&rgb.im, 0, KRO_ERR_DEPTH},        {&gray.im, 2, KRO_ERR_DEPTH},
                 {&rgb.im, 3, KRO_ERR_DEPTH}};
    std::string lines;
    int page = 0;
    for (const auto& c : after) {
        EXPECT_FAILS_WITH(KroRsImageToPS(f.get(), c.image, palette, c.photometric, 72, 72),
                          c.code);
        const std::string n = std::to_string(++page);
        lines += "gsave\n%%Page: " + n + " " + n + "\n";
    }
    EXPECT_EQ(f.text().substr(header), lines);

    // A stream that cannot be written is a failure, not a success.
    FILE* readOnly = std::fopen("/dev/null", "r");
    ASSERT_TRUE(readOnly);
    EXPECT_FAILS_WITH(KroRsImageToPS(readOnly, &rgb.im, nullptr, 2, 72, 72), KRO_ERR_IO);
    EXPECT_FAILS_WITH(KroPutPSHeader(readOnly, nullptr, "t"), KRO_ERR_IO);
    std::fclose(readOnly);
}

namespace {

// Ghostscript's drawing of every page of a document at xdpi x ydpi on a page
// of w x h device pixels, top row first: rows of RGB, or with pbmraw rows of
// bits (1 is black).
std::vector<Bytes> render(const std::string& doc, int w, int h, int xdpi, int ydpi,
                          const std::string& prologue = "", const std::string& device = "ppmraw") {
    const kt::TempDir tmp;
    const std::string dir = tmp.path.string();
    kt::writeFile(dir + "/doc.ps", Bytes(doc.begin(), doc.end()));
    const std::string cmd =
        "gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=" + device + " -r" + std::to_string(xdpi) + "x" +
        std::to_string(ydpi) + " -g" + std::to_string(w) + "x" + std::to_string(h) + " -o " + dir +
        "/p%d.ppm " + (prologue.empty() ? "" : "-c '" + prologue + "' -f ") + dir + "/doc.ps";
    std::vector<Bytes> pages;
    if (kt::run(cmd) == 0)
        for (int i = 1; std::filesystem::exists(dir + "/p" + std::to_string(i) + ".ppm"); ++i) {
            const Bytes ppm = kt::readFile(dir + "/p" + std::to_string(i) + ".ppm");
            const size_t row = device == "pbmraw" ? (size_t(w) + 7) / 8 : size_t(w) * 3;
            const size_t pixels = row * size_t(h);
            pages.emplace_back(ppm.end() - long(std::min(pixels, ppm.size())), ppm.end());
        }
    return pages;
}

// The colour a page's pixel should be drawn in.
uint32_t expectedColour(const Page& p, int32_t x, int32_t y) {
    const uint32_t v = kt::pixel(*p.image, x, y);
    auto gray = [](uint32_t g) { return g << 16 | g << 8 | g; };
    switch (p.photometric) {
        case 0: return p.image->depth == 1 ? (v ? 0 : 0xFFFFFF) : gray(255 - v);
        case 1: return p.image->depth == 1 ? (v ? 0xFFFFFF : 0) : gray(v);
        case 3: return uint32_t(p.palette[v]) << 16 | p.palette[256 + v] << 8 | p.palette[512 + v];
        default: return v;
    }
}

// Checks each page's picture at the lower left of its drawing and white around it.
void expectDrawn(const std::vector<Bytes>& drawn, const std::vector<Page>& pages, int w, int h,
                 uint32_t (*colourOf)(const Page&, int32_t, int32_t)) {
    ASSERT_EQ(drawn.size(), pages.size());
    for (size_t i = 0; i < pages.size(); ++i) {
        const RsImage& im = *pages[i].image;
        int wrong = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const int iy = y - (h - im.height);
                const bool inside = x < im.validWidth && iy >= 0;
                const uint32_t want = inside ? colourOf(pages[i], x, iy) : 0xFFFFFF;
                const unsigned char* got = &drawn[i][3 * (size_t(y) * size_t(w) + size_t(x))];
                if ((uint32_t(got[0]) << 16 | got[1] << 8 | got[2]) != want) ++wrong;
            }
        EXPECT_EQ(wrong, 0) << "page " << i + 1 << " photometric " << pages[i].photometric;
    }
}

}  // namespace

TEST(PsGhostscript, EveryPageDrawsItsPixels) {
    if (!kt::haveTool("gs")) GTEST_SKIP() << "gs missing";
    Image bilevel(13, 7, 1), gray(21, 9, 8), rgb(19, 11, 24), pal(300, 6, 8);
    kt::drawF(&bilevel), scramble(&gray, 5), scramble(&rgb, 6), scramble(&pal, 7, true);
    unsigned char palette[768];
    for (int i = 0; i < 768; ++i) palette[i] = uint8_t(i * 73 + 11);
    std::vector<Page> pages;
    for (int32_t photometric : {0, 1}) {
        pages.push_back({&bilevel.im, photometric, nullptr, 150, 100});
        pages.push_back({&gray.im, photometric, nullptr, 150, 100});
    }
    pages.push_back({&rgb.im, KRO_PHOTO_RGB, nullptr, 150, 100});
    pages.push_back({&pal.im, KRO_PHOTO_PALETTE, palette, 150, 100});

    // Stored rows longer than the picture: the rest of each row is not drawn.
    Image bilevel17(17, 7, 1), grayPadded(21, 9, 8), rgbPadded(19, 11, 24), palPadded(300, 6, 8);
    for (Image* im : {&bilevel17, &grayPadded, &rgbPadded, &palPadded})
        std::memset(im->im.data, 0x5A, size_t(im->im.size));
    grayPadded.im.validWidth = 16, rgbPadded.im.validWidth = 12, palPadded.im.validWidth = 250;
    for (const Image* im : {&bilevel17, &grayPadded})
        for (int32_t photometric : {0, 1})
            pages.push_back({&im->im, photometric, nullptr, 150, 100});
    pages.push_back({&rgbPadded.im, KRO_PHOTO_RGB, nullptr, 150, 100});
    pages.push_back({&palPadded.im, KRO_PHOTO_PALETTE, palette, 150, 100});
    expectDrawn(render(document(pages), 320, 12, 150, 100), pages, 320, 12, expectedColour);
}

// A 17-pixel-wide bilevel picture from another writer (rows stored 24 wide,
// the padding bits black) draws 17 columns, bit for bit.
TEST(PsGhostscript, PeerBilevelPictureDrawsItsOwnWidth) {
    if (!kt::haveTool("gs")) GTEST_SKIP() << "gs missing";
    const std::string peer = std::string(KRO_TEST_DATA) + "/peer/netpbm-1bit-17.pcx";
    kt::TempFile pcx(kt::readFile(peer));
    kt::Decoded d;
    ASSERT_EQ(KroPCXToRsImage(pcx.get(), &d.im, &d.photometric, d.res, d.pal), 0);
    ASSERT_EQ(std::tie(d.im.width, d.im.validWidth, d.im.height), std::make_tuple(24, 17, 17));
    const Page page{&d.im, d.photometric, nullptr, 72, 72};
    const std::string doc = document({page});
    EXPECT_NE(doc.find("%%BoundingBox: 0 0 17 17\n"), std::string::npos);

    // pcxtoppm's reading of the file: the last 17 x 17 RGB pixels.
    const Bytes ppm = kt::readFile(peer + ".ppm");
    ASSERT_GE(ppm.size(), 17u * 17u * 3u);
    const unsigned char* want = ppm.data() + ppm.size() - 17 * 17 * 3;
    const std::vector<Bytes> drawn = render(doc, 32, 17, 72, 72, "", "pbmraw");
    ASSERT_EQ(drawn.size(), 1u);
    int wrong = 0;
    for (int32_t y = 0; y < 17; ++y)
        for (int32_t x = 0; x < 32; ++x) {
            const bool black = drawn[0][size_t(y) * 4 + size_t(x) / 8] >> (7 - x % 8) & 1;
            wrong += black != (x < 17 && want[3 * size_t(17 * y + x)] == 0);
        }
    EXPECT_EQ(wrong, 0);
}

TEST(PsGhostscript, WithoutColorimageColourPagesDrawGray) {
    if (!kt::haveTool("gs")) GTEST_SKIP() << "gs missing";
    Image rgb(19, 11, 24), pal(140, 5, 8);
    scramble(&rgb, 8), scramble(&pal, 9, true);
    unsigned char palette[768];
    for (int i = 0; i < 768; ++i) palette[i] = uint8_t(i * 91 + 5);
    const std::vector<Page> pages = {{&rgb.im, KRO_PHOTO_RGB, nullptr, 96, 96},
                                     {&pal.im, KRO_PHOTO_PALETTE, palette, 96, 96}};
    // A printer without colorimage: where no longer finds it.
    const std::string hide =
        "/where { dup /colorimage eq { pop false } { systemdict /where get exec } ifelse } "
        "bind def";
    expectDrawn(render(document(pages), 140, 11, 96, 96, hide), pages, 140, 11,
                [](const Page& p, int32_t x, int32_t y) {
                    const uint32_t c = expectedColour(p, x, y);
                    const uint32_t g = ((c >> 16) * 20 + (c >> 8 & 255) * 32 + (c & 255) * 12) / 64;
                    return g << 16 | g << 8 | g;
                });
}
