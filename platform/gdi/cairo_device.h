// The Cairo device: GDI's calls drawn on an image, PDF or SVG surface.
//
// A device pixel (x, y) is the square from (x, y) to (x + 1, y + 1); lines run
// through pixel centres. A line starts half a pixel before its first pixel and
// stops half a pixel before its last, along its major axis, so the last pixel
// stays undrawn as under GDI. Strokes of one pen are gathered into one path and
// stroked together (each call a sub-path, so dash patterns restart as they do
// per call), which keeps big plots fast and PDF and SVG files small.
#pragma once

#include <cairo.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "gdi_internal.h"
#include "raster.h"

namespace krogdi {

// Cairo keeps coordinates in 24.8 fixed point; geometry is clipped to this box
// first so that far-away coordinates cannot wrap into lines across the page.
inline constexpr double kSafe = 1 << 22;
inline constexpr size_t kBatch = 4096;  // sub-paths stroked at once

struct Pt {
    double x, y;
};

// The safe box and the pixel geometry of lines (cairo_clip.cpp).
bool inSafeBox(POINT p);
// Liang-Barsky: cuts the segment to the box (lo, lo) - (hiX, hiY); false when
// nothing is left. *cut (when not null) gets the length cut off at the start.
bool clipSegment(Pt* a, Pt* b, double lo = -kSafe, double hiX = kSafe, double hiY = kSafe,
                 double* cut = nullptr);
// Sutherland-Hodgman against the safe box.
std::vector<Pt> clipPolygon(std::vector<Pt> poly);
// The step from a to b scaled so that its major component is 1.
Pt majorStep(POINT a, POINT b);
// The centre of a pixel.
Pt centre(POINT p);

class CairoDevice : public Device {
  public:
    CairoDevice(int32_t kind, int32_t width, int32_t height) : kind_(kind) {
        this->width = width, this->height = height;
    }
    ~CairoDevice() override;

    bool open(int32_t resolution, const char* path, uint32_t flags);
    bool mapPage();
    bool finish();
    bool nextPage(int32_t width, int32_t height);
    bool line(const POINT* points, size_t count) override;
    bool arc(const RECT& box, POINT start, POINT end, bool pie) override;
    bool rectangle(const RECT& box) override;
    bool polygons(const POINT* points, const int* counts, size_t figures) override;
    bool clip(const RECT* box) override;
    bool label(const char* text, const double* frame) override;
    // A new pen does not end the gathered path: the path keeps the pen it
    // was gathered with (see joinBatch).
    void selecting(uint32_t) override {}

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
    void applyPen(double dashOffset = 0) { applyPen(pen(), dashOffset); }
    void applyPen(const Pen& p, double dashOffset);
    void flush();
    // Before sub-paths join the gathered path: they stroke with `stroke`, so
    // a path gathered with another look is stroked first.
    void joinBatch(const Pen& stroke);
    // PDF and SVG: dashes cut here into solid pieces, so that lines of
    // many patterns (adaptive line types) share one path instead of a
    // stroke each, which those surfaces keep until the page ends.
    // Cut when only the dashes would end the gathered path: lines of one
    // pattern still share Cairo's own dashing, which writes less.
    bool cutting(const Pen& p) const {
        const Pen& q = pendingPen_;
        return kind_ != KRO_GDI_IMAGE && !p.dashes.empty() && pending_ && q.dashes != p.dashes &&
               q.width == p.width && q.colour == p.colour && q.endCap == p.endCap &&
               q.join == p.join;
    }
    void dashedSubPaths(const std::vector<Pt>& line, const std::vector<double>& dashes);
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
    Pen pendingPen_;  // the pen of the gathered path
    bool labelText_ = false;
    cairo_font_face_t* face_ = nullptr;
    cairo_font_options_t* fontOptions_ = nullptr;
    double capHeight_ = 0, advance_ = 0;  // of the face at kFontSize
};

// The Cairo device behind a handle, or null.
CairoDevice* cairoDevice(HDC dc);

}  // namespace krogdi
