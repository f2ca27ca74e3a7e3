// The paper name table for hosts, a row at a time.
#include "paper/paper.h"

extern "C" KRO_API int32_t KroPaperNames(int32_t row, int32_t* papertype, const char** names,
                                         int32_t capacity) {
    // The rows before the one of code 0, which no name lookup searches.
    int32_t rows = 0;
    while (kro::kPaperNames[rows].code != 0) ++rows;
    if (row < 0 || row >= rows) return -1;
    const kro::PaperNames& r = kro::kPaperNames[row];
    if (papertype) *papertype = r.code;
    int32_t count = 0;
    for (; r.names[count]; ++count)
        if (names && count < capacity) names[count] = r.names[count];
    return count;
}
