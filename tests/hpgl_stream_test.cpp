// The HP-GL command stream: mnemonic codes, byte classes, the walk and the
// parameter fields.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "hpgl/stream.h"
#include "kro/kro.h"

namespace {

using kro::hpgl::FieldRules;
using kro::hpgl::Stream;

// The first and last code of each group, as the plotter manuals number them.
constexpr const char* kGroupEnds =
    "DF101 GM105 SP201 PR206 XT301 FR309 CT401 FP416 LB501 LE519 CS601 DL610 IW701 RO705 "
    "AP801 ST824 DP901 DC903 IM1001 OT1010";

TEST(HpglMnemonics, EveryPairHasItsCodeAndNoOtherPairHasOne) {
    std::istringstream words(kGroupEnds);
    for (std::string w; words >> w;) {
        EXPECT_EQ(Kro_STR_CMP(6, w.c_str()), std::atoi(w.c_str() + 2)) << w;
        std::string lower = {char(w[0] | 0x20), char(w[1] | 0x20)};
        EXPECT_EQ(Kro_STR_CMP(6, lower.c_str()), std::atoi(w.c_str() + 2)) << lower;
    }
    int named = 0;
    for (char a = 'A'; a <= 'Z'; ++a)
        for (char b = 'A'; b <= 'Z'; ++b) named += Kro_STR_CMP(6, std::string{a, b}.c_str()) != 0;
    EXPECT_EQ(named, 107);
    EXPECT_EQ(Kro_STR_CMP(6, ""), 0);  // reads no byte past the NUL
    EXPECT_EQ(Kro_STR_CMP(6, "P"), 0);
}

TEST(HpglMnemonics, ClassifierModes) {
    struct Case {
        char byte;
        int32_t mode1, mode2, mode3, mode4, mode5;
    };
    const Case cases[] = {
        {',', 11, 0, 0, 0, 11},    {' ', 11, 0, 0, 0, 11},  {';', 0, 12, 12, 0, 12},
        {'\0', 0, 12, 12, 13, 12}, {'A', 0, 13, 0, 13, 13}, {'Z', 0, 13, 0, 13, 13},
        {'a', 0, 13, 0, 13, 13},   {'5', 0, 0, 0, 0, 0},    {'\t', 0, 0, 0, 0, 0},
        {'\xff', 0, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        const char text[2] = {c.byte, '\0'};
        SCOPED_TRACE(int(uint8_t(c.byte)));
        EXPECT_EQ(Kro_STR_CMP(1, text), c.mode1);
        EXPECT_EQ(Kro_STR_CMP(2, text), c.mode2);
        EXPECT_EQ(Kro_STR_CMP(3, text), c.mode3);
        EXPECT_EQ(Kro_STR_CMP(4, text), c.mode4);
        EXPECT_EQ(Kro_STR_CMP(5, text), c.mode5);
        EXPECT_EQ(Kro_STR_CMP(0, text), c.mode2) << "other modes act as mode 2";
        EXPECT_EQ(Kro_STR_CMP(99, text), c.mode2);
    }
    EXPECT_EQ(Kro_STR_CMP(6, "PU"), 202);
    EXPECT_EQ(Kro_STR_CMP(2, nullptr), 0);
}

// The commands a walk finds, as "CODE@position-after" words.
std::string walk(const std::string& text) {
    Stream s(text.c_str(), int64_t(text.size()) + 1);
    std::string out;
    while (int32_t code = s.nextCommand()) {
        out += std::to_string(code) + "@" + std::to_string(s.pos) + " ";
        if (code == kro::hpgl::kPE)
            s.skipEncoded();
        else
            s.skipParameters();
    }
    return out;
}

TEST(HpglWalk, FindsMnemonicsAnywhereAndStepsOverTheRest) {
    EXPECT_EQ(walk("XXPU;"), "202@4 ");
    EXPECT_EQ(walk("pu0,0;pd100,100;"), "202@2 203@8 ");
    // A comment's text and an encoded polyline hold no command.
    EXPECT_EQ(walk("CO\"PD1,1\";PU;co \"SP\"PD"), "202@12 203@22 ");
    EXPECT_EQ(walk("PEPD?A;PU"), "2001@2 202@9 ");
    EXPECT_EQ(walk("CO\"PD"), "");
    EXPECT_EQ(walk("PA 10,20"), "204@3 ");
    EXPECT_EQ(walk("SP;PU"), "201@2 202@5 ");
    EXPECT_EQ(walk(" \t\nIN;;;12PD"), "102@5 203@12 ");
    EXPECT_EQ(walk("P"), "");
}

TEST(HpglFields, ListsEndAtAFieldEndAndSkipsStopAtTerminators) {
    struct Case {
        const char* text;
        int max;
        std::vector<double> values;
        const char* rest;  // what the parameter skip leaves
    };
    const Case cases[] = {
        {";", 4, {}, ""},
        {"1,2,3;PU", 2, {1, 2}, "PU"},
        {"1,,3;", 4, {1}, ""},
        {"1.5E3;", 4, {1.5}, "E3;"},  // a command letter ends the number
        {"-7 8;", 4, {-7, 8}, ""},
        {"?,2;", 4, {0, 2}, ""},
        {"1e999,7;", 4, {1}, "e999,7;"},   // lower case too
        {"1 , 2 ,3 ;", 4, {1, 2, 3}, ""},  // spaces around a separator
        {"9e999;", 4, {9}, "e999;"},
        {"inf,nan;", 4, {}, "inf,nan;"},
        {"12", 4, {12}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::string text = c.text;
        Stream s(text.c_str(), int64_t(text.size()) + 1);
        double v[4] = {};
        ASSERT_EQ(s.readFields(v, c.max), int(c.values.size()));
        for (size_t i = 0; i < c.values.size(); ++i) {
            if (std::isnan(c.values[i]))
                EXPECT_TRUE(std::isnan(v[i]));
            else
                EXPECT_EQ(v[i], c.values[i]);
        }
        s.skipParameters();
        EXPECT_STREQ(text.c_str() + s.pos, c.rest);
    }
}

TEST(HpglFields, PairsEndAtAnyFieldEndAndAnOddOneIsNoPair) {
    // Exactly sized buffers without a NUL: ASan reports any read past them.
    struct Case {
        const char* text;
        bool pair;
        double x, y;
        const char* rest;
    };
    const Case cases[] = {
        {"10,20;", true, 10, 20, ";"},    {"10;PU20,30", false, 10, -1, ";PU20,30"},
        {"10", false, 10, -1, ""},        {"10,", false, 10, -1, ""},
        {",5", true, 0, 5, ""},           {"2000 ,3000;", true, 2000, 3000, ";"},
        {"1 , 2 3,4", true, 1, 2, "3,4"}, {"5,6PD", true, 5, 6, "PD"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<char> bytes(c.text, c.text + std::strlen(c.text));
        Stream s(bytes.data(), int64_t(bytes.size()));
        double x = -1, y = -1;
        EXPECT_EQ(s.readPair(&x, &y), c.pair);
        EXPECT_EQ(x, c.x);
        EXPECT_EQ(y, c.y);
        EXPECT_EQ(std::string(bytes.data() + s.pos, bytes.size() - s.pos), c.rest);
    }
}

TEST(HpglFields, RendererRulesTakeTheFirstByteAndKeepFortyBytes) {
    const FieldRules renderer{.keep = 40, .skipBlanks = true, .takeFirstByte = true};
    char buf[kro::hpgl::kMaxFieldKeep + 1];
    std::string text = " ;PU";
    Stream s(text.c_str(), int64_t(text.size()) + 1);
    EXPECT_EQ(s.readFieldText(renderer, buf), 1u);
    EXPECT_STREQ(buf, ";");
    std::string longField(100, '7');
    Stream l(longField.c_str(), int64_t(longField.size()) + 1);
    EXPECT_EQ(l.readFieldText(renderer, buf), 40u);
    EXPECT_EQ(l.pos, 100u);
    Stream empty("", 1);
    EXPECT_EQ(empty.readFieldText(renderer, buf), 0u);
    EXPECT_EQ(empty.pos, 0u);
}

TEST(HpglFields, ValueAgreesWithAtof) {
    std::istringstream fixed(
        "0 -0 007 1. .5 -.25 0.1 123.456 99999999999999.9 1234567890123456 0.0000000000000001 +3 "
        "- . 1.2.3 0x10 4e2 3.14159265358979323846");
    std::vector<std::string> texts;
    for (std::string t; fixed >> t;) texts.push_back(t);
    std::mt19937 rng(7);
    for (int i = 0; i < 2000; ++i) {
        std::string t = rng() % 2 ? "-" : "";
        int digits = 1 + int(rng() % 16);
        int point = int(rng() % (digits + 1));
        for (int d = 0; d < digits; ++d) {
            if (d == point) t += '.';
            t += char('0' + rng() % 10);
        }
        texts.push_back(t);
    }
    for (const std::string& t : texts) {
        double want = std::atof(t.c_str());
        double got = kro::hpgl::fieldValue(t.c_str(), t.size());
        EXPECT_EQ(std::signbit(got), std::signbit(want)) << t;
        EXPECT_EQ(got, want) << t;
    }
}

}  // namespace
