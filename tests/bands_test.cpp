// Pictures taken from file to file a band of rows at a time: the bytes are
// those of the whole-picture calls, and a picture that cannot go across so
// leaves both streams as they were.
#include <gtest/gtest.h>

#include <ctime>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "codecs/ps.h"
#include "test_util.h"

namespace {

using kt::Bytes;

// Runs of one to nine pixels of a few colours: both the run and the literal
// coding of PCX, and rows whose BMP padding is not zero-length.
void fill(kt::Image* image) {
    uint32_t seed = 7, left = 0, colour = 0;
    for (int32_t y = 0; y < image->im.height; ++y)
        for (int32_t x = 0; x < image->im.width; ++x) {
            if (left == 0) {
                seed = seed * 1103515245u + 12345u;
                left = 1 + (seed >> 16) % 9;
                colour = (seed >> 8) % 5 * 0x334455u;
            }
            --left;
            kt::setPixel(&image->im, x, y, colour);
        }
}

Bytes bmpOf(const RsImage& im, int32_t dpi) {
    unsigned char pal[768] = {};
    kt::TempFile f;
    EXPECT_EQ(KroRsImageToBMP(f.get(), &im, 0, dpi, KRO_PHOTO_RGB, pal), 0);
    return f.contents();
}

Bytes pcxOf(const RsImage& im, int32_t dpi) {
    unsigned char pal[768] = {};
    const int32_t res[2] = {dpi, dpi};
    kt::TempFile f;
    EXPECT_EQ(KroRsImageToPCX(f.get(), &im, KRO_PHOTO_RGB, res, pal), 0);
    return f.contents();
}

struct FixedClock {
    kro::PsSeams saved = kro::psSeams;
    FixedClock() {
        kro::psSeams.clock = [](std::time_t* t) { return t ? *t = 0 : 0; };
    }
    ~FixedClock() { kro::psSeams = saved; }
};

// A one-page document of the picture, whole or in bands.
Bytes psOf(const RsImage* im, const Bytes* bmp, int32_t dpi) {
    FixedClock clock;
    kt::TempFile f;
    EXPECT_EQ(KroPutPSHeader(f.get(), "kro", "t"), 0);
    if (im) {
        EXPECT_EQ(KroRsImageToPS(f.get(), im, nullptr, KRO_PHOTO_RGB, dpi, dpi), 0);
    } else {
        kt::TempFile in(*bmp);
        EXPECT_EQ(KroStreamPicture(in.get(), KRO_FILE_BMP, f.get(), KRO_FILE_PS, dpi, nullptr), 0);
    }
    EXPECT_EQ(KroPutPSFooter(f.get()), 0);
    return f.contents();
}

Bytes streamed(const Bytes& in, int32_t from, int32_t to, int32_t dpi) {
    kt::TempFile src(in), dst;
    int32_t size[2] = {0, 0};
    EXPECT_EQ(KroStreamPicture(src.get(), from, dst.get(), to, dpi, size), 0) << fndErrorStatus;
    return dst.contents();
}

TEST(StreamPicture, BytesAreThoseOfTheWholePictureCalls) {
    // 613 pixels make 1839-byte RGB rows (BMP pads them by one byte) and
    // 142-row bands, so 700 rows end in a short band.
    const int32_t shapes[][2] = {{1, 1}, {5, 3}, {613, 700}};
    for (const auto& s : shapes) {
        kt::Image pic(s[0], s[1], 24);
        fill(&pic);
        for (int32_t dpi : {0, 300}) {
            SCOPED_TRACE(std::to_string(s[0]) + "x" + std::to_string(s[1]) + " at " +
                         std::to_string(dpi));
            const Bytes bmp = bmpOf(pic.im, dpi);
            EXPECT_EQ(streamed(bmp, KRO_FILE_BMP, KRO_FILE_BMP, 0), bmp);
            // A picture that states no resolution takes the job's.
            EXPECT_EQ(streamed(bmp, KRO_FILE_BMP, KRO_FILE_PCX, 150), pcxOf(pic.im, dpi ? dpi : 150));
            const Bytes pcx = pcxOf(pic.im, 200);
            EXPECT_EQ(streamed(pcx, KRO_FILE_PCX, KRO_FILE_BMP, 0), bmpOf(pic.im, 200));
            EXPECT_EQ(streamed(pcx, KRO_FILE_PCX, KRO_FILE_PCX, 0), pcx);
            EXPECT_EQ(psOf(nullptr, &bmp, 72), psOf(&pic.im, nullptr, dpi ? dpi : 72));
        }
    }
}

// Each of these is for the whole-picture calls: KRO_ERR_NOT_AS_IS, nothing
// written, the input back at its start.
TEST(StreamPicture, PicturesNotToTakeAcrossLeaveBothStreamsAlone) {
    kt::Image rgb(9, 4, 24), gray(9, 4, 8), bilevel(16, 4, 1);
    fill(&rgb);
    unsigned char pal[768] = {};
    kt::TempFile grayBmp, bilevelPcx;
    ASSERT_EQ(KroRsImageToBMP(grayBmp.get(), &gray.im, 0, 0, KRO_PHOTO_BLACK_IS_ZERO, pal), 0);
    const int32_t res[2] = {300, 300};
    ASSERT_EQ(KroRsImageToPCX(bilevelPcx.get(), &bilevel.im, 0, res, pal), 0);
    Bytes cut = bmpOf(rgb.im, 0);
    cut.resize(cut.size() - 1);
    Bytes twoWays = pcxOf(rgb.im, 300);
    twoWays[14] = 200;  // the vertical resolution
    struct Case {
        const char* why;
        Bytes in;
        int32_t from, to, dpi;
    } cases[] = {
        {"8-bit", grayBmp.contents(), KRO_FILE_BMP, KRO_FILE_PCX, 300},
        {"1-bit", bilevelPcx.contents(), KRO_FILE_PCX, KRO_FILE_BMP, 0},
        {"last row cut short", cut, KRO_FILE_BMP, KRO_FILE_BMP, 0},
        {"two resolutions", twoWays, KRO_FILE_PCX, KRO_FILE_BMP, 0},
        {"no resolution for PCX", bmpOf(rgb.im, 0), KRO_FILE_BMP, KRO_FILE_PCX, 0},
        {"a PCX file read as BMP", pcxOf(rgb.im, 300), KRO_FILE_BMP, KRO_FILE_BMP, 0},
        {"not a file kind", bmpOf(rgb.im, 0), KRO_FILE_BMP, 9, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        kt::TempFile in(c.in), out;
        fndErrorStatus = 0;
        EXPECT_EQ(KroStreamPicture(in.get(), c.from, out.get(), c.to, c.dpi, nullptr), -1);
        EXPECT_EQ(fndErrorStatus, KRO_ERR_NOT_AS_IS);
        EXPECT_EQ(std::ftell(in.get()), 0);
        EXPECT_TRUE(out.contents().empty());
    }
    // Two resolutions are the page's own in PostScript.
    kt::TempFile in(twoWays), out;
    EXPECT_EQ(KroStreamPicture(in.get(), KRO_FILE_PCX, out.get(), KRO_FILE_PS, 72, nullptr), 0);

#ifndef _WIN32
    // BMP rows go out bottom row first: a pipe cannot take them so.
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    FILE* pipe = ::fdopen(fds[1], "wb");
    kt::TempFile bmp(bmpOf(rgb.im, 0));
    EXPECT_EQ(KroStreamPicture(bmp.get(), KRO_FILE_BMP, pipe, KRO_FILE_BMP, 0, nullptr), -1);
    EXPECT_EQ(fndErrorStatus, KRO_ERR_NOT_AS_IS);
    std::fclose(pipe);
    ::close(fds[0]);
#endif
}

// Damage found part way gives the whole-picture reader's status.
TEST(StreamPicture, DamageFoundPartWayIsReported) {
    kt::Image pic(613, 700, 24);
    fill(&pic);
    Bytes pcx = pcxOf(pic.im, 300);
    pcx.resize(pcx.size() * 2 / 3);  // long enough for the check before decoding
    const kt::ReadWith<KroPCXToRsImage> whole(pcx);
    ASSERT_EQ(whole.rc, -1);
    const int32_t code = fndErrorStatus;
    kt::TempFile in(pcx), out;
    fndErrorStatus = 0;
    EXPECT_EQ(KroStreamPicture(in.get(), KRO_FILE_PCX, out.get(), KRO_FILE_BMP, 0, nullptr), -1);
    EXPECT_EQ(fndErrorStatus, code);
    EXPECT_EQ(KroStreamPicture(nullptr, KRO_FILE_PCX, out.get(), KRO_FILE_BMP, 0, nullptr), -1);
    EXPECT_EQ(fndErrorStatus, KRO_ERR_NULL);
}

}  // namespace
