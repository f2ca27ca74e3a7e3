// Label text on the Cairo device: a monospace face measured once, each
// character mapped onto its cell of the label's frame.
#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "cairo_device.h"

namespace krogdi {
namespace {

// Glyphs are measured and drawn at this size, then mapped onto the cell;
// beyond kPathGlyph pixels an image device fills glyph outlines rather than
// caching a glyph image that large.
constexpr double kFontSize = 256;
constexpr double kPathGlyph = 512;
// The font engine fails beyond some 65000 pixels to the em, and Cairo then
// keeps that failure on the shared face for the rest of the process: such
// glyphs are never asked for.
constexpr double kMaxEm = 32768;

}  // namespace

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
    if (!outlines) {
        // The label's glyphs in one call, placed in glyph space from the
        // first cell: a page of many labels keeps one operation a label, not
        // one a character (PDF and SVG surfaces hold them all until the end).
        cairo_matrix_t toGlyph = cell;
        cairo_matrix_invert(&toGlyph);  // the cell has area: checked above
        std::vector<cairo_glyph_t> glyphs;
        for (size_t i = 0; p.visible && text[i]; ++i) {
            const unsigned char c = static_cast<unsigned char>(text[i]);
            if (c <= ' ' || c > '~') continue;
            const Pt at{o.x + double(i) * step.x, o.y + double(i) * step.y};
            if (!cellVisible(at, w, h)) continue;
            cairo_glyph_t* one = nullptr;
            int count = 0;
            const char glyph[2] = {text[i], '\0'};
            if (cairo_scaled_font_text_to_glyphs(font, 0, 0, glyph, 1, &one, &count, nullptr,
                                                 nullptr, nullptr) == CAIRO_STATUS_SUCCESS &&
                count == 1) {
                double gx = double(i) * step.x, gy = double(i) * step.y;
                cairo_matrix_transform_distance(&toGlyph, &gx, &gy);
                try {
                    glyphs.push_back({one[0].index, gx, gy});
                } catch (const std::bad_alloc&) {
                    count = 0;  // the glyphs so far are drawn
                }
            }
            cairo_glyph_free(one);
        }
        if (!glyphs.empty()) {
            cell.x0 = o.x, cell.y0 = o.y;
            cairo_matrix_multiply(&full, &cell, &base);
            cairo_set_matrix(cr_, &full);
            cairo_show_glyphs(cr_, glyphs.data(), int(glyphs.size()));
        }
    }
    for (size_t i = 0; outlines && p.visible && text[i]; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c <= ' ' || c > '~') continue;
        const char glyph[2] = {text[i], '\0'};
        const Pt at{o.x + double(i) * step.x, o.y + double(i) * step.y};
        if (!cellVisible(at, w, h)) continue;
        cell.x0 = at.x, cell.y0 = at.y;
        cairo_matrix_multiply(&full, &cell, &base);
        cairo_set_matrix(cr_, &full);
        cairo_move_to(cr_, 0, 0);
        cairo_text_path(cr_, glyph);
        cairo_fill(cr_);
    }
    cairo_new_path(cr_);
    cairo_restore(cr_);
    cairo_scaled_font_destroy(font);
    return ok();
}

}  // namespace krogdi
