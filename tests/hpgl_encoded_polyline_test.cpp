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
    Decoded d;
    d.state = state;
    d.result = decodeEncodedPolyline(text.data(), text.size(), d.state, d.events);
    return d;
}

struct Event {
    char kind;  // 'p' pen, 'm' move, 'd' draw
    double x, y;
};

std::string describe(const std::vector<EncodedPolylineEvent>& events) {
    std::string s;
    for (const auto& e : events) {
        char line[80];
        if (e.kind == Kind::kSelectPen)
            std::snprintf(line, sizeof line, "p%d ", e.pen);
        else
            std::snprintf(line, sizeof line, "%c%.4f,%.4f ", e.kind == Kind::kMove ? 'm' : 'd', e.x,
                          e.y);
        s += line;
    }
    return s;
}

std::string describe(const std::vector<Event>& events) {
    std::vector<EncodedPolylineEvent> out;
    for (const Event& e : events) {
        const Kind k = e.kind == 'p' ? Kind::kSelectPen : e.kind == 'm' ? Kind::kMove : Kind::kDraw;
        out.push_back({k, int32_t(e.x), k == Kind::kSelectPen ? 0 : e.x, e.y});
    }
    return describe(out);
}

TEST(HpglEncodedPolyline, HandEncodedBytes) {
    // Worked by hand: 3 -> 6 -> 0xC5; -2 -> 5 -> 0xC4; 1000 -> 2000 = 16 + 31 * 64
    // -> 'O' 0xDE; -1000 -> 2001 -> 'P' 0xDE; in base 32 2000 = 16 + 30 * 32 + 32^2
    // -> 'O' ']' '`'. Every case starts at (100, 100).
    struct Case {
        const char* name;
        std::string text;
        std::vector<Event> events;
        size_t consumed;
        bool terminated, malformed;
        int32_t fractionalBits;
    };
    const Case cases[] = {
        {"relative draw", "\xC5\xC4;", {{'d', 103, 98}}, 3, true, false, 0},
        {"two digits, both signs", "O\xDEP\xDE;", {{'d', 1100, -900}}, 5, true, false, 0},
        {"pen up then down",
         "<\xC5\xC4\xC5\xC4;",
         {{'m', 103, 98}, {'d', 106, 96}},
         6,
         true,
         false,
         0},
        {"absolute only for the next pair",
         "=O\xDEP\xDE\xC5\xC4;",
         {{'d', 1000, -1000}, {'d', 1003, -1002}},
         8,
         true,
         false,
         0},
        {"pen up and absolute", "<=\xC5\xC4;", {{'m', 3, -2}}, 5, true, false, 0},
        {"select pen", ":\xC3\xC5\xC4;", {{'p', 2, 0}, {'d', 103, 98}}, 5, true, false, 0},
        {"seven-bit mode", "7O]`O]`;", {{'d', 1100, 1100}}, 8, true, false, 0},
        {"seven-bit terminators", "7ed;", {{'d', 103, 98}}, 4, true, false, 0},
        {"fractional bits 2: 10 / 4", ">\xC3\xD3\xD3;", {{'d', 102.5, 102.5}}, 5, true, false, 2},
        {"fractional bits -1: 5 * 2", ">\xC2\xC9\xC9;", {{'d', 110, 110}}, 5, true, false, -1},
        {"eighth bit of a flag dropped", "\xBC\xC5\xC4;", {{'m', 103, 98}}, 4, true, false, 0},
        {"ignored bytes inside numbers",
         "O \n\x80\xA0\xFF\x7F\x01\xDE\r\xC4;",
         {{'d', 1100, 98}},
         12,
         true,
         false,
         0},
        {"no ';': to the end",
         "\xC5\xC4\xC5\xC4",
         {{'d', 103, 98}, {'d', 106, 96}},
         4,
         false,
         false,
         0},
        {"nothing", ";", {}, 1, true, false, 0},
        {"stops at the first ';'", "\xC5\xC4;\xC5\xC4;", {{'d', 103, 98}}, 3, true, false, 0},
        {"NUL ends the text",
         std::string("\xC5\xC4\0\xC5\xC4;", 6),
         {{'d', 103, 98}},
         2,
         false,
         false,
         0},
        {"letters are digits", "A\xC0\xC2;", {{'d', 133, 99}}, 4, true, false, 0},
        {"garbage byte",
         "\xC5\xC4"
         "5\xC5\xC4;PU;",
         {{'d', 103, 98}},
         6,
         true,
         true,
         0},
        {"';' with its eighth bit is garbage", "\xBB\xC5\xC4;", {}, 4, true, true, 0},
        {"odd number: end inside a pair", "\xC5\xC4\xC5", {{'d', 103, 98}}, 3, false, true, 0},
        {"odd number before ';'", "\xC5;PU;", {}, 2, true, true, 0},
        {"flag between x and y", "\xC5<\xC4\xC5\xC4;", {}, 6, true, true, 0},
        {"pen flag without a value", ":;", {}, 2, true, true, 0},
        {"number cut by a flag", "O=\xDE\xC4;", {}, 5, true, true, 0},
        {"fractional bits 27", ">\xF5\xC5\xC4;", {}, 5, true, true, 0},
        {"seven-bit terminator range only in 7-bit mode", "7\xC5\xC4;", {}, 4, true, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Decoded d = decode(c.text, {100, 100, 0});
        EXPECT_EQ(describe(d.events), describe(c.events));
        EXPECT_EQ(d.result.events, d.events.size());
        EXPECT_EQ(d.result.consumed, c.consumed);
        EXPECT_EQ(d.result.terminated, c.terminated);
        EXPECT_EQ(d.result.malformed, c.malformed);
        EXPECT_EQ(d.state.fractionalBits, c.fractionalBits);
        if (!c.events.empty() && c.events.back().kind != 'p') {
            EXPECT_EQ(d.state.x, c.events.back().x);
            EXPECT_EQ(d.result.penDown, c.events.back().kind == 'd');
        }
    }
    // Fractional bits carried in from an earlier command.
    const Decoded carried = decode("\xC5\xC4;", {0, 0, 1});
    EXPECT_EQ(describe(carried.events), describe(std::vector<Event>{{'d', 1.5, -1}}));
}

TEST(HpglEncodedPolyline, RoundTripsRandomPolylines) {
    std::mt19937 rng(7);
    for (int trial = 0; trial < 200; ++trial) {
        const bool sevenBit = trial % 2;
        const int bits = int(rng() % 9) - 2;
        const double unit = std::ldexp(1.0, -bits);
        std::string text = sevenBit ? "7" : "";
        text += '>';
        text += encode(bits, sevenBit);
        std::vector<EncodedPolylineEvent> want;
        double x = 5, y = -7;
        for (int i = int(rng() % 40); i > 0; --i) {
            const uint32_t r = rng();
            if (r % 11 == 0) {
                const int pen = int(rng() % 300) - 20;
                text += ':';
                text += encode(pen, sevenBit);
                want.push_back({Kind::kSelectPen, pen, 0, 0});
                continue;
            }
            const bool up = r & 2, absolute = r & 4;
            const int64_t range = r & 8 ? 1 << 24 : 40;
            const int64_t dx = int64_t(rng() % (2 * range)) - range;
            const int64_t dy = int64_t(rng() % (2 * range)) - range;
            text += std::string(up ? "<" : "") + (absolute ? "=" : "");
            text += encode(dx, sevenBit) + encode(dy, sevenBit);
            x = absolute ? dx * unit : x + dx * unit;
            y = absolute ? dy * unit : y + dy * unit;
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
    const double limit = kro::hpgl::kEncodedCoordinateLimit;
    const Decoded far = decode("=" + large + "\xC0" + negative + "\xC0" + negative + large + ";");
    EXPECT_FALSE(far.result.malformed);
    EXPECT_EQ(describe(far.events), describe(std::vector<Event>{
                                        {'d', limit, 0}, {'d', -limit, 0}, {'d', -limit, limit}}));
    const Decoded pens = decode(":" + large + ":" + negative + ";");
    ASSERT_EQ(pens.events.size(), 2u);
    EXPECT_EQ(pens.events[0].pen, INT32_MAX);
    EXPECT_EQ(pens.events[1].pen, -INT32_MAX);
    // Every event takes two bytes at least.
    const Decoded many = decode(std::string(10000, '\xC1'));
    EXPECT_EQ(many.events.size(), 5000u);
    EXPECT_EQ(many.result.consumed, 10000u);
    EXPECT_FALSE(many.result.malformed);
}

// gnuplot writes every vector of its PCL5 output as PE: walk the file, decode
// each PE from where the last one left the pen, and compare the two curves
// with the functions plotted.
TEST(HpglEncodedPolyline, GnuplotPcl5Output) {
    std::ifstream in(KRO_TEST_DATA "/hpgl/gnuplot-pcl5.pcl", std::ios::binary);
    const std::string plot((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(plot.size(), 1000u);

    std::vector<std::vector<EncodedPolylineEvent>> polylines;
    EncodedPolylineState state;
    int commands = 0;
    for (size_t i = 0; i + 1 < plot.size();) {
        if (plot.compare(i, 2, "LB") == 0) {  // label text, to its ETX
            i = plot.find('\x03', i);
            if (i == std::string::npos) break;
            continue;
        }
        if (plot.compare(i, 2, "PE") != 0) {
            ++i;
            continue;
        }
        ++commands;
        std::vector<EncodedPolylineEvent> events;
        const auto r =
            decodeEncodedPolyline(plot.data() + i + 2, plot.size() - i - 2, state, events);
        ASSERT_FALSE(r.malformed) << "at " << i;
        ASSERT_TRUE(r.terminated);
        i += 2 + r.consumed;
        for (const auto& e : events) {
            ASSERT_NE(e.kind, Kind::kSelectPen);
            if (e.kind == Kind::kMove || polylines.empty()) polylines.emplace_back();
            polylines.back().push_back(e);
        }
    }
    EXPECT_EQ(commands, 139);

    const double left = 728, bottom = 338, right = 4743, top = 3386;
    std::vector<const std::vector<EncodedPolylineEvent>*> curves;
    bool frame = false;
    for (const auto& p : polylines) {
        for (const auto& e : p) {
            EXPECT_TRUE(e.x >= 0 && e.x <= 5080 && e.y >= 0 && e.y <= 3556) << e.x << "," << e.y;
        }
        if (p.size() == 5 && p[0].x == left && p[0].y == top && p[2].x == right &&
            p[2].y == bottom && p[4].x == left && p[4].y == top)
            frame = true;
        if (p.size() == 101) curves.push_back(&p);
    }
    EXPECT_TRUE(frame);
    // Each curve: a move to its first sample, a draw of no length, then the
    // 99 other samples.
    ASSERT_EQ(curves.size(), 2u);
    double (*const functions[2])(double) = {[](double x) { return std::sin(x); },
                                            [](double x) { return 0.5 * std::cos(x); }};
    for (int c = 0; c < 2; ++c) {
        SCOPED_TRACE(c);
        const auto& p = *curves[c];
        for (int s = 0; s < 100; ++s) {
            const double t = -10 + 20.0 * s / 99;
            const double x = left + (right - left) * s / 99;
            const double y = bottom + (top - bottom) * (functions[c](t) + 1) / 2;
            EXPECT_NEAR(p[s + 1].x, x, 1.0) << s;
            EXPECT_NEAR(p[s + 1].y, y, 1.0) << s;
        }
    }
}

}  // namespace
