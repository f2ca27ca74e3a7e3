// The rules both passes share: IP and SC, the default label size and the
// angles of an arc.
#include "hpgl/geometry.h"

#include "hpgl/hpgl.h"
#include "hpgl/plotter.h"

namespace kro::hpgl {

void UserMapping::reset(const ScalingPoints& p) {
    p1X = p.p1x;
    p1Y = p.p1y;
    p2X = p.p2x;
    p2Y = p.p2y;
    scalingOff();
}

void UserMapping::scalingOff() {
    scalingOn = 0;
    userScaleX = userScaleY = 1.0;
    userMinX = p1X;
    userMinY = p1Y;
}

void UserMapping::setPoints(const double* f, int n, int32_t* given) {
    if (n == 4) {
        p1X = f[0], p1Y = f[1], p2X = f[2], p2Y = f[3];
        *given = 1;
    } else if (n >= 2) {
        // P2 keeps its distance from P1.
        p2X += f[0] - p1X;
        p2Y += f[1] - p1Y;
        p1X = f[0], p1Y = f[1];
        *given = 1;
    } else {
        p1X = p1Y = p2X = p2Y = 0;
        *given = 0;
    }
    userMinX = p1X;
    userMinY = p1Y;
}

void UserMapping::setScaling(const double* f, int n, int32_t given) {
    if (n < 4 || given != 1) {
        scalingOff();
        return;
    }
    scalingOn = 1;
    const double ux = f[1] - f[0], uy = f[3] - f[2];
    const double px = p2X - p1X, py = p2Y - p1Y;
    userScaleX = ux != 0 && px != 0 ? px / ux : 1.0;
    userScaleY = uy != 0 && py != 0 ? py / uy : 1.0;
    userMinX = f[0];
    userMinY = f[2];
}

void defaultCharSize(int32_t plot, const ScalingPoints& p, double* width, double* height) {
    if (plotterRules(plot).has(kFixedLabels)) {
        *width = kFixedCharWidth;
        *height = kFixedCharHeight;
        return;
    }
    *width = std::fabs(p.p2x - p.p1x) * kRelativeCharWidth;
    *height = std::fabs(p.p2y - p.p1y) * kRelativeCharHeight;
}

void labelOriginShift(int32_t origin, bool vertical, double length, const LabelSettings& l,
                      double* a, double* b) {
    const bool inset = origin >= 11 && origin <= 19;
    const int32_t k = inset ? origin - 10 : origin >= 1 && origin <= 9 ? origin : 1;
    const int32_t h = (k - 1) / 3, v = (k - 1) % 3;  // left, centre, right; bottom, middle, top
    const double right = vertical ? l.charWidth : length;
    *a = -right * h / 2;
    *b = -l.charHeight * v / 2;
    if (inset) {
        *a += (h == 0 ? 0.5 : h == 2 ? -0.5 : 0) * l.charWidth;
        *b += (v == 0 ? 0.5 : v == 2 ? -0.5 : 0) * l.charHeight;
    }
}

bool isLabelSetting(int32_t code) {
    switch (code) {
        case kSI:
        case kSR:
        case kSU:
        case kSL:
        case kDI:
        case kDR:
        case kDU:
        case kDV:
        case kES:
            return true;
        default:
            return false;
    }
}

void LabelSettings::reset(double width, double height) {
    charWidth = width;
    charHeight = height;
    slant = 0;
    directionRun = 1.0;
    directionRise = 0;
    labelVertical = 0;
    extraSpaceX = extraSpaceY = 0;
}

void LabelSettings::apply(int32_t code, const double* f, int n, double spanX, double spanY,
                          const UserMapping& map) {
    switch (code) {
        case kSI:
            charWidth = n == 2 ? f[0] * kPlotterUnitsPerCm : kFixedCharWidth;
            charHeight = n == 2 ? f[1] * kPlotterUnitsPerCm : kFixedCharHeight;
            break;
        case kSR:
        case kSU:
            if (n != 2) {
                charWidth = spanX * kRelativeCharWidth;
                charHeight = spanY * kRelativeCharHeight;
            } else if (code == kSR) {
                charWidth = f[0] * spanX * 0.01;
                charHeight = f[1] * spanY * 0.01;
            } else {
                charWidth = map.scalingOn ? f[0] * std::fabs(map.userScaleX) : f[0];
                charHeight = map.scalingOn ? f[1] * std::fabs(map.userScaleY) : f[1];
            }
            break;
        case kSL:
            slant = n == 1 ? f[0] : 0;
            break;
        case kDI:
        case kDR:
        case kDU:
            if (n != 2) {
                directionRun = 1.0, directionRise = 0;
            } else if (code == kDI) {
                directionRun = f[0], directionRise = f[1];
            } else if (code == kDR) {
                directionRun = f[0] * spanX * 0.01, directionRise = f[1] * spanY * 0.01;
            } else {
                directionRun = map.scalingOn ? f[0] * map.userScaleX : f[0];
                directionRise = map.scalingOn ? f[1] * map.userScaleY : f[1];
            }
            break;
        case kDV:
            if (noVerticalLabels == 0) labelVertical = n == 1 ? truncToInt(f[0]) : 0;
            break;
        case kES:
            if (noExtraSpace != 0) break;
            if (n == 0) extraSpaceX = extraSpaceY = 0;
            if (n >= 1) extraSpaceX = f[0];
            if (n == 2) extraSpaceY = f[1];
            break;
        default:
            break;
    }
}

double foldAngle(double a) {
    if (!(std::fabs(a) > 360)) return a;
    const double r = std::fmod(a, 360.0);
    return r == 0 ? std::copysign(360.0, a) : r;
}

double normalizeDegrees(double degrees) {
    if (degrees < 0) degrees += 360;
    if (degrees >= 360) degrees -= 360;
    return degrees;
}

double arcStartDegrees(double cx, double cy, double sx, double sy, double r) {
    double sine = r != 0 ? (sy - cy) / r : 0;
    if (!(sine >= -1)) sine = -1;  // NaN too
    if (sine > 1) sine = 1;
    double a = std::asin(sine);
    if (sx - cx < 0) a = a > 0 ? kPi - a : -kPi - a;
    // Within about -270 to 270 degrees: one turn brings it in. A start a
    // hair below the positive x axis rounds to a whole turn: that is 0.
    return normalizeDegrees(a * kDegreesPerRadian);
}

void arcEnd(double cx, double cy, double sx, double sy, double r, double sweep, double* ex,
            double* ey) {
    if (std::fabs(sweep) >= 360) {
        *ex = sx;
        *ey = sy;
        return;
    }
    double e = arcStartDegrees(cx, cy, sx, sy, r) + sweep;
    if (e > 360) e = std::fmod(e, 360.0);
    *ex = cx + r * std::cos(e * kRadiansPerDegree);
    *ey = cy + r * std::sin(e * kRadiansPerDegree);
}

}  // namespace kro::hpgl
