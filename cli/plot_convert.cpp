// kro convert for HP-GL plots: load, size the page, draw with the renderer on
// a Cairo device, write the page: PNG, PDF or SVG through Cairo and libpng,
// the raster formats through the library's writers.
#include "cli/plot_convert.h"

#include <png.h>
#include <sys/stat.h>
#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "cli/cli.h"
#include "cli/colour.h"
#include "cli/job.h"
#include "cli/messages.h"
#include "cli/output.h"
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
    std::string tempPath;  // PDF and SVG: Cairo writes here, renamed on success
    ~PlotJob() {
        if (dc) DeleteDC(dc);
        if (doc) KroCloseHPGL(doc);
        if (!tempPath.empty()) ::unlink(tempPath.c_str());
    }
};

int fail(const std::string& file, const char* what) {
    std::fprintf(stderr, "kro: %s: %s (status %d)\n", file.c_str(),
                 what ? what : statusMessage(fndErrorStatus), int(fndErrorStatus));
    return 1;
}

// A private name beside the target for Cairo's own file writers.
bool makeTempPath(const std::string& target, std::string* path) {
    if (target == "-") {
        const char* dir = std::getenv("TMPDIR");
        return makeTempPath(std::string(dir && *dir ? dir : "/tmp") + "/kro-page", path);
    }
    const size_t slash = target.rfind('/');
    const std::string dir = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    std::string pattern = dir + "." + base + ".kro-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) return false;
    // Cairo writes into this file, which is renamed into place: the mode a
    // plain create would give, not mkstemp's private one.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    ::close(fd);
    *path = name.data();
    return true;
}

// The page as a 1-bit grey PNG: pens are black and raster pages are drawn
// without smoothing, so one bit loses nothing. On a 300 dpi page of fine lines
// zlib's default level 6 costs a few hundredths of a second and stores 6
// percent less than no compression; levels 1 to 9 differ by under 0.5 percent.
// (libpng reports failures by longjmp: no local here needs a destructor.)
bool writePngRows(FILE* f, const unsigned char* rows, size_t rowBytes, int32_t width,
                  int32_t height, int32_t dpi) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, f);
    png_set_compression_level(png, 6);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 1, PNG_COLOR_TYPE_GRAY,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    const png_uint_32 perMetre = png_uint_32(dpi / 0.0254 + 0.5);
    png_set_pHYs(png, info, perMetre, perMetre, PNG_RESOLUTION_METER);
    png_write_info(png, info);
    png_set_invert_mono(png);  // the rows hold 1 for black, PNG grey 0
    for (int32_t y = 0; y < height; ++y) png_write_row(png, rows + size_t(y) * rowBytes);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

// The page's pixels packed one bit each, 1 for black: a pixel is black when
// its grey is below the middle, as the device's own reading has it.
bool packRows(HDC dc, unsigned char* rows, size_t rowBytes) {
    int32_t w = 0, h = 0, stride = 0;
    const unsigned char* pixels = KroGdiPixels(dc, &w, &h, &stride);
    if (!pixels || rowBytes < (size_t(w) + 7) / 8) return false;
    const auto black = [](uint32_t p) -> uint32_t {
        return ((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF) < 3 * 128 ? 1u : 0u;
    };
    for (int32_t y = 0; y < h; ++y) {
        const auto* px = reinterpret_cast<const uint32_t*>(pixels + size_t(y) * size_t(stride));
        unsigned char* out = rows + size_t(y) * rowBytes;
        std::memset(out, 0, rowBytes);
        int32_t x = 0;
        for (; x + 8 <= w; x += 8) {
            uint32_t all = px[x];
            for (int k = 1; k < 8; ++k) all &= px[x + k];
            if (all == 0xFFFFFFFFu) continue;  // eight white pixels: most of the page
            uint32_t bits = 0;
            for (int k = 0; k < 8; ++k) bits = bits << 1 | black(px[x + k]);
            out[x >> 3] = uint8_t(bits);
        }
        for (; x < w; ++x)
            if (black(px[x])) out[x >> 3] |= uint8_t(0x80u >> (x & 7));
    }
    return true;
}

bool writePng(FILE* f, HDC dc, int32_t width, int32_t height, int32_t dpi) {
    const size_t rowBytes = (size_t(width) + 7) / 8;
    std::vector<unsigned char> rows(rowBytes * size_t(height));
    if (!packRows(dc, rows.data(), rowBytes)) return false;
    return writePngRows(f, rows.data(), rowBytes, width, height, dpi);
}

// The page as a bilevel picture for the library's writers.
bool pagePicture(HDC dc, int32_t width, int32_t height, int32_t dpi, Picture* pic) {
    const int32_t stored = (width + 7) / 8 * 8;
    const size_t rowBytes = size_t(stored) / 8;
    const size_t bytes = rowBytes * size_t(height);
    if (bytes > size_t(INT32_MAX)) return false;
    pic->image.data = static_cast<unsigned char*>(std::malloc(bytes ? bytes : 1));
    if (!pic->image.data) return false;
    if (!packRows(dc, pic->image.data, rowBytes)) return false;
    RsImage& im = pic->image;
    im.width = stored;
    im.height = height;
    im.size = int32_t(bytes);
    im.format = KRO_FORMAT_RAW;
    im.depth = 1;
    im.validWidth = width;
    im.validHeight = height;
    pic->photometric = KRO_PHOTO_WHITE_IS_ZERO;
    pic->resolution[0] = pic->resolution[1] = dpi;
    return true;
}

}  // namespace

// Cairo's finished PDF or SVG file onto standard output.
bool copyToStdout(const std::string& path) {
    FILE* in = std::fopen(path.c_str(), "rb");
    if (!in) return false;
    AtomicOutput output;
    bool ok = output.open("-");
    char buffer[65536];
    for (size_t n; ok && (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;)
        ok = std::fwrite(buffer, 1, n, output.stream()) == n;
    ok = ok && !std::ferror(in);
    std::fclose(in);
    return ok && output.commit();
}

bool isPlotOnlyOutput(const std::string& out) {
    Format format;
    const PlotOutput kind = outputFor(out, "", &format);
    return kind == PlotOutput::Png || kind == PlotOutput::Pdf || kind == PlotOutput::Svg;
}

int convertPlot(const std::string& in, const std::string& out, const std::string& to,
                bool verbose, bool labelText) {
    warnUnusedOptions({"dpi", "width", "height", "papertype", "scale", "physical", "plot", "ignore",
                       "center", "pen1", "pen2", "pen3", "pen4", "pen5", "pen6", "pen7", "pen8"});
    Format format = Format::Unknown;
    const PlotOutput kind = outputFor(out, to, &format);
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

    const KroOption& opt = kroOption;
    PlotJob job;
    job.doc = KroOpenHPGL(in.c_str(), opt.plot.value, opt.ignore.given ? 1 : 0,
                          opt.ignore.given ? opt.ignore.value : nullptr);
    if (job.doc == KRO_FAILED_PTR) {
        job.doc = nullptr;
        return fail(in, nullptr);
    }
    const int32_t paper = SetPaperType(job.doc);
    int32_t width = 0, height = 0;
    if (SetDrawableSize(job.doc, &width, &height, opt.physical.given ? 1 : 0) != 0)
        return fail(in, nullptr);
    const int32_t dpi = opt.dpi.value > 0 ? opt.dpi.value : 400;
    // A plot without extent along a side (labels only, say) still gets a
    // page: as long as the other side, or an inch.
    if (width < 1) width = height >= 1 ? height : dpi;
    if (height < 1) height = width;

    int32_t device = KRO_GDI_IMAGE;
    uint32_t flags = 0;
    if (kind == PlotOutput::Pdf || kind == PlotOutput::Svg) {
        device = kind == PlotOutput::Pdf ? KRO_GDI_PDF : KRO_GDI_SVG;
        flags = KRO_GDI_ANTIALIAS;
        if (!makeTempPath(out, &job.tempPath)) {
            std::fprintf(stderr, "kro: %s: %s\n", out.c_str(), std::strerror(errno));
            return 1;
        }
    }
    if (labelText) flags |= KRO_GDI_LABEL_TEXT;
    job.dc = KroGdiCreateDevice(device, width, height, dpi, job.tempPath.c_str(), flags);
    if (!job.dc) {
        std::fprintf(stderr, "kro: %s: cannot make a %d x %d page to draw on\n", out.c_str(),
                     int(width), int(height));
        return 1;
    }

    float pens[8];
    const KroRealSlot* slots[8] = {&opt.pen1, &opt.pen2, &opt.pen3, &opt.pen4,
                                   &opt.pen5, &opt.pen6, &opt.pen7, &opt.pen8};
    for (int i = 0; i < 8; ++i) pens[i] = float(slots[i]->value);
    const float scale = opt.scale.given ? float(opt.scale.value) : 0.0f;
    if (KroDisplayHPGL(job.doc, width, height, job.dc, pens, 0, paper, scale, dpi,
                       opt.center.given ? 1 : 0) != 0)
        return fail(in, nullptr);

    if (kind == PlotOutput::Pdf || kind == PlotOutput::Svg) {
        if (KroGdiFinish(job.dc) != 0) return fail(out, "the page could not be written");
        if (out == "-") {
            if (!copyToStdout(job.tempPath)) return systemError(out, errno ? errno : EIO);
        } else if (::rename(job.tempPath.c_str(), out.c_str()) != 0) {
            std::fprintf(stderr, "kro: %s: %s\n", out.c_str(), std::strerror(errno));
            return 1;
        }
        if (out != "-") job.tempPath.clear();
    } else {
        AtomicOutput output;
        if (!output.open(out)) {
            std::fprintf(stderr, "kro: %s: %s\n", out.c_str(), std::strerror(errno));
            return 1;
        }
        if (kind == PlotOutput::Png) {
            if (!writePng(output.stream(), job.dc, width, height, dpi))
                return fail(out, "the PNG could not be written");
        } else {
            // The page as a bilevel picture, in the colours the format holds.
            Picture pic;
            if (!pagePicture(job.dc, width, height, dpi, &pic))
                return fail(out, "no memory for the page");
            if (fitColourType(&pic, format, nullptr) != 0) return fail(out, nullptr);
            WriteSettings settings;
            settings.dpi = dpi;
            FILE* stream = output.stream();
            const int32_t rc =
                format == Format::PostScript
                    ? (beginPostScript(stream, in) || writePostScriptPage(stream, pic, settings) ||
                       endPostScript(stream))
                    : writePicture(stream, format, pic, settings);
            if (rc != 0) return fail(out, nullptr);
        }
        if (!output.commit()) {
            std::fprintf(stderr, "kro: %s: %s\n", out.c_str(), std::strerror(errno));
            return 1;
        }
    }
    if (verbose)
        std::fprintf(out == "-" ? stderr : stdout, "%s (HP-GL plot) -> %s (%d x %d at %d dpi)\n",
                     in.c_str(), out.c_str(), int(width), int(height), int(dpi));
    return 0;
}

}  // namespace kro::cli
