// Circles, arcs, wedges and rectangles: CI, AA, AR, EW, EA, ER. All but the
// arcs draw whether the pen is up or down.
#include <cmath>
#include <utility>

#include "hpgl/hpgl.h"
#include "hpgl/render_state.h"

namespace kro::hpgl {

// The next field of a shape and the separator after it: every field ends at
// any field end, so a short list never runs into the next command.
double Renderer::shapeField() {
    const double v = readNumber();
    in.skipSeparator();
    return v;
}

void Renderer::circle() {
    const double radius = readNumber();
    in.skipParameters();
    if (noPen) return;
    // A negative radius draws the same circle (it starts at the opposite side).
    const double r = std::fabs(radius * s.map.userScaleX);
    double cx = s.penX, cy = s.penY;
    turnQuarters(rotation, &cx, &cy);
    const int32_t left = toDeviceX(cx - r), top = toDeviceY(cy + r);
    const int32_t size = toDeviceLength(2 * r);
    Arc(dc, left, top, left + size, top + size, 0, 0, 0, 0);
}

// A wedge's start point on the circle around the pen: a mirroring user
// mapping mirrors the start angle as it mirrors the sweep, and a negative
// radius starts the wedge on the opposite side. Gives the radius.
double Renderer::wedgeStart(double radius, double angle, double* sx, double* sy) const {
    if (s.map.userScaleX < 0 && s.map.userScaleY < 0)
        angle += 180;
    else if (s.map.userScaleX < 0)
        angle = 180 - angle;
    else if (s.map.userScaleY < 0)
        angle = -angle;
    double r = radius * std::fabs(s.map.userScaleX);
    if (r < 0) {
        r = -r;
        angle += 180;
    }
    const double a = foldAngle(angle) * kRadiansPerDegree;
    *sx = s.penX + r * std::cos(a);
    *sy = s.penY + r * std::sin(a);
    return r;
}

void Renderer::arcOrWedge() {
    const int32_t code = s.command;
    const bool mirrored = s.map.mirrored();
    const double f0 = shapeField();
    const double f1 = shapeField();
    double sweep = readNumber();
    in.skipParameters();
    double cx = s.penX, cy = s.penY, sx, sy, r;
    if (code == kEW) {
        r = wedgeStart(f0, f1, &sx, &sy);
    } else {
        if (code == kAR) {
            cx = s.penX + s.map.offsetX(f0);
            cy = s.penY + s.map.offsetY(f1);
        } else {
            cx = userX(f0);
            cy = userY(f1);
        }
        sx = s.penX;
        sy = s.penY;
        r = std::hypot(sx - cx, sy - cy);
    }
    if (mirrored) sweep = -sweep;

    double ex, ey;
    arcEnd(cx, cy, sx, sy, r, sweep, &ex, &ey);
    if (code != kEW) {
        // AA and AR move the pen along the arc; only a lowered pen draws it.
        s.penX = ex;
        s.penY = ey;
        if (s.penUp != 0) return;
    }
    if (noPen) return;
    double tx = cx, ty = cy;
    turnQuarters(rotation, &tx, &ty);
    const int32_t left = toDeviceX(tx - r), top = toDeviceY(ty + r);
    const int32_t size = toDeviceLength(2 * r);
    POINT a = toDevice(sx, sy), b = toDevice(ex, ey);
    // The device draws counter-clockwise.
    if (sweep < 0) std::swap(a, b);
    const bool samePoint = a.x == b.x && a.y == b.y;
    if (code == kEW) {
        if (std::fabs(sweep) >= 180 || !samePoint) {
            Pie(dc, left, top, left + size, top + size, a.x, a.y, b.x, b.y);
        } else {
            const POINT centre = toDevice(cx, cy);
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
}

void Renderer::rectangle() {
    const double x = shapeField();
    const double y = readNumber();
    in.skipParameters();
    if (noPen) return;
    double cx, cy;
    if (s.command == kER) {
        cx = s.penX + s.map.offsetX(x);
        cy = s.penY + s.map.offsetY(y);
    } else {
        cx = userX(x);
        cy = userY(y);
    }
    double px = s.penX, py = s.penY;
    turnQuarters(rotation, &cx, &cy);
    turnQuarters(rotation, &px, &py);
    const double left = std::fmin(cx, px), top = std::fmax(cy, py);
    const int32_t l = toDeviceX(left), t = toDeviceY(top);
    const int32_t w = toDeviceLength(std::fabs(cx - px));
    const int32_t h = toDeviceLength(std::fabs(cy - py));
    Rectangle(dc, l, t, l + w, t + h);
}

}  // namespace kro::hpgl
