// Paper and page sizes on plain arguments: the options come in as a record,
// failures come back as status codes and nothing is stored. The exported
// queries and drawable-size functions wrap these with kroOption and
// fndErrorStatus.
#pragma once

#include <cstdint>

#include "kro/kro.h"

namespace kro {

// A paper type's sheet in dots at dpi, rounded down to whole bytes: 0, or the
// code of the refusal. The sizes are stored before the check against the
// largest side, so a sheet too large still reports them.
int32_t paperDots(int32_t papertype, int32_t dpi, int32_t* width, int32_t* height);

// The paper type of a sheet of these sides in dots at dpi; 0 or the code.
int32_t paperByDots(int32_t width, int32_t height, int32_t dpi, int32_t* papertype);

// The paper type that fits a size in millimetres (fit 1: the smallest that
// holds it, otherwise the nearest); 0 when none does.
int32_t paperByLength(float width, float height, int32_t fit);

// The page of a raster image in dots of the output resolution.
struct ImagePage {
    int32_t paperWidth, paperHeight;  // left as they were unless a paper lookup stored them
    int32_t resolution[2];
    int32_t drawWidth, drawHeight;
};

// The paper, the output resolution and the largest drawable size of the
// proportions of a width x height image at resolution, as record asks.
int32_t imagePage(const KroOption& record, int32_t width, int32_t height,
                  const int32_t resolution[2], ImagePage* page);

// The page of a plot in dots as record asks, fit as for paperByLength.
// *paperSearchMissed tells that a search by size found no paper and the
// plot's own size was taken.
int32_t plotPage(const KroOption& record, double widthMm, double heightMm, int32_t fit,
                 int32_t* width, int32_t* height, bool* paperSearchMissed);

}  // namespace kro
