// The part of the BMP codec that the reader of the other BMP layouts shares.
#pragma once

#include <cstdint>

namespace kro {

// Dots per inch for a pixels-per-metre field: the standard value, or dpi x 39
// as older writers of this library's files stored it.
int32_t dpiFromPixelsPerMetre(int32_t ppm);

}  // namespace kro
