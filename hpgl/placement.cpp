// Where a plot lands on the device: fit, centred, or as a plotter places it on
// its paper.
#include <algorithm>

#include "hpgl/hpgl.h"
#include "hpgl/plotter.h"
#include "hpgl/render_state.h"

namespace kro::hpgl {
namespace {

// Centred on a paper side P; a plot wider than the paper by more than one
// percent of it gets a 100-plotter-unit margin instead.
int32_t paperOffset(double side, double size, double k) {
    int32_t o = truncToInt((side - size) * k * 0.5);
    if (o < 0) o = o <= -0.01 * side ? truncToInt(k * 100.0) : 0;
    return o;
}

// Centred on the drawing area, never negative, at most a 100-unit margin.
int32_t cappedCentre(double area, double size, double k) {
    int32_t c = std::max(0, truncToInt((area - size * k) * 0.5));
    return std::min(c, truncToInt(k * 100.0));
}

}  // namespace

Placement placeToFit(const HpglDocument& doc, int32_t deviceWidth, int32_t deviceHeight) {
    Placement p;
    p.offsetX = p.offsetY = 10;
    double w = doc.xMax - doc.xMin, h = doc.yMax - doc.yMin;
    if (w == 0 && h == 0)
        w = h = 1;
    else if (h == 0)
        h = w;
    else if (w == 0)
        w = h;
    const double kx = (deviceWidth - 20) / w, ky = (deviceHeight - 20) / h;
    if (ky < kx) {
        p.deviceScale = ky;
        p.originY = doc.yMin;
    } else {
        p.deviceScale = kx;
        // The plot's top 10 units below the top of the drawing area.
        p.originY = doc.yMin - (ky - kx) * h / kx;
    }
    p.originX = doc.xMin;
    return p;
}

Placement placeAtScale(const HpglDocument& doc, int32_t deviceWidth, int32_t deviceHeight, double k,
                       bool centre) {
    Placement p;
    p.deviceScale = k;
    p.originX = doc.xMin;
    p.originY = doc.yMin;
    const double w = doc.xMax - doc.xMin, h = doc.yMax - doc.yMin;
    if (centre) {
        p.offsetX = std::max(0, truncToInt((deviceWidth - w * k) * 0.5));
        p.offsetY = std::max(0, truncToInt((deviceHeight - h * k) * 0.5));
        return p;
    }

    const PlotterKind kind = plotterRules(doc.plot).kind;
    const PaperExtent* paper = paperExtent(doc.paperType);
    const bool across = landscape(doc.paperType);
    auto paperOffsets = [&] {
        const double L = paper->longSide, S = paper->shortSide;
        p.offsetX = paperOffset(across ? L : S, w, k);
        p.offsetY = paperOffset(across ? S : L, h, k);
    };
    if (kind == kOriginAtCentre) {
        if (!paper) {
            p.offsetX = truncToInt((deviceWidth - w * k) * 0.5);
            p.offsetY = truncToInt((deviceHeight - h * k) * 0.5);
        } else {
            p.originX = across ? paper->halfLong : paper->halfShort;
            p.originY = across ? paper->halfShort : paper->halfLong;
        }
        return p;
    }
    if (!paper) {
        p.offsetX = cappedCentre(deviceWidth, w, k);
        p.offsetY = cappedCentre(deviceHeight, h, k);
        return p;
    }
    const PlotterPaper* row = kind == kPaperTable ? plotterPaper(doc.plot, doc.paperType) : nullptr;
    if (!row) {
        paperOffsets();
        return p;
    }
    p.originX = across ? row->cornerX : row->cornerY;
    p.originY = across ? row->cornerY : row->cornerX;
    // A plot off the paper that would fit on it is centred on it.
    const double xSide = across ? paper->longSide : paper->shortSide;
    const double ySide = across ? paper->shortSide : paper->longSide;
    if (!longPaper(doc.paperType) && w <= 1.01 * xSide &&
        (doc.xMax - p.originX > xSide || doc.xMin < p.originX))
        p.originX = doc.xMin - (xSide - w) * 0.5;
    if (h <= 1.01 * ySide && (doc.yMax - p.originY > ySide || doc.yMin < p.originY))
        p.originY = doc.yMin - (ySide - h) * 0.5;
    return p;
}

}  // namespace kro::hpgl
