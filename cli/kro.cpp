// kro: the command-line host of the KRO library.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/colour.h"
#include "cli/job.h"
#include "cli/messages.h"
#include "cli/output.h"
#include "cli/paper.h"
#include "cli/picture.h"
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
    "                               (-dpi -papertype -scale -physical -plot -ignore)\n"
    "  convert [--verbose] IN... OUT\n"
    "                               convert a picture; the output format follows OUT's\n"
    "                               extension (.bmp, .pcx, .jpg/.jpeg, .cal/.cals, .ps);\n"
    "                               several inputs make one PostScript page each\n"
    "  paper                        list every paper name with its code and size\n"
    "  paper NAME                   a paper's size in millimetres and in dots (-dpi)\n"
    "  paper WxHmm [--fit]          the paper nearest a size (--fit: the smallest that\n"
    "                               holds it)\n"
    "  paper WxHdots                the paper of a size in dots (-dpi)\n"
    "\n"
    "kro reads uncompressed bottom-up BMP files of 1, 8 and 24 bits (Windows info\n"
    "headers of 40 bytes or more, either byte order), PCX files of 1, 8 and 24 bits,\n"
    "baseline and progressive JPEG files (gray or colour) and CALS Type 1 files. It\n"
    "refuses OS/2, top-down, run-length or otherwise compressed BMP files and\n"
    "other depths, naming the variant.\n"
    "\n"
    "Job options are single-dash words as a host passes them, anywhere among the\n"
    "file names, for example -dpi 300 -papertype A4V. The library checks them all;\n"
    "convert and paper apply -dpi (the output resolution, 400 dpi when neither the\n"
    "option nor the input states one) and warn about the rest.\n"
    "\n"
    "Options:\n"
    "  -h, --help                   show this help and exit\n"
    "  -V, --version                show the version and exit\n"
    "  --verbose                    (convert) say what was written\n"
    "  --fit                        (paper) the smallest paper that holds the size\n"
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

// "kro: FILE: the system's message", the same for every format and step.
int systemError(const std::string& file, int err) {
    std::fprintf(stderr, "kro: %s: %s\n", file.c_str(), std::strerror(err));
    return kExitFailure;
}

// Separates a command's double-dash flags (those in allowed) from its other
// words; a usage error for any other double-dash word. A job option written
// with two dashes gets the same hint from every command.
int splitFlags(const std::vector<std::string>& args, const std::vector<std::string>& allowed,
               std::vector<std::string>* flags, std::vector<std::string>* words) {
    for (const std::string& a : args) {
        if (a.size() > 2 && a.compare(0, 2, "--") == 0) {
            if (std::find(allowed.begin(), allowed.end(), a) == allowed.end()) {
                if (const char* option = jobOptionFor(a)) {
                    std::fprintf(stderr,
                                 "kro: unknown flag '%s'; job options take one dash: -%s\n"
                                 "Try 'kro --help' for more information.\n",
                                 a.c_str(), option);
                    return kExitUsage;
                }
                return usageError("unknown flag '%s'", a.c_str());
            }
            flags->push_back(a);
        } else {
            words->push_back(a);
        }
    }
    return 0;
}

bool hasFlag(const std::vector<std::string>& flags, const char* flag) {
    return std::find(flags.begin(), flags.end(), flag) != flags.end();
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
    struct stat st;
    if (::fstat(fileno(f), &st) == 0 && S_ISDIR(st.st_mode)) {
        std::fclose(f);
        *status = systemError(path, EISDIR);
        return false;
    }
    *format = detectFormat(f);
    if (*format == Format::Unknown || *format == Format::PostScript) {
        std::fclose(f);
        std::fprintf(stderr,
                     "kro: %s: not a picture format kro reads (BMP, PCX, JPEG or CALS Type 1)\n",
                     path.c_str());
        *status = kExitFailure;
        return false;
    }
    errno = 0;
    const int32_t rc = readPicture(f, *format, pic);
    const int err = std::ferror(f) ? errno : 0;
    const int32_t code = fndErrorStatus;
    const std::string variant = rc != 0 ? unsupportedVariant(f, *format) : "";
    std::fclose(f);
    if (rc == 0) return true;
    if (err != 0)
        *status = systemError(path, err);
    else if (variant.empty())
        *status = libraryError(path);
    else {
        std::fprintf(stderr, "kro: %s: %s is not supported (status %d)\n", path.c_str(),
                     variant.c_str(), int(code));
        *status = kExitFailure;
    }
    return false;
}

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
        std::printf("\n  depth:       %d bit%s per pixel\n", int(im.depth), im.depth == 1 ? "" : "s");
        std::printf("  photometric: %d (%s)\n", int(pic.photometric),
                    photometricName(pic.photometric));
        std::printf("  colour type: %s\n", colourTypeName(pic));
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

// Why a writer refused the picture, in the user's terms where the code alone
// would mislead.
int writeError(const std::string& in, const std::string& out, Format format, const Picture& pic,
               const WriteSettings& settings) {
    const int32_t code = fndErrorStatus;
    if (code == KRO_ERR_DEPTH && format == Format::Cals) {
        std::fprintf(stderr,
                     "kro: %s: CALS files hold bilevel pictures only; %s is %d-bit (status %d)\n",
                     out.c_str(), in.c_str(), int(pic.image.depth), int(code));
        return kExitFailure;
    }
    if (code == KRO_ERR_RESOLUTION) {
        const int32_t dpi = resolutionToWrite(format, pic, settings);
        if (format == Format::Cals)
            std::fprintf(stderr, "kro: %s: CALS files hold 1 to 9999 dpi, not %d (status %d)\n",
                         out.c_str(), int(dpi), int(code));
        else
            std::fprintf(stderr, "kro: %s: %d dpi does not fit a %s file (status %d)\n",
                         out.c_str(), int(dpi), formatName(format), int(code));
        return kExitFailure;
    }
    return libraryError(out);
}

// One input into an open output: read, colours for the output, write. For
// PostScript the picture becomes the document's next page. 0, or an exit
// status after reporting why.
int convertOne(const std::string& in, const std::string& out, Format outFormat, FILE* stream,
               bool verbose) {
    Picture pic;
    Format inFormat;
    int status = 0;
    if (!loadPicture(in, &pic, &inFormat, &status)) return status;

    if (kroOption.dpi.given) pic.resolution[0] = pic.resolution[1] = kroOption.dpi.value;
    const int32_t inDepth = pic.image.depth;
    std::vector<std::string> colourNotes;
    if (prepareColours(&pic, outFormat, verbose ? &colourNotes : nullptr) != 0)
        return libraryError(in);

    WriteSettings settings;
    settings.dpi = kroOption.dpi.value;
    errno = 0;
    const int32_t rc = outFormat == Format::PostScript
                           ? writePostScriptPage(stream, pic, settings)
                           : writePicture(stream, outFormat, pic, settings);
    if (rc != 0) {
        // A write the system refused (a full disk) is told as the system tells it.
        if (std::ferror(stream) && errno != 0) return systemError(out, errno);
        return writeError(in, out, outFormat, pic, settings);
    }
    if (verbose) {
        std::printf("%s (%s, %dx%d, %d-bit) -> %s (%s)\n", in.c_str(), formatName(inFormat),
                    int(pic.image.validWidth), int(pic.image.validHeight), int(inDepth),
                    out.c_str(), formatName(outFormat));
        for (const std::string& note : colourNotes) std::printf("  %s\n", note.c_str());
    }
    return 0;
}

int cmdConvert(const std::vector<std::string>& args) {
    std::vector<std::string> flags, words, files;
    if (int rc = splitFlags(args, {"--verbose"}, &flags, &words)) return rc;
    const bool verbose = hasFlag(flags, "--verbose");
    if (int rc = parseJobOptions(words, &files)) return rc;
    if (files.size() < 2) return usageError("convert: needs an input and an output file");
    const std::string out = files.back();
    files.pop_back();
    const Format outFormat = formatForName(out);
    if (outFormat == Format::Unknown)
        return usageError(
            "convert: cannot tell the output format from '%s' (use .bmp, .pcx, .jpg, .cal or "
            ".ps)",
            out.c_str());
    if (files.size() > 1 && outFormat != Format::PostScript)
        return usageError("convert: several inputs make the pages of a PostScript (.ps) output; "
                          "'%s' takes one",
                          out.c_str());
    warnUnusedOptions(
        {"dpi", "batch", "quality", "colortype", "gamma", "level", "dithes", "dithee"});
    for (const std::string& in : files)
        if (sameFile(in, out)) {
            std::fprintf(stderr, "kro: %s: output would overwrite the input\n", out.c_str());
            return kExitFailure;
        }

    AtomicOutput output;
    if (!output.open(out)) return systemError(out, errno);
    FILE* stream = output.stream();
    if (outFormat == Format::PostScript && beginPostScript(stream, out) != 0)
        return libraryError(out);
    for (const std::string& in : files)
        if (int rc = convertOne(in, out, outFormat, stream, verbose)) return rc;
    if (outFormat == Format::PostScript && endPostScript(stream) != 0) {
        if (std::ferror(stream) && errno != 0) return systemError(out, errno);
        return libraryError(out);
    }
    if (!output.commit()) return systemError(out, errno);
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
    if (first == "paper") {
        std::vector<std::string> flags, words;
        if (int rc = splitFlags(rest, {"--fit"}, &flags, &words)) return rc;
        return cmdPaper(words, hasFlag(flags, "--fit"));
    }
    return usageError("unknown command '%s'", first.c_str());
}
