// kro info for HP-GL plots: the plot's extents, its paper and its page in dots
// under the job options given after the file names.
#pragma once

#include <string>
#include <vector>

namespace kro::cli {

// Splits info's operands into files and the job options after the first word
// that starts with "-", which the library parses. 0, or an exit status after
// saying why the options were refused.
int splitInfoOperands(const std::vector<std::string>& args, std::vector<std::string>* files);

// Whether the file's first bytes read as an HP-GL plot (its name does not
// matter). A file that cannot be read is no plot.
bool isPlotFile(const std::string& path);

// Prints the plot's description; 0, or 1 after reporting a failure.
int describePlot(const std::string& path);

}  // namespace kro::cli
