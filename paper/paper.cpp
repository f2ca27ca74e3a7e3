// Paper queries: a paper type code to its size in millimetres or dots, and a
// size back to the paper that fits it.
#include "paper/paper.h"

#include <cmath>
#include <cstdint>
#include <iterator>

#include "core/image.h"
#include "paper/sizes.h"

namespace {

using kro::fail;
using kro::kPaperSizes;
using kro::PaperSize;

constexpr double kPerMillimetre = 0.03937007874015748;           // inches in a millimetre
constexpr double kPerMillimetrePercent = 0.0003937007874015748;  // the same, per hundred

// The side product is taken in 64 bits so a huge resolution cannot wrap; the
// results match 32-bit arithmetic wherever that does not overflow.
int64_t sideProduct(int32_t mm, int32_t dpi) {
    return int64_t(mm) * dpi;
}

// A side in dots rounded down to a multiple of 8.
int64_t sideDots(int32_t mm, int32_t dpi) {
    double eighths = double(sideProduct(mm, dpi)) * kPerMillimetre * 0.125;
    return 8 * int64_t(eighths);
}

// Bound of the dot range of a side: percent is 100 -/+ the tolerance.
int64_t dotBound(int32_t mm, int32_t dpi, int32_t percent) {
    return int64_t(double(sideProduct(mm, dpi)) * percent * kPerMillimetrePercent);
}

constexpr int32_t kLow = 100 - kro::kPaperTolerance;
constexpr int32_t kHigh = 100 + kro::kPaperTolerance;

bool dotsInRange(int32_t mm, int32_t dpi, int64_t dots) {
    return dotBound(mm, dpi, kLow) <= dots && dots <= dotBound(mm, dpi, kHigh);
}

// Millimetre bounds of a side, compared with the float sizes.
int32_t mmLow(int32_t mm) {
    return mm * kLow / 100;
}
int32_t mmHigh(int32_t mm) {
    return mm * kHigh / 100;
}

bool mmInRange(int32_t mm, float size) {
    return mmLow(mm) <= size && size <= mmHigh(mm);
}

int32_t clampToInt32(int64_t v) {
    return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : int32_t(v);
}

bool isSeriesAorB(int32_t base) {
    int32_t series = base >> 16 & 0xFF;
    return series == 1 || series == 2;
}

int32_t orientationOf(int64_t w, int64_t h) {
    return w >= h ? KRO_PAPER_LANDSCAPE : KRO_PAPER_PORTRAIT;
}

int32_t byLengthSmallest(float shortSide, float longSide, int32_t orientation) {
    // Paper 1: the smallest short limit that holds the short side. Half letter
    // and postcard stand for A5 and A6 here but keep their own long limits.
    int32_t base1 = 0, shortLimit1 = 0, longLimit1 = 0;
    for (const PaperSize* row = kPaperSizes; row->base != 0; ++row) {
        int32_t limit = mmHigh(row->shortSide);
        if (!(limit >= shortSide)) continue;
        if (base1 != 0 && limit >= shortLimit1) continue;
        base1 = row->base;
        shortLimit1 = limit;
        longLimit1 = mmHigh(row->longSide);
        if (base1 == kro::kPaperHalfLetter) {
            base1 = kro::kPaperA5;
            shortLimit1 = mmHigh(148);
        } else if (base1 == kro::kPaperPostcard) {
            base1 = kro::kPaperA6;
            shortLimit1 = mmHigh(105);
        }
    }
    if (base1 == 0) return 0;

    int32_t base2 = 0, longLimit2 = 0;
    for (const PaperSize* row = kPaperSizes; row->base != 0; ++row) {
        int32_t limit = mmHigh(row->longSide);
        if (!(limit >= longSide)) continue;
        if (base2 != 0 && limit >= longLimit2) continue;
        base2 = row->base;
        longLimit2 = limit;
    }
    if (base2 == 0) return base1 | KRO_PAPER_LONG | orientation;
    if (base1 == kro::kPaperA5 && base2 == kro::kPaperHalfLetter)
        return kro::kPaperHalfLetter | orientation;
    if (base1 == base2 || longSide <= longLimit1) return base1 | orientation;
    if (base1 == kro::kPaperLetter || base1 == kro::kPaperCard) return 0;
    return base1 | KRO_PAPER_LONG | orientation;
}

int32_t byLengthNearest(float shortSide, float longSide, int32_t orientation) {
    const PaperSize* paper1 = nullptr;
    for (const PaperSize* row = kPaperSizes; row->base != 0 && !paper1; ++row)
        if (mmInRange(row->shortSide, shortSide)) paper1 = row;
    if (!paper1) return 0;
    bool fitsLong = longSide >= mmLow(paper1->longSide);

    const PaperSize* paper2 = nullptr;
    for (const PaperSize* row = kPaperSizes; row->base != 0 && !paper2; ++row)
        if (mmInRange(row->longSide, longSide)) paper2 = row;
    if (!paper2) return fitsLong ? paper1->base | KRO_PAPER_LONG | orientation : 0;
    if (paper2 == paper1) return paper1->base | orientation;

    // Both sides may still fit one later row: look from the end of the table.
    const PaperSize* last = kPaperSizes + (std::size(kPaperSizes) - 2);
    for (const PaperSize* row = last; row >= kPaperSizes; --row)
        if (mmInRange(row->shortSide, shortSide) && mmInRange(row->longSide, longSide))
            return row->base | orientation;
    return fitsLong ? paper1->base | KRO_PAPER_LONG | orientation : 0;
}

}  // namespace

namespace kro {

int32_t paperDots(int32_t papertype, int32_t dpi, int32_t* width, int32_t* height) {
    const PaperSize* row = findPaperSize(papertype);
    if (!row || !(papertype & (KRO_PAPER_PORTRAIT | KRO_PAPER_LANDSCAPE))) return KRO_ERR_PAPER;
    const int32_t shortDots = clampToInt32(sideDots(row->shortSide, dpi));
    const int32_t longDots = clampToInt32(sideDots(row->longSide, dpi));
    // The portrait bit is tested first.
    const bool portrait = papertype & KRO_PAPER_PORTRAIT;
    *width = portrait ? shortDots : longDots;
    *height = portrait ? longDots : shortDots;
    return *width > KRO_MAX_SIDE || *height > KRO_MAX_SIDE ? KRO_ERR_PAPER_TOO_LARGE : 0;
}

int32_t paperByDots(int32_t width, int32_t height, int32_t dpi, int32_t* papertype) {
    const int32_t shortSide = width < height ? width : height;
    const int32_t longSide = width < height ? height : width;
    const int32_t orientation = orientationOf(width, height);

    const PaperSize* paper1 = nullptr;
    for (const PaperSize* row = kPaperSizes; row->base != 0 && !paper1; ++row)
        if (dotsInRange(row->shortSide, dpi, shortSide)) paper1 = row;
    if (!paper1) return KRO_ERR_PAPER;
    const int64_t minLong1 = dotBound(paper1->longSide, dpi, kLow);

    const PaperSize* paper2 = nullptr;
    for (const PaperSize* row = kPaperSizes; row->base != 0 && !paper2; ++row)
        if (dotsInRange(row->longSide, dpi, longSide)) paper2 = row;
    if (!paper2) {
        if (longSide < minLong1 || !isSeriesAorB(paper1->base)) return KRO_ERR_PAPER;
        *papertype = paper1->base | KRO_PAPER_LONG | orientation;
        return 0;
    }
    if (paper2 == paper1) {
        *papertype = paper1->base | orientation;
        return 0;
    }
    // The sides fall in different rows: the sheet whose computed dots come
    // within the tolerance of the other side wins.
    int32_t w = 0, h = 0;
    if (int32_t code = paperDots(paper1->base | KRO_PAPER_LANDSCAPE, dpi, &w, &h)) return code;
    const int64_t long1 = w;
    if (kLow * long1 / 100 <= longSide && longSide <= kHigh * long1 / 100) {
        *papertype = paper1->base | orientation;
        return 0;
    }
    if (int32_t code = paperDots(paper2->base | KRO_PAPER_PORTRAIT, dpi, &w, &h)) return code;
    const int64_t short2 = w;
    if (kLow * short2 / 100 <= shortSide && shortSide <= kHigh * short2 / 100) {
        *papertype = paper2->base | orientation;
        return 0;
    }
    return KRO_ERR_PAPER;
}

int32_t paperByLength(float width, float height, int32_t fit) {
    if (std::isnan(width) || std::isnan(height)) return 0;
    const float shortSide = width >= height ? height : width;
    const float longSide = width >= height ? width : height;
    const int32_t orientation = width >= height ? KRO_PAPER_LANDSCAPE : KRO_PAPER_PORTRAIT;
    return fit == 1 ? byLengthSmallest(shortSide, longSide, orientation)
                    : byLengthNearest(shortSide, longSide, orientation);
}

}  // namespace kro

extern "C" {

KRO_API int32_t KroQueryDotsByPapertype(int32_t papertype, int32_t dpi, int32_t* width,
                                        int32_t* height) {
    if (!width || !height) return fail(KRO_ERR_NULL);
    const int32_t code = kro::paperDots(papertype, dpi, width, height);
    return code ? fail(code) : 0;
}

KRO_API int32_t KroQueryLengthByPapertype(int32_t papertype, float* width, float* height) {
    if (!width || !height) return fail(KRO_ERR_NULL);
    const PaperSize* row = kro::findPaperSize(papertype);
    if (!row) return fail(KRO_ERR_PAPER);
    if (papertype & KRO_PAPER_PORTRAIT) {
        *width = float(row->shortSide);
        *height = float(row->longSide);
    } else if (papertype & KRO_PAPER_LANDSCAPE) {
        *width = float(row->longSide);
        *height = float(row->shortSide);
    } else {
        return fail(KRO_ERR_PAPER);
    }
    return 0;
}

KRO_API int32_t KroQueryPapertypeByDots(int32_t width, int32_t height, int32_t dpi) {
    if ((width < height ? height : width) > KRO_MAX_SIDE) return fail(KRO_ERR_PAPER_TOO_LARGE);
    int32_t papertype = 0;
    // A sheet that cannot be had is no failure here: 0, with the code stored.
    if (int32_t code = kro::paperByDots(width, height, dpi, &papertype)) fndErrorStatus = code;
    return papertype;
}

KRO_API int32_t KroQueryPapertypeByLength(float width, float height, int32_t fit) {
    const int32_t papertype = kro::paperByLength(width, height, fit);
    if (papertype == 0) fndErrorStatus = KRO_ERR_PAPER;
    return papertype;
}

}  // extern "C"
