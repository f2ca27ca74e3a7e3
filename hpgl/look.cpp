// The full look: pen colours and widths (PC NP CR PW WU LA), fills (FT FP RA
// RR WG) and labels in a stroke font (LB PB DT), drawn through the same walk.
#include "hpgl/look.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "hpgl/hpgl.h"
#include "hpgl/plotter.h"
#include "hpgl/render_state.h"

namespace kro::hpgl {
namespace {

constexpr int32_t kFillType = 405;  // FT, which KroDisplayHPGL steps over

constexpr COLORREF kPalette[8] = {
    RGB(255, 255, 255), RGB(0, 0, 0),   RGB(255, 0, 0),   RGB(0, 255, 0),
    RGB(255, 255, 0),   RGB(0, 0, 255), RGB(255, 0, 255), RGB(0, 255, 255),
};

COLORREF defaultColour(int32_t pen) {
    return pen <= 0 ? kPalette[0] : kPalette[pen < 8 ? pen : (pen - 1) % 7 + 1];
}

// Fonts stay loaded for the life of the process: a plot of many pages
// reads each once.
const StrokeFont* sharedFont(const char* name) {
    static std::mutex lock;
    static std::map<std::string, std::unique_ptr<StrokeFont>> fonts;
    const std::string key = name && *name ? name : kDefaultStrokeFont;
    const std::lock_guard<std::mutex> guard(lock);
    auto it = fonts.find(key);
    if (it == fonts.end()) {
        auto font = std::make_unique<StrokeFont>();
        if (!loadStrokeFont(key, *font)) font.reset();
        it = fonts.emplace(key, std::move(font)).first;
    }
    return it->second.get();
}

struct Point2 {
    double x, y;
};
using Figure = std::vector<Point2>;

double diagonal(const Renderer& r) {
    return std::hypot(r.s.map.p2X - r.s.map.p1X, r.s.map.p2Y - r.s.map.p1Y);
}

// The fields of a command (up to max) and the skip after them.
int fields(Renderer* r, double* values, int max) {
    const int n = r->readCountedFields(values, max);
    r->in.skipParameters();
    return n;
}

// The selected pen again, after a change to its colour, width or ends.
void refreshPen(Renderer* r) {
    if (r->noPen || r->look->pen <= 0 || !r->penSelected) return;
    const PenStyle& style = r->carry->pen;
    r->selectOwnPen(r->geometricPen(r->devicePenWidth(), style.dashes,
                                    style.kind == kDashedPen ? style.dashCount : 0));
}

void penColour(Renderer* r) {
    Look& l = *r->look;
    double f[4];
    const int n = fields(r, f, 4);
    if (n == 0) {
        for (int32_t i = 0; i < kMaxPens; ++i) l.colours[size_t(i)] = defaultColour(i);
    } else if (f[0] >= 0 && f[0] < kMaxPens) {
        const size_t pen = size_t(f[0]);
        if (n < 4) {
            l.colours[pen] = defaultColour(int32_t(pen));
        } else {
            uint8_t c[3];
            for (int i = 0; i < 3; ++i) {
                const double span = l.rangeHigh[i] - l.rangeLow[i];
                const double v = span != 0 ? (f[i + 1] - l.rangeLow[i]) / span * 255.0 : 0;
                c[i] = uint8_t(std::clamp(std::isfinite(v) ? v + 0.5 : 0.0, 0.0, 255.0));
            }
            l.colours[pen] = RGB(c[0], c[1], c[2]);
        }
    }
    refreshPen(r);
}

void colourRange(Renderer* r) {
    Look& l = *r->look;
    double f[6];
    if (fields(r, f, 6) == 6) {
        for (int i = 0; i < 3; ++i) l.rangeLow[i] = f[2 * i], l.rangeHigh[i] = f[2 * i + 1];
    } else {
        for (int i = 0; i < 3; ++i) l.rangeLow[i] = 0, l.rangeHigh[i] = 255;
    }
}

void numberOfPens(Renderer* r) {
    Look& l = *r->look;
    double f[1];
    const int n = fields(r, f, 1);
    l.penCount = n == 1 && f[0] >= 2 && f[0] <= kMaxPens ? int32_t(f[0]) : 8;
    for (int32_t i = 0; i < kMaxPens; ++i) l.colours[size_t(i)] = defaultColour(i);
    refreshPen(r);
}

// PW in millimetres, or in percent of the P1-P2 diagonal after WU 1.
double widthUnits(const Renderer& r, double w) {
    return r.look->relativeWidths ? w * 0.01 * diagonal(r) : w * kPlotterUnitsPerMm;
}

void penWidth(Renderer* r) {
    Look& l = *r->look;
    double f[2];
    const int n = fields(r, f, 2);
    const double w = n >= 1 ? widthUnits(*r, f[0]) : kDefaultPenWidth;
    if (!(w >= 0) || !std::isfinite(w)) return;
    if (n == 2) {
        if (f[1] >= 0 && f[1] < kMaxPens) l.widths[size_t(f[1])] = w;
    } else {
        l.widths.fill(w);
    }
    refreshPen(r);
}

void widthUnitsMode(Renderer* r) {
    double f[1];
    const int n = fields(r, f, 1);
    r->look->relativeWidths = n == 1 && f[0] == 1;
    r->look->widths.fill(r->look->relativeWidths ? 0.001 * diagonal(*r) : kDefaultPenWidth);
    refreshPen(r);
}

void lineAttributes(Renderer* r) {
    Look& l = *r->look;
    double f[6];
    const int n = fields(r, f, 6);
    if (n == 0) l.endCap = PS_ENDCAP_FLAT, l.join = PS_JOIN_MITER;
    for (int i = 0; i + 1 < n; i += 2) {
        const int value = truncToInt(f[i + 1]);
        if (f[i] == 1) {
            // Butt, square, triangular (nearest: round), round.
            l.endCap = value == 2 ? PS_ENDCAP_SQUARE : value >= 3 ? PS_ENDCAP_ROUND : PS_ENDCAP_FLAT;
        } else if (f[i] == 2) {
            // Mitred, mitred or bevelled, triangular, round, bevelled, none.
            l.join = value == 4 ? PS_JOIN_ROUND : value >= 3 ? PS_JOIN_BEVEL : PS_JOIN_MITER;
        }
        // Kind 3, the mitre limit: the device's own limit holds.
    }
    refreshPen(r);
}

void fillType(Renderer* r) {
    Look& l = *r->look;
    double f[3];
    const int n = fields(r, f, 3);
    l.fillType = n >= 1 ? truncToInt(f[0]) : 1;
    if (n >= 2) {
        const double scale = r->s.map.scalingOn ? std::fabs(r->s.map.userScaleX) : 1.0;
        l.hatchSpacing = f[1] * scale;
    } else {
        l.hatchSpacing = 0;
    }
    l.hatchAngle = n >= 3 ? f[2] : 0;
}

void labelTerminator(Renderer* r) {
    char t = '\x03';
    if (!r->in.atEnd() && r->in.peek() != ';') t = r->in.peek(), ++r->in.pos;
    r->in.skipParameters();
    r->look->terminator = t;
}

// Hatching as lines cut to the figures by the fill rule, anchored at the
// plotter origin so neighbouring fills line up.
void hatch(Renderer* r, const std::vector<Figure>& figures, bool winding, double angle,
           double spacing) {
    const double a = angle * kRadiansPerDegree;
    const Point2 u{std::cos(a), std::sin(a)}, nrm{-u.y, u.x};
    double lo = INFINITY, hi = -INFINITY;
    for (const Figure& fig : figures)
        for (const Point2& p : fig) {
            const double o = p.x * nrm.x + p.y * nrm.y;
            lo = std::min(lo, o), hi = std::max(hi, o);
        }
    if (!(hi > lo) || !std::isfinite(hi - lo)) return;
    spacing = std::max(spacing, (hi - lo) / 20000);  // no more lines than a page can show
    struct Crossing {
        double along;
        int dir;
    };
    std::vector<Crossing> cross;
    // Counted, not stepped: far from the origin a step may not change k.
    const double first = std::ceil(lo / spacing);
    const double count = std::floor(hi / spacing) - first;
    if (!std::isfinite(first) || !(count >= 0)) return;
    const int lines = int(std::min(count, 20000.0));
    for (int i = 0; i <= lines; ++i) {
        const double off = (first + i) * spacing;
        cross.clear();
        for (const Figure& fig : figures)
            for (size_t i = 0; i < fig.size(); ++i) {
                const Point2 p = fig[i], q = fig[(i + 1) % fig.size()];
                const double dp = p.x * nrm.x + p.y * nrm.y - off;
                const double dq = q.x * nrm.x + q.y * nrm.y - off;
                if ((dp < 0) == (dq < 0)) continue;
                const double t = dp / (dp - dq);
                const double x = p.x + t * (q.x - p.x), y = p.y + t * (q.y - p.y);
                cross.push_back({x * u.x + y * u.y, dq > dp ? 1 : -1});
            }
        std::sort(cross.begin(), cross.end(),
                  [](const Crossing& c, const Crossing& d) { return c.along < d.along; });
        int count = 0;
        for (size_t i = 0; i + 1 < cross.size(); ++i) {
            count += winding ? cross[i].dir : 1;
            const bool inside = winding ? count != 0 : count % 2 != 0;
            if (!inside) continue;
            const double s0 = cross[i].along, s1 = cross[i + 1].along;
            const POINT b = r->toDevice(off * nrm.x + s0 * u.x, off * nrm.y + s0 * u.y);
            const POINT e = r->toDevice(off * nrm.x + s1 * u.x, off * nrm.y + s1 * u.y);
            MoveToEx(r->dc, b.x, b.y, nullptr);
            const POINT end = endPixel(b, e);
            LineTo(r->dc, end.x, end.y);
        }
    }
}

// Fills the figures (plotter units) in the selected pen's colour as FT says.
void fill(Renderer* r, const std::vector<Figure>& figures, bool winding) {
    Look& l = *r->look;
    if (r->noPen || l.pen <= 0 || figures.empty()) return;
    if (l.flags & KRO_HPGL_NO_FILLS) {
        for (const Figure& fig : figures) {
            std::vector<POINT> pts;
            for (const Point2& p : fig) pts.push_back(r->toDevice(p.x, p.y));
            pts.push_back(pts.front());
            MoveToEx(r->dc, pts[0].x, pts[0].y, nullptr);
            PolylineTo(r->dc, pts.data() + 1, DWORD(pts.size() - 1));
        }
        return;
    }
    if (l.fillType == 3 || l.fillType == 4) {
        const double spacing = l.hatchSpacing > 0 ? l.hatchSpacing : 0.01 * diagonal(*r);
        if (!(spacing > 0)) return;
        hatch(r, figures, winding, l.hatchAngle, spacing);
        if (l.fillType == 4) hatch(r, figures, winding, l.hatchAngle + 90, spacing);
        return;
    }
    std::vector<POINT> pts;
    std::vector<int> counts;
    for (const Figure& fig : figures) {
        if (fig.size() < 3) continue;
        for (const Point2& p : fig) pts.push_back(r->toDevice(p.x, p.y));
        counts.push_back(int(fig.size()));
    }
    if (counts.empty()) return;
    HBRUSH brush = CreateSolidBrush(l.colour());
    if (!brush) return;
    HGDIOBJ oldBrush = SelectObject(r->dc, brush);
    HGDIOBJ oldPen = SelectObject(r->dc, GetStockObject(NULL_PEN));
    const int oldMode = SetPolyFillMode(r->dc, winding ? WINDING : ALTERNATE);
    PolyPolygon(r->dc, pts.data(), counts.data(), int(counts.size()));
    if (oldMode) SetPolyFillMode(r->dc, oldMode);
    if (oldPen) SelectObject(r->dc, oldPen);
    if (oldBrush) SelectObject(r->dc, oldBrush);
    DeleteObject(brush);
}

// The arc from (sx, sy) around (cx, cy) by sweep degrees, in 5-degree chords.
void arcPoints(double cx, double cy, double sx, double sy, double sweep, Figure* out) {
    const double r = std::hypot(sx - cx, sy - cy);
    const double a0 = std::atan2(sy - cy, sx - cx);
    const double span = std::isfinite(sweep) ? std::clamp(sweep, -360.0, 360.0) : 0.0;
    const int n = std::max(2, int(std::ceil(std::fabs(span) / 5)));
    for (int i = 0; i <= n; ++i) {
        const double a = a0 + span * kRadiansPerDegree * i / n;
        out->push_back({cx + r * std::cos(a), cy + r * std::sin(a)});
    }
}

void filledRectangle(Renderer* r, int32_t code) {
    const double x = r->shapeField();
    const double y = r->readNumber();
    r->in.skipParameters();
    const double cx = code == kRR ? r->s.penX + r->s.map.offsetX(x) : r->userX(x);
    const double cy = code == kRR ? r->s.penY + r->s.map.offsetY(y) : r->userY(y);
    const double px = r->s.penX, py = r->s.penY;
    fill(r, {{{px, py}, {cx, py}, {cx, cy}, {px, cy}}}, false);
}

void filledWedge(Renderer* r) {
    const double radius = r->shapeField();
    const double start = r->shapeField();
    double sweep = r->readNumber();
    r->in.skipParameters();
    double sx, sy;
    r->wedgeStart(radius, start, &sx, &sy);
    if (r->s.map.mirrored()) sweep = -sweep;
    Figure fig;
    if (std::fabs(sweep) < 360) fig.push_back({r->s.penX, r->s.penY});
    arcPoints(r->s.penX, r->s.penY, sx, sy, sweep, &fig);
    fill(r, {fig}, false);
}

// The figures of the last polygon: its outline from the pen through the
// collected moves, a new figure at PM 1 or after a raised pen's move, a
// circle a figure of its own.
std::vector<Figure> polygonFigures(Renderer* r) {
    static constexpr FieldRules kPairRules{.keep = 40, .skipBlanks = true, .takeFirstByte = true};
    const char* text = r->carry->polygon;
    Stream in(text, int64_t(strnlen(text, kPolygonBytes)));
    std::swap(r->in, in);
    std::vector<Figure> figures;
    double px = r->s.penX, py = r->s.penY;
    bool relative = r->s.relative != 0, up = r->s.penUp != 0;
    Figure cur{{px, py}};
    auto close = [&] {
        if (cur.size() >= 3) figures.push_back(cur);
        cur.assign(1, {px, py});
    };
    while (!r->in.atEnd()) {
        if (hasClass(r->in.peek(), kBlankBit)) {
            ++r->in.pos;
            continue;
        }
        int32_t code = mnemonicCode(r->in.peek(), r->in.at(r->in.pos + 1));
        if (code == 0) code = extendedCode(r->in.peek(), r->in.at(r->in.pos + 1));
        r->in.pos = std::min(r->in.pos + 2, r->in.length);
        r->in.skipSeparator();
        if (code >= kPE && code <= kRT) {
            // Paths: their draws extend the figure, their moves start another.
            struct Sink {
                Figure* cur;
                std::function<void()> close;
            } sink{&cur, close};
            const double flatness = r->s.deviceScale > 0 ? 0.5 / r->s.deviceScale : 0.5;
            const PathRequest q{&r->s.map, px, py, up, r->curves, kPairRules, flatness};
            const PathResult end = readPath(
                code, r->in, q,
                [](void* context, const PathStep& st) {
                    auto* k = static_cast<Sink*>(context);
                    if (st.kind == PathStep::kSelectPen) return;
                    if (st.kind == PathStep::kDraw) {
                        k->cur->push_back({st.x, st.y});
                        return;
                    }
                    if (k->cur->size() > 1) k->close();
                    k->cur->assign(1, {st.x, st.y});
                },
                &sink);
            px = end.penX, py = end.penY, up = end.penUp;
            continue;
        }
        if (code == kPU || code == kPD || code == kPA || code == kPR) {
            if (code == kPU || code == kPD) up = code == kPU;
            if (code == kPA || code == kPR) relative = code == kPR;
            double fx, fy;
            while (!r->in.atEnd() && !hasClass(r->in.peek(), kTerminatorBit | kLetterBit) &&
                   r->in.readPair(kPairRules, &fx, &fy)) {
                px = relative ? px + r->s.map.offsetX(fx) : r->userX(fx);
                py = relative ? py + r->s.map.offsetY(fy) : r->userY(fy);
                if (up && cur.size() > 1) close();
                if (up)
                    cur.assign(1, {px, py});
                else
                    cur.push_back({px, py});
            }
        } else if (code == kPM) {
            double f[1];
            if (r->readCountedFields(f, 1) == 1 && f[0] == 1) close();
        } else if (code == kCI) {
            const double radius = std::fabs(r->readNumber() * r->s.map.userScaleX);
            Figure circle;
            arcPoints(px, py, px + radius, py, 360, &circle);
            circle.pop_back();
            if (radius > 0) figures.push_back(circle);
        } else if (code == kAA || code == kAR) {
            const double fx = r->shapeField(), fy = r->shapeField();
            const double sweep = r->readNumber() * (r->s.map.mirrored() ? -1 : 1);
            const double cx = code == kAR ? px + r->s.map.offsetX(fx) : r->userX(fx);
            const double cy = code == kAR ? py + r->s.map.offsetY(fy) : r->userY(fy);
            Figure arc;
            arcPoints(cx, cy, px, py, sweep, &arc);
            px = arc.back().x, py = arc.back().y;
            cur.insert(cur.end(), arc.begin() + 1, arc.end());
        }
        r->in.skipParameters();
    }
    close();
    std::swap(r->in, in);
    return figures;
}

void fillPolygon(Renderer* r) {
    double f[1];
    const int n = fields(r, f, 1);
    fill(r, polygonFigures(r), n == 1 && f[0] == 1);
}

// CI with a chord angle: the circle as the plotter draws it, in chords of
// that angle (0.5 to 180 degrees) from its start. Without one the device's
// own circle stands; false leaves it to the walk.
bool chordCircle(Renderer* r) {
    double f[2];
    if (r->readCountedFields(f, 2) < 2) return false;
    r->in.skipParameters();
    if (r->noPen) return true;
    const double radius = std::fabs(f[0] * r->s.map.userScaleX);
    const double chord = std::isfinite(f[1]) ? std::clamp(std::fabs(f[1]), 0.5, 180.0) : 5.0;
    const int count = int(std::ceil(360 / chord));
    const double start = f[0] < 0 ? 180.0 : 0.0;
    std::vector<POINT> pts;
    pts.reserve(size_t(count) + 1);
    for (int i = 0; i <= count; ++i) {
        const double t = (start + std::min(360.0, i * chord)) * kRadiansPerDegree;
        pts.push_back(
            r->toDevice(r->s.penX + radius * std::cos(t), r->s.penY + radius * std::sin(t)));
    }
    MoveToEx(r->dc, pts[0].x, pts[0].y, nullptr);
    pts.back() = endPixel(pts[pts.size() - 2], pts.back());
    PolylineTo(r->dc, pts.data() + 1, DWORD(pts.size() - 1));
    return true;
}

// A character cell of the label settings: the characters step as the
// label's box does, which is what the page was measured by; a capital takes
// two thirds of the step, as a plotter's characters take two thirds of
// their pitch.
LabelCell labelCell(const LabelSettings& ls) {
    LabelCell cell;
    cell.advance = (1 + 1.5 * ls.extraSpaceX) * ls.charWidth;
    cell.width = ls.charWidth * 2 / 3;
    cell.height = ls.charHeight;
    cell.run = ls.directionRun;
    cell.rise = ls.directionRise;
    cell.slant = ls.slant;
    return cell;
}

// A laid-out label's strokes from (ox, oy) with the selected pen.
void drawStrokes(Renderer* r, const LaidOutLabel& out, double ox, double oy) {
    std::vector<POINT> pts;
    for (const auto& stroke : out.strokes) {
        pts.clear();
        for (const LabelPoint& p : stroke) pts.push_back(r->toDevice(ox + p.x, oy + p.y));
        MoveToEx(r->dc, pts[0].x, pts[0].y, nullptr);
        const POINT last = endPixel(pts.size() > 1 ? pts[pts.size() - 2] : pts[0], pts.back());
        if (pts.size() == 1) {
            LineTo(r->dc, last.x, last.y);
            continue;
        }
        pts.back() = last;
        PolylineTo(r->dc, pts.data() + 1, DWORD(pts.size() - 1));
    }
}

// LB and PB in strokes: the label's glyphs drawn as lines with the selected
// pen, and the pen left after the last character.
bool strokedLabel(Renderer* r, int32_t code) {
    Look& l = *r->look;
    if (!l.font || (l.flags & KRO_HPGL_LABEL_BOXES)) return false;
    char* text = r->carry->label;
    if (code == kLB) {
        size_t n = 0;
        while (!r->in.atEnd() && r->in.peek() != l.terminator) {
            if (n < kLabelBytes) text[n++] = r->in.peek();
            ++r->in.pos;
        }
        text[n] = '\0';
        if (!r->in.atEnd()) ++r->in.pos;
    }
    const LabelSettings& ls = r->s.label;
    const LabelCell cell = labelCell(ls);
    const size_t n = std::strlen(text);
    const bool vertical = ls.noVerticalLabels == 0 && ls.labelVertical == 1;
    // Vertical labels stack their characters down the page, a cell and ES's
    // space apart, as their box was measured.
    const double step = (1 + 2 * ls.extraSpaceY) * ls.charHeight;
    const double length = vertical
                              ? (2 * (double(n) - 1) * ls.extraSpaceY + double(n)) * ls.charHeight
                              : ((double(n) - 1) * ls.extraSpaceX * 1.5 + double(n)) * ls.charWidth;
    double a = 0, b = 0;
    if (n > 0) labelOriginShift(l.labelOrigin, vertical, length, ls, &a, &b);
    double cosine = 1, sine = 0;
    if (const double d = std::hypot(ls.directionRun, ls.directionRise); d > 0 && std::isfinite(d))
        cosine = ls.directionRun / d, sine = ls.directionRise / d;
    const double ox = r->s.penX + cosine * a - sine * b;
    const double oy = r->s.penY + sine * a + cosine * b;
    LabelPoint end{};
    if (!vertical) {
        const LaidOutLabel out = layOutLabel(*l.font, text, n, cell);
        if (!r->noPen) drawStrokes(r, out, ox, oy);
        end = out.end;
    } else {
        for (size_t i = 0; i < n; ++i) {
            const double down = -double(i) * step;
            const LaidOutLabel out = layOutLabel(*l.font, text + i, 1, cell);
            if (!r->noPen) drawStrokes(r, out, ox - sine * down, oy + cosine * down);
        }
        const double down = -double(n) * step;
        end = {-sine * down, cosine * down};
    }
    if (penFollowsLabel(l.labelOrigin)) {
        r->s.penX = ox + end.x;
        r->s.penY = oy + end.y;
    }
    return true;
}

}  // namespace

int32_t lookMnemonicCode(char a, char b) {
    struct Row {
        char name[3];
        int32_t code;
    };
    static constexpr Row kRows[] = {{"NP", kNP}, {"PW", kPW}, {"WU", kWU},
                                    {"LA", kLA}, {"CR", kCR}, {"", 0}};
    const char ua = char(a & ~0x20), ub = char(b & ~0x20);
    for (const Row* row = kRows; row->code; ++row)
        if (row->name[0] == ua && row->name[1] == ub) return row->code;
    return 0;
}

void Look::resetPens() {
    penCount = 8;
    pen = 1;
    for (int32_t i = 0; i < kMaxPens; ++i) colours[size_t(i)] = defaultColour(i);
    widths.fill(kDefaultPenWidth);
    relativeWidths = false;
    for (int i = 0; i < 3; ++i) rangeLow[i] = 0, rangeHigh[i] = 255;
    endCap = PS_ENDCAP_FLAT;
    join = PS_JOIN_MITER;
}

// SP past the number of pens wraps round the pens after pen 0.
static int32_t penSlot(const Look& l) {
    if (l.pen < l.penCount || l.penCount < 2) return std::clamp(l.pen, 0, kMaxPens - 1);
    return (l.pen - 1) % (l.penCount - 1) + 1;
}

COLORREF Look::colour() const {
    return flags & KRO_HPGL_MONOCHROME ? RGB(0, 0, 0) : colours[size_t(penSlot(*this))];
}

Look lookFromStyle(const KroHpglStyle* style) {
    Look l;
    l.resetPens();
    KroHpglStyle s{};
    if (style) std::memcpy(&s, style, std::min<size_t>(style->size, sizeof s));
    l.flags = s.flags;
    l.font = sharedFont(s.font);
    l.page = s.page > 0 ? s.page : 0;
    return l;
}

bool lookCommand(Renderer* r, int32_t code, int32_t* status) {
    *status = 0;
    switch (code) {
        case kPC:
            penColour(r);
            return true;
        case kNP:
            numberOfPens(r);
            return true;
        case kCR:
            colourRange(r);
            return true;
        case kPW:
            penWidth(r);
            return true;
        case kWU:
            widthUnitsMode(r);
            return true;
        case kLA:
            lineAttributes(r);
            return true;
        case kFillType:
            fillType(r);
            return true;
        case kFP:
            fillPolygon(r);
            return true;
        case kRA:
        case kRR:
            filledRectangle(r, code);
            return true;
        case kWG:
            filledWedge(r);
            return true;
        case kDT:
            labelTerminator(r);
            return true;
        case kLO: {
            double f[1] = {1};
            r->look->labelOrigin = fields(r, f, 1) == 1 ? truncToInt(f[0]) : 1;
            return true;
        }
        case kSM: {
            const char c = r->in.atEnd() ? ';' : r->in.peek();
            r->look->symbol = c == ';' || c == '\0' ? 0 : c;
            if (r->look->symbol) ++r->in.pos;
            r->in.skipParameters();
            return true;
        }
        case kCI: {
            const size_t start = r->in.pos;
            if (chordCircle(r)) return true;
            r->in.pos = start;
            return false;
        }
        case kRO: {
            double f[1] = {0};
            fields(r, f, 1);
            r->rotation = rotationQuarters(f[0]);
            return true;
        }
        case kLB:
        case kPB: {
            const size_t start = r->in.pos;
            if (strokedLabel(r, code)) return true;
            r->in.pos = start;
            return false;
        }
        default:
            return false;
    }
}

void drawSymbols(Renderer* r, const double* points, size_t count) {
    const Look& l = *r->look;
    if (!l.font || r->noPen || !r->dc) return;
    const LabelCell cell = labelCell(r->s.label);
    const LaidOutLabel out = layOutLabel(*l.font, &l.symbol, 1, cell);
    // The character's cell centred on the point, turned with the labels.
    const double a = -cell.width / 2, b = -cell.height / 2;
    double cosine = 1, sine = 0;
    if (const double d = std::hypot(cell.run, cell.rise); d > 0 && std::isfinite(d))
        cosine = cell.run / d, sine = cell.rise / d;
    for (size_t i = 0; i < count; ++i)
        drawStrokes(r, out, points[2 * i] + cosine * a - sine * b,
                    points[2 * i + 1] + sine * a + cosine * b);
}

void lookRestore(Renderer* r, int32_t code) {
    Look& l = *r->look;
    l.fillType = 1;
    l.hatchSpacing = l.hatchAngle = 0;
    l.terminator = '\x03';
    l.labelOrigin = 1;
    l.symbol = 0;
    if (code == kIN) {
        r->rotation = 0;
        const int32_t pen = l.pen;
        l.resetPens();
        l.pen = pen;
    }
}

HPEN lookPen(const Renderer& r, int32_t width, const uint32_t* dashes, int32_t count) {
    const Look& l = *r.look;
    const LOGBRUSH brush{BS_SOLID, l.colour(), 0};
    const DWORD style =
        PS_GEOMETRIC | l.endCap | l.join | (count > 0 ? PS_USERSTYLE : PS_SOLID);
    // DWORD is unsigned long on Windows: the same bits, another type.
    DWORD styles[16];
    const int32_t n = count < 0 ? 0 : count > 16 ? 16 : count;
    for (int32_t i = 0; i < n; ++i) styles[i] = dashes[i];
    return ExtCreatePen(style, DWORD(width), &brush, DWORD(n), n > 0 ? styles : nullptr);
}

double lookPenWidth(const Renderer& r) {
    const Look& l = *r.look;
    const int32_t slot = penSlot(l);
    if (slot >= 1 && slot <= 8 && r.penWidths && r.penWidths[slot - 1] > 0)
        return double(r.penWidths[slot - 1]) * kPlotterUnitsPerMm;
    return l.widths[size_t(slot)];
}

}  // namespace kro::hpgl
