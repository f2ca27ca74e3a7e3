// Drawable size: the page and picture in dots for an image, and the page and
// paper for a plot, from the job options.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "kro/kro.h"
#include "test_util.h"

namespace {

constexpr int32_t kA4V = 0x00010410;
constexpr int32_t kA4H = 0x00010401;
constexpr int32_t kNo = -1;  // option not given

// The options of one case; every other option is not given.
struct Opts {
    int32_t dpi = kNo, papertype = kNo, rotate = kNo, width = kNo, height = kNo, xreso = kNo;
    double scale = kNo;
    bool physical = false;
    int32_t dpiValue = 400;  // used whether dpi is given or not
};

void options(const Opts& o = {}) {
    kroOption = KroOption{};
    kroOption.dpi = o.dpi != kNo ? KroIntSlot{1, o.dpi} : KroIntSlot{0, o.dpiValue};
    kroOption.xreso = {o.xreso != kNo, o.xreso != kNo ? o.xreso : 400};
    kroOption.yreso = {0, 400};
    if (o.papertype != kNo) kroOption.papertype = {1, o.papertype};
    if (o.rotate != kNo) kroOption.rotate = {1, o.rotate};
    if (o.width != kNo) kroOption.width = {1, o.width};
    if (o.height != kNo) kroOption.height = {1, o.height};
    if (o.scale != kNo) kroOption.scale = {1, o.scale};
    kroOption.physical.given = o.physical;
}

struct DSize {
    int32_t rc, status, pw, ph, ox, oy, dw, dh;
    bool operator==(const DSize&) const = default;
};
std::ostream& operator<<(std::ostream& os, const DSize& d) {
    return os << "rc " << d.rc << " status " << d.status << " paper " << d.pw << "x" << d.ph
              << " at " << d.ox << "x" << d.oy << " drawable " << d.dw << "x" << d.dh;
}

DSize dsize(int32_t w, int32_t h, int32_t rx, int32_t ry) {
    DSize d{0, 0, -9, -9, -9, -9, -9, -9};
    const int32_t res[2] = {rx, ry};
    int32_t out[2] = {-9, -9};
    fndErrorStatus = 0;
    d.rc = KroGetDSize(w, h, res, &d.pw, &d.ph, out, &d.dw, &d.dh);
    d.status = fndErrorStatus;
    d.ox = out[0];
    d.oy = out[1];
    return d;
}

// A refusal: the output resolution is set, the sizes are not.
DSize refused(int32_t code, int32_t rx = 100, int32_t ry = 100) {
    return {-1, code, -9, -9, rx, ry, -9, -9};
}

TEST(DrawableSize, RasterImage) {
    struct Picture {
        int32_t w = 1000, h = 500, rx = 100, ry = 100;
    };
    struct Case {
        const char* what;
        Opts set;
        DSize want;
        Picture in = {};
    };
    const Case cases[] = {
        {"no option", {}, {0, 0, 1000, 500, 100, 100, 1000, 500}},
        {"dpi 200", {.dpi = 200}, {0, 0, 2000, 1000, 200, 200, 2000, 1000}},
        {"A4 portrait at 400", {400, kA4V}, {0, 0, 3304, 4672, 400, 400, 3304, 1652}},
        {"rotated onto A4", {400, kA4V, 90}, {0, 0, 4672, 3304, 400, 400, 4672, 2336}},
        {"rotate 0 turns nothing", {400, kA4V, 0}, {0, 0, 3304, 4672, 400, 400, 3304, 1652}},
        {"unequal input resolution on A4",
         {.papertype = kA4V},
         {0, 0, 824, 2336, 100, 200, 824, 412},
         {.ry = 200}},
        // A fax page: the sheet looked up at 204 dpi, its height shrunk to 98 dpi.
        {"fax resolution on A4",
         {.papertype = kA4V},
         {0, 0, 1680, 1145, 204, 98, 1680, 1069},
         {1728, 1100, 204, 98}},
        {"width and height",
         {.width = 600, .height = 300},
         {0, 0, 600, 300, 100, 100, 300, 300},
         {.h = 1000}},
        {"xreso alone", {.xreso = 200}, {0, 0, 2000, 2000, 200, 400, 2000, 2000}},
        {"scale", {.scale = 0.5}, {0, 0, 501, 250, 100, 100, 501, 250}, {.w = 1001}},
        {"output resolution 0", {.xreso = 0}, refused(KRO_ERR_RESOLUTION)},
        {"image shrinks to nothing",
         {.dpi = 1},
         refused(KRO_ERR_RESOLUTION, 1000, 1000),
         {100, 100, 1000, 1000}},
        {"width 0", {}, refused(KRO_ERR_SIZE), {0, 5}},
        {"height 32769", {}, refused(KRO_ERR_SIZE), {5, 32769}},
        {"no input resolution", {}, refused(KRO_ERR_INPUT_RESOLUTION, -1, -1), {5, 5, -1, -1}},
        {"paper too large",
         {.dpi = 2000, .papertype = 0x00010001},
         {-1, KRO_ERR_PAPER_TOO_LARGE, 93616, 66216, 100, 100, -9, -9},
         {5, 5}},
        {"unknown paper", {.dpi = 200, .papertype = 0x00010700}, refused(KRO_ERR_PAPER), {5, 5}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        options(c.set);
        EXPECT_EQ(dsize(c.in.w, c.in.h, c.in.rx, c.in.ry), c.want);
    }
    options();
    int32_t pw, ph, out[2], dw, dh;
    EXPECT_FAILS_WITH(KroGetDSize(5, 5, nullptr, &pw, &ph, out, &dw, &dh), KRO_ERR_NULL);
}

HpglDocument plot(double widthMm, double heightMm) {
    HpglDocument d{};
    d.widthMm = widthMm;
    d.heightMm = heightMm;
    return d;
}

TEST(DrawableSize, Plot) {
    struct Case {
        const char* what;
        Opts set;
        double wMm, hMm;
        int32_t fit, rc, width, height;
    };
    const Case cases[] = {
        {"A4 portrait plot at 100 dpi", {.dpiValue = 100}, 200, 290, 1, 0, 824, 1168},
        {"sides", {.papertype = kA4H, .width = 10, .height = 20}, 200, 290, 1, 0, 10, 20},
        {"paper type given", {.papertype = kA4H}, 1, 1, 1, 0, 4672, 3304},
        {"no paper holds it: its own size", {.dpiValue = 100}, 2000, 2000, 1, 0, 7874, 7874},
        {"long A4: its length follows the plot", {.dpiValue = 100}, 2000, 200, 1, 0, 8268, 824},
        {"long and flat: its own length", {.dpiValue = 100}, 2000, 0, 1, 0, 7874, 216},
        {"scale", {.scale = 2.0, .dpiValue = 100}, 200, 290, 1, 0, 1648, 2336},
        {"paper too large", {.papertype = kA4H, .dpiValue = 4000}, 1, 1, 1, -1, 46768, 33064},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        options(c.set);
        HpglDocument d = plot(c.wMm, c.hMm);
        int32_t w = -9, h = -9;
        EXPECT_EQ(SetDrawableSize(&d, &w, &h, c.fit), c.rc);
        EXPECT_EQ(w, c.width);
        EXPECT_EQ(h, c.height);
    }
    options();
    int32_t w, h;
    EXPECT_FAILS_WITH(SetDrawableSize(nullptr, &w, &h, 1), KRO_ERR_NULL);
    HpglDocument huge = plot(1e300, INFINITY);
    EXPECT_EQ(SetDrawableSize(&huge, &w, &h, 1), 0);  // saturates, no overflow
}

TEST(DrawableSize, PlotPaperType) {
    struct Case {
        const char* what;
        Opts set;
        double wMm, hMm;
        int32_t want;
    };
    const int32_t nearest = KroQueryPapertypeByLength(200, 290, 0);
    const int32_t smallest = KroQueryPapertypeByLength(200, 290, 1);
    const int32_t doubled = KroQueryPapertypeByLength(400, 580, 0);
    const Case cases[] = {
        {"papertype wins, even with scale", {.papertype = kA4H, .scale = 2.0}, 200, 290, kA4H},
        {"width beats papertype", {.papertype = kA4H, .width = 5}, 200, 290, 0},
        {"nearest paper", {}, 200, 290, nearest},
        {"physical: smallest that holds it", {.physical = true}, 200, 290, smallest},
        {"scale without physical", {.scale = 2.0}, 200, 290, 0},
        {"scale with physical", {.scale = 2.0, .physical = true}, 200, 290, doubled},
        {"no paper", {}, 5000, 5000, 0},
    };
    EXPECT_NE(nearest, 0);
    EXPECT_NE(doubled, 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        options(c.set);
        HpglDocument d = plot(c.wMm, c.hMm);
        EXPECT_EQ(SetPaperType(&d), c.want);
    }
    options();
}

}  // namespace
