// The HP-GL/2 paths: PE's encoded polylines, BZ and BR Bezier curves, AT
// and RT three-point arcs, as pen selections, moves and draws in plotter
// units. Both passes read them here, so the extents hold what is drawn.
#pragma once

#include <cstdint>

#include "hpgl/geometry.h"
#include "hpgl/stream.h"

namespace kro::hpgl {

// What these commands keep between commands, in both passes; IN, DF and BP reset it.
struct CurveSettings {
    int32_t chordMode = 0;  // CT: 0 a chord angle in degrees, 1 a deviation distance
    void reset() { *this = CurveSettings{}; }
};

// One step of a path, plotter units.
struct PathStep {
    enum Kind : uint8_t { kSelectPen, kMove, kDraw };
    Kind kind;
    int32_t pen;  // kSelectPen: as sent
    double x, y;
};

using PathSink = void (*)(void* context, const PathStep& step);

struct PathRequest {
    const UserMapping* map;
    double penX, penY;  // the pen before the command
    bool penUp;
    CurveSettings settings;
    FieldRules rules;  // the pass's field reader
    double flatness;   // the furthest a flattened curve may stray, plotter units
};

// Where the command leaves the pen.
struct PathResult {
    double penX, penY;
    bool penUp;
};

// Reads the parameters of PE, BZ, BR, AT or RT at the stream's position,
// leaving it after the command, and hands the steps to sink in order. BZ and
// AT steps are draws while the pen is down and moves while it is up; PE
// carries its own pen state and leaves the pen as its last point left it.
PathResult readPath(int32_t code, Stream& s, const PathRequest& q, PathSink sink, void* context);

// CT: the chord mode, 0 unless the field is 1.
void setChordMode(Stream& s, CurveSettings* settings);

// Points that flatten a curve: enough for the flatness, never more than this.
inline constexpr int32_t kMaxCurveSegments = 256;

// The number of chords of a cubic Bezier that keep within flatness of it.
int32_t bezierSegments(const double* x, const double* y, double flatness);

// The number of chords of an arc of radius r through sweep degrees: by the
// chord angle (degrees, held to 0.5..180) or, in chord mode 1, by the
// largest deviation (plotter units).
int32_t arcSegments(double r, double sweepDegrees, int32_t chordMode, double tolerance);

// The circle through three points: false when they lie on a line (or two of
// them meet), else the centre, the radius and the sweep in degrees from the
// first point through the second to the third; a third point on the first
// is a whole turn with the second across it.
bool threePointArc(double sx, double sy, double ix, double iy, double ex, double ey, double* cx,
                   double* cy, double* r, double* sweep);

}  // namespace kro::hpgl
