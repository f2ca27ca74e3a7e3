// KroConvImage: the choice of conversion from colortype and the source, the
// reductions, the final dithering, the checks, and that every failure gives
// back every buffer.
#include "transform/conv_image.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "kro/pixo.h"
#include "test_util.h"

namespace {

using kt::Image;
using Palette = std::vector<unsigned char>;

constexpr int32_t kNone = -100;  // an option not given

struct ColourOptions {
    int32_t colortype = kNone;
    double gamma = kNone;
    int32_t level = kNone;
    int32_t dithes = kNone;
    bool dithee = false;
};

void setOptions(const ColourOptions& c) {
    kroInitOption();
    kroSetDefault();
    if (c.colortype != kNone) kroOption.colortype = {1, c.colortype};
    if (c.gamma != kNone) kroOption.gamma = {1, c.gamma};
    if (c.level != kNone) kroOption.level = {1, c.level};
    if (c.dithes != kNone) kroOption.dithes = {1, c.dithes};
    kroOption.dithee.given = c.dithee;
}

// A source picture of one kind: smooth colours or grays with some texture.
struct Source {
    const char* name;
    int32_t photometric;
    Image image;
    Palette palette;

    Source(const char* n, int32_t p, int32_t w = 45, int32_t h = 31)
        : name(n), photometric(p), image(w, h, p == KRO_PHOTO_RGB ? 24 : 8), palette(768) {
        for (int i = 0; i < 256; ++i) {  // a palette of many hues
            palette[i] = uint8_t(i);
            palette[256 + i] = uint8_t((i * 7) % 256);
            palette[512 + i] = uint8_t(255 - i);
        }
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) {
                const uint32_t v = uint32_t((x * 255 / w + y * 3) % 256);
                kt::setPixel(
                    &image.im, x, y,
                    p == KRO_PHOTO_RGB ? v << 16 | ((v * 3 + y) % 256) << 8 | (255 - v) : v);
            }
    }
};

struct Converted {
    RsImage im{};
    int32_t photometric = -1;
    Palette palette = Palette(768, 0xAB);
    ~Converted() { std::free(im.data); }
};

int32_t convert(Source* s, Converted* out) {
    return KroConvImage(&s->image.im, s->photometric, s->palette.data(), &out->im,
                        &out->photometric, out->palette.data());
}

// Distinct pixel values over the picture's own area.
size_t distinct(const RsImage& im) {
    std::set<uint32_t> v;
    for (int32_t y = 0; y < im.validHeight; ++y)
        for (int32_t x = 0; x < im.validWidth; ++x) v.insert(kt::pixel(im, x, y));
    return v.size();
}

std::string bytesOf(const RsImage& im) {
    return std::string(reinterpret_cast<const char*>(im.data), size_t(im.size));
}

bool sameBytes(const RsImage& a, const RsImage& b) {
    return a.size == b.size && std::memcmp(a.data, b.data, size_t(a.size)) == 0;
}

class ConvImage : public testing::Test {
  protected:
    void TearDown() override { setOptions({}); }
};

TEST_F(ConvImage, ColourTypeAndSourceChooseTheConversion) {
    // Expected {depth, photometric} for the sources gray (black is zero), gray
    // (white is zero), RGB, palette; 0 means a byte copy of the source.
    struct Row {
        int32_t colortype;
        int32_t want[4][2];
    };
    const Row rows[] = {
        {kNone, {{0, 0}, {0, 0}, {0, 0}, {0, 0}}},
        {KRO_COLORTYPE_BILEVEL, {{1, 0}, {1, 0}, {1, 0}, {1, 0}}},
        {KRO_COLORTYPE_GRAYSCALE, {{0, 0}, {0, 0}, {8, 1}, {8, 1}}},
        {KRO_COLORTYPE_RGB, {{0, 0}, {0, 0}, {0, 0}, {24, 2}}},
        {KRO_COLORTYPE_PALETTE, {{0, 0}, {0, 0}, {8, 3}, {0, 0}}},
        {7, {{0, 0}, {0, 0}, {0, 0}, {0, 0}}},
    };
    for (const Row& row : rows) {
        Source sources[] = {{"gray", 1}, {"inverse gray", 0}, {"RGB", 2}, {"palette", 3}};
        for (int k = 0; k < 4; ++k) {
            Source& s = sources[k];
            SCOPED_TRACE(std::string(s.name) + ", colortype " + std::to_string(row.colortype));
            setOptions({.colortype = row.colortype});
            const Palette palette = s.palette;
            Converted out;
            ASSERT_EQ(convert(&s, &out), 0);
            EXPECT_EQ(s.palette, palette);
            EXPECT_NE(out.im.data, s.image.im.data);
            EXPECT_EQ(out.im.format, KRO_FORMAT_RAW);
            EXPECT_EQ(out.im.validWidth, s.image.im.validWidth);
            EXPECT_EQ(out.im.validHeight, s.image.im.validHeight);
            EXPECT_EQ(out.im.size,
                      int32_t(kt::Image(out.im.width, 1, out.im.depth).rowBytes()) * out.im.height);
            if (row.want[k][0] == 0) {
                EXPECT_EQ(out.photometric, s.photometric);
                EXPECT_TRUE(sameBytes(out.im, s.image.im));
            } else {
                EXPECT_EQ(out.im.depth, row.want[k][0]);
                EXPECT_EQ(out.photometric, row.want[k][1]);
            }
            // The destination palette is written only for a palette result.
            if (out.photometric != KRO_PHOTO_PALETTE) {
                EXPECT_EQ(out.palette, Palette(768, 0xAB));
            }
            if (out.photometric == KRO_PHOTO_RGB && s.photometric == KRO_PHOTO_PALETTE) {
                for (int32_t x = 0; x < 45; ++x) {  // expanded through the palette
                    const uint32_t i = kt::pixel(s.image.im, x, 7);
                    EXPECT_EQ(kt::pixel(out.im, x, 7), uint32_t(palette[i]) << 16 |
                                                           uint32_t(palette[256 + i]) << 8 |
                                                           palette[512 + i]);
                }
            }
        }
    }
    // A colortype value without its given flag turns RGB into nothing else.
    Source rgb("RGB", 2), pal("palette", 3);
    setOptions({});
    kroOption.colortype.value = KRO_COLORTYPE_GRAYSCALE;
    Converted a, b;
    ASSERT_EQ(convert(&rgb, &a), 0);
    ASSERT_EQ(convert(&pal, &b), 0);
    EXPECT_EQ(a.photometric, KRO_PHOTO_RGB);
    EXPECT_EQ(b.photometric, KRO_PHOTO_BLACK_IS_ZERO);
}

TEST_F(ConvImage, LevelReducesToItsCountWhereTheConversionAllowsIt) {
    struct Case {
        const char* what;
        int32_t photometric, colortype, level;
        int32_t wantDepth, wantPhotometric;
        size_t atMost;
    };
    const Case cases[] = {
        {"RGB to palette, no level", 2, 3, kNone, 8, 3, 216},
        {"RGB to palette, level 4", 2, 3, 4, 8, 3, 64},
        {"RGB to palette, level 7 keeps 216", 2, 3, 7, 8, 3, 216},
        {"RGB copy, level 2", 2, kNone, 2, 8, 3, 8},
        {"RGB copy, level 6", 2, kNone, 6, 8, 3, 216},
        {"RGB copy, level 7: no reduction", 2, kNone, 7, 24, 2, 45 * 31},
        {"RGB to gray, level 2", 2, 1, 2, 8, 1, 2},
        {"RGB to gray, level 7", 2, 1, 7, 8, 1, 7},
        {"gray, level 4", 1, kNone, 4, 8, 1, 4},
        {"inverse gray, level 4", 0, kNone, 4, 8, 0, 4},
        {"gray, level 0: no reduction", 1, kNone, 0, 8, 1, 256},
        {"palette, level 5", 3, kNone, 5, 8, 3, 5},
        {"palette to gray, level 3", 3, 1, 3, 8, 1, 3},
        {"palette expanded: no reduction", 3, 2, 5, 24, 2, 45 * 31},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Source s("source", c.photometric);
        setOptions({.colortype = c.colortype, .level = c.level});
        Converted out;
        ASSERT_EQ(convert(&s, &out), 0);
        EXPECT_EQ(out.im.depth, c.wantDepth);
        EXPECT_EQ(out.photometric, c.wantPhotometric);
        EXPECT_LE(distinct(out.im), c.atMost);
        EXPECT_GT(distinct(out.im), c.atMost > 2 ? 2u : 0u);
        if (out.photometric == KRO_PHOTO_PALETTE) {  // every used entry is in the palette
            for (size_t i = distinct(out.im); i < 256; ++i)
                EXPECT_EQ(out.palette[i] | out.palette[256 + i] | out.palette[512 + i], 0);
        }
    }
}

// A reduced gray picture holds the gray levels themselves, spread evenly from
// black to white, not the indices of its levels; a colour picture made gray
// keeps level grays as a gray one does, not level cubed.
TEST_F(ConvImage, GrayReducesToEvenLevelGrays) {
    const uint32_t grays[] = {0, 40, 43, 100, 127, 128, 200, 213, 255};
    const struct {
        int32_t photometric, colortype, level;
        std::vector<uint32_t> want;
    } cases[] = {
        {KRO_PHOTO_RGB, KRO_COLORTYPE_GRAYSCALE, 2, {0, 0, 0, 0, 0, 255, 255, 255, 255}},
        {KRO_PHOTO_RGB, KRO_COLORTYPE_GRAYSCALE, 4, {0, 0, 85, 85, 85, 170, 170, 255, 255}},
        {KRO_PHOTO_BLACK_IS_ZERO, KRO_COLORTYPE_GRAYSCALE, 2, {0, 0, 0, 0, 0, 255, 255, 255, 255}},
        {KRO_PHOTO_BLACK_IS_ZERO, kNone, 4, {0, 0, 85, 85, 85, 170, 170, 255, 255}},
        {KRO_PHOTO_WHITE_IS_ZERO, kNone, 4, {0, 0, 85, 85, 85, 170, 170, 255, 255}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "photometric " << c.photometric << ", colortype "
                                        << c.colortype << ", level " << c.level);
        Source s("grays", c.photometric, 9, 1);
        for (int32_t x = 0; x < 9; ++x)
            kt::setPixel(&s.image.im, x, 0,
                         c.photometric == KRO_PHOTO_RGB ? grays[x] * 0x010101u : grays[x]);
        setOptions({.colortype = c.colortype, .level = c.level});
        Converted out;
        ASSERT_EQ(convert(&s, &out), 0);
        ASSERT_EQ(out.im.depth, 8);
        EXPECT_EQ(out.photometric,
                  c.photometric == KRO_PHOTO_RGB ? KRO_PHOTO_BLACK_IS_ZERO : c.photometric);
        std::vector<uint32_t> got;
        for (int32_t x = 0; x < 9; ++x) got.push_back(kt::pixel(out.im, x, 0));
        EXPECT_EQ(got, c.want);
    }
}

// Bits of the GfxMdsp dithering of an image, as the conversion must produce.
std::string bitsOf(const RsImage& im, int32_t photometric, const unsigned char* palette,
                   int32_t flag, int32_t code) {
    Image out(im.validWidth, im.validHeight, 1);
    EXPECT_EQ(GfxMdsp(&im, 0, 0, im.validWidth, im.validHeight, photometric, palette, &out.im, 0, 0,
                      flag, code, nullptr),
              0);
    return bytesOf(out.im);
}

TEST_F(ConvImage, DitheringEndsTheConversionWithTheGivenMethod) {
    for (int32_t photometric : {0, 1, 2, 3}) {
        Source s("source", photometric);
        SCOPED_TRACE("photometric " + std::to_string(photometric));
        struct Case {
            const char* what;
            ColourOptions options;
            int32_t flag, code;
        };
        const Case cases[] = {
            {"dithee alone", {.dithee = true}, 0, 0},
            {"dithes 3", {.dithes = 3}, 1, 3},
            {"bilevel", {.colortype = 0}, 0, 0},
            {"bilevel, dithes 5", {.colortype = 0, .dithes = 5}, 1, 5},
            {"bilevel: level and dithee change nothing",
             {.colortype = 0, .level = 4, .dithee = true},
             0,
             0},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.what);
            setOptions(c.options);
            Converted out;
            ASSERT_EQ(convert(&s, &out), 0);
            EXPECT_EQ(out.im.depth, 1);
            EXPECT_EQ(out.photometric, KRO_PHOTO_WHITE_IS_ZERO);
            EXPECT_EQ(out.im.width, 48);
            EXPECT_EQ(out.palette, Palette(768, 0xAB));
            EXPECT_EQ(bytesOf(out.im),
                      bitsOf(s.image.im, photometric, s.palette.data(), c.flag, c.code));
        }
    }
    // The final dithering starts from the reduced picture with its palette.
    Source rgb("RGB", 2);
    setOptions({.colortype = 3, .level = 2});
    Converted reduced;
    ASSERT_EQ(convert(&rgb, &reduced), 0);
    setOptions({.colortype = 3, .level = 2, .dithes = 2});
    Converted dithered;
    ASSERT_EQ(convert(&rgb, &dithered), 0);
    EXPECT_EQ(bytesOf(dithered.im), bitsOf(reduced.im, 3, reduced.palette.data(), 1, 2));
}

TEST_F(ConvImage, GammaOneChangesNothingAndPalettesAreCorrectedInACopy) {
    for (int32_t photometric : {1, 2, 3}) {
        Source s("source", photometric), original("source", photometric);
        setOptions({.gamma = 1.0});
        Converted same;
        ASSERT_EQ(convert(&s, &same), 0);
        EXPECT_TRUE(sameBytes(same.im, original.image.im));
        EXPECT_TRUE(sameBytes(s.image.im, original.image.im));
    }
    Source s("palette", 3), original("palette", 3);
    setOptions({.gamma = 2.2});
    Converted out;
    ASSERT_EQ(convert(&s, &out), 0);
    EXPECT_EQ(s.palette, original.palette) << "the source palette is read only";
    EXPECT_TRUE(sameBytes(s.image.im, original.image.im)) << "indices stay";
    const uint32_t v = kt::pixel(s.image.im, 3, 3);
    EXPECT_EQ(out.palette[v], std::lround(255.0 * std::pow(s.palette[v] / 255.0, 1 / 2.2)));
}

TEST_F(ConvImage, ChecksComeInTheirOrderWithTheirCodes) {
    // The arguments of one call, spoiled one way per case.
    struct Call {
        RsImage* src;
        int32_t photometric;
        const unsigned char* palette;
        RsImage* dst;
        int32_t* dstPhotometric;
        unsigned char* dstPalette;
    };
    struct Case {
        const char* what;
        void (*spoil)(Call*);
        int32_t code;
    };
    const Case cases[] = {
        {"null source", [](Call* c) { c->src = nullptr; }, KRO_ERR_NULL},
        {"null data", [](Call* c) { c->src->data = nullptr; }, KRO_ERR_NULL},
        {"width 0", [](Call* c) { c->src->width = 0; }, KRO_ERR_SIZE},
        {"height 32769", [](Call* c) { c->src->height = 32769; }, KRO_ERR_SIZE},
        {"depth 1", [](Call* c) { c->src->depth = 1; }, KRO_ERR_DEPTH},
        {"depth 16", [](Call* c) { c->src->depth = 16, c->src->format = 4; }, KRO_ERR_DEPTH},
        {"format 4", [](Call* c) { c->src->format = 4; }, KRO_ERR_FORMAT},
        {"photometric 4", [](Call* c) { c->photometric = 4; }, KRO_ERR_PHOTOMETRIC},
        {"photometric -1", [](Call* c) { c->photometric = -1; }, KRO_ERR_PHOTOMETRIC},
        {"RGB of 8 bits", [](Call* c) { c->photometric = 2; }, KRO_ERR_DEPTH},
        {"size short of the rows", [](Call* c) { c->src->size -= 1; }, KRO_ERR_SIZE},
        {"null destination", [](Call* c) { c->dst = nullptr; }, KRO_ERR_NULL},
        {"null palette", [](Call* c) { c->photometric = 3, c->palette = nullptr; }, KRO_ERR_NULL},
        {"null destination palette", [](Call* c) { c->dstPalette = nullptr; }, KRO_ERR_NULL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Source s("gray", 1);
        RsImage im = s.image.im, dst{};
        int32_t dstPhotometric = 9;
        Palette dstPalette(768);
        Call call{&im, 1, s.palette.data(), &dst, &dstPhotometric, dstPalette.data()};
        c.spoil(&call);
        setOptions({.colortype = 0});
        EXPECT_FAILS_WITH(KroConvImage(call.src, call.photometric, call.palette, call.dst,
                                       call.dstPhotometric, call.dstPalette),
                          c.code);
        EXPECT_EQ(dstPhotometric, 0) << "set before any check";
    }
    Source s("gray", 1);
    RsImage dst{};
    Palette dstPalette(768);
    EXPECT_FAILS_WITH(KroConvImage(&s.image.im, 1, nullptr, &dst, nullptr, dstPalette.data()),
                      KRO_ERR_NULL);
}

// An allocator for the conversion, counted by the base library and failing
// at a chosen call.
int gAllocations = 0;
int gFailAt = 0;
unsigned char* countedAllocate(uint64_t bytes, bool zeroed) {
    if (++gAllocations == gFailAt) return nullptr;
    auto* p = static_cast<unsigned char*>(FndUtMalloc(size_t(bytes), __FILE__, __LINE__));
    if (p && zeroed) std::memset(p, 0, size_t(bytes));
    return p;
}
void countedRelease(void* p) {
    FndUtFree(p, __FILE__, __LINE__);
}
constexpr kro::ConvImageMemory kCounted{countedAllocate, countedRelease};

// KroConvImage through the counted allocator; the status code, not stored.
int32_t convertCounted(RsImage* src, int32_t photometric, const unsigned char* palette,
                       RsImage* dst, int32_t* dstPhotometric, unsigned char* dstPalette) {
    return kro::convImage({kroOption, kCounted}, src, photometric, palette, dst, dstPhotometric,
                          dstPalette);
}

// Every path that allocates, and every way it fails, gives back what it took.
TEST_F(ConvImage, EveryFailureGivesBackEveryBuffer) {
    struct Case {
        const char* what;
        int32_t photometric;
        ColourOptions options;
        int32_t badValidWidth;  // makes the raster operations refuse the region
        int32_t code;           // of the raster operation's failure
    };
    const Case cases[] = {
        {"bilevel", 1, {.colortype = 0}, 0, KRO_ERR_DITHER},
        {"RGB to gray", 2, {.colortype = 1}, 0, KRO_ERR_TO_GRAY},
        {"RGB to palette", 2, {.colortype = 3}, 0, KRO_ERR_TO_PALETTE},
        {"RGB to palette, level, dithered",
         2,
         {.colortype = 3, .level = 3, .dithee = true},
         0,
         KRO_ERR_TO_PALETTE},
        {"RGB copied and reduced", 2, {.level = 3}, 99, KRO_ERR_TO_PALETTE},
        {"gray copied and reduced", 1, {.level = 3}, 99, KRO_ERR_LEVELS},
        {"palette to gray, reduced, dithered",
         3,
         {.colortype = 1, .level = 3, .dithes = 4},
         0,
         KRO_ERR_TO_GRAY},
        {"palette expanded and dithered", 3, {.colortype = 2, .dithee = true}, 99, KRO_ERR_DITHER},
        {"gray copied and dithered", 0, {.dithes = 1}, 46, KRO_ERR_DITHER},
        {"gamma", 2, {.gamma = -1.0, .level = 2}, 0, KRO_ERR_GAMMA},
    };
    // Converts a fresh source, allocation failAt failing; its status code.
    auto run = [](const Case& c, bool badWidth, int failAt) {
        Source s("source", c.photometric);
        if (badWidth) s.image.im.validWidth = c.badValidWidth;
        RsImage dst{};
        int32_t p;
        Palette pal(768);
        gAllocations = 0, gFailAt = failAt;
        const int32_t code =
            convertCounted(&s.image.im, c.photometric, s.palette.data(), &dst, &p, pal.data());
        if (code == 0) countedRelease(dst.data);
        return code;
    };
    const long baseline = FndUtLiveBlocks();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        setOptions(c.options);
        // A successful run, to count its allocations (skipped for bad gamma).
        int allocations = 0;
        if (c.code != KRO_ERR_GAMMA) {
            ASSERT_EQ(run(c, false, 0), 0);
            allocations = gAllocations;
            EXPECT_GE(allocations, 1);
            EXPECT_EQ(FndUtLiveBlocks(), baseline) << "the result was the only block left";
        }
        for (int failAt = 1; failAt <= allocations; ++failAt) {
            EXPECT_EQ(run(c, false, failAt), KRO_ERR_NOMEM);
            EXPECT_EQ(FndUtLiveBlocks(), baseline) << "allocation " << failAt << " failed";
        }
        // The raster operations refuse the region.
        EXPECT_EQ(run(c, true, 0), c.code);
        EXPECT_EQ(FndUtLiveBlocks(), baseline);
    }
}

TEST_F(ConvImage, GammaStaysInTheSourceWhenALaterStepFails) {
    Source s("gray", 1);
    const uint32_t before = kt::pixel(s.image.im, 10, 0);
    setOptions({.colortype = 0, .gamma = 2.0});
    Converted out;
    gAllocations = 0, gFailAt = 1;
    EXPECT_EQ(convertCounted(&s.image.im, 1, s.palette.data(), &out.im, &out.photometric,
                             out.palette.data()),
              KRO_ERR_NOMEM);
    EXPECT_EQ(kt::pixel(s.image.im, 10, 0),
              uint32_t(std::lround(255.0 * std::sqrt(before / 255.0))));
}

}  // namespace
