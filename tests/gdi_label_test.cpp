// Label text: KroGdiDrawLabel on the Cairo device (upright glyphs filling
// their cells and nothing else, clip and pen colour), the devices and frames
// that decline it, and the HP-GL renderer's labels drawn inside their boxes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "kro/gdi.h"
#include "kro/kro.h"
#include "test_util.h"

// Fontconfig, which finds the font of label text, keeps its configuration for
// the life of the process; the leak checker (which alone calls this) is told so.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

namespace {

using kt::Dc;

HDC textDevice(int32_t side = 200, uint32_t flags = KRO_GDI_LABEL_TEXT) {
    return KroGdiCreateDevice(KRO_GDI_IMAGE, side, side, 72, nullptr, flags);
}

uint32_t pixel(HDC dc, int x, int y) {
    int32_t w, h, stride;
    const unsigned char* p = KroGdiPixels(dc, &w, &h, &stride);
    return reinterpret_cast<const uint32_t*>(p + y * stride)[x];
}
bool ink(HDC dc, int x, int y) {
    const uint32_t px = pixel(dc, x, y);
    return ((px >> 16) & 0xFF) + ((px >> 8) & 0xFF) + (px & 0xFF) < 3 * 128;
}
int inkCount(HDC dc) {
    int32_t w = 0, h = 0;
    KroGdiGetSize(dc, &w, &h, nullptr);
    int n = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) n += ink(dc, x, y);
    return n;
}

// A pixel's centre in the coordinates of cell i: u across the width vector, v
// up the height vector, both 0 to 1 inside the cell.
struct CellPoint {
    double u, v;
};
CellPoint inCell(const double* f, int i, int x, int y) {
    const double px = x - (f[0] + i * f[6]), py = y - (f[1] + i * f[7]);
    const double det = f[2] * f[5] - f[3] * f[4];
    return {(px * f[5] - py * f[4]) / det, (f[2] * py - f[3] * px) / det};
}
// Inside the cell, give or take a pixel.
bool nearCell(const double* f, int i, int x, int y) {
    const CellPoint c = inCell(f, i, x, y);
    const double mu = 1.2 / std::hypot(f[2], f[3]), mv = 1.2 / std::hypot(f[4], f[5]);
    return c.u >= -mu && c.u <= 1 + mu && c.v >= -mv && c.v <= 1 + mv;
}

const double kSin30 = 0.5, kCos30 = std::sqrt(3.0) / 2;

struct FrameRow {
    const char* name;
    double frame[8];  // origin, width vector, height vector, step
} const kFrames[] = {
    {"horizontal", {20, 100, 20, 0, 0, -30, 20, 0}},
    {"extra space", {20, 100, 20, 0, 0, -30, 32, 0}},
    {"slanted", {20, 100, 20, 0, 12, -30, 20, 0}},
    {"up the page", {100, 170, 0, -20, -30, 0, 0, -20}},
    {"rotated 30 degrees",
     {40, 150, 20 * kCos30, -20 * kSin30, -30 * kSin30, -30 * kCos30, 20 * kCos30, -20 * kSin30}},
    {"stacked", {90, 50, 20, 0, 0, -30, 0, 40}},
    {"upside down", {150, 60, -20, 0, 0, 30, -20, 0}},
};

TEST(GdiLabelText, UprightGlyphsFillTheirCellsAndNothingElse) {
    KRO_SKIP_WITHOUT_CAIRO();
    for (const FrameRow& r : kFrames) {
        Dc dc(textDevice());
        ASSERT_TRUE(KroGdiDrawLabel(dc, "LEX", r.frame)) << r.name;
        // L: its stem in the cell's left half, its bar along the baseline.
        int perCell[3] = {}, outside = 0, left = 0, right = 0, bar = 0, aboveBar = 0;
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 200; ++x) {
                if (!ink(dc, x, y)) continue;
                bool in = false;
                for (int i = 0; i < 3; ++i)
                    if (nearCell(r.frame, i, x, y)) ++perCell[i], in = true;
                outside += !in;
                const CellPoint c = inCell(r.frame, 0, x, y);
                if (c.u < -0.1 || c.u > 1 || c.v < -0.1 || c.v > 1.1) continue;  // the L alone
                (c.u < 0.5 ? left : right)++;
                if (c.u <= 0.6) continue;
                bar += c.v < 0.2;
                aboveBar += c.v > 0.3;
            }
        EXPECT_EQ(outside, 0) << r.name;
        for (int i = 0; i < 3; ++i) EXPECT_GT(perCell[i], 25) << r.name << " cell " << i;
        EXPECT_GT(left, right) << r.name;
        EXPECT_GT(bar, 10) << r.name;
        EXPECT_EQ(aboveBar, 0) << r.name;
    }
}

// A vertical label's cells touch (the step is the height): its capitals keep
// a gap between them, clear of the cells' top and bottom edges.
TEST(GdiLabelText, StackedCellsThatTouchKeepAGap) {
    KRO_SKIP_WITHOUT_CAIRO();
    const double frame[8] = {90, 40, 20, 0, 0, -30, 0, 30};
    Dc dc(textDevice());
    ASSERT_TRUE(KroGdiDrawLabel(dc, "HEH", frame));
    int inner = 0, edge = 0;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x) {
            if (!ink(dc, x, y)) continue;
            const double v = inCell(frame, 0, x, y).v;
            const double within = v - std::floor(v);  // 0 at a cell's bottom, 1 at its top
            (within < 0.1 || within > 0.9 ? edge : inner)++;
        }
    EXPECT_GT(inner, 75);
    EXPECT_EQ(edge, 0);
}

TEST(GdiLabelText, OnlyPrintableCharactersAreDrawn) {
    KRO_SKIP_WITHOUT_CAIRO();
    const double* f = kFrames[0].frame;  // cells 20 pixels wide from x = 20
    Dc dc(textDevice());
    // Control bytes, a space and bytes above 127 keep their cells blank.
    ASSERT_TRUE(KroGdiDrawLabel(dc, "H\x01 \r\xff\x80H", f));
    int first = 0, blanks = 0, last = 0;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x)
            if (ink(dc, x, y)) (x < 40 ? first : x < 140 ? blanks : last)++;
    EXPECT_GT(first, 25);
    EXPECT_EQ(blanks, 0);
    EXPECT_GT(last, 25);
    Dc blank(textDevice());
    EXPECT_TRUE(KroGdiDrawLabel(blank, " \t", f));
    EXPECT_TRUE(KroGdiDrawLabel(blank, "", f));
    EXPECT_EQ(inkCount(blank), 0);
}

TEST(GdiLabelText, PenColourAndClip) {
    KRO_SKIP_WITHOUT_CAIRO();
    Dc dc(textDevice());
    HPEN red = CreatePen(PS_SOLID, 0, RGB(255, 0, 0));
    HGDIOBJ host = SelectObject(dc, red);
    HRGN left = CreateRectRgn(0, 0, 50, 200);
    ASSERT_EQ(SelectClipRgn(dc, left), SIMPLEREGION);
    DeleteObject(left);
    ASSERT_TRUE(KroGdiDrawLabel(dc, "HHHH", kFrames[0].frame));  // x 20 to 100
    int inside = 0, beyond = 0;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x) {
            const uint32_t px = pixel(dc, x, y);
            if (px == 0xFFFFFFFFu) continue;
            EXPECT_EQ(px, 0xFFFF0000u) << x << "," << y;  // red, not smoothed
            (x < 50 ? inside : beyond)++;
        }
    EXPECT_GT(inside, 50);
    EXPECT_EQ(beyond, 0);
    SelectObject(dc, host);
    DeleteObject(red);
}

TEST(GdiLabelText, OtherDevicesAndUnusableFramesDecline) {
    KRO_SKIP_WITHOUT_CAIRO();
    const double* f = kFrames[0].frame;
    Dc plain(textDevice(200, 0));
    EXPECT_FALSE(KroGdiDrawLabel(plain, "HEX", f));
    EXPECT_EQ(inkCount(plain), 0);
    // The recorder declines without logging.
    Dc recorder(KroGdiCreateRecorder(200, 200, 72));
    EXPECT_FALSE(KroGdiDrawLabel(recorder, "HEX", f));
    EXPECT_EQ(KroGdiRecordCount(recorder), 0);
    EXPECT_EQ(KroGdiFaults(recorder), 0);
    EXPECT_FALSE(KroGdiDrawLabel(nullptr, "HEX", f));

    Dc dc(textDevice());
    const double flat[8] = {20, 100, 20, 0, 40, 0, 20, 0};  // height along the width
    const double nan[8] = {20, 100, 20, 0, 0, std::nan(""), 20, 0};
    const double tiny[8] = {20, 100, 1e-9, 0, 0, -1e-9, 1e-9, 0};
    EXPECT_FALSE(KroGdiDrawLabel(dc, "HEX", flat));
    EXPECT_FALSE(KroGdiDrawLabel(dc, "HEX", nan));
    EXPECT_FALSE(KroGdiDrawLabel(dc, "HEX", tiny));
    EXPECT_FALSE(KroGdiDrawLabel(dc, nullptr, f));
    EXPECT_FALSE(KroGdiDrawLabel(dc, "HEX", nullptr));
    // Cells far off the page, or larger than the font engine scales to,
    // leave the device (and the face, shared by every device) drawing.
    const double distant[8] = {1e12, -1e12, 20, 0, 0, -30, 20, 0};
    const double huge[8] = {-1e6, 1e6, 4e6, 0, 0, -6e6, 4e6, 0};
    const double large[8] = {-1e5, 1e4, 1.5e4, 0, 0, -2e4, 1.5e4, 0};  // all off the page
    EXPECT_TRUE(KroGdiDrawLabel(dc, "HEX", distant));
    EXPECT_FALSE(KroGdiDrawLabel(dc, "HEX", huge));
    EXPECT_TRUE(KroGdiDrawLabel(dc, "HEX", large));
    EXPECT_EQ(inkCount(dc), 0);
    MoveToEx(dc, 0, 5, nullptr);
    EXPECT_TRUE(LineTo(dc, 100, 5));
    EXPECT_TRUE(ink(dc, 50, 5));
}

TEST(GdiLabelText, BigGlyphsAreFilledOutlines) {
    KRO_SKIP_WITHOUT_CAIRO();
    const double big[8] = {20, 700, 500, 0, 0, -600, 500, 0};
    Dc dc(textDevice(800));
    ASSERT_TRUE(KroGdiDrawLabel(dc, "H", big));
    int in = 0, out = 0;
    for (int y = 0; y < 800; y += 2)
        for (int x = 0; x < 800; x += 2)
            if (ink(dc, x, y)) (nearCell(big, 0, x, y) ? in : out)++;
    EXPECT_GT(in, 1000);
    EXPECT_EQ(out, 0);
}

// ---- The renderer's labels ----

// Draws the plot on a 400 x 400 image device at one device unit per 10
// plotter units; labels as text when asked.
struct Page {
    Dc dc;
    Page(const std::string& plot, bool text, int32_t type = 0)
        : dc(textDevice(400, text ? KRO_GDI_LABEL_TEXT : 0)) {
        std::string bytes = plot;
        HpglDocument doc{};
        doc.path = "test";
        doc.text = bytes.data();
        doc.textLength = int32_t(bytes.size() + 1);
        doc.xMax = doc.yMax = 4000;
        doc.widthMm = doc.heightMm = 100;
        doc.scale = 1.0;
        doc.plot = type;
        const float pens[8] = {};
        EXPECT_EQ(KroDisplayHPGL(&doc, 400, 400, dc, pens, 0, 0, 0.1f, 1016, 0), 0);
    }
};

TEST(HpglLabelText, TextFillsTheBoxTheOutlineDraws) {
    KRO_SKIP_WITHOUT_CAIRO();
    struct Row {
        const char* settings;
        int32_t type;
    } const rows[] = {
        {"", 0},       {"DI0,1;", 0},  {"DI-1,0;", 0}, {"DI0,-1;", 0},
        {"SL0.5;", 0}, {"IN;ES1;", 5}, {"IN;DV1;", 5}, {"IN;DV1;ES0,1;", 5},
    };
    for (const Row& r : rows) {
        const std::string plot = std::string(r.settings) + "SP1;PA2000,2000;SI0.3,0.5;LBHEXH\x03";
        Page box(plot, false, r.type), text(plot, true, r.type);
        // The outline's extent, widened by a pixel.
        int x0 = 400, y0 = 400, x1 = -1, y1 = -1;
        for (int y = 0; y < 400; ++y)
            for (int x = 0; x < 400; ++x)
                if (ink(box.dc, x, y))
                    x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x),
                    y1 = std::max(y1, y);
        ASSERT_GE(x1, 0) << r.settings;
        int in = 0, out = 0, outline = 0;
        for (int y = 0; y < 400; ++y)
            for (int x = 0; x < 400; ++x) {
                if (!ink(text.dc, x, y)) continue;
                (x >= x0 - 1 && x <= x1 + 1 && y >= y0 - 1 && y <= y1 + 1 ? in : out)++;
                outline += ink(box.dc, x, y);
            }
        EXPECT_EQ(out, 0) << r.settings;
        EXPECT_GT(in, 40) << r.settings;
        EXPECT_LT(outline, in) << r.settings;  // text, not the outline again
        // The text reaches both ends of the box along the label.
        const bool across = x1 - x0 > y1 - y0;
        int first = 400, last = -1;
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x)
                if (ink(text.dc, x, y)) {
                    first = std::min(first, across ? x : y);
                    last = std::max(last, across ? x : y);
                }
        const int lo = across ? x0 : y0, hi = across ? x1 : y1;
        EXPECT_LT(first - lo, (hi - lo) / 8) << r.settings;
        EXPECT_LT(hi - last, (hi - lo) / 8) << r.settings;
    }
}

}  // namespace
