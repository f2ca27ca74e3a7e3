// BMP variants that other programs write and the library does not read: 4-bit
// pixels, RLE8 and RLE4 compression, top-down rows, 16- and 32-bit pixels with
// or without bit fields. kro rewrites them in memory as the plain 1-, 8- or
// 24-bit file the library reads, with the same palette and resolution.
#pragma once

#include <cstdio>
#include <vector>

namespace kro::cli {

enum class BmpVariant {
    None,     // not one of these variants: the library's verdict stands
    Damaged,  // one of them, but its pixel data runs short or past the picture
    Rewritten
};

// Reads the BMP file f from its start; on Rewritten, *plain holds the plain file.
BmpVariant plainBmp(FILE* f, std::vector<unsigned char>* plain);

}  // namespace kro::cli
