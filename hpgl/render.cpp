// KroDisplayHPGL: the drawing's state, the transforms, the field reader, the
// walk with its dispatch, IN and DF, and the capture of the host's pen.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "hpgl/hpgl.h"
#include "hpgl/render_state.h"
#include "kro/fnd.h"

namespace kro::hpgl {
namespace {

bool isPlotterWithFixedLabels(int32_t plot) {
    return plot == 5 || plot == 6 || plot == 7 || plot == 8 || plot == 9 || plot == 11 ||
           plot == 12;
}

void startState(HpglRenderState* s, const HpglDocument& doc, int32_t deviceHeight,
                int32_t paperType) {
    *s = HpglRenderState{};
    s->deviceHeight = deviceHeight;
    s->plot = doc.plot;
    s->paperType = paperType;
    s->userScaleX = s->userScaleY = 1.0;
    s->penUp = 1;
    s->lineType = 10;
    s->noVerticalLabels = 1;
    s->noExtraSpace = 1;
}

// The values IN and DF restore, for this plot on this paper.
void defaultState(HpglRenderState* d, const HpglDocument& doc, int32_t paperType) {
    if (!defaultScalingPoints(doc.plot, paperType, &d->p1X, &d->p1Y, &d->p2X, &d->p2Y)) {
        d->p1X = doc.xMin;
        d->p1Y = doc.yMin;
        d->p2X = doc.xMax;
        d->p2Y = doc.yMax;
    }
    d->userMinX = d->p1X;
    d->userMinY = d->p1Y;
    d->scalingOn = 0;
    d->userScaleX = d->userScaleY = 1.0;
    d->relative = 0;
    d->penUp = 1;
    d->pen = 0;
    d->lineType = 10;
    d->patternLength = 0.04 * std::hypot(doc.xMax - doc.xMin, doc.yMax - doc.yMin);
    if (isPlotterWithFixedLabels(doc.plot)) {
        d->charWidth = 114.0;
        d->charHeight = 150.0;
    } else {
        d->charWidth = 0.005 * std::fabs(doc.xMax - doc.xMin);
        d->charHeight = 0.005 * std::fabs(doc.yMax - doc.yMin);
    }
    d->slant = 0;
    d->directionRun = 1.0;
    d->directionRise = 0;
    d->labelVertical = 0;
    d->extraSpaceX = d->extraSpaceY = 0;
    const int32_t p = doc.plot;
    d->noVerticalLabels = p == 5 || p == 11 || p == 12 ? 0 : 1;
    d->noExtraSpace = p == 4 || isPlotterWithFixedLabels(p) ? 0 : 1;
}

void restoreDefaults(Renderer* r) {
    r->in.skipParameters();
    const size_t from = offsetof(HpglRenderState, p1X);
    const size_t to = sizeof(HpglRenderState);
    std::memcpy(reinterpret_cast<char*>(&r->s) + from,
                reinterpret_cast<const char*>(&r->defaults) + from, to - from);
    r->s.p1p2Given = 0;
}

bool ignored(const HpglDocument& doc, int32_t code) {
    if (doc.ignoreCount <= 0 || !doc.ignoreCodes) return false;
    for (int32_t i = 0; i < doc.ignoreCount; ++i)
        if (doc.ignoreCodes[i] == code) return true;
    return false;
}

// Runs the handler of one command; 0, or -1 when a handler failed.
int32_t dispatch(Renderer* r, int32_t code) {
    HpglRenderState& s = r->s;
    switch (code) {
        case kDF:
        case kIN:
            restoreDefaults(r);
            return 0;
        case kSP:
            r->selectPen();
            return 0;
        case kLT:
            r->setLineType();
            return 0;
        case kPU:
            s.penUp = 1;
            return r->movement();
        case kPD:
            s.penUp = 0;
            return r->movement();
        case kPA:
            s.relative = 0;
            return r->movement();
        case kPR:
            s.relative = 1;
            return r->movement();
        case kPC:
        case kGR:
            return r->movement();
        case kCI:
            r->circle();
            return 0;
        case kAA:
        case kAR:
        case kEW:
            r->arcOrWedge();
            return 0;
        case kEA:
        case kER:
            r->rectangle();
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
        case kSI:
        case kSR:
        case kSU:
        case kSL:
        case kDI:
        case kDR:
        case kDU:
        case kDV:
        case kES:
            r->settings(code);
            return 0;
        case kIW:
            if (ignored(*r->doc, kIW)) break;
            r->clipWindow();
            return 0;
        default:
            break;
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

}  // namespace

void Renderer::readField(char* buf, bool separatorEndsOnly) {
    const FieldRules rules{.keep = 40,
                           .separatorEndsOnly = separatorEndsOnly,
                           .skipBlanks = true,
                           .takeFirstByte = true};
    in.readFieldText(rules, buf);
}

double Renderer::readNumber(bool separatorEndsOnly) {
    const FieldRules rules{.keep = 40,
                           .separatorEndsOnly = separatorEndsOnly,
                           .skipBlanks = true,
                           .takeFirstByte = true};
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

extern "C" KRO_API int32_t KroDisplayHPGL(HpglDocument* document, int32_t deviceWidth,
                                          int32_t deviceHeight, HDC dc, const float* penWidths,
                                          int32_t /*unused*/, int32_t paperType, float scale,
                                          int32_t resolution, int32_t centreOnDevice) {
    using namespace kro::hpgl;
    static Renderer r;
    if (!document || !document->text) {
        fndErrorStatus = KRO_ERR_NULL;
        return -1;
    }
    r = Renderer{};
    startState(&r.s, *document, deviceHeight, paperType);
    if (scale < 0 || std::isnan(scale)) {
        fndErrorStatus = KRO_ERR_HPGL_SCALE;
        return -1;
    }
    const Placement p = scale == 0 ? placeToFit(*document, deviceWidth, deviceHeight)
                                   : placeAtScale(*document, deviceWidth, deviceHeight,
                                                  resolution * double(scale) * 0.000984251968503937,
                                                  centreOnDevice == 1);
    r.s.deviceScale = p.deviceScale;
    r.s.originX = p.originX;
    r.s.originY = p.originY;
    r.s.offsetX = p.offsetX;
    r.s.offsetY = p.offsetY;
    document->scale = p.deviceScale;
    r.doc = document;
    r.dc = dc;
    r.penWidths = penWidths;
    r.nt = ntFamily();

    // The host's pen, found by selecting a pen of ours and taking the answer.
    HPEN probe = CreatePen(PS_SOLID, 0, 0);
    if (probe) {
        r.hostPen = SelectObject(dc, probe);
        if (r.hostPen) SelectObject(dc, r.hostPen);
        DeleteObject(probe);
    }

    r.defaults = r.s;
    defaultState(&r.defaults, *document, paperType);

    r.in = Stream(document->text, document->textLength);
    while (int32_t code = r.in.nextCommand()) {
        r.s.command = code;
        const int32_t rc = dispatch(&r, code);
        r.s.command = 0;
        if (rc != 0) {
            restoreHostPen(&r);
            return -1;
        }
    }
    restoreHostPen(&r);
    return 0;
}
