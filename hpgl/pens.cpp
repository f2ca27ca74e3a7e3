// Pens and line types: SP and LT, the pen widths and the dash arrays.
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "hpgl/hpgl.h"
#include "hpgl/look.h"
#include "hpgl/plotter.h"
#include "hpgl/render_state.h"
#include "kro/fnd.h"
#include "platform/kernel/version.h"

namespace kro::hpgl {
namespace {

// An integer field read as atoi reads it, saturating instead of overflowing.
int32_t integerField(const char* text) {
    const long v = std::strtol(text, nullptr, 10);
    return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : int32_t(v);
}

}  // namespace

uint32_t dashLength(double v) {
    const int32_t n = truncToInt(v);
    return n < 1 ? 1u : uint32_t(n);
}

HPEN dashedPen(int32_t width, const uint32_t* dashes, int32_t count) {
    const LOGBRUSH brush{BS_SOLID, 0, 0};
    // DWORD is unsigned long on Windows: the same bits, another type.
    DWORD styles[16];
    const int32_t n = count < 0 ? 0 : count > 16 ? 16 : count;
    for (int32_t i = 0; i < n; ++i) styles[i] = dashes[i];
    return ExtCreatePen(kDashedGeometric, DWORD(width), &brush, DWORD(count), styles);
}

HPEN solidGeometricPen(int32_t width) {
    const LOGBRUSH brush{BS_SOLID, 0, 0};
    return ExtCreatePen(kSolidGeometric, DWORD(width), &brush, 0, nullptr);
}

bool ntFamily() {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    return GetVersionExA(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

bool Renderer::penHasWidth() const {
    return s.pen >= 1 && s.pen <= 8 && penWidths;
}

float Renderer::penWidthUnits() const {
    return penWidths[s.pen - 1] * float(kPlotterUnitsPerMm);
}

int32_t Renderer::devicePenWidth() const {
    if (look) {
        const int32_t w = truncToInt(lookPenWidth(*this) * s.deviceScale + 0.5);
        return w < 1 ? 1 : w;
    }
    if (!penHasWidth()) return 1;
    const int32_t w = truncToInt(double(penWidthUnits()) * s.deviceScale);
    return w < 1 ? 1 : w;
}

int32_t Renderer::penWidthPlotterUnits() const {
    if (look) return truncToInt(lookPenWidth(*this) + 0.5);
    return penHasWidth() ? truncToInt(penWidthUnits()) : kPlotterUnitsPerMm;
}

HPEN Renderer::geometricPen(int32_t width, const uint32_t* dashes, int32_t count) const {
    if (look) return lookPen(*this, width, dashes, count);
    return count > 0 ? dashedPen(width, dashes, count) : solidGeometricPen(width);
}

void Renderer::selectOwnPen(HPEN pen) {
    if (!pen) return;
    if (pageDc) {
        // Before the page: the pen is made again when the page begins.
        DeleteObject(pen);
        penPending = true;
        return;
    }
    HGDIOBJ old = SelectObject(dc, pen);
    if (!old) {
        DeleteObject(pen);
        return;
    }
    penSelected = true;
    replayMadePen = true;
    if (old != hostPen && old != replayPen) DeleteObject(old);
}

void Renderer::beginPage() {
    dc = pageDc;
    pageDc = nullptr;
    if (clipSet) {
        if (HRGN region =
                CreateRectRgn(clipRect.left, clipRect.top, clipRect.right, clipRect.bottom)) {
            SelectClipRgn(dc, region);
            DeleteObject(region);
        }
    }
    if (!penPending) return;
    const PenStyle& style = carry->pen;
    selectOwnPen(geometricPen(devicePenWidth(), style.dashes,
                              style.kind == kDashedPen ? style.dashCount : 0));
}

void Renderer::selectPen() {
    char buf[kMaxFieldKeep + 1];
    readField(buf);
    in.skipParameters();
    const int32_t n = integerField(buf);
    s.pen = n >= 1 && n <= 8 ? n : 0;
    noPen = n == 0;
    if (look) look->pen = n < 0 ? 0 : n;
    const int32_t width = devicePenWidth();
    const PenStyle& style = carry->pen;
    HPEN pen = nullptr;
    if (look)
        pen = geometricPen(width, style.dashes, style.kind == kDashedPen ? style.dashCount : 0);
    else if (style.kind == kDashedPen)
        pen = dashedPen(width, style.dashes, style.dashCount);
    else if (style.kind == kFallbackPen)
        pen = CreatePen(style.fallbackStyle, width, 0);
    else
        pen = CreatePen(PS_SOLID, width, 0);
    selectOwnPen(pen);
}

void Renderer::setLineType() {
    // The type is an integer field (digits up to any other byte), the length a number.
    double length = 0;
    int count = 0;
    int32_t type = 10;
    if (!in.atFieldEnd()) {
        char buf[kMaxFieldKeep + 1];
        readField(buf);
        type = integerField(buf);
        in.skipSeparator();
        ++count;
        if (!in.atFieldEnd()) {
            length = readNumber();
            in.skipSeparator();
            ++count;
        }
    }
    in.skipParameters();
    if (type < -6 || type > 6) type = 10;
    s.lineType = type;
    const double percent = count == 2 && length > 0 && length <= 100.0 ? length : 4.0;
    s.patternLength = std::hypot((s.map.p2X - s.map.p1X) * percent * 0.01,
                                 (s.map.p2Y - s.map.p1Y) * percent * 0.01);
    PenStyle& style = carry->pen;
    if (nt) setDashes(&style, type);
    selectOwnPen(lineTypePen(&style, type));
}

void Renderer::setDashes(PenStyle* style, int32_t type) const {
    const double k = s.deviceScale;
    const double u = s.patternLength * k;
    const int32_t w = penWidthPlotterUnits();
    const double v = (s.patternLength - w) * k;
    uint32_t* d = style->dashes;
    int32_t n = style->dashCount;
    switch (type < 0 ? -type : type) {
        case 1:
            d[0] = dashLength(w + 0.5), d[1] = dashLength(v + 0.5);
            n = 2;
            break;
        case 2:
            d[0] = dashLength((u + 1.0) * 0.5), d[1] = dashLength(u * 0.5 - 0.5);
            n = 2;
            break;
        case 3:
            d[0] = dashLength(u * 0.7 + 0.5), d[1] = dashLength(u * 0.3 - 0.5);
            n = 2;
            break;
        case 4:
            d[0] = dashLength(v * 0.8 + 0.5);
            d[2] = dashLength(w + 0.5);
            d[1] = d[3] = dashLength(v * 0.1 - 0.5);
            n = 4;
            break;
        case 5:
            d[0] = dashLength(u * 0.7 + 0.5);
            d[2] = dashLength(u * 0.1 + 0.5);
            d[1] = d[3] = dashLength(u * 0.1 - 0.5);
            n = 4;
            break;
        case 6:
            d[0] = dashLength((u + 1.0) * 0.5);
            d[2] = d[4] = dashLength(u * 0.1 + 0.5);
            d[1] = d[3] = d[5] = dashLength(u * 0.1 - 0.5);
            n = 6;
            break;
        default:
            break;  // 0 and 10 keep the array
    }
    if (type <= -2) {
        // Adaptive patterns begin and end with half a dash.
        d[n] = d[0] - d[0] / 2;
        d[n + 1] = 0;
        d[0] /= 2;
        n += 2;
    }
    style->dashCount = n;
}

HPEN Renderer::lineTypePen(PenStyle* style, int32_t type) const {
    const int32_t width = devicePenWidth();
    style->kind = kPlainPen;
    if (type == 0 || type == 10)
        return nt ? geometricPen(width, nullptr, 0) : CreatePen(PS_SOLID, width, 0);
    if (nt) {
        style->kind = kDashedPen;
        return geometricPen(width, style->dashes, style->dashCount);
    }
    // The 9x family has no dash arrays: the nearest standard style, one unit wide.
    static constexpr int32_t kFallback[7] = {0,        PS_DOT,     PS_DASH,      PS_DASH,
                                             PS_SOLID, PS_DASHDOT, PS_DASHDOTDOT};
    const int32_t standard = kFallback[type < 0 ? -type : type];
    if (standard == PS_SOLID) return CreatePen(PS_SOLID, 1, 0);
    style->kind = kFallbackPen;
    style->fallbackStyle = standard;
    return CreatePen(standard, 1, 0);
}

}  // namespace kro::hpgl
