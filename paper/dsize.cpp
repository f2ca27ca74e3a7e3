// Drawable size: the page, and the picture on it, in dots of the output
// resolution for a raster image (KroGetDSize) or a plot (SetDrawableSize,
// SetPaperType), from the job options.
#include <cmath>
#include <cstdint>
#include <utility>

#include "core/image.h"
#include "hpgl/hpgl.h"
#include "paper/paper.h"

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

// Looks up a paper in dots into the out places; false when the lookup failed.
bool paperDots(int32_t papertype, int32_t dpi, int32_t* width, int32_t* height, double* w,
               double* h) {
    if (KroQueryDotsByPapertype(papertype, dpi, width, height) != 0) return false;
    *w = *width;
    *h = *height;
    return true;
}

}  // namespace

extern "C" {

KRO_API int32_t KroGetDSize(int32_t width, int32_t height, const int32_t resolution[2],
                            int32_t* paperWidth, int32_t* paperHeight, int32_t outResolution[2],
                            int32_t* drawWidth, int32_t* drawHeight) {
    if (!resolution || !paperWidth || !paperHeight || !outResolution || !drawWidth || !drawHeight)
        return fail(KRO_ERR_NULL);
    outResolution[0] = resolution[0];
    outResolution[1] = resolution[1];
    if (!kro::sideInRange(width) || !kro::sideInRange(height)) return fail(KRO_ERR_SIZE);
    const int32_t rx = resolution[0], ry = resolution[1];
    if (rx < 1 || ry < 1) return fail(KRO_ERR_INPUT_RESOLUTION);

    const KroOption& opt = kroOption;
    const double W = width, H = height;
    double pw, ph;
    int32_t ox = rx, oy = ry;
    bool correct = false;  // the paper was looked up at the greater resolution
    if (given(opt.width) && given(opt.height)) {
        pw = opt.width.value;
        ph = opt.height.value;
    } else if (given(opt.dpi)) {
        ox = oy = opt.dpi.value;
        if (given(opt.papertype)) {
            if (!paperDots(opt.papertype.value, ox, paperWidth, paperHeight, &pw, &ph)) return -1;
        } else {
            pw = roundHalf(double(ox) * W / rx);
            ph = roundHalf(H * oy / ry);
        }
    } else {
        if (given(opt.xreso) || given(opt.yreso)) {
            ox = opt.xreso.value;
            oy = opt.yreso.value;
        }
        if (given(opt.papertype)) {
            int32_t at = ox > oy ? ox : oy;
            if (!paperDots(opt.papertype.value, at, paperWidth, paperHeight, &pw, &ph)) return -1;
            correct = true;
        } else if (given(opt.xreso) || given(opt.yreso)) {
            pw = roundHalf(double(ox) * W / rx);
            ph = roundHalf(H * oy / ry);
        } else {
            pw = W;
            ph = H;
        }
    }
    if (correct) {
        if (ox > oy) ph = roundHalf(ph * oy / ox);
        if (ox < oy) pw = roundHalf(pw * ox / oy);
    }
    if (opt.scale.given) {
        pw = roundHalf(pw * opt.scale.value);
        ph = roundHalf(ph * opt.scale.value);
    }

    const double a = roundHalf(double(ox) * W / rx);
    const double b = roundHalf(H * oy / ry);
    // At an output resolution of 0 (or one so low that the image shrinks to
    // nothing) the image has no proportions to fit.
    if (!(a >= 1) || !(b >= 1)) return fail(KRO_ERR_RESOLUTION);

    if (given(opt.rotate) && opt.rotate.value != 0)
        if ((a > b && pw < ph) || (a < b && pw > ph)) std::swap(pw, ph);

    double dw, dh;
    if (pw > ph) {
        dw = roundHalf(ph * a / b);
        dh = ph;
        if (pw < dw) {
            dw = pw;
            dh = roundHalf(pw * b / a);
        }
    } else {
        dw = pw;
        dh = roundHalf(pw * b / a);
        if (ph < dh) {
            dw = roundHalf(ph * a / b);
            dh = ph;
        }
    }
    *paperWidth = dots(pw);
    *paperHeight = dots(ph);
    outResolution[0] = ox;
    outResolution[1] = oy;
    *drawWidth = dots(dw);
    *drawHeight = dots(dh);
    return 0;
}

KRO_API int32_t SetDrawableSize(const HpglDocument* document, int32_t* width, int32_t* height,
                                int32_t fit) {
    if (!document || !width || !height) return fail(KRO_ERR_NULL);
    const KroOption& opt = kroOption;
    const int32_t dpi = opt.dpi.value;
    double w, h;
    if (given(opt.width) && given(opt.height)) {
        w = opt.width.value;
        h = opt.height.value;
    } else if (given(opt.papertype)) {
        if (!paperDots(opt.papertype.value, dpi, width, height, &w, &h)) return -1;
    } else {
        const float wMm = toFloat(document->widthMm), hMm = toFloat(document->heightMm);
        const int32_t code = KroQueryPapertypeByLength(wMm, hMm, fit);
        if (code <= 0) {
            w = roundHalf(double(dpi) * wMm * kInchesPerMm);
            h = roundHalf(double(dpi) * hMm * kInchesPerMm);
        } else {
            if (!paperDots(code, dpi, width, height, &w, &h)) return -1;
            const kro::PaperSize* paper = kro::findPaperSize(code);
            if ((code & KRO_PAPER_LONG) && paper) {
                // The length follows the plot's proportions on the paper's
                // short side; a plot with no extent across keeps its own length.
                const double s = paper->shortSide;
                const double pw = document->widthMm, ph = document->heightMm;
                if (code & KRO_PAPER_LANDSCAPE)
                    w = roundHalf(ph != 0 ? pw / ph * dpi * s * kInchesPerMm
                                          : dpi * pw * kInchesPerMm);
                else if (code & KRO_PAPER_PORTRAIT)
                    h = roundHalf(pw != 0 ? ph / pw * dpi * s * kInchesPerMm
                                          : dpi * ph * kInchesPerMm);
            }
        }
    }
    if (opt.scale.given) {
        w = roundHalf(w * opt.scale.value);
        h = roundHalf(h * opt.scale.value);
    }
    *width = dots(w);
    *height = dots(h);
    return 0;
}

KRO_API int32_t SetPaperType(const HpglDocument* document) {
    const KroOption& opt = kroOption;
    if (given(opt.width) || given(opt.height)) return 0;
    if (given(opt.papertype)) return opt.papertype.value;
    if (!document) return 0;
    int32_t code;
    if (!opt.scale.given) {
        code = KroQueryPapertypeByLength(toFloat(document->widthMm), toFloat(document->heightMm),
                                         opt.physical.given ? 1 : 0);
    } else {
        if (!opt.physical.given) return 0;
        code = KroQueryPapertypeByLength(toFloat(document->widthMm * opt.scale.value),
                                         toFloat(document->heightMm * opt.scale.value), 0);
    }
    return code < 0 ? 0 : code;
}

}  // extern "C"
