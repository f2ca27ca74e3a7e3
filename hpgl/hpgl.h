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

// The box a plot's drawing reaches, in plotter units.
struct PlotExtents {
    double xMax = 0, yMax = 0, xMin = 0, yMin = 0;
};

// Measures a plot text of length bytes for a plotter type, skipping IW when
// the ignore codes hold it; 0 or a status code.
int32_t measurePlot(const char* text, int32_t length, int32_t plot, int32_t ignoreCount,
                    const int32_t* ignoreCodes, PlotExtents* out);

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
