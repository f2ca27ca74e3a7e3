// What a plotter type does differently, its papers, and the plotter's units:
// one set of rules for measuring, placing and drawing a plot.
#pragma once

#include <cstdint>

namespace kro::hpgl {

// Plotter units: 40 to the millimetre, 1016 to the inch.
inline constexpr int32_t kPlotterUnitsPerMm = 40;
inline constexpr double kMmPerPlotterUnit = 0.025;
inline constexpr double kInchesPerPlotterUnit = 1.0 / 1016;
// SI gives centimetres.
inline constexpr double kPlotterUnitsPerCm = 400.0;

// The label size of IN on plotters with fixed labels, and of SI without fields.
inline constexpr double kFixedCharWidth = 114.0;
inline constexpr double kFixedCharHeight = 150.0;
// Otherwise IN, SR and SU without fields take these shares of P2 - P1.
inline constexpr double kRelativeCharWidth = 0.0075;
inline constexpr double kRelativeCharHeight = 0.015;

// How a plotter type places a plot on its paper.
enum PlotterKind : int32_t {
    kUnknownPlotter = 0,
    kOriginAtCentre = 1,  // the origin at the paper's centre
    kPaperTable = 2,      // the plotter paper table's corner and P1, P2
};

// What a plotter type honours.
enum PlotterFeature : uint32_t {
    kFixedLabels = 1,        // IN sets the fixed label size
    kVerticalLabels = 2,     // DV
    kExtraSpace = 4,         // ES
    kWindowInUserUnits = 8,  // IW takes user units while scaling is on
};

struct PlotterRules {
    int32_t plot;
    PlotterKind kind;
    uint32_t features;

    bool has(PlotterFeature f) const { return (features & f) != 0; }
};

// The row of a plotter type; a type without one has kind 0 and no features.
const PlotterRules& plotterRules(int32_t plot);

// Paper sides in plotter units: long, short, and minus half of each.
struct PaperExtent {
    int32_t code, longSide, shortSide, halfLong, halfShort;
};
// The row of a paper type code (its bits 8 to 23), or null.
const PaperExtent* paperExtent(int32_t paperType);

// A plotter on a paper: the paper's lower-left corner as the plotter sees it
// and the default P1 and P2.
struct PlotterPaper {
    int32_t plot, paper, cornerX, cornerY, p1x, p1y, p2x, p2y;
};
// The plotter's row for the paper (bits 8 to 23), or null.
const PlotterPaper* plotterPaper(int32_t plot, int32_t paperType);
// The plotter's first row, or null.
const PlotterPaper* firstPlotterPaper(int32_t plot);

// Paper type codes: the orientation byte exactly 1 is landscape; bits 24 to
// 27 exactly 1 is long paper.
inline bool landscape(int32_t paperType) {
    return (paperType & 0xFF) == 1;
}
inline bool longPaper(int32_t paperType) {
    return ((paperType >> 24) & 0xF) == 1;
}

}  // namespace kro::hpgl
