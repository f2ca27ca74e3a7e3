// The paper tables: sheet sizes in millimetres by base code, and the names of
// every paper type code. Header-only data, so a host linked to libkro.so can
// list them too.
#pragma once

#include <cstdint>
#include <cstring>

#include "kro/kro.h"

namespace kro {

inline constexpr int32_t kPaperOrientationMask = 0x000000FF;
// Clears the orientation and the long-paper bits, leaving series and size.
inline constexpr int32_t kPaperBaseMask = int32_t(0xF0FFFF00);

inline constexpr int32_t kPaperA5 = 0x00010500;
inline constexpr int32_t kPaperA6 = 0x00010600;
inline constexpr int32_t kPaperLetter = 0x00030100;
inline constexpr int32_t kPaperHalfLetter = 0x00030200;
inline constexpr int32_t kPaperPostcard = 0x00040100;
inline constexpr int32_t kPaperCard = 0x00050100;

// Searches by size take a paper within this many percent of a side.
inline constexpr int32_t kPaperTolerance = 5;

struct PaperSize {
    int32_t base;       // series << 16 | size << 8
    int32_t shortSide;  // millimetres
    int32_t longSide;
};

// Searched in order; the searches by size depend on it. Ends with a zero row.
inline constexpr PaperSize kPaperSizes[] = {
    {0x00010000, 841, 1189},  // A0
    {0x00010100, 594, 841},   // A1
    {0x00010200, 420, 594},   // A2
    {0x00010300, 297, 420},   // A3
    {0x00010400, 210, 297},   // A4
    {0x00010500, 148, 210},   // A5
    {0x00010600, 105, 148},   // A6
    {0x00020400, 257, 364},   // B4
    {0x00020500, 182, 257},   // B5
    {0x00020600, 128, 182},   // B6
    {0x00030100, 216, 280},   // letter
    {0x00030200, 140, 216},   // half letter
    {0x00040100, 100, 148},   // postcard
    {0x00050100, 55, 91},     // business card
    {0, 0, 0},
};

inline constexpr int kMaxPaperNames = 7;

struct PaperNames {
    int32_t code;
    const char* names[kMaxPaperNames + 1];  // ends with a null name
};

// A name belongs to the first row that holds it. The row with code 0 is never
// searched by name; the description strings write its first name for code 0.
// The table ends with the row of code -1.
inline constexpr PaperNames kPaperNames[] = {
    {0x00010010, {"A0V", "a0v", "a0portrait"}},
    {0x00010001, {"A0H", "A0", "a0h", "a0landscape", "a0"}},
    {0x01010010, {"A0VL", "a0vl"}},
    {0x01010001, {"A0HL", "A0L", "a0hl"}},
    {0x00010110, {"A1V", "a1v", "a1portrait"}},
    {0x00010101, {"A1H", "A1", "a1h", "a1landscape", "a1"}},
    {0x01010110, {"A1VL", "a1vl"}},
    {0x01010101, {"A1HL", "A1L", "a1hl"}},
    {0x00010210, {"A2V", "a2v", "a2portrait"}},
    {0x00010201, {"A2H", "A2", "a2h", "a2landscape", "a2"}},
    {0x01010210, {"A2VL", "a2vl"}},
    {0x01010201, {"A2HL", "A2L", "a2hl"}},
    {0x00010310, {"A3V", "a3v", "a3portrait"}},
    {0x00010301, {"A3H", "A3", "a3h", "a3landscape", "a3"}},
    {0x01010310, {"A3VL", "a3vl"}},
    {0x01010301, {"A3HL", "A3L", "a3hl"}},
    {0x00010410, {"A4V", "a4v", "a4portrait"}},
    {0x00010401, {"A4H", "A4", "a4h", "a4landscape", "a4"}},
    {0x01010410, {"A4VL", "a4vl"}},
    {0x01010401, {"A4HL", "A4L", "a4hl"}},
    {0x00010510, {"A5V", "a5v", "a5portrait"}},
    {0x00010501, {"A5H", "A5", "a5h", "a5landscape", "a5"}},
    {0x01010510, {"A5VL", "a5vl"}},
    {0x01010501, {"A5HL", "A5L", "a5hl"}},
    {0x00010610, {"A6V", "a6v", "a6portrait"}},
    {0x00010601, {"A6H", "A6", "a6h", "a6landscape", "a6"}},
    {0x01010610, {"A6VL", "a6vl"}},
    {0x01010601, {"A6HL", "A6L", "a6hl"}},
    {0x00020410, {"B4V", "b4v", "b4portrait"}},
    {0x00020401, {"B4H", "B4", "b4", "b4h", "b4landscape"}},
    {0x01020410, {"B4VL", "b4vl"}},
    {0x01020401, {"B4HL", "B4L", "b4hl"}},
    {0x00020510, {"B5V", "b5v", "b5portrait"}},
    {0x00020501, {"B5H", "B5", "b5", "b5h", "b5landscape"}},
    {0x01020510, {"B5VL", "b5vl"}},
    {0x01020501, {"B5HL", "B5L", "b5hl"}},
    {0x00020610, {"B6V", "b6v", "b6portrait"}},
    {0x00020601, {"B6H", "B6", "b6", "b6h", "b6landscape"}},
    {0x01020610, {"B6VL", "b6vl"}},
    {0x01020601, {"B6HL", "B6L", "b6hl"}},
    {0x00030110, {"LETV", "LET", "letter", "letterv"}},
    {0x00030101, {"LETH", "letterh"}},
    {0x00030210, {"HLEV", "HLE", "hletter", "halfletter", "hletterv", "halfletterv"}},
    {0x00030201, {"HLEH", "hletterh", "halfletterh"}},
    {0x00040110, {"POSTV", "POST", "post", "postv", "hagaki", "hagakiv"}},
    {0x00040101, {"POSTH", "posth", "hagakih"}},
    {0x00050110, {"CALLV", "CALL", "callv", "meishiv"}},
    {0x00050101, {"CALLH", "call", "callh", "meishi", "meishih"}},
    {0, {"NO", "No", "no"}},
    {-1, {}},
};

// The size row of a paper type code, whatever its orientation and long bits;
// null when there is none.
constexpr const PaperSize* findPaperSize(int32_t papertype) {
    for (const PaperSize* row = kPaperSizes; row->base != 0; ++row)
        if (row->base == (papertype & kPaperBaseMask)) return row;
    return nullptr;
}

// The code of the first row (before the code-0 row) that holds name; 0 when none.
inline int32_t findPaperName(const char* name) {
    if (!name) return 0;
    for (const PaperNames* row = kPaperNames; row->code != 0; ++row)
        for (const char* const* n = row->names; *n; ++n)
            if (std::strcmp(*n, name) == 0) return row->code;
    return 0;
}

// The first name of a code's row, including "NO" for code 0; null when none.
constexpr const char* paperFirstName(int32_t papertype) {
    for (const PaperNames* row = kPaperNames; row->code != -1; ++row)
        if (row->code == papertype) return row->names[0];
    return nullptr;
}

}  // namespace kro
