// HP-GL/2 paths (PE, BZ, BR, AT, RT) and CT, PS, BP: their extents, their
// drawing against the PA/PD drawing of the same points, and the two passes'
// agreement.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "hpgl/hpgl.h"
#include "hpgl/render_state.h"
#include "kro/gdi.h"
#include "kro/kro.h"

namespace {

using namespace kro::hpgl;

// A PE number in 8-bit base 64: sign in the low bit, low digits first.
std::string pe(long n) {
    unsigned long v = n < 0 ? 2ul * unsigned(-n) + 1 : 2ul * unsigned(n);
    std::string out;
    for (; v >= 64; v /= 64) out += char(63 + v % 64);
    return out + char(191 + v);
}

PlotExtents measure(const std::string& text) {
    PlotExtents e{};
    EXPECT_EQ(measurePlot(text.c_str(), int32_t(text.size() + 1), 0, 0, nullptr, &e), 0);
    return e;
}

struct BoxCase {
    const char* what;
    std::string text;
    double xMin, xMax, yMin, yMax, slack;
};

TEST(HpglGeometry2, ExtentsOfEachCommand) {
    const std::string peSquare = "IN;PA1000,1000;PE<=" + pe(2000) + pe(3000) + pe(500) + pe(0) +
                                 pe(0) + pe(500) + ";";
    const BoxCase cases[] = {
        {"PE draws from a pen-up absolute move; the pen stays down at the last point",
         peSquare + "PA2600,3500;", 2000, 2600, 3000, 3500, 0},
        {"PE in user units", "IN;IP0,0,1000,1000;SC0,10,0,10;PE=" + pe(0) + pe(0) + pe(5) + pe(5) + ";",
         0, 500, 0, 500, 0},
        {"PE pen select and a cut-off pair draw nothing more",
         "IN;PE:" + pe(2) + "<=" + pe(100) + pe(100) + pe(50) + ";", 0, 0, 0, 0, 0},
        {"BZ: the curve, not its control points", "IN;PA0,0;PD;BZ0,1000,1000,1000,1000,0;", 0, 1000,
         0, 750, 0.3},
        {"BR: control points from each curve's start",
         "IN;PA100,100;PD;BR0,1000,1000,1000,1000,0,0,-100,0,-100,0,-100;", 100, 1100, 0, 850, 0.3},
        {"BZ with the pen up moves to its end", "IN;PA0,0;BZ0,1000,1000,1000,1000,0;PD2000,0;", 1000,
         2000, 0, 0, 0},
        {"BZ ignores a curve of fewer than six numbers", "IN;PA0,0;PD;BZ0,1000,1000,1000,1000;", 0, 0,
         0, 0, 0},
        {"AT through the top", "IN;PA0,0;PD;AT1000,1000,2000,0;", 0, 2000, 0, 1000, 0.5},
        {"AT through the bottom", "IN;PA0,0;PD;AT1000,-1000,2000,0;", 0, 2000, -1000, 0, 0.5},
        {"AT the long way round", "IN;PA0,0;PD;AT0,2000,1000,1000;", -1000, 1000, 0, 2000, 0.5},
        {"AT back to its start: a whole turn", "IN;PA0,0;PD;AT0,2000,0,0;", -1000, 1000, 0, 2000, 0.5},
        {"AT on a line draws a line", "IN;PA0,0;PD;AT500,500,1000,1000;", 0, 1000, 0, 1000, 0},
        {"RT from the pen", "IN;PA500,500;PD;RT1000,1000,2000,0;", 500, 2500, 500, 1500, 0.5},
        {"AT with CT1 tolerance in chord mode", "IN;CT1;PA0,0;PD;AT1000,1000,2000,0,10;", 0, 2000, 0,
         1000, 10},
        {"AT with the pen up moves", "IN;PA0,0;AT1000,1000,2000,0;PD2000,100;", 2000, 2000, 0, 100, 0},
        {"PS gives the page", "IN;PS5000,7000;PA100,100;PD200,200;", 0, 5000, 0, 7000, 0},
        {"PS with a length alone", "IN;PS5000;PA100,100;PD200,200;", 0, 5000, 0, 200, 0},
        {"BP resets scaling like IN", "IN;IP0,0,1000,1000;SC0,10,0,10;BP1,\"PD9999,9999\";PA0,0;PD5,5;",
         0, 5, 0, 5, 0},
        {"CI with a chord angle", "IN;PA1000,1000;CI100,10;", 900, 1100, 900, 1100, 0},
    };
    for (const BoxCase& c : cases) {
        SCOPED_TRACE(c.what);
        const PlotExtents e = measure(c.text);
        EXPECT_NEAR(e.xMin, c.xMin, c.slack + 1e-6);
        EXPECT_NEAR(e.xMax, c.xMax, c.slack + 1e-6);
        EXPECT_NEAR(e.yMin, c.yMin, c.slack + 1e-6);
        EXPECT_NEAR(e.yMax, c.yMax, c.slack + 1e-6);
    }
}

const float kPens[8] = {0.25f, 0.5f, 0.75f, 1.0f, 1.25f, 1.5f, 1.75f, 2.0f};

// Draws a plot on a recorder at one device unit per plotter unit, device y =
// 1000 - y; gives the calls other than MoveToEx.
std::string draw(const std::string& text, int32_t size = 1000, bool keepMoves = false) {
    std::string t = text;
    HpglDocument doc{};
    doc.path = "test";
    doc.text = t.data();
    doc.textLength = int32_t(t.size() + 1);
    doc.xMax = doc.yMax = size;
    doc.scale = 1;
    HDC dc = KroGdiCreateRecorder(size, size, 1016);
    Carryover carry;
    const DrawRequest q{&doc, size, size, dc, kPens, 0, 1.0f, 1016, 1};
    EXPECT_EQ(drawPlot(q, &carry), 0);
    std::string all(size_t(KroGdiDumpRecords(dc, nullptr, 0)) + 1, '\0');
    all.resize(size_t(KroGdiDumpRecords(dc, all.data(), all.size())));
    DeleteDC(dc);
    std::istringstream in(all);
    std::string line, out;
    while (std::getline(in, line))
        if (keepMoves || line.rfind("MoveToEx", 0) != 0) out += line + "\n";
    return out;
}

TEST(HpglGeometry2, PathsDrawAsTheSamePointsWithPaAndPd) {
    const std::string move = "<=" + pe(200) + pe(300);
    const std::string draws = pe(50) + pe(0) + pe(0) + pe(50);
    const struct {
        const char* what;
        std::string path, same;
    } cases[] = {
        {"PE", "SP1;PE" + move + draws + ";", "SP1;PU200,300;PD250,300,250,350;"},
        {"PE pen select", "SP1;PE:" + pe(3) + move + draws + ";", "SP1;SP3;PU200,300;PD250,300,250,350;"},
        {"PE after a dashed line type", "SP1;LT2,4;PE" + move + draws + ";",
         "SP1;LT2,4;PU200,300;PD250,300,250,350;"},
        {"PE with dots", "SP2;LT0;PE" + move + draws + ";", "SP2;LT0;PU200,300;PD250,300,250,350;"},
        {"PE fractional bits reset at each PE",
         "SP1;PE>" + pe(1) + "=" + pe(400) + pe(600) + ";PE" + move + draws + ";",
         "SP1;PD200,300;PU200,300;PD250,300,250,350;"},
        {"BZ on a line is one segment", "SP1;PA0,0;PD;BZ100,0,200,0,300,0;", "SP1;PA0,0;PD300,0;"},
        {"AT on a line", "SP1;PA0,0;PD;AT100,100,200,200;", "SP1;PA0,0;PD200,200;"},
        {"RT with the pen up", "SP1;PA0,0;PU;RT100,100,200,0;PD300,0;", "SP1;PA200,0;PD300,0;"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(draw(c.path), draw(c.same));
    }
}

// The points a drawing reaches, from its LineTo, PolylineTo and MoveToEx calls.
std::vector<std::pair<int, int>> drawnPoints(const std::string& calls) {
    std::vector<std::pair<int, int>> pts;
    std::istringstream in(calls);
    std::string line;
    while (std::getline(in, line)) {
        if (line.find("ineTo(") == std::string::npos && line.find("MoveToEx(") != 0) continue;
        // Every "x,y" or "x, y" of the line.
        const char* p = line.c_str();
        while (*p) {
            char* end = nullptr;
            const long x = std::strtol(p, &end, 10);
            if (end == p) {
                ++p;
                continue;
            }
            p = end;
            if (*p != ',') continue;
            const char* q = p + 1 + (p[1] == ' ');
            const long y = std::strtol(q, &end, 10);
            if (end == q) continue;
            pts.emplace_back(int(x), int(y));
            p = end;
        }
    }
    return pts;
}

TEST(HpglGeometry2, DrawingStaysInsideTheExtentsAndReachesThem) {
    const std::string plots[] = {
        "SP1;PA100,100;PD;BZ100,900,900,900,900,100;",
        "SP1;PA100,500;PD;BR0,400,800,-800,800,0,0,100,-100,100,-100,0;",
        "SP1;PA100,500;PD;AT500,900,900,500;",
        "SP1;PA300,300;PD;RT200,400,400,0,2;",
        "SP1;CT1;PA100,500;PD;AT500,100,900,500,30;",
        "SP1;PE<=" + pe(100) + pe(100) + pe(700) + pe(50) + pe(-300) + pe(600) + ";",
    };
    for (const std::string& p : plots) {
        SCOPED_TRACE(p);
        const PlotExtents e = measure("IN;" + p);
        int xMin = 1 << 30, xMax = -(1 << 30), yMin = 1 << 30, yMax = -(1 << 30);
        for (auto [x, y] : drawnPoints(draw(p, 1000, true))) {
            if (x == 0 && y == 1000) continue;  // the drawing's first move, to the origin
            xMin = std::min(xMin, x), xMax = std::max(xMax, x);
            yMin = std::min(yMin, 1000 - y), yMax = std::max(yMax, 1000 - y);
        }
        // A unit for rounding and one for the last point's end pixel.
        EXPECT_NEAR(xMin, e.xMin, 2);
        EXPECT_NEAR(xMax, e.xMax, 2);
        EXPECT_NEAR(yMin, e.yMin, 2);
        EXPECT_NEAR(yMax, e.yMax, 2);
    }
}

TEST(HpglGeometry2, ChordToleranceSetsTheSegments) {
    EXPECT_EQ(arcSegments(1000, 180, 0, 5), 36);
    EXPECT_EQ(arcSegments(1000, -90, 0, 0.1), 180);   // held to half a degree
    EXPECT_EQ(arcSegments(1000, 360, 0, 500), 2);     // held to 180
    EXPECT_EQ(arcSegments(1000, 180, 1, 2000), 1);    // deviation beyond the radius
    EXPECT_EQ(arcSegments(1000, 180, 1, NAN), 36);    // no usable deviation: 5 degrees
    EXPECT_EQ(arcSegments(1e300, 1e300, 0, 5), 720);  // bounded
    const double x[4] = {0, 0, 1e12, 1e12}, y[4] = {0, 1e12, 1e12, 0};
    EXPECT_EQ(bezierSegments(x, y, 0.5), kMaxCurveSegments);
}

TEST(HpglGeometry2, GnuplotPcl5FrameLiesWhereGnuplotPutIt) {
    std::ifstream f(KRO_TEST_DATA "/hpgl/gnuplot-pcl5.pcl", std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(f)), {});
    ASSERT_FALSE(text.empty());
    text.resize(normalizePlotText(text.data(), text.size()));
    const auto pts = drawnPoints(draw(text, 5080, true));
    auto near = [&](int x, int y) {
        for (auto [px, py] : pts)
            if (std::abs(px - x) <= 1 && std::abs((5080 - py) - y) <= 1) return true;
        return false;
    };
    EXPECT_TRUE(near(728, 338));
    EXPECT_TRUE(near(4743, 3386));
    EXPECT_TRUE(near(728, 3386));
    EXPECT_TRUE(near(4743, 338));
    EXPECT_GT(pts.size(), 400u);
}

TEST(HpglGeometry2, PlotutilsPageLengthWidensTheExtents) {
    std::ifstream f(KRO_TEST_DATA "/hpgl/plotutils-graph2.hpgl", std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(f)), {});
    ASSERT_FALSE(text.empty());
    text.resize(normalizePlotText(text.data(), text.size()));
    const PlotExtents e = measure(text);
    EXPECT_EQ(e.xMin, 0);
    EXPECT_EQ(e.xMax, 10668);  // PS10668
    EXPECT_LT(e.yMax, 8128);   // the plot's own square
}

TEST(HpglGeometry2, HostilePathsAreBounded) {
    const std::string plots[] = {
        "IN;PD;BZ1e300,-1e300,99999999999999999999999999,0,1,1;",
        "IN;PD;AT1,0,0,1,-0;AT0,0,0,0;RT,,,;BZ",
        "IN;PE>" + pe(99) + "=" + pe(1) + ";PD1,1;",
        "IN;PE:",
        "IN;BP\"never closed PD1,1",
        "IN;PD;" + std::string(2000, 'B') + "Z1,1,1,1,1,1",
    };
    for (const std::string& p : plots) {
        SCOPED_TRACE(p);
        measure(p);
        draw(p);
    }
}

}  // namespace
