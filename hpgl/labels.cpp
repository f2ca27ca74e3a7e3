// Labels (LB, BL, PB): their text where the device draws it, else their boxes.
#include <cmath>
#include <cstring>

#include "hpgl/hpgl.h"
#include "hpgl/render_state.h"

namespace kro::hpgl {
namespace {

// A label's place: its origin and direction in plotter units and its
// settings, with the points of its own axes (a along the direction) on the device.
struct LabelPlace {
    const Renderer& r;
    const LabelSettings& l;
    double ox, oy;
    double cosine = 1, sine = 0;
    bool vertical;

    LabelPlace(const Renderer& renderer)
        : r(renderer), l(renderer.s.label), ox(renderer.s.penX), oy(renderer.s.penY) {
        const double d = std::hypot(l.directionRun, l.directionRise);
        if (d != 0) cosine = l.directionRun / d, sine = l.directionRise / d;
        vertical = l.noVerticalLabels == 0 && l.labelVertical == 1;
        if (vertical) oy += l.charHeight;
    }

    // The point (a, b) in rounded device units, as the drawing calls take it.
    POINT rounded(double a, double b) const {
        return r.toDevice(ox + a * cosine - b * sine, oy + a * sine + b * cosine);
    }
    // The same unrounded.
    void exact(double a, double b, double* out) const {
        const HpglRenderState& s = r.s;
        double x = ox + a * cosine - b * sine, y = oy + a * sine + b * cosine;
        turnQuarters(r.rotation, &x, &y);
        out[0] = (x - s.originX) * s.deviceScale + s.offsetX;
        out[1] = double(s.deviceHeight) - (y - s.originY) * s.deviceScale - s.offsetY;
    }

    // The box of n characters, closed.
    void box(double n, POINT* out) const {
        double corners[4][2];
        if (!vertical) {
            const double length = ((n - 1) * l.extraSpaceX * 1.5 + n) * l.charWidth;
            const double slant = l.slant * l.charWidth;
            const double c[4][2] = {
                {0, 0}, {length, 0}, {length + slant, l.charHeight}, {slant, l.charHeight}};
            std::memcpy(corners, c, sizeof c);
        } else {
            const double length = ((n - 1) * l.extraSpaceY * 2 + n) * l.charHeight;
            const double width = l.charWidth + l.slant * l.charWidth;
            const double c[4][2] = {{0, 0}, {0, -length}, {width, -length}, {width, 0}};
            std::memcpy(corners, c, sizeof c);
        }
        for (int i = 0; i < 4; ++i) out[i] = rounded(corners[i][0], corners[i][1]);
        out[4] = out[0];
    }

    // The first character cell and the step to the next (see KroGdiDrawLabel).
    // Vertical labels run down from the box's top, one cell below another.
    void frame(double* out) const {
        const double base = vertical ? -l.charHeight : 0;
        const double step = vertical ? (1 + 2 * l.extraSpaceY) * l.charHeight
                                     : (1 + 1.5 * l.extraSpaceX) * l.charWidth;
        exact(0, base, out);
        exact(l.charWidth, base, out + 2);
        exact(l.slant * l.charWidth, base + l.charHeight, out + 4);
        exact(vertical ? 0 : step, vertical ? base - step : base, out + 6);
        for (int i = 2; i < 8; ++i) out[i] -= out[i % 2];  // points to vectors from the origin
    }
};

}  // namespace

void Renderer::label() {
    char* text = carry->label;
    if (s.command != kPB) {
        size_t n = 0;
        while (!in.atEnd() && in.peek() != '\x03') {
            if (n < kLabelBytes) text[n++] = in.peek();
            ++in.pos;
        }
        text[n] = '\0';
        if (!in.atEnd()) ++in.pos;  // the ETX
        if (s.command == kBL) return;
    }
    if (noPen) return;
    const LabelPlace place(*this);
    POINT box[5];
    place.box(double(std::strlen(text)), box);
    double frame[8];
    place.frame(frame);

    HPEN pen = CreatePen(PS_SOLID, 0, 0);
    if (!pen) return;
    HGDIOBJ old = SelectObject(dc, pen);
#ifdef _WIN32
    // The stroke font is the Cairo device's; on GDI32 the box stands for the text.
    const bool drawn = false;
    (void)frame;
#else
    const bool drawn = KroGdiDrawLabel(dc, text, frame) != FALSE;
#endif
    if (!drawn) {
        MoveToEx(dc, box[0].x, box[0].y, nullptr);
        PolylineTo(dc, box + 1, 4);
    }
    if (old) SelectObject(dc, old);
    DeleteObject(pen);
}

}  // namespace kro::hpgl
