// kro paper: lists paper types and answers size queries.
#pragma once

#include <string>
#include <vector>

namespace kro::cli {

int cmdPaper(const std::vector<std::string>& args);

}  // namespace kro::cli
