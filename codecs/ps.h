// Parts of the PostScript writer that the tests reach.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>

namespace kro {

// Where KroPutPSHeader takes the creation date from (std::time). Tests put a
// fixed clock here so that whole documents can be compared.
using PsClock = std::time_t (*)(std::time_t*);
extern PsClock psClock;

// Packs count palette indices into groups: control 0-127 is a run of
// control + 1 copies of the next byte, control 128-255 a literal of
// control - 127 bytes. Writes at most 2 * count bytes to out; returns how many.
size_t psPackRow(const unsigned char* row, size_t count, unsigned char* out);

}  // namespace kro
