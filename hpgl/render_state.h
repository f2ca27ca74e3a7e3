// The renderer's state: the record every handler reads and writes, the
// placement of the plot on the device, and the pen style state kept across
// drawings. Shared by the renderer's files and its tests.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "hpgl/geometry.h"
#include "hpgl/stream.h"
#include "kro/gdi.h"
#include "kro/kro.h"

namespace kro::hpgl {

struct HpglRenderState {
    int32_t command;
    int32_t deviceHeight;
    int32_t plot;
    double originX, originY;
    int32_t paperType;
    double deviceScale;
    int32_t offsetX, offsetY;
    double penX, penY;
    int32_t p1p2Given;
    // From here to extraSpaceY the fields form the default state that IN and DF copy.
    UserMapping map;  // p1X, p1Y, p2X, p2Y, userMinX, userMinY, scalingOn, userScaleX, userScaleY
    int32_t relative;
    int32_t penUp;
    int32_t pen;
    int32_t lineType;
    double patternLength;
    double charWidth, charHeight;
    double slant;
    double directionRun, directionRise;
    int32_t noVerticalLabels;
    int32_t labelVertical;
    int32_t noExtraSpace;
    double extraSpaceX, extraSpaceY;
};
static_assert(offsetof(HpglRenderState, originX) == 16);
static_assert(offsetof(HpglRenderState, deviceScale) == 40);
static_assert(offsetof(HpglRenderState, map) == 80);
static_assert(offsetof(HpglRenderState, map.userScaleX) == 136);
static_assert(offsetof(HpglRenderState, lineType) == 164);
static_assert(sizeof(HpglRenderState) == 248);

// Where the plot lands: plotter (originX, originY) maps onto device
// (offsetX, deviceHeight - offsetY), deviceScale device units per plotter unit.
struct Placement {
    double deviceScale = 1.0;
    double originX = 0, originY = 0;
    int32_t offsetX = 0, offsetY = 0;
};

// Fit mode: the whole plot in the drawing area less a 10-unit margin.
Placement placeToFit(const HpglDocument& doc, int32_t deviceWidth, int32_t deviceHeight);

// Fixed scale k: centred on the drawing area, or placed as the document's
// plotter type would place it on the document's paper.
Placement placeAtScale(const HpglDocument& doc, int32_t deviceWidth, int32_t deviceHeight, double k,
                       bool centre);

// Pen style state: how SP makes its pen. Survives IN, DF and drawings.
enum PenKind : int16_t { kPlainPen = 0, kDashedPen = 1, kFallbackPen = 2 };
struct PenStyle {
    int16_t kind = kPlainPen;
    uint32_t dashes[8] = {};
    int32_t dashCount = 0;
    int32_t fallbackStyle = PS_SOLID;
};

// Geometric pen styles: flat ends, mitre joins, solid or with the dash array.
inline constexpr DWORD kSolidGeometric = PS_GEOMETRIC | PS_ENDCAP_FLAT | PS_JOIN_MITER;
inline constexpr DWORD kDashedGeometric = kSolidGeometric | PS_USERSTYLE;

// Device coordinates stay within this range, so the one-unit end-pixel
// step, the sum of a corner and a size, and the difference of two points
// never overflow 32 bits.
inline constexpr double kDeviceLimit = 1073741823.0;

inline int32_t clampDevice(double v) {
    if (!(v == v)) return 0;  // NaN
    if (v > kDeviceLimit) return int32_t(kDeviceLimit);
    if (v < -kDeviceLimit) return -int32_t(kDeviceLimit);
    return int32_t(v);
}

// One drawing in progress.
struct Renderer {
    HpglRenderState s{};
    HpglRenderState defaults{};
    const HpglDocument* doc = nullptr;
    HDC dc = nullptr;
    const float* penWidths = nullptr;
    Stream in;
    bool nt = true;               // the platform family, asked once a drawing
    HGDIOBJ hostPen = nullptr;    // selected again at the end
    HGDIOBJ replayPen = nullptr;  // held by a polygon replay in progress
    bool penSelected = false;     // the renderer has selected a pen of its own
    bool noPen = false;           // SP0 put the pen away: nothing is drawn until the next SP
    bool clipSet = false;         // IW has clipped the device; IN and DF take the clip off

    // Transforms to device units. Device coordinates are 32-bit here: values
    // are clamped to a range where the end-pixel step cannot overflow, never wrapped.
    int32_t toDeviceX(double x) const {
        return clampDevice(std::trunc((x - s.originX) * s.deviceScale + 0.5) + s.offsetX);
    }
    int32_t toDeviceY(double y) const {
        return clampDevice(double(s.deviceHeight) -
                           std::trunc((y - s.originY) * s.deviceScale + 0.5) - s.offsetY);
    }
    int32_t toDeviceLength(double length) const {
        return clampDevice(std::trunc(length * s.deviceScale + 0.5));
    }

    // The renderer's field reader: blanks skipped, the first byte always
    // taken, 40 bytes kept. Gives the kept bytes NUL-terminated in buf.
    void readField(char* buf);
    // A field read the same way, converted as atof would.
    double readNumber();
    // Up to max fields, stopping before a field end, a separator stepped over after each.
    int readCountedFields(double* values, int max);

    int32_t devicePenWidth() const;
    int32_t penWidthPlotterUnits() const;
    // Selects a pen the renderer made, deleting the one it replaces unless
    // that one is held for later.
    void selectOwnPen(HPEN pen);

    void selectPen();    // SP
    void setLineType();  // LT
    int32_t movement();  // PU PD PA PR PC GR; 0 or -1

    double shapeField();          // a field of CI to ER and the separator after it
    void circle();                // CI
    void arcOrWedge();            // AA AR EW
    void rectangle();             // EA ER
    void polygonMode();           // PM
    int32_t replayPolygon();      // EP FP; 0 or -1
    void clipWindow();            // IW
    void label();                 // LB BL PB
    void settings(int32_t code);  // IP SC SI SR SU SL DI DR DU DV ES

    // A user coordinate in plotter units.
    double userX(double u) const { return s.map.plotterX(u); }
    double userY(double v) const { return s.map.plotterY(v); }
    bool replayMadePen = false;  // a replayed SP or LT selected a pen
};

// The buffers that outlive a drawing: the last polygon and the last label
// (kLabelBytes).
inline constexpr size_t kPolygonBytes = 8192;

// True on the NT family of the platform (the version query says so).
bool ntFamily();

// The point a LineTo from a to b must aim at so that b itself is drawn.
POINT endPixel(POINT a, POINT b);

// For tests: the movement handler's point buffers refuse to grow.
extern bool gRefusePointBuffers;

// The pen style state (module state, shared by all drawings).
PenStyle& penStyle();

}  // namespace kro::hpgl
