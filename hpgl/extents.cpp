// Kro_MAX_MIN: one walk over a plot text that finds the least and greatest
// coordinates its drawing reaches, in plotter units.
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "core/image.h"
#include "hpgl/curves.h"
#include "hpgl/geometry.h"
#include "hpgl/hpgl.h"
#include "hpgl/look.h"
#include "hpgl/plotter.h"
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

// The walk's state; a fresh one for every call.
class Extents {
  public:
    Extents(int32_t plot, int32_t ignoreCount, const int32_t* ignoreCodes,
            const MeasureRules& measure)
        : rules_(plotterRules(plot)), measure_(measure) {
        label_.noVerticalLabels = rules_.has(kVerticalLabels) || measure.fullLook ? 0 : 1;
        label_.noExtraSpace = rules_.has(kExtraSpace) ? 0 : 1;
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
        size_t before = s.pos;
        while (int32_t code = s.nextCommand()) {
            if (code == kPG && measure_.fullLook) {
                s.skipParameters();
                nextPage(before, s.pos);
                before = s.pos;
                continue;
            }
            if (code == kPE && window_) {
                s.skipEncoded();
                before = s.pos;
                continue;
            }
            // The window fixes the extents until IW, IN or DF ends it; what
            // is drawn in it still puts ink on the page.
            if (window_ && code != kIW && code != kIN && code != kDF) {
                pageInked_ = true;
                code = kNoCommand;
            }
            if (int32_t rc = dispatch(s, code)) return rc;
            before = s.pos;  // where the command's text ends
        }
        return 0;
    }

    const Box& box() const { return box_; }

    // The pages: PG ends a page that has ink; a last page without any is none.
    int32_t pages() const { return pageInked_ || page_ == 1 ? page_ : page_ - 1; }
    size_t pageStart() const { return pageStart_; }
    size_t pageEnd() const { return pageEnd_; }

  private:
    int32_t dispatch(Stream& s, int32_t code) {
        switch (code) {
            case kIN:
            case kDF:
                restoreDefaults(code);
                break;
            case kBP:
                restoreDefaults(kIN);
                s.skipQuotedParameters();
                return 0;
            case kPE:
            case kBZ:
            case kBR:
            case kAT:
            case kRT:
                path(s, code);
                return 0;
            case kCT:
                setChordMode(s, &curves_);
                return 0;
            case kRO:
                if (!measure_.fullLook) break;
                rotate(s);
                return 0;
            case kLO: {
                if (!measure_.fullLook) break;
                double f[1] = {1};
                labelOrigin_ = s.readFields(f, 1) == 1 ? truncToInt(f[0]) : 1;
                s.skipParameters();
                return 0;
            }
            case kDT:
                // The full look ends labels where DT says, so the walk
                // finds the commands after them where the drawing does.
                if (!measure_.fullLook) break;
                terminator_ = !s.atEnd() && s.peek() != ';' ? s.text[s.pos++] : '\x03';
                s.skipParameters();
                return 0;
            case kSM:
                if (!measure_.fullLook) break;
                symbol_ = !s.atEnd() && s.peek() != ';' && s.peek() != '\0';
                if (symbol_) ++s.pos;
                s.skipParameters();
                return 0;
            case kPS:
                plotSize(s);
                return 0;
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
            default:
                if (!isLabelSetting(code)) break;
                labelSetting(s, code);
                return 0;
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
        if (code == kIN) quarters_ = 0;
        labelOrigin_ = 1;
        symbol_ = false;
        terminator_ = '\x03';
        label_.reset(defaultCharWidth_, defaultCharHeight_);
        curves_.reset();
    }

    // The draws of a path grow the extents; its moves only move the pen.
    void path(Stream& s, int32_t code) {
        const PathRequest q{&map_, pen_.x, pen_.y, penUp_, curves_, FieldRules{}, kFlatness};
        const PathResult r = readPath(code, s, q, pathStep, this);
        pen_ = {r.penX, r.penY};
        penUp_ = r.penUp;
    }
    static void pathStep(void* context, const PathStep& step) {
        auto* e = static_cast<Extents*>(context);
        if (step.kind == PathStep::kSelectPen) return;
        const Point p{step.x, step.y};
        if (step.kind == PathStep::kDraw) {
            Box b = Box::at(e->pen_);
            b.add(p);
            e->grow(b);
        }
        e->pen_ = p;
    }
    // Curves are measured as drawn on a fine device, a quarter unit true.
    static constexpr double kFlatness = 0.25;

    // PS: the plot gives its page, from the origin; the extents hold it. A
    // length alone leaves the width to the plotter, so to the plot's ink.
    void plotSize(Stream& s) {
        double f[2];
        const int n = s.readFields(f, 2);
        s.skipParameters();
        if (n == 0) return;
        Box b = Box::at({0, 0});
        b.add({f[0], n == 2 ? f[1] : 0});
        // Every page has the plot's size, but the size is no ink.
        plotSize_ = b;
        hasPlotSize_ = true;
        const bool inked = pageInked_;
        grow(b);
        pageInked_ = inked;
    }

    // RO: the axes turn about the origin from here on.
    void rotate(Stream& s) {
        double f[1] = {0};
        s.readFields(f, 1);
        s.skipParameters();
        quarters_ = rotationQuarters(f[0]);
    }

    // PG at text offsets [at, after): a page with ink ends there.
    // The plot's size and an open window hold on every page.
    void nextPage(size_t at, size_t after) {
        if (!pageInked_) {
            if (page_ == measure_.page) pageStart_ = after;
            return;
        }
        if (page_ == measure_.page) pageEnd_ = at;
        ++page_;
        pageInked_ = false;
        if (page_ != measure_.page) return;
        pageStart_ = after;
        if (hasPlotSize_) grow(plotSize_);
        if (window_) addPoint(windowCorners_[0]), addPoint(windowCorners_[1]);
        pageInked_ = false;
    }

    bool measuring() const { return measure_.page == 0 || measure_.page == page_; }
    Point turned(Point p) const {
        turnQuarters(quarters_, &p.x, &p.y);
        return p;
    }
    // A point of the drawing: into the box when its page is measured.
    void addPoint(Point p) {
        pageInked_ = true;
        if (!measuring()) return;
        p = turned(p);
        if (!opened_) {
            open(Box::at(p));
            return;
        }
        box_.add(p);
    }

    // Grows the extents by a shape's box, opening them with it.
    void grow(const Box& b) {
        if (quarters_ != 0 || !measuring()) {
            addPoint({b.xMin, b.yMin});
            addPoint({b.xMax, b.yMax});
            return;
        }
        pageInked_ = true;
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
                if (first) addPoint(pen_);
                addPoint(p);
            }
            if (symbol_) {
                // The symbol's cell, centred on the point.
                const double w = label_.charWidth, h = label_.charHeight;
                addPoint({p.x - w / 2, p.y - h / 2});
                addPoint({p.x + w / 2, p.y + h / 2});
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
            start = normalizeDegrees(foldAngle(f[1]));
        }

        Box b = arcBox(centre, radius, start, sweep);
        if (code == kWG || code == kEW) b.add(centre);
        grow(b);
        return 0;
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
        if (rules_.has(kWindowInUserUnits)) {
            a = user(a.x, a.y);
            b = user(b.x, b.y);
        }
        addPoint(a);
        addPoint(b);
        windowCorners_[0] = a, windowCorners_[1] = b;
    }

    void label(Stream& s, int32_t code) {
        if (code == kLB || code == kBL) {
            labelLength_ = 0;
            const char end = code == kLB ? terminator_ : '\x03';  // BL keeps ETX
            while (!s.atEnd() && s.text[s.pos] != end) {
                if (labelLength_ < kLabelBytes) ++labelLength_;
                ++s.pos;
            }
            if (!s.atEnd()) ++s.pos;  // the ETX
            if (code == kBL) return;
        } else {
            s.skipParameters();
        }
        double n = double(labelLength_);
        double d = std::sqrt(label_.directionRun * label_.directionRun +
                             label_.directionRise * label_.directionRise);
        double cosine = 1, sine = 0;
        if (label_.directionRun != 0 || label_.directionRise != 0) {
            cosine = label_.directionRun / d;
            sine = label_.directionRise / d;
        }
        Point origin = pen_;
        Point corners[3];
        const bool vertical = label_.noVerticalLabels == 0 && label_.labelVertical == 1;
        if (measure_.fullLook && labelOrigin_ != 1 && n > 0) {
            const double length = vertical
                                      ? (2 * (n - 1) * label_.extraSpaceY + n) * label_.charHeight
                                      : ((n - 1) * label_.extraSpaceX * 1.5 + n) * label_.charWidth;
            double a, b;
            labelOriginShift(labelOrigin_, vertical, length, label_, &a, &b);
            origin.x += cosine * a - sine * b;
            origin.y += sine * a + cosine * b;
        }
        if (vertical) {
            origin.y += label_.charHeight;
            double h = (2 * (n - 1) * label_.extraSpaceY + n) * label_.charHeight;
            double w = label_.charWidth * (1 + label_.slant);
            corners[0] = {0, -h};
            corners[1] = {w, -h};
            corners[2] = {w, 0};
        } else {
            double w = ((n - 1) * label_.extraSpaceX * 1.5 + n) * label_.charWidth;
            corners[0] = {w, 0};
            corners[1] = {w + label_.slant * label_.charWidth, label_.charHeight};
            corners[2] = {label_.slant * label_.charWidth, label_.charHeight};
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

    void labelSetting(Stream& s, int32_t code) {
        double p[2];
        const int n = s.readFields(p, code == kSL || code == kDV ? 1 : 2);
        s.skipParameters();
        const Point sp = span();
        label_.apply(code, p, n, sp.x, sp.y, map_);
    }

    const PlotterRules& rules_;
    const MeasureRules measure_;
    int32_t quarters_ = 0;
    int32_t labelOrigin_ = 1;  // LO
    bool symbol_ = false;      // SM
    char terminator_ = '\x03';  // DT
    int32_t page_ = 1;
    bool pageInked_ = false;
    size_t pageStart_ = 0, pageEnd_ = SIZE_MAX;
    Box plotSize_;
    bool hasPlotSize_ = false;
    Point windowCorners_[2];
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
    LabelSettings label_{};
    CurveSettings curves_;
    size_t labelLength_ = 0;  // the label's own text plays no part, only its length
};

}  // namespace

namespace kro::hpgl {

int32_t measurePlot(const char* text, int32_t length, int32_t plot, int32_t ignoreCount,
                    const int32_t* ignoreCodes, PlotExtents* out, const MeasureRules& rules) {
    Stream s(text, length);
    // The full look reads the mnemonics the renderer reads in it, so both
    // find the same commands in the text.
    if (rules.fullLook) s.extraCode = lookMnemonicCode;
    Extents walker(plot, ignoreCount, ignoreCodes, rules);
    if (int32_t code = walker.walk(s)) return code;
    if (rules.page > walker.pages() || rules.page < 0) return KRO_ERR_OPTION_RANGE;
    const Box& b = walker.box();
    *out = {b.xMax, b.yMax, b.xMin, b.yMin, walker.pages(), walker.pageStart(), walker.pageEnd()};
    return 0;
}

bool mayDifferInFullLook(const char* text, size_t length) {
    // The second letters first, through a table: a plot is mostly digits.
    static constexpr auto kSecond = [] {
        std::array<bool, 256> t{};
        for (char c : {'O', 'G', 'M', 'V'}) t[uint8_t(c)] = t[uint8_t(c | 0x20)] = true;
        return t;
    }();
    for (size_t i = 1; i < length; ++i) {
        if (!kSecond[uint8_t(text[i])]) continue;
        const char a = char(text[i - 1] & ~0x20), b = char(text[i] & ~0x20);
        if ((a == 'R' && b == 'O') || (a == 'P' && b == 'G') || (a == 'L' && b == 'O') ||
            (a == 'S' && b == 'M') || (a == 'D' && b == 'V'))
            return true;
    }
    return false;
}

void clearStatus() {
    if (fndErrorStatus != 0) fndErrorStatus = 0;
}

}  // namespace kro::hpgl

extern "C" KRO_API int32_t Kro_MAX_MIN(const char* text, int32_t length, int32_t plot,
                                       int32_t ignoreCount, const int32_t* ignoreCodes,
                                       double* xMax, double* yMax, double* xMin, double* yMin) {
    using namespace kro::hpgl;
    clearStatus();
    if (!xMax || !yMax || !xMin || !yMin) return kro::fail(KRO_ERR_NULL);
    PlotExtents e;
    if (int32_t code = measurePlot(text, length, plot, ignoreCount, ignoreCodes, &e))
        return kro::fail(code);
    *xMax = e.xMax;
    *yMax = e.yMax;
    *xMin = e.xMin;
    *yMin = e.yMin;
    return 0;
}
