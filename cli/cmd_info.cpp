// kro info: describes pictures as stored, and plots as the job options would
// page them.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/colour.h"
#include "cli/job.h"
#include "cli/job_flow.h"
#include "cli/picture.h"
#include "cli/plot_info.h"
#include "kro/kro.h"

namespace kro::cli {

namespace {

const char* photometricName(int32_t p) {
    switch (p) {
        case KRO_PHOTO_WHITE_IS_ZERO:
            return "white is zero";
        case KRO_PHOTO_BLACK_IS_ZERO:
            return "black is zero";
        case KRO_PHOTO_RGB:
            return "RGB";
        case KRO_PHOTO_PALETTE:
            return "palette";
    }
    return "unknown";
}

// TIFF Compression values, named as libtiff's tools name them.
struct CompressionName {
    int32_t code;
    const char* name;
};
constexpr CompressionName kCompressionNames[] = {
    {1, "none"},         {2, "CCITT modified Huffman"}, {3, "CCITT Group 3"},
    {4, "CCITT Group 4"}, {5, "LZW"},                    {6, "old-style JPEG"},
    {7, "JPEG"},         {8, "Deflate"},                {32773, "PackBits"},
    {32946, "Deflate"},  {34925, "LZMA"},               {50000, "Zstandard"},
    {50001, "WebP"},     {0, nullptr},
};

void printCompression(int32_t code) {
    for (const CompressionName* c = kCompressionNames; c->name; ++c)
        if (c->code == code) {
            std::printf("  compression: %s\n", c->name);
            return;
        }
    std::printf("  compression: %d\n", int(code));
}

}  // namespace

int cmdInfo(const std::vector<std::string>& args) {
    std::vector<std::string> flags, words, files;
    if (int rc = splitFlags(args, {}, &flags, &words)) return rc;
    if (int rc = parseJobOptions(words, &files)) return rc;
    if (files.empty()) return usageError("info: missing FILE operand");
    // The job options size the page of a plot; pictures are described as stored.
    bool anyPlot = false;
    for (const std::string& path : files) anyPlot = anyPlot || isPlotFile(path);
    if (anyPlot)
        warnUnusedOptions({"dpi", "papertype", "scale", "physical", "plot", "ignore"});
    else
        warnUnusedOptions({});
    int status = 0;
    for (const std::string& path : files) {
        if (isPlotFile(path)) {
            if (int rc = describePlot(path)) status = rc;
            continue;
        }
        Picture pic;
        Format format;
        int failed = 0;
        if (!loadPicture(path, &pic, &format, &failed)) {
            status = failed;
            continue;
        }
        const RsImage& im = pic.image;
        std::printf("%s:\n", path.c_str());
        std::printf("  format:      %s\n", formatName(format));
        std::printf("  size:        %d x %d pixels", int(im.validWidth), int(im.validHeight));
        if (im.width != im.validWidth) std::printf(" (rows stored %d wide)", int(im.width));
        std::printf("\n  depth:       %d bit%s per pixel\n", int(im.depth),
                    im.depth == 1 ? "" : "s");
        std::printf("  photometric: %d (%s)\n", int(pic.photometric),
                    photometricName(pic.photometric));
        std::printf("  colour type: %s\n", colourTypeName(pic));
        if (pic.resolution[0] < 1 || pic.resolution[1] < 1)
            std::printf("  resolution:  not stated\n");
        else
            std::printf("  resolution:  %d x %d dpi\n", int(pic.resolution[0]),
                        int(pic.resolution[1]));
        if (format == Format::Tiff) {
            std::printf("  pages:       %d%s\n", int(pic.pages),
                        pic.pages > 1 ? " (the first described)" : "");
            printCompression(pic.compression);
        }
        if (format == Format::Cals) {
            // As the file spells its records (rdensty or rdensity, doccls or docls).
            std::printf("  CALS header:\n");
            for (const std::string& record : pic.calsRecords)
                std::printf("    %s\n", record.c_str());
        }
    }
    return status;
}

}  // namespace kro::cli
