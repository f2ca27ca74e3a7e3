// The Cairo device: GDI's calls drawn on an image, PDF or SVG surface.
//
// A device pixel (x, y) is the square from (x, y) to (x + 1, y + 1); lines run
// through pixel centres. A line starts half a pixel before its first pixel and
// stops half a pixel before its last, along its major axis, so the last pixel
// stays undrawn as under GDI. Strokes of one pen are gathered into one path and
// stroked together (each call a sub-path, so dash patterns restart as they do
// per call), which keeps big plots fast and PDF and SVG files small.
#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cairo.h>
#include <sys/mman.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "gdi_internal.h"
#include "raster.h"

using namespace krogdi;

namespace {

// Cairo keeps coordinates in 24.8 fixed point; geometry is clipped to this box
// first so that far-away coordinates cannot wrap into lines across the page.
constexpr double kSafe = 1 << 22;
constexpr size_t kBatch = 4096;  // sub-paths stroked at once
constexpr double kPi = 3.14159265358979323846;
// Labels: glyphs are measured and drawn at this size, then mapped onto the
// cell; beyond kPathGlyph pixels an image device fills glyph outlines rather
// than caching a glyph image that large.
constexpr double kFontSize = 256;
constexpr double kPathGlyph = 512;
// The font engine fails beyond some 65000 pixels to the em, and Cairo then
// keeps that failure on the shared face for the rest of the process: such
// glyphs are never asked for.
constexpr double kMaxEm = 32768;

struct Pt {
    double x, y;
};

bool inSafeBox(POINT p) {
    return std::abs(double(p.x)) < kSafe && std::abs(double(p.y)) < kSafe;
}

// Liang-Barsky: cuts the segment to the box (lo, lo) - (hiX, hiY); false when
// nothing is left. *cut (when not null) gets the length cut off at the start.
bool clipSegment(Pt* a, Pt* b, double lo = -kSafe, double hiX = kSafe, double hiY = kSafe,
                 double* cut = nullptr) {
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

// Sutherland-Hodgman against the safe box.
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

// The step from a to b scaled so that its major component is 1.
Pt majorStep(POINT a, POINT b) {
    const double dx = double(b.x) - a.x, dy = double(b.y) - a.y;
    const double major = std::max(std::abs(dx), std::abs(dy));
    return {dx / major, dy / major};
}

Pt centre(POINT p) {
    return {p.x + 0.5, p.y + 0.5};
}

class CairoDevice : public Device {
  public:
    CairoDevice(int32_t kind, int32_t width, int32_t height) : kind_(kind) {
        this->width = width, this->height = height;
    }
    ~CairoDevice() override {
        finish();
        if (cr_) cairo_destroy(cr_);
        if (surface_) cairo_surface_destroy(surface_);
        if (page_) ::munmap(page_, pageBytes_);
        if (face_) cairo_font_face_destroy(face_);
        if (fontOptions_) cairo_font_options_destroy(fontOptions_);
    }

    bool open(int32_t resolution, const char* path, uint32_t flags);
    bool mapPage();
    bool finish();
    bool line(const POINT* points, size_t count) override;
    bool arc(const RECT& box, POINT start, POINT end, bool pie) override;
    bool rectangle(const RECT& box) override;
    bool clip(const RECT* box) override;
    bool label(const char* text, const double* frame) override;
    void selecting(uint32_t type) override {
        if (type == OBJ_PEN) flush();
    }

    const unsigned char* pixels(int32_t* stride) {
        if (kind_ != KRO_GDI_IMAGE) return nullptr;
        flush();
        if (!ok()) return nullptr;
        cairo_surface_flush(surface_);
        *stride = cairo_image_surface_get_stride(surface_);
        return cairo_image_surface_get_data(surface_);
    }
    cairo_surface_t* surface() { return surface_; }
    int32_t kind() const { return kind_; }

  private:
    bool drawing() const { return !finished_ && cairo_status(cr_) == CAIRO_STATUS_SUCCESS; }
    bool ok() const { return cairo_status(cr_) == CAIRO_STATUS_SUCCESS; }
    const Pen& pen() const {
        static const Pen none = [] {
            Pen p;
            p.visible = false;
            return p;
        }();
        const Object* o = lookup(Device::pen);
        return o ? o->pen : none;
    }
    const Brush* brushOrNull() const {
        const Object* o = lookup(Device::brush);
        return o && !o->brush.hollow ? &o->brush : nullptr;
    }
    void colour(COLORREF c) {
        cairo_set_source_rgb(cr_, (c & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0,
                             ((c >> 16) & 0xFF) / 255.0);
    }
    void applyPen(double dashOffset = 0);
    void flush();
    void added(size_t subPaths) {
        pending_ += subPaths;
        if (pending_ >= kBatch) flush();
    }
    void fillAndStroke(const Brush* brush);
    void clippedPolyline(const std::vector<Pt>& points, bool closed);
    std::vector<Pt> ellipsePoints(Pt c, double rx, double ry, double t0, double t1);
    bool measureFont();
    bool cellVisible(Pt o, Pt w, Pt h) const;

    bool direct() const { return kind_ == KRO_GDI_IMAGE && !antialias_; }
    bool strokeDirect(const POINT* points, size_t first, size_t last);
    // Cairo must see the pixels written directly before it draws again.
    void toCairo() {
        if (!dirty_) return;
        cairo_surface_mark_dirty(surface_);
        dirty_ = false;
    }

    int32_t kind_;
    bool antialias_ = false;
    bool dirty_ = false;
    RECT clip_{};  // the drawable part, for direct strokes
    cairo_surface_t* surface_ = nullptr;
    cairo_t* cr_ = nullptr;
    std::vector<Vec> strokePath_;
    void* page_ = nullptr;  // an image device's pixels, mapped by us
    size_t pageBytes_ = 0;
    bool finished_ = false;
    size_t pending_ = 0;
    bool labelText_ = false;
    cairo_font_face_t* face_ = nullptr;
    cairo_font_options_t* fontOptions_ = nullptr;
    double capHeight_ = 0, advance_ = 0;  // of the face at kFontSize
};

bool CairoDevice::open(int32_t resolution, const char* path, uint32_t flags) {
    const double points = 72.0 / resolution;
    antialias_ = flags & KRO_GDI_ANTIALIAS;
    labelText_ = flags & KRO_GDI_LABEL_TEXT;
    clip_ = {0, 0, width, height};
    if (kind_ == KRO_GDI_IMAGE) {
        if (!mapPage()) return false;
        surface_ = cairo_image_surface_create_for_data(static_cast<unsigned char*>(page_),
                                                       CAIRO_FORMAT_ARGB32, width, height,
                                                       int(pageBytes_ / size_t(height)));
    } else if (kind_ == KRO_GDI_PDF)
        surface_ = cairo_pdf_surface_create(path, width * points, height * points);
    else
        surface_ = cairo_svg_surface_create(path, width * points, height * points);
    if (cairo_surface_status(surface_) != CAIRO_STATUS_SUCCESS) return false;
    cr_ = cairo_create(surface_);
    if (kind_ != KRO_GDI_IMAGE) cairo_scale(cr_, points, points);
    cairo_set_antialias(cr_,
                        flags & KRO_GDI_ANTIALIAS ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
    if (kind_ != KRO_GDI_IMAGE) {
        cairo_set_source_rgb(cr_, 1, 1, 1);
        cairo_paint(cr_);
    }
    return ok();
}

// The pixels of an image page, already white. A 300 dpi page runs to tens of
// megabytes: mapped in huge pages where the system offers them, it takes a
// few hundred page faults instead of thousands.
bool CairoDevice::mapPage() {
    const int stride = cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, width);
    if (stride <= 0 || height <= 0) return false;
    if (size_t(stride) > SIZE_MAX / size_t(height)) return false;
    pageBytes_ = size_t(stride) * size_t(height);
    void* p =
        ::mmap(nullptr, pageBytes_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return false;
    page_ = p;
    ::madvise(page_, pageBytes_, MADV_HUGEPAGE);
    std::memset(page_, 0xFF, pageBytes_);  // opaque white
    return true;
}

bool CairoDevice::finish() {
    if (!cr_) return false;
    if (!finished_) {
        flush();
        finished_ = true;
        if (kind_ != KRO_GDI_IMAGE) cairo_surface_finish(surface_);
    }
    return ok() && cairo_surface_status(surface_) == CAIRO_STATUS_SUCCESS;
}

void CairoDevice::applyPen(double dashOffset) {
    const Pen& p = pen();
    colour(p.colour);
    cairo_set_line_width(cr_, p.width);
    cairo_set_line_cap(cr_, p.endCap == PS_ENDCAP_ROUND    ? CAIRO_LINE_CAP_ROUND
                            : p.endCap == PS_ENDCAP_SQUARE ? CAIRO_LINE_CAP_SQUARE
                                                           : CAIRO_LINE_CAP_BUTT);
    cairo_set_line_join(cr_, p.join == PS_JOIN_ROUND   ? CAIRO_LINE_JOIN_ROUND
                             : p.join == PS_JOIN_BEVEL ? CAIRO_LINE_JOIN_BEVEL
                                                       : CAIRO_LINE_JOIN_MITER);
    cairo_set_dash(cr_, p.dashes.data(), int(p.dashes.size()), dashOffset);
}

void CairoDevice::flush() {
    toCairo();
    if (!pending_) return;
    pending_ = 0;
    applyPen();
    cairo_stroke(cr_);
}

void CairoDevice::fillAndStroke(const Brush* brush) {
    if (brush) {
        colour(brush->colour);
        cairo_fill_preserve(cr_);
    }
    if (pen().visible) {
        applyPen();
        cairo_stroke(cr_);
    } else {
        cairo_new_path(cr_);
    }
}

// Each segment its own sub-path, cut to the safe box.
void CairoDevice::clippedPolyline(const std::vector<Pt>& points, bool closed) {
    const size_t n = points.size();
    for (size_t i = 0; i + 1 < n + (closed ? 1 : 0); ++i) {
        Pt a = points[i], b = points[(i + 1) % n];
        if (!clipSegment(&a, &b)) continue;
        cairo_move_to(cr_, a.x, a.y);
        cairo_line_to(cr_, b.x, b.y);
        added(1);
    }
}

bool CairoDevice::line(const POINT* points, size_t count) {
    if (!drawing()) return false;
    if (!pen().visible) return true;
    auto at = [&](size_t i) { return i == 0 ? position : points[i - 1]; };
    auto moves = [&](size_t i) { return at(i).x != at(i - 1).x || at(i).y != at(i - 1).y; };
    size_t first = 0, last = 0;
    bool safe = inSafeBox(position);
    for (size_t i = 1; i <= count; ++i) {
        safe = safe && inSafeBox(at(i));
        if (!moves(i)) continue;
        if (!first) first = i;
        last = i;
    }
    if (!first) return true;  // no length: GDI draws nothing
    if (direct()) return strokeDirect(points, first, last);
    if (!safe) {
        // Rare: every segment stands alone, its own last pixel undrawn, cut to
        // near the page and dashed from where its pattern stands there (Cairo
        // keeps neither far coordinates nor long dash runs).
        flush();
        const double margin = pen().width + 64;
        for (size_t i = first; i <= last; ++i) {
            if (!moves(i)) continue;
            const Pt u = majorStep(at(i - 1), at(i));
            Pt a = centre(at(i - 1)), b = centre(at(i));
            a = {a.x - u.x / 2, a.y - u.y / 2}, b = {b.x - u.x / 2, b.y - u.y / 2};
            double cut = 0;
            if (!clipSegment(&a, &b, -margin, width + margin, height + margin, &cut)) continue;
            cairo_move_to(cr_, a.x, a.y);
            cairo_line_to(cr_, b.x, b.y);
            applyPen(cut);
            cairo_stroke(cr_);
        }
        return ok();
    }
    const Pt u = majorStep(at(first - 1), at(first));
    const Pt v = majorStep(at(last - 1), at(last));
    const Pt a = centre(at(first - 1));
    cairo_move_to(cr_, a.x - u.x / 2, a.y - u.y / 2);
    for (size_t i = first; i < last; ++i)
        if (moves(i)) cairo_line_to(cr_, at(i).x + 0.5, at(i).y + 0.5);
    const Pt b = centre(at(last));
    cairo_line_to(cr_, b.x - v.x / 2, b.y - v.y / 2);
    added(1);
    return ok();
}

bool CairoDevice::strokeDirect(const POINT* points, size_t first, size_t last) {
    flush();
    cairo_surface_flush(surface_);
    auto at = [&](size_t i) { return i == 0 ? position : points[i - 1]; };
    std::vector<Vec>& path = strokePath_;  // kept: most plots are many short lines
    path.clear();
    try {
        path.reserve(last - first + 2);
    } catch (const std::bad_alloc&) {
        return false;
    }
    const Pt u = majorStep(at(first - 1), at(first)), v = majorStep(at(last - 1), at(last));
    const Pt a = centre(at(first - 1)), b = centre(at(last));
    path.push_back({a.x - u.x / 2, a.y - u.y / 2});
    for (size_t i = first; i < last; ++i) path.push_back({at(i).x + 0.5, at(i).y + 0.5});
    path.push_back({b.x - v.x / 2, b.y - v.y / 2});
    const Pen& p = pen();
    const Canvas canvas{
        reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(surface_)),
        size_t(cairo_image_surface_get_stride(surface_)) / 4,
        clip_.left,
        clip_.top,
        clip_.right,
        clip_.bottom,
        0xFF000000u | (p.colour & 0xFF) << 16 | (p.colour & 0xFF00) | (p.colour >> 16 & 0xFF)};
    strokePolyline(canvas, p, path);
    dirty_ = true;
    return true;
}

std::vector<Pt> CairoDevice::ellipsePoints(Pt c, double rx, double ry, double t0, double t1) {
    // Chords within a quarter pixel of the curve, and never more than 2^18 of them.
    const double step = std::sqrt(2.0 / std::max(rx, ry));
    const double n = std::clamp(std::ceil((t0 - t1) / step), 8.0, double(1 << 18));
    std::vector<Pt> out;
    out.reserve(size_t(n) + 2);
    for (size_t k = 0; k <= size_t(n); ++k) {
        const double t = t0 + (t1 - t0) * double(k) / n;
        out.push_back({c.x + rx * std::cos(t), c.y + ry * std::sin(t)});
    }
    return out;
}

bool CairoDevice::arc(const RECT& box, POINT start, POINT end, bool pie) {
    if (!drawing()) return false;
    const Pen& p = pen();
    const Brush* brush = pie ? brushOrNull() : nullptr;
    if (!p.visible && !brush) return true;
    const double inset = p.insideFrame ? p.width / 2 : 0.5;
    const Pt c{(double(box.left) + box.right) / 2, (double(box.top) + box.bottom) / 2};
    const double rx = (double(box.right) - box.left) / 2 - inset;
    const double ry = (double(box.bottom) - box.top) / 2 - inset;
    if (rx <= 0 || ry <= 0) return true;  // too small for a curve

    const double xs = start.x + 0.5 - c.x, ys = start.y + 0.5 - c.y;
    const double xe = end.x + 0.5 - c.x, ye = end.y + 0.5 - c.y;
    const double t0 = std::atan2(ys / ry, xs / rx);
    double t1 = std::atan2(ye / ry, xe / rx);
    // The same ray both times: the whole ellipse.
    const bool sameRay = xs * ye == ys * xe && (xs * xe + ys * ye > 0 || (xe == 0 && ye == 0));
    if (sameRay) t1 = t0 - 2 * kPi;
    while (t1 >= t0) t1 -= 2 * kPi;  // counter-clockwise on the page: decreasing angles

    if (pie) flush();
    toCairo();
    const bool safe = std::max({std::abs(double(box.left)), std::abs(double(box.right)),
                                std::abs(double(box.top)), std::abs(double(box.bottom))}) < kSafe;
    if (safe) {
        cairo_new_sub_path(cr_);
        cairo_save(cr_);
        cairo_translate(cr_, c.x, c.y);
        cairo_scale(cr_, rx, ry);
        if (pie) cairo_move_to(cr_, 0, 0);
        cairo_arc_negative(cr_, 0, 0, 1, t0, t1);
        if (pie) cairo_close_path(cr_);
        cairo_restore(cr_);
    } else {
        try {
            std::vector<Pt> curve = ellipsePoints(c, rx, ry, t0, t1);
            if (!pie) {
                clippedPolyline(curve, false);
                return ok();
            }
            curve.push_back(c);
            curve = clipPolygon(std::move(curve));
            if (curve.empty()) return ok();
            cairo_move_to(cr_, curve[0].x, curve[0].y);
            for (const Pt& q : curve) cairo_line_to(cr_, q.x, q.y);
            cairo_close_path(cr_);
        } catch (const std::bad_alloc&) {
            return false;
        }
    }
    if (pie)
        fillAndStroke(brush);
    else
        added(1);
    return ok();
}

bool CairoDevice::rectangle(const RECT& box) {
    if (!drawing()) return false;
    flush();
    auto safe = [](LONG v) { return std::clamp(double(v), -kSafe, kSafe); };
    const double l = safe(box.left), t = safe(box.top), r = safe(box.right), b = safe(box.bottom);
    const Brush* brush = brushOrNull();
    if (brush && r - l > 1 && b - t > 1) {  // the inside; the pen covers the rest
        colour(brush->colour);
        cairo_rectangle(cr_, l, t, r - l - 1, b - t - 1);
        cairo_fill(cr_);
    }
    const Pen& p = pen();
    const double inset = p.insideFrame ? p.width / 2 : 0.5;
    if (p.visible && r - l >= 2 * inset && b - t >= 2 * inset) {
        cairo_rectangle(cr_, l + inset, t + inset, r - l - 2 * inset, b - t - 2 * inset);
        applyPen();
        cairo_stroke(cr_);
    }
    return ok();
}

bool CairoDevice::clip(const RECT* box) {
    if (!drawing()) return false;
    flush();
    cairo_reset_clip(cr_);
    clip_ = {0, 0, width, height};
    if (box) {
        clip_ = {std::max(clip_.left, box->left), std::max(clip_.top, box->top),
                 std::min(clip_.right, box->right), std::min(clip_.bottom, box->bottom)};
        auto safe = [](LONG v) { return std::clamp(double(v), -kSafe, kSafe); };
        cairo_rectangle(cr_, safe(box->left), safe(box->top), safe(box->right) - safe(box->left),
                        safe(box->bottom) - safe(box->top));
        cairo_clip(cr_);
    }
    return ok();
}

// The label face's capital height and advance, measured once. Unhinted, so
// that glyphs scale exactly to the cells they are mapped onto.
bool CairoDevice::measureFont() {
    if (face_) return capHeight_ > 0;
    face_ =
        cairo_toy_font_face_create("monospace", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    fontOptions_ = cairo_font_options_create();
    cairo_font_options_set_hint_style(fontOptions_, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(fontOptions_, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_antialias(fontOptions_,
                                     antialias_ ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
    cairo_matrix_t size, identity;
    cairo_matrix_init_scale(&size, kFontSize, kFontSize);
    cairo_matrix_init_identity(&identity);
    cairo_scaled_font_t* font = cairo_scaled_font_create(face_, &size, &identity, fontOptions_);
    cairo_text_extents_t e{};
    if (cairo_scaled_font_status(font) == CAIRO_STATUS_SUCCESS)
        cairo_scaled_font_text_extents(font, "H", &e);
    cairo_scaled_font_destroy(font);
    if (-e.y_bearing > 0 && e.x_advance > 0 && std::isfinite(e.y_bearing + e.x_advance))
        capHeight_ = -e.y_bearing, advance_ = e.x_advance;
    return capHeight_ > 0;
}

// Whether the cell at o lies within Cairo's range and touches the page.
bool CairoDevice::cellVisible(Pt o, Pt w, Pt h) const {
    const double xs[4] = {o.x, o.x + w.x, o.x + h.x, o.x + w.x + h.x};
    const double ys[4] = {o.y, o.y + w.y, o.y + h.y, o.y + w.y + h.y};
    const auto [x0, x1] = std::minmax_element(xs, xs + 4);
    const auto [y0, y1] = std::minmax_element(ys, ys + 4);
    if (*x0 < -kSafe / 2 || *y0 < -kSafe / 2 || *x1 > kSafe / 2 || *y1 > kSafe / 2) return false;
    // Descenders and accents reach a cell beyond: a margin of half a cell.
    const double mx = (*x1 - *x0) / 2 + 2, my = (*y1 - *y0) / 2 + 2;
    return *x1 > -mx && *y1 > -my && *x0 < width + mx && *y0 < height + my;
}

bool CairoDevice::label(const char* text, const double* frame) {
    if (!labelText_ || !drawing()) return false;
    for (int i = 0; i < 8; ++i)
        if (!std::isfinite(frame[i])) return false;
    Pt o{frame[0] + 0.5, frame[1] + 0.5}, w{frame[2], frame[3]}, h{frame[4], frame[5]};
    const Pt step{frame[6], frame[7]};
    // Cells stacked along their height (vertical labels) leave no room
    // between capitals that fill them: a capital takes at most two thirds of
    // the step, centred in its cell, so the column keeps the box's spacing.
    const double stepLength = std::hypot(step.x, step.y), height = std::hypot(h.x, h.y);
    if (stepLength > 0 && height > 0 &&
        std::abs(step.x * h.y - step.y * h.x) <= 1e-6 * stepLength * height) {
        const double g = std::min(1.0, stepLength * 2 / 3 / height);
        o = {o.x + h.x * (1 - g) / 2, o.y + h.y * (1 - g) / 2};
        h = {h.x * g, h.y * g};
    }
    // No area, or a cell so flat that its glyphs would be lines.
    const double area = std::abs(w.x * h.y - w.y * h.x);
    if (area < 1e-6 || area < 1e-3 * std::hypot(w.x, w.y) * std::hypot(h.x, h.y)) return false;
    if (!measureFont()) return false;
    // Glyph space (y down, baseline at 0) onto the cell: the advance across
    // the width vector, the capital height up the height vector.
    // PDF and SVG pages add their scale to points after that.
    cairo_matrix_t cell, base, full, size;
    cairo_matrix_init(&cell, w.x / advance_, w.y / advance_, -h.x / capHeight_, -h.y / capHeight_,
                      0, 0);
    cairo_get_matrix(cr_, &base);
    cairo_matrix_multiply(&full, &cell, &base);
    // Cairo keeps its errors on the context, and on the face: a matrix or a
    // size it would refuse never reaches it.
    cairo_matrix_t inverse = full;
    if (cairo_matrix_invert(&inverse) != CAIRO_STATUS_SUCCESS ||
        kFontSize * std::hypot(full.xx, full.yx) > kMaxEm ||
        kFontSize * std::hypot(full.xy, full.yy) > kMaxEm)
        return false;
    cairo_matrix_init_scale(&size, kFontSize, kFontSize);
    cairo_scaled_font_t* font = cairo_scaled_font_create(face_, &size, &full, fontOptions_);
    if (cairo_scaled_font_status(font) != CAIRO_STATUS_SUCCESS) {
        cairo_scaled_font_destroy(font);
        return false;
    }
    flush();
    const Pen& p = pen();
    const bool outlines =
        kind_ == KRO_GDI_IMAGE && std::max(std::hypot(w.x, w.y), std::hypot(h.x, h.y)) > kPathGlyph;
    cairo_save(cr_);
    colour(p.colour);
    cairo_set_scaled_font(cr_, font);
    for (size_t i = 0; p.visible && text[i]; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c <= ' ' || c > '~') continue;
        const char glyph[2] = {text[i], '\0'};
        const Pt at{o.x + double(i) * step.x, o.y + double(i) * step.y};
        if (!cellVisible(at, w, h)) continue;
        cell.x0 = at.x, cell.y0 = at.y;
        cairo_matrix_multiply(&full, &cell, &base);
        cairo_set_matrix(cr_, &full);
        cairo_move_to(cr_, 0, 0);
        if (outlines) {
            cairo_text_path(cr_, glyph);
            cairo_fill(cr_);
        } else {
            cairo_show_text(cr_, glyph);
        }
    }
    cairo_new_path(cr_);
    cairo_restore(cr_);
    cairo_scaled_font_destroy(font);
    return ok();
}

CairoDevice* cairoDevice(HDC dc) {
    return dynamic_cast<CairoDevice*>(lookupDevice(dc));
}

}  // namespace

extern "C" {

HDC KroGdiCreateDevice(int32_t kind, int32_t width, int32_t height, int32_t resolution,
                       const char* path, uint32_t flags) {
    if (width <= 0 || height <= 0 || width > 32767 || height > 32767 || resolution <= 0)
        return nullptr;
    if (kind != KRO_GDI_IMAGE && ((kind != KRO_GDI_PDF && kind != KRO_GDI_SVG) || !path))
        return nullptr;
    auto device = std::unique_ptr<CairoDevice>(new (std::nothrow) CairoDevice(kind, width, height));
    if (!device || !device->open(resolution, path, flags)) return nullptr;
    device->resolution = resolution;
    return adoptDevice(std::move(device));
}

int32_t KroGdiFinish(HDC dc) {
    CairoDevice* d = cairoDevice(dc);
    return d && d->finish() ? 0 : -1;
}

const unsigned char* KroGdiPixels(HDC dc, int32_t* width, int32_t* height, int32_t* stride) {
    CairoDevice* d = cairoDevice(dc);
    int32_t s = 0;
    const unsigned char* data = d ? d->pixels(&s) : nullptr;
    if (!data) return nullptr;
    if (width) *width = d->width;
    if (height) *height = d->height;
    if (stride) *stride = s;
    return data;
}

int32_t KroGdiReadRows(HDC dc, int32_t depth, unsigned char* rows, size_t rowBytes) {
    int32_t w = 0, h = 0, stride = 0;
    const unsigned char* data = KroGdiPixels(dc, &w, &h, &stride);
    if (!data || !rows) return -1;
    const size_t need = depth == 24 ? size_t(w) * 3 : depth == 8 ? size_t(w) : (size_t(w) + 7) / 8;
    if ((depth != 1 && depth != 8 && depth != 24) || rowBytes < need) return -1;
    const auto gray = [](uint32_t px) {
        const unsigned r = (px >> 16) & 0xFF, g = (px >> 8) & 0xFF, b = px & 0xFF;
        return (r * 299 + g * 587 + b * 114 + 500) / 1000;
    };
    for (int32_t y = 0; y < h; ++y) {
        const uint32_t* in = reinterpret_cast<const uint32_t*>(data + size_t(y) * size_t(stride));
        unsigned char* out = rows + size_t(y) * rowBytes;
        if (depth == 24) {
            for (int32_t x = 0; x < w; ++x, out += 3)
                out[0] = uint8_t(in[x] >> 16), out[1] = uint8_t(in[x] >> 8),
                out[2] = uint8_t(in[x]);
        } else if (depth == 8) {
            for (int32_t x = 0; x < w; ++x) out[x] = uint8_t(gray(in[x]));
        } else {
            std::fill(out, out + need, 0);
            int32_t x = 0;
            for (; x + 8 <= w; x += 8) {
                uint32_t all = in[x];
                for (int k = 1; k < 8; ++k) all &= in[x + k];
                if (all == 0xFFFFFFFFu) continue;  // eight white pixels: most of a plot's page
                unsigned bits = 0;
                for (int k = 0; k < 8; ++k) bits = bits << 1 | (gray(in[x + k]) < 128);
                out[x >> 3] = uint8_t(bits);
            }
            for (; x < w; ++x)
                if (gray(in[x]) < 128) out[x >> 3] |= uint8_t(0x80u >> (x & 7));
        }
    }
    return 0;
}

int32_t KroGdiWritePNG(HDC dc, const char* path) {
    CairoDevice* d = cairoDevice(dc);
    int32_t stride = 0;
    if (!d || !path || !d->pixels(&stride)) return -1;
    return cairo_surface_write_to_png(d->surface(), path) == CAIRO_STATUS_SUCCESS ? 0 : -1;
}

}  // extern "C"
