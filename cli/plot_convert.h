// kro convert for HP-GL plots: the plot drawn on a page and written as PNG,
// PDF, SVG, BMP or CALS.
#pragma once

#include <string>

namespace kro::cli {

// Runs the plot flow for kro convert PLOT OUT, the job options already parsed
// into kroOption. Returns the exit status; a plot that fails to load or draw
// leaves no output file.
// Whether OUT names an output only plots are drawn to (.png, .pdf, .svg).
bool isPlotOnlyOutput(const std::string& out);

int convertPlot(const std::string& in, const std::string& out, bool verbose);

}  // namespace kro::cli
