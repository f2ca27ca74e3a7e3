// kro convert for HP-GL plots: the plot drawn on a page and written as PNG,
// PDF, SVG, BMP or CALS.
#pragma once

#include <string>
#include <vector>

namespace kro::cli {

// Runs the plot flow for kro convert PLOT OUT [job options]. Returns the exit
// status; a plot that fails to load or draw leaves no output file.
int convertPlot(const std::string& in, const std::string& out,
                const std::vector<std::string>& jobArgs, bool verbose);

}  // namespace kro::cli
