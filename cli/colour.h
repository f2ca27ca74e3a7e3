// Colour types on the command line: the job's colour options, and what an
// output format can hold.
#pragma once

#include <string>
#include <vector>

#include "cli/picture.h"

namespace kro::cli {

// The picture's colour type in words: "bilevel", "gray", "palette colour", "RGB colour".
const char* colourTypeName(const Picture& pic);

// Runs KroConvImage on the picture when the job gives a colour option, then
// turns it into what the output format holds (CALS: bilevel, dithered with
// -dithes or Floyd-Steinberg). Each step taken is added to notes, when not
// null. 0, or -1 with the status in fndErrorStatus.
int32_t prepareColours(Picture* pic, Format output, std::vector<std::string>* notes);

}  // namespace kro::cli
