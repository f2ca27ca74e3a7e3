// kro convert for HP-GL plots: load, size the page, draw with the renderer on
// a Cairo device, write the page: PNG, PDF or SVG through Cairo and libpng,
// the raster formats through the library's writers.
#include "cli/plot_convert.h"

#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "cli/cli.h"
#include "cli/colour.h"
#include "cli/input.h"
#include "cli/job.h"
#include "cli/messages.h"
#include "cli/output.h"
#include "cli/page.h"
#include "cli/picture.h"
#include "kro/gdi.h"
#include "kro/kro.h"

namespace kro::cli {
namespace {

enum class PlotOutput { Unknown, Png, Pdf, Svg, Raster };

// What OUT (or --to FORMAT) asks for; *format gets the raster format.
PlotOutput outputFor(const std::string& out, const std::string& to, Format* format) {
    const std::string path = to.empty() ? out : "out." + to;
    const size_t dot = path.rfind('.'), slash = path.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return PlotOutput::Unknown;
    const char* ext = path.c_str() + dot + 1;
    if (!strcasecmp(ext, "png")) return PlotOutput::Png;
    if (!strcasecmp(ext, "pdf")) return PlotOutput::Pdf;
    if (!strcasecmp(ext, "svg")) return PlotOutput::Svg;
    *format = formatForName(path);
    return *format == Format::Unknown ? PlotOutput::Unknown : PlotOutput::Raster;
}

// Owns what the flow opens, so every way out closes it.
struct PlotJob {
    HpglDocument* doc = nullptr;
    HDC dc = nullptr;
    std::string tempPath;  // PDF and SVG: Cairo writes here, then copied to the output
    int32_t width = 0, height = 0, dpi = 0;  // the page in dots
    int32_t paper = 0;
    int32_t pages = 1;  // the full look's pages; the design's look draws them as one
    PlotLook look = PlotLook::Full;
    ~PlotJob() {
        if (dc) deletePage(dc);
        if (doc) KroCloseHPGL(doc);
        if (!tempPath.empty()) ::unlink(tempPath.c_str());
    }
};

// "kro: FILE: what (status code)", the library's words for the code when what is null.
int fail(const std::string& file, int32_t code, const char* what = nullptr) {
    std::fprintf(stderr, "kro: %s: %s (status %d)\n", file.c_str(),
                 what ? what : statusMessage(code), int(code));
    return 1;
}

// A private file for Cairo's own file writers, in the temporary folder: the
// finished page is copied to the output like any other.
bool makeTempPath(std::string* path) {
    const int fd = makeTempFile(tempFolderPattern("kro-page-"), path);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

// The page as a picture for the library's writers: bilevel, or RGB for a
// page in colour.
bool pagePicture(HDC dc, int32_t width, int32_t height, int32_t dpi, Picture* pic,
                 bool colour = false) {
    const int32_t stored = colour ? width : (width + 7) / 8 * 8;
    const size_t rowBytes = colour ? size_t(width) * 3 : size_t(stored) / 8;
    const size_t bytes = rowBytes * size_t(height);
    if (bytes > size_t(INT32_MAX)) return false;
    pic->image.data = static_cast<unsigned char*>(std::malloc(bytes ? bytes : 1));
    if (!pic->image.data) return false;
    if (readPageRows(dc, colour ? 24 : 1, pic->image.data, rowBytes) != 0) return false;
    RsImage& im = pic->image;
    im.width = stored;
    im.height = height;
    im.size = int32_t(bytes);
    im.format = KRO_FORMAT_RAW;
    im.depth = colour ? 24 : 1;
    im.validWidth = width;
    im.validHeight = height;
    pic->photometric = colour ? KRO_PHOTO_RGB : KRO_PHOTO_WHITE_IS_ZERO;
    pic->resolution[0] = pic->resolution[1] = dpi;
    return true;
}

}  // namespace

// Cairo's finished PDF or SVG file into the output.
bool copyToOutput(const std::string& path, const std::string& out) {
    FILE* in = std::fopen(path.c_str(), "rb");
    if (!in) return false;
    AtomicOutput output;
    bool ok = output.open(out);
    char buffer[65536];
    for (size_t n; ok && (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;)
        ok = std::fwrite(buffer, 1, n, output.stream()) == n;
    ok = ok && !std::ferror(in);
    const int saved = errno;
    std::fclose(in);
    errno = saved;
    return ok && output.commit();
}

bool isPlotOnlyOutput(const std::string& out) {
    Format format;
    const PlotOutput kind = outputFor(out, "", &format);
    return kind == PlotOutput::Png || kind == PlotOutput::Svg;
}

namespace {

// The largest page drawn: Cairo's side limit, and for raster pages 1 GiB of
// 32-bit pixels (A0 at 400 dpi fits).
constexpr int32_t kMaxPageSide = 32767;
constexpr int64_t kMaxPageDots = int64_t(1) << 28;

// Loads the plot and counts its pages. 0, or the exit status after reporting why.
int loadPlot(const std::string& in, PlotLook look, PlotJob* job) {
    const KroOption& opt = kroOption;
    const std::string path = inputPath(in);
    if (path.empty()) return systemError(in, errno);
    job->look = look;
    job->doc = KroOpenHPGL(path.c_str(), opt.plot.value, opt.ignore.given ? 1 : 0,
                           opt.ignore.given ? opt.ignore.value : nullptr);
    if (job->doc == KRO_FAILED_PTR) {
        job->doc = nullptr;
        return fail(in, fndErrorStatus);
    }
    if (look == PlotLook::Full) {
        job->pages = KroSelectHPGLPage(job->doc, 1);
        if (job->pages < 1) return fail(in, fndErrorStatus);
    }
    return 0;
}

// Sizes the page of the plot numbered page (from 1): the paper, the dots and
// the resolution. 0, or the exit status after reporting why.
int sizePage(const std::string& in, bool raster, int32_t page, PlotJob* job) {
    const KroOption& opt = kroOption;
    if (job->look == PlotLook::Full && page > 1 && KroSelectHPGLPage(job->doc, page) < 1)
        return fail(in, fndErrorStatus);
    job->paper = SetPaperType(job->doc);
    int32_t width = 0, height = 0;
    if (SetDrawableSize(job->doc, &width, &height, opt.physical.given ? 1 : 0) != 0)
        return fail(in, fndErrorStatus);
    const int32_t dpi = opt.dpi.value > 0 ? opt.dpi.value : 400;
    // A plot without extent along a side (labels only, say) still gets a
    // page: as long as the other side, or an inch.
    if (width < 1) width = height >= 1 ? height : dpi;
    if (height < 1) height = width;
    // At a fixed scale the renderer places the plot as a plotter would on
    // the smallest paper that holds it; that is this page only with
    // -physical. On the plot's own page (or the nearest paper) it is centred,
    // with a dot to spare on every side: the renderer counts rows up from one
    // past the page's last.
    const float scale = opt.scale.given ? float(opt.scale.value) : 0.0f;
    if (scale > 0 && (opt.center.given || !opt.physical.given)) {
        const double k = dpi * double(scale) / 1016.0;  // dots per plotter unit
        const HpglDocument& d = *job->doc;
        width = int32_t(std::max<double>(width, std::round((d.xMax - d.xMin) * k) + 3));
        height = int32_t(std::max<double>(height, std::round((d.yMax - d.yMin) * k) + 3));
    }
    job->width = width;
    job->height = height;
    job->dpi = dpi;
    if (width > kMaxPageSide || height > kMaxPageSide ||
        (raster && int64_t(width) * height > kMaxPageDots)) {
        std::fprintf(stderr,
                     "kro: %s: the plot needs a page of %d x %d dots at %d dpi; kro draws pages "
                     "of at most %d dots a side%s. Give a lower -dpi, or -papertype to fit the "
                     "plot to a paper\n",
                     in.c_str(), int(width), int(height), int(dpi), int(kMaxPageSide),
                     raster ? " and 268 million dots in all" : "");
        return 1;
    }
    return 0;
}

// A new device of the kind for the sized page (PDF and SVG devices write
// into job->tempPath, made here). 0, or the exit status after reporting why.
int openDevice(const std::string& out, int32_t device, uint32_t flags, PlotJob* job) {
    if (device != KRO_GDI_IMAGE && job->tempPath.empty() && !makeTempPath(&job->tempPath))
        return systemError(out, errno);
    job->dc = createPage(device, job->width, job->height, job->dpi, job->tempPath.c_str(), flags);
    if (!job->dc) {
        std::fprintf(stderr, "kro: %s: no memory for a page of %d x %d dots\n", out.c_str(),
                     int(job->width), int(job->height));
        return 1;
    }
    return 0;
}

// Draws the page numbered page (from 1) on the job's device. 0, or the exit
// status after reporting why.
int drawPage(const std::string& in, int32_t page, PlotJob* job) {
    const KroOption& opt = kroOption;
    // Edge rectangles and wedges outline; the device's white brush would
    // paint over what was drawn before them.
    SelectObject(job->dc, GetStockObject(NULL_BRUSH));
    const float scale = opt.scale.given ? float(opt.scale.value) : 0.0f;
    const bool centre = opt.center.given || (scale > 0 && !opt.physical.given);
    float pens[8];
    const KroRealSlot* slots[8] = {&opt.pen1, &opt.pen2, &opt.pen3, &opt.pen4,
                                   &opt.pen5, &opt.pen6, &opt.pen7, &opt.pen8};
    // The full look takes the plot's own widths (PW) where -penN is not given.
    for (int i = 0; i < 8; ++i)
        pens[i] = job->look == PlotLook::Full && !slots[i]->given ? 0.0f : float(slots[i]->value);
    KroHpglStyle style{};
    style.size = sizeof style;
    style.page = page;
    const int32_t rc =
        job->look == PlotLook::Design
            ? KroDisplayHPGL(job->doc, job->width, job->height, job->dc, pens, 0, job->paper, scale,
                             job->dpi, centre ? 1 : 0)
            : KroDisplayHPGLStyled(job->doc, job->width, job->height, job->dc, pens, &style,
                                   job->paper, scale, job->dpi, centre ? 1 : 0);
    if (rc != 0) return fail(in, fndErrorStatus);
    return 0;
}

// Loads the plot and draws its first page on a new device of the kind.
int drawPlot(const std::string& in, const std::string& out, int32_t device, uint32_t flags,
             PlotLook look, PlotJob* job) {
    if (int rc = loadPlot(in, look, job)) return rc;
    if (int rc = sizePage(in, device == KRO_GDI_IMAGE, 1, job)) return rc;
    if (int rc = openDevice(out, device, flags, job)) return rc;
    return drawPage(in, 1, job);
}

// The file of page (from 2) of a one-page format: out.png gives out-2.png.
std::string pageFileName(const std::string& out, int32_t page) {
    const size_t dot = out.rfind('.'), slash = out.rfind('/');
    const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    const std::string stem = hasExt ? out.substr(0, dot) : out;
    return stem + "-" + std::to_string(page) + (hasExt ? out.substr(dot) : "");
}

// Writes the drawn raster page to stream in the kind and format.
int writeRasterPage(const std::string& in, const std::string& out, PlotOutput kind, Format format,
                    FILE* stream, PlotJob* job) {
    if (kind == PlotOutput::Png) {
        // 1-bit unless the page has colour: raster pages are drawn
        // without smoothing, so black pens lose nothing in one bit.
        // zlib's level 6: levels 1 to 9 differ by under 0.5 % in size on
        // a page of fine lines.
#ifndef _WIN32
        if (KroGdiWritePNGStream(job->dc, stream, pageHasColour(job->dc) ? 24 : 1, 6) != 0)
            return fail(out, KRO_ERR_IO, "the PNG could not be written");
#endif
        return 0;
    }
    // The page in colour where the format holds colour; bilevel
    // formats take it thresholded, as a bilevel page.
    const bool colour = format != Format::Cals && pageHasColour(job->dc);
    Picture pic;
    if (!pagePicture(job->dc, job->width, job->height, job->dpi, &pic, colour))
        return fail(out, KRO_ERR_NOMEM, "no memory for the page");
    if (int32_t code = fitColourType(&pic, format, nullptr)) return fail(out, code);
    WriteSettings settings;
    settings.dpi = job->dpi;
    int32_t code = 0;
    if (isDocument(format))
        code = writeDocumentPage(stream, format, pic, settings);
    else
        code = writePicture(stream, format, pic, settings);
    (void)in;
    return code != 0 ? fail(out, code) : 0;
}

}  // namespace

int plotPicture(const std::string& in, const std::string& out, bool labelText, Picture* pic,
                PlotLook look) {
    PlotJob page;
    if (int rc =
            drawPlot(in, out, KRO_GDI_IMAGE, labelText ? KRO_GDI_LABEL_TEXT : 0, look, &page))
        return rc;
    if (!pagePicture(page.dc, page.width, page.height, page.dpi, pic))
        return fail(out, KRO_ERR_NOMEM, "no memory for the page");
    return 0;
}

int convertPlot(const std::string& in, const std::string& out, const std::string& to, bool verbose,
                bool labelText, PlotLook look) {
    warnUnusedOptions({"dpi", "width", "height", "papertype", "scale", "physical", "plot", "ignore",
                       "center", "pen1", "pen2", "pen3", "pen4", "pen5", "pen6", "pen7", "pen8"});
    Format format = Format::Unknown;
    PlotOutput kind = outputFor(out, to, &format);
    // Without the Cairo device a PDF holds the plot as a raster page.
    if (!kCairoPages && kind == PlotOutput::Pdf) kind = PlotOutput::Raster, format = Format::Pdf;
    if (kind == PlotOutput::Unknown) {
        if (!to.empty())
            return usageError(
                "convert: --to takes png, pdf, svg, bmp, pcx, jpg, cal or ps, not '%s'",
                to.c_str());
        if (out == "-") return usageError("convert: standard output needs --to FORMAT");
        return usageError(
            "convert: cannot tell the output format from '%s' (a plot is drawn to .png, .pdf, "
            ".svg, .bmp, .pcx, .jpg, .cal or .ps)",
            out.c_str());
    }
    if (sameFile(in, out)) {
        std::fprintf(stderr, "kro: %s: output would overwrite the input\n", out.c_str());
        return 1;
    }

    const bool vector = kind == PlotOutput::Pdf || kind == PlotOutput::Svg;
    const int32_t device = kind == PlotOutput::Pdf   ? KRO_GDI_PDF
                           : kind == PlotOutput::Svg ? KRO_GDI_SVG
                                                     : KRO_GDI_IMAGE;
    if (!kCairoPages && kind != PlotOutput::Raster) {
        std::fprintf(stderr,
                     "kro: %s: this build draws plots with GDI32 and writes them as BMP, PCX, "
                     "JPEG, CALS, PostScript or PDF pages of pixels; PNG and SVG need the Cairo "
                     "device of the Unix build\n",
                     out.c_str());
        return 1;
    }
    uint32_t flags = vector ? KRO_GDI_ANTIALIAS : 0;
    if (labelText) flags |= KRO_GDI_LABEL_TEXT;
    PlotJob job;
    if (int rc = drawPlot(in, out, device, flags, look, &job)) return rc;
    // PDF, PostScript and TIFF files take every page; other formats one page
    // a file: out.png, then out-2.png, out-3.png...
    const bool document = kind == PlotOutput::Pdf || holdsPages(format);
    const bool toStream = isStandardOutput(out);
    int32_t files = job.pages;
    if (!document && job.pages > 1) {
        if (toStream) {
            files = 1;
            std::fprintf(stderr, "kro: %s has %d pages; standard output takes the first\n",
                         in.c_str(), int(job.pages));
        } else {
            std::string names = out;
            for (int32_t p = 2; p <= job.pages; ++p) names += ", " + pageFileName(out, p);
            std::fprintf(stderr, "kro: %s has %d pages: %s\n", in.c_str(), int(job.pages),
                         names.c_str());
        }
    }

    if (kind == PlotOutput::Pdf) {
        for (int32_t p = 2; p <= job.pages; ++p) {
            if (int rc = sizePage(in, false, p, &job)) return rc;
            if (nextPage(job.dc, job.width, job.height) != 0)
                return fail(out, KRO_ERR_IO, "the page could not be written");
            if (int rc = drawPage(in, p, &job)) return rc;
        }
    }
    if (vector) {
        for (int32_t p = 1; p <= (kind == PlotOutput::Svg ? files : 1); ++p) {
            const std::string name = p == 1 ? out : pageFileName(out, p);
            if (p > 1) {
                deletePage(job.dc);
                job.dc = nullptr;
                if (int rc = sizePage(in, false, p, &job)) return rc;
                if (int rc = openDevice(out, device, flags, &job)) return rc;
                if (int rc = drawPage(in, p, &job)) return rc;
            }
            if (finishPage(job.dc) != 0)
                return fail(name, KRO_ERR_IO, "the page could not be written");
            if (!copyToOutput(job.tempPath, name)) return systemError(name, errno ? errno : EIO);
        }
    } else if (document) {
        AtomicOutput output;
        if (!output.open(out)) return systemError(out, errno);
        FILE* stream = output.stream();
        if (int32_t code = isDocument(format) ? beginDocument(stream, format, in) : 0)
            return fail(out, code);
        for (int32_t p = 1; p <= job.pages; ++p) {
            if (p > 1) {
                deletePage(job.dc);
                job.dc = nullptr;
                if (int rc = sizePage(in, true, p, &job)) return rc;
                if (int rc = openDevice(out, device, flags, &job)) return rc;
                if (int rc = drawPage(in, p, &job)) return rc;
            }
            if (int rc = writeRasterPage(in, out, kind, format, stream, &job)) return rc;
        }
        if (int32_t code = isDocument(format) ? endDocument(stream, format) : 0)
            return fail(out, code);
        if (!output.commit()) return systemError(out, errno);
    } else {
        for (int32_t p = 1; p <= files; ++p) {
            const std::string name = p == 1 ? out : pageFileName(out, p);
            if (p > 1) {
                deletePage(job.dc);
                job.dc = nullptr;
                if (int rc = sizePage(in, true, p, &job)) return rc;
                if (int rc = openDevice(name, device, flags, &job)) return rc;
                if (int rc = drawPage(in, p, &job)) return rc;
            }
            AtomicOutput output;
            if (!output.open(name)) return systemError(name, errno);
            if (int rc = writeRasterPage(in, name, kind, format, output.stream(), &job)) return rc;
            if (!output.commit()) return systemError(name, errno);
        }
    }
    if (verbose)
        std::fprintf(isStandardOutput(out) ? stderr : stdout,
                     "%s (HP-GL plot) -> %s (%d x %d at %d dpi)\n", in.c_str(), out.c_str(),
                     int(job.width), int(job.height), int(job.dpi));
    return 0;
}

}  // namespace kro::cli
