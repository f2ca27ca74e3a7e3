// Drawable size: the page, and the picture on it, in dots of the output
// resolution for a raster image (KroGetDSize) or a plot (SetDrawableSize,
// SetPaperType), from the job options.
#include <cmath>
#include <cstdint>
#include <utility>

#include "core/image.h"
#include "hpgl/hpgl.h"
#include "paper/paper.h"
#include "paper/sizes.h"

namespace {

using kro::fail;
using kro::hpgl::toFloat;

constexpr double kInchesPerMm = 0.03937007874015748;

// round(x) = trunc(x + 0.5). Sizes stay in doubles of whole values until they
// are stored, so no intermediate product can overflow an int.
double roundHalf(double x) {
    return std::trunc(x + 0.5);
}

int32_t dots(double v) {
    return kro::hpgl::truncToInt(v);
}

bool given(const KroIntSlot& s) {
    return s.given != 0;
}

// A paper's sheet in dots into width and height as the lookup stores them
// (a sheet too large included), and into pw and ph; 0 or the lookup's code.
int32_t sheetDots(int32_t papertype, int32_t dpi, int32_t* width, int32_t* height, double* pw,
                  double* ph) {
    if (int32_t code = kro::paperDots(papertype, dpi, width, height)) return code;
    *pw = *width;
    *ph = *height;
    return 0;
}

// The paper of a W x H image at (rx, ry) in dots, and the output resolution,
// by the first of: width and height, dpi, xreso or yreso, the input resolution.
int32_t choosePaper(const KroOption& opt, double W, double H, int32_t rx, int32_t ry,
                    kro::ImagePage* page, double* pw, double* ph) {
    int32_t& ox = page->resolution[0];
    int32_t& oy = page->resolution[1];
    ox = rx, oy = ry;
    if (given(opt.width) && given(opt.height)) {
        *pw = opt.width.value;
        *ph = opt.height.value;
        return 0;
    }
    if (given(opt.dpi))
        ox = oy = opt.dpi.value;
    else if (given(opt.xreso) || given(opt.yreso))
        ox = opt.xreso.value, oy = opt.yreso.value;
    if (!given(opt.papertype)) {
        const bool resampled = given(opt.dpi) || given(opt.xreso) || given(opt.yreso);
        *pw = resampled ? roundHalf(double(ox) * W / rx) : W;
        *ph = resampled ? roundHalf(H * oy / ry) : H;
        return 0;
    }
    // At unequal resolutions the sheet is looked up at the greater one, then
    // the side of the lesser shrunk, so each side counts the dots of its own.
    const int32_t at = ox > oy ? ox : oy;
    if (int32_t code =
            sheetDots(opt.papertype.value, at, &page->paperWidth, &page->paperHeight, pw, ph))
        return code;
    if (ox > oy) *ph = roundHalf(*ph * oy / ox);
    if (ox < oy) *pw = roundHalf(*pw * ox / oy);
    return 0;
}

// The largest size of the proportions a : b inside pw x ph.
void fitProportions(double pw, double ph, double a, double b, double* dw, double* dh) {
    if (pw > ph) {
        *dw = roundHalf(ph * a / b);
        *dh = ph;
        if (pw < *dw) {
            *dw = pw;
            *dh = roundHalf(pw * b / a);
        }
    } else {
        *dw = pw;
        *dh = roundHalf(pw * b / a);
        if (ph < *dh) {
            *dw = roundHalf(ph * a / b);
            *dh = ph;
        }
    }
}

// The plot's own size in dots at dpi, or the paper found for it.
int32_t plotPaper(double widthMm, double heightMm, int32_t fit, int32_t dpi, int32_t* width,
                  int32_t* height, double* w, double* h, bool* searchMissed) {
    const float wMm = toFloat(widthMm), hMm = toFloat(heightMm);
    const int32_t code = kro::paperByLength(wMm, hMm, fit);
    *searchMissed = code == 0;
    if (code == 0) {
        *w = roundHalf(double(dpi) * wMm * kInchesPerMm);
        *h = roundHalf(double(dpi) * hMm * kInchesPerMm);
        return 0;
    }
    if (int32_t rc = sheetDots(code, dpi, width, height, w, h)) return rc;
    const kro::PaperSize* paper = kro::findPaperSize(code);
    if (!(code & KRO_PAPER_LONG) || !paper) return 0;
    // The length follows the plot's proportions on the paper's short side; a
    // plot with no extent across keeps its own length.
    const double s = paper->shortSide;
    if (code & KRO_PAPER_LANDSCAPE)
        *w = roundHalf(heightMm != 0 ? widthMm / heightMm * dpi * s * kInchesPerMm
                                     : dpi * widthMm * kInchesPerMm);
    else if (code & KRO_PAPER_PORTRAIT)
        *h = roundHalf(widthMm != 0 ? heightMm / widthMm * dpi * s * kInchesPerMm
                                    : dpi * heightMm * kInchesPerMm);
    return 0;
}

}  // namespace

namespace kro {

int32_t imagePage(const KroOption& opt, int32_t width, int32_t height, const int32_t resolution[2],
                  ImagePage* page) {
    if (!sideInRange(width) || !sideInRange(height)) return KRO_ERR_SIZE;
    const int32_t rx = resolution[0], ry = resolution[1];
    if (rx < 1 || ry < 1) return KRO_ERR_INPUT_RESOLUTION;

    const double W = width, H = height;
    double pw, ph;
    if (int32_t code = choosePaper(opt, W, H, rx, ry, page, &pw, &ph)) return code;
    if (opt.scale.given) {
        pw = roundHalf(pw * opt.scale.value);
        ph = roundHalf(ph * opt.scale.value);
    }
    const int32_t ox = page->resolution[0], oy = page->resolution[1];
    const double a = roundHalf(double(ox) * W / rx);
    const double b = roundHalf(H * oy / ry);
    // At an output resolution of 0 (or one so low that the image shrinks to
    // nothing) the image has no proportions to fit.
    if (!(a >= 1) || !(b >= 1)) return KRO_ERR_RESOLUTION;

    if (given(opt.rotate) && opt.rotate.value != 0)
        if ((a > b && pw < ph) || (a < b && pw > ph)) std::swap(pw, ph);
    double dw, dh;
    fitProportions(pw, ph, a, b, &dw, &dh);
    page->paperWidth = dots(pw);
    page->paperHeight = dots(ph);
    page->drawWidth = dots(dw);
    page->drawHeight = dots(dh);
    return 0;
}

int32_t plotPage(const KroOption& opt, double widthMm, double heightMm, int32_t fit, int32_t* width,
                 int32_t* height, bool* paperSearchMissed) {
    *paperSearchMissed = false;
    const int32_t dpi = opt.dpi.value;
    double w, h;
    if (given(opt.width) && given(opt.height)) {
        w = opt.width.value;
        h = opt.height.value;
    } else if (given(opt.papertype)) {
        if (int32_t code = sheetDots(opt.papertype.value, dpi, width, height, &w, &h)) return code;
    } else if (int32_t code = plotPaper(widthMm, heightMm, fit, dpi, width, height, &w, &h,
                                        paperSearchMissed)) {
        return code;
    }
    if (opt.scale.given) {
        w = roundHalf(w * opt.scale.value);
        h = roundHalf(h * opt.scale.value);
    }
    *width = dots(w);
    *height = dots(h);
    return 0;
}

}  // namespace kro

extern "C" {

KRO_API int32_t KroGetDSize(int32_t width, int32_t height, const int32_t resolution[2],
                            int32_t* paperWidth, int32_t* paperHeight, int32_t outResolution[2],
                            int32_t* drawWidth, int32_t* drawHeight) {
    if (!resolution || !paperWidth || !paperHeight || !outResolution || !drawWidth || !drawHeight)
        return fail(KRO_ERR_NULL);
    outResolution[0] = resolution[0];
    outResolution[1] = resolution[1];
    kro::ImagePage page{*paperWidth, *paperHeight, {0, 0}, 0, 0};
    const int32_t code = kro::imagePage(kroOption, width, height, resolution, &page);
    *paperWidth = page.paperWidth;
    *paperHeight = page.paperHeight;
    if (code) return fail(code);
    outResolution[0] = page.resolution[0];
    outResolution[1] = page.resolution[1];
    *drawWidth = page.drawWidth;
    *drawHeight = page.drawHeight;
    return 0;
}

KRO_API int32_t SetDrawableSize(const HpglDocument* document, int32_t* width, int32_t* height,
                                int32_t fit) {
    if (!document || !width || !height) return fail(KRO_ERR_NULL);
    bool searchMissed = false;
    const int32_t code = kro::plotPage(kroOption, document->widthMm, document->heightMm, fit, width,
                                       height, &searchMissed);
    // The plot then takes its own size, but the search has said that it found nothing.
    if (searchMissed) fndErrorStatus = KRO_ERR_PAPER;
    return code ? fail(code) : 0;
}

KRO_API int32_t SetPaperType(const HpglDocument* document) {
    const KroOption& opt = kroOption;
    if (given(opt.width) || given(opt.height)) return 0;
    if (given(opt.papertype)) return opt.papertype.value;
    if (!document) return 0;
    if (!opt.scale.given)
        return KroQueryPapertypeByLength(toFloat(document->widthMm), toFloat(document->heightMm),
                                         opt.physical.given ? 1 : 0);
    if (!opt.physical.given) return 0;
    return KroQueryPapertypeByLength(toFloat(document->widthMm * opt.scale.value),
                                     toFloat(document->heightMm * opt.scale.value), 0);
}

}  // extern "C"
