// The job options of kro convert: parsed by the library into kroOption.
#pragma once

#include <string>
#include <vector>

namespace kro::cli {

// Parses args with KroGetOption. Returns 0, or an exit status after printing
// why: a library failure (1) or an argument it did not recognise (2).
int parseJobOptions(const std::vector<std::string>& args);

// Warns on stderr about each given option that the conversion does not apply.
void warnUnusedOptions(const std::vector<std::string>& applied);

}  // namespace kro::cli
