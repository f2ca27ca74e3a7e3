// kro info for HP-GL plots: the plot's extents, its paper and its page in dots
// under the job options given.
#pragma once

#include <string>
#include <vector>

namespace kro::cli {

// Whether the file's first bytes read as an HP-GL plot (its name does not
// matter). A file that cannot be read is no plot.
bool isPlotFile(const std::string& path);

// Prints the plot's description; 0, or 1 after reporting a failure.
int describePlot(const std::string& path);

}  // namespace kro::cli
