// The commands that only set the drawing's state: scaling points, user
// scaling, character size, slant, direction, vertical labels, extra space.
#include <cmath>

#include "hpgl/hpgl.h"
#include "hpgl/render_state.h"

namespace kro::hpgl {

void Renderer::settings(int32_t code) {
    double f[4] = {};
    const int max = code == kIP || code == kSC ? 4 : code == kSL || code == kDV ? 1 : 2;
    const int n = readCountedFields(f, max);
    in.skipParameters();
    const HpglRenderState& d = defaults;
    const double dx = std::fabs(s.map.p2X - s.map.p1X), dy = std::fabs(s.map.p2Y - s.map.p1Y);
    switch (code) {
        case kIP:
            s.map.setPoints(f, n, &s.p1p2Given);
            break;
        case kSC:
            s.map.setScaling(f, n, s.p1p2Given);
            break;
        case kSI:
            s.charWidth = n == 2 ? f[0] * 400.0 : 114.0;
            s.charHeight = n == 2 ? f[1] * 400.0 : 150.0;
            break;
        case kSR:
            s.charWidth = n == 2 ? f[0] * dx * 0.01 : dx * 0.0075;
            s.charHeight = n == 2 ? f[1] * dy * 0.01 : dy * 0.015;
            break;
        case kSU:
            if (n == 2) {
                s.charWidth = s.map.scalingOn ? f[0] * std::fabs(s.map.userScaleX) : f[0];
                s.charHeight = s.map.scalingOn ? f[1] * std::fabs(s.map.userScaleY) : f[1];
            } else {
                s.charWidth = dx * 0.0075;
                s.charHeight = dy * 0.015;
            }
            break;
        case kSL:
            s.slant = n == 1 ? f[0] : d.slant;
            break;
        case kDI:
        case kDR:
        case kDU:
            if (n != 2) {
                s.directionRun = d.directionRun;
                s.directionRise = d.directionRise;
            } else if (code == kDI) {
                s.directionRun = f[0], s.directionRise = f[1];
            } else if (code == kDR) {
                s.directionRun = f[0] * dx * 0.01, s.directionRise = f[1] * dy * 0.01;
            } else {
                s.directionRun = s.map.scalingOn ? f[0] * s.map.userScaleX : f[0];
                s.directionRise = s.map.scalingOn ? f[1] * s.map.userScaleY : f[1];
            }
            break;
        case kDV:
            if (s.noVerticalLabels == 0)
                s.labelVertical = n == 1 ? truncToInt(f[0]) : d.labelVertical;
            break;
        case kES:
            if (s.noExtraSpace != 0) break;
            if (n == 0) {
                s.extraSpaceX = d.extraSpaceX;
                s.extraSpaceY = d.extraSpaceY;
            }
            if (n >= 1) s.extraSpaceX = f[0];
            if (n == 2) s.extraSpaceY = f[1];
            break;
        default:
            break;
    }
}

}  // namespace kro::hpgl
