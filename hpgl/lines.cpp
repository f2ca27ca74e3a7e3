// The movement commands PU, PD, PA, PR and GR: the points they reach and the
// lines through them, solid, dashed, a dot per point, or fitted to each segment.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>

#include "hpgl/hpgl.h"
#include "hpgl/look.h"
#include "hpgl/render_state.h"
#include "kro/kro.h"

namespace kro::hpgl {
namespace {

// The per-segment pattern of an adaptive line type: whole patterns fill the
// segment, starting and ending with half a dash.
int32_t adaptiveDashes(int32_t type, double unit, double scale, int32_t w, uint32_t* d) {
    const double u = unit * scale;
    const double v = (unit - w) * scale;
    double first = 0;
    switch (type) {
        case -1:
            first = w + 0.5;
            break;
        case -2:
            first = (u + 1.0) * 0.5;
            break;
        case -3:
            first = u * 0.7 + 0.5;
            break;
        case -4:
            first = v * 0.8 + 0.5;
            break;
        case -5:
            first = u * 0.7 + 0.5;
            break;
        default:
            first = (u + 1.0) * 0.5;
            break;
    }
    const uint32_t half = dashLength((truncToInt(first) / 2) + 0.5);
    const uint32_t g = dashLength(u * 0.1 - 0.5), dot = dashLength(u * 0.1 + 0.5);
    int32_t n = 0;
    d[n++] = half;
    switch (type) {
        case -1:
            d[n++] = dashLength(v + 0.5);
            break;
        case -2:
            d[n++] = dashLength(u * 0.5 - 0.5);
            break;
        case -3:
            d[n++] = dashLength(u * 0.3 - 0.5);
            break;
        case -4:
            d[n++] = dashLength(v * 0.1 - 0.5);
            d[n++] = dashLength(w + 0.5);
            d[n++] = dashLength(v * 0.1 - 0.5);
            break;
        case -5:
            d[n++] = g;
            d[n++] = dot;
            d[n++] = g;
            break;
        default:
            d[n++] = g;
            d[n++] = dot;
            d[n++] = g;
            d[n++] = dot;
            d[n++] = g;
            break;
    }
    d[n++] = half;
    d[n++] = 0;
    return n;
}

}  // namespace

bool PointBuffers::reserve(size_t n) {
    count = 0;
    if (refuse) return false;
    return device.size() >= n || grow(n);
}

bool PointBuffers::append(POINT p, double px, double py) {
    if (count >= device.size() && !grow(count * 2 + 16)) return false;
    device[count] = p;
    x[count] = px;
    y[count] = py;
    ++count;
    return true;
}

bool PointBuffers::grow(size_t n) {
    try {
        device.resize(n);
        x.resize(n);
        y.resize(n);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

int32_t Renderer::movement() {
    const double startX = s.penX, startY = s.penY;
    // The buffers grow with the points; they are kept from command to command.
    if (!points.reserve(1)) return KRO_ERR_NOMEM;
    symbolPoints.clear();
    if (int32_t rc = collectPoints()) return rc;
    strokePoints(startX, startY);
    if (!symbolPoints.empty()) drawSymbols(this, symbolPoints.data(), symbolPoints.size() / 2);
    in.skipParameters();
    return 0;
}

void Renderer::strokePoints(double startX, double startY) {
    if (!dc) return;  // a page before the one drawn
    const POINT start = toDevice(startX, startY);
    if (s.lineType != 0) {
        MoveToEx(dc, start.x, start.y, nullptr);
        const bool adaptive = s.lineType < 0 && nt;
        if (points.count == 0) {
            // nothing to draw
        } else if (adaptive && !(s.patternLength > 0)) {
            drawSolidPolyline(start);  // no pattern to fit
        } else if (!adaptive) {
            drawPolyline(start);
        } else {
            drawAdaptive(start, startX, startY);
        }
    }
}

// Follows the pen through the command's points. A lowered pen keeps them for
// the lines, or draws a dot at each under line type 0.
int32_t Renderer::collectPoints() {
    const int32_t code = s.command;
    double step = 0;
    bool firstGrPoint = true;
    if (code == kGR && !in.atEnd() && !hasClass(in.peek(), kTerminatorBit | kLetterBit)) {
        step = readNumber() * s.map.userScaleX;
        if (!in.atEnd()) ++in.pos;
    }
    static constexpr FieldRules kPairRules{.keep = 40, .skipBlanks = true, .takeFirstByte = true};
    const bool drawing = s.penUp == 0 && !noPen;
    const bool symbols = look && look->symbol;
    while (!in.atEnd() && !hasClass(in.peek(), kTerminatorBit | kLetterBit)) {
        double x, y;
        if (code == kGR) {
            const double fy = readNumber();
            x = firstGrPoint ? s.penX : s.penX + step;
            firstGrPoint = false;
            y = s.map.plotterY(fy);
        } else {
            double fx, fy;
            if (!in.readPair(kPairRules, &fx, &fy)) break;  // an odd coordinate moves nothing
            if (s.relative == 0) {
                x = s.map.plotterX(fx);
                y = s.map.plotterY(fy);
            } else {
                x = s.penX + s.map.offsetX(fx);
                y = s.penY + s.map.offsetY(fy);
            }
        }
        if (drawing) {
            const POINT a = toDevice(s.penX, s.penY);
            const POINT b = toDevice(x, y);
            if (s.lineType == 0)
                dotAt(a, b);
            else if (!points.append(b, x, y))
                return KRO_ERR_NOMEM;
        }
        s.penX = x;
        s.penY = y;
        if (symbols) {
            try {
                symbolPoints.push_back(x);
                symbolPoints.push_back(y);
            } catch (const std::bad_alloc&) {
                return KRO_ERR_NOMEM;
            }
        }
        if (code == kGR) in.skipSeparator();
        if (in.atEnd() || hasClass(in.peek(), kLetterBit)) break;
    }
    return 0;
}

// A dot at b, as long as the pen is wide, reaching back along the direction
// of travel from a.
void Renderer::dotAt(POINT a, POINT b) {
    const double width = devicePenWidth();
    const double dx = double(b.x) - a.x, dy = double(b.y) - a.y;
    const double dist = std::sqrt(dx * dx + dy * dy);
    POINT from = a;
    if (dist > width) {
        from.x = b.x - truncToInt(dx * width / dist + 0.5);
        from.y = b.y - truncToInt(dy * width / dist + 0.5);
    }
    MoveToEx(dc, from.x, from.y, nullptr);
    const POINT e = endPixel(from, b);
    LineTo(dc, e.x, e.y);
}

// The kept points as one line with the selected pen, the last point drawn.
void Renderer::drawPolyline(POINT start) {
    const size_t n = points.count;
    POINT* pts = points.device.data();
    if (n == 1) {
        const POINT e = endPixel(start, pts[0]);
        LineTo(dc, e.x, e.y);
        MoveToEx(dc, pts[0].x, pts[0].y, nullptr);
        return;
    }
    const POINT last = pts[n - 1];
    pts[n - 1] = endPixel(pts[n - 2], last);
    PolylineTo(dc, pts, DWORD(n));
    MoveToEx(dc, last.x, last.y, nullptr);
}

// The same with a solid pen of the moment, the line type's pen kept aside.
void Renderer::drawSolidPolyline(POINT start) {
    const size_t n = points.count;
    POINT* pts = points.device.data();
    HGDIOBJ kept = SelectObject(dc, geometricPen(devicePenWidth(), nullptr, 0));
    const POINT last = pts[n - 1];
    pts[n - 1] = endPixel(n > 1 ? pts[n - 2] : start, last);
    PolylineTo(dc, pts, DWORD(n));
    MoveToEx(dc, last.x, last.y, nullptr);
    if (kept) DeleteObject(SelectObject(dc, kept));
}

// Each segment with a pen of its own, whole patterns fitted to its length.
void Renderer::drawAdaptive(POINT start, double startX, double startY) {
    const size_t n = points.count;
    const POINT* pts = points.device.data();
    const int32_t width = devicePenWidth();
    const int32_t w = penWidthPlotterUnits();
    HGDIOBJ kept = nullptr;  // the pen of SP or LT, selected again at the end
    POINT prev = start;
    for (size_t i = 0; i < n; ++i) {
        const double sx = i == 0 ? startX : points.x[i - 1];
        const double sy = i == 0 ? startY : points.y[i - 1];
        const double len = std::hypot(points.x[i] - sx, points.y[i] - sy);
        const double q = len / s.patternLength;
        const double whole = std::trunc(std::min(q, 1e9));
        double m = whole + std::trunc(q - whole + 0.99);
        if (!(m >= 1)) m = 1;
        uint32_t dashes[8];
        const int32_t count = adaptiveDashes(s.lineType, len / m, s.deviceScale, w, dashes);
        if (HPEN pen = geometricPen(width, dashes, count)) {
            HGDIOBJ old = SelectObject(dc, pen);
            if (!old)
                DeleteObject(pen);
            else if (!kept)
                kept = old;
            else
                DeleteObject(old);
        }
        if (i + 1 < n) {
            LineTo(dc, pts[i].x, pts[i].y);
        } else {
            const POINT e = endPixel(prev, pts[i]);
            LineTo(dc, e.x, e.y);
            MoveToEx(dc, pts[i].x, pts[i].y, nullptr);
        }
        prev = pts[i];
    }
    if (kept) {
        HGDIOBJ last = SelectObject(dc, kept);
        if (last && last != kept) DeleteObject(last);
    }
}

}  // namespace kro::hpgl
