// The Cairo device's surfaces and its drawing calls: lines, arcs and pies,
// rectangles and the clip.
#include "cairo_device.h"

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <sys/mman.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace krogdi {
namespace {

constexpr double kPi = 3.14159265358979323846;

}  // namespace

CairoDevice::~CairoDevice() {
    finish();
    if (cr_) cairo_destroy(cr_);
    if (surface_) cairo_surface_destroy(surface_);
    if (page_) ::munmap(page_, pageBytes_);
    if (face_) cairo_font_face_destroy(face_);
    if (fontOptions_) cairo_font_options_destroy(fontOptions_);
}

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

// A PDF device's next page, white, of its own size; the pen and brush stay,
// the clip goes.
bool CairoDevice::nextPage(int32_t newWidth, int32_t newHeight) {
    if (kind_ != KRO_GDI_PDF || !drawing()) return false;
    if (newWidth <= 0 || newHeight <= 0 || newWidth > 32767 || newHeight > 32767) return false;
    flush();
    cairo_show_page(cr_);
    const double points = 72.0 / resolution;
    cairo_pdf_surface_set_size(surface_, newWidth * points, newHeight * points);
    width = newWidth, height = newHeight;
    clip(nullptr);
    cairo_set_source_rgb(cr_, 1, 1, 1);
    cairo_paint(cr_);
    return ok();
}

void CairoDevice::applyPen(const Pen& p, double dashOffset) {
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
    applyPen(pendingPen_, 0);
    cairo_stroke(cr_);
}

void CairoDevice::joinBatch(const Pen& stroke) {
    const Pen& q = pendingPen_;
    if (pending_ &&
        (q.width != stroke.width || q.colour != stroke.colour || q.endCap != stroke.endCap ||
         q.join != stroke.join || q.dashes != stroke.dashes))
        flush();
    if (!pending_) pendingPen_ = stroke;
}

void CairoDevice::dashedSubPaths(const std::vector<Pt>& line, const std::vector<double>& pattern) {
    double total = 0;
    for (double d : pattern) total += d;
    const size_t n = pattern.size() % 2 ? pattern.size() * 2 : pattern.size();
    size_t index = 0;
    double left = pattern[0];  // of the dash or gap at index
    bool on = true;
    size_t pieces = 0;
    for (size_t i = 1; i < line.size(); ++i) {
        const Pt a = line[i - 1], b = line[i];
        const double length = std::hypot(b.x - a.x, b.y - a.y);
        if (on && pieces == 0) cairo_move_to(cr_, a.x, a.y), pieces = 1;
        double done = 0;
        // Whole patterns at most as many as the page can show: a step of
        // under a pixel ends the walk.
        while (length - done > left && total > 0) {
            done += left;
            const Pt at{a.x + (b.x - a.x) * done / length, a.y + (b.y - a.y) * done / length};
            index = (index + 1) % n;
            left = pattern[index % pattern.size()];
            if (on && left == 0) {
                // A gap of nothing joins two dashes (adaptive patterns end so).
                index = (index + 1) % n;
                left = pattern[index % pattern.size()];
                continue;
            }
            if (on) {
                cairo_line_to(cr_, at.x, at.y);
            } else {
                cairo_move_to(cr_, at.x, at.y);
                ++pieces;
            }
            on = !on;
            if (pieces >= kBatch) {
                added(pieces);
                pieces = 0;
                if (on) cairo_move_to(cr_, at.x, at.y), pieces = 1;
            }
        }
        left -= length - done;
        if (on) cairo_line_to(cr_, b.x, b.y);
    }
    added(pieces);
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
    const Pt b = centre(at(last));
    const Pen& p = pen();
    if (cutting(p)) {
        Pen solid = p;
        solid.dashes.clear();
        joinBatch(solid);
        try {
            std::vector<Pt> line{{a.x - u.x / 2, a.y - u.y / 2}};
            for (size_t i = first; i < last; ++i)
                if (moves(i)) line.push_back({at(i).x + 0.5, at(i).y + 0.5});
            line.push_back({b.x - v.x / 2, b.y - v.y / 2});
            dashedSubPaths(line, p.dashes);
        } catch (const std::bad_alloc&) {
            return false;
        }
        return ok();
    }
    joinBatch(p);
    cairo_move_to(cr_, a.x - u.x / 2, a.y - u.y / 2);
    for (size_t i = first; i < last; ++i)
        if (moves(i)) cairo_line_to(cr_, at(i).x + 0.5, at(i).y + 0.5);
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

    if (pie)
        flush();
    else
        joinBatch(p);
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

// Outlines run through pixel centres as lines do; the fill covers the same
// figure, so a fill and its outline meet without a gap.
bool CairoDevice::polygons(const POINT* points, const int* counts, size_t figures) {
    if (!drawing()) return false;
    const Brush* brush = brushOrNull();
    if (!pen().visible && !brush) return true;
    flush();
    try {
        size_t at = 0;
        for (size_t f = 0; f < figures; ++f) {
            std::vector<Pt> figure;
            figure.reserve(size_t(counts[f]));
            for (int i = 0; i < counts[f]; ++i, ++at) figure.push_back(centre(points[at]));
            figure = clipPolygon(std::move(figure));
            if (figure.empty()) continue;
            cairo_move_to(cr_, figure[0].x, figure[0].y);
            for (const Pt& q : figure) cairo_line_to(cr_, q.x, q.y);
            cairo_close_path(cr_);
        }
    } catch (const std::bad_alloc&) {
        cairo_new_path(cr_);
        return false;
    }
    cairo_set_fill_rule(cr_, fillMode == WINDING ? CAIRO_FILL_RULE_WINDING
                                                 : CAIRO_FILL_RULE_EVEN_ODD);
    fillAndStroke(brush);
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

CairoDevice* cairoDevice(HDC dc) {
    return dynamic_cast<CairoDevice*>(lookupDevice(dc));
}

}  // namespace krogdi
