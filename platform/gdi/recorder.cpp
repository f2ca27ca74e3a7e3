// The recording device: draws nothing, logs every call and keeps account of
// the objects made while it lives.
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>
#include <new>
#include <string>

#include "gdi_internal.h"

using namespace krogdi;

namespace {

const char* const kCallNames[] = {
    "",
    "CreatePen",
    "ExtCreatePen",
    "CreateSolidBrush",
    "CreateRectRgn",
    "DeleteObject",
    "SelectObject",
    "MoveToEx",
    "LineTo",
    "PolylineTo",
    "Arc",
    "Pie",
    "Rectangle",
    "SelectClipRgn",
    "PolyPolygon",
    "SetPolyFillMode",
};

const char* const kStockNames[] = {"WHITE_BRUSH",  "LTGRAY_BRUSH", "GRAY_BRUSH",
                                   "DKGRAY_BRUSH", "BLACK_BRUSH",  "NULL_BRUSH",
                                   "WHITE_PEN",    "BLACK_PEN",    "NULL_PEN"};

void append(std::string* out, const char* format, ...);

class Recorder : public Device {
  public:
    bool line(const POINT*, size_t) override { return true; }
    bool arc(const RECT&, POINT, POINT, bool) override { return true; }
    bool rectangle(const RECT&) override { return true; }
    bool polygons(const POINT*, const int*, size_t) override { return true; }
    bool clip(const RECT*) override { return true; }

    bool records() const override { return true; }
    void log(Call&& call) override {
        try {
            name(call.object);
            name(call.previous);
            calls.push_back(std::move(call));
        } catch (const std::bad_alloc&) {
            ++faults;  // the log is short by this call
        }
    }
    void made(HGDIOBJ handle, uint32_t type) override {
        try {
            undeleted[handle] = type;
        } catch (const std::bad_alloc&) {
            ++faults;
        }
    }
    void deleted(HGDIOBJ handle) override { undeleted.erase(handle); }

    // The object's name in the dump: pen#1, brush#2, ... by first meeting.
    std::string name(HGDIOBJ handle) {
        if (!handle) return "null";
        const uintptr_t key = reinterpret_cast<uintptr_t>(handle);
        if (key >= 1 && key <= 9) return kStockNames[key - 1];
        auto it = names.find(handle);
        if (it != names.end()) return it->second;
        const Object* object = lookup(handle);
        const uint32_t type = object ? object->type : 0;
        const char* kind = type == OBJ_PEN      ? "pen"
                           : type == OBJ_BRUSH  ? "brush"
                           : type == OBJ_REGION ? "rgn"
                                                : "obj";
        std::string text = kind;
        append(&text, "#%zu", names.size() + 1);
        names.emplace(handle, text);
        return text;
    }

    std::vector<Call> calls;
    std::map<HGDIOBJ, std::string> names;
    std::map<HGDIOBJ, uint32_t> undeleted;
};

Recorder* recorder(HDC dc) {
    return dynamic_cast<Recorder*>(lookupDevice(dc));
}

// Appends printf-style text (string concatenation trips a false -Wrestrict in GCC 12).
__attribute__((format(printf, 2, 3))) void append(std::string* out, const char* format, ...) {
    char buf[128];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buf, sizeof buf, format, args);
    va_end(args);
    if (n > 0) out->append(buf, std::min(size_t(n), sizeof buf - 1));
}

void appendInts(std::string* out, const std::vector<int32_t>& values, const char* separator) {
    for (size_t i = 0; i < values.size(); ++i) append(out, "%s%d", i ? separator : "", values[i]);
}

std::string describe(Recorder* r, const Call& c) {
    const std::vector<int32_t>& a = c.args;
    std::string text = kCallNames[c.call];
    text += '(';
    switch (c.call) {
        case KRO_GDI_CALL_CREATE_PEN:
            append(&text, "%d, %d, 0x%06x", a[0], a[1], unsigned(a[2]));
            break;
        case KRO_GDI_CALL_EXT_CREATE_PEN:
            append(&text, "0x%x, %d, {%d, 0x%06x}, %d, [", unsigned(a[0]), a[1], a[2],
                   unsigned(a[3]), a[4]);
            for (size_t i = 0; i < c.values.size(); ++i)
                append(&text, "%s%u", i ? " " : "", unsigned(c.values[i]));
            text += ']';
            break;
        case KRO_GDI_CALL_CREATE_SOLID_BRUSH:
            append(&text, "0x%06x", unsigned(a[0]));
            break;
        case KRO_GDI_CALL_DELETE_OBJECT:
        case KRO_GDI_CALL_SELECT_OBJECT:
        case KRO_GDI_CALL_SELECT_CLIP_RGN:
            text += r->name(c.object);
            break;
        case KRO_GDI_CALL_POLY_POLYGON:
            appendInts(&text, a, ", ");
            text += "; ";
            for (size_t i = 0; i + 1 < c.values.size(); i += 2)
                append(&text, "%s(%d,%d)", i ? " " : "", c.values[i], c.values[i + 1]);
            break;
        case KRO_GDI_CALL_POLYLINE_TO:
            for (size_t i = 0; i + 1 < c.values.size(); i += 2)
                append(&text, "%s(%d,%d)", i ? " " : "", c.values[i], c.values[i + 1]);
            break;
        default:
            appendInts(&text, a, ", ");
    }
    text += ')';
    switch (c.call) {
        case KRO_GDI_CALL_CREATE_PEN:
        case KRO_GDI_CALL_EXT_CREATE_PEN:
        case KRO_GDI_CALL_CREATE_SOLID_BRUSH:
        case KRO_GDI_CALL_CREATE_RECT_RGN:
            text += " = ";
            text += r->name(c.object);
            break;
        case KRO_GDI_CALL_SELECT_OBJECT:
            text += " = ";
            text += r->name(c.previous);
            break;
        case KRO_GDI_CALL_SELECT_CLIP_RGN:
            append(&text, " = %d", c.result);
            break;
        default:
            if (!c.result) text += " = FALSE";
    }
    return text;
}

}  // namespace

extern "C" {

HDC KroGdiCreateRecorder(int32_t width, int32_t height, int32_t resolution) {
    if (width <= 0 || height <= 0 || resolution <= 0) return nullptr;
    Recorder* r = new (std::nothrow) Recorder;
    if (r) r->width = width, r->height = height, r->resolution = resolution;
    return r ? adoptDevice(std::unique_ptr<Device>(r)) : nullptr;
}

int32_t KroGdiRecordCount(HDC dc) {
    const TableGuard guard(tableLock());
    Recorder* r = recorder(dc);
    return r ? int32_t(std::min<size_t>(r->calls.size(), INT32_MAX)) : -1;
}

int32_t KroGdiGetRecord(HDC dc, int32_t index, KroGdiRecord* record) {
    const TableGuard guard(tableLock());
    Recorder* r = recorder(dc);
    if (!r || !record || index < 0 || size_t(index) >= r->calls.size()) return -1;
    const Call& c = r->calls[size_t(index)];
    *record = KroGdiRecord{};
    record->call = c.call;
    record->argCount = int32_t(std::min<size_t>(c.args.size(), 9));
    std::copy_n(c.args.begin(), record->argCount, record->args);
    record->result = c.result;
    record->object = c.object;
    record->previous = c.previous;
    record->values = c.values.empty() ? nullptr : c.values.data();
    record->valueCount = int32_t(c.values.size());
    return 0;
}

int32_t KroGdiDumpRecords(HDC dc, char* buffer, size_t capacity) {
    const TableGuard guard(tableLock());
    Recorder* r = recorder(dc);
    if (!r) return -1;
    std::string text;
    try {
        for (const Call& c : r->calls) {
            text += describe(r, c);
            text += '\n';
        }
    } catch (const std::bad_alloc&) {
        return -1;
    }
    if (buffer && capacity > 0) {
        const size_t n = std::min(text.size(), capacity - 1);
        std::memcpy(buffer, text.data(), n);
        buffer[n] = '\0';
    }
    return int32_t(std::min<size_t>(text.size(), INT32_MAX));
}

void KroGdiClearRecords(HDC dc) {
    const TableGuard guard(tableLock());
    if (Recorder* r = recorder(dc)) r->calls.clear();
}

int32_t KroGdiUndeletedObjects(HDC dc, UINT type) {
    const TableGuard guard(tableLock());
    Recorder* r = recorder(dc);
    if (!r) return -1;
    int32_t n = 0;
    for (const auto& [handle, t] : r->undeleted) n += type == 0 || t == type;
    return n;
}

}  // extern "C"
