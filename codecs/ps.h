// The PostScript writer's document and pages, as the exported calls and the
// tests use them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>

#include "kro/kro.h"

namespace kro {

// A document from its header to its trailer: pages begun, and the box that
// holds the largest of them, in points.
struct PsDocument {
    int32_t pageCount = 0;
    int32_t boundingBox[4] = {0, 0, 0, 0};
};

// Writes the header comments, dated now, and starts doc afresh. 0 or a status code.
int32_t psHeader(PsDocument* doc, FILE* stream, const char* creator, const char* title,
                 std::time_t now);

// Writes one page of the document; a page refused after its first lines
// still counts. 0 or a status code.
int32_t psPage(PsDocument* doc, FILE* stream, const RsImage* image,
               const unsigned char palette[768], int32_t photometric, int32_t xdpi, int32_t ydpi);

// Writes the trailer with the document's page count and bounding box.
int32_t psFooter(const PsDocument& doc, FILE* stream);

// What the exported calls take from outside: the clock of the creation date
// (std::time). Tests put a fixed one here so that whole documents compare.
struct PsSeams {
    std::time_t (*clock)(std::time_t*);
};
extern PsSeams psSeams;

// Packs count palette indices into groups: control 0-127 is a run of
// control + 1 copies of the next byte, control 128-255 a literal of
// control - 127 bytes. Writes at most 2 * count bytes to out; returns how many.
size_t psPackRow(const unsigned char* row, size_t count, unsigned char* out);

}  // namespace kro
