// Text for the library's status codes, as the command prints them.
#pragma once

#include <cstdint>

namespace kro::cli {

const char* statusMessage(int32_t code);
bool statusKnown(int32_t code);

}  // namespace kro::cli
