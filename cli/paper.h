// kro paper: lists paper types and answers size queries.
#pragma once

#include <string>
#include <vector>

namespace kro::cli {

// args: the words after "paper" but its flags; fit: --fit was given.
int cmdPaper(const std::vector<std::string>& args, bool fit);

}  // namespace kro::cli
