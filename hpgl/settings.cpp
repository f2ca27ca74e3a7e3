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
    if (code == kIP) {
        s.map.setPoints(f, n, &s.p1p2Given);
    } else if (code == kSC) {
        s.map.setScaling(f, n, s.p1p2Given);
    } else {
        const double dx = std::fabs(s.map.p2X - s.map.p1X), dy = std::fabs(s.map.p2Y - s.map.p1Y);
        s.label.apply(code, f, n, dx, dy, s.map);
    }
}

}  // namespace kro::hpgl
