// Option checks: contradictions between given options (before the defaults)
// and value ranges (after them).
#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <iterator>

#include "core/image.h"
#include "options/options.h"

namespace {

template <typename Slot>
bool given(const Slot& s) {
    return s.given == 1;
}

bool compressionFitsColorType(int32_t compression, int32_t colortype) {
    if (compression == KRO_COMPRESSION_JPEG &&
        (colortype == KRO_COLORTYPE_BILEVEL || colortype == KRO_COLORTYPE_PALETTE))
        return false;
    if ((compression == KRO_COMPRESSION_G3 || compression == KRO_COMPRESSION_G4) &&
        colortype != KRO_COLORTYPE_BILEVEL)
        return false;
    if (colortype == KRO_COLORTYPE_PALETTE && compression != KRO_COMPRESSION_NO &&
        compression != KRO_COMPRESSION_PACKBITS)
        return false;
    return true;
}

bool contradicts(const KroOption& o) {
    bool widthOrHeight = given(o.width) || given(o.height);
    bool tileSize = given(o.tileWidth) || given(o.tileHeight);
    bool tileCount = given(o.tileNumX) || given(o.tileNumY);
    bool strips = given(o.strip) || given(o.stripLength);
    const bool rules[] = {
        given(o.width) != given(o.height),
        given(o.papertype) && given(o.scale),
        widthOrHeight && given(o.scale),
        widthOrHeight && given(o.papertype),
        given(o.outdata) && given(o.outfile),
        (given(o.from) || given(o.to)) && given(o.page),
        given(o.outfile) && given(o.directory),
        given(o.list),  // parsed and stored, never accepted
        given(o.dithes) && given(o.dithee),
        tileSize && tileCount,
        given(o.colortype) && given(o.compression) &&
            !compressionFitsColorType(o.compression.value, o.colortype.value),
        given(o.xreso) && given(o.dpi),  // yreso with dpi passes: dpi wins later
        given(o.strip) && given(o.stripLength),
        strips && (tileSize || tileCount),
        given(o.defDpi) && (given(o.defXDpi) || given(o.defYDpi)),
    };
    return std::any_of(std::begin(rules), std::end(rules), [](bool r) { return r; });
}

// Written so that NaN falls outside every range.
bool within(double v, double low, double high) {
    return v >= low && v <= high;
}

bool outOfRange(const KroOption& o) {
    bool pensOut = false;
    for (const KroRealSlot* pen :
         {&o.pen1, &o.pen2, &o.pen3, &o.pen4, &o.pen5, &o.pen6, &o.pen7, &o.pen8})
        pensOut = pensOut || !within(pen->value, 0.0, 480.0);
    const bool conditions[] = {
        given(o.from) && given(o.to) && o.from.value > o.to.value,
        // An infinite scale is "above 0" but makes no size.
        !(o.scale.value > 0.0 && std::isfinite(o.scale.value)),
        o.width.value < 1 || o.height.value < 1,
        (given(o.from) && o.from.value < 1) || (given(o.to) && o.to.value < 1),
        o.page.value < 1,
        o.dpi.value < 1,
        o.x.value < 0 || o.y.value < 0,
        !within(o.gamma.value, 0.0, 9999.0),
        o.quality.value < 0 || o.quality.value > 100,
        given(o.level) && (o.level.value < 1 || o.level.value > 255),
        (given(o.tileWidth) || given(o.tileHeight)) &&
            (o.tileWidth.value % 16 != 0 || o.tileHeight.value % 16 != 0),
        o.xreso.value < 0 || o.yreso.value < 0,
        given(o.stripLength) && o.stripLength.value < 0,
        o.strip.value < 0,
        pensOut,
        o.plot.value < 0 || o.plot.value > 32 || o.plot.value == 23,
        o.defDpi.value < 1 || o.defXDpi.value < 1 || o.defYDpi.value < 1,
    };
    return std::any_of(std::begin(conditions), std::end(conditions), [](bool c) { return c; });
}

}  // namespace

namespace kro {

int32_t checkOption(const KroOption& record) {
    return contradicts(record) ? KRO_ERR_OPTION_CONFLICT : 0;
}

int32_t checkValue(const KroOption& record) {
    return outOfRange(record) ? KRO_ERR_OPTION_RANGE : 0;
}

}  // namespace kro

extern "C" {

KRO_API int32_t kroCheckOption(void) {
    const int32_t code = kro::checkOption(kroOption);
    return code ? kro::fail(code) : 0;
}

KRO_API int32_t kroCheckValue(void) {
    const int32_t code = kro::checkValue(kroOption);
    return code ? kro::fail(code) : 0;
}

}  // extern "C"
