// The HP-GL renderer on the recording device: the GDI call sequences of pens,
// line types and movements, placement, and real plots through kro convert.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "hpgl/render_state.h"
#include "kro/fnd.h"
#include "kro/gdi.h"
#include "kro/kro.h"
#include "platform/kernel/version.h"
#include "test_util.h"

namespace {

using namespace kro::hpgl;

// A plot held in memory with the extents and paper the test chooses.
struct Plot {
    std::string text;
    HpglDocument doc{};
    Plot(std::string t, double xMin, double yMin, double xMax, double yMax, int32_t plot = 0,
         int32_t paper = 0)
        : text(std::move(t)) {
        doc.path = "test";
        doc.text = text.data();
        doc.textLength = int32_t(text.size() + 1);
        doc.xMin = xMin;
        doc.yMin = yMin;
        doc.xMax = xMax;
        doc.yMax = yMax;
        doc.widthMm = (xMax - xMin) * 0.025;
        doc.heightMm = (yMax - yMin) * 0.025;
        doc.scale = 1.0;
        doc.plot = plot;
        doc.paperType = paper;
    }
};

using kt::dump;

// The pen capture every drawing opens with.
const char* const kCapture =
    "CreatePen(0, 0, 0x000000) = pen#1\n"
    "SelectObject(pen#1) = BLACK_PEN\n"
    "SelectObject(BLACK_PEN) = pen#1\n"
    "DeleteObject(pen#1)\n";

// Pen widths in millimetres: pen n is 10 n plotter units wide.
const float kPens[8] = {0.25f, 0.5f, 0.75f, 1.0f, 1.25f, 1.5f, 1.75f, 2.0f};

class Recorder {
  public:
    explicit Recorder(bool nt = true, int32_t w = 1000, int32_t h = 1000)
        : dc_(KroGdiCreateRecorder(w, h, 1016)), w_(w), h_(h) {
        KroKernelSetPlatform(nt ? VER_PLATFORM_WIN32_NT : VER_PLATFORM_WIN32_WINDOWS);
    }
    ~Recorder() {
        KroKernelSetPlatform(VER_PLATFORM_WIN32_NT);
        DeleteDC(dc_);
    }
    HDC dc() const { return dc_; }

    // Draws at one device unit per plotter unit, device y = height - y; 0 or
    // a status code. What one drawing hands to the next stays with this recorder.
    int32_t draw(Plot& p, const RenderSeam& seam = {}) {
        const DrawRequest request{&p.doc, w_, h_, dc_, kPens, 0, 1.0f, 1016, 1};
        return drawPlot(request, &carry_, seam);
    }
    // The log after the pen capture; the capture itself is checked too.
    std::string calls() const {
        const std::string all = dump(dc_);
        const std::string capture = kCapture;
        EXPECT_EQ(all.substr(0, capture.size()), capture);
        return all.substr(std::min(all.size(), capture.size()));
    }
    void expectHostPenBack() const {
        EXPECT_EQ(GetCurrentObject(dc_, OBJ_PEN), GetStockObject(BLACK_PEN));
        EXPECT_EQ(KroGdiUndeletedObjects(dc_, 0), 0);
        EXPECT_EQ(KroGdiFaults(dc_), 0);
    }

  private:
    HDC dc_;
    int32_t w_, h_;
    Carryover carry_;
};

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

std::string drawCalls(const std::string& text, bool nt = true) {
    Recorder rec(nt);
    Plot p(text, 0, 0, 1000, 1000);
    EXPECT_EQ(rec.draw(p), 0);
    rec.expectHostPenBack();
    return rec.calls();
}

// The first pen a plot makes tells how its fields were read and what state
// the pen comes from.
TEST(HpglRender, FirstPenOfAPlot) {
    const struct {
        const char* text;
        bool nt;
        const char* pen;
    } cases[] = {
        // No pattern length, or one out of range, gives 4 percent of the
        // diagonal (40 units); a type out of range draws solid.
        {"IN;IP0,0,1000,1000;LT2,150;", true,
         "ExtCreatePen(0x12207, 1, {0, 0x000000}, 2, [28 27]) "},
        {"IN;LT7;", true, "ExtCreatePen(0x12200, 1, {0, 0x000000}, 0, []) "},
        // Before IN, P1 and P2 are the plotter's already (10000 x 7200 here):
        // a pattern of 493 units, not one of a unit each.
        {"LT4;", true, "ExtCreatePen(0x12207, 1, {0, 0x000000}, 4, [362 44 40 44]) "},
        // With P1 = P2 every computed entry is one unit; the dot entry stays
        // the pen width in plotter units.
        {"IP;LT4;", true, "ExtCreatePen(0x12207, 1, {0, 0x000000}, 4, [1 1 40 1]) "},
        // LT 1e1 is type 1 (an integer field), not 10; SP 2.9 is pen 2.
        {"IN;LT1e1;", true, "ExtCreatePen(0x12207, 1, {0, 0x000000}, 2, ["},
        {"SP2.9;", true, "CreatePen(0, 20, 0x000000)"},
        {"SP99999999999999999999;", true, "CreatePen(0, 1, 0x000000)"},
    };
    for (const auto& c : cases) {
        const std::string calls = drawCalls(c.text, c.nt);
        EXPECT_TRUE(startsWith(calls, c.pen)) << c.text << "\n" << calls;
    }
    // After IN the pen number is 0: the line type's pen is one unit wide.
    EXPECT_NE(drawCalls("SP2;IN;LT;").find("ExtCreatePen(0x12200, 1, "), std::string::npos);
    // SP makes the pen of the line type in force, on either family.
    EXPECT_NE(drawCalls("IN;IP0,0,1000,1000;LT2;SP1;")
                  .find("ExtCreatePen(0x12207, 10, {0, 0x000000}, 2, [28 27]) = pen#3"),
              std::string::npos);
    if (kKernelStandIn) {  // the 9x family: the stand-in's switch
        EXPECT_NE(drawCalls("IN;LT5;SP1;", false).find("CreatePen(3, 10, 0x000000) = pen#3"),
                  std::string::npos);
    }
}

// What the moves of a plot draw, after the pen capture.
TEST(HpglRender, MovesDrawWhatTheyReach) {
    const struct {
        const char* text;
        const char* calls;
    } cases[] = {
        {"", ""},
        // A plot without pens moves from the start point with the host's pen.
        {"PU10,10;", "MoveToEx(0, 1000)\n"},
        // The end-pixel rule: the last point of a line is drawn, whatever its direction.
        {"PU10,990;PD20,990;",
         "MoveToEx(0, 1000)\nMoveToEx(10, 10)\nLineTo(21, 10)\nMoveToEx(20, 10)\n"},
        {"PU10,990;PD10,980;",
         "MoveToEx(0, 1000)\nMoveToEx(10, 10)\nLineTo(10, 21)\nMoveToEx(10, 20)\n"},
        {"PU20,980;PD10,990;",
         "MoveToEx(0, 1000)\nMoveToEx(20, 20)\nLineTo(9, 9)\nMoveToEx(10, 10)\n"},
        {"PU10,990;PD10,990;",
         "MoveToEx(0, 1000)\nMoveToEx(10, 10)\nLineTo(11, 11)\nMoveToEx(10, 10)\n"},
        {"PU10,990;PD20,990,20,980;",
         "MoveToEx(0, 1000)\nMoveToEx(10, 10)\nPolylineTo((20,10) (20,21))\nMoveToEx(20, 20)\n"},
        {"PU10,990;PD;", "MoveToEx(0, 1000)\nMoveToEx(10, 10)\n"},
        // Relative and absolute moves; PC is a pen colour: no move, no line.
        {"PA5,5;PR10,10;PD0,0;PC1,255,0,0;PA30,30;",
         "MoveToEx(0, 1000)\nMoveToEx(5, 995)\n"
         "MoveToEx(15, 985)\nLineTo(16, 986)\nMoveToEx(15, 985)\n"
         "MoveToEx(15, 985)\nLineTo(31, 969)\nMoveToEx(30, 970)\n"},
        // An odd coordinate moves nothing and leaves the next command alone;
        // spaces around a separator do no harm.
        {"PA10;PD20,30;",
         "MoveToEx(0, 1000)\nMoveToEx(0, 1000)\nLineTo(21, 969)\nMoveToEx(20, 970)\n"},
        {"PA20 ,30 ;PD 40 , 50 ;",
         "MoveToEx(0, 1000)\nMoveToEx(20, 970)\nLineTo(41, 949)\nMoveToEx(40, 950)\n"},
        // Device coordinates do not wrap at 16 bits.
        {"PD40000,0,70000,0;",
         "MoveToEx(0, 1000)\nPolylineTo((40000,1000) (70001,1000))\nMoveToEx(70000, 1000)\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(drawCalls(c.text), c.calls) << c.text;
}

TEST(HpglRender, NoDeviceDrawsNothingAndBadArgumentsTouchNothing) {
    const int32_t live = KroGdiLiveObjects();
    Plot p("IN;SP1;LT-2;PD10,10,20,30;LT3;PM0;PD5,5;PM2;EP;LBX\x03IW0,0,9,9;CI5;", 0, 0, 100, 100);
    EXPECT_EQ(KroDisplayHPGL(&p.doc, 100, 100, nullptr, kPens, 0, 0, 0.0f, 100, 0), 0);
    EXPECT_EQ(KroGdiLiveObjects(), live);
    EXPECT_FAILS_WITH(KroDisplayHPGL(nullptr, 100, 100, nullptr, kPens, 0, 0, 0.0f, 100, 0),
                      KRO_ERR_NULL);
    // A negative scale fails without touching the device.
    Recorder rec;
    EXPECT_FAILS_WITH(KroDisplayHPGL(&p.doc, 100, 100, rec.dc(), kPens, 0, 0, -1.0f, 300, 0),
                      KRO_ERR_HPGL_SCALE);
    EXPECT_EQ(KroGdiRecordCount(rec.dc()), 0);
}

TEST(HpglRender, PenSelectAndLineTypeReplaceTheirPens) {
    Recorder rec;
    Plot p("IN;SP1;SP2;LT;SP9;SP;", 0, 0, 1000, 1000);
    ASSERT_EQ(rec.draw(p), 0);
    EXPECT_EQ(rec.calls(),
              "CreatePen(0, 10, 0x000000) = pen#2\n"
              "SelectObject(pen#2) = BLACK_PEN\n"
              "CreatePen(0, 20, 0x000000) = pen#3\n"
              "SelectObject(pen#3) = pen#2\n"
              "DeleteObject(pen#2)\n"
              "ExtCreatePen(0x12200, 20, {0, 0x000000}, 0, []) = pen#4\n"
              "SelectObject(pen#4) = pen#3\n"
              "DeleteObject(pen#3)\n"
              "CreatePen(0, 1, 0x000000) = pen#5\n"
              "SelectObject(pen#5) = pen#4\n"
              "DeleteObject(pen#4)\n"
              "CreatePen(0, 1, 0x000000) = pen#6\n"
              "SelectObject(pen#6) = pen#5\n"
              "DeleteObject(pen#5)\n"
              "SelectObject(BLACK_PEN) = pen#6\n"
              "DeleteObject(pen#6)\n");
    rec.expectHostPenBack();
}

TEST(HpglRender, EveryPenDrawsWithItsOwnWidth) {
    for (int pen = 1; pen <= 8; ++pen) {
        // The plain pen of SP, then the geometric one of a line type.
        const std::string calls = drawCalls("SP" + std::to_string(pen) + ";LT;PD10,10;");
        const std::string width = std::to_string(10 * pen);
        EXPECT_TRUE(startsWith(calls, "CreatePen(0, " + width + ", 0x000000)")) << calls;
        EXPECT_NE(calls.find("ExtCreatePen(0x12200, " + width + ", "), std::string::npos) << calls;
    }
}

// Pattern length 100 plotter units (LT n,10 on a P1-P2 diagonal of 1000),
// one device unit per plotter unit, no pen (40 plotter units wide).
struct DashCase {
    int type;
    const char* nt;     // the ExtCreatePen call on the NT family
    const char* ninex;  // the CreatePen call on the 9x family
};
const DashCase kDashCases[] = {
    {1, "ExtCreatePen(0x12207, 1, {0, 0x000000}, 2, [40 60])", "CreatePen(2, 1, 0x000000)"},
    {2, "ExtCreatePen(0x12207, 1, {0, 0x000000}, 2, [50 49])", "CreatePen(1, 1, 0x000000)"},
    {3, "ExtCreatePen(0x12207, 1, {0, 0x000000}, 2, [70 29])", "CreatePen(1, 1, 0x000000)"},
    {4, "ExtCreatePen(0x12207, 1, {0, 0x000000}, 4, [48 5 40 5])", "CreatePen(0, 1, 0x000000)"},
    {5, "ExtCreatePen(0x12207, 1, {0, 0x000000}, 4, [70 9 10 9])", "CreatePen(3, 1, 0x000000)"},
    {6, "ExtCreatePen(0x12207, 1, {0, 0x000000}, 6, [50 9 10 9 10 9])",
     "CreatePen(4, 1, 0x000000)"},
    {-1, "ExtCreatePen(0x12207, 1, {0, 0x000000}, 2, [40 60])", "CreatePen(2, 1, 0x000000)"},
    {-2, "ExtCreatePen(0x12207, 1, {0, 0x000000}, 4, [25 49 25 0])", "CreatePen(1, 1, 0x000000)"},
    {-3, "ExtCreatePen(0x12207, 1, {0, 0x000000}, 4, [35 29 35 0])", "CreatePen(1, 1, 0x000000)"},
    {-4, "ExtCreatePen(0x12207, 1, {0, 0x000000}, 6, [24 5 40 5 24 0])",
     "CreatePen(0, 1, 0x000000)"},
    {-5, "ExtCreatePen(0x12207, 1, {0, 0x000000}, 6, [35 9 10 9 35 0])",
     "CreatePen(3, 1, 0x000000)"},
    {-6, "ExtCreatePen(0x12207, 1, {0, 0x000000}, 8, [25 9 10 9 10 9 25 0])",
     "CreatePen(4, 1, 0x000000)"},
    {0, "ExtCreatePen(0x12200, 1, {0, 0x000000}, 0, [])", "CreatePen(0, 1, 0x000000)"},
};

TEST(HpglRender, DashArraysOfEveryLineTypeOnBothFamilies) {
    for (const DashCase& c : kDashCases) {
        for (bool nt : {true, false}) {
            if (!nt && !kKernelStandIn) continue;
            Recorder rec(nt);
            Plot p("IN;IP0,0,600,800;LT" + std::to_string(c.type) + ",10;", 0, 0, 600, 800);
            ASSERT_EQ(rec.draw(p), 0);
            const std::string want = std::string(nt ? c.nt : c.ninex) + " = pen#2\n";
            EXPECT_EQ(rec.calls().substr(0, want.size()), want) << "LT" << c.type << " nt " << nt;
            rec.expectHostPenBack();
        }
    }
}

TEST(HpglRender, LineTypeZeroDrawsADotPerPoint) {
    // One dot at each point given, the last too, none where the pen went
    // down; a dot reaches back along the way it came, at most a pen wide.
    const std::string calls = drawCalls("IN;SP1;LT0;PU0,500;PD100,500,105,500;PD105,400;");
    const std::string tail = calls.substr(calls.find("DeleteObject(pen#2)\n") + 20);
    EXPECT_EQ(tail,
              "MoveToEx(90, 500)\nLineTo(101, 500)\n"
              "MoveToEx(100, 500)\nLineTo(106, 500)\n"
              "MoveToEx(105, 590)\nLineTo(105, 601)\n"
              "SelectObject(BLACK_PEN) = pen#3\nDeleteObject(pen#3)\n");
}

TEST(HpglRender, NoPenDrawsNothingUntilTheNextPenSelect) {
    const std::string calls = drawCalls(
        "SP0;PD100,100;CI10;AA100,0,90;EW10,0,90;EA0,0;LBx\x03PM0;PD5,5;PM2;EP;"
        "SP1;PD200,200;");
    EXPECT_EQ(calls,
              "CreatePen(0, 1, 0x000000) = pen#2\nSelectObject(pen#2) = BLACK_PEN\n"
              "MoveToEx(0, 1000)\n"
              "CreatePen(0, 0, 0x000000) = pen#3\nSelectObject(pen#3) = pen#2\n"
              "SelectObject(pen#2) = pen#3\nDeleteObject(pen#3)\n"
              // The replay's move, drawing nothing; the arc left the pen at (0, 0).
              "MoveToEx(0, 1000)\n"
              "CreatePen(0, 10, 0x000000) = pen#4\nSelectObject(pen#4) = pen#2\n"
              "DeleteObject(pen#2)\n"
              "MoveToEx(0, 1000)\nLineTo(201, 799)\nMoveToEx(200, 800)\n"
              "SelectObject(BLACK_PEN) = pen#4\nDeleteObject(pen#4)\n");
}

TEST(HpglRender, GraphMovesStepInXAndTakeEveryPoint) {
    const std::string calls = drawCalls("PU0,0;PD;GR100,5,10,15;PU;GR1,0,1,2,3,4,5,6;");
    EXPECT_NE(calls.find("MoveToEx(0, 1000)\nPolylineTo((0,995) (100,990) (201,984))\n"
                         "MoveToEx(200, 985)\n"),
              std::string::npos)
        << calls;
    // Seven points for eight fields, all of them followed by the pen.
    Recorder rec;
    Plot p("PD;GR1,0,1,2,3,4,5,6;", 0, 0, 1000, 1000);
    ASSERT_EQ(rec.draw(p), 0);
    KroGdiRecord r;
    const int32_t n = KroGdiRecordCount(rec.dc());
    ASSERT_EQ(KroGdiGetRecord(rec.dc(), n - 2, &r), 0);
    ASSERT_EQ(r.call, KRO_GDI_CALL_POLYLINE_TO);
    EXPECT_EQ(r.args[0], 7);
}

TEST(HpglRender, AdaptiveLineTypesMakeOnePenPerSegment) {
    // Segments of 100 and 250 units with a pattern of 100: one and three
    // patterns of 100 and 83.3 units.
    Recorder rec(true, 600, 800);
    Plot p("IN;IP0,0,600,800;LT-2,10;PD100,0,100,250;", 0, 0, 600, 800);
    ASSERT_EQ(rec.draw(p), 0);
    const std::string calls = rec.calls();
    const std::string want =
        "MoveToEx(0, 800)\n"
        "ExtCreatePen(0x12207, 1, {0, 0x000000}, 4, [25 49 25 0]) = pen#3\n"
        "SelectObject(pen#3) = pen#2\n"
        "LineTo(100, 800)\n"
        "ExtCreatePen(0x12207, 1, {0, 0x000000}, 4, [21 41 21 0]) = pen#4\n"
        "SelectObject(pen#4) = pen#3\n"
        "DeleteObject(pen#3)\n"
        "LineTo(100, 549)\n"
        "MoveToEx(100, 550)\n"
        "SelectObject(pen#2) = pen#4\n"
        "DeleteObject(pen#4)\n"
        "SelectObject(BLACK_PEN) = pen#2\n"
        "DeleteObject(pen#2)\n";
    EXPECT_EQ(calls.substr(calls.find("MoveToEx")), want);
    rec.expectHostPenBack();

    // With P1 = P2 the pattern length is 0: the segments are drawn solid.
    const std::string solid = drawCalls("IP;LT-3;PD100,0,100,100;");
    EXPECT_NE(solid.find("ExtCreatePen(0x12200, 1, {0, 0x000000}, 0, []) = pen#3\n"
                         "SelectObject(pen#3) = pen#2\n"
                         "PolylineTo((100,1000) (100,899))\n"),
              std::string::npos)
        << solid;

    // On the 9x family the same plot is one polyline with the dash style.
    if (!kKernelStandIn) return;
    const std::string ninex = drawCalls("IN;IP0,0,600,800;LT-2,10;PD100,0,100,250;", false);
    EXPECT_NE(ninex.find("PolylineTo((100,1000) (100,749))"), std::string::npos) << ninex;
}

TEST(HpglRender, FailingHandlerGivesTheHostPenBack) {
    Recorder rec;
    Plot p("IN;SP1;PD10,10;", 0, 0, 1000, 1000);
    EXPECT_EQ(rec.draw(p, RenderSeam{.refusePointBuffers = true}), KRO_ERR_NOMEM);
    rec.expectHostPenBack();
}

TEST(HpglRender, DrawingStoresItsScale) {
    Recorder rec(true, 220, 220);
    Plot p("", 0, 0, 2000, 1000);
    ASSERT_EQ(KroDisplayHPGL(&p.doc, 220, 220, rec.dc(), kPens, 0, 0, 0.0f, 300, 0), 0);
    EXPECT_DOUBLE_EQ(p.doc.scale, 0.1);
    ASSERT_EQ(KroDisplayHPGL(&p.doc, 220, 220, rec.dc(), kPens, 0, 0, 1.0f, 1016, 0), 0);
    EXPECT_DOUBLE_EQ(p.doc.scale, 1.0);
}

// KroDisplayHPGL hands the pen style, the last polygon and the last label on
// to the next drawing.
TEST(HpglRender, DrawingsHandOnPenStylePolygonAndLabel) {
    const auto display = [](const std::string& text) {
        Recorder rec;
        Plot p(text, 0, 0, 1000, 1000);
        EXPECT_EQ(KroDisplayHPGL(&p.doc, 1000, 1000, rec.dc(), kPens, 0, 0, 1.0f, 1016, 1), 0);
        return rec.calls();
    };
    display("IN;IP0,0,1000,1000;LT2;BLABC\x03PM0;PA0,0;PD100,0;PM2;");
    const std::string next = display("SP1;PA100,100;SI0.1,0.2;PB;EP;");
    for (const char* want : {"ExtCreatePen(0x12207, 10, {0, 0x000000}, 2, [28 27])",
                             "PolylineTo((220,900) (220,820) (100,820) (100,900))",
                             "MoveToEx(0, 1000)\nLineTo(101, 1000)\n"})
        EXPECT_NE(next.find(want), std::string::npos) << want << "\n" << next;
    display("LT;PM0;PM2;BL\x03");  // a plain style, no polygon, no label for later tests
}

// ---- Placement ----

TEST(HpglPlacement, FitKeepsTheAspectAndTheMargins) {
    Plot wide("", 0, 0, 2000, 1000);
    Placement p = placeToFit(wide.doc, 220, 220);
    EXPECT_DOUBLE_EQ(p.deviceScale, 0.1);
    EXPECT_EQ(p.offsetX, 10);
    EXPECT_EQ(p.offsetY, 10);
    // The top of the plot on row 10, its bottom on row 110.
    EXPECT_EQ(220 - int(std::trunc((1000 - p.originY) * p.deviceScale + 0.5)) - 10, 10);
    EXPECT_EQ(220 - int(std::trunc((0 - p.originY) * p.deviceScale + 0.5)) - 10, 110);

    Plot dot("", 5, 5, 5, 5);
    EXPECT_DOUBLE_EQ(placeToFit(dot.doc, 300, 120).deviceScale, 100.0);
    Plot tall("", 0, 0, 0, 500);
    EXPECT_DOUBLE_EQ(placeToFit(tall.doc, 120, 220).deviceScale, 0.2);
}

TEST(HpglPlacement, FixedScaleAndCentred) {
    Plot big("", 0, 0, 5000, 3000);
    Placement p = placeAtScale(big.doc, 1000, 1000, 1.0, true);
    EXPECT_EQ(p.offsetX, 0);  // larger than the area: never negative
    EXPECT_EQ(p.offsetY, 0);
    p = placeAtScale(big.doc, 6000, 4000, 1.0, true);
    EXPECT_EQ(p.offsetX, 500);
    EXPECT_EQ(p.offsetY, 500);
    EXPECT_EQ(p.originX, 0);
}

TEST(HpglPlacement, ByPlotterKindAndPaper) {
    const int32_t a4 = 0x10401, a4Portrait = 0x10410;
    const struct {
        int32_t plot, paper;
        double xMin, yMin, xMax, yMax, k;
        int32_t deviceW, deviceH;
        double originX, originY;
        int32_t offsetX, offsetY;
    } cases[] = {
        // Origin at the paper centre.
        {8, a4, 0, 0, 100, 100, 1, 500, 500, -5940, -4200, 0, 0},
        {8, a4Portrait, 0, 0, 100, 100, 1, 500, 500, -4200, -5940, 0, 0},
        // Kind 1 without paper: centred on the area, unclamped.
        {8, 0x990001, 0, 0, 1000, 1000, 1, 500, 600, 0, 0, -250, -200},
        // The plotter's corner of the paper; a plot off the paper that fits is centred.
        {1, a4, 0, 0, 10000, 7000, 1, 500, 500, -490, -375, 0, 0},
        {1, a4, -2000, 0, 8000, 7000, 1, 500, 500, -2940, -375, 0, 0},
        // No plotter row for the paper: the paper offsets.
        {1, 0x10301, 0, 0, 10000, 7000, 1, 500, 500, 0, 0, 3400, 2440},
        // No plotter kind, unknown paper: centred, capped at 100 units.
        {23, 0x990001, 0, 0, 100, 100, 1, 1000, 140, 0, 0, 100, 20},
        {23, 0x990001, 0, 0, 1000, 1000, 1, 500, 500, 0, 0, 0, 0},
        // A plot wider than the paper: no margin within one percent of it.
        {23, a4, 0, 0, 12117.6, 100, 1, 500, 500, 0, 0, 0, 4150},
        {23, a4, 0, 0, 12117.6, 100, 2, 500, 500, 0, 0, 200, 8300},
    };
    for (const auto& c : cases) {
        Plot plot("", c.xMin, c.yMin, c.xMax, c.yMax, c.plot, c.paper);
        const Placement p = placeAtScale(plot.doc, c.deviceW, c.deviceH, c.k, false);
        const std::string what = "plot " + std::to_string(c.plot) + " paper " +
                                 std::to_string(c.paper) + " xMin " + std::to_string(c.xMin);
        EXPECT_DOUBLE_EQ(p.originX, c.originX) << what;
        EXPECT_DOUBLE_EQ(p.originY, c.originY) << what;
        EXPECT_EQ(p.offsetX, c.offsetX) << what;
        EXPECT_EQ(p.offsetY, c.offsetY) << what;
    }
}

TEST(HpglPlacement, DefaultScalingPoints) {
    const struct {
        int32_t plot, paper;
        ScalingPoints want;
    } cases[] = {
        {13, 0x30101, {160, 447, 10210, 7682}},
        {13, 0x30110, {10210, 7682, 160, 447}},  // upright: P1 and P2 change places
        // The last rows of the table, and types that share rows.
        {12, 0x10001, {-22060, -15580, 22060, 15580}},
        {7, 0x10201, {-10280, -7260, 10280, 7260}},
        {9, 0x10201, {-10785, -6875, 10785, 6875}},
        // A paper the plotter has no row for, or none known: its first row, lying.
        {5, 0x10401, {-10680, -6720, 10680, 6720}},
        {13, 0, {160, 447, 10210, 7682}},
        {13, 0x10210, {160, 447, 10210, 7682}},
        // A plotter type the table does not know: an A4 plotter's limits.
        {23, 0x10401, {603, 521, 10603, 7721}},
        {0, 0, {603, 521, 10603, 7721}},
    };
    for (const auto& c : cases) {
        const ScalingPoints p = plotterScalingPoints(c.plot, c.paper);
        EXPECT_EQ(std::vector<double>({p.p1x, p.p1y, p.p2x, p.p2y}),
                  std::vector<double>({c.want.p1x, c.want.p1y, c.want.p2x, c.want.p2y}))
            << "plot " << c.plot << " paper " << c.paper;
    }
}

TEST(HpglPlacement, DefaultP1P2ComeFromTheOutputPaper) {
    // Plotter 13 on letter: LT's pattern follows the table's P1-P2 diagonal
    // (10050 x 7235, 4 percent = 495.3 units), not the plot's extents.
    Recorder rec;
    Plot p("IN;LT2;", 0, 0, 100, 100, 13, 0);
    ASSERT_EQ(KroDisplayHPGL(&p.doc, 1000, 1000, rec.dc(), kPens, 0, 0x30101, 1.0f, 1016, 1), 0);
    EXPECT_NE(rec.calls().find("[248 247]"), std::string::npos) << rec.calls();
}

// ---- Real plots through kro convert ----

TEST(HpglRenderFiles, RealPlotsRenderToPng) {
    KRO_SKIP_WITHOUT_CAIRO();
    const std::filesystem::path dir = "/usr/share/doc/hp2xx/hp-tests";
    if (!std::filesystem::is_directory(dir)) GTEST_SKIP() << "hp2xx's test plots are missing";
    const kt::TempDir work;
    int rendered = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        std::string name = entry.path().filename().string();
        if (name.find(".eps") != std::string::npos || name == "readme") continue;
        std::filesystem::path plot = entry.path();
        if (entry.path().extension() == ".gz") {
            name = entry.path().stem().string();
            plot = work.at(name);
            const std::string cmd =
                "gzip -dc '" + entry.path().string() + "' > '" + plot.string() + "'";
            ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
        }
        const std::filesystem::path png = work.at(name + ".png");
        const std::string cmd = std::string(KRO_CLI) + " convert '" + plot.string() + "' '" +
                                png.string() + "' -dpi 100 > /dev/null 2>&1";
        EXPECT_EQ(std::system(cmd.c_str()), 0) << name;
        EXPECT_TRUE(std::filesystem::exists(png)) << name;
        ++rendered;
    }
    EXPECT_GT(rendered, 30);
}

// The box of everything a drawing put on the recorder, in device units.
struct DrawnBox {
    int32_t left = INT32_MAX, top = INT32_MAX, right = INT32_MIN, bottom = INT32_MIN;
    void add(int32_t x, int32_t y) {
        left = std::min(left, x), right = std::max(right, x);
        top = std::min(top, y), bottom = std::max(bottom, y);
    }
};
DrawnBox drawnBox(HDC dc) {
    DrawnBox b;
    KroGdiRecord r;
    int32_t x = 0, y = 0;  // the current position, where a line starts
    for (int32_t i = 0; KroGdiGetRecord(dc, i, &r) == 0; ++i) {
        switch (r.call) {
            case KRO_GDI_CALL_MOVE_TO_EX:
                x = r.args[0], y = r.args[1];
                break;
            case KRO_GDI_CALL_LINE_TO:
                b.add(x, y);
                b.add(r.args[0], r.args[1]);
                break;
            case KRO_GDI_CALL_POLYLINE_TO:
                b.add(x, y);
                for (int32_t k = 0; k + 1 < r.valueCount; k += 2)
                    b.add(r.values[k], r.values[k + 1]);
                break;
            case KRO_GDI_CALL_ARC:
            case KRO_GDI_CALL_PIE:
                // A whole circle its box; a part of one (here always from
                // or to a quarter point) its ends, a pie its centre too.
                if (r.args[4] != r.args[6] || r.args[5] != r.args[7]) {
                    b.add(r.args[4], r.args[5]);
                    b.add(r.args[6], r.args[7]);
                    if (r.call == KRO_GDI_CALL_PIE)
                        b.add((r.args[0] + r.args[2]) / 2, (r.args[1] + r.args[3]) / 2);
                    break;
                }
                [[fallthrough]];
            case KRO_GDI_CALL_RECTANGLE:
                b.add(r.args[0], r.args[1]);
                b.add(r.args[2], r.args[3]);
                break;
            default:
                break;
        }
    }
    return b;
}

// A plot is drawn where it was measured: fitted onto the page, its drawing
// lies inside the margins and fills the page along one side.
TEST(HpglRenderFiles, DrawnWhereMeasured) {
    const std::string cases[] = {
        "IN;IP1000,1000,9000,9000;SC0,100,0,100;PA50,50;PD;AR10,0,90;PA20,20;ER10,10;",
        "IN;IP0,0,1000,1000;SC0,10,0,10;PA0,0;PD10,10;IN;PA0,0;PD500,500;",
        "IN;IP0,0,1000,1000;SC0,10,0,10;DF;PU0,0;PD500,500;",
        "IN;SP1;PD0,0;PA-2000,-2000;CI500;",
        "IN;SP1;PA0,0;PD1000,1000;PU0,0;EW500,180,180;",
        "IN;SC0,10,0,10;PA0,0;PD5,5;",
        "SC0,10,0,10;PA2,2;PD5,5;",
        "IN;SP1;PA4000\r\n4000;PD0,0;",
        "IN;SP1;PM0;PA0,0;PD1000,0,1000,1000;PM2 ;EP;\r\nPA0,0;PD 500,2000 ;",
        "IN;SP1;PA3000;PU4000,0;PD0,0;PA2000 ,3000;",
        "IN;SP1;PA1000,0;AA0,0,180;PD0,0;",
        "IN;SP1;PA100,-0.00000000000001;PD;AA0,0,90;",
        "IN;SP1;CO\"PD9000,9000\";PD100,100;PC1,255,0,0;PD200,0;",
        "in;sp1;pd1000,1000;pu;",
        "SI0.5,0.5;LBHello\x03",
        "IN;SI0.1,0.1;LB" + std::string(200, 'x') + "\x03",
    };
    const kt::TempDir work;
    for (const std::string& text : cases) {
        SCOPED_TRACE(text);
        const std::string name = work.write("plot.hpgl", text);  // the document keeps the pointer
        HpglDocument* doc = KroOpenHPGL(name.c_str(), 0, 0, nullptr);
        ASSERT_NE(doc, KRO_FAILED_PTR);
        Recorder rec(true, 1000, 1000);
        ASSERT_EQ(KroDisplayHPGL(doc, 1000, 1000, rec.dc(), kPens, 0, 0, 0.0f, 1016, 0), 0);
        const DrawnBox b = drawnBox(rec.dc());
        KroCloseHPGL(doc);
        // The end-pixel rule may reach one unit beyond a margin.
        EXPECT_GE(b.left, 9);
        EXPECT_GE(b.top, 9);
        EXPECT_LE(b.right, 991);
        EXPECT_LE(b.bottom, 991);
        EXPECT_GE(std::max(b.right - b.left, b.bottom - b.top), 975);
    }
}

TEST(HpglRenderFiles, FailingPlotLeavesNoOutput) {
    const kt::TempDir work;
    // Windows draws plots with GDI32 and writes raster formats only.
    const std::string png = work.at(kCairo ? "out.png" : "out.bmp");
    const std::string cmd = kt::quoted(KRO_CLI) + " convert " +
                            kt::quoted(work.write("plot.hpgl", "IN;PU0,0;PD100,100;")) + " " +
                            kt::quoted(png);
    // A negative scale is refused by the option checks or by the renderer.
    EXPECT_NE(kt::run(cmd + " -scale -1" KRO_QUIET), 0);
    EXPECT_FALSE(std::filesystem::exists(png));
    EXPECT_EQ(kt::run(cmd + " -dpi 100" KRO_QUIET), 0);
    EXPECT_TRUE(std::filesystem::exists(png));
    for (const auto& e : std::filesystem::directory_iterator(work.path))
        EXPECT_EQ(e.path().filename().string().find(".kro-"), std::string::npos);
}

// ---- Circles, arcs, wedges, rectangles, polygons, windows, labels ----

std::string drawOn(const std::string& text, int32_t side, int32_t plot = 0) {
    Recorder rec(true, side, side);
    Plot p(text, 0, 0, side, side, plot);
    EXPECT_EQ(rec.draw(p), 0);
    rec.expectHostPenBack();
    return rec.calls();
}

TEST(HpglShapes, CallsOfTheShapeCommands) {
    const struct {
        const char* text;
        const char* calls;
    } cases[] = {
        // The circle's box around the pen; drawn with the pen up.
        {"PA1000,1000;CI100;", "MoveToEx(0, 2000)\nArc(900, 900, 1100, 1100, 0, 0, 0, 0)\n"},
        // A negative radius draws the same circle.
        {"PA1000,1000;CI-100;", "MoveToEx(0, 2000)\nArc(900, 900, 1100, 1100, 0, 0, 0, 0)\n"},
        // The centre at the pen: one dot; the pen stays.
        {"PA100,100;PD;AA100,100,45;PU;",
         "MoveToEx(0, 2000)\nMoveToEx(100, 1900)\n"
         "MoveToEx(100, 1900)\nLineTo(101, 1901)\nMoveToEx(100, 1900)\n"},
        // A full circle leaves the pen at its start, a quarter at its end.
        {"PA100,0;PD;AA0,0,360;PU;",
         "MoveToEx(0, 2000)\nMoveToEx(100, 2000)\n"
         "Arc(-99, 1900, 101, 2100, 100, 2000, 100, 2000)\nMoveToEx(100, 2000)\n"},
        {"PA100,0;PD;AA0,0,90;PU;",
         "MoveToEx(0, 2000)\nMoveToEx(100, 2000)\n"
         "Arc(-99, 1900, 101, 2100, 100, 2000, 0, 1900)\nMoveToEx(0, 1900)\n"},
        // With the pen up the arc only moves the pen.
        {"PA100,0;AA0,0,90;PD;", "MoveToEx(0, 2000)\nMoveToEx(0, 1900)\n"},
        // A negative sweep: the same arc with the ends swapped.
        {"PA100,0;PD;AA0,0,-90;",
         "MoveToEx(0, 2000)\nMoveToEx(100, 2000)\n"
         "Arc(-99, 1900, 101, 2100, 0, 2099, 100, 2000)\n"},
        // AR's centre is relative to the pen.
        {"PA100,0;PD;AR-100,0,90;",
         "MoveToEx(0, 2000)\nMoveToEx(100, 2000)\n"
         "Arc(-99, 1900, 101, 2100, 100, 2000, 0, 1900)\n"},
        // A wedge around the pen; a thin one is its radius alone.
        {"PA500,500;EW100,0,90;",
         "MoveToEx(0, 2000)\nPie(400, 1400, 600, 1600, 600, 1500, 500, 1400)\n"},
        {"PA500,500;EW100,0,0.001;", "MoveToEx(0, 2000)\nMoveToEx(500, 1500)\nLineTo(601, 1500)\n"},
        // A negative radius starts on the opposite side.
        {"PA500,500;EW-100,0,90;",
         "MoveToEx(0, 2000)\nPie(400, 1400, 600, 1600, 400, 1500, 500, 1600)\n"},
        // EA and ER span the pen and the opposite corner.
        {"PA300,300;EA100,100;ER-200,-200;",
         "MoveToEx(0, 2000)\nRectangle(100, 1700, 300, 1900)\nRectangle(100, 1700, 300, 1900)\n"},
        // Filled shapes are not drawn.
        {"PA10,10;WG100,0,90;RA50,50;RR20,20;", "MoveToEx(0, 2000)\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(drawOn(c.text, 2000), c.calls) << c.text;
}

TEST(HpglShapes, ScalingPointsAndUserScaling) {
    const struct {
        const char* text;
        const char* calls;
    } cases[] = {
        {"IP0,0,1000,1000;SC0,100,0,100;PA50,50;PD;", "MoveToEx(500, 1500)\n"},
        // Without IP, SC maps onto the plotter's P1 and P2 (603,521 to 10603,7721).
        {"SC0,100,0,100;PA50,50;PD;", "MoveToEx(5603, -2121)\n"},
        {"IN;SC0,10000,0,7200;PA1000,1000;PD;", "MoveToEx(1603, 479)\n"},
        // x max below x min mirrors.
        {"IP0,0,1000,1000;SC100,0,0,100;PA25,0;PD;", "MoveToEx(750, 2000)\n"},
        // Equal limits keep the factor at 1.
        {"IP0,0,1000,1000;SC5,5,0,100;PA25,10;PD;", "MoveToEx(20, 1900)\n"},
        // IP with two fields moves P2 along; without fields SC has no effect.
        {"IP0,0,1000,1000;IP100,100;SC0,10,0,10;PA1,1;PD;", "MoveToEx(200, 1800)\n"},
        {"IP0,0,1000,1000;IP;SC0,10,0,10;PA1,1;PD;", "MoveToEx(1, 1999)\n"},
        // Relative offsets are displacements: scaled, not moved by P1.
        {"IP1000,1000,9000,9000;SC0,100,0,100;PA50,50;PD;AR10,0,90;",
         "Arc(5000, -3800, 6600, -2200, 5000, -3000, 5800, -2200)\n"},
        {"IP1000,1000,9000,9000;SC0,100,0,100;PA50,50;ER10,10;",
         "Rectangle(5000, -3800, 5800, -3000)\n"},
        // DF keeps P1 and P2; IN takes off the window's clip.
        {"IP0,0,1000,1000;DF;SC0,10,0,10;PA5,5;PD;", "MoveToEx(500, 1500)\n"},
        {"IW0,0,100,100;IN;",
         "CreateRectRgn(0, 1900, 101, 2001) = rgn#2\nSelectClipRgn(rgn#2) = 2\n"
         "DeleteObject(rgn#2)\nSelectClipRgn(null) = 1\n"},
        // Lower-case commands; a comment's text is no command.
        {"in;pa5,5;pd;", "MoveToEx(5, 1995)\n"},
        {"CO\"PD500,500\";PA5,5;PD;", "MoveToEx(5, 1995)\n"},
        // Mirrored arcs turn the other way.
        {"IP0,0,1000,1000;SC10,0,0,10;PA9,0;PD;AA10,0,90;",
         "Arc(-99, 1900, 101, 2100, 0, 2099, 100, 2000)\n"},
    };
    for (const auto& c : cases) {
        const std::string calls = drawOn(c.text, 2000);
        const std::string want = c.calls;
        EXPECT_TRUE(calls.size() >= want.size() &&
                    calls.compare(calls.size() - want.size(), want.size(), want) == 0)
            << c.text << "\n"
            << calls;
    }
}

TEST(HpglPolygons, ReplayDrawsAndLeavesTheStateAlone) {
    const std::string ep = drawOn("PM0;PA0,0;PD100,0,100,100;PM2;EP;PA5,5;", 1000);
    EXPECT_EQ(ep,
              "CreatePen(0, 0, 0x000000) = pen#2\n"
              "SelectObject(pen#2) = BLACK_PEN\n"
              "SelectObject(BLACK_PEN) = pen#2\n"
              "DeleteObject(pen#2)\n"
              "MoveToEx(0, 1000)\n"
              "MoveToEx(0, 1000)\n"
              "PolylineTo((100,1000) (100,899))\n"
              "MoveToEx(100, 900)\n"
              // After the replay the pen is up at (0, 0) again.
              "MoveToEx(0, 1000)\n");
    EXPECT_EQ(drawOn("PM0;PA0,0;PD100,0,100,100;PM2;FP;PA5,5;", 1000), ep);
    // Pens made by a replay are given back; the captured pen is selected again.
    const std::string pens = drawOn("SP1;PM;SP2;PD10,10;PM2;EP;", 1000);
    EXPECT_NE(pens.find("SelectObject(pen#2) = pen#4\nDeleteObject(pen#4)\n"), std::string::npos)
        << pens;
}

TEST(HpglPolygons, CollectionStepsTwoBytesAtATime) {
    // Blanks between the commands of a polygon do no harm: the closing PM is
    // seen and what follows it is drawn.
    EXPECT_EQ(drawOn("PM0;PA0,0; PM2 ;PD10,10;", 1000),
              "MoveToEx(0, 1000)\nLineTo(11, 989)\nMoveToEx(10, 990)\n");
    // Commands the replay does not know are skipped.
    EXPECT_EQ(drawOn("PM0;IN;WG5,0,90;PM2;EP;", 1000),
              "CreatePen(0, 0, 0x000000) = pen#2\nSelectObject(pen#2) = BLACK_PEN\n"
              "SelectObject(BLACK_PEN) = pen#2\nDeleteObject(pen#2)\n");
    // A polygon longer than the buffer is cut.
    std::string big = "PM0;";
    for (int i = 0; i < 2000; ++i) big += "PD1,1;";
    big += "PM2;EP;";
    Recorder rec;
    Plot p(big, 0, 0, 1000, 1000);
    ASSERT_EQ(rec.draw(p), 0);
    // Two pen captures, then three calls for each of the 1365 whole commands
    // kept; the cut command that ends the buffer draws nothing.
    EXPECT_EQ(KroGdiRecordCount(rec.dc()), 8 + 3 * 1365);
}

TEST(HpglWindow, ClipRegionCoversTheWindowEdges) {
    Recorder rec(true, 100, 100);
    Plot p("IW0,0,1000,1000;IW0,0,1;", 0, 0, 1000, 1000);
    ASSERT_EQ(KroDisplayHPGL(&p.doc, 100, 100, rec.dc(), kPens, 0, 0, 0.1f, 1016, 1), 0);
    EXPECT_EQ(rec.calls(),
              "CreateRectRgn(0, 0, 101, 101) = rgn#2\n"
              "SelectClipRgn(rgn#2) = 2\n"
              "DeleteObject(rgn#2)\n"
              "SelectClipRgn(null) = 1\n");
    rec.expectHostPenBack();

    // Skipped when the ignore list holds IW.
    Recorder rec2(true, 100, 100);
    int32_t ignore[] = {701};
    p.doc.ignoreCount = 1;
    p.doc.ignoreCodes = ignore;
    ASSERT_EQ(KroDisplayHPGL(&p.doc, 100, 100, rec2.dc(), kPens, 0, 0, 0.1f, 1016, 1), 0);
    EXPECT_EQ(rec2.calls(), "");
}

// The box of the label ABC at (100, 100) with 40 x 80 unit characters.
std::string labelBox(const std::string& settings, int32_t plot = 0) {
    const std::string calls = drawOn(settings + "PA100,100;SI0.1,0.2;LBABC\x03", 1000, plot);
    const size_t at = calls.find("MoveToEx(", calls.find("CreatePen(0, 0, 0x000000) = pen#"));
    const size_t end = calls.find('\n', calls.find("PolylineTo", at));
    return calls.substr(at, end - at);
}

TEST(HpglLabels, BoxCornersInEveryMode) {
    EXPECT_EQ(labelBox(""),
              "MoveToEx(100, 900)\nPolylineTo((220,900) (220,820) (100,820) (100,900))");
    EXPECT_EQ(labelBox("SL0.5;"),
              "MoveToEx(100, 900)\nPolylineTo((220,900) (240,820) (120,820) (100,900))");
    EXPECT_EQ(labelBox("DI0,1;"),
              "MoveToEx(100, 900)\nPolylineTo((100,780) (20,780) (20,900) (100,900))");
    // Vertical labels where the plotter type honours DV.
    EXPECT_EQ(labelBox("IN;DV1.9;", 5),
              "MoveToEx(100, 820)\nPolylineTo((100,1059) (140,1059) (140,820) (100,820))");
    EXPECT_EQ(labelBox("IN;DV1;", 0), labelBox(""));
    // Extra space only after IN on the plotter types that take it.
    EXPECT_EQ(labelBox("ES1;", 5), labelBox(""));
    EXPECT_EQ(labelBox("IN;ES1;", 5),
              "MoveToEx(100, 900)\nPolylineTo((340,900) (340,820) (100,820) (100,900))");
}

TEST(HpglLabels, DefaultSizeFromTheStart) {
    // The plotter's P1 and P2 give the size before any IN: 0.75 and 1.5
    // percent of 10000 x 7200.
    const std::string calls = drawOn("PA100,100;LBAB\x03", 1000);
    EXPECT_NE(calls.find("MoveToEx(100, 900)\nPolylineTo((250,900) (250,792) (100,792) (100,900))"),
              std::string::npos)
        << calls;
}

TEST(HpglLabels, BufferedLabels) {
    // BL stores, PB boxes.
    const std::string lb = drawOn("PA100,100;SI0.1,0.2;LBABC\x03", 1000);
    EXPECT_EQ(drawOn("PA100,100;SI0.1,0.2;BLABC\x03", 1000).find("PolylineTo"), std::string::npos);
    EXPECT_EQ(drawOn("PA100,100;SI0.1,0.2;BLABC\x03PB;", 1000), lb);
    // At most 150 characters are boxed.
    const std::string calls = drawOn("SI0.1,0.2;LB" + std::string(200, 'x') + "\x03", 1000);
    EXPECT_NE(calls.find("PolylineTo((6000,1000)"), std::string::npos) << calls;
    // A label without its ETX ends at the end of the text.
    EXPECT_NE(drawOn("SI0.1,0.2;LBAB", 1000).find("PolylineTo((80,1000)"), std::string::npos);
}


// Every malformed plot that loads draws without failing, on the recorder and
// on a Cairo page, and gives every pen back.
TEST(HpglRenderFiles, MalformedPlotsDraw) {
    int drawn = 0;
    for (const auto& entry :
         std::filesystem::directory_iterator(std::string(KRO_TEST_DATA) + "/bad")) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("hpgl-", 0) != 0) continue;
        const std::string file = entry.path().string();
        HpglDocument* doc = KroOpenHPGL(file.c_str(), 0, 0, nullptr);
        if (doc == KRO_FAILED_PTR) continue;
        for (float scale : {0.0f, 1.0f}) {
            Recorder rec(true, 500, 400);
            EXPECT_EQ(KroDisplayHPGL(doc, 500, 400, rec.dc(), kPens, 0, 0x10401, scale, 100, 0), 0)
                << name;
            EXPECT_EQ(SelectClipRgn(rec.dc(), nullptr), NULLREGION);
            rec.expectHostPenBack();
            if (!kCairo) continue;
            HDC page = KroGdiCreateDevice(KRO_GDI_IMAGE, 500, 400, 100, nullptr, 0);
            ASSERT_NE(page, nullptr);
            EXPECT_EQ(KroDisplayHPGL(doc, 500, 400, page, kPens, 0, 0x10401, scale, 100, 0), 0)
                << name;
            DeleteDC(page);
        }
        KroCloseHPGL(doc);
        ++drawn;
    }
    EXPECT_GE(drawn, 8);
    EXPECT_EQ(KroGdiLiveObjects(), 0);
}


TEST(HpglRenderFiles, EveryOutputFormat) {
    const kt::TempDir work;
    const std::string plot =
        work.write("plot.hpgl", "IN;SP1;PU0,0;PD4000,0,4000,3000,0,3000,0,0;LT2;PD4000,3000;");
    const struct {
        const char* name;
        const char* magic;
        bool cairoOnly;
    } outputs[] = {{"out.png", "\x89PNG", true},
                   {"out.pdf", "%PDF", false},  // a page of pixels without Cairo
                   {"out.svg", "<?xml", true},
                   {"out.bmp", "BM", false},
                   {"out.cal", "srcdocid:", false}};
    for (const auto& o : outputs) {
        const std::string out = work.at(o.name);
        const std::string cmd = kt::quoted(KRO_CLI) + " convert " + kt::quoted(plot) + " " +
                                kt::quoted(out) + " -dpi 150 -pen1 0.5" KRO_QUIET;
        if (!kCairo && o.cairoOnly) {
            // PNG and SVG are the Cairo device's: refused, and nothing written.
            EXPECT_NE(kt::run(cmd), 0) << o.name;
            EXPECT_FALSE(std::filesystem::exists(out)) << o.name;
            continue;
        }
        ASSERT_EQ(kt::run(cmd), 0) << o.name;
        const kt::Bytes bytes = kt::readFile(out);
        const std::string head(bytes.begin(), bytes.begin() + std::min<size_t>(bytes.size(), 16));
        EXPECT_EQ(head.compare(0, std::strlen(o.magic), o.magic), 0) << o.name << ": " << head;
    }
}

}  // namespace
