// The exported option record, its reset and its defaults.
#include <cstddef>
#include <iterator>

#include "options/options.h"

extern "C" {
KRO_API KroOption kroOption;
}

namespace {

// Hosts read the record by layout. Each slot is its 32-bit flag followed by
// its value at the value's natural alignment, all in the order below.
enum class Shape { Integer, Real, Text, Switch };

constexpr size_t alignUp(size_t at, size_t alignment) {
    return (at + alignment - 1) / alignment * alignment;
}

constexpr size_t valueSize(Shape s) {
    return s == Shape::Real ? sizeof(double) : s == Shape::Text ? sizeof(char*) : 4;
}
constexpr size_t valueAlign(Shape s) {
    return s == Shape::Real ? alignof(double) : s == Shape::Text ? alignof(char*) : 4;
}

constexpr Shape kShapes[] = {
    Shape::Integer, Shape::Integer, Shape::Integer, Shape::Integer,  // from to width height
    Shape::Text,    Shape::Text,    Shape::Text,                     // outdata directory outfile
    Shape::Integer, Shape::Integer, Shape::Integer,                  // page dpi compression
    Shape::Real,                                                     // scale
    Shape::Integer, Shape::Integer,                                  // papertype rotate
    Shape::Text,    Shape::Text,                                     // list fn
    Shape::Integer, Shape::Integer, Shape::Integer,                  // mode x y
    Shape::Text,                                                     // mergefile
    Shape::Integer,                                                  // colortype
    Shape::Real,                                                     // gamma
    Shape::Integer, Shape::Integer, Shape::Integer,                  // quality level dithes
    Shape::Integer, Shape::Integer, Shape::Integer, Shape::Integer,  // tile*
    Shape::Integer, Shape::Integer, Shape::Integer, Shape::Integer,  // xreso yreso photo color
    Shape::Integer, Shape::Integer, Shape::Integer,                  // stripLength strip fontsize
    Shape::Real,    Shape::Real,    Shape::Real,    Shape::Real,     // pen1-4
    Shape::Real,    Shape::Real,    Shape::Real,    Shape::Real,     // pen5-8
    Shape::Integer, Shape::Integer, Shape::Integer, Shape::Integer,  // plot defDpi defXDpi defYDpi
    Shape::Text,                                                     // ignore
    Shape::Switch,  Shape::Switch,  Shape::Switch,  Shape::Switch,   // Italic bold physical dithee
    Shape::Switch,  Shape::Switch,  Shape::Switch,                   // notify center batch
};
static_assert(std::size(kShapes) == kro::kOptionSlotCount);

// Offset of slot n's flag when every flag and value is laid out one after the
// other at its natural alignment. The slot structs must give the same.
constexpr size_t flatOffset(size_t n) {
    size_t at = 0;
    for (size_t i = 0; i < n; ++i) {
        at = alignUp(at, 4) + 4;
        if (kShapes[i] != Shape::Switch)
            at = alignUp(at, valueAlign(kShapes[i])) + valueSize(kShapes[i]);
    }
    return alignUp(at, 4);
}

#define KRO_SLOT_AT(name, n) \
    static_assert(offsetof(KroOption, name) == flatOffset(n), "kroOption." #name " moved")

KRO_SLOT_AT(from, 0);
KRO_SLOT_AT(to, 1);
KRO_SLOT_AT(width, 2);
KRO_SLOT_AT(height, 3);
KRO_SLOT_AT(outdata, 4);
KRO_SLOT_AT(directory, 5);
KRO_SLOT_AT(outfile, 6);
KRO_SLOT_AT(page, 7);
KRO_SLOT_AT(dpi, 8);
KRO_SLOT_AT(compression, 9);
KRO_SLOT_AT(scale, 10);
KRO_SLOT_AT(papertype, 11);
KRO_SLOT_AT(rotate, 12);
KRO_SLOT_AT(list, 13);
KRO_SLOT_AT(fn, 14);
KRO_SLOT_AT(mode, 15);
KRO_SLOT_AT(x, 16);
KRO_SLOT_AT(y, 17);
KRO_SLOT_AT(mergefile, 18);
KRO_SLOT_AT(colortype, 19);
KRO_SLOT_AT(gamma, 20);
KRO_SLOT_AT(quality, 21);
KRO_SLOT_AT(level, 22);
KRO_SLOT_AT(dithes, 23);
KRO_SLOT_AT(tileWidth, 24);
KRO_SLOT_AT(tileHeight, 25);
KRO_SLOT_AT(tileNumX, 26);
KRO_SLOT_AT(tileNumY, 27);
KRO_SLOT_AT(xreso, 28);
KRO_SLOT_AT(yreso, 29);
KRO_SLOT_AT(photo, 30);
KRO_SLOT_AT(color, 31);
KRO_SLOT_AT(stripLength, 32);
KRO_SLOT_AT(strip, 33);
KRO_SLOT_AT(fontsize, 34);
KRO_SLOT_AT(pen1, 35);
KRO_SLOT_AT(pen2, 36);
KRO_SLOT_AT(pen3, 37);
KRO_SLOT_AT(pen4, 38);
KRO_SLOT_AT(pen5, 39);
KRO_SLOT_AT(pen6, 40);
KRO_SLOT_AT(pen7, 41);
KRO_SLOT_AT(pen8, 42);
KRO_SLOT_AT(plot, 43);
KRO_SLOT_AT(defDpi, 44);
KRO_SLOT_AT(defXDpi, 45);
KRO_SLOT_AT(defYDpi, 46);
KRO_SLOT_AT(ignore, 47);
KRO_SLOT_AT(Italic, 48);
KRO_SLOT_AT(bold, 49);
KRO_SLOT_AT(physical, 50);
KRO_SLOT_AT(dithee, 51);
KRO_SLOT_AT(notify, 52);
KRO_SLOT_AT(center, 53);
KRO_SLOT_AT(batch, 54);
#undef KRO_SLOT_AT

// Value offsets follow the flag at their natural alignment.
static_assert(offsetof(KroRealSlot, value) == alignof(double));
static_assert(offsetof(KroTextSlot, value) == alignof(char*));
static_assert(offsetof(KroIntSlot, value) == 4);
static_assert(sizeof(KroSwitchSlot) == 4);

// The slot table names the record's members in the same order.
constexpr bool slotTableInRecordOrder() {
    for (size_t i = 0; i < kro::kOptionSlotCount; ++i) {
        Shape want = kShapes[i];
        const kro::OptionSlot& s = kro::kOptionSlots[i];
        Shape have = s.kind == kro::OptionKind::Real     ? Shape::Real
                     : s.kind == kro::OptionKind::Text   ? Shape::Text
                     : s.kind == kro::OptionKind::Switch ? Shape::Switch
                                                         : Shape::Integer;
        if (want != have) return false;
    }
    return true;
}
static_assert(slotTableInRecordOrder());

#if UINTPTR_MAX == 0xFFFFFFFFFFFFFFFFu
// The 64-bit layout spelled out.
static_assert(offsetof(KroOption, outdata) == 32);
static_assert(offsetof(KroOption, scale) == 104);
static_assert(offsetof(KroOption, pen1) == 344);
static_assert(offsetof(KroOption, ignore) == 504);
static_assert(offsetof(KroOption, Italic) == 520);
static_assert(offsetof(KroOption, batch) == 544);
static_assert(sizeof(KroOption) == 552);
#elif defined(_WIN32)
// Win32: 4-byte pointers, doubles on 8 bytes (the i386 System V ABI puts them
// on 4, so this block is for Windows alone).
static_assert(alignof(double) == 8);
static_assert(offsetof(KroOption, outdata) == 32);
static_assert(offsetof(KroOption, scale) == 80);
static_assert(offsetof(KroOption, pen1) == 296);
static_assert(offsetof(KroOption, ignore) == 456);
static_assert(offsetof(KroOption, Italic) == 464);
static_assert(offsetof(KroOption, batch) == 488);
static_assert(sizeof(KroOption) == 496);
#endif

}  // namespace

namespace kro {

void setDefaults(KroOption& record) {
    for (const OptionSlot& slot : kOptionSlots) {
        if (givenFlag(record, slot) == 1) continue;
        switch (slot.kind) {
            case OptionKind::Integer:
            case OptionKind::Keyword:
            case OptionKind::Colour:
                (record.*slot.integer).value = slot.intDefault;
                break;
            case OptionKind::Real:
                (record.*slot.real).value = slot.realDefault;
                break;
            case OptionKind::Text:
                (record.*slot.text).value = nullptr;
                break;
            case OptionKind::Switch:
                break;
        }
    }
}

}  // namespace kro

extern "C" {

KRO_API void kroInitOption(void) {
    kro::initOption(kroOption);
}

KRO_API int32_t kroSetDefault(void) {
    kro::setDefaults(kroOption);
    return 0;
}

}  // extern "C"
