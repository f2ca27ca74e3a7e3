// The Cairo device's geometry before Cairo sees it: lines and polygons cut to
// the box Cairo's fixed point can hold, and the pixel steps of lines.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "cairo_device.h"

namespace krogdi {

bool inSafeBox(POINT p) {
    return std::abs(double(p.x)) < kSafe && std::abs(double(p.y)) < kSafe;
}

bool clipSegment(Pt* a, Pt* b, double lo, double hiX, double hiY, double* cut) {
    double t0 = 0, t1 = 1;
    const double dx = b->x - a->x, dy = b->y - a->y;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a->x - lo, hiX - a->x, a->y - lo, hiY - a->y};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1) return false;
    }
    if (cut) *cut = t0 * std::hypot(dx, dy);
    *b = {a->x + t1 * dx, a->y + t1 * dy};
    *a = {a->x + t0 * dx, a->y + t0 * dy};
    return true;
}

std::vector<Pt> clipPolygon(std::vector<Pt> poly) {
    for (int edge = 0; edge < 4 && !poly.empty(); ++edge) {
        auto inside = [edge](Pt p) {
            const double v = edge < 2 ? p.x : p.y;
            return edge % 2 ? v <= kSafe : v >= -kSafe;
        };
        auto cross = [edge](Pt a, Pt b) {
            const double bound = edge % 2 ? kSafe : -kSafe;
            const double t = edge < 2 ? (bound - a.x) / (b.x - a.x) : (bound - a.y) / (b.y - a.y);
            return Pt{a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)};
        };
        std::vector<Pt> out;
        for (size_t i = 0; i < poly.size(); ++i) {
            const Pt a = poly[i], b = poly[(i + 1) % poly.size()];
            if (inside(a)) out.push_back(a);
            if (inside(a) != inside(b)) out.push_back(cross(a, b));
        }
        poly.swap(out);
    }
    return poly;
}

Pt majorStep(POINT a, POINT b) {
    const double dx = double(b.x) - a.x, dy = double(b.y) - a.y;
    const double major = std::max(std::abs(dx), std::abs(dy));
    return {dx / major, dy / major};
}

Pt centre(POINT p) {
    return {p.x + 0.5, p.y + 0.5};
}

}  // namespace krogdi
