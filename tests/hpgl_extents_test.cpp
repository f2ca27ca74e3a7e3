// Kro_MAX_MIN: the extents of every command family.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "kro/kro.h"
#include "test_util.h"

namespace {

struct Extents {
    int32_t rc;
    double xMin, xMax, yMin, yMax;
};

Extents measure(const std::string& text, int32_t plot = 0, std::vector<int32_t> ignore = {}) {
    Extents e{0, -7, -7, -7, -7};
    e.rc =
        Kro_MAX_MIN(text.c_str(), int32_t(text.size() + 1), plot, int32_t(ignore.size()),
                    ignore.empty() ? nullptr : ignore.data(), &e.xMax, &e.yMax, &e.xMin, &e.yMin);
    return e;
}

void expectBox(const Extents& e, double xMin, double xMax, double yMin, double yMax) {
    ASSERT_EQ(e.rc, 0);
    EXPECT_NEAR(e.xMin, xMin, 1e-3);
    EXPECT_NEAR(e.xMax, xMax, 1e-3);
    EXPECT_NEAR(e.yMin, yMin, 1e-3);
    EXPECT_NEAR(e.yMax, yMax, 1e-3);
}

struct Case {
    const char* what;
    std::string text;
    int32_t plot;
    double xMin, xMax, yMin, yMax;
};

TEST(HpglExtents, EveryCommandFamily) {
    const Case cases[] = {
        {"empty", "", 0, 0, 0, 0, 0},
        {"line from the origin", "PU0,0;PD100,100;", 0, 0, 100, 0, 100},
        {"first pen-down opens", "PU50,50;PD100,100;", 0, 50, 100, 50, 100},
        {"pen-up moves do not count", "PU100,100;", 0, 0, 0, 0, 0},
        {"relative", "PA10,10;PR;PD5,5,5,5;", 0, 10, 20, 10, 20},
        {"PC is a pen colour, no move", "PA10,10;PD;PC1,255,0,0;PD20,20;", 0, 10, 20, 10, 20},
        {"lower case names commands too", "pu0,0;pd100,100;", 0, 0, 100, 0, 100},
        {"an odd coordinate is ignored", "PD10;PD20,30;", 0, 0, 20, 0, 30},
        {"an odd coordinate at the end of the text", "PD10", 0, 0, 0, 0, 0},
        {"window fixes the extents", "IW0,0,1000,500;PD5000,5000;", 0, 0, 1000, 0, 500},
        {"IW; ends the window", "IW0,0,1000,500;IW;PD5000,5000;", 0, 0, 5000, 0, 5000},
        {"window in user units on plotter 4", "IP0,0,100,100;SC0,10,0,10;IW0,0,1,1;", 4, 0, 10, 0,
         10},
        {"window in plotter units on plotter 0", "IP0,0,100,100;SC0,10,0,10;IW0,0,1,1;", 0, 0, 1, 0,
         1},
        {"circle", "CI100;", 0, -100, 100, -100, 100},
        {"circle with chord tolerance", "PA10,10;CI5,2;", 0, 5, 15, 5, 15},
        {"arc as the first element", "PA100,0;PD;AA0,0,360;", 0, -100, 100, -100, 100},
        {"quarter arc", "PA100,0;PD;AA0,0,90;", 0, 0, 100, 0, 100},
        {"relative arc centre", "PA100,0;PD;AR-100,0,-90;", 0, 0, 100, -100, 0},
        {"user scaling", "IP0,0,1000,1000;SC0,10,0,10;PA10,10;PD0,0;", 0, 0, 1000, 0, 1000},
        {"IP with two fields moves P2 too", "IP0,0,10,10;IP5,5;SC0,1,0,1;PD1,1;", 0, 0, 15, 0, 15},
        {"SC without IP maps onto the default P1/P2", "SC0,10,0,10;PD10,10;", 0, 0, 10603, 0, 7721},
        {"absolute rectangle", "PA10,20;RA30,50;", 0, 10, 30, 20, 50},
        {"relative rectangle", "PA10,20;ER30,50;", 0, 10, 40, 20, 70},
        {"label before SI has the default size", "PA50,60;LBabc\x03", 0, 50, 275, 60, 168},
        {"label box", "SI1,2;LBab\x03", 0, 0, 800, 0, 800},
        {"label turned by DI", "SI1,1;DI0,1;LBa\x03", 0, -400, 0, 0, 400},
        {"label without ETX ends with the text", "SI1,1;LBab", 0, 0, 800, 0, 400},
        {"BL only buffers, PB draws", "SI1,1;BLabc\x03PB;", 0, 0, 1200, 0, 400},
        {"BL alone adds nothing", "SI1,1;PA5,5;BLabc\x03", 0, 0, 0, 0, 0},
        {"vertical label on plotter 5", "SI1,1;DV1;LBab\x03", 5, 0, 400, -400, 400},
        {"DV is ignored on plotter 0", "SI1,1;DV1;LBab\x03", 0, 0, 800, 0, 400},
        {"extra space on plotter 5", "SI1,1;ES1;LBab\x03", 5, 0, 1400, 0, 400},
        {"ES is ignored on plotter 10", "SI1,1;ES1;LBab\x03", 10, 0, 800, 0, 400},
        {"SR is a share of P1/P2", "IP0,0,1000,2000;SR1,1;LBa\x03", 0, 0, 10, 0, 20},
        {"SI default size", "SI;LBa\x03", 0, 0, 114, 0, 150},
        {"slant", "SI1,1;SL1;LBa\x03", 0, 0, 800, 0, 400},
        {"IN and DF set absolute moves", "PR;IN;DF;PD10,10,10,10;", 0, 0, 10, 0, 10},
        // Plots that a plotter draws and the walk once measured wrong; each
        // pair of numbers is what the drawing reaches.
        // Relative offsets are displacements in user units: scaled, not moved by P1.
        {"AR under IP and SC", "IP1000,1000,9000,9000;SC0,100,0,100;PA50,50;PD;AR10,0,90;", 0, 5000,
         5800, 4200, 5000},
        {"ER under IP and SC", "IP1000,1000,9000,9000;SC0,100,0,100;PA50,50;ER10,10;", 0, 5000,
         5800, 5000, 5800},
        // IN restores scaling, window and P1/P2; DF keeps P1/P2.
        {"IN ends the scaling", "IP0,0,1000,1000;SC0,10,0,10;PD1,1;IN;PA0,0;PD100,100;", 0, 0, 100,
         0, 100},
        {"IN ends the window", "IW0,0,100,100;IN;PD5000,5000;", 0, 0, 5000, 0, 5000},
        {"DF keeps P1 and P2", "IP0,0,1000,1000;DF;SC0,10,0,10;PD10,10;", 0, 0, 1000, 0, 1000},
        {"IN restores P1 and P2", "IP0,0,1000,1000;IN;SC0,10,0,10;PD10,10;", 0, 0, 10603, 0, 7721},
        {"IN restores the label size", "SI1,1;IN;LBa\x03", 0, 0, 75, 0, 108},
        {"SC on the plotter's P1/P2", "IN;SC0,10,0,10;PA5,5;PD10,10;", 0, 5603, 10603, 4121, 7721},
        {"SC on plotter 13's first paper", "IN;SC0,1,0,1;PD1,1;", 13, 0, 10210, 0, 7682},
        // Shapes grow the extents every way, below 0 too.
        {"circle by an arc below the origin", "PD0,0;PU-1900,-2000;PD;AA-2000,-2000,360;", 0, -2100,
         0, -2100, 0},
        {"pie below the origin", "PD0,0,10,10;WG100,180,180;", 0, -90, 110, -90, 10},
        {"circle with a negative radius", "PA10,10;CI-5;", 0, 5, 15, 5, 15},
        // AA and AR with the pen up move the pen along the arc and draw nothing.
        {"arc with the pen up", "PA100,0;AA0,0,180;PD-200,0;", 0, -200, -100, 0, 0},
        // A start angle that rounds to a whole turn is 0 degrees.
        {"arc from a full turn", "PA100,-0.00000000000001;PD;AA0,0,90;", 0, 0, 100, 0, 100},
        // Spaces next to separators and terminators do no harm.
        {"spaces around fields", "PD 100 , 200 ;PA 300 ,400 ;PD 500,600 ;", 0, 0, 500, 0, 600},
        {"comment text is no command", "CO\"PD5000,5000\";PD10,10;co \"PD9,9\" PD1,1;", 0, 0, 10, 0,
         10},
        {"encoded polyline is stepped over", "PEPD5000;PD10,10;", 0, 0, 10, 0, 10},
        // Labels open the extents and count 150 characters.
        {"labels alone", "PA50,60;LBabc\x03PA0,200;LBd\x03", 0, 0, 275, 60, 308},
        {"a long label", "SI0.1,0.1;LB" + std::string(200, 'x') + "\x03", 0, 0, 6000, 0, 40},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        expectBox(measure(c.text, c.plot), c.xMin, c.xMax, c.yMin, c.yMax);
    }
}

TEST(HpglExtents, WedgeIncludesItsCentre) {
    expectBox(measure("PA100,100;WG50,0,90;"), 100, 150, 100, 150);
    // A start angle far beyond one turn folds like 30 degrees; an infinite
    // one neither hangs nor harms.
    Extents far = measure("PA100,100;WG50,36030,0;");
    Extents near = measure("PA100,100;WG50,30,0;");
    EXPECT_NEAR(far.xMax, near.xMax, 1e-6);
    EXPECT_EQ(measure("PA100,100;WG50,1e300,90;EW50,1e999,1e999;").rc, 0);
}

TEST(HpglExtents, IgnoredWindowIsSkipped) {
    expectBox(measure("IW0,0,10,10;PD5000,5000;", 0, {701}), 0, 5000, 0, 5000);
}

TEST(HpglExtents, ReadsNothingBeyondTheLength) {
    // No NUL and a length that stops inside a command: ASan watches the buffer.
    const std::string all = "PD10,10;BLunterminated";
    std::vector<char> bytes(all.begin(), all.end());
    double xMax, yMax, xMin, yMin;
    ASSERT_EQ(
        Kro_MAX_MIN(bytes.data(), int32_t(bytes.size()), 0, 0, nullptr, &xMax, &yMax, &xMin, &yMin),
        0);
    EXPECT_EQ(xMax, 10);
    ASSERT_EQ(Kro_MAX_MIN(bytes.data(), 6, 0, 0, nullptr, &xMax, &yMax, &xMin, &yMin), 0);
    EXPECT_EQ(xMax, 10);  // "PD10,1"
    ASSERT_EQ(Kro_MAX_MIN(nullptr, 10, 0, 0, nullptr, &xMax, &yMax, &xMin, &yMin), 0);
    ASSERT_EQ(Kro_MAX_MIN(bytes.data(), -5, 0, 0, nullptr, &xMax, &yMax, &xMin, &yMin), 0);
    EXPECT_FAILS_WITH(Kro_MAX_MIN("", 1, 0, 0, nullptr, nullptr, &yMax, &xMin, &yMin),
                      KRO_ERR_NULL);
}

TEST(HpglExtents, HostileNumbersDoNoHarm) {
    const std::string digits(300000, '9');
    const std::string texts[] = {
        "PD" + digits + "," + digits + ";",
        "PD1e999,-1e999;CI1e999;AA1e999,0,1e999;",
        "PDnan,nan;AAnan,nan,nan;WGnan,nan,nan;",
        "DV1e30;DV-1e30;DVnan;SI1,1;LBa\x03",
        "IP1e308,1e308,-1e308,-1e308;SC0,1e-308,0,1e-308;PD1,1;",
    };
    for (const std::string& t : texts)
        for (int32_t plot : {0, 5}) EXPECT_EQ(measure(t, plot).rc, 0) << t.substr(0, 40);
}

}  // namespace
