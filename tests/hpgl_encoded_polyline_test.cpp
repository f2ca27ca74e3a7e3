// PE decoding: hand-encoded bytes for each flag, round trips through an
// encoder written here, malformed data, and gnuplot's PCL5 output.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "hpgl/encoded_polyline.h"

namespace {

using kro::hpgl::decodeEncodedPolyline;
using kro::hpgl::EncodedPolylineEvent;
using kro::hpgl::EncodedPolylineResult;
using kro::hpgl::EncodedPolylineState;
using Kind = EncodedPolylineEvent::Kind;

// The plotter manuals' encoding: sign in the lowest bit, base 64 or 32,
// least significant digit first, the last digit in the terminator range.
std::string encode(int64_t v, bool sevenBit) {
    uint64_t u = v < 0 ? 2 * uint64_t(-v) + 1 : 2 * uint64_t(v);
    const uint64_t base = sevenBit ? 32 : 64;
    std::string s;
    for (; u >= base; u /= base) s += char(63 + u % base);
    s += char((sevenBit ? 95 : 191) + u);
    return s;
}

struct Decoded {
    std::vector<EncodedPolylineEvent> events;
    EncodedPolylineResult result;
    EncodedPolylineState state;
};

Decoded decode(const std::string& text, EncodedPolylineState state = {}) {
    Decoded d{{}, {}, state};
    d.result = decodeEncodedPolyline(text.data(), text.size(), d.state, d.events);
    return d;
}

// "p2 m3,-2 d103,98.5": pen selections, moves and draws.
std::string describe(const std::vector<EncodedPolylineEvent>& events) {
    std::string s;
    char word[64];
    for (const auto& e : events) {
        if (e.kind == Kind::kSelectPen)
            std::snprintf(word, sizeof word, " p%d", e.pen);
        else
            std::snprintf(word, sizeof word, " %c%.10g,%.10g", e.kind == Kind::kMove ? 'm' : 'd',
                          e.x, e.y);
        s += word;
    }
    return s.empty() ? s : s.substr(1);
}

TEST(HpglEncodedPolyline, HandEncodedBytes) {
    // Worked by hand: 3 -> 6 -> 0xC5; -2 -> 5 -> 0xC4; 1000 -> 2000 = 16 + 31 * 64
    // -> 'O' 0xDE; -1000 -> 2001 -> 'P' 0xDE; in base 32 2000 = 16 + 30 * 32 + 32^2
    // -> 'O' ']' '`', and 3, -2, 500 -> 'e', 'd', 'G' '~'. Every case starts at (100, 100).
    struct Case {
        const char* name;
        std::string text;
        const char* events;
        size_t consumed;
        bool terminated, malformed;
    };
    const Case cases[] = {
        {"relative draw", "\xC5\xC4;", "d103,98", 3, true, false},
        {"two digits, both signs", "O\xDEP\xDE;", "d1100,-900", 5, true, false},
        {"pen up for one pair", "<\xC5\xC4\xC5\xC4;", "m103,98 d106,96", 6, true, false},
        {"absolute for one pair", "=O\xDEP\xDE\xC5\xC4;", "d1000,-1000 d1003,-1002", 8, true,
         false},
        {"select pen", ":\xC3\xC5\xC4;", "p2 d103,98", 5, true, false},
        {"seven-bit mode", "7O]`d<eG~;", "d1100,98 m1103,598", 10, true, false},
        {"fractional bits 2: 10 / 4", ">\xC3\xD3\xD3;", "d102.5,102.5", 5, true, false},
        {"fractional bits -1: 5 * 2", ">\xC2\xC9\xC9;", "d110,110", 5, true, false},
        {"eighth bit of a flag dropped", "\xBC\xC5\xC4;", "m103,98", 4, true, false},
        {"ignored bytes inside numbers", "O \n\x80\xA0\xFF\x7F\x01\xDE\r\xC4;", "d1100,98", 12,
         true, false},
        {"no ';': to the end", "\xC5\xC4\xC5\xC4", "d103,98 d106,96", 4, false, false},
        {"nothing", ";", "", 1, true, false},
        {"stops at the first ';'", "\xC5\xC4;\xC5\xC4;", "d103,98", 3, true, false},
        {"NUL ends the text", std::string("\xC5\xC4\0\xC5\xC4;", 6), "d103,98", 2, false, false},
        {"letters are digits", "A\xC0\xC2;", "d133,99", 4, true, false},
        {"garbage byte",
         "\xC5\xC4"
         "5\xC5\xC4;PU;",
         "d103,98", 6, true, true},
        {"';' with its eighth bit is garbage", "\xBB\xC5\xC4;", "", 4, true, true},
        {"end inside a pair", "\xC5\xC4\xC5", "d103,98", 3, false, true},
        {"';' inside a pair", "\xC5;PU;", "", 2, true, true},
        {"flag between x and y", "\xC5<\xC4\xC5\xC4;", "", 6, true, true},
        {"pen flag without a value", ":;", "", 2, true, true},
        {"number cut by a flag", "O=\xDE\xC4;", "", 5, true, true},
        {"fractional bits 27", ">\xF5\xC5\xC4;", "", 5, true, true},
        {"8-bit terminators in 7-bit mode", "7\xC5\xC4;", "", 4, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Decoded d = decode(c.text, {100, 100, 0});
        EXPECT_EQ(describe(d.events), c.events);
        EXPECT_EQ(d.result.events, d.events.size());
        EXPECT_EQ(d.result.consumed, c.consumed);
        EXPECT_EQ(d.result.terminated, c.terminated);
        EXPECT_EQ(d.result.malformed, c.malformed);
        if (!d.events.empty() && d.events.back().kind != Kind::kSelectPen) {
            EXPECT_EQ(d.state.x, d.events.back().x);
            EXPECT_EQ(d.result.penDown, d.events.back().kind == Kind::kDraw);
        }
    }
    // Fractional bits come in from an earlier command and go out changed.
    EXPECT_EQ(describe(decode("\xC5\xC4;", {0, 0, 1}).events), "d1.5,-1");
    EXPECT_EQ(decode(">\xC3;", {0, 0, 1}).state.fractionalBits, 2);
}

TEST(HpglEncodedPolyline, RoundTripsRandomPolylines) {
    std::mt19937 rng(7);
    for (int trial = 0; trial < 200; ++trial) {
        const bool sevenBit = trial % 2;
        const int bits = int(rng() % 9) - 2;
        std::string text = sevenBit ? "7>" : ">";
        text += encode(bits, sevenBit);
        std::vector<EncodedPolylineEvent> want;
        double x = 5, y = -7;
        for (int i = int(rng() % 40); i > 0; --i) {
            const uint32_t r = rng();
            const bool up = r & 2, absolute = r & 4;
            const int64_t range = r & 8 ? 1 << 20 : 40;
            const int64_t dx = int64_t(rng() % (2 * range)) - range;
            const int64_t dy = int64_t(rng() % (2 * range)) - range;
            text += std::string(up ? "<" : "") + (absolute ? "=" : "");
            text += encode(dx, sevenBit) + encode(dy, sevenBit);
            x = std::ldexp(double(dx), -bits) + (absolute ? 0 : x);
            y = std::ldexp(double(dy), -bits) + (absolute ? 0 : y);
            want.push_back({up ? Kind::kMove : Kind::kDraw, 0, x, y});
        }
        text += ";";
        const Decoded d = decode(text, {5, -7, 0});
        ASSERT_EQ(describe(d.events), describe(want)) << "trial " << trial;
        EXPECT_EQ(d.result.consumed, text.size());
        EXPECT_FALSE(d.result.malformed);
    }
}

TEST(HpglEncodedPolyline, HostileNumbersSaturate) {
    // A thousand continuation digits, then a terminator; the first digit's
    // lowest bit is the sign.
    const std::string large = "?" + std::string(1000, 'z') + "\xFE";
    const std::string negative = "@" + std::string(1000, 'z') + "\xFE";
    const Decoded far = decode("=" + large + "\xC0" + negative + "\xC0" + negative + large + ";");
    EXPECT_EQ(describe(far.events), "d1073741824,0 d-1073741824,0 d-1073741824,1073741824");
    EXPECT_EQ(describe(decode(":" + large + ":" + negative + ";").events),
              "p2147483647 p-2147483647");
    // Every event takes two bytes at least.
    const Decoded many = decode(std::string(10000, '\xC1'));
    EXPECT_EQ(many.events.size(), 5000u);
    EXPECT_EQ(many.result.consumed, 10000u);
}

// gnuplot writes every vector of its PCL5 output as PE: walk the file,
// decode each PE from where the last left the pen, and compare the polylines
// with the frame and the functions plotted (tests/data/hpgl/README.md).
TEST(HpglEncodedPolyline, GnuplotPcl5Output) {
    std::ifstream in(KRO_TEST_DATA "/hpgl/gnuplot-pcl5.pcl", std::ios::binary);
    const std::string plot((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::vector<EncodedPolylineEvent>> polylines;
    EncodedPolylineState state;
    int commands = 0;
    for (size_t i = plot.find("PE"); i != std::string::npos; i = plot.find("PE", i)) {
        std::vector<EncodedPolylineEvent> events;
        const auto r =
            decodeEncodedPolyline(plot.data() + i + 2, plot.size() - i - 2, state, events);
        ASSERT_TRUE(r.terminated && !r.malformed) << "at " << i;
        i += 2 + r.consumed;
        ++commands;
        for (const auto& e : events) {
            if (e.kind == Kind::kMove || polylines.empty()) polylines.emplace_back();
            polylines.back().push_back(e);
        }
    }
    EXPECT_EQ(commands, 139);
    const double left = 728, bottom = 338, right = 4743, top = 3386;
    std::vector<const std::vector<EncodedPolylineEvent>*> curves;
    int frames = 0;
    for (const auto& p : polylines) {
        for (const auto& e : p)
            EXPECT_TRUE(e.x >= 0 && e.x <= 5080 && e.y >= 0 && e.y <= 3556) << describe(p);
        frames += describe(p) == "m728,3386 d728,338 d4743,338 d4743,3386 d728,3386";
        if (p.size() == 101) curves.push_back(&p);
    }
    EXPECT_GE(frames, 1);
    // Each curve: a move to its first sample, a draw of no length, the 99 others.
    ASSERT_EQ(curves.size(), 2u);
    for (int c = 0; c < 2; ++c) {
        for (int s = 0; s < 100; ++s) {
            const double t = -10 + 20.0 * s / 99;
            const double v = c == 0 ? std::sin(t) : 0.5 * std::cos(t);
            EXPECT_NEAR((*curves[c])[s + 1].x, left + (right - left) * s / 99, 1.0) << c << s;
            EXPECT_NEAR((*curves[c])[s + 1].y, bottom + (top - bottom) * (v + 1) / 2, 1.0)
                << c << s;
        }
    }
}

}  // namespace
