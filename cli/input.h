// Inputs by name: "-" is standard input, kept in a temporary file so that it
// can be read more than once (the readers look at the start again, and plots
// are loaded by path).
#pragma once

#include <string>

namespace kro::cli {

// The path to open for the input named name: name itself, or for "-" a
// temporary copy of standard input, made on the first call and removed at
// exit. Empty with errno set when the copy cannot be made.
std::string inputPath(const std::string& name);

}  // namespace kro::cli
