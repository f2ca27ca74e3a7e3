// Parts of the CALS codec that the tests reach.
#pragma once

#include <cstdint>
#include <cstdio>

#include "kro/kro.h"

namespace kro {

// What the CALS writer takes from outside: the Group 4 encoder (GfxEncd).
// Tests put a wrapper here to watch the capacity it is offered or to make it
// refuse.
struct CalsSeams {
    int32_t (*encode)(const RsImage* src, int32_t x, int32_t y, int32_t pels, int32_t lines,
                      RsImage* coded, int32_t scheme, int32_t* status);
};
extern CalsSeams calsSeams;

// The most bytes a Group 4 coding of pels x lines can take: at most 7 bits a
// pel (VR3 or VL3 for every pel), 14 more a line (a line that starts black),
// and the end-of-block code, rounded up generously.
inline uint64_t g4WorstCaseBytes(int32_t pels, int32_t lines) {
    return uint64_t(pels) * uint64_t(lines) + 2 * uint64_t(lines) + 4;
}

class Buffer;

// Codes pels x lines of source with Group 4 (encode: GfxEncd, or a test's
// stand-in), offering the coder at once a buffer that holds any coding, so a
// page is coded once; only the pages of it the coding fills are touched.
// 0 with *coded holding *length bytes; KRO_ERR_NOMEM when there is no such
// buffer; KRO_ERR_G4_ENCODE when the coder fails (*gfxStatus says why) or
// claims more than it was given.
int32_t encodeG4(int32_t (*encode)(const RsImage*, int32_t, int32_t, int32_t, int32_t, RsImage*,
                                   int32_t, int32_t*),
                 const RsImage& source, int32_t pels, int32_t lines, Buffer* coded, size_t* length,
                 int32_t* gfxStatus);

// The checks that open the reader and the writer and close KroGetCals.
bool calsHeaderValid(const CalsHeader& h);

// The eleven records and the blank trailer up to the coded data, as the
// writer puts them: 0, or KRO_ERR_CALS_WRITE.
int32_t writeCalsHeader(FILE* stream, const CalsHeader& h);

// Where the coded data starts.
constexpr long kCalsPictureOffset = 2048;

}  // namespace kro
