// kro: the command-line host of the KRO library.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/job.h"
#include "cli/messages.h"
#include "cli/output.h"
#include "cli/paper.h"
#include "cli/picture.h"
#include "cli/plot_convert.h"
#include "cli/plot_info.h"
#include "kro/kro.h"

#ifndef KRO_VERSION_STRING
#define KRO_VERSION_STRING "unknown"
#endif

namespace {

using namespace kro::cli;

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

const char kUsage[] =
    "Usage: kro [--help] [--version] COMMAND [ARGS]\n"
    "\n"
    "Commands:\n"
    "  info FILE...                 describe pictures: format, size, depth, photometric\n"
    "                               interpretation and resolution; HP-GL plots:\n"
    "                               extents, paper and page in dots for the job options\n"
    "                               after the files (-dpi -papertype -scale -physical\n"
    "                               -plot -ignore)\n"
    "  convert [--verbose] IN OUT [JOB OPTIONS]\n"
    "                               convert a picture; the output format follows OUT's\n"
    "                               extension (.bmp, .cal or .cals); an HP-GL plot is\n"
    "                               drawn on a page (.png, .pdf, .svg, .bmp or .cal) with\n"
    "                               -dpi -papertype -width -height -scale -center -physical\n"
    "                               -plot -ignore -pen1 .. -pen8 (widths in mm)\n"
    "  paper                        list every paper name with its code and size\n"
    "  paper NAME [-dpi N]          a paper's size in millimetres and in dots\n"
    "  paper WxHmm [--fit]          the paper nearest a size (--fit: the smallest that\n"
    "                               holds it)\n"
    "  paper WxHdots [-dpi N]       the paper of a size in dots\n"
    "\n"
    "Job options are single-dash words as a host passes them, for example\n"
    "-dpi 300 -papertype A4V; convert applies -dpi (the output resolution) and\n"
    "checks the rest. The default resolution is 400 dpi.\n"
    "\n"
    "Options:\n"
    "  -h, --help                   show this help and exit\n"
    "  -V, --version                show the version and exit\n"
    "  --verbose                    (convert) say what was written\n"
    "\n"
    "Exit status: 0 on success, 1 when a job fails, 2 on a usage error.\n";

int usageError(const char* fmt, const char* arg = "") {
    std::fprintf(stderr, "kro: ");
    std::fprintf(stderr, fmt, arg);
    std::fprintf(stderr, "\nTry 'kro --help' for more information.\n");
    return kExitUsage;
}

// "kro: FILE: message (status code)" for a library failure.
int libraryError(const std::string& file) {
    std::fprintf(stderr, "kro: %s: %s (status %d)\n", file.c_str(),
                 statusMessage(fndErrorStatus), int(fndErrorStatus));
    return kExitFailure;
}

int systemError(const std::string& file, int err) {
    std::fprintf(stderr, "kro: %s: %s\n", file.c_str(), std::strerror(err));
    return kExitFailure;
}

const char* photometricName(int32_t p) {
    switch (p) {
        case KRO_PHOTO_WHITE_IS_ZERO: return "white is zero";
        case KRO_PHOTO_BLACK_IS_ZERO: return "black is zero";
        case KRO_PHOTO_RGB: return "RGB";
        case KRO_PHOTO_PALETTE: return "palette";
    }
    return "unknown";
}

// Opens and reads a picture, reporting any failure; false when it failed.
bool loadPicture(const std::string& path, Picture* pic, Format* format, int* status) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        *status = systemError(path, errno);
        return false;
    }
    *format = detectFormat(f);
    if (*format != Format::Bmp && *format != Format::Cals) {
        std::fclose(f);
        std::fprintf(stderr, "kro: %s: not a picture format kro reads\n", path.c_str());
        *status = kExitFailure;
        return false;
    }
    int32_t rc = readPicture(f, *format, pic);
    std::fclose(f);
    if (rc != 0) {
        *status = libraryError(path);
        return false;
    }
    return true;
}

int cmdInfo(const std::vector<std::string>& args) {
    std::vector<std::string> files;
    if (int rc = splitInfoOperands(args, &files)) return rc;
    if (files.empty()) return usageError("info: missing FILE operand");
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
        std::printf("\n  depth:       %d bit%s per pixel\n", int(im.depth), im.depth == 1 ? "" : "s");
        std::printf("  photometric: %d (%s)\n", int(pic.photometric),
                    photometricName(pic.photometric));
        if (pic.resolution[0] < 1 || pic.resolution[1] < 1)
            std::printf("  resolution:  not stated\n");
        else
            std::printf("  resolution:  %d x %d dpi\n", int(pic.resolution[0]),
                        int(pic.resolution[1]));
        if (format == Format::Cals) {
            const CalsHeader& h = pic.cals;
            std::printf("  CALS header:\n");
            std::printf("    srcdocid: %s\n    dstdocid: %s\n    txtfilid: %s\n", h.srcdocid,
                        h.dstdocid, h.txtfilid);
            std::printf("    figid: %s\n    srcgph: %s\n    doccls: %s\n", h.figid, h.srcgph,
                        h.doccls);
            std::printf("    rtype: %d\n    rorient: %03d,%03d\n    rpelcnt: %06d,%06d\n",
                        int(h.rtype), int(h.pelPath), int(h.lineProgression), int(h.pelsPerLine),
                        int(h.numLines));
            std::printf("    rdensity: %g\n    notes: %s\n", h.rdensity, h.notes);
        }
    }
    return status;
}

int cmdConvert(const std::vector<std::string>& args) {
    // kro's own flags are double-dash words and may stand anywhere; the first two
    // other words are the files and the rest are job options for the library.
    bool verbose = false;
    std::vector<std::string> words;
    for (const std::string& a : args) {
        if (a == "--verbose")
            verbose = true;
        else if (a.rfind("--", 0) == 0)
            return usageError("convert: unknown flag '%s'", a.c_str());
        else
            words.push_back(a);
    }
    if (words.size() < 2) return usageError("convert: needs an input and an output file");
    if (isPlotFile(words[0]))
        return convertPlot(words[0], words[1], {words.begin() + 2, words.end()}, verbose);
    const std::string in = words[0];
    const std::string out = words[1];
    if (int rc = parseJobOptions({words.begin() + 2, words.end()})) return rc;
    warnUnusedOptions({"dpi", "batch"});

    Format outFormat = formatForName(out);
    if (outFormat != Format::Bmp && outFormat != Format::Cals)
        return usageError("convert: cannot tell the output format from '%s' (use .bmp or .cal)",
                          out.c_str());
    if (sameFile(in, out)) {
        std::fprintf(stderr, "kro: %s: output would overwrite the input\n", out.c_str());
        return kExitFailure;
    }

    Picture pic;
    Format inFormat;
    int status = 0;
    if (!loadPicture(in, &pic, &inFormat, &status)) return status;

    if (kroOption.dpi.given) pic.resolution[0] = pic.resolution[1] = kroOption.dpi.value;

    AtomicOutput output;
    if (!output.open(out)) return systemError(out, errno);
    WriteSettings settings;
    settings.dpi = kroOption.dpi.value;
    if (writePicture(output.stream(), outFormat, pic, settings) != 0) {
        if (fndErrorStatus == KRO_ERR_DEPTH && outFormat == Format::Cals) {
            std::fprintf(stderr, "kro: %s: CALS files hold bilevel pictures only; %s is %d-bit\n",
                         out.c_str(), in.c_str(), int(pic.image.depth));
            return kExitFailure;
        }
        return libraryError(out);
    }
    if (!output.commit()) return systemError(out, errno);

    if (verbose)
        std::printf("%s (%s, %dx%d, %d-bit) -> %s (%s)\n", in.c_str(), formatName(inFormat),
                    int(pic.image.validWidth), int(pic.image.validHeight), int(pic.image.depth),
                    out.c_str(), formatName(outFormat));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return usageError("missing command");
    const std::string& first = args[0];
    if (first == "-h" || first == "--help" || first == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (first == "-V" || first == "--version") {
        std::printf("kro %s\n", KRO_VERSION_STRING);
        return 0;
    }
    std::vector<std::string> rest(args.begin() + 1, args.end());
    for (const std::string& a : rest)
        if (a == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
    if (first == "info") return cmdInfo(rest);
    if (first == "convert") return cmdConvert(rest);
    if (first == "paper") return cmdPaper(rest);
    return usageError("unknown command '%s'", first.c_str());
}
