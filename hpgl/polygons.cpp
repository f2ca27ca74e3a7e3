// Polygon mode and its replay (PM, EP, FP), the clip window (IW) and labels
// (LB, BL, PB): their text where the device draws it, else their boxes.
#include <cmath>
#include <cstring>
#include <utility>

#include "hpgl/hpgl.h"
#include "hpgl/render_state.h"

namespace kro::hpgl {
namespace {

// The last polygon and the last label: they outlive a drawing, so EP or PB
// at the start of a plot repeats what the previous plot left.
char gPolygon[kPolygonBytes + 1];
char gLabel[kLabelBytes + 1];

bool isCommandEnd(char c) {
    return hasClass(c, kTerminatorBit | kLetterBit);
}

}  // namespace

void Renderer::polygonMode() {
    double f[1];
    if (readCountedFields(f, 1) == 1 && f[0] != 0) {
        in.skipParameters();
        return;  // PM 1 and PM 2 outside polygon mode
    }
    in.skipParameters();
    size_t fill = 0;
    while (!in.atEnd()) {
        // Blanks between commands and comments are not collected.
        if (hasClass(in.peek(), kBlankBit)) {
            ++in.pos;
            continue;
        }
        if (in.skipFreeText()) continue;
        if (mnemonicCode(in.peek(), in.at(in.pos + 1)) == kPM) {
            // PM without a field, or PM 2, closes the polygon.
            Stream probe = in;
            probe.pos += 2;
            probe.skipSeparator();
            std::swap(in, probe);
            const int n = readCountedFields(f, 1);
            std::swap(in, probe);
            if (n == 0 || f[0] == 2.0) {
                in.pos += 2;
                in.skipParameters();
                break;
            }
        }
        for (int i = 0; i < 2 && !in.atEnd(); ++i, ++in.pos)
            if (fill < kPolygonBytes - 1) gPolygon[fill++] = in.peek();
        while (!in.atEnd() && !isCommandEnd(in.peek())) {
            if (fill < kPolygonBytes) gPolygon[fill++] = in.peek();
            ++in.pos;
        }
        if (!in.atEnd() && in.peek() == ';') {
            if (fill < kPolygonBytes) gPolygon[fill++] = ';';
            ++in.pos;
        }
    }
    gPolygon[fill] = '\0';
}

int32_t Renderer::replayPolygon() {
    in.skipParameters();
    const HpglRenderState saved = s;
    const Stream savedStream = in;
    const HGDIOBJ savedReplayPen = replayPen;
    const bool savedNoPen = noPen;
    const bool savedMadePen = replayMadePen;

    HGDIOBJ captured = nullptr;
    if (HPEN probe = CreatePen(PS_SOLID, 0, 0)) {
        captured = SelectObject(dc, probe);
        if (captured) SelectObject(dc, captured);
        DeleteObject(probe);
    }
    replayPen = captured;
    replayMadePen = false;
    // Gives the captured pen back, freeing the pen the replay left selected.
    auto restorePen = [&] {
        if (replayMadePen && captured) {
            HGDIOBJ last = SelectObject(dc, captured);
            if (last && last != captured && last != hostPen) DeleteObject(last);
        }
        replayPen = savedReplayPen;
        replayMadePen = savedMadePen || replayMadePen;
    };

    in = Stream(gPolygon, int64_t(strnlen(gPolygon, kPolygonBytes)));
    int32_t rc = 0;
    while (!in.atEnd()) {
        if (hasClass(in.peek(), kBlankBit)) {
            ++in.pos;
            continue;
        }
        const int32_t code = mnemonicCode(in.peek(), in.at(in.pos + 1));
        s.command = code;
        in.pos = in.pos + 2 < in.length ? in.pos + 2 : in.length;
        switch (code) {
            case kSP:
                selectPen();
                break;
            case kPU:
                s.penUp = 1;
                rc = movement();
                break;
            case kPD:
                s.penUp = 0;
                rc = movement();
                break;
            case kPA:
                s.relative = 0;
                rc = movement();
                break;
            case kPR:
                s.relative = 1;
                rc = movement();
                break;
            case kLT:
                setLineType();
                break;
            case kCI:
                circle();
                break;
            case kAA:
            case kAR:
            case kEW:
                arcOrWedge();
                break;
            case kEA:
            case kER:
                rectangle();
                break;
            default:
                in.skipParameters();
                break;
        }
        s.command = 0;
        if (rc != 0) break;
    }
    in = savedStream;
    restorePen();
    if (rc != 0) return -1;
    s = saved;
    noPen = savedNoPen;
    return 0;
}

void Renderer::clipWindow() {
    double f[4];
    const int n = readCountedFields(f, 4);
    in.skipParameters();
    if (n != 4) {
        SelectClipRgn(dc, nullptr);
        clipSet = false;
        return;
    }
    const int32_t p = s.plot;
    const bool userUnits =
        s.map.scalingOn == 1 && (p == 4 || p == 5 || p == 6 || p == 7 || p == 8 || p == 9 ||
                                 p == 10 || p == 14 || p == 15 || p == 31);
    if (userUnits) {
        f[0] = userX(f[0]), f[1] = userY(f[1]), f[2] = userX(f[2]), f[3] = userY(f[3]);
    }
    const int32_t l = toDeviceX(std::fmin(f[0], f[2])), t = toDeviceY(std::fmax(f[1], f[3]));
    const int32_t w = toDeviceLength(std::fabs(f[2] - f[0]));
    const int32_t h = toDeviceLength(std::fabs(f[3] - f[1]));
    // One more unit each way, so the window's edges are inside it.
    if (HRGN region = CreateRectRgn(l, t, l + w + 1, t + h + 1)) {
        SelectClipRgn(dc, region);
        DeleteObject(region);
        clipSet = true;
    }
}

void Renderer::label() {
    if (s.command != kPB) {
        size_t n = 0;
        while (!in.atEnd() && in.peek() != '\x03') {
            if (n < kLabelBytes) gLabel[n++] = in.peek();
            ++in.pos;
        }
        gLabel[n] = '\0';
        if (!in.atEnd()) ++in.pos;  // the ETX
        if (s.command == kBL) return;
    }
    if (noPen) return;
    const double n = double(std::strlen(gLabel));
    double cosine = 1, sine = 0;
    const double d = std::hypot(s.directionRun, s.directionRise);
    if (d != 0) cosine = s.directionRun / d, sine = s.directionRise / d;

    double ox = s.penX, oy = s.penY;
    double corners[4][2];
    const bool vertical = s.noVerticalLabels == 0 && s.labelVertical == 1;
    if (!vertical) {
        const double length = ((n - 1) * s.extraSpaceX * 1.5 + n) * s.charWidth;
        const double slant = s.slant * s.charWidth;
        const double c[4][2] = {
            {0, 0}, {length, 0}, {length + slant, s.charHeight}, {slant, s.charHeight}};
        std::memcpy(corners, c, sizeof c);
    } else {
        oy += s.charHeight;
        const double length = ((n - 1) * s.extraSpaceY * 2 + n) * s.charHeight;
        const double width = s.charWidth + s.slant * s.charWidth;
        const double c[4][2] = {{0, 0}, {0, -length}, {width, -length}, {width, 0}};
        std::memcpy(corners, c, sizeof c);
    }
    POINT box[5];
    for (int i = 0; i < 4; ++i) {
        const double a = corners[i][0], b = corners[i][1];
        box[i] = {toDeviceX(ox + a * cosine - b * sine), toDeviceY(oy + a * sine + b * cosine)};
    }
    box[4] = box[0];

    // The same box as character cells, in unrounded device units: a point
    // (a, b) of the label's own axes, a along the direction.
    auto device = [&](double a, double b, double* out) {
        const double x = ox + a * cosine - b * sine, y = oy + a * sine + b * cosine;
        out[0] = (x - s.originX) * s.deviceScale + s.offsetX;
        out[1] = double(s.deviceHeight) - (y - s.originY) * s.deviceScale - s.offsetY;
    };
    // Vertical labels run down from the box's top, one cell below another.
    const double base = vertical ? -s.charHeight : 0;
    const double step =
        vertical ? (1 + 2 * s.extraSpaceY) * s.charHeight : (1 + 1.5 * s.extraSpaceX) * s.charWidth;
    double frame[8];
    device(0, base, frame);
    device(s.charWidth, base, frame + 2);
    device(s.slant * s.charWidth, base + s.charHeight, frame + 4);
    device(vertical ? 0 : step, vertical ? base - step : base, frame + 6);
    for (int i = 2; i < 8; ++i) frame[i] -= frame[i % 2];  // points to vectors from the origin

    HPEN pen = CreatePen(PS_SOLID, 0, 0);
    if (!pen) return;
    HGDIOBJ old = SelectObject(dc, pen);
#ifdef _WIN32
    // The stroke font is the Cairo device's; on GDI32 the box stands for the text.
    const bool drawn = false;
    (void)frame;
#else
    const bool drawn = KroGdiDrawLabel(dc, gLabel, frame) != FALSE;
#endif
    if (!drawn) {
        MoveToEx(dc, box[0].x, box[0].y, nullptr);
        PolylineTo(dc, box + 1, 4);
    }
    if (old) SelectObject(dc, old);
    DeleteObject(pen);
}

}  // namespace kro::hpgl
