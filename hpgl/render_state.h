// The renderer's state: the record every handler reads and writes, the
// placement of the plot on the device, and what one drawing leaves for the
// next. Shared by the renderer's files and its tests.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "hpgl/curves.h"
#include "hpgl/geometry.h"
#include "hpgl/hpgl.h"
#include "hpgl/stream.h"
#include "kro/gdi.h"
#include "kro/kro.h"

namespace kro::hpgl {

struct Look;

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
    LabelSettings label;  // charWidth to extraSpaceY
};
static_assert(offsetof(HpglRenderState, originX) == 16);
static_assert(offsetof(HpglRenderState, deviceScale) == 40);
static_assert(offsetof(HpglRenderState, map) == 80);
static_assert(offsetof(HpglRenderState, map.userScaleX) == 136);
static_assert(offsetof(HpglRenderState, lineType) == 164);
static_assert(offsetof(HpglRenderState, label.noVerticalLabels) == 216);
static_assert(offsetof(HpglRenderState, label.extraSpaceY) == 240);
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

// The last polygon's buffer, as the last label's is kLabelBytes.
inline constexpr size_t kPolygonBytes = 8192;

// What a drawing leaves for the next: the pen style, and the last polygon
// and label, so an EP or PB before any PM or label repeats the previous plot's.
struct Carryover {
    PenStyle pen;
    char polygon[kPolygonBytes + 1] = {};
    char label[kLabelBytes + 1] = {};
};

// Faults a test can ask a drawing for.
struct RenderSeam {
    bool refusePointBuffers = false;  // the movement handler's buffers do not grow
};

// One drawing's arguments, as KroDisplayHPGL takes them.
struct DrawRequest {
    HpglDocument* doc;
    int32_t deviceWidth, deviceHeight;
    HDC dc;
    const float* penWidths;
    int32_t paperType;
    float scale;
    int32_t resolution;
    int32_t centreOnDevice;
    Look* look = nullptr;  // the full look, or null for KroDisplayHPGL's
    size_t pageStart = 0, pageEnd = SIZE_MAX;  // the page drawn, as offsets in the text
};

// Draws a plot, reading and updating what the previous drawing left; 0 or a
// status code. The document's scale is set to the drawing's.
int32_t drawPlot(const DrawRequest& request, Carryover* carry, const RenderSeam& seam = {});

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

// The points of one movement command, reused from command to command.
struct PointBuffers {
    std::vector<POINT> device;
    std::vector<double> x, y;
    size_t count = 0;
    bool refuse = false;  // for tests: growing fails

    // Empties the buffers, making room for n points; false when memory is short.
    bool reserve(size_t n);
    bool append(POINT p, double px, double py);

  private:
    bool grow(size_t n);
};

// One drawing in progress.
struct Renderer {
    HpglRenderState s{};
    HpglRenderState defaults{};
    const HpglDocument* doc = nullptr;
    HDC dc = nullptr;
    const float* penWidths = nullptr;
    Carryover* carry = nullptr;  // the pen style, polygon and label of the drawings
    PointBuffers points;
    Stream in;
    bool nt = true;               // the platform family, asked once a drawing
    HGDIOBJ hostPen = nullptr;    // selected again at the end
    HGDIOBJ replayPen = nullptr;  // held by a polygon replay in progress
    bool penSelected = false;     // the renderer has selected a pen of its own
    bool noPen = false;           // SP0 put the pen away: nothing is drawn until the next SP
    bool clipSet = false;         // IW has clipped the device; IN and DF take the clip off
    Look* look = nullptr;         // the full look (look.h), or null
    int32_t rotation = 0;         // RO in quarter turns counter-clockwise (the full look)
    // A page of several (the full look): commands before pageStart are
    // walked with no device, so only their state carries into the page;
    // the walk ends at pageEnd.
    size_t pageStart = 0, pageEnd = SIZE_MAX;
    HDC pageDc = nullptr;              // the device, while dc is null before the page
    bool penPending = false;           // a pen was chosen before the page began
    RECT clipRect{};                   // IW's window on the device, set again when the page begins
    std::vector<double> symbolPoints;  // SM: the points of a movement, (x, y) pairs

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
    // A plotter point on the device, turned first as RO turns the axes.
    POINT toDevice(double x, double y) const {
        turnQuarters(rotation, &x, &y);
        return {toDeviceX(x), toDeviceY(y)};
    }

    // The renderer's field reader: blanks skipped, the first byte always
    // taken, 40 bytes kept. Gives the kept bytes NUL-terminated in buf.
    void readField(char* buf);
    // A field read the same way, converted as atof would.
    double readNumber();
    // Up to max fields, stopping before a field end, a separator stepped over after each.
    int readCountedFields(double* values, int max);

    // Whether the host gave a width for the selected pen, and that width in
    // plotter units (a float, as the host gives millimetres).
    bool penHasWidth() const;
    float penWidthUnits() const;
    // The pen's width on the device (at least 1) and in whole plotter units
    // (one millimetre for a pen without a width).
    int32_t devicePenWidth() const;
    int32_t penWidthPlotterUnits() const;
    // Selects a pen the renderer made, deleting the one it replaces unless
    // that one is held for later.
    void selectOwnPen(HPEN pen);
    // A geometric pen: solid without dashes; in the full look, of its colour, ends and joins.
    HPEN geometricPen(int32_t width, const uint32_t* dashes, int32_t count) const;

    // The device again at the page's start, with the pen and window chosen before it.
    void beginPage();

    void selectPen();    // SP
    void setLineType();  // LT
    // LT's dash array in the pen style (NT family), and the pen of the line type.
    void setDashes(PenStyle* style, int32_t type) const;
    HPEN lineTypePen(PenStyle* style, int32_t type) const;
    // PU PD PA PR PC GR; 0 or a status code.
    int32_t movement();
    // The movement's parts: the points, a dot per point (line type 0), the
    // lines through the points and the lines of an adaptive line type.
    int32_t collectPoints();
    // The kept points as lines from (startX, startY), as the line type draws them.
    void strokePoints(double startX, double startY);
    void dotAt(POINT from, POINT to);
    void drawPolyline(POINT start);
    void drawSolidPolyline(POINT start);
    void drawAdaptive(POINT start, double startX, double startY);

    double shapeField();  // a field of CI to ER and the separator after it
    void circle();        // CI
    void arcOrWedge();    // AA AR EW
    double wedgeStart(double radius, double angle, double* sx, double* sy) const;
    void rectangle();         // EA ER
    void polygonMode();       // PM
    int32_t replayPolygon();  // EP FP; 0 or a status code
    // The commands a polygon replays, in both walks; -1 for any other.
    int32_t drawingCommand(int32_t code);
    // PE BZ BR AT RT; 0 or a status code.
    int32_t path(int32_t code);
    CurveSettings curves;  // CT, reset by IN, DF and BP
    void clipWindow();            // IW
    void label();                 // LB BL PB
    void settings(int32_t code);  // IP SC SI SR SU SL DI DR DU DV ES

    // A user coordinate in plotter units.
    double userX(double u) const { return s.map.plotterX(u); }
    double userY(double v) const { return s.map.plotterY(v); }
    bool replayMadePen = false;  // a replayed SP or LT selected a pen
};

// The pen selected on the device, found by selecting a pen of ours and
// taking the answer.
HGDIOBJ currentPen(HDC dc);

// True on the NT family of the platform (the version query says so).
bool ntFamily();

// A dash or gap in device units: truncated, and never shorter than one.
uint32_t dashLength(double v);
// Geometric pens: with the dash array, or solid.
HPEN dashedPen(int32_t width, const uint32_t* dashes, int32_t count);
HPEN solidGeometricPen(int32_t width);

// The point a LineTo from a to b must aim at so that b itself is drawn.
POINT endPixel(POINT a, POINT b);

}  // namespace kro::hpgl
