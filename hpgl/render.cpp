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

// The values IN and DF restore, for this plot on this paper.
void defaultState(HpglRenderState* d, const HpglDocument& doc, int32_t paperType) {
    const ScalingPoints p = plotterScalingPoints(doc.plot, paperType);
    d->map.reset(p);
    d->relative = 0;
    d->penUp = 1;
    d->pen = 0;
    d->lineType = 10;
    d->patternLength = 0.04 * std::hypot(doc.xMax - doc.xMin, doc.yMax - doc.yMin);
    defaultCharSize(doc.plot, p, &d->charWidth, &d->charHeight);
    d->slant = 0;
    d->directionRun = 1.0;
    d->directionRise = 0;
    d->labelVertical = 0;
    d->extraSpaceX = d->extraSpaceY = 0;
    const int32_t t = doc.plot;
    d->noVerticalLabels = t == 5 || t == 11 || t == 12 ? 0 : 1;
    d->noExtraSpace =
        t == 4 || t == 5 || t == 6 || t == 7 || t == 8 || t == 9 || t == 11 || t == 12 ? 0 : 1;
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
    s->noVerticalLabels = 1;
    s->noExtraSpace = 1;
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
            restoreDefaults(r, code);
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
    if (scale < 0 || std::isnan(scale)) {
        fndErrorStatus = KRO_ERR_HPGL_SCALE;
        return -1;
    }
    defaultState(&r.defaults, *document, paperType);
    startState(&r.s, r.defaults, *document, deviceHeight, paperType);
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
