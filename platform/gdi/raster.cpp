// Scan conversion of strokes: quads for segments and dashes, discs for round
// caps and joins, triangles and quads for bevels and mitres.
#include "raster.h"

#include <algorithm>
#include <cmath>

namespace krogdi {

namespace {

constexpr double kMiterLimit = 10;  // GDI's and Cairo's default

// The pixel index whose centre is the first at or after v, clamped to [lo, hi].
int32_t firstCentre(double v, int32_t lo, int32_t hi) {
    const double i = std::ceil(v - 0.5);
    return i < lo ? lo : i > hi ? hi : int32_t(i);
}

void fillSpan(const Canvas& c, int32_t y, double xl, double xr) {
    const int32_t x0 = firstCentre(xl, c.left, c.right), x1 = firstCentre(xr, c.left, c.right);
    uint32_t* row = c.pixels + size_t(y) * c.stride;
    std::fill(row + x0, row + std::max(x0, x1), c.colour);
}

// A convex polygon of three or four corners: the pixels whose centres lie
// inside (edges half open).
void fillConvex(const Canvas& c, const Vec* p, int n) {
    struct Edge {
        double lo, hi, x, y, slope;  // crosses the rows lo <= yc < hi
    } edges[4];
    int m = 0;
    double ymin = p[0].y, ymax = p[0].y;
    for (int i = 0; i < n; ++i) {
        const Vec a = p[i], b = p[(i + 1) % n];
        ymin = std::min(ymin, a.y), ymax = std::max(ymax, a.y);
        if (a.y == b.y) continue;  // a level edge crosses no row
        edges[m++] = {std::min(a.y, b.y), std::max(a.y, b.y), a.x, a.y, (b.x - a.x) / (b.y - a.y)};
    }
    const int32_t y0 = firstCentre(ymin, c.top, c.bottom), y1 = firstCentre(ymax, c.top, c.bottom);
    for (int32_t y = y0; y < y1; ++y) {
        const double yc = y + 0.5;
        double xl = HUGE_VAL, xr = -HUGE_VAL;
        for (int i = 0; i < m; ++i) {
            const Edge& e = edges[i];
            if (yc < e.lo || yc >= e.hi) continue;  // edge not crossing this row
            const double x = e.x + (yc - e.y) * e.slope;
            xl = std::min(xl, x), xr = std::max(xr, x);
        }
        if (xl < xr) fillSpan(c, y, xl, xr);
    }
}

void fillDisc(const Canvas& c, Vec centre, double r) {
    const int32_t y0 = firstCentre(centre.y - r, c.top, c.bottom);
    const int32_t y1 = firstCentre(centre.y + r, c.top, c.bottom);
    for (int32_t y = y0; y < y1; ++y) {
        const double dy = y + 0.5 - centre.y, h = std::sqrt(std::max(0.0, r * r - dy * dy));
        fillSpan(c, y, centre.x - h, centre.x + h);
    }
}

Vec along(Vec a, Vec d, double t) {
    return {a.x + d.x * t, a.y + d.y * t};
}

class Stroker {
  public:
    Stroker(const Canvas& c, const Pen& p) : c_(c), pen_(p), h_(p.width / 2) {
        for (double d : p.dashes) period_ += d;
        dashed_ = period_ > 0;
        on_ = true;
        left_ = dashed_ ? p.dashes[0] : HUGE_VAL;
    }

    // A piece of a segment from a to b (unit direction d), capped where asked.
    void piece(Vec a, Vec b, Vec d, bool capStart, bool capEnd) {
        if (capStart) cap(a, d, -1);
        if (capEnd) cap(b, d, 1);
        fillBand(a, b, d);
    }

    // The pen's width around the segment from a to b (unit direction d).
    void fillBand(Vec a, Vec b, Vec d) {
        const Vec n{-d.y * h_, d.x * h_};
        const Vec quad[4] = {{a.x + n.x, a.y + n.y},
                             {b.x + n.x, b.y + n.y},
                             {b.x - n.x, b.y - n.y},
                             {a.x - n.x, a.y - n.y}};
        fillConvex(c_, quad, 4);
    }

    void cap(Vec p, Vec d, double sign) {
        if (pen_.endCap == PS_ENDCAP_ROUND) {
            fillDisc(c_, p, h_);
        } else if (pen_.endCap == PS_ENDCAP_SQUARE) {
            fillBand(p, along(p, d, sign * h_), d);
        }
    }

    void join(Vec v, Vec d1, Vec d2) {
        const double cross = d1.x * d2.y - d1.y * d2.x;
        if (cross == 0) return;
        if (pen_.join == PS_JOIN_ROUND) return fillDisc(c_, v, h_);
        const double s = cross > 0 ? -1 : 1;  // the outer side
        const Vec n1{-d1.y, d1.x}, n2{-d2.y, d2.x};
        const Vec a{v.x + s * h_ * n1.x, v.y + s * h_ * n1.y};
        const Vec b{v.x + s * h_ * n2.x, v.y + s * h_ * n2.y};
        const double cosTurn = n1.x * n2.x + n1.y * n2.y;  // cos of the turn between segments
        // mitre length / width = 1 / sin(inner angle / 2) = sqrt(2 / (1 + cos turn))
        if (pen_.join == PS_JOIN_MITER && 1 + cosTurn > 2 / (kMiterLimit * kMiterLimit)) {
            const double k = s * h_ / (1 + cosTurn);
            const Vec m{v.x + k * (n1.x + n2.x), v.y + k * (n1.y + n2.y)};
            const Vec quad[4] = {v, a, m, b};
            fillConvex(c_, quad, 4);
        } else {
            const Vec tri[3] = {v, a, b};
            fillConvex(c_, tri, 3);
        }
    }

    // Moves the dash state on by length without drawing.
    void skip(double length) {
        if (!dashed_ || length <= 0) return;
        length = std::fmod(length, period_);
        while (length > 0) {
            if (length < left_) {
                left_ -= length;
                return;
            }
            length -= left_;
            next();
        }
    }

    void next() {
        index_ = (index_ + 1) % pen_.dashes.size();
        on_ = !on_;
        left_ = pen_.dashes[index_];
    }

    void run(const std::vector<Vec>& pts);

  private:
    // The part [t0, t1] of the segment from a to b (length len) that can touch the canvas.
    bool visible(Vec a, Vec d, double len, double* t0, double* t1) const {
        const double m = h_ + 2;
        const double lo[2] = {c_.left - m, c_.top - m}, hi[2] = {c_.right + m, c_.bottom + m};
        const double p[2] = {a.x, a.y}, q[2] = {d.x, d.y};
        *t0 = 0, *t1 = len;
        for (int k = 0; k < 2; ++k) {
            if (q[k] == 0) {
                if (p[k] < lo[k] || p[k] > hi[k]) return false;
                continue;
            }
            double ta = (lo[k] - p[k]) / q[k], tb = (hi[k] - p[k]) / q[k];
            if (ta > tb) std::swap(ta, tb);
            *t0 = std::max(*t0, ta), *t1 = std::min(*t1, tb);
        }
        return *t0 <= *t1;
    }

    const Canvas& c_;
    const Pen& pen_;
    double h_;
    double period_ = 0;
    bool dashed_ = false;
    bool on_ = true;
    double left_ = 0;  // length left in the current dash or gap
    size_t index_ = 0;
};

void Stroker::run(const std::vector<Vec>& pts) {
    // Segments with length, their unit directions and lengths.
    const size_t n = pts.size();
    Vec prevDir{0, 0};
    bool havePrev = false;
    size_t last = 0;
    for (size_t i = 1; i < n; ++i)
        if (pts[i].x != pts[i - 1].x || pts[i].y != pts[i - 1].y) last = i;
    bool first = true;
    for (size_t i = 1; i <= last; ++i) {
        const Vec a = pts[i - 1], b = pts[i];
        const double len = std::hypot(b.x - a.x, b.y - a.y);
        if (len == 0) continue;
        const Vec d{(b.x - a.x) / len, (b.y - a.y) / len};
        const bool lastSegment = i == last;
        if (havePrev && (!dashed_ || on_)) join(a, prevDir, d);
        if (!dashed_) {
            piece(a, b, d, first, lastSegment);
        } else {
            double t0, t1;
            if (!visible(a, d, len, &t0, &t1)) {
                skip(len);
            } else {
                skip(t0);
                double t = t0;
                while (t < t1) {
                    const double step = std::min(left_, t1 - t);
                    if (on_) {
                        const bool begins = left_ == pen_.dashes[index_];
                        const bool ends = step == left_ || (lastSegment && t + step >= len);
                        piece(along(a, d, t), along(a, d, t + step), d, begins, ends);
                    }
                    t += step;
                    if (step == left_) {
                        next();
                    } else {
                        left_ -= step;
                    }
                }
                skip(len - t1);
            }
        }
        prevDir = d, havePrev = true, first = false;
    }
}

}  // namespace

void strokePolyline(const Canvas& canvas, const Pen& pen, const std::vector<Vec>& points) {
    if (canvas.left >= canvas.right || canvas.top >= canvas.bottom || points.size() < 2) return;
    Stroker(canvas, pen).run(points);
}

}  // namespace krogdi
