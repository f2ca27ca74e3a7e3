// Circles, arcs, wedges and rectangles: CI, AA, AR, EW, EA, ER. They draw
// whether the pen is up or down.
#include <cmath>
#include <utility>

#include "hpgl/hpgl.h"
#include "hpgl/render_state.h"

namespace kro::hpgl {
namespace {

// The plot's own angle constants, kept so arcs end where they always did.
constexpr double kDegreesPerRadian = 57.29577866666166;
constexpr double kRadiansPerDegree = 0.01745329277777778;
constexpr double kPi = 3.1415927;

// The angle in degrees from the centre to a point at distance r.
double startAngle(double cx, double cy, double sx, double sy, double r) {
    double sine = r != 0 ? (sy - cy) / r : 0;
    if (!(sine >= -1)) sine = -1;  // NaN too
    if (sine > 1) sine = 1;
    double a = std::asin(sine);
    if (sx - cx < 0) a = a > 0 ? kPi - a : -kPi - a;
    return a * kDegreesPerRadian;
}

}  // namespace

void Renderer::circle() {
    const double radius = readNumber();
    in.skipParameters();
    // A negative radius draws the same circle (it starts at the opposite side).
    const double r = std::fabs(radius * s.userScaleX);
    const int32_t left = toDeviceX(s.penX - r), top = toDeviceY(s.penY + r);
    const int32_t size = toDeviceLength(2 * r);
    Arc(dc, left, top, left + size, top + size, 0, 0, 0, 0);
}

void Renderer::arcOrWedge() {
    const int32_t code = s.command;
    const bool mirrored = s.userScaleX * s.userScaleY < 0;
    double cx, cy, sx, sy, r, sweep;
    if (code == kEW) {
        double radius = readNumber(true);
        stepOverByte();
        double angle = readNumber(true);
        stepOverByte();
        sweep = readNumber();
        in.skipParameters();
        cx = s.penX;
        cy = s.penY;
        // A mirroring user mapping mirrors the start angle as it mirrors the sweep.
        if (s.userScaleX < 0 && s.userScaleY < 0)
            angle += 180;
        else if (s.userScaleX < 0)
            angle = 180 - angle;
        else if (s.userScaleY < 0)
            angle = -angle;
        r = radius * std::fabs(s.userScaleX);
        if (r < 0) {
            // A negative radius starts the wedge on the opposite side.
            r = -r;
            angle += 180;
        }
        for (int guard = 0; std::fabs(angle) > 360 && guard < 4096; ++guard)
            angle += angle < 0 ? 360 : -360;
        if (std::fabs(angle) > 360) angle = std::fmod(angle, 360.0);
        const double a = angle * kRadiansPerDegree;
        sx = cx + r * std::cos(a);
        sy = cy + r * std::sin(a);
    } else {
        const double x = readNumber(true);
        stepOverByte();
        const double y = readNumber(true);
        stepOverByte();
        sweep = readNumber();
        in.skipParameters();
        cx = userX(x);
        cy = userY(y);
        if (code == kAR) {
            cx += s.penX;
            cy += s.penY;
        }
        sx = s.penX;
        sy = s.penY;
        r = std::hypot(sx - cx, sy - cy);
    }
    if (mirrored) sweep = -sweep;

    const int32_t left = toDeviceX(cx - r), top = toDeviceY(cy + r);
    const int32_t size = toDeviceLength(2 * r);
    double ex = sx, ey = sy;
    if (!(std::fabs(sweep) >= 360)) {
        double e = startAngle(cx, cy, sx, sy, r) + sweep;
        if (e > 360) e = std::fmod(e, 360.0);
        ex = cx + r * std::cos(e * kRadiansPerDegree);
        ey = cy + r * std::sin(e * kRadiansPerDegree);
    }
    POINT a{toDeviceX(sx), toDeviceY(sy)}, b{toDeviceX(ex), toDeviceY(ey)};
    // The device draws counter-clockwise.
    if (sweep < 0) std::swap(a, b);
    const bool samePoint = a.x == b.x && a.y == b.y;
    if (code == kEW) {
        if (std::fabs(sweep) >= 180 || !samePoint) {
            Pie(dc, left, top, left + size, top + size, a.x, a.y, b.x, b.y);
        } else {
            const POINT centre{toDeviceX(cx), toDeviceY(cy)};
            MoveToEx(dc, centre.x, centre.y, nullptr);
            const POINT e = endPixel(centre, a);
            LineTo(dc, e.x, e.y);
        }
        return;
    }
    if (std::fabs(sweep) < 180 && samePoint) {
        MoveToEx(dc, a.x, a.y, nullptr);
        LineTo(dc, a.x + 1, a.y + 1);
    } else {
        Arc(dc, left, top, left + size, top + size, a.x, a.y, b.x, b.y);
    }
    s.penX = ex;
    s.penY = ey;
}

void Renderer::rectangle() {
    const double x = readNumber(true);
    stepOverByte();
    const double y = readNumber();
    in.skipParameters();
    double cx = userX(x), cy = userY(y);
    if (s.command == kER) {
        cx += s.penX;
        cy += s.penY;
    }
    const double left = std::fmin(cx, s.penX), top = std::fmax(cy, s.penY);
    const int32_t l = toDeviceX(left), t = toDeviceY(top);
    const int32_t w = toDeviceLength(std::fabs(cx - s.penX));
    const int32_t h = toDeviceLength(std::fabs(cy - s.penY));
    Rectangle(dc, l, t, l + w, t + h);
}

}  // namespace kro::hpgl
