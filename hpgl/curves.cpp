// The paths of PE, BZ, BR, AT and RT, read alike by both passes.
#include "hpgl/curves.h"

#include <cmath>
#include <numbers>

#include "hpgl/encoded_polyline.h"

namespace kro::hpgl {
namespace {

// A plotter has no CT default but this one, and CI's.
constexpr double kDefaultChordAngle = 5.0;
constexpr int32_t kMaxArcSegments = 720;
constexpr double kDegrees = 180 / std::numbers::pi;

int readNumbers(Stream& s, const FieldRules& rules, double* v, int max) {
    int n = 0;
    while (n < max && !s.atFieldEnd()) {
        const Stream::Span f = s.scanField(rules);
        v[n++] = fieldValue(f.data, f.kept);
        s.skipSeparator();
    }
    return n;
}

struct Walk {
    PathSink sink;
    void* context;
    PathResult pen;

    void to(double x, double y, bool draw) {
        sink(context, {draw ? PathStep::kDraw : PathStep::kMove, 0, x, y});
        pen.penX = x;
        pen.penY = y;
    }
};

// PE numbers are in the current units: user units while scaling is on.
double toUser(double v, double p1, double userMin, double scale) {
    const double u = (v - p1) / scale + userMin;
    return std::isfinite(u) ? u : 0.0;
}

struct EncodedWalk {
    Walk* walk;
    const UserMapping* map;
    bool moved = false;
    bool lastDrawn = false;
};

void encodedStep(void* context, const EncodedPolylineEvent& e) {
    auto* w = static_cast<EncodedWalk*>(context);
    if (e.kind == EncodedPolylineEvent::kSelectPen) {
        w->walk->sink(w->walk->context, {PathStep::kSelectPen, e.pen, 0, 0});
        return;
    }
    const bool draw = e.kind == EncodedPolylineEvent::kDraw;
    w->walk->to(w->map->plotterX(e.x), w->map->plotterY(e.y), draw);
    w->moved = true;
    w->lastDrawn = draw;
}

void encoded(Stream& s, const PathRequest& q, Walk& w) {
    const UserMapping& m = *q.map;
    EncodedPolylineState state;  // fractional bits start at 0 for every PE
    state.x = toUser(q.penX, m.p1X, m.userMinX, m.userScaleX);
    state.y = toUser(q.penY, m.p1Y, m.userMinY, m.userScaleY);
    EncodedWalk ew{&w, &m};
    const size_t left = s.pos < s.length ? s.length - s.pos : 0;
    const EncodedPolylineResult r =
        decodeEncodedPolyline(s.text + s.pos, left, state, encodedStep, &ew);
    s.pos += r.consumed;
    if (ew.moved) w.pen.penUp = !ew.lastDrawn;
}

void bezier(int32_t code, Stream& s, const PathRequest& q, Walk& w) {
    const UserMapping& m = *q.map;
    double f[6];
    while (readNumbers(s, q.rules, f, 6) == 6) {
        double x[4] = {w.pen.penX}, y[4] = {w.pen.penY};
        for (int i = 0; i < 3; ++i) {
            if (code == kBR) {
                x[i + 1] = x[0] + m.offsetX(f[2 * i]);
                y[i + 1] = y[0] + m.offsetY(f[2 * i + 1]);
            } else {
                x[i + 1] = m.plotterX(f[2 * i]);
                y[i + 1] = m.plotterY(f[2 * i + 1]);
            }
        }
        if (w.pen.penUp) {
            w.to(x[3], y[3], false);
            continue;
        }
        const int32_t n = bezierSegments(x, y, q.flatness);
        for (int32_t i = 1; i < n; ++i) {
            const double t = double(i) / n, u = 1 - t;
            const double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
            w.to(a * x[0] + b * x[1] + c * x[2] + d * x[3], a * y[0] + b * y[1] + c * y[2] + d * y[3],
                 true);
        }
        w.to(x[3], y[3], true);
    }
}

void threePoint(int32_t code, Stream& s, const PathRequest& q, Walk& w) {
    const UserMapping& m = *q.map;
    double f[5];
    const int n = readNumbers(s, q.rules, f, 5);
    if (n < 4) return;
    const double sx = w.pen.penX, sy = w.pen.penY;
    double ix, iy, ex, ey;
    if (code == kRT) {
        ix = sx + m.offsetX(f[0]), iy = sy + m.offsetY(f[1]);
        ex = sx + m.offsetX(f[2]), ey = sy + m.offsetY(f[3]);
    } else {
        ix = m.plotterX(f[0]), iy = m.plotterY(f[1]);
        ex = m.plotterX(f[2]), ey = m.plotterY(f[3]);
    }
    double cx, cy, r, sweep;
    if (w.pen.penUp || !threePointArc(sx, sy, ix, iy, ex, ey, &cx, &cy, &r, &sweep)) {
        w.to(ex, ey, !w.pen.penUp);
        return;
    }
    int32_t mode = 0;
    double tolerance = kDefaultChordAngle;
    if (n == 5) {
        mode = q.settings.chordMode;
        tolerance = mode == 1 ? f[4] * std::fabs(m.userScaleX) : f[4];
    }
    const int32_t segments = arcSegments(r, sweep, mode, tolerance);
    const double a0 = std::atan2(sy - cy, sx - cx);
    const double step = sweep / kDegrees / segments;
    for (int32_t i = 1; i < segments; ++i)
        w.to(cx + r * std::cos(a0 + step * i), cy + r * std::sin(a0 + step * i), true);
    w.to(ex, ey, true);
}

}  // namespace

PathResult readPath(int32_t code, Stream& s, const PathRequest& q, PathSink sink, void* context) {
    Walk w{sink, context, {q.penX, q.penY, q.penUp}};
    switch (code) {
        case kPE:
            encoded(s, q, w);
            return w.pen;  // PE ends at its ';'
        case kBZ:
        case kBR:
            bezier(code, s, q, w);
            break;
        case kAT:
        case kRT:
            threePoint(code, s, q, w);
            break;
        default:
            break;
    }
    s.skipParameters();
    return w.pen;
}

void setChordMode(Stream& s, CurveSettings* settings) {
    double f = 0;
    const int n = s.readFields(&f, 1);
    s.skipParameters();
    settings->chordMode = n == 1 && f == 1 ? 1 : 0;
}

int32_t bezierSegments(const double* x, const double* y, double flatness) {
    // Chords of n equal steps stray at most |B''| / (8 n^2), and |B''| is at
    // most 6 times the larger second difference of the control points.
    const double d1 = std::hypot(x[0] - 2 * x[1] + x[2], y[0] - 2 * y[1] + y[2]);
    const double d2 = std::hypot(x[1] - 2 * x[2] + x[3], y[1] - 2 * y[2] + y[3]);
    const double tol = flatness > 0 ? flatness : 0.5;
    const double n = std::ceil(std::sqrt(0.75 * std::fmax(d1, d2) / tol));
    if (!(n >= 1)) return 1;
    return n > kMaxCurveSegments ? kMaxCurveSegments : int32_t(n);
}

int32_t arcSegments(double r, double sweepDegrees, int32_t chordMode, double tolerance) {
    double angle = tolerance;
    if (chordMode == 1) {
        if (!(tolerance > 0))
            angle = kDefaultChordAngle;
        else if (tolerance >= r)
            angle = 180;
        else
            angle = 2 * std::acos(1 - tolerance / r) * kDegrees;
    }
    if (!(angle >= 0.5)) angle = 0.5;  // NaN too
    if (angle > 180) angle = 180;
    const double n = std::ceil(std::fabs(sweepDegrees) / angle);
    if (!(n >= 1)) return 1;
    return n > kMaxArcSegments ? kMaxArcSegments : int32_t(n);
}

bool threePointArc(double sx, double sy, double ix, double iy, double ex, double ey, double* cx,
                   double* cy, double* r, double* sweep) {
    const double bx = ix - sx, by = iy - sy, ccx = ex - sx, ccy = ey - sy;
    const double b2 = bx * bx + by * by, c2 = ccx * ccx + ccy * ccy;
    if (!(b2 > 0) || !std::isfinite(b2) || !std::isfinite(c2)) return false;
    if (c2 == 0) {
        // Back to the start: a whole turn, the second point across it.
        *cx = sx + bx / 2, *cy = sy + by / 2;
        *r = std::sqrt(b2) / 2;
        *sweep = 360;
        return true;
    }
    const double cross = bx * ccy - by * ccx;
    if (std::fabs(cross) <= 1e-9 * std::sqrt(b2 * c2)) return false;
    if (ix == ex && iy == ey) return false;
    const double d = 2 * cross;
    const double ux = (ccy * b2 - by * c2) / d, uy = (bx * c2 - ccx * b2) / d;
    *cx = sx + ux, *cy = sy + uy;
    *r = std::hypot(ux, uy);
    auto ccw = [&](double px, double py) {
        const double a = (std::atan2(py - *cy, px - *cx) - std::atan2(-uy, -ux)) * kDegrees;
        return a < 0 ? a + 360 : a;
    };
    const double toEnd = ccw(ex, ey);
    *sweep = ccw(ix, iy) < toEnd ? toEnd : toEnd - 360;
    return true;
}

}  // namespace kro::hpgl
