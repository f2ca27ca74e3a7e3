// KroDisplayHPGL: the drawing's state, the field reader, the walk with its
// dispatch, IN and DF, and the capture of the host's pen.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "core/image.h"
#include "hpgl/hpgl.h"
#include "hpgl/look.h"
#include "hpgl/plotter.h"
#include "hpgl/render_state.h"
#include "kro/fnd.h"

namespace kro::hpgl {
namespace {

// The values IN and DF restore, for this plot on this paper.
void defaultState(HpglRenderState* d, const HpglDocument& doc, int32_t paperType) {
    const ScalingPoints p = plotterScalingPoints(doc.plot, paperType);
    d->map.reset(p);
    d->relative = 0;
    d->penUp = 1;
    d->pen = 0;
    d->lineType = 10;
    d->patternLength = 0.04 * std::hypot(doc.xMax - doc.xMin, doc.yMax - doc.yMin);
    double width, height;
    defaultCharSize(doc.plot, p, &width, &height);
    d->label.reset(width, height);
    const PlotterRules& rules = plotterRules(doc.plot);
    d->label.noVerticalLabels = rules.has(kVerticalLabels) ? 0 : 1;
    d->label.noExtraSpace = rules.has(kExtraSpace) ? 0 : 1;
}

// A drawing starts in the default state, P1, P2 and the label size
// included, but with DV and ES ignored until IN or DF.
void startState(HpglRenderState* s, const HpglRenderState& defaults, const HpglDocument& doc,
                int32_t deviceHeight, int32_t paperType) {
    *s = defaults;
    s->command = 0;
    s->deviceHeight = deviceHeight;
    s->plot = doc.plot;
    s->paperType = paperType;
    s->penX = s->penY = 0;
    s->p1p2Given = 1;
    s->label.noVerticalLabels = 1;
    s->label.noExtraSpace = 1;
}

// IN restores everything from P1 on; DF keeps P1 and P2. Both take off the
// clip of an input window.
void restoreDefaults(Renderer* r, int32_t code) {
    r->in.skipParameters();
    const UserMapping kept = r->s.map;
    const size_t from = offsetof(HpglRenderState, map);
    const size_t to = sizeof(HpglRenderState);
    std::memcpy(reinterpret_cast<char*>(&r->s) + from,
                reinterpret_cast<const char*>(&r->defaults) + from, to - from);
    if (code == kIN) {
        r->s.p1p2Given = 1;
    } else {
        r->s.map.p1X = kept.p1X, r->s.map.p1Y = kept.p1Y;
        r->s.map.p2X = kept.p2X, r->s.map.p2Y = kept.p2Y;
        r->s.map.scalingOff();
    }
    if (r->clipSet) {
        SelectClipRgn(r->dc, nullptr);
        r->clipSet = false;
    }
    r->curves.reset();
    if (r->look) lookRestore(r, code);
}

bool ignored(const HpglDocument& doc, int32_t code) {
    if (doc.ignoreCount <= 0 || !doc.ignoreCodes) return false;
    for (int32_t i = 0; i < doc.ignoreCount; ++i)
        if (doc.ignoreCodes[i] == code) return true;
    return false;
}

// Runs the handler of one command; 0 or the status code of a failing handler.
int32_t dispatch(Renderer* r, int32_t code) {
    int32_t status = 0;
    if (r->look && lookCommand(r, code, &status)) return status;
    const int32_t drawn = r->drawingCommand(code);
    if (drawn >= 0) return drawn;
    switch (code) {
        case kDF:
        case kIN:
            restoreDefaults(r, code);
            return 0;
        case kBP:
            r->in.skipQuotedParameters();
            restoreDefaults(r, kIN);
            return 0;
        case kGR:
            return r->movement();
        case kPE:
        case kBZ:
        case kBR:
        case kAT:
        case kRT:
            return r->path(code);
        case kCT:
            setChordMode(r->in, &r->curves);
            return 0;
        case kPM:
            r->polygonMode();
            return 0;
        case kEP:
        case kFP:
            return r->replayPolygon();
        case kLB:
        case kBL:
        case kPB:
            r->label();
            return 0;
        case kIP:
        case kSC:
            r->settings(code);
            return 0;
        case kIW:
            if (ignored(*r->doc, kIW)) break;
            r->clipWindow();
            return 0;
        default:
            if (!isLabelSetting(code)) break;
            r->settings(code);
            return 0;
    }
    r->in.skipParameters();
    return 0;
}

// Gives the host's pen back: selected again, and the renderer's last pen freed.
void restoreHostPen(Renderer* r) {
    if (!r->penSelected || !r->hostPen) return;
    HGDIOBJ last = SelectObject(r->dc, r->hostPen);
    if (last && last != r->hostPen) DeleteObject(last);
    r->penSelected = false;
}

// The pen style, polygon and label that drawings hand on, and their guard:
// each drawing works on its own copy, taken at its start and handed back at
// its end, so drawings on two threads share nothing else.
struct Handover {
    std::mutex lock;
    Carryover carry;
};
Handover& handover() {
    static Handover h;
    return h;
}

}  // namespace

HGDIOBJ currentPen(HDC dc) {
    HGDIOBJ current = nullptr;
    if (HPEN probe = CreatePen(PS_SOLID, 0, 0)) {
        current = SelectObject(dc, probe);
        if (current) SelectObject(dc, current);
        DeleteObject(probe);
    }
    return current;
}

int32_t Renderer::drawingCommand(int32_t code) {
    switch (code) {
        case kSP:
            selectPen();
            return 0;
        case kLT:
            setLineType();
            return 0;
        case kPU:
        case kPD:
            s.penUp = code == kPU ? 1 : 0;
            return movement();
        case kPA:
        case kPR:
            s.relative = code == kPR ? 1 : 0;
            return movement();
        case kCI:
            circle();
            return 0;
        case kAA:
        case kAR:
        case kEW:
            arcOrWedge();
            return 0;
        case kEA:
        case kER:
            rectangle();
            return 0;
        default:
            return -1;
    }
}

int32_t drawPlot(const DrawRequest& q, Carryover* carry, const RenderSeam& seam) {
    if (q.scale < 0 || std::isnan(q.scale)) return KRO_ERR_HPGL_SCALE;
    HpglDocument& doc = *q.doc;
    Renderer r;
    defaultState(&r.defaults, doc, q.paperType);
    // The full look stacks labels under DV as HP-GL/2 plotters all do.
    if (q.look) r.defaults.label.noVerticalLabels = 0;
    startState(&r.s, r.defaults, doc, q.deviceHeight, q.paperType);
    if (q.look) r.s.label.noVerticalLabels = 0;
    const Placement p = q.scale == 0
                            ? placeToFit(doc, q.deviceWidth, q.deviceHeight)
                            : placeAtScale(doc, q.deviceWidth, q.deviceHeight,
                                           q.resolution * double(q.scale) * kInchesPerPlotterUnit,
                                           q.centreOnDevice == 1);
    r.s.deviceScale = p.deviceScale;
    r.s.originX = p.originX;
    r.s.originY = p.originY;
    r.s.offsetX = p.offsetX;
    r.s.offsetY = p.offsetY;
    doc.scale = p.deviceScale;
    r.doc = &doc;
    r.dc = q.dc;
    r.penWidths = q.penWidths;
    r.carry = carry;
    r.points.refuse = seam.refusePointBuffers;
    r.nt = ntFamily();
    r.hostPen = currentPen(q.dc);
    r.look = q.look;
    HGDIOBJ hostBrush = nullptr;
    if (r.look) {
        // The full look draws every pen with a colour, and fills only with
        // brushes of its own: edges of rectangles and wedges stay outlines.
        r.nt = true;
        hostBrush = SelectObject(q.dc, GetStockObject(NULL_BRUSH));
    }

    r.in = Stream(doc.text, doc.textLength);
    if (r.look) r.in.extraCode = lookMnemonicCode;
    r.pageStart = q.pageStart;
    r.pageEnd = q.pageEnd;
    if (r.pageStart > 0) r.pageDc = r.dc, r.dc = nullptr;
    int32_t rc = 0;
    for (;;) {
        if (r.pageDc && r.in.pos >= r.pageStart) r.beginPage();
        if (r.in.pos >= r.pageEnd) break;
        const int32_t code = r.in.nextCommand();
        if (!code) break;
        r.s.command = code;
        rc = dispatch(&r, code);
        r.s.command = 0;
        if (rc != 0) break;
    }
    if (r.pageDc) r.beginPage();  // a page that starts at the text's end
    restoreHostPen(&r);
    if (hostBrush) SelectObject(q.dc, hostBrush);
    return rc;
}

void Renderer::readField(char* buf) {
    static constexpr FieldRules rules{.keep = 40, .skipBlanks = true, .takeFirstByte = true};
    in.readFieldText(rules, buf);
}

double Renderer::readNumber() {
    static constexpr FieldRules rules{.keep = 40, .skipBlanks = true, .takeFirstByte = true};
    const Stream::Span f = in.scanField(rules);
    return fieldValue(f.data, f.kept);
}

int Renderer::readCountedFields(double* values, int max) {
    int count = 0;
    while (count < max && !in.atFieldEnd()) {
        values[count++] = readNumber();
        in.skipSeparator();
    }
    return count;
}

POINT endPixel(POINT a, POINT b) {
    LONG dx = a.x > b.x ? -1 : 1;
    LONG dy = a.y > b.y ? -1 : 1;
    if (a.x == b.x && a.y != b.y) dx = 0;
    if (a.y == b.y && a.x != b.x) dy = 0;
    return {b.x + dx, b.y + dy};
}

}  // namespace kro::hpgl

namespace kro::hpgl {
namespace {

// A drawing with what the previous drawing left, and left for the next.
int32_t drawHandedOver(const DrawRequest& request) {
    Carryover carry;
    Handover& h = handover();
    {
        std::lock_guard<std::mutex> guard(h.lock);
        carry = h.carry;
    }
    const int32_t code = drawPlot(request, &carry);
    {
        std::lock_guard<std::mutex> guard(h.lock);
        h.carry = carry;
    }
    return code;
}

}  // namespace
}  // namespace kro::hpgl

extern "C" KRO_API int32_t KroDisplayHPGL(HpglDocument* document, int32_t deviceWidth,
                                          int32_t deviceHeight, HDC dc, const float* penWidths,
                                          int32_t /*unused*/, int32_t paperType, float scale,
                                          int32_t resolution, int32_t centreOnDevice) {
    using namespace kro::hpgl;
    if (!document || !document->text) return kro::fail(KRO_ERR_NULL);
    const DrawRequest request{document, deviceWidth, deviceHeight,  dc, penWidths, paperType,
                              scale,    resolution,  centreOnDevice};
    const int32_t code = drawHandedOver(request);
    return code ? kro::fail(code) : 0;
}

extern "C" KRO_API int32_t KroDisplayHPGLStyled(HpglDocument* document, int32_t deviceWidth,
                                                int32_t deviceHeight, HDC dc,
                                                const float* penWidths, const KroHpglStyle* style,
                                                int32_t paperType, float scale, int32_t resolution,
                                                int32_t centreOnDevice) {
    using namespace kro::hpgl;
    if (!document || !document->text) return kro::fail(KRO_ERR_NULL);
    Look look = lookFromStyle(style);
    DrawRequest request{document, deviceWidth, deviceHeight,   dc,   penWidths, paperType,
                        scale,    resolution,  centreOnDevice, &look};
    // A page of several is placed by its own extents, which the host put in
    // the document with KroSelectHPGLPage; here only its place in the text
    // is needed.
    if (look.page > 1 ||
        (look.page == 1 && mayDifferInFullLook(document->text, size_t(document->textLength)))) {
        PlotExtents e;
        const MeasureRules rules{.fullLook = true, .page = look.page};
        if (int32_t code = measurePlot(document->text, document->textLength, document->plot,
                                       document->ignoreCount, document->ignoreCodes, &e, rules))
            return kro::fail(code);
        request.pageStart = e.pageStart;
        request.pageEnd = e.pageEnd;
    }
    const int32_t code = drawHandedOver(request);
    return code ? kro::fail(code) : 0;
}

extern "C" KRO_API int32_t KroSelectHPGLPage(HpglDocument* document, int32_t page) {
    using namespace kro::hpgl;
    clearStatus();
    if (!document || document == KRO_FAILED_PTR || !document->text) return kro::fail(KRO_ERR_NULL);
    if (page < 1) return kro::fail(KRO_ERR_OPTION_RANGE);
    // Without RO, PG, LO, SM and DV the one page is measured already.
    if (page == 1 && !mayDifferInFullLook(document->text, size_t(document->textLength))) return 1;
    PlotExtents e;
    const MeasureRules rules{.fullLook = true, .page = page};
    if (int32_t code = measurePlot(document->text, document->textLength, document->plot,
                                   document->ignoreCount, document->ignoreCodes, &e, rules))
        return kro::fail(code);
    document->widthMm = (e.xMax - e.xMin) * kMmPerPlotterUnit;
    document->heightMm = (e.yMax - e.yMin) * kMmPerPlotterUnit;
    document->xMax = e.xMax;
    document->yMax = e.yMax;
    document->xMin = e.xMin;
    document->yMin = e.yMin;
    const int32_t paper =
        KroQueryPapertypeByLength(toFloat(document->widthMm), toFloat(document->heightMm), 1);
    document->paperType = paper < 0 ? 0 : paper;
    return e.pages;
}
