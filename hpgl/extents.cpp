// Kro_MAX_MIN: one walk over a plot text that finds the least and greatest
// coordinates its drawing reaches, in plotter units.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "core/image.h"
#include "hpgl/geometry.h"
#include "hpgl/hpgl.h"
#include "hpgl/stream.h"

namespace {

using namespace kro::hpgl;

struct Point {
    double x = 0, y = 0;
};

struct Box {
    double xMax = 0, yMax = 0, xMin = 0, yMin = 0;

    void add(Point p) {
        if (p.x > xMax) xMax = p.x;
        if (p.x < xMin) xMin = p.x;
        if (p.y > yMax) yMax = p.y;
        if (p.y < yMin) yMin = p.y;
    }
    static Box at(Point p) { return {p.x, p.y, p.x, p.y}; }
};

bool plotIn(int32_t plot, std::initializer_list<int32_t> types) {
    for (int32_t t : types)
        if (plot == t) return true;
    return false;
}

// The walk's state; a fresh one for every call.
class Extents {
  public:
    Extents(int32_t plot, int32_t ignoreCount, const int32_t* ignoreCodes) : plot_(plot) {
        dvDisabled_ = !plotIn(plot, {5, 11, 12});
        esDisabled_ = !plotIn(plot, {4, 5, 6, 7, 8, 9, 11, 12});
        if (ignoreCodes)
            for (int32_t i = 0; i < ignoreCount; ++i)
                if (ignoreCodes[i] == kIW) ignoreIW_ = true;
        // The paper is chosen from what this walk finds, so P1 and P2 are
        // the plotter's own; they and the label size hold from the start.
        defaultPoints_ = plotterScalingPoints(plot, 0);
        defaultCharSize(plot, defaultPoints_, &defaultCharWidth_, &defaultCharHeight_);
        restoreDefaults(kIN);
    }

    // 0, or the status code of a failing command.
    int32_t walk(Stream& s) {
        while (int32_t code = s.nextCommand()) {
            // The window fixes the extents until IW, IN or DF ends it.
            if (window_ && code != kIW && code != kIN && code != kDF) code = kNoCommand;
            if (int32_t rc = dispatch(s, code)) return rc;
        }
        return 0;
    }

    const Box& box() const { return box_; }

  private:
    int32_t dispatch(Stream& s, int32_t code) {
        switch (code) {
            case kIN:
            case kDF:
                restoreDefaults(code);
                break;
            case kPU:
                penUp_ = true;
                return move(s);
            case kPD:
                penUp_ = false;
                return move(s);
            case kPA:
                relative_ = false;
                return move(s);
            case kPR:
                relative_ = true;
                return move(s);
            case kCI:
                circle(s);
                return 0;
            case kAA:
            case kAR:
            case kWG:
            case kEW:
                return arc(s, code);
            case kRA:
            case kEA:
            case kRR:
            case kER:
                rectangle(s, code);
                return 0;
            case kIP:
                scalingPoints(s);
                return 0;
            case kSC:
                scaling(s);
                return 0;
            case kIW:
                if (ignoreIW_) break;
                window(s);
                return 0;
            case kLB:
            case kBL:
            case kPB:
                label(s, code);
                return 0;
            case kSI:
            case kSR:
            case kSU:
                characterSize(s, code);
                return 0;
            case kSL:
                slant(s);
                return 0;
            case kDI:
            case kDR:
            case kDU:
                direction(s, code);
                return 0;
            case kDV:
                vertical(s);
                return 0;
            case kES:
                extraSpace(s);
                return 0;
            default:
                break;
        }
        s.skipParameters();
        return 0;
    }

    Point user(double x, double y) const { return {map_.plotterX(x), map_.plotterY(y)}; }
    Point offset(Point from, double dx, double dy) const {
        return {from.x + map_.offsetX(dx), from.y + map_.offsetY(dy)};
    }

    // IN: scaling, window, P1 and P2, pen and label settings as a plotter
    // starts; DF keeps P1 and P2. The extents found so far stay.
    void restoreDefaults(int32_t code) {
        if (code == kIN) {
            map_.reset(defaultPoints_);
            p1p2Given_ = 1;
        } else {
            map_.scalingOff();
        }
        window_ = false;
        penUp_ = true;
        relative_ = false;
        charWidth_ = defaultCharWidth_;
        charHeight_ = defaultCharHeight_;
        slant_ = 0;
        run_ = 1.0;
        rise_ = 0.0;
        verticalLabels_ = 0;
        charSpace_ = lineSpace_ = 0;
    }

    // Grows the extents by a shape's box, opening them with it.
    void grow(const Box& b) {
        if (!opened_) {
            open(b);
            return;
        }
        box_.add({b.xMin, b.yMin});
        box_.add({b.xMax, b.yMax});
    }

    void open(const Box& b) {
        if (opened_) return;
        box_ = b;
        opened_ = true;
    }

    int32_t move(Stream& s) {
        bool first = true;
        while (!hasClass(s.peek(), kTerminatorBit | kLetterBit)) {
            double x, y;
            if (!s.readPair(&x, &y)) break;  // an odd coordinate moves nothing
            Point p = relative_ ? offset(pen_, x, y) : user(x, y);
            if (!penUp_) {
                open(Box::at(p));
                if (first) box_.add(pen_);
                box_.add(p);
            }
            first = false;
            pen_ = p;
        }
        s.skipParameters();
        return 0;
    }

    // The box of a circle, whatever the pen state and the sign of the radius.
    void circle(Stream& s) {
        double radius = 0;
        s.readFields(&radius, 1);
        s.skipParameters();
        double r = std::fabs(radius * map_.userScaleX);
        Box b = Box::at({pen_.x - r, pen_.y - r});
        b.add({pen_.x + r, pen_.y + r});
        grow(b);
    }

    void rectangle(Stream& s, int32_t code) {
        double x = 0, y = 0;
        s.readPair(&x, &y);
        s.skipParameters();
        Point corner = code == kRR || code == kER ? offset(pen_, x, y) : user(x, y);
        Box b = Box::at(pen_);
        b.add(corner);
        grow(b);
    }

    int32_t arc(Stream& s, int32_t code) {
        double f[3] = {};
        for (double& v : f) {
            if (s.atFieldEnd()) break;
            Stream::Span field = s.scanField(FieldRules{});
            v = fieldValue(field.data, field.kept);
            s.skipSeparator();
        }
        s.skipParameters();
        double sweep = f[2];
        if (map_.mirrored()) sweep = -sweep;

        Point centre;
        double radius, start;
        if (code == kAA || code == kAR) {
            centre = code == kAR ? offset(pen_, f[0], f[1]) : user(f[0], f[1]);
            const double exact = std::hypot(pen_.x - centre.x, pen_.y - centre.y);
            radius = std::trunc(exact);
            start = arcStartDegrees(centre.x, centre.y, pen_.x, pen_.y, radius);
            // The pen moves along the arc; only a lowered pen draws it.
            Point end;
            arcEnd(centre.x, centre.y, pen_.x, pen_.y, exact, sweep, &end.x, &end.y);
            const bool drawn = !penUp_;
            pen_ = end;
            if (!drawn) return 0;
        } else {
            centre = pen_;
            radius = f[0] * std::fabs(map_.userScaleX);
            start = foldAngle(f[1]);
            if (start < 0) start += 360;
            if (start >= 360) start -= 360;
        }

        Box b = arcBox(centre, radius, start, sweep);
        if (code == kWG || code == kEW) b.add(centre);
        grow(b);
        return 0;
    }

    // Into -360..360 as repeated steps of 360 would bring it, without the
    // steps: a huge angle would take forever and an infinite one never ends
    // (it becomes NaN here).
    static double foldAngle(double a) {
        if (!(std::fabs(a) > 360)) return a;
        double r = std::fmod(a, 360.0);
        return r == 0 ? std::copysign(360.0, a) : r;
    }

    static Point onCircle(Point c, double radius, double degrees) {
        double t = degrees * kRadiansPerDegree;
        return {c.x + radius * std::cos(t), c.y + radius * std::sin(t)};
    }

    // The box of the arc from start through sweep degrees: its end points and
    // every quarter point between them.
    static Box arcBox(Point c, double radius, double start, double sweep) {
        Box b = Box::at(onCircle(c, radius, start));
        double end = start + sweep;
        b.add(onCircle(c, radius, end));
        double lo = std::fmin(start, end), hi = std::fmax(start, end);
        bool fullTurn = std::fabs(sweep) >= 360;
        static constexpr Point kQuarter[4] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
        // start is in 0..360 and |sweep| below 360 here, so the quarters of
        // -360 to 720 cover every angle between them.
        for (int k = -4; k <= 8; ++k) {
            double q = 90.0 * k;
            if (fullTurn || (lo < q && q < hi)) {
                const Point& u = kQuarter[(k + 8) % 4];
                b.add({c.x + radius * u.x, c.y + radius * u.y});
            }
        }
        return b;
    }

    void scalingPoints(Stream& s) {
        double p[4];
        int n = s.readFields(p, 4);
        s.skipParameters();
        map_.setPoints(p, n, &p1p2Given_);
    }

    void scaling(Stream& s) {
        double p[4];
        int n = s.readFields(p, 4);
        s.skipParameters();
        map_.setScaling(p, n, p1p2Given_);
    }

    void window(Stream& s) {
        double p[4];
        int n = s.readFields(p, 4);
        s.skipParameters();
        if (n != 4) {
            window_ = false;
            return;
        }
        window_ = true;
        Point a{p[0], p[1]}, b{p[2], p[3]};
        if (plotIn(plot_, {4, 5, 6, 7, 8, 9, 10, 14, 15, 31})) {
            a = user(a.x, a.y);
            b = user(b.x, b.y);
        }
        open(Box::at(a));
        box_.add(a);
        box_.add(b);
    }

    void label(Stream& s, int32_t code) {
        if (code == kLB || code == kBL) {
            labelLength_ = 0;
            while (!s.atEnd() && s.text[s.pos] != '\x03') {
                if (labelLength_ < kLabelBytes) ++labelLength_;
                ++s.pos;
            }
            if (!s.atEnd()) ++s.pos;  // the ETX
            if (code == kBL) return;
        } else {
            s.skipParameters();
        }
        double n = double(labelLength_);
        double d = std::sqrt(run_ * run_ + rise_ * rise_);
        double cosine = 1, sine = 0;
        if (run_ != 0 || rise_ != 0) {
            cosine = run_ / d;
            sine = rise_ / d;
        }
        Point origin = pen_;
        Point corners[3];
        if (!dvDisabled_ && verticalLabels_ == 1) {
            origin.y += charHeight_;
            double h = (2 * (n - 1) * lineSpace_ + n) * charHeight_;
            double w = charWidth_ * (1 + slant_);
            corners[0] = {0, -h};
            corners[1] = {w, -h};
            corners[2] = {w, 0};
        } else {
            double w = ((n - 1) * charSpace_ * 1.5 + n) * charWidth_;
            corners[0] = {w, 0};
            corners[1] = {w + slant_ * charWidth_, charHeight_};
            corners[2] = {slant_ * charWidth_, charHeight_};
        }
        Box b = Box::at(origin);
        for (const Point& c : corners)
            b.add({origin.x + cosine * c.x - sine * c.y, origin.y + sine * c.x + cosine * c.y});
        grow(b);
    }

    Point span() const {
        if (p1p2Given_) return {std::fabs(map_.p2X - map_.p1X), std::fabs(map_.p2Y - map_.p1Y)};
        return {std::fabs(box_.xMax - box_.xMin), std::fabs(box_.yMax - box_.yMin)};
    }

    void characterSize(Stream& s, int32_t code) {
        double p[2];
        int n = s.readFields(p, 2);
        s.skipParameters();
        Point sp = span();
        if (n == 2) {
            if (code == kSI) {
                charWidth_ = p[0] * 400;
                charHeight_ = p[1] * 400;
            } else if (code == kSR) {
                charWidth_ = p[0] * sp.x * 0.01;
                charHeight_ = p[1] * sp.y * 0.01;
            } else if (map_.scalingOn) {
                charWidth_ = std::fabs(map_.userScaleX) * p[0];
                charHeight_ = std::fabs(map_.userScaleY) * p[1];
            } else {
                charWidth_ = p[0];
                charHeight_ = p[1];
            }
        } else if (code == kSI) {
            charWidth_ = 114.0;
            charHeight_ = 150.0;
        } else {
            charWidth_ = sp.x * 0.0075;
            charHeight_ = sp.y * 0.015;
        }
    }

    void slant(Stream& s) {
        double p = 0;
        slant_ = s.readFields(&p, 1) == 1 ? p : 0;
        s.skipParameters();
    }

    void direction(Stream& s, int32_t code) {
        double p[2];
        int n = s.readFields(p, 2);
        s.skipParameters();
        Point sp = span();
        if (n != 2) {
            run_ = 1.0;
            rise_ = 0.0;
        } else if (code == kDI) {
            run_ = p[0];
            rise_ = p[1];
        } else if (code == kDR) {
            run_ = p[0] * sp.x * 0.01;
            rise_ = p[1] * sp.y * 0.01;
        } else if (map_.scalingOn) {
            run_ = map_.userScaleX * p[0];
            rise_ = map_.userScaleY * p[1];
        } else {
            run_ = p[0];
            rise_ = p[1];
        }
    }

    void vertical(Stream& s) {
        double p = 0;
        int n = s.readFields(&p, 1);
        s.skipParameters();
        if (!dvDisabled_) verticalLabels_ = n == 1 ? truncToInt(p) : 0;
    }

    void extraSpace(Stream& s) {
        double p[2];
        int n = s.readFields(p, 2);
        s.skipParameters();
        if (esDisabled_) return;
        if (n == 0) {
            charSpace_ = lineSpace_ = 0;
            return;
        }
        charSpace_ = p[0];
        if (n == 2) lineSpace_ = p[1];
    }

    int32_t plot_;
    bool ignoreIW_ = false;
    bool opened_ = false;
    Box box_;
    Point pen_;
    UserMapping map_{};
    int32_t p1p2Given_ = 1;
    ScalingPoints defaultPoints_;
    double defaultCharWidth_ = 0, defaultCharHeight_ = 0;
    bool relative_ = false;
    bool penUp_ = true;
    bool window_ = false;
    double charWidth_, charHeight_;
    double slant_ = 0;
    double run_, rise_;
    int32_t verticalLabels_;
    bool dvDisabled_, esDisabled_;
    double charSpace_, lineSpace_;
    size_t labelLength_ = 0;  // the label's own text plays no part, only its length
};

}  // namespace

extern "C" KRO_API int32_t Kro_MAX_MIN(const char* text, int32_t length, int32_t plot,
                                       int32_t ignoreCount, const int32_t* ignoreCodes,
                                       double* xMax, double* yMax, double* xMin, double* yMin) {
    fndErrorStatus = 0;
    if (!xMax || !yMax || !xMin || !yMin) return kro::fail(KRO_ERR_NULL);
    Stream s(text, length);
    Extents walker(plot, ignoreCount, ignoreCodes);
    if (int32_t code = walker.walk(s)) return kro::fail(code);
    const Box& b = walker.box();
    *xMax = b.xMax;
    *yMax = b.yMax;
    *xMin = b.xMin;
    *yMin = b.yMin;
    return 0;
}
