// Label text as strokes: the reader of the Hershey vector fonts (.jhf, as
// the hershey-fonts-data package installs them) and the layout of a label's
// characters in plotter units. Pure functions of their inputs.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kro::hpgl {

inline constexpr int kFirstGlyphCode = 32;  // the files hold their glyphs in ASCII order from here
inline constexpr int kLastGlyphCode = 126;
inline constexpr int kGlyphCount = kLastGlyphCode - kFirstGlyphCode + 1;

// A simplex roman: single strokes, as a plotter's own label font.
inline constexpr const char* kDefaultStrokeFont = "futural";
// The largest font file read; the installed ones are below 20 KiB.
inline constexpr size_t kMaxStrokeFontBytes = size_t(1) << 20;

struct FontPoint {
    int16_t x, y;  // font units from the glyph's centre line, y downwards as the file has it
};

struct StrokeGlyph {
    bool present = false;                         // the file has this glyph
    int16_t left = 0, right = 0;                  // the glyph's bounds
    std::vector<std::vector<FontPoint>> strokes;  // polylines, none empty
};

struct StrokeFont {
    std::array<StrokeGlyph, kGlyphCount> glyphs;
    // The ink box of the capital 'H', which the layout scales to the
    // character cell; Hershey's roman frame when the font has no usable 'H'.
    int capTop = -12, baseline = 9, capLeft = -7, capRight = 7;
    int damagedLines = 0;  // glyph lines cut short, padded out or unreadable

    // Null outside 32..126.
    const StrokeGlyph* glyph(unsigned char code) const {
        return code >= kFirstGlyphCode && code <= kLastGlyphCode ? &glyphs[code - kFirstGlyphCode]
                                                                 : nullptr;
    }
    int capHeight() const { return baseline - capTop; }
};

// Parses the text of a .jhf file: per glyph a 5-column number (not used: the
// place in the file gives the character), a 3-column count of coordinate
// pairs that includes the bounds pair, then the pairs as letters relative to
// 'R', " R" lifting the pen; a glyph's pairs may run on over further lines.
// The count rules: text beyond it is ignored, a glyph that ends early keeps
// what it has; a line that is no glyph takes its glyph's place, empty. Gives
// the number of glyphs read (0: nothing usable).
int parseStrokeFont(const char* text, size_t length, StrokeFont& font);

// The folder of the installed fonts, or "" when none holds the default font.
std::string strokeFontFolder();

// Loads the font name (with or without ".jhf"; no folder in it) from folder,
// or from strokeFontFolder() when folder is empty. False when the file is
// missing, larger than kMaxStrokeFontBytes, or holds no glyph.
bool loadStrokeFont(std::string_view name, StrokeFont& font, const std::string& folder = {});

// How a label's characters are placed, as SI, DI and SL set them.
struct LabelCell {
    double width = 0, height = 0;  // a capital's width and height, plotter units
    double advance = 0;            // from one character to the next; 0: 1.5 x width
    double run = 1, rise = 0;      // the direction of the text; (0, 0) reads as (1, 0)
    double slant = 0;              // tangent of the slant from the vertical
};

struct LabelPoint {
    double x, y;  // plotter units from the label's origin, y upwards
};

struct LaidOutLabel {
    std::vector<std::vector<LabelPoint>> strokes;
    LabelPoint end;  // where the pen is left: one advance past the last character
};

// Lays out text (length bytes) from the origin, the baseline of the first
// character cell's left edge. Bytes 32..126 draw their glyphs and advance;
// CR returns to the start of the line, LF goes down a line (2 x height), BS
// goes back one advance; other control bytes do nothing and bytes from 128
// advance without drawing. The strokes are at most the text's length times
// the largest glyph.
LaidOutLabel layOutLabel(const StrokeFont& font, const char* text, size_t length,
                         const LabelCell& cell);

}  // namespace kro::hpgl
