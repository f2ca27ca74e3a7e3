// The device-context calls: selection, current position, the drawing calls and
// clipping, checked and logged here and drawn by the device behind the handle.
#include <new>

#include "gdi_internal.h"

using namespace krogdi;

namespace {

// Logs the call on the device, counting a failure.
bool finish(Device* d, Call&& call, bool ok) {
    call.result = ok ? 1 : 0;
    if (!ok) ++d->faults;
    d->log(std::move(call));
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
    Call call{which, {left, top, right, bottom, xs, ys, xe, ye}};
    const bool ok = d->arc(ordered(left, top, right, bottom), POINT{xs, ys}, POINT{xe, ye},
                           which == KRO_GDI_CALL_PIE);
    return finish(d, std::move(call), ok);
}

}  // namespace

extern "C" {

HGDIOBJ SelectObject(HDC dc, HGDIOBJ handle) {
    Device* d = lookupDevice(dc);
    if (!d) return nullptr;
    Call call{KRO_GDI_CALL_SELECT_OBJECT, {}};
    call.object = handle;
    Object* object = lookup(handle);
    if (!object || object->type == OBJ_REGION) {
        finish(d, std::move(call), false);
        return nullptr;
    }
    HGDIOBJ* slot = object->type == OBJ_PEN ? &d->pen : &d->brush;
    HGDIOBJ previous = *slot;
    d->selecting(object->type);
    if (Object* old = lookup(previous)) old->selections--;
    object->selections++;
    *slot = handle;
    call.previous = previous;
    finish(d, std::move(call), true);
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
    return finish(d, Call{KRO_GDI_CALL_MOVE_TO_EX, {x, y}}, true);
}

BOOL LineTo(HDC dc, int x, int y) {
    Device* d = lookupDevice(dc);
    if (!d) return FALSE;
    const POINT to{x, y};
    const bool ok = d->line(&to, 1);
    d->position = to;
    return finish(d, Call{KRO_GDI_CALL_LINE_TO, {x, y}}, ok);
}

BOOL PolylineTo(HDC dc, const POINT* points, DWORD count) {
    Device* d = lookupDevice(dc);
    if (!d) return FALSE;
    Call call{KRO_GDI_CALL_POLYLINE_TO, {int32_t(count)}};
    if (!points || count == 0 || count > INT32_MAX / 2) return finish(d, std::move(call), false);
    try {
        call.values.reserve(size_t(count) * 2);
    } catch (const std::bad_alloc&) {
        return finish(d, std::move(call), false);
    }
    for (DWORD i = 0; i < count; ++i) {
        call.values.push_back(points[i].x);
        call.values.push_back(points[i].y);
    }
    const bool ok = d->line(points, count);
    d->position = points[count - 1];
    return finish(d, std::move(call), ok);
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
    return finish(d, Call{KRO_GDI_CALL_RECTANGLE, {left, top, right, bottom}}, ok);
}

int SelectClipRgn(HDC dc, HRGN region) {
    Device* d = lookupDevice(dc);
    if (!d) return ERROR;
    Call call{KRO_GDI_CALL_SELECT_CLIP_RGN, {}};
    call.object = region;
    if (!region) {
        const bool ok = d->clip(nullptr);
        finish(d, std::move(call), ok);
        return ok ? NULLREGION : ERROR;
    }
    Object* object = lookup(region);
    if (!object || object->type != OBJ_REGION) return finish(d, std::move(call), false), ERROR;
    const RECT box = object->region;
    if (!d->clip(&box)) return finish(d, std::move(call), false), ERROR;
    const int type = box.left < box.right && box.top < box.bottom ? SIMPLEREGION : NULLREGION;
    call.result = type;
    d->log(std::move(call));
    return type;
}

BOOL DeleteDC(HDC dc) {
    Device* d = lookupDevice(dc);
    if (!d) return FALSE;
    delete d;
    return TRUE;
}

int32_t KroGdiFaults(HDC dc) {
    Device* d = lookupDevice(dc);
    return d ? d->faults : -1;
}

}  // extern "C"
