// The full look (KroDisplayHPGLStyled): the calls it adds on the recording
// device, the pixels it leaves on an image device, and the design's look
// left alone by the same plots.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "kro/gdi.h"
#include "kro/kro.h"
#include "test_util.h"

namespace {

struct Plot {
    std::string text;
    HpglDocument doc{};
    explicit Plot(std::string t, double size = 1000) : text(std::move(t)) {
        doc.path = "test";
        doc.text = text.data();
        doc.textLength = int32_t(text.size() + 1);
        doc.xMax = doc.yMax = size;
        doc.widthMm = doc.heightMm = size * 0.025;
        doc.scale = 1.0;
    }
};

using kt::dump;

// One device unit per plotter unit, the plot centred on 2000 x 2000.
std::string styledCalls(const std::string& text, const float* pens = nullptr,
                        const KroHpglStyle* style = nullptr) {
    {
        // LT's pattern carries from drawing to drawing: start each solid.
        Plot solid("LT;");
        HDC scratch = KroGdiCreateRecorder(100, 100, 1016);
        KroDisplayHPGL(&solid.doc, 100, 100, scratch, nullptr, 0, 0, 0.0f, 0, 0);
        DeleteDC(scratch);
    }
    Plot p(text);
    HDC dc = KroGdiCreateRecorder(2000, 2000, 1016);
    EXPECT_EQ(KroDisplayHPGLStyled(&p.doc, 2000, 2000, dc, pens, style, 0, 1.0f, 1016, 1), 0);
    std::string calls = dump(dc);
    EXPECT_EQ(KroGdiUndeletedObjects(dc, 0), 0) << calls;  // every pen and brush freed
    DeleteDC(dc);
    return calls;
}

struct CallCase {
    const char* plot;
    const char* present;  // in the log
    const char* absent;   // not in the log, or null
};

const CallCase kCallCases[] = {
    // Pen colours: the palette, PC, CR, NP wrapping, SP after PC.
    {"IN;SP2;PD0,100;", "ExtCreatePen(0x12200, 14, {0, 0x0000ff}, 0, [])", nullptr},
    {"IN;SP1;PC1,10,20,30;", "ExtCreatePen(0x12200, 14, {0, 0x1e140a}, 0, [])", nullptr},
    {"IN;CR0,1,0,1,0,1;PC3,1,0.5,0;SP3;", "{0, 0x0080ff}", nullptr},
    {"IN;NP4;SP5;", "{0, 0x0000ff}", nullptr},
    {"IN;SP0;PD0,100;", "", "LineTo"},
    // Widths: PW in mm, for one pen, relative with WU 1; LA's ends and joins.
    {"IN;PW1;SP3;", "ExtCreatePen(0x12200, 40, {0, 0x00ff00}", nullptr},
    {"IN;PW1,2;SP1;", "ExtCreatePen(0x12200, 14, {0, 0x000000}", "40, {0"},
    {"IN;WU1;PW1;SP1;", "ExtCreatePen(0x12200, 123, {0, 0x000000}", nullptr},  // 1 % of P1-P2
    {"IN;LA1,4,2,4;SP1;", "ExtCreatePen(0x10000, 14,", nullptr},
    {"IN;LA1,2,2,5;SP1;", "ExtCreatePen(0x11100, 14,", nullptr},
    {"IN;SP1;LT2;PD0,500;", "ExtCreatePen(0x12207, 14, {0, 0x000000}, 2,", nullptr},
    // Fills: the brush of the pen, the rule of FP, rectangles and wedges.
    {"IN;SP5;PA0,0;PM0;PD100,0,100,100;PM2;FP;",
     "SelectObject(NULL_PEN) = pen#2\nSetPolyFillMode(1)\nPolyPolygon(1, 3; (500,1500) "
     "(600,1500) (600,1400))",
     nullptr},
    {"IN;SP1;PM0;PD100,0,100,100;PM2;FP1;", "SetPolyFillMode(2)\nPolyPolygon(1, 3;", nullptr},
    {"IN;SP1;PM0;PD100,0,100,100;PM1;PU200,200;PD300,200,300,300;PM2;FP;", "PolyPolygon(2, 3, 3;",
     nullptr},
    {"IN;SP1;PA100,100;RA300,200;", "PolyPolygon(1, 4; (600,1400) (800,1400) (800,1300) (600,1300))",
     nullptr},
    {"IN;SP1;PA100,100;RR-100,50;", "PolyPolygon(1, 4; (600,1400) (500,1400) (500,1350) (600,1350))",
     nullptr},
    {"IN;SP1;PA500,500;WG100,0,90;", "PolyPolygon(1, 20; (1000,1000) (1100,1000)", nullptr},
    {"IN;SP1;FT3,50,0;RA100,100;", "MoveToEx", "PolyPolygon"},
    {"IN;SP1;PA500,500;EA600,600;EW50,0,90;", "Rectangle(", "CreateSolidBrush"},
    // Labels: strokes, and the pen after the last character.
    {"IN;SP1;SI0.1,0.1;LBH\x03;", "PolylineTo", "Rectangle"},
    {"IN;SP1;DT*;LBAB*PD;", "PolylineTo", nullptr},
    // Hostile numbers: every command ends, nothing overflows.
    {"IN;SP1;FT3,0.000001;PA1e300,1e300;RA-1e300,-1e300;WG1e300,0,1e999;FT4;RR1e300,1;"
     "PC1,1e999,-1e999,5;LA1,1e99;FT1e99;NP1e99;PW1e99;WU1;PW-1;CR;SI1e300,1;LBX\x03",
     "", nullptr},
};

class LookCalls : public ::testing::TestWithParam<CallCase> {};

TEST_P(LookCalls, Draws) {
    const CallCase& c = GetParam();
    const std::string calls = styledCalls(c.plot);
    EXPECT_NE(calls.find(c.present), std::string::npos) << c.plot << "\n" << calls;
    if (c.absent) {
        EXPECT_EQ(calls.find(c.absent), std::string::npos) << calls;
    }
}

INSTANTIATE_TEST_SUITE_P(Plots, LookCalls, ::testing::ValuesIn(kCallCases));

TEST(Look, HostWidthsWinOverPw) {
    const float pens[8] = {0.5f, 0, 0, 0, 0, 0, 0, 0};
    const std::string calls = styledCalls("IN;PW1;SP1;SP2;", pens);
    EXPECT_NE(calls.find("ExtCreatePen(0x12200, 20, {0, 0x000000}"), std::string::npos) << calls;
    EXPECT_NE(calls.find("ExtCreatePen(0x12200, 40, {0, 0x0000ff}"), std::string::npos) << calls;
}

TEST(Look, StyleFlagsAndShortRecord) {
    const KroHpglStyle mono{sizeof(KroHpglStyle), KRO_HPGL_MONOCHROME | KRO_HPGL_NO_FILLS, nullptr,
                            0};
    std::string calls = styledCalls("IN;SP2;PA100,100;RA300,200;", nullptr, &mono);
    EXPECT_NE(calls.find("{0, 0x000000}"), std::string::npos) << calls;
    EXPECT_EQ(calls.find("PolyPolygon"), std::string::npos) << calls;
    // A record of only its size field: the flags beyond it read as 0.
    const KroHpglStyle shortRecord{4, KRO_HPGL_MONOCHROME, nullptr, 0};
    calls = styledCalls("IN;SP2;", nullptr, &shortRecord);
    EXPECT_NE(calls.find("{0, 0x0000ff}"), std::string::npos) << calls;
}

// The pen after a label stands one advance past its last character: a line
// drawn from there starts to the right of the label's origin.
TEST(Look, LabelLeavesThePenAfterItsText) {
    const std::string calls = styledCalls("IN;SP1;SI0.1,0.1;PA0,0;LBHH\x03PD0,0;");
    // Two steps of the label's box, 40 plotter units each, from x 0 (device
    // 500): where the page was measured to end.
    EXPECT_NE(calls.find("MoveToEx(580, 1500)\nLineTo(499, 1500)"), std::string::npos) << calls;
}

// The design's look ignores what the full look draws.
TEST(Look, DesignLookUnchanged) {
    Plot p("IN;SP2;PC1,255,0,0;PW2;FT1;PA100,100;RA300,200;PM0;PD100,0;PM2;FP;WG50,0,90;");
    HDC dc = KroGdiCreateRecorder(2000, 2000, 1016);
    const float pens[8] = {};
    ASSERT_EQ(KroDisplayHPGL(&p.doc, 2000, 2000, dc, pens, 0, 0, 1.0f, 1016, 1), 0);
    const std::string calls = dump(dc);
    for (const char* absent : {"CreateSolidBrush", "PolyPolygon", "SetPolyFillMode", "0x0000ff"})
        EXPECT_EQ(calls.find(absent), std::string::npos) << absent << "\n" << calls;
    DeleteDC(dc);
}

// Pixels of an image device: 0x00RRGGBB.
struct Page {
    HDC dc;
    Page(const std::string& text, int side = 400) {
        Plot p(text);
        dc = KroGdiCreateDevice(KRO_GDI_IMAGE, side, side, 1016, nullptr, 0);
        EXPECT_EQ(KroDisplayHPGLStyled(&p.doc, side, side, dc, nullptr, nullptr, 0, 0.0f, 0, 0),
                  0);
    }
    ~Page() { DeleteDC(dc); }
    // The plot point (x, y) of a 1000-unit plot fitted to the page.
    uint32_t at(double x, double y) const {
        int32_t w, h, stride;
        const unsigned char* px = KroGdiPixels(dc, &w, &h, &stride);
        const double k = (w - 20) / 1000.0;
        const int dx = int(x * k + 10.5), dy = int(h - (y * k + 0.5) - 10);
        return reinterpret_cast<const uint32_t*>(px + size_t(dy) * size_t(stride))[dx] & 0xFFFFFF;
    }
    // Pixels that are not white within the plot box (x0, y0) - (x1, y1).
    int ink(double x0, double y0, double x1, double y1) const {
        int n = 0;
        for (double y = y0; y <= y1; y += 2.5)
            for (double x = x0; x <= x1; x += 2.5) n += at(x, y) != 0xFFFFFF;
        return n;
    }
};

TEST(LookPixels, FillsInThePenColourInsideTheOutline) {
    KRO_SKIP_WITHOUT_CAIRO();
    const Page page("IN;PA0,0;PD0,1000;PU;SP2;PA100,100;RA400,400;SP3;EA400,400;"
                    "SP5;PA600,600;PM0;PD900,600,900,900,600,900;PM2;FP;");
    EXPECT_EQ(page.at(250, 250), 0xFF0000u);   // red inside the rectangle
    EXPECT_EQ(page.at(400, 250), 0x00FF00u);   // its green edge
    EXPECT_EQ(page.at(750, 750), 0x0000FFu);   // the blue polygon
    EXPECT_EQ(page.at(500, 500), 0xFFFFFFu);   // paper between them
}

TEST(LookPixels, EvenOddAndNonZero) {
    KRO_SKIP_WITHOUT_CAIRO();
    // Two squares, one inside the other, drawn the same way round.
    const std::string squares = "PA100,100;PM0;PD900,100,900,900,100,900;PM1;PU300,300;"
                                "PD700,300,700,700,300,700;PM2;";
    const Page evenOdd("IN;SP1;" + squares + "FP0;");
    const Page nonZero("IN;SP1;" + squares + "FP1;");
    EXPECT_EQ(evenOdd.at(200, 200), 0u);
    EXPECT_EQ(evenOdd.at(500, 500), 0xFFFFFFu);
    EXPECT_EQ(nonZero.at(500, 500), 0u);
}

TEST(LookPixels, HatchingLeavesGapsAndStaysInside) {
    KRO_SKIP_WITHOUT_CAIRO();
    const Page page("IN;SP1;FT3,50,0;PA200,200;RA800,800;");
    const int inside = page.ink(250, 250, 750, 750);
    EXPECT_GT(inside, 0);
    EXPECT_LT(inside, 201 * 201 / 3);  // lines, not a solid fill
    EXPECT_EQ(page.ink(50, 50, 150, 150), 0);
}

TEST(LookPixels, LabelInkInsideItsBox) {
    KRO_SKIP_WITHOUT_CAIRO();
    const Page page("IN;SP1;SI0.5,0.5;PA100,400;LBKRO\x03");
    // Three characters of 200 x 200 plotter units, 1.5 widths apart.
    EXPECT_GT(page.ink(100, 400, 100 + 2.5 * 300, 600), 50);
    EXPECT_EQ(page.ink(100, 650, 900, 900), 0);
    EXPECT_EQ(page.ink(100, 100, 900, 350), 0);
}

}  // namespace
