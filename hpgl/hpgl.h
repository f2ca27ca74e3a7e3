// Internals of the plot loader shared with the tests and the command line.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace kro::hpgl {

// Cleans the bytes read from a plot file in place: NULs, TABs and
// device-control escapes go, a run of spaces and line breaks becomes one
// space (none after a comma); a SUB ends the text. Writes
// the closing NUL at text[result] (text must hold n + 1 bytes) and gives the
// number of bytes kept.
size_t normalizePlotText(char* text, size_t n);

// The box a plot's drawing reaches, in plotter units; in the full look also
// the plot's pages and where the measured one lies in the text.
struct PlotExtents {
    double xMax = 0, yMax = 0, xMin = 0, yMin = 0;
    int32_t pages = 1;
    size_t pageStart = 0, pageEnd = SIZE_MAX;
};

// How a plot is measured: as KroDisplayHPGL draws it (one page, RO
// ignored), or as the full look does, page by page with RO turning the axes.
struct MeasureRules {
    bool fullLook = false;
    int32_t page = 0;  // from 1; 0 measures every page as one
};

// Measures a plot text of length bytes for a plotter type, skipping IW when
// the ignore codes hold it; 0 or a status code (KRO_ERR_HPGL_PAGE for a
// page the plot does not have).
int32_t measurePlot(const char* text, int32_t length, int32_t plot, int32_t ignoreCount,
                    const int32_t* ignoreCodes, PlotExtents* out, const MeasureRules& rules = {});

// Whether the text may hold RO, PG, LO, SM or DV (either case): without them
// the full look measures a plot as KroDisplayHPGL does, as one page.
bool mayDifferInFullLook(const char* text, size_t length);

// (x, y) turned by quarter turns counter-clockwise about the origin, as RO
// turns the plotter's axes on the paper.
inline void turnQuarters(int32_t quarters, double* x, double* y) {
    const double a = *x, b = *y;
    switch (quarters & 3) {
        case 1:
            *x = -b, *y = a;
            break;
        case 2:
            *x = -a, *y = -b;
            break;
        case 3:
            *x = b, *y = -a;
            break;
        default:
            break;
    }
}

// RO's angle as quarter turns: 90, 180 and 270 turn, anything else is 0.
inline int32_t rotationQuarters(double degrees) {
    return degrees == 90 ? 1 : degrees == 180 ? 2 : degrees == 270 ? 3 : 0;
}

// Clears the status word on entry. It is written only when set, so plots
// loaded and measured on two threads at once do not both write it.
void clearStatus();

// A double truncated toward zero into an int32, saturating; NaN gives 0.
inline int32_t truncToInt(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return INT32_MAX;
    if (v <= -2147483648.0) return INT32_MIN;
    return int32_t(v);
}

// A double as a float; beyond the float range it becomes an infinity rather
// than undefined behaviour.
inline float toFloat(double v) {
    if (v > 3.4028234663852886e38) return HUGE_VALF;
    if (v < -3.4028234663852886e38) return -HUGE_VALF;
    return float(v);
}

}  // namespace kro::hpgl
