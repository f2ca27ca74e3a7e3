// The plotter rules: what each plotter type honours, the paper sizes in
// plotter units and where each plotter puts its P1 and P2 on its papers.
#include "hpgl/plotter.h"

#include <iterator>

#include "hpgl/geometry.h"

namespace kro::hpgl {
namespace {

// Searched in order; types not listed (23 among them) have no rules.
constexpr PlotterRules kPlotters[] = {
    {1, kPaperTable, 0},
    {2, kPaperTable, 0},
    {3, kPaperTable, 0},
    {4, kPaperTable, kExtraSpace | kWindowInUserUnits},
    {5, kOriginAtCentre, kFixedLabels | kVerticalLabels | kExtraSpace | kWindowInUserUnits},
    {6, kOriginAtCentre, kFixedLabels | kExtraSpace | kWindowInUserUnits},
    {7, kOriginAtCentre, kFixedLabels | kExtraSpace | kWindowInUserUnits},
    {8, kOriginAtCentre, kFixedLabels | kExtraSpace | kWindowInUserUnits},
    {9, kOriginAtCentre, kFixedLabels | kExtraSpace | kWindowInUserUnits},
    {10, kOriginAtCentre, kWindowInUserUnits},
    {11, kOriginAtCentre, kFixedLabels | kVerticalLabels | kExtraSpace},
    {12, kOriginAtCentre, kFixedLabels | kVerticalLabels | kExtraSpace},
    {13, kPaperTable, 0},
    {14, kPaperTable, kWindowInUserUnits},
    {15, kPaperTable, kWindowInUserUnits},
    {16, kPaperTable, 0},
    {17, kPaperTable, 0},
    {18, kPaperTable, 0},
    {19, kPaperTable, 0},
    {20, kPaperTable, 0},
    {21, kPaperTable, 0},
    {22, kPaperTable, 0},
    {24, kPaperTable, 0},
    {25, kPaperTable, 0},
    {26, kPaperTable, 0},
    {27, kPaperTable, 0},
    {28, kPaperTable, 0},
    {29, kPaperTable, 0},
    {30, kPaperTable, 0},
    {31, kPaperTable, kWindowInUserUnits},
    {-1, kUnknownPlotter, 0},
};

// Only bits 8 to 23 of a paper type code name the paper size.
constexpr int32_t kSizeBits = 0xFFFF00;

bool samePaper(int32_t a, int32_t b) {
    return (a & kSizeBits) == (b & kSizeBits);
}

constexpr PaperExtent kPaperExtents[] = {
    {0x10001, 47560, 33640, -23780, -16820},  // A0
    {0x10101, 33640, 23760, -16820, -11880},  // A1
    {0x10201, 23760, 16800, -11880, -8400},   // A2
    {0x10301, 16800, 11880, -8400, -5940},    // A3
    {0x10401, 11880, 8400, -5940, -4200},     // A4
    {0x10501, 8400, 5920, -4200, -2960},      // A5
    {0x10601, 5920, 4200, -2960, -2100},      // A6
    {0x20401, 14560, 10280, -7280, -5140},    // B4
    {0x20501, 10280, 7280, -5140, -3640},     // B5
    {0x20601, 7280, 5120, -3640, -2560},      // B6
    {0x30101, 11200, 8640, -5600, -4320},     // letter
    {0x30201, 8640, 5600, -4320, -2800},      // half letter
    {0x40101, 5920, 4000, -2960, -2000},      // postcard
    {0x50101, 3640, 2200, -1820, -1100},      // business card
    {-1, 0, 0, 0, 0},
};

constexpr int32_t kLetter = 0x30101, kA0 = 0x10001, kA1 = 0x10101, kA2 = 0x10201, kA3 = 0x10301,
                  kA4 = 0x10401;
constexpr PlotterPaper kPlotterPapers[] = {
    {13, kLetter, -415, -376, 160, 447, 10210, 7682},
    {13, kA4, -401, -357, 514, 348, 10564, 7583},
    {13, kA3, -781, -401, 325, 514, 15600, 10564},
    {21, kA3, -400, -240, 520, 380, 15720, 10380},
    {22, kA3, -400, -240, 520, 380, 15720, 10380},
    {24, kA3, -400, -240, 520, 380, 15720, 10380},
    {25, kA3, -400, -240, 520, 380, 15720, 10380},
    {16, kA3, -400, -240, 520, 380, 15720, 10380},
    {17, kA3, -400, -240, 520, 380, 15720, 10380},
    {18, kA3, -400, -240, 520, 380, 15720, 10380},
    {19, kA3, -400, -240, 520, 380, 15720, 10380},
    {20, kA3, -400, -240, 520, 380, 15720, 10380},
    {26, kA4, -230, -130, 328, 279, 10328, 7479},
    {27, kA4, -230, -130, 328, 279, 10328, 7479},
    {28, kA4, -230, -130, 328, 279, 10328, 7479},
    {29, kA4, -230, -130, 328, 279, 10328, 7479},
    {30, kA4, -230, -130, 328, 279, 10328, 7479},
    {31, kA4, -428, -360, 200, 200, 7400, 11000},
    {14, kA4, -428, -360, 200, 200, 7400, 11000},
    {15, kA4, -428, -360, 200, 200, 7400, 11000},
    {1, kLetter, -450, -495, 250, 279, 10250, 7479},
    {1, kA4, -490, -375, 250, 279, 10250, 7479},
    {2, kLetter, -450, -495, 250, 279, 10250, 7479},
    {2, kA4, -490, -375, 250, 279, 10250, 7479},
    {3, kLetter, -417, -339, 250, 596, 10250, 7796},
    {3, kA4, -420, -340, 603, 521, 10603, 7721},
    {3, kA3, -321, -420, 170, 602, 15370, 10602},
    {4, kLetter, -515, -400, 80, 320, 10080, 7520},
    {4, kA4, -505, -400, 430, 200, 10430, 7400},
    {4, kA3, -415, -505, 380, 430, 15580, 10430},
    {5, kA2, -11880, -8400, -10680, -6720, 10680, 6720},
    {5, kA1, -16820, -11880, -15140, -10680, 15140, 10680},
    {6, kLetter, -5600, -4320, -4500, -2790, 4500, 2790},
    {7, kLetter, -5600, -4320, -4500, -2790, 4500, 2790},
    {6, kA4, -5940, -4200, -4830, -2700, 4830, 2700},
    {7, kA4, -5940, -4200, -4830, -2700, 4830, 2700},
    {6, kA3, -8400, -5940, -6780, -4830, 6780, 4830},
    {7, kA3, -8400, -5940, -6780, -4830, 6780, 4830},
    {6, kA2, -11880, -8400, -10280, -7260, 10280, 7260},
    {7, kA2, -11880, -8400, -10280, -7260, 10280, 7260},
    {6, kA1, -16820, -11880, -15120, -10760, 15120, 10760},
    {7, kA1, -16820, -11880, -15120, -10760, 15120, 10760},
    {8, kLetter, -5600, -4320, -4500, -2790, 4500, 2790},
    {9, kLetter, -5600, -4320, -4500, -2790, 4500, 2790},
    {10, kLetter, -5600, -4320, -4500, -2790, 4500, 2790},
    {8, kA4, -5940, -4200, -4830, -2700, 4830, 2700},
    {9, kA4, -5940, -4200, -4830, -2700, 4830, 2700},
    {10, kA4, -5940, -4200, -4830, -2700, 4830, 2700},
    {8, kA3, -8400, -5940, -6780, -4830, 6780, 4830},
    {9, kA3, -8400, -5940, -6780, -4830, 6780, 4830},
    {10, kA3, -8400, -5940, -6780, -4830, 6780, 4830},
    {8, kA2, -11880, -8400, -10785, -6875, 10785, 6875},
    {9, kA2, -11880, -8400, -10785, -6875, 10785, 6875},
    {10, kA2, -11880, -8400, -10785, -6875, 10785, 6875},
    {8, kA1, -16820, -11880, -15120, -10760, 15120, 10760},
    {9, kA1, -16820, -11880, -15120, -10760, 15120, 10760},
    {10, kA1, -16820, -11880, -15120, -10760, 15120, 10760},
    {8, kA0, -23780, -16820, -22190, -15740, 22190, 15740},
    {9, kA0, -23780, -16820, -22190, -15740, 22190, 15740},
    {10, kA0, -23780, -16820, -22190, -15740, 22190, 15740},
    {11, kLetter, -5600, -4320, -4348, -2598, 4348, 2598},
    {12, kLetter, -5600, -4320, -4348, -2598, 4348, 2598},
    {11, kA4, -5940, -4200, -4700, -2480, 4700, 2480},
    {12, kA4, -5940, -4200, -4700, -2480, 4700, 2480},
    {11, kA3, -8400, -5940, -6680, -4700, 6680, 4700},
    {12, kA3, -8400, -5940, -6680, -4700, 6680, 4700},
    {11, kA2, -11880, -8400, -10640, -6680, 10640, 6680},
    {12, kA2, -11880, -8400, -10640, -6680, 10640, 6680},
    {11, kA1, -16820, -11880, -15100, -10640, 15100, 10640},
    {12, kA1, -16820, -11880, -15100, -10640, 15100, 10640},
    {11, kA0, -23780, -16820, -22060, -15580, 22060, 15580},
    {12, kA0, -23780, -16820, -22060, -15580, 22060, 15580},
    {-1, 0, 0, 0, 0, 0, 0, 0},
};
static_assert(std::size(kPlotterPapers) == 73, "72 rows and the terminator");

}  // namespace

const PlotterRules& plotterRules(int32_t plot) {
    const PlotterRules* r = kPlotters;
    while (r->plot != -1 && r->plot != plot) ++r;
    return *r;
}

const PaperExtent* paperExtent(int32_t paperType) {
    for (const PaperExtent* r = kPaperExtents; r->code != -1; ++r)
        if (samePaper(r->code, paperType)) return r;
    return nullptr;
}

const PlotterPaper* plotterPaper(int32_t plot, int32_t paperType) {
    for (const PlotterPaper* r = kPlotterPapers; r->plot != -1; ++r)
        if (r->plot == plot && samePaper(r->paper, paperType)) return r;
    return nullptr;
}

const PlotterPaper* firstPlotterPaper(int32_t plot) {
    for (const PlotterPaper* r = kPlotterPapers; r->plot != -1; ++r)
        if (r->plot == plot) return r;
    return nullptr;
}

ScalingPoints plotterScalingPoints(int32_t plot, int32_t paperType) {
    const PlotterPaper* row = plotterPaper(plot, paperType);
    bool across = landscape(paperType);
    if (!row) {
        // The paper is not known or not the plotter's: its first paper, lying.
        row = firstPlotterPaper(plot);
        across = true;
    }
    if (!row) {
        // A plotter type the table does not know: the limits of an A4
        // plotter (plotter type 3's).
        static constexpr PlotterPaper kA4Plotter{0, kA4, 0, 0, 603, 521, 10603, 7721};
        row = &kA4Plotter;
    }
    if (across) return {double(row->p1x), double(row->p1y), double(row->p2x), double(row->p2y)};
    return {double(row->p2x), double(row->p2y), double(row->p1x), double(row->p1y)};
}

}  // namespace kro::hpgl
