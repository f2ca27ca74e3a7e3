// The conversion job: options, reader, colours, writer, with one message for
// each way it can fail.
#include "cli/job_flow.h"

#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli/cli.h"
#include "cli/colour.h"
#include "cli/input.h"
#include "cli/job.h"
#include "cli/output.h"
#include "cli/plot_convert.h"
#include "cli/plot_info.h"
#include "cli/size.h"
#include "kro/kro.h"

namespace kro::cli {

namespace {

// Why a writer refused the picture, in the user's terms where the code alone
// would mislead.
int writeError(const std::string& in, const std::string& out, Format format, const Picture& pic,
               const WriteSettings& settings, int32_t code) {
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
    return libraryError(out, code);
}

// Whether the output format can state the resolution, asked of its writer
// with a picture of one pixel, before a picture is scaled for it.
bool resolutionFits(Format format, int32_t dpi) {
    if (isDocument(format) || format == Format::Tiff) return true;
    Picture probe;
    RsImage& im = probe.image;
    im.depth = format == Format::Cals ? 1 : 8;
    im.width = im.depth == 1 ? 8 : 1;
    im.height = im.validWidth = im.validHeight = 1;
    im.format = KRO_FORMAT_RAW;
    im.size = 1;
    im.data = static_cast<unsigned char*>(std::calloc(1, 1));
    probe.photometric = im.depth == 1 ? KRO_PHOTO_WHITE_IS_ZERO : KRO_PHOTO_BLACK_IS_ZERO;
    fillGrayRamp(probe.palette, KRO_PHOTO_BLACK_IS_ZERO);
    probe.resolution[0] = probe.resolution[1] = dpi;
    char* buffer = nullptr;
#ifdef _WIN32
    FILE* f = scratchFile();
#else
    size_t length = 0;
    FILE* f = ::open_memstream(&buffer, &length);
#endif
    if (!f || !im.data) {
        if (f) std::fclose(f);
        std::free(buffer);
        return true;  // the real write will tell
    }
    const bool refused = writePicture(f, format, probe, WriteSettings{}) == KRO_ERR_RESOLUTION;
    std::fclose(f);
    std::free(buffer);
    return !refused;
}

// Whether the job leaves the picture as it is: no option that scales, turns
// or recolours it, nor one that codes it otherwise; -colortype GrayScale
// alone does not count when grayAllowed.
bool pictureUnchanged(bool grayAllowed = false) {
    const KroOption& o = kroOption;
    const bool gray = grayAllowed && o.colortype.given &&
                      o.colortype.value == KRO_COLORTYPE_GRAYSCALE;
    const bool changed = o.width.given || o.height.given || o.dpi.given || o.scale.given ||
                         o.papertype.given || o.rotate.given || (o.colortype.given && !gray) ||
                         o.gamma.given || o.level.given || o.dithes.given || o.dithee.given ||
                         (o.compression.given && o.compression.value != KRO_COMPRESSION_G4);
    return !changed;
}

// A CALS page into a TIFF output, or the Group 4 page of a TIFF file into a
// CALS output, its coded data copied without decoding it. False when the
// page is not one to copy so (turned, coded otherwise...): the job decodes
// it then. True with *status 0 or the exit status after reporting why.
bool copyGroup4Page(const std::string& in, const std::string& out, Format outFormat,
                    FILE* stream, bool verbose, int* status) {
    if ((outFormat != Format::Tiff && outFormat != Format::Cals) || !pictureUnchanged())
        return false;
    const std::string file = inputPath(in);
    FILE* f = file.empty() ? nullptr : std::fopen(file.c_str(), "rb");
    if (!f) return false;  // the reader says why
    const Format inFormat = detectFormat(f);
    int32_t rc = 1;
    CalsHeader header{};
    if (inFormat == Format::Cals && outFormat == Format::Tiff) {
        rc = KroCalsToTIFF(f, stream);
    } else if (inFormat == Format::Tiff && outFormat == Format::Cals) {
        int32_t pages = 0;
        if (KroTIFFInfo(f, 0, &pages, nullptr) == 0 && pages == 1) {
            for (auto* field : {&header.srcdocid, &header.dstdocid, &header.txtfilid, &header.figid,
                                &header.srcgph, &header.doccls, &header.notes})
                std::snprintf(*field, sizeof *field, "NONE");
            header.rdensity = kroOption.dpi.value > 0 ? kroOption.dpi.value : 400;
            rc = KroTIFFToCals(f, 0, &header, stream);
        }
    }
    const int32_t code = rc == -1 ? fndErrorStatus : 0;
    std::fclose(f);
    if (rc == 1 || code == KRO_ERR_NOT_AS_IS) return false;
    if (code != 0) {
        *status = std::ferror(stream) && errno != 0 ? systemError(out, errno)
                                                    : libraryError(in, code);
        return true;
    }
    if (verbose)
        std::fprintf(isStandardOutput(out) ? stderr : stdout,
                     "%s (%s) -> %s (%s), Group 4 data copied as it is\n", in.c_str(),
                     formatName(inFormat), out.c_str(), formatName(outFormat));
    *status = 0;
    return true;
}

// A CALS or JPEG picture that no option changes goes into a PDF document as
// it is coded. true when the input was handled so (*status 0) or the output
// failed (*status the exit status); false when the picture is to be decoded.
bool copyIntoPdf(const std::string& in, const std::string& out, FILE* stream, bool verbose,
                 int* status) {
    *status = 0;
    if (sizeAsked()) return false;
    // Colour options convert a JPEG picture; a bilevel CALS one has nothing
    // for them to do.
    const bool jpeg = !colourOptionGiven();
    Format inFormat;
    errno = 0;
    const int32_t code = copyCodedPage(stream, in, kroOption.dpi.value, jpeg, &inFormat);
    if (code != 0 && std::ferror(stream)) {
        *status = errno != 0 ? systemError(out, errno) : libraryError(out, code);
        return true;
    }
    if (code != 0) return false;
    if (verbose)
        std::fprintf(isStandardOutput(out) ? stderr : stdout,
                     "%s (%s, coded data copied) -> %s (PDF)\n", in.c_str(), formatName(inFormat),
                     out.c_str());
    return true;
}

// Cuts a regular file's stream back to pos bytes, to be written again from
// there; false when it cannot.
bool cutBack(FILE* stream, long pos) {
    if (std::fflush(stream) != 0) return false;
#ifdef _WIN32
    const bool cut = _chsize_s(_fileno(stream), pos) == 0;
#else
    const bool cut = ::ftruncate(fileno(stream), off_t(pos)) == 0;
#endif
    std::clearerr(stream);
    return cut && std::fseek(stream, pos, SEEK_SET) == 0;
}

// A BMP or PCX picture that no option changes but -colortype GrayScale,
// taken into a BMP, PCX or PostScript output a band of rows at a time (8-
// and 24-bit BMP, 24-bit PCX; only 24-bit pictures go gray so). True when
// the input was handled so (*status 0) or the output failed (*status the
// exit status); false when the picture is to be read whole, which also
// says why a damaged one cannot be read.
bool streamPage(const std::string& in, const std::string& out, Format outFormat, FILE* stream,
                bool verbose, int* status) {
    *status = 0;
    const int32_t to = outFormat == Format::Bmp          ? KRO_FILE_BMP
                       : outFormat == Format::Pcx        ? KRO_FILE_PCX
                       : outFormat == Format::PostScript ? KRO_FILE_PS
                                                         : 0;
    // A 24-bit picture goes gray on the way, but not for --verbose: the note
    // that tells of it counts the levels of the whole picture.
    if (to == 0 || in == "-" || !pictureUnchanged(!verbose) || sizeAsked() || isPlotFile(in))
        return false;
    const bool gray = kroOption.colortype.given;  // GrayScale, as pictureUnchanged allowed
    // What is written is cut off again when the input turns out damaged.
    struct stat st;
    const long pos = std::ftell(stream);
    if (pos < 0 || ::fstat(fileno(stream), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    const std::string file = inputPath(in);
    FILE* f = file.empty() ? nullptr : std::fopen(file.c_str(), "rb");
    if (!f) return false;  // the reader says why
    const Format inFormat = detectFormat(f);
    const int32_t from = inFormat == Format::Bmp   ? KRO_FILE_BMP
                         : inFormat == Format::Pcx ? KRO_FILE_PCX
                                                   : 0;
    int32_t picture[3] = {0, 0, 0};
    errno = 0;
    // A BMP file may state no resolution; the other outputs take the job's.
    const int32_t dpi = to == KRO_FILE_BMP ? 0 : kroOption.dpi.value;
    const int32_t rc = from == 0 ? -1
                                 : KroStreamPicture(f, from, stream, to, dpi,
                                                    gray ? KRO_COLORTYPE_GRAYSCALE : -1, picture);
    const int32_t code = rc == 0 ? 0 : from == 0 ? KRO_ERR_NOT_AS_IS : fndErrorStatus;
    std::fclose(f);
    if (code == KRO_ERR_NOT_AS_IS) return false;
    if (code != 0) {
        if (std::ferror(stream)) {
            *status = errno != 0 ? systemError(out, errno) : libraryError(out, code);
            return true;
        }
        if (!cutBack(stream, pos)) {
            *status = systemError(out, errno);
            return true;
        }
        return false;
    }
    if (verbose)
        std::fprintf(isStandardOutput(out) ? stderr : stdout, "%s (%s, %dx%d, %d-bit) -> %s (%s)\n",
                     in.c_str(), formatName(inFormat), int(picture[0]), int(picture[1]),
                     int(picture[2]), out.c_str(), formatName(outFormat));
    return true;
}

// One input into an open output: read, colours for the output, write. For
// a format that holds pages the picture becomes the output's next page.
// page is the page of a TIFF input. 0, or an exit status after reporting why.
int convertOne(const std::string& in, const std::string& out, Format outFormat, FILE* stream,
               bool verbose, int32_t page) {
    Picture pic;
    pic.page = page;
    if (isPlotFile(in)) {
        // A plot among the pictures of a document: its page as convert draws it.
        if (int rc = plotPicture(in, out, false, &pic)) return rc;
        if (int32_t code = fitColourType(&pic, outFormat, nullptr)) return libraryError(in, code);
        WriteSettings settings;
        settings.dpi = pic.resolution[0];
        const int32_t code = isDocument(outFormat)
                                 ? writeDocumentPage(stream, outFormat, pic, settings)
                                 : writePicture(stream, outFormat, pic, settings);
        if (code != 0) {
            if (std::ferror(stream) && errno != 0) return systemError(out, errno);
            return libraryError(out, code);
        }
        if (verbose)
            std::fprintf(isStandardOutput(out) ? stderr : stdout, "%s (HP-GL plot) -> %s (%s)\n",
                         in.c_str(), out.c_str(), formatName(outFormat));
        return 0;
    }
    int status = 0;
    Format inFormat;
    if (!loadPicture(in, &pic, &inFormat, &status)) return status;

    const int32_t inDepth = pic.image.depth;
    const int32_t inWidth = pic.image.validWidth, inHeight = pic.image.validHeight;
    WriteSettings settings;
    settings.dpi = kroOption.dpi.value;
    if (kroOption.dpi.given && !resolutionFits(outFormat, kroOption.dpi.value)) {
        pic.resolution[0] = pic.resolution[1] = kroOption.dpi.value;
        return writeError(in, out, outFormat, pic, settings, KRO_ERR_RESOLUTION);
    }
    std::vector<std::string> notes;
    std::vector<std::string>* n = verbose ? &notes : nullptr;
    if (int32_t code = applyColourOptions(&pic, n)) return libraryError(in, code);
    int32_t code = fitToPage(&pic, n);
    if (code == 0) code = fitResolution(&pic, inFormat, outFormat, n);
    if (code != 0) {
        if (code != KRO_ERR_SIZE) return libraryError(in, code);
        std::fprintf(stderr,
                     "kro: %s: on that page the picture would be over %d pixels a side "
                     "(status %d)\n",
                     in.c_str(), KRO_MAX_SIDE, int(KRO_ERR_SIZE));
        return kExitFailure;
    }
    if ((code = fitColourType(&pic, outFormat, n))) return libraryError(in, code);

    errno = 0;
    code = isDocument(outFormat) ? writeDocumentPage(stream, outFormat, pic, settings)
                                 : writePicture(stream, outFormat, pic, settings);
    if (code != 0) {
        // A write the system refused (a full disk) is told as the system tells it.
        if (std::ferror(stream) && errno != 0) return systemError(out, errno);
        return writeError(in, out, outFormat, pic, settings, code);
    }
    if (pic.pages > 1 && !holdsPages(outFormat))
        std::fprintf(stderr, "kro: %s: %d pages; a %s file takes the first\n", in.c_str(),
                     int(pic.pages), formatName(outFormat));
    if (verbose) {
        FILE* say = isStandardOutput(out) ? stderr : stdout;  // stdout carries the picture
        const std::string pageName =
            pic.pages > 1 ? " page " + std::to_string(page + 1) + " of " + std::to_string(pic.pages)
                          : "";
        std::fprintf(say, "%s%s (%s, %dx%d, %d-bit) -> %s (%s)\n", in.c_str(), pageName.c_str(),
                     formatName(inFormat), int(inWidth), int(inHeight), int(inDepth), out.c_str(),
                     formatName(outFormat));
        for (const std::string& note : notes) std::fprintf(say, "  %s\n", note.c_str());
    }
    return 0;
}

// Every page of an input into the output: the pages of a TIFF file when the
// output holds pages, else the first.
int convertInput(const std::string& in, const std::string& out, Format outFormat, FILE* stream,
                 bool verbose) {
    int status = 0;
    if (copyGroup4Page(in, out, outFormat, stream, verbose, &status)) return status;
    if (outFormat == Format::Pdf && !isPlotFile(in) && copyIntoPdf(in, out, stream, verbose, &status))
        return status;
    if (streamPage(in, out, outFormat, stream, verbose, &status)) return status;
    int32_t pages = 1;
    if (holdsPages(outFormat) && !isPlotFile(in)) {
        const std::string file = inputPath(in);
        if (FILE* f = file.empty() ? nullptr : std::fopen(file.c_str(), "rb")) {
            if (detectFormat(f) == Format::Tiff && KroTIFFInfo(f, 0, &pages, nullptr) != 0)
                pages = 1;  // the reader says why
            std::fclose(f);
        }
    }
    for (int32_t page = 0; page < pages; ++page)
        if (int rc = convertOne(in, out, outFormat, stream, verbose, page)) return rc;
    return 0;
}

}  // namespace

int32_t conversionKind(Format output) {
    switch (output) {
        case Format::Jpeg:
            return kKindJpeg;
        case Format::Cals:
            return kKindBilevel;
        case Format::Tiff:
            return kKindTiff;
        default:
            return kKindPicture;
    }
}

Format outputFormat(const Job& job) {
    return formatForName(job.to.empty() ? job.output : "out." + job.to);
}

bool loadPicture(const std::string& path, Picture* pic, Format* format, int* status) {
    const std::string file = inputPath(path);
    FILE* f = file.empty() ? nullptr : std::fopen(file.c_str(), "rb");
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
        const std::string what = foreignFormat(f);
        std::fclose(f);
        std::fprintf(stderr,
                     "kro: %s: %s; kro reads BMP, PCX, JPEG, CALS Type 1, TIFF, PNG and HP-GL\n",
                     path.c_str(), what.c_str());
        *status = kExitFailure;
        return false;
    }
    errno = 0;
    const int32_t code = readPicture(f, *format, pic);
    const int err = std::ferror(f) ? errno : 0;
    const std::string variant = code != 0 ? variantName(f) : "";
    bool damaged = false;
    if (!variant.empty() && err == 0) {
        // Variants that other programs write have readers of their own.
        const int32_t again = readVariant(f, *format, pic);
        if (again == 0) {
            std::fclose(f);
            return true;
        }
        damaged = again == KRO_ERR_IO && !std::ferror(f);
    }
    std::fclose(f);
    if (code == 0) return true;
    if (damaged) {
        std::fprintf(stderr,
                     "kro: %s: the pixel data of this %s is damaged or cut short (status %d)\n",
                     path.c_str(), variant.c_str(), int(KRO_ERR_IO));
        *status = kExitFailure;
        return false;
    }
    if (err != 0)
        *status = systemError(path, err);
    else if (variant.empty())
        *status = libraryError(path, code);
    else {
        std::fprintf(stderr, "kro: %s: %s is not supported (status %d)\n", path.c_str(),
                     variant.c_str(), int(code));
        *status = kExitFailure;
    }
    return false;
}

int checkJob(const Job& job) {
    const std::string& out = job.output;
    const Format outFormat = outputFormat(job);
    if (!job.to.empty() && outFormat == Format::Unknown)
        return usageError("convert: --to takes bmp, pcx, jpg, cal, tif, png, ps or pdf, not '%s'",
                          job.to.c_str());
    if (out == "-" && outFormat == Format::Unknown)
        return usageError("convert: standard output needs --to FORMAT");
    if (std::count(job.inputs.begin(), job.inputs.end(), "-") > 1)
        return usageError("convert: standard input can be read once");
    if (outFormat == Format::Unknown && isPlotOnlyOutput(out)) {
        const std::string in = job.inputs.empty() ? "-" : job.inputs[0];
        std::fprintf(stderr, "kro: %s: not an HP-GL plot; PNG and SVG pages are drawn from plots\n",
                     in.c_str());
        return kExitFailure;
    }
    if (outFormat == Format::Unknown)
        return usageError(
            "convert: cannot tell the output format from '%s' (use .bmp, .pcx, .jpg, .cal, .tif, "
            ".png, .ps or .pdf)",
            out.c_str());
    if (job.inputs.size() > 1 && !holdsPages(outFormat))
        return usageError(
            "convert: several inputs make the pages of a PostScript (.ps), PDF (.pdf) or TIFF "
            "(.tif) output; "
            "'%s' takes one",
            out.c_str());
    const int32_t kind = conversionKind(outFormat);
    const std::vector<std::string> refused = optionsRefused(kind);
    if (!refused.empty()) {
        std::fprintf(stderr, "kro: -%s does not apply to a %s output (status %d)\n",
                     refused[0].c_str(), formatName(outFormat), int(KRO_ERR_OPTION_NOT_ALLOWED));
        return kExitUsage;
    }
    // What the kind allows and the flow does not do yet is said, not refused.
    std::vector<std::string> applied = {"width",     "height", "dpi",  "scale",
                                        "papertype", "defDpi", "batch"};
    if (kind == kKindPicture || kind == kKindJpeg)
        applied.insert(applied.end(), {"colortype", "gamma", "level"});
    if (kind == kKindPicture || kind == kKindBilevel)
        applied.insert(applied.end(), {"dithes", "dithee"});
    if (kind == kKindJpeg) applied.push_back("quality");
    if (kind == kKindTiff) applied.insert(applied.end(), {"colortype", "gamma", "level", "dithes",
                                                          "dithee", "compression"});
    // -rotate turns the paper to lie the way the picture does; the picture
    // itself is not turned.
    if (kroOption.papertype.given || (kroOption.width.given && kroOption.height.given))
        applied.push_back("rotate");
    warnUnusedOptions(applied);
    for (const std::string& in : job.inputs)
        if (sameFile(in, out)) {
            std::fprintf(stderr, "kro: %s: output would overwrite the input\n", out.c_str());
            return kExitFailure;
        }
    return 0;
}

int runJob(const Job& job) {
    const std::string& out = job.output;
    const Format outFormat = outputFormat(job);
    AtomicOutput output;
    if (!output.open(out)) return systemError(out, errno);
    FILE* stream = output.stream();
    if (int32_t code = isDocument(outFormat) ? beginDocument(stream, outFormat, out) : 0)
        return libraryError(out, code);
    for (const std::string& in : job.inputs) {
        if (int rc = convertInput(in, out, outFormat, stream, job.verbose)) return rc;
    }
    if (int32_t code = isDocument(outFormat) ? endDocument(stream, outFormat) : 0) {
        if (std::ferror(stream) && errno != 0) return systemError(out, errno);
        return libraryError(out, code);
    }
    if (!output.commit()) return systemError(out, errno);
    return 0;
}

}  // namespace kro::cli
