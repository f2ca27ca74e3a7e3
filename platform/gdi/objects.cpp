// Pens, brushes and regions: the handle table, the makers and DeleteObject.
#include <cstring>
#include <new>
#include <unordered_map>

#include "gdi_internal.h"

namespace krogdi {

namespace {

constexpr uintptr_t kFirstDynamicHandle = 0x100;  // below: stock objects

struct Table {
    std::unordered_map<uintptr_t, std::unique_ptr<Object>> objects;
    uintptr_t next = kFirstDynamicHandle;
    int32_t live = 0;
    std::vector<Device*> devices;
};

Table& table() {
    static Table t;
    return t;
}

// Every live device, in the order they were made; the lock is held.
const std::vector<Device*>& liveDevices() {
    return table().devices;
}

struct StockRow {
    int which;
    uint32_t type;
    COLORREF colour;
    bool empty;  // NULL_BRUSH, NULL_PEN
};

constexpr StockRow kStock[] = {
    {WHITE_BRUSH, OBJ_BRUSH, 0xFFFFFF, false},
    {LTGRAY_BRUSH, OBJ_BRUSH, 0xC0C0C0, false},
    {GRAY_BRUSH, OBJ_BRUSH, 0x808080, false},
    {DKGRAY_BRUSH, OBJ_BRUSH, 0x404040, false},
    {BLACK_BRUSH, OBJ_BRUSH, 0x000000, false},
    {NULL_BRUSH, OBJ_BRUSH, 0, true},
    {WHITE_PEN, OBJ_PEN, 0xFFFFFF, false},
    {BLACK_PEN, OBJ_PEN, 0x000000, false},
    {NULL_PEN, OBJ_PEN, 0, true},
    {-1, 0, 0, false},
};

HGDIOBJ stockHandle(int which) {
    return reinterpret_cast<HGDIOBJ>(uintptr_t(which) + 1);
}

void makeStock(Table& t) {
    for (const StockRow* row = kStock; row->which >= 0; ++row) {
        auto object = std::make_unique<Object>();
        object->type = row->type;
        object->stock = true;
        if (row->type == OBJ_PEN) {
            object->pen = standardPen(row->empty ? PS_NULL : PS_SOLID, 0, row->colour);
        } else {
            object->brush.hollow = row->empty;
            object->brush.colour = row->colour;
        }
        t.objects.emplace(uintptr_t(stockHandle(row->which)), std::move(object));
    }
}

// GDI's dash patterns: cosmetic ones in pixels, geometric ones in pen widths.
struct Pattern {
    int style;
    int count;
    double cosmetic[6];
    double geometric[6];
};
constexpr Pattern kPatterns[] = {
    {PS_DASH, 2, {18, 6}, {3, 1}},
    {PS_DOT, 2, {3, 3}, {1, 1}},
    {PS_DASHDOT, 4, {9, 6, 3, 6}, {3, 1, 1, 1}},
    {PS_DASHDOTDOT, 6, {9, 3, 3, 3, 3, 3}, {3, 1, 1, 1, 1, 1}},
    {PS_ALTERNATE, 2, {1, 1}, {1, 1}},
    {-1, 0, {}, {}},
};

void setPattern(Pen* pen, int style, bool geometric) {
    for (const Pattern* p = kPatterns; p->style >= 0; ++p) {
        if (p->style != style) continue;
        for (int i = 0; i < p->count; ++i)
            pen->dashes.push_back(geometric ? p->geometric[i] * pen->width : p->cosmetic[i]);
    }
}

// Widths past this draw nothing sensible on any page and would overflow Cairo's fixed point.
constexpr double kMaxWidth = 1 << 20;

HGDIOBJ failed(Call&& call) {
    call.result = 0;
    logEverywhere(std::move(call));
    return nullptr;
}

HGDIOBJ made(Call&& call, std::unique_ptr<Object> object) {
    const TableGuard guard(tableLock());
    const uint32_t type = object->type;
    HGDIOBJ handle = adopt(std::move(object));
    if (!handle) return failed(std::move(call));
    call.object = handle;
    call.result = 1;
    for (Device* d : liveDevices()) d->made(handle, type);
    logEverywhere(std::move(call));
    return handle;
}

}  // namespace

Pen standardPen(int style, int width, COLORREF colour) {
    Pen pen;
    pen.colour = colour;
    pen.visible = style != PS_NULL;
    if (width > 1) {  // geometric, as GDI makes wide pens: round ends and joins
        pen.width = width < kMaxWidth ? width : kMaxWidth;
        pen.endCap = PS_ENDCAP_ROUND;
        pen.join = PS_JOIN_ROUND;
        pen.insideFrame = style == PS_INSIDEFRAME;
        setPattern(&pen, style, true);
    } else {
        pen.endCap = PS_ENDCAP_FLAT;
        pen.join = PS_JOIN_MITER;
        setPattern(&pen, style, false);
    }
    return pen;
}

TableLock& tableLock() {
    static TableLock lock;
    return lock;
}

Object* lookup(HGDIOBJ handle) {
    const TableGuard guard(tableLock());
    Table& t = table();
    if (t.objects.empty()) makeStock(t);
    auto it = t.objects.find(reinterpret_cast<uintptr_t>(handle));
    return it == t.objects.end() ? nullptr : it->second.get();
}

HGDIOBJ adopt(std::unique_ptr<Object> object) {
    const TableGuard guard(tableLock());
    Table& t = table();
    try {
        if (t.objects.empty()) makeStock(t);
        const uintptr_t key = t.next++;
        t.objects.emplace(key, std::move(object));
        ++t.live;
        return reinterpret_cast<HGDIOBJ>(key);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

Device* lookupDevice(HDC dc) {
    const TableGuard guard(tableLock());
    for (Device* d : table().devices)
        if (reinterpret_cast<HDC>(d) == dc) return d;
    return nullptr;
}

Device* releaseDevice(HDC dc) {
    const TableGuard guard(tableLock());
    std::vector<Device*>& devices = table().devices;
    for (size_t i = 0; i < devices.size(); ++i)
        if (reinterpret_cast<HDC>(devices[i]) == dc) {
            Device* d = devices[i];
            devices.erase(devices.begin() + long(i));
            return d;
        }
    return nullptr;
}

HDC adoptDevice(std::unique_ptr<Device> device) {
    const TableGuard guard(tableLock());
    try {
        table().devices.push_back(device.get());
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    return reinterpret_cast<HDC>(device.release());
}

void logEverywhere(Call&& call) {
    const TableGuard guard(tableLock());
    const std::vector<Device*>& devices = liveDevices();
    for (size_t i = 0; i < devices.size(); ++i) {
        if (!call.result) ++devices[i]->faults;
        if (i + 1 == devices.size())
            devices[i]->log(std::move(call));
        else
            devices[i]->log(Call(call));
    }
}

Device::Device() : pen(stockHandle(BLACK_PEN)), brush(stockHandle(WHITE_BRUSH)) {
    const TableGuard guard(tableLock());
    lookup(pen)->selections++;
    lookup(brush)->selections++;
}

// The device has left the table already (releaseDevice), so no other
// thread's call reaches it while it is taken apart.
Device::~Device() {
    const TableGuard guard(tableLock());
    for (HGDIOBJ h : {pen, brush})
        if (Object* o = lookup(h)) o->selections--;
}

}  // namespace krogdi

using namespace krogdi;

extern "C" {

HPEN CreatePen(int style, int width, COLORREF colour) {
    Call call{KRO_GDI_CALL_CREATE_PEN, {style, width, int32_t(colour)}};
    if (style < PS_SOLID || style > PS_INSIDEFRAME) return HPEN(failed(std::move(call)));
    auto object = std::make_unique<Object>();
    object->type = OBJ_PEN;
    object->pen = standardPen(style, width < 0 ? 0 : width, colour);
    return HPEN(made(std::move(call), std::move(object)));
}

HPEN ExtCreatePen(DWORD style, DWORD width, const LOGBRUSH* brush, DWORD styleCount,
                  const DWORD* styleArray) {
    Call call{KRO_GDI_CALL_EXT_CREATE_PEN,
              {int32_t(style), int32_t(width), brush ? int32_t(brush->lbStyle) : -1,
               brush ? int32_t(brush->lbColor) : -1, int32_t(styleCount)}};
    if (styleArray && styleCount <= 16) call.values.assign(styleArray, styleArray + styleCount);

    const DWORD kind = style & PS_STYLE_MASK, cap = style & PS_ENDCAP_MASK;
    const DWORD join = style & PS_JOIN_MASK, type = style & PS_TYPE_MASK;
    const bool geometric = type == PS_GEOMETRIC;
    bool ok =
        brush && (style & ~(PS_STYLE_MASK | PS_ENDCAP_MASK | PS_JOIN_MASK | PS_TYPE_MASK)) == 0;
    ok = ok && kind <= PS_ALTERNATE && cap <= PS_ENDCAP_FLAT && join <= PS_JOIN_MITER;
    ok = ok && (type == PS_COSMETIC || geometric);
    if (kind == PS_USERSTYLE)
        ok = ok && styleCount >= 1 && styleCount <= 16 && styleArray;
    else
        ok = ok && styleCount == 0;
    if (ok && geometric)
        ok = kind != PS_ALTERNATE && (brush->lbStyle == BS_SOLID || brush->lbStyle == BS_NULL);
    if (ok && !geometric) ok = width == 1 && kind != PS_INSIDEFRAME && brush->lbStyle == BS_SOLID;
    if (!ok) return HPEN(failed(std::move(call)));

    auto object = std::make_unique<Object>();
    object->type = OBJ_PEN;
    Pen& pen = object->pen;
    pen.colour = brush->lbColor;
    pen.visible = kind != PS_NULL && brush->lbStyle == BS_SOLID;
    pen.width = geometric ? (width < 1 ? 1 : width > kMaxWidth ? kMaxWidth : width) : 1;
    pen.endCap = geometric ? cap : PS_ENDCAP_FLAT;
    pen.join = geometric ? join : PS_JOIN_MITER;
    pen.insideFrame = kind == PS_INSIDEFRAME;
    if (kind == PS_USERSTYLE) {
        bool anyDash = false;
        for (DWORD i = 0; i < styleCount; ++i) anyDash = anyDash || styleArray[i] != 0;
        if (anyDash) pen.dashes.assign(styleArray, styleArray + styleCount);
    } else {
        setPattern(&pen, int(kind), geometric);
    }
    return HPEN(made(std::move(call), std::move(object)));
}

HBRUSH CreateSolidBrush(COLORREF colour) {
    Call call{KRO_GDI_CALL_CREATE_SOLID_BRUSH, {int32_t(colour)}};
    auto object = std::make_unique<Object>();
    object->type = OBJ_BRUSH;
    object->brush.colour = colour;
    return HBRUSH(made(std::move(call), std::move(object)));
}

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
    Call call{KRO_GDI_CALL_CREATE_RECT_RGN, {left, top, right, bottom}};
    auto object = std::make_unique<Object>();
    object->type = OBJ_REGION;
    object->region = {left < right ? left : right, top < bottom ? top : bottom,
                      left < right ? right : left, top < bottom ? bottom : top};
    return HRGN(made(std::move(call), std::move(object)));
}

HGDIOBJ GetStockObject(int which) {
    if (which < WHITE_BRUSH || which > NULL_PEN) return nullptr;
    HGDIOBJ handle = stockHandle(which);
    return lookup(handle) ? handle : nullptr;
}

BOOL DeleteObject(HGDIOBJ handle) {
    Call call{KRO_GDI_CALL_DELETE_OBJECT, {}};
    call.object = handle;
    const TableGuard guard(tableLock());
    Object* object = lookup(handle);
    if (!object || (object->selections > 0 && !object->stock)) {
        failed(std::move(call));
        return FALSE;
    }
    call.result = TRUE;
    logEverywhere(std::move(call));
    if (!object->stock) {
        for (Device* d : liveDevices()) d->deleted(handle);
        table().objects.erase(reinterpret_cast<uintptr_t>(handle));
        table().live--;
    }
    return TRUE;
}

int32_t KroGdiLiveObjects(void) {
    const TableGuard guard(tableLock());
    return table().live;
}

}  // extern "C"
