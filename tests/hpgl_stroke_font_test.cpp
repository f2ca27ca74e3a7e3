// Stroke fonts: .jhf lines broken in each way, the installed fonts, and
// label layout (size, direction, slant, CR, LF, BS, the pen left after).
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "hpgl/stroke_font.h"

namespace {

using namespace kro::hpgl;

std::string glyphLine(const std::string& pairs, int count = -1) {
    char header[16];
    std::snprintf(header, sizeof header, "12345%3d", count < 0 ? int(pairs.size() / 2) : count);
    return std::string(header).append(pairs).append("\n");
}

std::string describe(const StrokeGlyph* g) {
    if (!g->present) return "absent";
    char word[32];
    std::snprintf(word, sizeof word, "%d..%d:", g->left, g->right);
    std::string s = word;
    for (const auto& stroke : g->strokes) {
        for (const FontPoint& p : stroke) {
            std::snprintf(word, sizeof word, " %d,%d", p.x, p.y);
            s += word;
        }
        s += " |";
    }
    return s;
}

TEST(HpglStrokeFont, ParsesBrokenLines) {
    const std::string space = glyphLine("JZ");
    struct Case {
        const char* name;
        std::string text;
        int read, damaged;
        const char* exclamation;  // the glyph '!'
    };
    const Case cases[] = {
        {"one line", space + glyphLine("PTRFR[ RSFS["), 2, 0, "-2..2: 0,-12 0,9 | 1,-12 1,9 |"},
        {"run on over two lines", space + "12345  6PTRFR[\n RSFS[\n" + glyphLine("JZ"), 3, 0,
         "-2..2: 0,-12 0,9 | 1,-12 1,9 |"},
        {"CR LF and blank lines", "\r\n" + space + "\n  \r\n12345  3PTRFR[\r\n", 2, 0,
         "-2..2: 0,-12 0,9 |"},
        {"pen-ups in a row, a lone point", space + glyphLine("PTRFR[ R RSF"), 2, 0,
         "-2..2: 0,-12 0,9 | 1,-12 |"},
        {"count short of the line", space + glyphLine("PTRFR[ RSFS[", 3), 2, 1,
         "-2..2: 0,-12 0,9 |"},
        {"count beyond the line", space + glyphLine("PTRFR[", 9) + glyphLine("JZ"), 3, 1,
         "-2..2: 0,-12 0,9 |"},
        {"odd coordinates at the end", space + "12345  4PTRFR[S", 2, 1, "-2..2: 0,-12 0,9 |"},
        {"unreadable line keeps its place", space + "PTRFR[\n" + glyphLine("JZ"), 2, 1, "absent"},
        {"letter in the number", space + "1234X  3PTRFR[\n", 1, 1, "absent"},
        {"count 0", space + "12345  0PTRFR[\n", 1, 1, "absent"},
        {"no bounds", space + "12345  1P\n", 1, 1, "absent"},
        {"missing lines", space, 1, 0, "absent"},
        {"nothing", "", 0, 0, "absent"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StrokeFont font;
        EXPECT_EQ(parseStrokeFont(c.text.data(), c.text.size(), font), c.read);
        EXPECT_EQ(font.damagedLines, c.damaged);
        EXPECT_EQ(describe(font.glyph('!')), c.exclamation);
        EXPECT_EQ(font.capHeight(), 21) << "Hershey's frame without an 'H'";
    }
}

TEST(HpglStrokeFont, LoadsEveryInstalledFont) {
    const std::string folder = strokeFontFolder();
    if (folder.empty()) GTEST_SKIP() << "hershey-fonts-data is not installed";
    StrokeFont font;
    ASSERT_TRUE(loadStrokeFont(kDefaultStrokeFont, font));
    EXPECT_EQ(describe(font.glyph('H')), "-11..11: -7,-12 -7,9 | 7,-12 7,9 | -7,-2 7,-2 |");
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() != ".jhf") continue;
        SCOPED_TRACE(entry.path().string());
        ++files;
        EXPECT_TRUE(loadStrokeFont(entry.path().filename().string(), font, folder));
        EXPECT_EQ(font.damagedLines, 0);
        EXPECT_TRUE(font.glyph('~')->present);
    }
    EXPECT_GE(files, 30);
    for (const char* bad : {"", "../hershey-fonts/futural", "nosuchfont", "futural.jhf/"})
        EXPECT_FALSE(loadStrokeFont(bad, font)) << bad;
}

// futural's 'H' and 'L' on a font whose other glyphs are blank: at a cell
// of 14 x 21 a font unit is a plotter unit.
StrokeFont capitalsHL() {
    std::string text;
    for (int c = kFirstGlyphCode; c <= kLastGlyphCode; ++c)
        text += glyphLine(c == 'H' ? "G]KFK[ RYFY[ RKPYP" : c == 'L' ? "HYLFL[ RL[X[" : "JZ");
    StrokeFont font;
    parseStrokeFont(text.data(), text.size(), font);
    return font;
}

TEST(HpglStrokeFont, LaysOutLabels) {
    const StrokeFont font = capitalsHL();
    struct Case {
        const char* name;
        std::string text;
        LabelCell cell;
        const char* strokes;
        LabelPoint end;
    };
    const LabelCell upright{14, 21};
    const Case cases[] = {
        {"stem left, bar on the baseline", "L", upright, "1,21 1,0 | 1,0 13,0 |", {21, 0}},
        {"twice the size", "L", {28, 42}, "2,42 2,0 | 2,0 26,0 |", {42, 0}},
        {"given advance", "L", {14, 21, 30}, "1,21 1,0 | 1,0 13,0 |", {30, 0}},
        {"upwards", "L", {14, 21, 0, 0, 2}, "-21,1 0,1 | 0,1 0,13 |", {0, 21}},
        {"leftwards", "L", {14, 21, 0, -1, 0}, "-1,-21 -1,0 | -1,0 -13,0 |", {-21, 0}},
        {"3-4-5 direction",
         "L",
         {14, 21, 0, 3, 4},
         "-16.2,13.4 0.6,0.8 | 0.6,0.8 7.8,10.4 |",
         {12.6, 16.8}},
        {"slant 1", "L", {14, 21, 0, 1, 0, 1}, "22,21 1,0 | 1,0 13,0 |", {21, 0}},
        {"CR LF: a line down", "  \r\nL", upright, "1,-21 1,-42 | 1,-42 13,-42 |", {21, -42}},
        {"BS overprints", "L\bL", upright, "1,21 1,0 | 1,0 13,0 | 1,21 1,0 | 1,0 13,0 |", {21, 0}},
        {"back one cell", "  \bL", upright, "22,21 22,0 | 22,0 34,0 |", {42, 0}},
        {"control bytes do nothing", "\x01L\x7F", upright, "1,21 1,0 | 1,0 13,0 |", {21, 0}},
        {"bytes from 128 are blank cells", "\xE9L", upright, "22,21 22,0 | 22,0 34,0 |", {42, 0}},
        {"ends an advance past the last", "L  ", upright, "1,21 1,0 | 1,0 13,0 |", {63, 0}},
        {"no direction reads as rightwards",
         "L",
         {14, 21, 0, 0, 0},
         "1,21 1,0 | 1,0 13,0 |",
         {21, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const LaidOutLabel label = layOutLabel(font, c.text.data(), c.text.size(), c.cell);
        std::string got;
        char point[64];
        for (const auto& stroke : label.strokes) {
            for (const LabelPoint& p : stroke) {
                std::snprintf(point, sizeof point, "%.6g,%.6g ", p.x + 0.0, p.y + 0.0);
                got += point;
            }
            got += "| ";
        }
        if (!got.empty()) got.pop_back();
        EXPECT_EQ(got, c.strokes);
        EXPECT_NEAR(label.end.x, c.end.x, 1e-9);
        EXPECT_NEAR(label.end.y, c.end.y, 1e-9);
    }
}

}  // namespace
