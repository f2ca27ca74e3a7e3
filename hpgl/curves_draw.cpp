// The renderer's side of PE, BZ, BR, AT and RT: their paths drawn with the
// pen and line type of the moment, as PA and PD would draw the same points.
#include <cstdio>

#include "hpgl/curves.h"
#include "hpgl/render_state.h"
#include "kro/kro.h"

namespace kro::hpgl {
namespace {

// Long paths are drawn in pieces of this many points, so no path needs a
// buffer larger than this.
constexpr size_t kPiece = 65536;

struct Run {
    Renderer* r;
    double startX, startY;  // where the kept points start
    int32_t rc = 0;

    void flush() {
        if (r->points.count > 0) r->strokePoints(startX, startY);
        r->points.count = 0;
        startX = r->s.penX;
        startY = r->s.penY;
    }
};

// A pen selection inside PE acts as SP with that number: SP's own reader
// reads it, so the two cannot differ.
void selectPenNumber(Renderer* r, int32_t pen) {
    char text[16];
    const int n = std::snprintf(text, sizeof text, "%d;", int(pen));
    const Stream kept = r->in;
    r->in = Stream(text, n);
    r->selectPen();
    r->in = kept;
}

void step(void* context, const PathStep& st) {
    Run& run = *static_cast<Run*>(context);
    Renderer& r = *run.r;
    if (run.rc != 0) return;
    if (st.kind == PathStep::kSelectPen) {
        run.flush();
        selectPenNumber(&r, st.pen);
        return;
    }
    if (st.kind == PathStep::kMove || r.noPen) {
        run.flush();
        r.s.penX = st.x;
        r.s.penY = st.y;
        run.startX = st.x;
        run.startY = st.y;
        return;
    }
    const POINT b = r.toDevice(st.x, st.y);
    if (r.s.lineType == 0) {
        r.dotAt(r.toDevice(r.s.penX, r.s.penY), b);
    } else if (!r.points.append(b, st.x, st.y)) {
        run.rc = KRO_ERR_NOMEM;
        return;
    }
    r.s.penX = st.x;
    r.s.penY = st.y;
    if (r.points.count >= kPiece) run.flush();
}

}  // namespace

int32_t Renderer::path(int32_t code) {
    static constexpr FieldRules kRules{.keep = 40, .skipBlanks = true, .takeFirstByte = true};
    // Curves are true to half a device unit.
    const double flatness = s.deviceScale > 0 ? 0.5 / s.deviceScale : 0.5;
    const PathRequest q{&s.map, s.penX, s.penY, s.penUp != 0, curves, kRules, flatness};
    if (!points.reserve(1)) {
        if (code == kPE)
            in.skipEncoded();
        else
            in.skipParameters();
        return KRO_ERR_NOMEM;
    }
    Run run{this, s.penX, s.penY};
    const PathResult end = readPath(code, in, q, step, &run);
    if (run.rc == 0) run.flush();
    points.count = 0;
    s.penX = end.penX;
    s.penY = end.penY;
    s.penUp = end.penUp ? 1 : 0;
    return run.rc;
}

}  // namespace kro::hpgl
