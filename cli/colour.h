// Colour types on the command line: the job's colour options, and what an
// output format can hold.
#pragma once

#include <string>
#include <vector>

#include "cli/picture.h"

namespace kro::cli {

// The picture's colour type in words: "bilevel", "gray", "palette colour", "RGB colour".
const char* colourTypeName(const Picture& pic);

// Whether the picture's 8-bit values are palette indices (not gray levels).
bool isPaletteColour(const Picture& pic);

// Whether the job gives a colour option (-colortype, -gamma, -level, -dithes, -dithee).
bool colourOptionGiven();

// Runs KroConvImage on the picture when the job gives a colour option. The
// step taken is added to notes, when not null. 0, or the library's status
// code of the failure.
int32_t applyColourOptions(Picture* pic, std::vector<std::string>* notes);

// Turns the picture into what the output format holds (CALS: bilevel,
// dithered with -dithes or Floyd-Steinberg; JPEG: gray with black as zero, or
// RGB); like applyColourOptions.
int32_t fitColourType(Picture* pic, Format output, std::vector<std::string>* notes);

// One KroConvImage to the colour type (a KRO_COLORTYPE_*), with the job's
// dithering and, for a palette, its -level; like applyColourOptions.
int32_t convertColourType(Picture* pic, int32_t colortype);

}  // namespace kro::cli
