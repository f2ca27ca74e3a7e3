// The full look's plotter commands beyond the design's: RO turning the axes,
// PG's pages (measured and drawn one at a time), SM symbols, LO label
// origins, DV stacked labels and CI chords; and the design's look left as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "hpgl/hpgl.h"
#include "kro/fnd.h"
#include "kro/gdi.h"
#include "kro/kro.h"

namespace {

using namespace kro::hpgl;

PlotExtents measureFull(const std::string& text, int32_t page = 0, int32_t expect = 0) {
    PlotExtents e{};
    const MeasureRules rules{.fullLook = true, .page = page};
    EXPECT_EQ(measurePlot(text.c_str(), int32_t(text.size() + 1), 0, 0, nullptr, &e, rules), expect)
        << text;
    return e;
}

struct Plot {
    std::string text;
    HpglDocument doc{};
    explicit Plot(std::string t) : text(std::move(t)) {
        doc.path = "test";
        doc.text = text.data();
        doc.textLength = int32_t(text.size() + 1);
        doc.scale = 1.0;
    }
};

// The box of the lines a plot drew on the recording device, at one device
// unit per plotter unit.
struct DeviceBox {
    int32_t left = INT32_MAX, top = INT32_MAX, right = INT32_MIN, bottom = INT32_MIN;
    int lines = 0;   // LineTo and PolylineTo calls
    int points = 0;  // MoveToEx, LineTo and PolylineTo points
    void add(int32_t x, int32_t y) {
        left = std::min(left, x), right = std::max(right, x);
        top = std::min(top, y), bottom = std::max(bottom, y);
        ++points;
    }
};

DeviceBox drawn(const std::string& text, int32_t page = 0, bool design = false) {
    Plot p(text);
    if (!design && KroSelectHPGLPage(&p.doc, page < 1 ? 1 : page) < 1) ADD_FAILURE() << text;
    // Every plot placed alike, so that their drawings compare.
    p.doc.xMin = p.doc.yMin = -1500;
    p.doc.xMax = p.doc.yMax = 1500;
    HDC dc = KroGdiCreateRecorder(4000, 4000, 1016);
    KroHpglStyle style{sizeof style, 0, nullptr, page};
    const int32_t rc =
        design ? KroDisplayHPGL(&p.doc, 4000, 4000, dc, nullptr, 0, 0, 1.0f, 1016, 1)
               : KroDisplayHPGLStyled(&p.doc, 4000, 4000, dc, nullptr, &style, 0, 1.0f, 1016, 1);
    EXPECT_EQ(rc, 0) << text;
    EXPECT_EQ(KroGdiUndeletedObjects(dc, 0), 0) << text;
    DeviceBox box;
    KroGdiRecord r;
    bool moved = false;  // a move counts when a line starts there
    int32_t moveX = 0, moveY = 0;
    for (int32_t i = 0; KroGdiGetRecord(dc, i, &r) == 0; ++i) {
        if (r.call == KRO_GDI_CALL_MOVE_TO_EX) {
            moved = true, moveX = r.args[0], moveY = r.args[1];
            continue;
        }
        if (r.call != KRO_GDI_CALL_LINE_TO && r.call != KRO_GDI_CALL_POLYLINE_TO) continue;
        if (moved) box.add(moveX, moveY);
        moved = false;
        ++box.lines;
        if (r.call == KRO_GDI_CALL_LINE_TO) box.add(r.args[0], r.args[1]);
        for (int32_t k = 0; r.call == KRO_GDI_CALL_POLYLINE_TO && k + 1 < r.valueCount; k += 2)
            box.add(r.values[k], r.values[k + 1]);
    }
    DeleteDC(dc);
    return box;
}

TEST(HpglRotation, TurnsTheExtentsAndTheDrawing) {
    struct Case {
        const char* text;
        double xMin, xMax, yMin, yMax;
    };
    const Case cases[] = {
        {"IN;RO90;PA0,0;PD300,0,300,100;", -100, 0, 0, 300},
        {"IN;RO180;PA0,0;PD300,0,300,100;", -300, 0, -100, 0},
        {"IN;RO270;PA0,0;PD300,0,300,100;", 0, 100, -300, 0},
        {"IN;RO45;PA0,0;PD300,0,300,100;", 0, 300, 0, 100},     // not a quarter: unturned
        {"IN;RO90;IN;PA0,0;PD300,0,300,100;", 0, 300, 0, 100},  // IN turns back
        {"IN;RO90;PA100,0;CI50;", -50, 50, 50, 150},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const PlotExtents e = measureFull(c.text);
        EXPECT_DOUBLE_EQ(e.xMin, c.xMin);
        EXPECT_DOUBLE_EQ(e.xMax, c.xMax);
        EXPECT_DOUBLE_EQ(e.yMin, c.yMin);
        EXPECT_DOUBLE_EQ(e.yMax, c.yMax);
    }
    // Drawn: the line along x stands upright on the device, in the full look only.
    const DeviceBox turned = drawn("IN;RO90;SP1;PA0,0;PD300,0;");
    EXPECT_LE(turned.right - turned.left, 2);
    EXPECT_GE(turned.bottom - turned.top, 299);
    const DeviceBox design = drawn("IN;RO90;SP1;PA0,0;PD300,0;", 0, true);
    EXPECT_GE(design.right - design.left, 299);
    EXPECT_LE(design.bottom - design.top, 2);
    // The design's measure ignores RO.
    PlotExtents d{};
    const std::string text = "IN;RO90;PA0,0;PD300,0;";
    ASSERT_EQ(measurePlot(text.c_str(), int32_t(text.size() + 1), 0, 0, nullptr, &d), 0);
    EXPECT_DOUBLE_EQ(d.xMax, 300);
}

TEST(HpglPages, CountedAndMeasuredOneByOne) {
    const std::string plot =
        "IN;PS5000;SP1;PA0,0;PD1000,1000;PG;PG;PU;PA2000,0;PD3000,500;PG;"
        "PU;PA0,0;PD100,100;PG;";
    // Empty pages and the PG at the end make no page.
    EXPECT_EQ(measureFull(plot).pages, 3);
    const PlotExtents p2 = measureFull(plot, 2);
    EXPECT_DOUBLE_EQ(p2.xMin, 0);  // PS holds on every page
    EXPECT_DOUBLE_EQ(p2.xMax, 5000);
    EXPECT_DOUBLE_EQ(p2.yMax, 500);
    // From after the last PG before it to its PG.
    const std::string page2 = plot.substr(p2.pageStart, p2.pageEnd - p2.pageStart);
    EXPECT_EQ(page2.rfind("PU;PA2000,0;PD3000,500", 0), 0u) << page2;
    EXPECT_EQ(page2.find("PG"), std::string::npos) << page2;
    EXPECT_DOUBLE_EQ(measureFull(plot, 3).yMax, 100);
    measureFull(plot, 4, KRO_ERR_OPTION_RANGE);
    EXPECT_EQ(measureFull("IN;PG;").pages, 1);
    // A label ends where DT says: the PG after it is found.
    EXPECT_EQ(measureFull("IN;DT*;PA0,0;LBAB*PG;PD100,100;").pages, 2);

    Plot p(plot);
    EXPECT_EQ(KroSelectHPGLPage(&p.doc, 2), 3);
    EXPECT_DOUBLE_EQ(p.doc.xMax, 5000);
    EXPECT_DOUBLE_EQ(p.doc.yMax, 500);
    EXPECT_DOUBLE_EQ(p.doc.heightMm, 12.5);
    for (int32_t bad : {0, -1, 4}) {
        EXPECT_EQ(KroSelectHPGLPage(&p.doc, bad), -1);
        EXPECT_EQ(fndErrorStatus, KRO_ERR_OPTION_RANGE);
    }
    EXPECT_EQ(KroSelectHPGLPage(nullptr, 1), -1);
}

TEST(HpglPages, APageDrawsOnlyItsInkWithTheStateBeforeIt) {
    // Page 2 keeps page 1's pen, scaling and window.
    const std::string plot = "IN;SP2;IW0,0,500,500;PA0,0;PD1000,0;PG;PU;PA0,100;PD200,100;";
    const DeviceBox first = drawn(plot, 1), second = drawn(plot, 2);
    EXPECT_EQ(second.lines, 1);
    EXPECT_LE(second.right - second.left, 201);
    EXPECT_GE(second.right - second.left, 199);
    EXPECT_GE(first.right - first.left, 999);
    Plot p(plot);
    ASSERT_EQ(KroSelectHPGLPage(&p.doc, 2), 2);
    HDC dc = KroGdiCreateRecorder(4000, 4000, 1016);
    const KroHpglStyle style{sizeof style, 0, nullptr, 2};
    ASSERT_EQ(KroDisplayHPGLStyled(&p.doc, 4000, 4000, dc, nullptr, &style, 0, 1.0f, 1016, 1), 0);
    std::string calls(size_t(KroGdiDumpRecords(dc, nullptr, 0)) + 1, '\0');
    calls.resize(size_t(KroGdiDumpRecords(dc, calls.data(), calls.size())));
    EXPECT_NE(calls.find("{0, 0x0000ff}"), std::string::npos) << calls;  // pen 2, red
    EXPECT_NE(calls.find("SelectClipRgn(rgn"), std::string::npos) << calls;
    DeleteDC(dc);
    // Every page as one, in the design's look and with page 0.
    EXPECT_EQ(drawn(plot, 0, true).lines, 2);
}

TEST(HpglLabels, OriginsSymbolsStackingAndChords) {
    // SI 0.5 cm: characters 200 units wide and high. LO 5 centres the label on
    // the pen; LO 7 ends it there; LO 13 is LO 3 half a character inside.
    const auto labelBox = [](const char* origin) {
        return drawn(std::string("IN;SP1;SI0.5,0.5;PA0,0;") + origin + "LBHH\x03");
    };
    const DeviceBox lo1 = labelBox(""), lo5 = labelBox("LO5;"), lo7 = labelBox("LO7;");
    const DeviceBox lo13 = labelBox("LO13;");
    const int centre1 = (lo1.left + lo1.right) / 2, centre5 = (lo5.left + lo5.right) / 2;
    EXPECT_NEAR(centre1 - centre5, 200, 10);  // half of the two-character box
    EXPECT_NEAR(lo1.right - lo7.right, 400, 10);
    EXPECT_NEAR(lo13.left - lo1.left, 100, 2);
    EXPECT_NEAR(lo13.bottom - lo1.bottom, 200 + 100, 10);  // from bottom to top, then inside

    // DV 1 stacks the characters: a column one character wide.
    const DeviceBox stacked = drawn("IN;SP1;SI0.5,0.5;DV1;PA0,0;LBHHH\x03");
    EXPECT_LT(stacked.right - stacked.left, 200);
    EXPECT_GT(stacked.bottom - stacked.top, 2 * 200);

    // SM: a symbol at each point, pen up or down, and none after SM alone.
    const DeviceBox symbols = drawn("IN;SP1;SI0.5,0.5;SMH;PA0,0,1000,0;PD2000,0;SM;PA3000,0;");
    EXPECT_EQ(symbols.lines, 3 * 3 + 2);  // H's three strokes at each point, and two lines
    EXPECT_NEAR(symbols.right - symbols.left, 3000 + 67, 1);  // centred: half of H's width beyond
    EXPECT_NEAR(symbols.bottom - symbols.top, 200, 2);

    // CI with a chord angle: 360 / 30 chords; without one, the device's circle.
    EXPECT_EQ(drawn("IN;SP1;PA500,500;CI100,30;").points, 13);
    EXPECT_EQ(drawn("IN;SP1;PA500,500;CI100;").points, 0);
    // Hostile fields end without a huge figure.
    EXPECT_EQ(drawn("IN;SP1;PA500,500;CI100,0.00001;").points, 721);
    drawn("IN;SP1;LO1e300;SM;SM\x01;PA0,0;DV1;LB\x03;RO1e99;PG;PG;CI1e300,1e300;");
}

// A PE number in 8-bit base 64: sign in the low bit, low digits first.
std::string pe(long n) {
    unsigned long v = n < 0 ? 2ul * unsigned(-n) + 1 : 2ul * unsigned(n);
    std::string out;
    for (; v >= 64; v /= 64) out += char(63 + v % 64);
    return out + char(191 + v);
}

TEST(HpglPolygons, PathsInsidePolygonModeFillAndOutline) {
    struct Case {
        std::string text;
        int figurePoints;  // of the fill's one figure, at least
    };
    const Case cases[] = {
        {"IN;SP1;PA0,0;PM0;PD;BZ0,1000,1000,1000,1000,0;PD0,0;PM2;FP;EP;", 10},
        {"IN;SP1;PA0,0;PM0;PD;AT500,500,1000,0;PD0,0;PM2;FP;EP;", 10},
        // A square of PE's relative numbers, letters among them.
        {"IN;SP1;PA0,0;PM0;PE=" + pe(0) + pe(0) + pe(800) + pe(0) + pe(0) + pe(800) + pe(-800) +
             pe(0) + ";PM2;FP;EP;",
         4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Plot p(c.text);
        p.doc.xMax = p.doc.yMax = 1000;
        HDC dc = KroGdiCreateRecorder(2000, 2000, 1016);
        ASSERT_EQ(KroDisplayHPGLStyled(&p.doc, 2000, 2000, dc, nullptr, nullptr, 0, 1.0f, 1016, 1),
                  0);
        int fills = 0, outlinePoints = 0;
        KroGdiRecord r;
        for (int32_t i = 0; KroGdiGetRecord(dc, i, &r) == 0; ++i) {
            if (r.call == KRO_GDI_CALL_POLY_POLYGON) {
                ++fills;
                EXPECT_EQ(r.args[0], 1);
                EXPECT_GE(r.args[1], c.figurePoints);
            }
            if (r.call == KRO_GDI_CALL_POLYLINE_TO) outlinePoints += r.args[0];
            if (r.call == KRO_GDI_CALL_LINE_TO) ++outlinePoints;
        }
        EXPECT_EQ(fills, 1);
        EXPECT_GE(outlinePoints, c.figurePoints);  // EP outlines the same path
        EXPECT_EQ(KroGdiUndeletedObjects(dc, 0), 0);
        DeleteDC(dc);
    }
}

}  // namespace
