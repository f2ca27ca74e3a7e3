// PDF documents: the cross-reference table against the bytes, coded data
// copied as it is, refused pages that leave the document whole, and
// Ghostscript drawing the pages back to their pixels.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>

#include "codecs/jpeg.h"
#include "codecs/pdf.h"
#include "kro/pixo.h"
#include "test_util.h"

namespace {

using kt::Bytes;
using kt::Image;

struct Page {
    const RsImage* image;
    int32_t photometric;
    const unsigned char* palette = nullptr;
    int32_t xdpi = 144, ydpi = 72;  // half a point a pixel across: page sides stay whole
};

std::string document(const std::vector<Page>& pages) {
    kt::TempFile f;
    EXPECT_EQ(KroPutPDFHeader(f.get(), "test", "T"), 0);
    for (const Page& p : pages)
        EXPECT_EQ(KroRsImageToPDF(f.get(), p.image, p.palette, p.photometric, p.xdpi, p.ydpi), 0)
            << fndErrorStatus;
    EXPECT_EQ(KroPutPDFFooter(f.get()), 0);
    return f.text();
}

void scramble(Image* image, uint32_t seed) {
    std::mt19937 rng(seed);
    for (int32_t i = 0; i < image->im.size; ++i) image->im.data[i] = uint8_t(rng());
}

// Group 4 data of the bilevel picture, as the CALS writer codes it.
Bytes g4Of(const Image& image) {
    Bytes coded(size_t(image.im.width) * size_t(image.im.height) + 1024);
    RsImage out{};
    out.size = int32_t(coded.size());
    out.format = KRO_FORMAT_G4;
    out.depth = 1;
    out.data = coded.data();
    int32_t status = 0;
    EXPECT_EQ(GfxEncd(&image.im, 0, 0, image.im.validWidth, image.im.height, &out, GFX_CODING_G4,
                      &status),
              0);
    coded.resize(size_t(out.codedLength));
    return coded;
}

// The bytes of the n-th stream (from 0) of a document.
std::string streamBytes(const std::string& doc, int n) {
    size_t at = 0;
    for (int i = 0; i <= n; ++i) at = doc.find("stream\n", doc.find(">>\nstream\n", at) + 1);
    const size_t start = at + 7;
    return doc.substr(start, doc.find("\nendstream", start) - start);
}

// Checks the table and the trailer against the document: each offset starts
// its object, every stream's length is its data's.
void expectWellFormed(const std::string& doc, size_t pages) {
    ASSERT_EQ(doc.compare(0, 9, "%PDF-1.4\n"), 0);
    const size_t tail = doc.rfind("startxref\n");
    ASSERT_NE(tail, std::string::npos);
    const size_t table = std::stoull(doc.substr(tail + 10));
    ASSERT_EQ(doc.compare(table, 7, "xref\n0 "), 0);
    const size_t count = std::stoul(doc.substr(table + 7));
    size_t entry = doc.find('\n', table + 7) + 1;
    EXPECT_EQ(doc.compare(entry, 20, "0000000000 65535 f \n"), 0);
    for (size_t n = 1; n < count; ++n) {
        entry += 20;
        ASSERT_EQ(doc.compare(entry + 10, 10, " 00000 n \n"), 0) << "entry " << n;
        const size_t offset = std::stoull(doc.substr(entry, 10));
        const std::string head = std::to_string(n) + " 0 obj\n";
        EXPECT_EQ(doc.compare(offset, head.size(), head), 0) << "object " << n;
    }
    EXPECT_NE(doc.find("trailer\n<< /Size " + std::to_string(count) + " /Root 1 0 R"),
              std::string::npos);
    EXPECT_NE(doc.find("/Count " + std::to_string(pages) + " >>"), std::string::npos);
    EXPECT_EQ(doc.substr(doc.size() - 6), "%%EOF\n");
    // Lengths, direct or in an object of their own.
    for (size_t at = doc.find("/Length "); at != std::string::npos;
         at = doc.find("/Length ", at + 1)) {
        const size_t value = at + 8;
        size_t length = std::stoull(doc.substr(value));
        const size_t after = doc.find_first_of(" >", value);
        if (doc.compare(after, 5, " 0 R ") == 0) {
            std::string object = doc.substr(value, after - value);
            object.insert(0, 1, '\n').append(" 0 obj\n");
            length = std::stoull(doc.substr(doc.find(object) + object.size()));
        }
        const size_t data = doc.find(">>\nstream\n", at) + 10;
        EXPECT_EQ(doc.compare(data + length, 10, "\nendstream"), 0) << "stream at " << data;
    }
}

}  // namespace

TEST(PdfDocument, TableAndLengthsMatchTheBytes) {
    Image bilevel(16, 5, 1), gray(21, 9, 8), rgb(19, 11, 24), pal(30, 6, 8);
    kt::drawF(&bilevel), scramble(&gray, 1), kt::drawF(&rgb), scramble(&pal, 2);
    unsigned char palette[768] = {};
    const std::string doc = document({{&bilevel.im, 0},
                                      {&gray.im, 0},
                                      {&gray.im, 1},
                                      {&rgb.im, 2},
                                      {&pal.im, 3, palette, 300, 150}});
    expectWellFormed(doc, 5);
    EXPECT_NE(doc.find("/Title (T) /Producer (test)"), std::string::npos);
    EXPECT_NE(doc.find("/MediaBox [0 0 8 5]"), std::string::npos);
    EXPECT_NE(doc.find("/MediaBox [0 0 7.2 2.88]"), std::string::npos);
    EXPECT_NE(doc.find("/DecodeParms << /K -1 /Columns 16 /Rows 5 >>"), std::string::npos);
    EXPECT_NE(doc.find("/DeviceGray /BitsPerComponent 8 /Decode [1 0]\n/Filter /FlateDecode"),
              std::string::npos);
    EXPECT_NE(doc.find("/ColorSpace [/Indexed /DeviceRGB 255 <"), std::string::npos);
}

TEST(PdfDocument, TitlesAreEscaped) {
    kt::TempFile f;
    ASSERT_EQ(KroPutPDFHeader(f.get(), nullptr, "a(b)\\c\n\xE9"), 0);
    EXPECT_NE(f.text().find("/Title (a\\(b\\)\\\\c\\012\\351) /Producer (FND-Base)"),
              std::string::npos);
}

TEST(PdfDocument, RefusedPagesWriteNothing) {
    Image gray(5, 5, 8);
    kt::TempFile f;
    const Bytes jpegCut = {0xFF, 0xD8, 0xFF, 0xE0, 0, 16};
    kro::PdfDocument unbegun;
    EXPECT_EQ(kro::pdfImagePage(&unbegun, f.get(), &gray.im, nullptr, 1, 72, 72), KRO_ERR_FORMAT);
    ASSERT_EQ(KroPutPDFHeader(f.get(), nullptr, "t"), 0);
    const size_t header = f.contents().size();
    EXPECT_FAILS_WITH(KroRsImageToPDF(f.get(), &gray.im, nullptr, 4, 72, 72), KRO_ERR_PHOTOMETRIC);
    EXPECT_FAILS_WITH(KroRsImageToPDF(f.get(), &gray.im, nullptr, 2, 72, 72), KRO_ERR_DEPTH);
    EXPECT_FAILS_WITH(KroRsImageToPDF(f.get(), &gray.im, nullptr, 3, 72, 72), KRO_ERR_NULL);
    EXPECT_FAILS_WITH(KroRsImageToPDF(f.get(), &gray.im, nullptr, 1, 0, 72), KRO_ERR_RESOLUTION);
    gray.im.size = 24;
    EXPECT_FAILS_WITH(KroRsImageToPDF(f.get(), &gray.im, nullptr, 1, 72, 72), KRO_ERR_SIZE);
    EXPECT_FAILS_WITH(KroG4ToPDF(f.get(), jpegCut.data(), 0, 8, 8, 0, 0, 0, 72, 72),
                      KRO_ERR_G4_DECODE);
    EXPECT_FAILS_WITH(KroG4ToPDF(f.get(), jpegCut.data(), 6, 0, 8, 0, 0, 0, 72, 72), KRO_ERR_SIZE);
    EXPECT_FAILS_WITH(KroG4ToPDF(f.get(), jpegCut.data(), 6, 8, 8, 2, 0, 0, 72, 72),
                      KRO_ERR_PHOTOMETRIC);
    EXPECT_FAILS_WITH(KroG4ToPDF(f.get(), jpegCut.data(), 6, 8, 8, 0, 45, 0, 72, 72),
                      KRO_ERR_ROTATE);
    EXPECT_FAILS_WITH(KroJPEGToPDF(f.get(), jpegCut.data(), jpegCut.size(), 72, 72),
                      KRO_ERR_JPEG_DECODE);
    EXPECT_EQ(f.contents().size(), header);
    ASSERT_EQ(KroPutPDFFooter(f.get()), 0);
    expectWellFormed(f.text(), 0);

    // A stream that cannot be written fails every call after.
    FILE* readOnly = std::fopen("/dev/null", "r");
    ASSERT_TRUE(readOnly);
    gray.im.size = 25;
    EXPECT_FAILS_WITH(KroPutPDFHeader(readOnly, nullptr, "t"), KRO_ERR_IO);
    EXPECT_FAILS_WITH(KroRsImageToPDF(readOnly, &gray.im, nullptr, 1, 72, 72), KRO_ERR_IO);
    EXPECT_FAILS_WITH(KroPutPDFFooter(readOnly), KRO_ERR_IO);
    std::fclose(readOnly);
}

TEST(PdfG4, EndOfBlockIsFoundThroughFill) {
    struct Case {
        Bytes bytes;
        bool whole;
    } cases[] = {
        {{0x00, 0x10, 0x01}, true},        // EOL EOL, byte aligned
        {{0x00, 0x10, 0x01, 0, 0}, true},  // then zero fill
        {{0xA0, 0x01, 0x00, 0x10}, true},  // ending mid-byte: 4 bits of fill
        {{0x00, 0x10, 0x03}, false},       // one bit too many
        {{0x10, 0x01}, false},             // too short for two EOLs
        {{0x00, 0x00, 0x00}, false},
        {{}, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(kro::g4EndsWithEofb(c.bytes.data(), c.bytes.size()), c.whole)
            << c.bytes.size() << " bytes";
}

TEST(PdfG4, CodedDataIsCopiedUnlessCut) {
    Image page(24, 40, 1);
    page.im.validWidth = 17;
    kt::drawF(&page);
    const Bytes coded = g4Of(page);
    ASSERT_TRUE(kro::g4EndsWithEofb(coded.data(), coded.size()));
    kt::TempFile f;
    ASSERT_EQ(KroPutPDFHeader(f.get(), nullptr, "t"), 0);
    ASSERT_EQ(KroG4ToPDF(f.get(), coded.data(), coded.size(), 17, 40, 0, 0, 0, 72, 72), 0);
    // Without its end-of-block code the data is decoded once: whole, it passes.
    ASSERT_EQ(KroG4ToPDF(f.get(), coded.data(), coded.size() - 3, 17, 40, 1, 90, 1, 72, 72), 0);
    const size_t before = f.contents().size();
    for (size_t cut : {coded.size() / 2, size_t(1)})
        EXPECT_FAILS_WITH(KroG4ToPDF(f.get(), coded.data(), cut, 17, 40, 0, 0, 0, 72, 72),
                          KRO_ERR_G4_DECODE);
    EXPECT_EQ(f.contents().size(), before);
    ASSERT_EQ(KroPutPDFFooter(f.get()), 0);
    const std::string doc = f.text();
    expectWellFormed(doc, 2);
    EXPECT_EQ(streamBytes(doc, 1), std::string(coded.begin(), coded.end()));
    EXPECT_NE(doc.find("/Columns 17 /Rows 40 /BlackIs1 true >>"), std::string::npos);
    // Turned a quarter and mirrored: the page lies across.
    EXPECT_NE(doc.find("/MediaBox [0 0 40 17]"), std::string::npos);
    EXPECT_NE(doc.find("q 0 17 40 0 0 0 cm /Im0 Do Q"), std::string::npos);
}

TEST(PdfJpeg, FileIsCopiedWithItsDensity) {
    Image rgb(33, 17, 24);
    kt::drawF(&rgb);
    kt::TempFile jf;
    const int32_t density[2] = {300, 300};
    ASSERT_EQ(KroRsImageToJPEG(jf.get(), &rgb.im, KRO_PHOTO_RGB, density, 90), 0);
    const Bytes jpeg = jf.contents();
    kro::JpegFacts facts;
    ASSERT_EQ(kro::jpegFacts(jpeg.data(), jpeg.size(), &facts), 0);
    EXPECT_EQ(facts.width, 33);
    EXPECT_EQ(facts.components, 3);

    kt::TempFile f;
    ASSERT_EQ(KroPutPDFHeader(f.get(), nullptr, "t"), 0);
    ASSERT_EQ(KroJPEGToPDF(f.get(), jpeg.data(), jpeg.size(), 72, 72), 0);
    for (size_t cut : {jpeg.size() - 1, jpeg.size() / 2, size_t(3)})
        EXPECT_FAILS_WITH(KroJPEGToPDF(f.get(), jpeg.data(), cut, 72, 72), KRO_ERR_JPEG_DECODE);
    Bytes garbled = jpeg;
    garbled[3] ^= 0x5A;  // no longer a marker segment libjpeg knows
    EXPECT_FAILS_WITH(KroJPEGToPDF(f.get(), garbled.data(), garbled.size(), 72, 72),
                      KRO_ERR_JPEG_DECODE);
    ASSERT_EQ(KroPutPDFFooter(f.get()), 0);
    const std::string doc = f.text();
    expectWellFormed(doc, 1);
    EXPECT_EQ(streamBytes(doc, 1), std::string(jpeg.begin(), jpeg.end()));
    EXPECT_NE(doc.find("/MediaBox [0 0 7.92 4.08]"), std::string::npos);
    EXPECT_NE(doc.find("/ColorSpace /DeviceRGB /BitsPerComponent 8\n/Filter /DCTDecode"),
              std::string::npos);
}

// The files the JPEG reader refuses as damaged are refused as they are too;
// those it refuses for what it cannot hold (CMYK, two resolutions) go in.
TEST(PdfJpeg, DamagedFilesAreRefused) {
    const std::vector<kt::BadSample> samples = kt::badSamples("jpeg-");
    ASSERT_GT(samples.size(), 10u);
    kt::TempFile f;
    ASSERT_EQ(KroPutPDFHeader(f.get(), nullptr, "t"), 0);
    for (const kt::BadSample& s : samples) {
        const Bytes b = kt::readFile(std::string(KRO_TEST_DATA) + "/bad/" + s.name);
        fndErrorStatus = 0;
        const int32_t rc = KroJPEGToPDF(f.get(), b.data(), b.size(), 72, 72);
        const bool damaged = s.code == KRO_ERR_JPEG_DECODE || s.code == KRO_ERR_SIZE ||
                             s.name.find("no-eoi") != std::string::npos;
        EXPECT_EQ(rc, damaged ? -1 : 0) << s.name << " " << fndErrorStatus;
    }
    ASSERT_EQ(KroPutPDFFooter(f.get()), 0);
    const std::string doc = f.text();
    expectWellFormed(doc, 4);  // corrupt scan (it decodes), two densities, CMYK
    EXPECT_NE(doc.find("/ColorSpace /DeviceCMYK"), std::string::npos);
}

namespace {

// Ghostscript's drawing of every page at the pages' resolution, as RGB rows.
std::vector<Bytes> render(const std::string& doc, const Page& resolution) {
    const kt::TempDir tmp;
    kt::writeFile(tmp.at("doc.pdf"), Bytes(doc.begin(), doc.end()));
    const std::string cmd = "gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=ppmraw -r" +
                            std::to_string(resolution.xdpi) + "x" +
                            std::to_string(resolution.ydpi) + " -o " + tmp.at("p%d.ppm") + " " +
                            tmp.at("doc.pdf");
    std::vector<Bytes> pages;
    if (kt::run(cmd + KRO_QUIET) == 0)
        for (int i = 1;; ++i) {
            const std::string name = tmp.at("p" + std::to_string(i).append(".ppm"));
            if (!std::filesystem::exists(name)) break;
            pages.push_back(kt::readFile(name));
        }
    return pages;
}

// The sides of a P6 file and where its pixels start; Ghostscript writes a comment line.
bool ppmHeader(const Bytes& ppm, int32_t* w, int32_t* h, size_t* data) {
    std::string text(ppm.begin(), ppm.begin() + long(std::min<size_t>(ppm.size(), 200)));
    size_t at = 0;
    int32_t numbers[3];
    if (text.compare(0, 2, "P6") != 0) return false;
    at = 2;
    for (int32_t& n : numbers) {
        while (at < text.size() &&
               (std::isspace(static_cast<unsigned char>(text[at])) || text[at] == '#'))
            at = text[at] == '#' ? text.find('\n', at) : at + 1;
        if (at >= text.size()) return false;
        n = std::atoi(text.c_str() + at);
        at = text.find_first_not_of("0123456789", at);
    }
    *w = numbers[0], *h = numbers[1], *data = at + 1;
    return true;
}

uint32_t expectedColour(const Page& p, int32_t x, int32_t y) {
    const uint32_t v = kt::pixel(*p.image, x, y);
    auto gray = [](uint32_t g) { return g << 16 | g << 8 | g; };
    switch (p.photometric) {
        case 0:
            return p.image->depth == 1 ? (v ? 0 : 0xFFFFFF) : gray(255 - v);
        case 1:
            return p.image->depth == 1 ? (v ? 0xFFFFFF : 0) : gray(v);
        case 3:
            return uint32_t(p.palette[v]) << 16 | p.palette[256 + v] << 8 | p.palette[512 + v];
        default:
            return v;
    }
}

}  // namespace

TEST(PdfGhostscript, EveryPageDrawsItsPixels) {
    if (!kt::haveTool("gs")) GTEST_SKIP() << "gs missing";
    Image bilevel(16, 7, 1), bilevel17(24, 9, 1), dot(8, 1, 1), gray(21, 9, 8), gray1(1, 1, 8),
        rgb(19, 11, 24), pal(300, 6, 8), padded(40, 5, 24);
    kt::drawF(&bilevel), kt::drawF(&bilevel17), kt::drawF(&rgb);
    scramble(&gray, 5), scramble(&gray1, 6), scramble(&pal, 7), scramble(&padded, 8);
    dot.im.data[0] = 0x80, dot.im.validWidth = 1;
    bilevel17.im.validWidth = 17, padded.im.validWidth = 33;
    unsigned char palette[768];
    for (int i = 0; i < 768; ++i) palette[i] = uint8_t(i * 73 + 11);
    std::vector<Page> pages;
    for (int32_t photometric : {0, 1})
        for (const Image* im : {&bilevel, &bilevel17, &dot, &gray, &gray1})
            pages.push_back({&im->im, photometric});
    pages.push_back({&rgb.im, KRO_PHOTO_RGB});
    pages.push_back({&padded.im, KRO_PHOTO_RGB});
    pages.push_back({&pal.im, KRO_PHOTO_PALETTE, palette});

    const std::vector<Bytes> drawn = render(document(pages), pages[0]);
    ASSERT_EQ(drawn.size(), pages.size());
    for (size_t i = 0; i < pages.size(); ++i) {
        const RsImage& im = *pages[i].image;
        const int32_t w = im.validWidth > 0 ? im.validWidth : im.width, h = im.height;
        const Bytes& ppm = drawn[i];
        int32_t gw = 0, gh = 0;
        size_t head = 0;
        ASSERT_TRUE(ppmHeader(ppm, &gw, &gh, &head)) << "page " << i;
        ASSERT_EQ(gw, w) << "page " << i;
        ASSERT_EQ(gh, h) << "page " << i;
        ASSERT_EQ(ppm.size(), head + size_t(3 * w * h));
        int wrong = 0;
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) {
                const unsigned char* got = &ppm[head + 3 * size_t(y * w + x)];
                wrong += (uint32_t(got[0]) << 16 | got[1] << 8 | got[2]) !=
                         expectedColour(pages[i], x, y);
            }
        EXPECT_EQ(wrong, 0) << "page " << i << " photometric " << pages[i].photometric;
    }
}
