// The conversion job, from the job options to the written output: the one
// flow that convert and batch share.
#pragma once

#include <string>
#include <vector>

#include "cli/picture.h"

namespace kro::cli {

// A conversion job. The job options are already parsed into kroOption.
struct Job {
    std::vector<std::string> inputs;
    std::string output;
    bool verbose = false;  // say what was written, and the colour steps
    std::string to;        // the output format's name, when not OUT's extension
};

// The job's output format: --to, else OUT's extension.
Format outputFormat(const Job& job);

// The conversion kinds (KroCheckCOption) of the raster jobs: each allows the
// options its output can honour.
constexpr int32_t kKindPicture = 5;  // BMP, PCX, PNG, PostScript: any colour type
constexpr int32_t kKindJpeg = 7;     // gray or colour, with a quality
constexpr int32_t kKindBilevel = 9;  // CALS: dithered to bilevel
constexpr int32_t kKindTiff = 24;    // TIFF: any colour type, with a compression
int32_t conversionKind(Format output);

// Checks the job's files and options before anything is read: 0, 2 after a
// usage message (no output format, several inputs for a one-picture format),
// or 1 when the output would overwrite an input. Warns about the options the
// job does not apply.
int checkJob(const Job& job);

// Runs a checked job: each input is read, converted and written; the output
// appears only when every input went through. 0, or an exit status after
// reporting why.
int runJob(const Job& job);

// Opens and reads a picture ("-": standard input), reporting any failure;
// false when it failed.
bool loadPicture(const std::string& path, Picture* pic, Format* format, int* status);

}  // namespace kro::cli
