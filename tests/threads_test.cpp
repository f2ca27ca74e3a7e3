// Two threads converting at once: every codec both ways, scaling, dithering,
// gray conversion and PostScript pages into documents of their own give, on
// every turn, the bytes that one thread alone gives. Built also under
// ThreadSanitizer, which reports any state the calls still share.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "codecs/ps.h"
#include "kro/pixo.h"
#include "test_util.h"

namespace {

using kt::Bytes;

constexpr int kTurns = 40;

// The pixels a reader gave, or a marker of its failure.
Bytes pixelsOf(int32_t rc, const RsImage& im) {
    if (rc != 0) return Bytes{'f', 'a', 'i', 'l'};
    return Bytes(im.data, im.data + im.size);
}

struct ReadJpeg : kt::Decoded {
    explicit ReadJpeg(const Bytes& b) {
        kt::TempFile f(b);
        rc = KroJPEGToRsImage(f.get(), &im, &photometric, res);
    }
};

// Writes a file with write and reads it back with Read: the file's bytes,
// and the pixels read into out.
template <class Read, class Write>
Bytes roundTrip(Write write, std::vector<Bytes>* out) {
    kt::TempFile f;
    EXPECT_EQ(write(f.get()), 0);
    const Bytes file = f.contents();
    Read r(file);
    out->push_back(pixelsOf(r.rc, r.im));
    return file;
}

Bytes calsRoundTrip(const kt::Image& src, std::vector<Bytes>* out) {
    CalsHeader h{};
    h.rtype = 1, h.pelPath = 90, h.lineProgression = 270, h.rdensity = 200;
    h.pelsPerLine = src.im.width, h.numLines = src.im.height;
    kt::TempFile f;
    EXPECT_EQ(KroRsImageToCals(f.get(), &h, &src.im), 0);
    std::rewind(f.get());
    CalsHeader back{};
    kt::Image upright(src.im.height, src.im.width, 1);  // turned by the pel path
    int32_t rc = KroGetCals(f.get(), &back);
    if (rc == 0) rc = KroCalsToRsImage(f.get(), &back, &upright.im);
    out->push_back(pixelsOf(rc, upright.im));
    return f.contents();
}

// A document of its own, through the functions that take the document.
Bytes psDocument(const kt::Image& gray, const kt::Image& rgb) {
    kro::PsDocument doc;
    kt::TempFile f;
    EXPECT_EQ(kro::psHeader(&doc, f.get(), "threads", "two", 0), 0);
    EXPECT_EQ(kro::psPage(&doc, f.get(), &gray.im, nullptr, KRO_PHOTO_WHITE_IS_ZERO, 72, 72), 0);
    EXPECT_EQ(kro::psPage(&doc, f.get(), &rgb.im, nullptr, KRO_PHOTO_RGB, 150, 100), 0);
    EXPECT_EQ(kro::psFooter(doc, f.get()), 0);
    return f.contents();
}

// Scaling both ways, dithering and gray conversion: none of them reads kroOption.
void transforms(const kt::Image& gray, const kt::Image& rgb, std::vector<Bytes>* out) {
    kt::Image larger(2 * gray.im.width, 2 * gray.im.height, 8);
    kt::Image smaller(gray.im.width / 3, gray.im.height / 3, 8);
    out->push_back(pixelsOf(KroConvSize(&gray.im, gray.im.width, gray.im.height, &larger.im,
                                        larger.im.width, larger.im.height),
                            larger.im));
    out->push_back(pixelsOf(KroConvSize(&gray.im, gray.im.width, gray.im.height, &smaller.im,
                                        smaller.im.width, smaller.im.height),
                            smaller.im));
    unsigned char pal[768] = {};
    int32_t status = 0;
    kt::Image bits((gray.im.width + 7) / 8 * 8, gray.im.height, 1), luma(rgb.im.width,
                                                                          rgb.im.height, 8);
    out->push_back(pixelsOf(GfxMdsp(&gray.im, 0, 0, gray.im.width, gray.im.height,
                                    KRO_PHOTO_BLACK_IS_ZERO, pal, &bits.im, 0, 0, 1,
                                    GFX_DITHER_FLOYD, &status),
                            bits.im));
    out->push_back(pixelsOf(GfxCtog(&rgb.im, 0, 0, rgb.im.width, rgb.im.height, pal, &luma.im, 0,
                                    0, 0, &status),
                            luma.im));
}

// One turn of everything: the files written, then the pixels read and made.
std::vector<Bytes> oneTurn(const kt::Image& rgb, const kt::Image& gray, const kt::Image& bits) {
    std::vector<Bytes> made, files;
    unsigned char pal[768] = {};
    const int32_t dpi[2] = {200, 200};
    files.push_back(roundTrip<kt::ReadWith<KroBMPToRsImage>>(
        [&](FILE* f) { return KroRsImageToBMP(f, &rgb.im, 0, 300, KRO_PHOTO_RGB, pal); }, &made));
    files.push_back(roundTrip<kt::ReadWith<KroPCXToRsImage>>(
        [&](FILE* f) { return KroRsImageToPCX(f, &gray.im, KRO_PHOTO_BLACK_IS_ZERO, dpi, pal); },
        &made));
    files.push_back(roundTrip<ReadJpeg>(
        [&](FILE* f) { return KroRsImageToJPEG(f, &rgb.im, KRO_PHOTO_RGB, dpi, 80); }, &made));
    files.push_back(calsRoundTrip(bits, &made));
    files.push_back(psDocument(gray, rgb));
    transforms(gray, rgb, &made);
    files.insert(files.end(), made.begin(), made.end());
    return files;
}

}  // namespace

TEST(Threads, TwoThreadsGiveWhatOneGives) {
    kt::Image rgb(61, 37, 24), gray(83, 45, 8), bits(64, 40, 1);
    for (kt::Image* im : {&rgb, &gray, &bits}) kt::drawF(im);
    const std::vector<Bytes> alone = oneTurn(rgb, gray, bits);
    for (const Bytes& b : alone) ASSERT_NE(b, (Bytes{'f', 'a', 'i', 'l'}));

    std::atomic<int> differing{0};
    auto worker = [&] {
        for (int turn = 0; turn < kTurns; ++turn)
            if (oneTurn(rgb, gray, bits) != alone) ++differing;
    };
    std::thread a(worker), b(worker);
    a.join();
    b.join();
    EXPECT_EQ(differing.load(), 0);
}

// The band copy shares each picture's coding with a thread of its own: its
// files are the same on every turn (and ThreadSanitizer sees the handover).
TEST(Threads, BandCopyGivesTheSameFileEveryTurn) {
    kt::Image rgb(613, 900, 24);
    kt::drawF(&rgb);
    unsigned char pal[768] = {};
    kt::TempFile bmp;
    ASSERT_EQ(KroRsImageToBMP(bmp.get(), &rgb.im, 0, 300, KRO_PHOTO_RGB, pal), 0);
    const Bytes in = bmp.contents();
    const kro::PsSeams saved = kro::psSeams;
    kro::psSeams.clock = [](std::time_t* t) { return t ? *t = 0 : 0; };
    const auto copy = [&](const Bytes& from, int32_t kind, int32_t to) {
        kt::TempFile src(from), dst;
        if (to == KRO_FILE_PS) {
            EXPECT_EQ(KroPutPSHeader(dst.get(), "kro", "t"), 0);
        }
        EXPECT_EQ(KroStreamPicture(src.get(), kind, dst.get(), to, 72, -1, nullptr), 0);
        return dst.contents();
    };
    const Bytes pcx = copy(in, KRO_FILE_BMP, KRO_FILE_PCX);
    const Bytes back = copy(pcx, KRO_FILE_PCX, KRO_FILE_BMP);
    const Bytes ps = copy(in, KRO_FILE_BMP, KRO_FILE_PS);
    EXPECT_EQ(back, in);
    for (int turn = 0; turn < 5; ++turn) {
        EXPECT_EQ(copy(in, KRO_FILE_BMP, KRO_FILE_PCX), pcx);
        EXPECT_EQ(copy(pcx, KRO_FILE_PCX, KRO_FILE_BMP), back);
        EXPECT_EQ(copy(in, KRO_FILE_BMP, KRO_FILE_PS), ps);
    }
    kro::psSeams = saved;
}
