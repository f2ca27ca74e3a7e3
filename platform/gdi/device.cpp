// The device-context calls: selection, current position, the drawing calls and
// clipping, checked and logged here and drawn by the device behind the handle.
#include <new>

#include "gdi_internal.h"

using namespace krogdi;

namespace {

// Counts a failure and, on a recording device, logs the call that make() describes.
template <class Make>
bool finish(Device* d, bool ok, Make make, int32_t result = -1) {
    if (ok && !d->records()) return ok;
    const TableGuard guard(tableLock());
    if (!ok) ++d->faults;
    if (!d->records()) return ok;
    try {
        Call call = make();
        call.result = result >= 0 ? result : ok ? 1 : 0;
        d->log(std::move(call));
    } catch (const std::bad_alloc&) {
        ++d->faults;  // the log is short by this call
    }
    return ok;
}

RECT ordered(int left, int top, int right, int bottom) {
    return {left < right ? left : right, top < bottom ? top : bottom, left < right ? right : left,
            top < bottom ? bottom : top};
}

BOOL arcOrPie(int32_t which, HDC dc, int left, int top, int right, int bottom, int xs, int ys,
              int xe, int ye) {
    Device* d = lookupDevice(dc);
    if (!d) return FALSE;
    const bool ok = d->arc(ordered(left, top, right, bottom), POINT{xs, ys}, POINT{xe, ye},
                           which == KRO_GDI_CALL_PIE);
    return finish(d, ok, [&] { return Call{which, {left, top, right, bottom, xs, ys, xe, ye}}; });
}

}  // namespace

extern "C" {

HGDIOBJ SelectObject(HDC dc, HGDIOBJ handle) {
    Device* d = lookupDevice(dc);
    if (!d) return nullptr;
    auto make = [&] {
        Call call{KRO_GDI_CALL_SELECT_OBJECT, {}};
        call.object = handle;
        return call;
    };
    Object* object = lookup(handle);
    if (!object || object->type == OBJ_REGION) {
        finish(d, false, make);
        return nullptr;
    }
    HGDIOBJ* slot = object->type == OBJ_PEN ? &d->pen : &d->brush;
    HGDIOBJ previous = *slot;
    d->selecting(object->type);
    {
        const TableGuard guard(tableLock());
        if (Object* old = lookup(previous)) old->selections--;
        object->selections++;
        *slot = handle;
    }
    finish(d, true, [&] {
        Call call = make();
        call.previous = previous;
        return call;
    });
    return previous;
}

HGDIOBJ GetCurrentObject(HDC dc, UINT type) {
    Device* d = lookupDevice(dc);
    if (!d) return nullptr;
    return type == OBJ_PEN ? d->pen : type == OBJ_BRUSH ? d->brush : nullptr;
}

BOOL MoveToEx(HDC dc, int x, int y, POINT* previous) {
    Device* d = lookupDevice(dc);
    if (!d) return FALSE;
    if (previous) *previous = d->position;
    d->position = {x, y};
    return finish(d, true, [&] { return Call{KRO_GDI_CALL_MOVE_TO_EX, {x, y}}; });
}

BOOL LineTo(HDC dc, int x, int y) {
    Device* d = lookupDevice(dc);
    if (!d) return FALSE;
    const POINT to{x, y};
    const bool ok = d->line(&to, 1);
    d->position = to;
    return finish(d, ok, [&] { return Call{KRO_GDI_CALL_LINE_TO, {x, y}}; });
}

BOOL PolylineTo(HDC dc, const POINT* points, DWORD count) {
    Device* d = lookupDevice(dc);
    if (!d) return FALSE;
    const bool valid = points && count > 0 && count <= INT32_MAX / 2;
    const bool ok = valid && d->line(points, count);
    if (valid) d->position = points[count - 1];
    return finish(d, ok, [&] {
        Call call{KRO_GDI_CALL_POLYLINE_TO, {int32_t(count)}};
        if (!valid) return call;
        call.values.reserve(size_t(count) * 2);
        for (DWORD i = 0; i < count; ++i) {
            call.values.push_back(points[i].x);
            call.values.push_back(points[i].y);
        }
        return call;
    });
}

BOOL Arc(HDC dc, int left, int top, int right, int bottom, int xs, int ys, int xe, int ye) {
    return arcOrPie(KRO_GDI_CALL_ARC, dc, left, top, right, bottom, xs, ys, xe, ye);
}

BOOL Pie(HDC dc, int left, int top, int right, int bottom, int xs, int ys, int xe, int ye) {
    return arcOrPie(KRO_GDI_CALL_PIE, dc, left, top, right, bottom, xs, ys, xe, ye);
}

BOOL Rectangle(HDC dc, int left, int top, int right, int bottom) {
    Device* d = lookupDevice(dc);
    if (!d) return FALSE;
    const bool ok = d->rectangle(ordered(left, top, right, bottom));
    return finish(d, ok, [&] { return Call{KRO_GDI_CALL_RECTANGLE, {left, top, right, bottom}}; });
}

BOOL PolyPolygon(HDC dc, const POINT* points, const int* counts, int count) {
    Device* d = lookupDevice(dc);
    if (!d) return FALSE;
    size_t total = 0;
    bool valid = points && counts && count > 0;
    for (int i = 0; valid && i < count; ++i) {
        valid = counts[i] >= 2 && size_t(counts[i]) <= size_t(INT32_MAX / 2) - total;
        if (valid) total += size_t(counts[i]);
    }
    const bool ok = valid && d->polygons(points, counts, size_t(count));
    return finish(d, ok, [&] {
        Call call{KRO_GDI_CALL_POLY_POLYGON, {count}};
        if (!valid) return call;
        for (int i = 0; i < count && i < 8; ++i) call.args.push_back(counts[i]);
        call.values.reserve(total * 2);
        for (size_t i = 0; i < total; ++i) {
            call.values.push_back(points[i].x);
            call.values.push_back(points[i].y);
        }
        return call;
    });
}

BOOL Polygon(HDC dc, const POINT* points, int count) {
    return PolyPolygon(dc, points, &count, 1);
}

int SetPolyFillMode(HDC dc, int mode) {
    Device* d = lookupDevice(dc);
    if (!d) return 0;
    const bool ok = mode == ALTERNATE || mode == WINDING;
    const int previous = d->fillMode;
    if (ok) d->fillMode = mode;
    finish(d, ok, [&] { return Call{KRO_GDI_CALL_SET_POLY_FILL_MODE, {mode}}; });
    return ok ? previous : 0;
}

int SelectClipRgn(HDC dc, HRGN region) {
    Device* d = lookupDevice(dc);
    if (!d) return ERROR;
    Object* object = region ? lookup(region) : nullptr;
    int type = ERROR;
    if (!region)
        type = d->clip(nullptr) ? NULLREGION : ERROR;
    else if (object && object->type == OBJ_REGION && d->clip(&object->region))
        type =
            object->region.left < object->region.right && object->region.top < object->region.bottom
                ? SIMPLEREGION
                : NULLREGION;
    finish(
        d, type != ERROR,
        [&] {
            Call call{KRO_GDI_CALL_SELECT_CLIP_RGN, {}};
            call.object = region;
            return call;
        },
        type);
    return type;
}

// Not logged: a device that draws no text leaves no trace of the attempt.
BOOL KroGdiDrawLabel(HDC dc, const char* text, const double frame[8]) {
    Device* d = lookupDevice(dc);
    if (!d || !text || !frame) return FALSE;
    return d->label(text, frame) ? TRUE : FALSE;
}

BOOL DeleteDC(HDC dc) {
    Device* d = releaseDevice(dc);
    if (!d) return FALSE;
    delete d;
    return TRUE;
}

int32_t KroGdiGetSize(HDC dc, int32_t* width, int32_t* height, int32_t* resolution) {
    Device* d = lookupDevice(dc);
    if (!d) return -1;
    if (width) *width = d->width;
    if (height) *height = d->height;
    if (resolution) *resolution = d->resolution;
    return 0;
}

int32_t KroGdiFaults(HDC dc) {
    const TableGuard guard(tableLock());
    Device* d = lookupDevice(dc);
    return d ? d->faults : -1;
}

}  // extern "C"
