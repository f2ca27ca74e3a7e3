// Kro_MAX_MIN: one walk over a plot text that finds the least and greatest
// coordinates its drawing reaches, in plotter units.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "core/image.h"
#include "hpgl/hpgl.h"
#include "hpgl/stream.h"

namespace {

using namespace kro::hpgl;

constexpr double kPi = 3.1415927;
constexpr double kDegreesPerRadian = 57.29577866666166;
constexpr double kRadiansPerDegree = 0.01745329277777778;

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
    }

    // 0, or the status code of a failing command.
    int32_t walk(Stream& s) {
        while (int32_t code = s.nextCommand()) {
            if (window_ && code != kIW) code = kNoCommand;
            if (int32_t rc = dispatch(s, code)) return rc;
        }
        return 0;
    }

    const Box& box() const { return box_; }

  private:
    int32_t dispatch(Stream& s, int32_t code) {
        switch (code) {
            case kPU:
                penUp_ = true;
                return move(s, false);
            case kPD:
                penUp_ = false;
                return move(s, false);
            case kPA:
                relative_ = false;
                return move(s, false);
            case kPR:
                relative_ = true;
                return move(s, false);
            case kPC:
                return move(s, true);
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

    Point user(double x, double y) const {
        return {(x - origin_.x) * scaleX_ + p1_.x, (y - origin_.y) * scaleY_ + p1_.y};
    }

    void open(const Box& b) {
        if (opened_) return;
        box_ = b;
        opened_ = true;
    }

    int32_t move(Stream& s, bool alwaysAbsolute) {
        bool first = true;
        while (!hasClass(s.peek(), kTerminatorBit | kLetterBit)) {
            double x, y;
            s.readPair(&x, &y);
            Point p = alwaysAbsolute || !relative_
                          ? user(x, y)
                          : Point{x * scaleX_ + pen_.x, y * scaleY_ + pen_.y};
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

    void circle(Stream& s) {
        double radius = 0;
        s.readFields(&radius, 1);
        s.skipParameters();
        double r = radius * std::fabs(scaleX_);
        open(Box::at(pen_));
        if (pen_.x + r > box_.xMax) box_.xMax = pen_.x + r;
        if (pen_.x - r < box_.xMin) box_.xMin = pen_.x - r;
        if (pen_.y + r > box_.yMax) box_.yMax = pen_.y + r;
        if (pen_.y - r < box_.yMin) box_.yMin = pen_.y - r;
    }

    void rectangle(Stream& s, int32_t code) {
        double x, y;
        s.readPair(&x, &y);
        s.skipParameters();
        Point corner = user(x, y);
        if (code == kRR || code == kER) {
            corner.x += pen_.x;
            corner.y += pen_.y;
        }
        Box b = Box::at(pen_);
        b.add(corner);
        if (!opened_) {
            open(b);
        } else {
            box_.add(pen_);
            box_.add(corner);
        }
    }

    int32_t arc(Stream& s, int32_t code) {
        static constexpr FieldRules kToSeparator{.separatorEndsOnly = true};
        static constexpr FieldRules kToFieldEnd{};
        char buf[kMaxFieldKeep + 1];
        auto field = [&](const FieldRules& rules) {
            size_t n = s.readFieldText(rules, buf);
            double v = fieldValue(buf, n);
            s.skipSeparator();
            return v;
        };
        double first = field(kToSeparator);
        double second = field(kToSeparator);
        double sweep = field(kToFieldEnd);
        s.skipParameters();

        Point centre;
        double radius, start;
        if (code == kAA || code == kAR) {
            centre = user(first, second);
            if (code == kAR) {
                centre.x += pen_.x;
                centre.y += pen_.y;
            }
            radius = std::trunc(std::hypot(pen_.x - centre.x, pen_.y - centre.y));
            double sine = radius == 0 ? 0 : (pen_.y - centre.y) / radius;
            sine = sine < -1 ? -1 : sine > 1 ? 1 : sine;
            double a = std::asin(sine);
            if (pen_.x < centre.x) a = a > 0 ? kPi - a : -kPi - a;
            start = a * kDegreesPerRadian;
            // a lies within about -270 to 270 degrees: one turn brings it in.
            while (start < 0) start += 360;
            if (start > 360)
                while (start >= 360) start -= 360;
            if (start == 360) return KRO_ERR_HPGL_ARC_ANGLE;
        } else {
            centre = pen_;
            radius = first * std::fabs(scaleX_);
            start = foldAngle(second);
            if (start < 0) start += 360;
            if (start >= 360) start -= 360;
        }
        if (scaleX_ * scaleY_ < 0) sweep = -sweep;

        Box b = arcBox(centre, radius, start, sweep);
        if (code == kWG || code == kEW) b.add(centre);
        open(b);
        if (b.xMax >= box_.xMax) box_.xMax = b.xMax;
        if (b.yMax >= box_.yMax) box_.yMax = b.yMax;
        if (b.xMin >= 0 && b.xMin <= box_.xMin) box_.xMin = b.xMin;
        if (b.yMin >= 0 && b.yMin <= box_.yMin) box_.yMin = b.yMin;
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
        if (n == 4) {
            p1_ = {p[0], p[1]};
            p2_ = {p[2], p[3]};
            p1p2Given_ = true;
        } else if (n >= 2 && p1p2Given_) {
            p2_ = {p2_.x + p[0] - p1_.x, p2_.y + p[1] - p1_.y};
            p1_ = {p[0], p[1]};
        } else {
            p1p2Given_ = false;
            p1_ = p2_ = {0, 0};
        }
        origin_ = p1_;
    }

    void scaling(Stream& s) {
        double p[4];
        int n = s.readFields(p, 4);
        s.skipParameters();
        if (n == 4 && p1p2Given_) {
            scalingOn_ = true;
            scaleX_ = factor(p2_.x - p1_.x, p[1] - p[0]);
            scaleY_ = factor(p2_.y - p1_.y, p[3] - p[2]);
            origin_ = {p[0], p[2]};
        } else {
            scalingOn_ = false;
            scaleX_ = scaleY_ = 1.0;
            origin_ = p1_;
        }
    }
    static double factor(double plotter, double userUnits) {
        return plotter == 0 || userUnits == 0 ? 1.0 : plotter / userUnits;
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
                if (labelLength_ < sizeof label_) label_[labelLength_++] = s.text[s.pos];
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
        box_.add(origin);
        for (const Point& c : corners)
            box_.add({origin.x + cosine * c.x - sine * c.y, origin.y + sine * c.x + cosine * c.y});
    }

    Point span() const {
        if (p1p2Given_) return {std::fabs(p2_.x - p1_.x), std::fabs(p2_.y - p1_.y)};
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
            } else if (scalingOn_) {
                charWidth_ = std::fabs(scaleX_) * p[0];
                charHeight_ = std::fabs(scaleY_) * p[1];
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
        } else if (scalingOn_) {
            run_ = scaleX_ * p[0];
            rise_ = scaleY_ * p[1];
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
    Point p1_, p2_;
    bool p1p2Given_ = false;
    Point origin_;
    double scaleX_ = 1.0, scaleY_ = 1.0;
    bool scalingOn_ = false;
    bool relative_ = false;
    bool penUp_ = true;
    bool window_ = false;
    double charWidth_ = 0, charHeight_ = 0;
    double slant_ = 0;
    double run_ = 0, rise_ = 0;
    int32_t verticalLabels_ = 0;
    bool dvDisabled_, esDisabled_;
    double charSpace_ = 0, lineSpace_ = 0;
    char label_[64] = {};
    size_t labelLength_ = 0;
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
