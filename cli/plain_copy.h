// Variants of BMP and PCX files that other programs write and the library
// does not read, rewritten in memory as the plain file the library reads,
// with the same colours and resolution:
// - BMP: 4-bit pixels, RLE8 and RLE4 compression, top-down rows, 16- and
//   32-bit pixels with or without bit fields, OS/2 headers (as 1-, 8- or
//   24-bit files);
// - PCX: 2 to 4 planes of 1 bit (the 4-, 8- and 16-colour files), one plane
//   of 2 or 4 bits (as one plane of 8 bits), and 4 planes of 8 bits (colour
//   with alpha, as three planes laid on white).
#pragma once

#include <cstdio>
#include <vector>

#include "cli/picture.h"

namespace kro::cli {

enum class PlainCopy {
    None,     // not one of these variants: the library's verdict stands
    Damaged,  // one of them, but its pixel data runs short or past the picture
    Made
};

// Reads the file f of the format from its start; on Made, *plain holds the
// plain file.
PlainCopy plainCopy(FILE* f, Format format, std::vector<unsigned char>* plain);

// For the two readers: the whole file, at most 2 GiB.
bool readWhole(FILE* f, std::vector<unsigned char>* bytes);
PlainCopy plainBmp(const std::vector<unsigned char>& file, std::vector<unsigned char>* plain);
PlainCopy plainPcx(const std::vector<unsigned char>& file, std::vector<unsigned char>* plain);

}  // namespace kro::cli
