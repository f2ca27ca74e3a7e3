// The device a plot is drawn on: a Cairo device on Unix; a DIB section on a
// memory DC on Windows, where GDI32 draws and PNG, PDF and SVG are not made.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kro/gdi.h"

namespace kro::cli {

// Whether pages are Cairo's, which also make PNG, PDF and SVG.
#ifdef _WIN32
constexpr bool kCairoPages = false;
#else
constexpr bool kCairoPages = true;
#endif

// A white page of width x height dots; PDF and SVG pages write to path at
// finishPage. Null when it cannot be made.
HDC createPage(int32_t kind, int32_t width, int32_t height, int32_t dpi, const char* path,
               uint32_t flags);

// Ends a PDF page and begins the next of width x height dots. 0, or -1.
int32_t nextPage(HDC dc, int32_t width, int32_t height);

// Writes a PDF or SVG page's file. 0, or -1.
int32_t finishPage(HDC dc);

// The page's pixels as rows of rowBytes bytes: bilevel (depth 1; 1 = black,
// where the gray is below 128) or RGB (depth 24). 0, or -1.
int32_t readPageRows(HDC dc, int32_t depth, unsigned char* rows, size_t rowBytes);

// Whether anything on the page is neither black nor white: a page of the
// full look in colour.
bool pageHasColour(HDC dc);

// Frees the page.
void deletePage(HDC dc);

}  // namespace kro::cli
