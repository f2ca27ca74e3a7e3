// Direct stroking of lines into 32-bit pixels, for image devices without
// antialiasing: the stroke Cairo would draw (pixel centres inside the stroke's
// outline are set), made of convex pieces filled row by row, many times faster.
#pragma once

#include <cstdint>
#include <vector>

#include "gdi_internal.h"

namespace krogdi {

struct Canvas {
    uint32_t* pixels;
    size_t stride;                     // in pixels
    int32_t left, top, right, bottom;  // the drawable part (clip), right and bottom excluded
    uint32_t colour;                   // 0xAARRGGBB
};

struct Vec {
    double x, y;
};

// Strokes the open polyline (device space, pixel centres at half units) with the pen.
void strokePolyline(const Canvas& canvas, const Pen& pen, const std::vector<Vec>& points);

}  // namespace krogdi
