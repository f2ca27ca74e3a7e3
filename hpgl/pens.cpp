// Pens, line types and the movement commands: SP, LT, PU, PD, PA, PR, PC, GR.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <vector>

#include "hpgl/hpgl.h"
#include "hpgl/render_state.h"
#include "kro/fnd.h"
#include "platform/kernel/version.h"

namespace kro::hpgl {
namespace {

// A dash or gap: truncated, and never shorter than one device unit.
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

// The points of one movement command, reused from command to command.
struct PointBuffers {
    std::vector<POINT> device;
    std::vector<double> x, y;
    size_t count = 0;

    bool reserve(size_t n) {
        count = 0;
        if (gRefusePointBuffers) return false;
        return device.size() >= n || grow(n);
    }
    bool append(POINT p, double px, double py) {
        if (count >= device.size() && !grow(count * 2 + 16)) return false;
        device[count] = p;
        x[count] = px;
        y[count] = py;
        ++count;
        return true;
    }
    bool grow(size_t n) {
        try {
            device.resize(n);
            x.resize(n);
            y.resize(n);
        } catch (const std::bad_alloc&) {
            return false;
        }
        return true;
    }
};
PointBuffers gPoints;

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

// An integer field read as atoi reads it, saturating instead of overflowing.
int32_t integerField(const char* text) {
    const long v = std::strtol(text, nullptr, 10);
    return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : int32_t(v);
}

}  // namespace

bool gRefusePointBuffers = false;

bool ntFamily() {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    return GetVersionExA(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

PenStyle& penStyle() {
    static PenStyle style;
    return style;
}

int32_t Renderer::devicePenWidth() const {
    if (s.pen < 1 || s.pen > 8 || !penWidths) return 1;
    const int32_t w = truncToInt(double(penWidths[s.pen - 1] * 40.0f) * s.deviceScale);
    return w < 1 ? 1 : w;
}

int32_t Renderer::penWidthPlotterUnits() const {
    if (s.pen < 1 || s.pen > 8 || !penWidths) return 40;
    return truncToInt(penWidths[s.pen - 1] * 40.0f);
}

void Renderer::selectOwnPen(HPEN pen) {
    if (!pen) return;
    HGDIOBJ old = SelectObject(dc, pen);
    if (!old) {
        DeleteObject(pen);
        return;
    }
    penSelected = true;
    replayMadePen = true;
    if (old != hostPen && old != replayPen) DeleteObject(old);
}

void Renderer::selectPen() {
    char buf[kMaxFieldKeep + 1];
    readField(buf);
    in.skipParameters();
    const int32_t n = integerField(buf);
    s.pen = n >= 1 && n <= 8 ? n : 0;
    noPen = n == 0;
    const int32_t width = devicePenWidth();
    const PenStyle& style = penStyle();
    HPEN pen = nullptr;
    if (style.kind == kDashedPen)
        pen = dashedPen(width, style.dashes, style.dashCount);
    else if (style.kind == kFallbackPen)
        pen = CreatePen(style.fallbackStyle, width, 0);
    else
        pen = CreatePen(PS_SOLID, width, 0);
    selectOwnPen(pen);
}

void Renderer::setLineType() {
    // The type is an integer field (digits up to any other byte), the length a number.
    double f[2] = {};
    int count = 0;
    int32_t type = 10;
    if (!in.atFieldEnd()) {
        char buf[kMaxFieldKeep + 1];
        readField(buf);
        type = integerField(buf);
        in.skipSeparator();
        ++count;
        if (!in.atFieldEnd()) {
            f[1] = readNumber();
            in.skipSeparator();
            ++count;
        }
    }
    in.skipParameters();
    if (type < -6 || type > 6) type = 10;
    s.lineType = type;
    const double percent = count == 2 && f[1] > 0 && f[1] <= 100.0 ? f[1] : 4.0;
    s.patternLength = std::hypot((s.map.p2X - s.map.p1X) * percent * 0.01,
                                 (s.map.p2Y - s.map.p1Y) * percent * 0.01);

    PenStyle& style = penStyle();
    const double k = s.deviceScale;
    const double u = s.patternLength * k;
    const int32_t w = penWidthPlotterUnits();
    const double v = (s.patternLength - w) * k;
    uint32_t* d = style.dashes;
    int32_t n = style.dashCount;
    switch (type < 0 ? -type : type) {
        case 1:
            if (nt) d[0] = dashLength(w + 0.5), d[1] = dashLength(v + 0.5);
            n = 2;
            break;
        case 2:
            if (nt) d[0] = dashLength((u + 1.0) * 0.5), d[1] = dashLength(u * 0.5 - 0.5);
            n = 2;
            break;
        case 3:
            if (nt) d[0] = dashLength(u * 0.7 + 0.5), d[1] = dashLength(u * 0.3 - 0.5);
            n = 2;
            break;
        case 4:
            if (nt) {
                d[0] = dashLength(v * 0.8 + 0.5);
                d[2] = dashLength(w + 0.5);
                d[1] = d[3] = dashLength(v * 0.1 - 0.5);
            }
            n = 4;
            break;
        case 5:
            if (nt) {
                d[0] = dashLength(u * 0.7 + 0.5);
                d[2] = dashLength(u * 0.1 + 0.5);
                d[1] = d[3] = dashLength(u * 0.1 - 0.5);
            }
            n = 4;
            break;
        case 6:
            if (nt) {
                d[0] = dashLength((u + 1.0) * 0.5);
                d[2] = d[4] = dashLength(u * 0.1 + 0.5);
                d[1] = d[3] = d[5] = dashLength(u * 0.1 - 0.5);
            }
            n = 6;
            break;
        default:
            break;  // 0 and 10 keep the array
    }
    if (nt && type <= -2) {
        // Adaptive patterns begin and end with half a dash.
        d[n] = d[0] - d[0] / 2;
        d[n + 1] = 0;
        d[0] /= 2;
        n += 2;
    }
    if (nt) style.dashCount = n;

    const int32_t width = devicePenWidth();
    style.kind = kPlainPen;
    HPEN pen = nullptr;
    if (type == 0 || type == 10) {
        pen = nt ? solidGeometricPen(width) : CreatePen(PS_SOLID, width, 0);
    } else if (nt) {
        style.kind = kDashedPen;
        pen = dashedPen(width, style.dashes, style.dashCount);
    } else {
        static constexpr int32_t kFallback[7] = {0,        PS_DOT,     PS_DASH,      PS_DASH,
                                                 PS_SOLID, PS_DASHDOT, PS_DASHDOTDOT};
        const int32_t standard = kFallback[type < 0 ? -type : type];
        if (standard == PS_SOLID) {
            pen = CreatePen(PS_SOLID, 1, 0);
        } else {
            style.kind = kFallbackPen;
            style.fallbackStyle = standard;
            pen = CreatePen(standard, 1, 0);
        }
    }
    selectOwnPen(pen);
}

int32_t Renderer::movement() {
    const int32_t code = s.command;
    const double startX = s.penX, startY = s.penY;
    const POINT start{toDeviceX(startX), toDeviceY(startY)};
    // The buffers grow with the points; they are kept from command to command.
    if (!gPoints.reserve(1)) {
        fndErrorStatus = KRO_ERR_NOMEM;
        return -1;
    }

    double step = 0;
    bool firstGrPoint = true;
    if (code == kGR && !in.atEnd() && !hasClass(in.peek(), kTerminatorBit | kLetterBit)) {
        step = readNumber() * s.map.userScaleX;
        if (!in.atEnd()) ++in.pos;
    }
    static constexpr FieldRules kPairRules{.keep = 40, .skipBlanks = true, .takeFirstByte = true};
    const bool drawing = s.penUp == 0 && !noPen;
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
            const POINT a{toDeviceX(s.penX), toDeviceY(s.penY)};
            const POINT b{toDeviceX(x), toDeviceY(y)};
            if (s.lineType != 0) {
                if (!gPoints.append(b, x, y)) {
                    fndErrorStatus = KRO_ERR_NOMEM;
                    return -1;
                }
            } else {
                // A dot at the point, as long as the pen is wide, reaching
                // back along the direction of travel.
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
        }
        s.penX = x;
        s.penY = y;
        if (code == kGR) in.skipSeparator();
        if (in.atEnd() || hasClass(in.peek(), kLetterBit)) break;
    }
    if (s.lineType == 0) {
        in.skipParameters();
        return 0;
    }

    MoveToEx(dc, start.x, start.y, nullptr);
    const size_t n = gPoints.count;
    POINT* pts = gPoints.device.data();
    const bool adaptive = s.lineType < 0 && nt;
    if (n == 0) {
        // nothing to draw
    } else if (adaptive && !(s.patternLength > 0)) {
        // No pattern to fit: the segments are drawn solid.
        HGDIOBJ kept = SelectObject(dc, solidGeometricPen(devicePenWidth()));
        const POINT last = pts[n - 1];
        pts[n - 1] = endPixel(n > 1 ? pts[n - 2] : start, last);
        PolylineTo(dc, pts, DWORD(n));
        MoveToEx(dc, last.x, last.y, nullptr);
        if (kept) DeleteObject(SelectObject(dc, kept));
    } else if (!adaptive) {
        if (n == 1) {
            const POINT e = endPixel(start, pts[0]);
            LineTo(dc, e.x, e.y);
            MoveToEx(dc, pts[0].x, pts[0].y, nullptr);
        } else {
            const POINT last = pts[n - 1];
            pts[n - 1] = endPixel(pts[n - 2], last);
            PolylineTo(dc, pts, DWORD(n));
            MoveToEx(dc, last.x, last.y, nullptr);
        }
    } else {
        const int32_t width = devicePenWidth();
        const int32_t w = penWidthPlotterUnits();
        HGDIOBJ kept = nullptr;  // the pen of SP or LT, selected again at the end
        POINT prev = start;
        for (size_t i = 0; i < n; ++i) {
            const double sx = i == 0 ? startX : gPoints.x[i - 1];
            const double sy = i == 0 ? startY : gPoints.y[i - 1];
            const double len = std::hypot(gPoints.x[i] - sx, gPoints.y[i] - sy);
            const double q = len / s.patternLength;
            const double whole = std::trunc(std::min(q, 1e9));
            double m = whole + std::trunc(q - whole + 0.99);
            if (!(m >= 1)) m = 1;
            uint32_t dashes[8];
            const int32_t count = adaptiveDashes(s.lineType, len / m, s.deviceScale, w, dashes);
            if (HPEN pen = dashedPen(width, dashes, count)) {
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
    in.skipParameters();
    return 0;
}

}  // namespace kro::hpgl
