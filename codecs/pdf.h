// The PDF writer's document and pages, as the exported calls and the tests
// use them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "kro/kro.h"

namespace kro {

// A document from its header to its trailer. Objects 1 to 3 (catalog, page
// tree, information) are written last; every other object in the order it
// is made. The stream is written front to back only, so bytes are counted
// as they go out: offsets[n - 1] is where object n starts.
struct PdfDocument {
    std::vector<uint64_t> offsets;
    std::vector<uint32_t> pages;  // object numbers of the page objects
    uint64_t written = 0;         // bytes of the document so far
    bool broken = false;          // a write failed: nothing more is written
    bool open = false;            // between header and trailer
};

// Writes the file header and information object's text, and starts doc afresh.
int32_t pdfHeader(PdfDocument* doc, FILE* stream, const char* creator, const char* title);

// One page of a raw picture: bilevel as Group 4, gray, palette and RGB as
// Flate. photometric as for the PostScript writer. 0 or a status code; a
// refused page writes nothing.
int32_t pdfImagePage(PdfDocument* doc, FILE* stream, const RsImage* image,
                     const unsigned char palette[768], int32_t photometric, int32_t xdpi,
                     int32_t ydpi);

// One page of Group 4 coded bytes of width x height pels, copied as they are.
// photometric 0: coded black is black; 1: the coded colours are swapped. The
// picture is turned counter-clockwise by angle, then mirrored left to right
// when mirrored is not 0; xdpi and ydpi are those of the turned page.
int32_t pdfG4Page(PdfDocument* doc, FILE* stream, const unsigned char* coded, size_t length,
                  int32_t width, int32_t height, int32_t photometric, int32_t angle,
                  int32_t mirrored, int32_t xdpi, int32_t ydpi);

// One page of a whole JPEG file, copied as it is. xdpi and ydpi count when
// the file states no density.
int32_t pdfJpegPage(PdfDocument* doc, FILE* stream, const unsigned char* data, size_t length,
                    int32_t xdpi, int32_t ydpi);

// The page tree, catalog, cross-reference table and trailer.
int32_t pdfFooter(PdfDocument* doc, FILE* stream);

// Whether Group 4 data ends in the end-of-facsimile-block code (two EOLs),
// perhaps followed by zero fill: then a coder finished it and it was not cut.
bool g4EndsWithEofb(const unsigned char* coded, size_t length);

}  // namespace kro
