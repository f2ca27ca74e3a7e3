// Drawable size: the page and picture in dots for an image, and the page and
// paper for a plot, from the job options.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "kro/kro.h"
#include "test_util.h"

namespace {

constexpr int32_t kA4V = 0x00010410;
constexpr int32_t kA4H = 0x00010401;

// Fresh options with the given ones set.
void options(const std::function<void(KroOption&)>& set = {}) {
    kroOption = KroOption{};
    kroOption.dpi.value = 400;
    kroOption.xreso.value = 400;
    kroOption.yreso.value = 400;
    if (set) set(kroOption);
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

TEST(DrawableSize, RasterImage) {
    struct Case {
        const char* what;
        std::function<void(KroOption&)> set;
        int32_t w, h, rx, ry;
        DSize want;
    };
    const Case cases[] = {
        {"no option", {}, 1000, 500, 100, 100, {0, 0, 1000, 500, 100, 100, 1000, 500}},
        {"dpi 200", [](KroOption& o) { o.dpi = {1, 200}; }, 1000, 500, 100, 100,
         {0, 0, 2000, 1000, 200, 200, 2000, 1000}},
        {"A4 portrait at 400",
         [](KroOption& o) {
             o.dpi = {1, 400};
             o.papertype = {1, kA4V};
         },
         1000, 500, 100, 100, {0, 0, 3304, 4672, 400, 400, 3304, 1652}},
        {"rotated onto A4",
         [](KroOption& o) {
             o.dpi = {1, 400};
             o.papertype = {1, kA4V};
             o.rotate = {1, 90};
         },
         1000, 500, 100, 100, {0, 0, 4672, 3304, 400, 400, 4672, 2336}},
        {"rotate 0 turns nothing",
         [](KroOption& o) {
             o.dpi = {1, 400};
             o.papertype = {1, kA4V};
             o.rotate = {1, 0};
         },
         1000, 500, 100, 100, {0, 0, 3304, 4672, 400, 400, 3304, 1652}},
        {"unequal input resolution on A4", [](KroOption& o) { o.papertype = {1, kA4V}; }, 1000,
         500, 100, 200, {0, 0, 824, 2336, 100, 200, 824, 412}},
        {"width and height", [](KroOption& o) {
             o.width = {1, 600};
             o.height = {1, 300};
         },
         1000, 1000, 100, 100, {0, 0, 600, 300, 100, 100, 300, 300}},
        {"xreso alone", [](KroOption& o) { o.xreso = {1, 200}; }, 1000, 500, 100, 100,
         {0, 0, 2000, 2000, 200, 400, 2000, 2000}},
        {"scale", [](KroOption& o) { o.scale = {1, 0.5}; }, 1001, 500, 100, 100,
         {0, 0, 501, 250, 100, 100, 501, 250}},
        {"output resolution 0", [](KroOption& o) { o.xreso = {1, 0}; }, 1000, 500, 100, 100,
         {-1, KRO_ERR_RESOLUTION, -9, -9, 100, 100, -9, -9}},
        {"image shrinks to nothing", [](KroOption& o) { o.dpi = {1, 1}; }, 100, 100, 1000, 1000,
         {-1, KRO_ERR_RESOLUTION, -9, -9, 1000, 1000, -9, -9}},
        {"width 0", {}, 0, 5, 100, 100, {-1, KRO_ERR_SIZE, -9, -9, 100, 100, -9, -9}},
        {"height 32769", {}, 5, 32769, 100, 100, {-1, KRO_ERR_SIZE, -9, -9, 100, 100, -9, -9}},
        {"no input resolution", {}, 5, 5, -1, -1,
         {-1, KRO_ERR_INPUT_RESOLUTION, -9, -9, -1, -1, -9, -9}},
        {"paper too large", [](KroOption& o) {
             o.dpi = {1, 2000};
             o.papertype = {1, 0x00010001};
         },
         5, 5, 100, 100, {-1, KRO_ERR_PAPER_TOO_LARGE, 93616, 66216, 100, 100, -9, -9}},
        {"unknown paper", [](KroOption& o) {
             o.dpi = {1, 200};
             o.papertype = {1, 0x00010700};
         },
         5, 5, 100, 100, {-1, KRO_ERR_PAPER, -9, -9, 100, 100, -9, -9}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        options(c.set);
        EXPECT_EQ(dsize(c.w, c.h, c.rx, c.ry), c.want);
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
        std::function<void(KroOption&)> set;
        double wMm, hMm;
        int32_t fit, rc, width, height;
    };
    const Case cases[] = {
        {"A4 portrait plot at 100 dpi", [](KroOption& o) { o.dpi.value = 100; }, 200, 290, 1, 0,
         824, 1168},
        {"width and height", [](KroOption& o) {
             o.width = {1, 10};
             o.height = {1, 20};
             o.papertype = {1, kA4H};
         },
         200, 290, 1, 0, 10, 20},
        {"paper type given", [](KroOption& o) { o.papertype = {1, kA4H}; }, 1, 1, 1, 0, 4672,
         3304},
        {"no paper holds it: its own size", [](KroOption& o) { o.dpi.value = 100; }, 2000, 2000,
         1, 0, 7874, 7874},
        {"long A4: its length follows the plot", [](KroOption& o) { o.dpi.value = 100; }, 2000,
         200, 1, 0, 8268, 824},
        {"long and flat: its own length", [](KroOption& o) { o.dpi.value = 100; }, 2000, 0, 1, 0,
         7874, 216},
        {"scale", [](KroOption& o) {
             o.dpi.value = 100;
             o.scale = {1, 2.0};
         },
         200, 290, 1, 0, 1648, 2336},
        {"paper too large", [](KroOption& o) {
             o.dpi.value = 4000;
             o.papertype = {1, kA4H};
         },
         1, 1, 1, -1, 46768, 33064},
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
        std::function<void(KroOption&)> set;
        double wMm, hMm;
        int32_t want;
    };
    const int32_t nearest = KroQueryPapertypeByLength(200, 290, 0);
    const int32_t smallest = KroQueryPapertypeByLength(200, 290, 1);
    const int32_t doubled = KroQueryPapertypeByLength(400, 580, 0);
    const Case cases[] = {
        {"papertype wins, even with scale", [](KroOption& o) {
             o.papertype = {1, kA4H};
             o.scale = {1, 2.0};
         },
         200, 290, kA4H},
        {"width beats papertype", [](KroOption& o) {
             o.width = {1, 5};
             o.papertype = {1, kA4H};
         },
         200, 290, 0},
        {"nearest paper", {}, 200, 290, nearest},
        {"physical: smallest that holds it", [](KroOption& o) { o.physical.given = 1; }, 200, 290,
         smallest},
        {"scale without physical", [](KroOption& o) { o.scale = {1, 2.0}; }, 200, 290, 0},
        {"scale with physical", [](KroOption& o) {
             o.scale = {1, 2.0};
             o.physical.given = 1;
         },
         200, 290, doubled},
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
