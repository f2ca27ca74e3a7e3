// Rules that the extents walker and the renderer share, so that a plot is
// drawn where it was measured: the user-unit mapping of IP and SC, the
// plotter's default P1 and P2 and label size, and the angles of an arc.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "hpgl/stream.h"

namespace kro::hpgl {

// The plot's own angle constants, kept so arcs end where they always did.
inline constexpr double kPi = 3.1415927;
inline constexpr double kDegreesPerRadian = 57.29577866666166;
inline constexpr double kRadiansPerDegree = 0.01745329277777778;

// Label text kept by LB and BL, by both passes alike.
inline constexpr size_t kLabelBytes = 150;

struct ScalingPoints {
    double p1x, p1y, p2x, p2y;
};

// The P1 and P2 that IN gives a plotter type on a paper (the paper type code
// of the output; 0 when it is not known yet, as while measuring): the
// plotter paper table's row, else the plotter's first row, lying, else the
// limits of an A4 plotter.
ScalingPoints plotterScalingPoints(int32_t plot, int32_t paperType);

// P1, P2 and the user scaling of SC. Its layout is that of the renderer's
// record from p1X to userScaleY.
struct UserMapping {
    double p1X, p1Y, p2X, p2Y;
    double userMinX, userMinY;  // the user coordinate at P1
    int32_t scalingOn;
    double userScaleX, userScaleY;  // plotter units per user unit

    // An absolute user coordinate in plotter units.
    double plotterX(double u) const { return (u - userMinX) * userScaleX + p1X; }
    double plotterY(double v) const { return (v - userMinY) * userScaleY + p1Y; }
    // A relative one is a displacement: scaled, never moved by P1 or the user origin.
    double offsetX(double du) const { return du * userScaleX; }
    double offsetY(double dv) const { return dv * userScaleY; }
    bool mirrored() const { return userScaleX * userScaleY < 0; }

    // P1 and P2 as given, scaling off (IN).
    void reset(const ScalingPoints& p);
    void scalingOff();
    // IP with its n fields; *given says whether P1 and P2 stand (SC needs them).
    void setPoints(const double* f, int n, int32_t* given);
    // SC with its n fields.
    void setScaling(const double* f, int n, int32_t given);
};

// The label settings of SI to ES, kept alike by both passes. Its layout is
// that of the renderer's record from charWidth to extraSpaceY.
struct LabelSettings {
    double charWidth, charHeight;
    double slant;
    double directionRun, directionRise;
    int32_t noVerticalLabels;  // DV is ignored
    int32_t labelVertical;
    int32_t noExtraSpace;  // ES is ignored
    double extraSpaceX, extraSpaceY;

    // As IN leaves them, with the character size given; whether DV and ES
    // are honoured does not change.
    void reset(double width, double height);
    // SI, SR, SU, SL, DI, DR, DU, DV or ES with its n fields. span is the
    // size that SR and DR take shares of, as the pass sees P2 - P1.
    void apply(int32_t code, const double* f, int n, double spanX, double spanY,
               const UserMapping& map);
};

// LO: where a label of length units along its direction stands from the
// pen, in the label's own axes (a along the direction, b across it). 1 to 9
// put the pen at the box's left, centre or right (1-3, 4-6, 7-9) and bottom,
// middle or top; 11 to 19 the same half a character further inside;
// anything else is 1. A vertical label is a column one character wide whose
// first character stands as a label of one character would.
void labelOriginShift(int32_t origin, bool vertical, double length, const LabelSettings& l,
                      double* a, double* b);
// Whether the pen ends after the label (origins at the left) or goes back
// to where it started.
inline bool penFollowsLabel(int32_t origin) {
    return !((origin >= 4 && origin <= 9) || (origin >= 14 && origin <= 19));
}

// Whether the command is one that LabelSettings::apply takes.
bool isLabelSetting(int32_t code);

// The label character size that IN sets: fixed on the plotter types with
// fixed labels, else the relative default of SR on P1 and P2.
void defaultCharSize(int32_t plot, const ScalingPoints& p, double* width, double* height);

// Into -360..360 as repeated steps of 360 would bring it (a whole number of
// turns stays one turn), without the steps: a huge angle would take forever
// and an infinite one never ends (it becomes NaN here).
double foldAngle(double a);

// An angle of -360..720 degrees into 0 (included) to 360 (excluded).
double normalizeDegrees(double degrees);

// The angle in degrees, 0 (included) to 360 (excluded), of the start point
// (sx, sy) seen from the centre at distance r.
double arcStartDegrees(double cx, double cy, double sx, double sy, double r);

// Where an arc from (sx, sy) through sweep degrees ends; a whole turn or
// more ends where it starts.
void arcEnd(double cx, double cy, double sx, double sy, double r, double sweep, double* ex,
            double* ey);

}  // namespace kro::hpgl
