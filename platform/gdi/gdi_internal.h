// Shared insides of the GDI stand-in: the object table and the device base.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "kro/gdi.h"

// What the Cairo module, built apart and loaded on first use, takes from
// this library.
#if defined(__GNUC__) && !defined(_WIN32)
#define KROGDI_SHARED __attribute__((visibility("default")))
#else
#define KROGDI_SHARED
#endif

namespace krogdi {

struct Pen {
    bool visible = true;       // false for PS_NULL and for a hollow geometric brush
    bool insideFrame = false;  // shapes keep the whole pen inside their box
    double width = 1;          // device units
    COLORREF colour = 0;
    uint32_t endCap = PS_ENDCAP_FLAT;
    uint32_t join = PS_JOIN_MITER;
    std::vector<double> dashes;  // dash, gap, ... in device units; empty for solid
};

struct Brush {
    bool hollow = false;
    COLORREF colour = 0xFFFFFF;
};

struct Object {
    uint32_t type = 0;  // OBJ_PEN, OBJ_BRUSH or OBJ_REGION
    bool stock = false;
    int selections = 0;  // selections by live devices
    Pen pen;
    Brush brush;
    RECT region{};
};

// A logged call (see KroGdiRecord).
struct Call {
    Call(int32_t which, std::vector<int32_t> arguments) : call(which), args(std::move(arguments)) {}
    int32_t call = 0;
    std::vector<int32_t> args;
    int32_t result = 0;
    HGDIOBJ object = nullptr;
    HGDIOBJ previous = nullptr;
    std::vector<int32_t> values;
};

class KROGDI_SHARED Device {
  public:
    Device();
    virtual ~Device();
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    // Drawing with the selected pen and brush; points are device pixels.
    // line: from the current position through the points, the last one undrawn.
    virtual bool line(const POINT* points, size_t count) = 0;
    virtual bool arc(const RECT& box, POINT start, POINT end, bool pie) = 0;
    virtual bool rectangle(const RECT& box) = 0;
    // Closed figures, counts[i] points each, filled by fillMode and outlined.
    virtual bool polygons(const POINT* points, const int* counts, size_t figures) = 0;
    // Clip to the rectangle, or none for null.
    virtual bool clip(const RECT* box) = 0;
    // A label's characters (see KroGdiDrawLabel); false where the device draws no text.
    virtual bool label(const char* /*text*/, const double* /*frame*/) { return false; }
    // The selected pen or brush (type OBJ_PEN or OBJ_BRUSH) is about to change.
    virtual void selecting(uint32_t /*type*/) {}
    // Logging and accounting; only the recorder keeps them.
    virtual bool records() const { return false; }
    virtual void log(Call&&) {}
    virtual void made(HGDIOBJ, uint32_t /*type*/) {}
    virtual void deleted(HGDIOBJ) {}

    HGDIOBJ pen;
    HGDIOBJ brush;
    POINT position{0, 0};
    int fillMode = ALTERNATE;
    int32_t faults = 0;
    int32_t width = 0, height = 0, resolution = 0;  // as made
};

// The objects and the devices are one table that every device shares; its
// lock lets threads draw on devices of their own at once. Held while an
// object's selections, a device's faults or a recorder's log change, since
// calls without a device reach every device. Recursive: logging a call names
// its objects through the table.
using TableLock = std::recursive_mutex;
using TableGuard = std::lock_guard<TableLock>;
KROGDI_SHARED TableLock& tableLock();

// The object behind a handle, or null when the handle is stale or foreign.
// Objects do not change once made, but for their selections.
KROGDI_SHARED Object* lookup(HGDIOBJ handle);
// Takes a new object into the table; its handle, or null when memory is short.
KROGDI_SHARED HGDIOBJ adopt(std::unique_ptr<Object> object);
// The device behind a handle, or null.
KROGDI_SHARED Device* lookupDevice(HDC dc);
KROGDI_SHARED HDC adoptDevice(std::unique_ptr<Device> device);
// Takes the device behind a handle out of the table, before it is deleted:
// from then on no call without a device reaches it. Null when none.
KROGDI_SHARED Device* releaseDevice(HDC dc);
// Logs a call made without a device on every live device, and counts a failure on each.
KROGDI_SHARED void logEverywhere(Call&& call);

// Pen patterns.
KROGDI_SHARED Pen standardPen(int style, int width, COLORREF colour);

}  // namespace krogdi
