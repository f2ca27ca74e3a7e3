// Files that other programs write, read back pixel for pixel against those
// programs' own decoding (tests/data/peer/README.md says how each was made).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "test_util.h"

namespace {

using kt::Bytes;

enum class Kind { Bmp, Pcx, Jpeg, Cals };

struct Sample {
    const char* name;
    Kind kind;
    int32_t depth;
    int32_t dpi;  // the resolution the file states; -1 none, 0 as stored
};

constexpr Sample kSamples[] = {
    {"gm-1bit.bmp", Kind::Bmp, 1, 75},
    {"netpbm-8bit.bmp", Kind::Bmp, 8, 0},
    {"gm-1bit.pcx", Kind::Pcx, 1, 0},
    {"gm-gray.pcx", Kind::Pcx, 24, 0},  // gray, as three planes
    {"netpbm-1bit.pcx", Kind::Pcx, 1, 33},  // netpbm stores the picture's size there
    {"netpbm-1bit-17.pcx", Kind::Pcx, 1, 17},
    {"netpbm-8bit.pcx", Kind::Pcx, 8, 33},
    {"netpbm-24bit.pcx", Kind::Pcx, 24, 33},
    {"cjpeg-420.jpg", Kind::Jpeg, 24, -1},
    {"cjpeg-422.jpg", Kind::Jpeg, 24, -1},
    {"cjpeg-smooth-optimised.jpg", Kind::Jpeg, 24, -1},
    {"cjpeg-gray-progressive-restart.jpg", Kind::Jpeg, 8, -1},
    {"cjpeg-scans.jpg", Kind::Jpeg, 24, -1},
    {"im-progressive.jpg", Kind::Jpeg, 24, -1},
    {"netpbm-gray.jpg", Kind::Jpeg, 8, 150},
    {"gray-no-jfif.jpg", Kind::Jpeg, 8, -1},
    {"im-dpcm.jpg", Kind::Jpeg, 24, 300},  // 118 dots per centimetre
    {"gm.cal", Kind::Cals, 1, 200},
};

using kt::Decoded;

// The CALS reader decodes into an upright image that the caller prepares.
int32_t readCals(FILE* f, Decoded* d) {
    CalsHeader h;
    if (KroGetCals(f, &h) != 0) return -1;
    const bool turned = h.pelPath == 90 || h.pelPath == 270;
    const int32_t pels = turned ? h.numLines : h.pelsPerLine;
    const int32_t lines = turned ? h.pelsPerLine : h.numLines;
    RsImage& im = d->im;
    im.width = (pels + 7) / 8 * 8, im.height = lines, im.depth = 1;
    im.format = KRO_FORMAT_RAW, im.size = im.width / 8 * lines;
    im.data = static_cast<unsigned char*>(std::calloc(size_t(im.size), 1));
    im.validWidth = pels, im.validHeight = lines;
    d->photometric = KRO_PHOTO_WHITE_IS_ZERO;
    d->res[0] = d->res[1] = int32_t(h.rdensity);
    return KroCalsToRsImage(f, &h, &im);
}

void decode(const std::string& path, Kind kind, Decoded* d) {
    kt::TempFile f(kt::readFile(path));
    switch (kind) {
        case Kind::Bmp: d->rc = KroBMPToRsImage(f.get(), &d->im, &d->photometric, d->res, d->pal); break;
        case Kind::Pcx: d->rc = KroPCXToRsImage(f.get(), &d->im, &d->photometric, d->res, d->pal); break;
        case Kind::Jpeg: d->rc = KroJPEGToRsImage(f.get(), &d->im, &d->photometric, d->res); break;
        case Kind::Cals: d->rc = readCals(f.get(), d); break;
    }
}

// The colour of a pixel as red, green, blue.
Bytes colourAt(const Decoded& d, Kind kind, int32_t x, int32_t y) {
    const uint32_t v = kt::pixel(d.im, x, y);
    if (d.im.depth == 24) return {uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
    if (kind == Kind::Cals) return Bytes(3, v ? 0 : 255);
    if (kind == Kind::Jpeg) return Bytes(3, uint8_t(v));
    return {d.pal[v], d.pal[256 + v], d.pal[512 + v]};
}

// The pixels of a binary PPM of maxval 255.
Bytes ppmPixels(const Bytes& ppm, int32_t* width, int32_t* height) {
    const std::string text(ppm.begin(), ppm.begin() + std::min<size_t>(ppm.size(), 32));
    int maxval = 0, used = 0;
    if (std::sscanf(text.c_str(), "P6 %d %d %d%n", width, height, &maxval, &used) != 3 ||
        maxval != 255)
        return {};
    return Bytes(ppm.begin() + used + 1, ppm.end());
}

TEST(PeerRead, FilesOfOtherWritersDecodeAsTheirOwnToolsDecodeThem) {
    const std::string dir = std::string(KRO_TEST_DATA) + "/peer/";
    for (const Sample& s : kSamples) {
        SCOPED_TRACE(s.name);
        int32_t width = 0, height = 0;
        const Bytes want = ppmPixels(kt::readFile(dir + s.name + ".ppm"), &width, &height);
        ASSERT_EQ(want.size(), size_t(width) * size_t(height) * 3);

        Decoded d;
        decode(dir + s.name, s.kind, &d);
        ASSERT_EQ(d.rc, 0) << fndErrorStatus;
        EXPECT_EQ(d.im.depth, s.depth);
        const int32_t w = d.im.validWidth > 0 ? d.im.validWidth : d.im.width;
        const int32_t h = d.im.validHeight > 0 ? d.im.validHeight : d.im.height;
        ASSERT_EQ(std::tie(w, h), std::tie(width, height));
        if (s.dpi != 0) {
            EXPECT_EQ(d.res[0], s.dpi);
        }

        int wrong = 0;
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) {
                const unsigned char* p = &want[(size_t(y) * size_t(w) + size_t(x)) * 3];
                if (colourAt(d, s.kind, x, y) == Bytes(p, p + 3)) continue;
                if (wrong++ < 3) ADD_FAILURE() << "pixel " << x << "," << y;
            }
        EXPECT_EQ(wrong, 0);
    }
}

}  // namespace
