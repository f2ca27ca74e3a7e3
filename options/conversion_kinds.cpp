// The options that each of the host's 24 conversion kinds accepts.
#include "core/image.h"
#include "options/options.h"

namespace {

using kro::slotSet;

constexpr uint64_t kRasterToPlot = slotSet({"width", "height", "outdata", "outfile", "dpi", "scale",
                                            "papertype", "rotate", "ignore", "center", "batch"});

// Indexed by kind - 1. batch is allowed everywhere, list nowhere.
constexpr uint64_t kAllowed[24] = {
    /* 1 */ kRasterToPlot,
    /* 2 */ kRasterToPlot | slotSet({"page", "defDpi"}),  // narrowed below
    /* 3 */
    slotSet({"width",  "height",    "outdata", "directory",   "outfile", "dpi",  "compression",
             "scale",  "papertype", "rotate",  "stripLength", "strip",   "pen1", "pen2",
             "pen3",   "pen4",      "pen5",    "pen6",        "pen7",    "pen8", "plot",
             "ignore", "physical",  "notify",  "center",      "batch"}),
    /* 4 */ kRasterToPlot,
    /* 5 */
    slotSet({"width", "height", "outdata", "outfile", "page", "dpi", "scale", "papertype", "rotate",
             "colortype", "gamma", "level", "dithes", "defDpi", "dithee", "batch"}),
    /* 6 */
    slotSet({"width", "height", "outdata", "outfile", "page", "dpi", "scale", "papertype", "rotate",
             "defDpi", "batch"}),
    /* 7 */
    slotSet({"width", "height", "outdata", "outfile", "page", "dpi", "scale", "papertype", "rotate",
             "colortype", "gamma", "quality", "level", "defDpi", "batch"}),
    /* 8 */
    slotSet({"from", "to", "width", "height", "outdata", "outfile", "page", "dpi", "scale",
             "papertype", "rotate", "defDpi", "batch"}),
    /* 9 */
    slotSet({"width", "height", "outdata", "outfile", "page", "dpi", "scale", "papertype", "rotate",
             "dithes", "defDpi", "dithee", "batch"}),
    /* 10 */
    slotSet({"width", "height", "outdata", "outfile", "page", "dpi", "scale", "papertype", "rotate",
             "defDpi", "batch"}),
    /* 11 */ slotSet({"outdata", "directory", "outfile", "batch"}),
    /* 12 */ slotSet({"from", "to", "outdata", "directory", "outfile", "page", "batch"}),
    /* 13 */ slotSet({"page", "mode", "x", "y", "mergefile", "batch"}),
    /* 14 */
    slotSet({"from",        "to",       "width",       "height",  "outdata",   "outfile",
             "page",        "dpi",      "compression", "scale",   "papertype", "rotate",
             "colortype",   "gamma",    "quality",     "level",   "dithes",    "tileWidth",
             "tileHeight",  "tileNumX", "tileNumY",    "xreso",   "yreso",     "photo",
             "stripLength", "strip",    "defDpi",      "defXDpi", "defYDpi",   "dithee",
             "batch"}),
    /* 15 */ slotSet({"directory", "batch"}),
    /* 16 */
    slotSet({"width",     "height", "outdata",   "outfile", "dpi",    "compression", "scale",
             "papertype", "rotate", "colortype", "gamma",   "level",  "dithes",      "stripLength",
             "strip",     "defDpi", "defXDpi",   "defYDpi", "dithee", "batch"}),
    /* 17 */
    slotSet({"width", "height", "outdata", "outfile", "dpi", "compression", "scale", "papertype",
             "rotate", "stripLength", "strip", "batch"}),
    /* 18 */
    slotSet({"width", "height", "outdata", "outfile", "dpi", "compression", "scale", "papertype",
             "rotate", "colortype", "gamma", "level", "dithes", "stripLength", "strip", "defDpi",
             "dithee", "batch"}),
    /* 19 */
    slotSet({"from", "to", "width", "height", "outdata", "outfile", "page", "dpi", "compression",
             "papertype", "rotate", "stripLength", "strip", "batch"}),
    /* 20 */
    slotSet({"outdata", "outfile", "dpi", "compression", "rotate", "fn", "stripLength", "strip",
             "fontsize", "Italic", "bold", "batch"}),
    /* 21 */
    slotSet({"width", "height", "outdata", "outfile", "dpi", "compression", "scale", "papertype",
             "rotate", "stripLength", "strip", "batch"}),
    /* 22 */ slotSet({"page", "mode", "x", "y", "mergefile", "color", "batch"}),
    /* 23 */
    slotSet({"width", "height", "outdata", "outfile", "page", "dpi", "scale", "papertype", "rotate",
             "colortype", "gamma", "level", "dithes", "defDpi", "dithee", "batch"}),
    /* 24 */
    slotSet({"width",       "height",    "outdata", "outfile",   "page",    "dpi",    "compression",
             "scale",       "papertype", "rotate",  "colortype", "gamma",   "level",  "dithes",
             "stripLength", "strip",     "defDpi",  "defXDpi",   "defYDpi", "dithee", "batch"}),
};

constexpr uint64_t kBatch = slotSet({"batch"});
constexpr uint64_t kList = slotSet({"list"});
static_assert([] {
    for (uint64_t set : kAllowed)
        if (!(set & kBatch) || (set & kList)) return false;
    return true;
}());

}  // namespace

namespace kro {

int32_t checkCOption(const KroOption& record, int32_t kind) {
    if (kind < 1 || kind > 24) return KRO_ERR_KIND;
    const uint64_t allowed = kAllowed[kind - 1];
    for (size_t i = 0; i < kOptionSlotCount; ++i) {
        const bool isGiven = givenFlag(record, kOptionSlots[i]) == 1;
        if (isGiven && !(allowed & uint64_t(1) << i)) return KRO_ERR_OPTION_NOT_ALLOWED;
    }
    // Kind 2 takes only the first page, and a default resolution only with it.
    if (kind == 2) {
        if (record.page.given == 1 ? record.page.value != 1 : record.defDpi.given == 1)
            return KRO_ERR_OPTION_NOT_ALLOWED;
    }
    return 0;
}

}  // namespace kro

extern "C" KRO_API int32_t KroCheckCOption(int32_t kind) {
    const int32_t code = kro::checkCOption(kroOption, kind);
    return code ? kro::fail(code) : 0;
}
