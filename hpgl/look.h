// The full look of a plot: what KroDisplayHPGLStyled adds to the walk of
// KroDisplayHPGL (pen colours and widths, fills, stroked labels). The walk
// asks it first for every command; a drawing without a look is the design's.
#pragma once

#include <array>
#include <cstdint>

#include "hpgl/stroke_font.h"
#include "kro/gdi.h"
#include "kro/kro.h"

namespace kro::hpgl {

struct Renderer;

// Commands only the full look reads; the walk of KroDisplayHPGL steps over
// them byte by byte as it always has.
enum LookCode : int32_t {
    kNP = 1101,
    kPW = 1102,
    kWU = 1103,
    kLA = 1104,
    kCR = 1105,
};
// The code of a mnemonic the full look adds, or 0.
int32_t lookMnemonicCode(char a, char b);

inline constexpr int32_t kMaxPens = 256;
// Pens without PW: 0.35 mm, in plotter units.
inline constexpr double kDefaultPenWidth = 14.0;

struct Look {
    uint32_t flags = 0;  // KRO_HPGL_*
    const StrokeFont* font = nullptr;

    // Pens: NP, PC, CR, PW, WU, LA. SP's number beyond the design's eight.
    int32_t penCount = 8;
    int32_t pen = 0;
    std::array<COLORREF, kMaxPens> colours{};
    std::array<double, kMaxPens> widths{};  // plotter units
    bool relativeWidths = false;            // WU 1
    double rangeLow[3] = {0, 0, 0}, rangeHigh[3] = {255, 255, 255};
    DWORD endCap = PS_ENDCAP_FLAT, join = PS_JOIN_MITER;

    // Fills: FT's type, spacing (plotter units, 0 for 1 % of P1-P2) and angle.
    int32_t fillType = 1;
    double hatchSpacing = 0, hatchAngle = 0;

    char terminator = '\x03';  // DT
    int32_t page = 0;          // the page drawn, from 1; 0 draws every page as one
    int32_t labelOrigin = 1;   // LO
    char symbol = 0;           // SM's character, 0 when off

    void resetPens();
    COLORREF colour() const;
};

// The style record read by its size: fields beyond it are 0.
Look lookFromStyle(const KroHpglStyle* style);

// Runs a command the full look draws its own way; false leaves it to the walk.
bool lookCommand(Renderer* r, int32_t code, int32_t* status);
// SM: the symbol centred on each point a movement reached, (x, y) pairs.
void drawSymbols(Renderer* r, const double* points, size_t count);

// IN and DF: IN gives the pens back their defaults too.
void lookRestore(Renderer* r, int32_t code);

// A pen of the look: the selected pen's colour, the width, LA's ends and
// joins, solid or with the dashes.
HPEN lookPen(const Renderer& r, int32_t width, const uint32_t* dashes, int32_t count);
// The selected pen's width in plotter units: the host's when it gave one.
double lookPenWidth(const Renderer& r);

}  // namespace kro::hpgl
