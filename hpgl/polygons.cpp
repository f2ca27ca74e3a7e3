// Polygon mode and its replay (PM, EP, FP) and the clip window (IW).
#include <cmath>
#include <cstring>
#include <utility>

#include "hpgl/hpgl.h"
#include "hpgl/plotter.h"
#include "hpgl/render_state.h"

namespace kro::hpgl {
namespace {

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
    char* polygon = carry->polygon;
    size_t fill = 0;
    while (!in.atEnd()) {
        // Blanks between commands and comments are not collected.
        if (hasClass(in.peek(), kBlankBit)) {
            ++in.pos;
            continue;
        }
        // The full look keeps PE whole: its encoded numbers hold letters.
        const bool encoded = look && extendedCode(in.peek(), in.at(in.pos + 1)) == kPE;
        if (!encoded && in.skipFreeText()) continue;
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
            if (fill < kPolygonBytes - 1) polygon[fill++] = in.peek();
        while (encoded && !in.atEnd() && in.peek() != ';') {
            if (fill < kPolygonBytes) polygon[fill++] = in.peek();
            ++in.pos;
        }
        while (!in.atEnd() && !isCommandEnd(in.peek())) {
            if (fill < kPolygonBytes) polygon[fill++] = in.peek();
            ++in.pos;
        }
        if (!in.atEnd() && in.peek() == ';') {
            if (fill < kPolygonBytes) polygon[fill++] = ';';
            ++in.pos;
        }
    }
    polygon[fill] = '\0';
}

int32_t Renderer::replayPolygon() {
    in.skipParameters();
    const HpglRenderState saved = s;
    const Stream savedStream = in;
    const HGDIOBJ savedReplayPen = replayPen;
    const bool savedNoPen = noPen;
    const bool savedMadePen = replayMadePen;

    const HGDIOBJ captured = currentPen(dc);
    replayPen = captured;
    replayMadePen = false;
    const char* polygon = carry->polygon;
    in = Stream(polygon, int64_t(strnlen(polygon, kPolygonBytes)));
    int32_t rc = 0;
    while (!in.atEnd() && rc == 0) {
        if (hasClass(in.peek(), kBlankBit)) {
            ++in.pos;
            continue;
        }
        int32_t code = mnemonicCode(in.peek(), in.at(in.pos + 1));
        // The full look outlines the polygon's paths too.
        if (look && code == 0) code = extendedCode(in.peek(), in.at(in.pos + 1));
        s.command = code;
        in.pos = in.pos + 2 < in.length ? in.pos + 2 : in.length;
        rc = code >= kPE && code <= kRT ? path(code) : drawingCommand(code);
        if (rc < 0) {
            rc = 0;
            in.skipParameters();
        }
        s.command = 0;
    }
    in = savedStream;
    // The captured pen goes back, and the pen the replay left selected is freed.
    if (replayMadePen && captured) {
        HGDIOBJ last = SelectObject(dc, captured);
        if (last && last != captured && last != hostPen) DeleteObject(last);
    }
    replayPen = savedReplayPen;
    replayMadePen = savedMadePen || replayMadePen;
    if (rc != 0) return rc;
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
    const bool userUnits = s.map.scalingOn == 1 && plotterRules(s.plot).has(kWindowInUserUnits);
    if (userUnits) {
        f[0] = userX(f[0]), f[1] = userY(f[1]), f[2] = userX(f[2]), f[3] = userY(f[3]);
    }
    turnQuarters(rotation, &f[0], &f[1]);
    turnQuarters(rotation, &f[2], &f[3]);
    const int32_t l = toDeviceX(std::fmin(f[0], f[2])), t = toDeviceY(std::fmax(f[1], f[3]));
    const int32_t w = toDeviceLength(std::fabs(f[2] - f[0]));
    const int32_t h = toDeviceLength(std::fabs(f[3] - f[1]));
    // One more unit each way, so the window's edges are inside it.
    clipRect = {l, t, l + w + 1, t + h + 1};
    if (HRGN region = CreateRectRgn(l, t, l + w + 1, t + h + 1)) {
        SelectClipRgn(dc, region);
        DeleteObject(region);
        clipSet = true;
    }
}

}  // namespace kro::hpgl
