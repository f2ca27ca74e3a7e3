// Pictures taken from file to file a band of rows at a time: the bytes are
// those of the whole-picture calls, and a picture that cannot go across so
// leaves both streams as they were.
#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <vector>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "codecs/ps.h"
#include "test_util.h"

namespace {

using kt::Bytes;

// Runs of one to nine pixels of a few colours (a few indices at 8 bits):
// both the run and the literal coding of PCX, and rows whose BMP padding is
// not zero-length.
void fill(kt::Image* image) {
    uint32_t seed = 7, left = 0, colour = 0;
    for (int32_t y = 0; y < image->im.height; ++y)
        for (int32_t x = 0; x < image->im.width; ++x) {
            if (left == 0) {
                seed = seed * 1103515245u + 12345u;
                left = 1 + (seed >> 16) % 9;
                colour = (seed >> 8) % 5 * (image->im.depth == 8 ? 51 : 0x334455u);
            }
            --left;
            kt::setPixel(&image->im, x, y, colour);
        }
}

// How a picture is written, and the palette it is written with.
struct Kind {
    const char* name;
    int32_t depth, photometric;
    unsigned char palette[768];
};

Bytes bmpOf(const RsImage& im, const Kind& k, int32_t dpi) {
    unsigned char pal[768];
    std::memcpy(pal, k.palette, sizeof pal);
    kt::TempFile f;
    EXPECT_EQ(KroRsImageToBMP(f.get(), &im, 0, dpi, k.photometric, pal), 0);
    return f.contents();
}

Bytes pcxOf(const RsImage& im, const Kind& k, int32_t dpi) {
    unsigned char pal[768];
    std::memcpy(pal, k.palette, sizeof pal);
    const int32_t res[2] = {dpi, dpi};
    kt::TempFile f;
    EXPECT_EQ(KroRsImageToPCX(f.get(), &im, k.photometric, res, pal), 0);
    return f.contents();
}

struct FixedClock {
    kro::PsSeams saved = kro::psSeams;
    FixedClock() {
        kro::psSeams.clock = [](std::time_t* t) { return t ? *t = 0 : 0; };
    }
    ~FixedClock() { kro::psSeams = saved; }
};

// A one-page document of the picture, whole (im) or in bands (from bmp).
Bytes psOf(const RsImage* im, const Kind& k, const Bytes* bmp, int32_t dpi) {
    FixedClock clock;
    kt::TempFile f;
    EXPECT_EQ(KroPutPSHeader(f.get(), "kro", "t"), 0);
    if (im) {
        EXPECT_EQ(KroRsImageToPS(f.get(), im, k.palette, k.photometric, dpi, dpi), 0);
    } else {
        kt::TempFile in(*bmp);
        EXPECT_EQ(KroStreamPicture(in.get(), KRO_FILE_BMP, f.get(), KRO_FILE_PS, dpi, -1, nullptr),
                  0);
    }
    EXPECT_EQ(KroPutPSFooter(f.get()), 0);
    return f.contents();
}

Bytes streamed(const Bytes& in, int32_t from, int32_t to, int32_t dpi, int32_t depth) {
    kt::TempFile src(in), dst;
    int32_t picture[3] = {0, 0, 0};
    EXPECT_EQ(KroStreamPicture(src.get(), from, dst.get(), to, dpi, -1, picture), 0)
        << fndErrorStatus;
    EXPECT_EQ(picture[2], depth);
    return dst.contents();
}

std::vector<Kind> kinds() {
    std::vector<Kind> k(5);
    k[0] = {"RGB", 24, KRO_PHOTO_RGB, {}};
    k[1] = {"gray", 8, KRO_PHOTO_BLACK_IS_ZERO, {}};
    k[2] = {"gray, 0 is white", 8, KRO_PHOTO_WHITE_IS_ZERO, {}};
    k[3] = {"palette", 8, KRO_PHOTO_PALETTE, {}};
    // Gray entries out of the ramp's order: the indices go out as a
    // palette picture's, as the whole-picture job writes them.
    k[4] = {"gray palette", 8, KRO_PHOTO_PALETTE, {}};
    for (int i = 0; i < 256; ++i) {
        for (int p = 0; p < 3; ++p) {
            k[1].palette[256 * p + i] = uint8_t(i);
            k[2].palette[256 * p + i] = uint8_t(255 - i);
            k[4].palette[256 * p + i] = uint8_t(i ^ 0x55);
        }
        k[3].palette[i] = uint8_t(i * 7), k[3].palette[256 + i] = uint8_t(i * 13);
        k[3].palette[512 + i] = uint8_t(255 - i);
    }
    return k;
}

TEST(StreamPicture, BytesAreThoseOfTheWholePictureCalls) {
    // 613 pixels make 1839-byte RGB rows (BMP pads them by one byte) and
    // 142-row bands, so 700 rows end in a short band; 8-bit rows are padded
    // by three bytes and make 427-row bands.
    const int32_t shapes[][2] = {{1, 1}, {5, 3}, {613, 700}, {613, 2000}};
    for (const Kind& k : kinds())
        for (const auto& s : shapes) {
            kt::Image pic(s[0], s[1], k.depth);
            fill(&pic);
            for (int32_t dpi : {0, 300}) {
                SCOPED_TRACE(std::string(k.name) + ", " + std::to_string(s[0]) + "x" +
                             std::to_string(s[1]) + " at " + std::to_string(dpi));
                const Bytes bmp = bmpOf(pic.im, k, dpi);
                EXPECT_EQ(streamed(bmp, KRO_FILE_BMP, KRO_FILE_BMP, 0, k.depth), bmp);
                // A picture that states no resolution takes the job's.
                EXPECT_EQ(streamed(bmp, KRO_FILE_BMP, KRO_FILE_PCX, 150, k.depth),
                          pcxOf(pic.im, k, dpi ? dpi : 150));
                EXPECT_EQ(psOf(nullptr, k, &bmp, 72), psOf(&pic.im, k, nullptr, dpi ? dpi : 72));
                if (k.depth != 24) continue;
                const Bytes pcx = pcxOf(pic.im, k, 200);
                EXPECT_EQ(streamed(pcx, KRO_FILE_PCX, KRO_FILE_BMP, 0, 24), bmpOf(pic.im, k, 200));
                EXPECT_EQ(streamed(pcx, KRO_FILE_PCX, KRO_FILE_PCX, 0, 24), pcx);
            }
        }
}

// -colortype GrayScale on the way: the gray of KroConvImage, written as a
// gray picture with its ramp is.
TEST(StreamPicture, RgbGoesGrayAsTheWholePictureConversionMakesIt) {
    const std::vector<Kind> k = kinds();
    kt::Image pic(613, 2000, 24);
    fill(&pic);
    for (int32_t y = 0; y < pic.im.height; y += 7)  // colours beyond the few of fill
        kt::setPixel(&pic.im, y % 613, y, uint32_t(y) * 2654435761u >> 8);
    KroOption saved = kroOption;
    kroInitOption();
    kroOption.colortype = {1, KRO_COLORTYPE_GRAYSCALE};
    kt::Image gray;  // KroConvImage gives it its pixels
    int32_t photometric = -1;
    unsigned char pal[768];
    ASSERT_EQ(KroConvImage(&pic.im, KRO_PHOTO_RGB, nullptr, &gray.im, &photometric, pal), 0);
    kroOption = saved;
    ASSERT_EQ(photometric, KRO_PHOTO_BLACK_IS_ZERO);
    const Bytes bmp = bmpOf(pic.im, k[0], 300), pcx = pcxOf(pic.im, k[0], 300);
    const auto gray1 = [&](const Bytes& in, int32_t from, int32_t to) {
        kt::TempFile src(in), dst;
        EXPECT_EQ(
            KroStreamPicture(src.get(), from, dst.get(), to, 0, KRO_COLORTYPE_GRAYSCALE, nullptr),
            0);
        return dst.contents();
    };
    EXPECT_EQ(gray1(bmp, KRO_FILE_BMP, KRO_FILE_BMP), bmpOf(gray.im, k[1], 300));
    EXPECT_EQ(gray1(pcx, KRO_FILE_PCX, KRO_FILE_PCX), pcxOf(gray.im, k[1], 300));
    // An 8-bit picture is converted whole.
    kt::TempFile in(bmpOf(gray.im, k[3], 300)), out;
    EXPECT_EQ(KroStreamPicture(in.get(), KRO_FILE_BMP, out.get(), KRO_FILE_BMP, 0,
                               KRO_COLORTYPE_GRAYSCALE, nullptr),
              -1);
    EXPECT_EQ(fndErrorStatus, KRO_ERR_NOT_AS_IS);
}

// Each of these is for the whole-picture calls: KRO_ERR_NOT_AS_IS, nothing
// written, the input back at its start.
TEST(StreamPicture, PicturesNotToTakeAcrossLeaveBothStreamsAlone) {
    const std::vector<Kind> k = kinds();
    const Kind& rgbKind = k[0];
    kt::Image rgb(9, 4, 24), gray(9, 4, 8), bilevel(16, 4, 1);
    fill(&rgb);
    unsigned char pal[768] = {};
    kt::TempFile bilevelBmp, grayPcx;
    ASSERT_EQ(KroRsImageToBMP(bilevelBmp.get(), &bilevel.im, 0, 0, 0, pal), 0);
    const int32_t res[2] = {300, 300};
    ASSERT_EQ(KroRsImageToPCX(grayPcx.get(), &gray.im, 1, res, pal), 0);
    Bytes cut = bmpOf(rgb.im, rgbKind, 0);
    cut.resize(cut.size() - 1);
    Bytes twoWays = pcxOf(rgb.im, rgbKind, 300);
    twoWays[14] = 200;  // the vertical resolution
    struct Case {
        const char* why;
        Bytes in;
        int32_t from, to, dpi;
    } cases[] = {
        {"1-bit BMP", bilevelBmp.contents(), KRO_FILE_BMP, KRO_FILE_PCX, 300},
        {"8-bit PCX", grayPcx.contents(), KRO_FILE_PCX, KRO_FILE_BMP, 0},
        {"last row cut short", cut, KRO_FILE_BMP, KRO_FILE_BMP, 0},
        {"two resolutions", twoWays, KRO_FILE_PCX, KRO_FILE_BMP, 0},
        {"no resolution for PCX", bmpOf(rgb.im, rgbKind, 0), KRO_FILE_BMP, KRO_FILE_PCX, 0},
        {"a PCX file read as BMP", pcxOf(rgb.im, rgbKind, 300), KRO_FILE_BMP, KRO_FILE_BMP, 0},
        {"not a file kind", bmpOf(rgb.im, rgbKind, 0), KRO_FILE_BMP, 9, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        kt::TempFile in(c.in), out;
        fndErrorStatus = 0;
        EXPECT_EQ(KroStreamPicture(in.get(), c.from, out.get(), c.to, c.dpi, -1, nullptr), -1);
        EXPECT_EQ(fndErrorStatus, KRO_ERR_NOT_AS_IS);
        EXPECT_EQ(std::ftell(in.get()), 0);
        EXPECT_TRUE(out.contents().empty());
    }
    // Two resolutions are the page's own in PostScript.
    kt::TempFile in(twoWays), out;
    EXPECT_EQ(KroStreamPicture(in.get(), KRO_FILE_PCX, out.get(), KRO_FILE_PS, 72, -1, nullptr), 0);

#ifndef _WIN32
    // BMP rows go out bottom row first: a pipe cannot take them so.
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    FILE* pipe = ::fdopen(fds[1], "wb");
    kt::TempFile bmp(bmpOf(rgb.im, rgbKind, 0));
    EXPECT_EQ(KroStreamPicture(bmp.get(), KRO_FILE_BMP, pipe, KRO_FILE_BMP, 0, -1, nullptr), -1);
    EXPECT_EQ(fndErrorStatus, KRO_ERR_NOT_AS_IS);
    std::fclose(pipe);
    ::close(fds[0]);
#endif
}

// Damage found part way gives the whole-picture reader's status.
TEST(StreamPicture, DamageFoundPartWayIsReported) {
    kt::Image pic(613, 700, 24);
    fill(&pic);
    Bytes pcx = pcxOf(pic.im, kinds()[0], 300);
    pcx.resize(pcx.size() * 2 / 3);  // long enough for the check before decoding
    const kt::ReadWith<KroPCXToRsImage> whole(pcx);
    ASSERT_EQ(whole.rc, -1);
    const int32_t code = fndErrorStatus;
    kt::TempFile in(pcx), out;
    fndErrorStatus = 0;
    EXPECT_EQ(KroStreamPicture(in.get(), KRO_FILE_PCX, out.get(), KRO_FILE_BMP, 0, -1, nullptr),
              -1);
    EXPECT_EQ(fndErrorStatus, code);
    EXPECT_EQ(KroStreamPicture(nullptr, KRO_FILE_PCX, out.get(), KRO_FILE_BMP, 0, -1, nullptr), -1);
    EXPECT_EQ(fndErrorStatus, KRO_ERR_NULL);
}

}  // namespace
