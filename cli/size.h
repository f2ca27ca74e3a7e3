// The picture's size on the page: KroGetDSize, then KroConvSize to the
// drawable size.
#pragma once

#include <string>
#include <vector>

#include "cli/picture.h"

namespace kro::cli {

// Whether the job options ask for a size, paper, scale or resolution change.
bool sizeAsked();

// Scales the picture to the drawable size that KroGetDSize gives for the job
// options and states the output resolution, when sizeAsked(). A picture that
// states no resolution is taken at -defDpi, else at -dpi (so -dpi alone only
// states one). A palette picture is scaled in RGB, so that no index is
// averaged, and reduced again when the job asks for -colortype Palette. The
// step is added to notes, when not null. 0, or the library's status code of
// the failure.
int32_t fitToPage(Picture* pic, std::vector<std::string>* notes);

// Scales a picture (read from a file of format from) whose resolution
// differs across and down to the finer of the two in both directions,
// keeping its size on paper, for every output format to but the documents
// (PostScript, PDF): their writers state one resolution. Noted and failing
// like fitToPage.
int32_t fitResolution(Picture* pic, Format from, Format to, std::vector<std::string>* notes);

}  // namespace kro::cli
