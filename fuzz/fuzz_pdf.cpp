// Fuzz target: the PDF pages that take coded data as it is. The whole input
// is offered as a JPEG file; after the five bytes that fuzz_g4 reads as the
// line width and count (1 to 2048 each) and a fifth that turns and mirrors
// the page, the rest as Group 4 data. A page either goes in or is refused with a code, writing
// nothing, and the document still ends.
// Bad samples: g4-* jpeg-*
// Max length: 65536
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "fuzz/scratch.h"
#include "kro/kro.h"

namespace {

// Runs one page call: it must succeed, or fail with a code and write nothing.
template <class Page>
void page(FILE* out, Page call) {
    std::fflush(out);
    const long before = std::ftell(out);
    fndErrorStatus = 0;
    const int32_t rc = call();
    if (rc == 0) return;
    std::fflush(out);
    if (rc != -1 || fndErrorStatus == 0 || std::ftell(out) != before) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* out = fuzzScratch();
    if (!out) return 0;
    if (KroPutPDFHeader(out, nullptr, "fuzz") != 0) std::abort();
    page(out, [&] { return KroJPEGToPDF(out, data, size, 300, 300); });
    if (size > 5) {
        const int32_t pels = int32_t((data[0] | data[1] << 8) % 2048) + 1;
        const int32_t lines = int32_t((data[2] | data[3] << 8) % 2048) + 1;
        const int32_t angle = 90 * (data[4] % 4);
        page(out, [&] {
            return KroG4ToPDF(out, data + 5, size - 5, pels, lines, 0, angle, data[4] & 4, 200, 200);
        });
    }
    if (KroPutPDFFooter(out) != 0) std::abort();
    std::fclose(out);
    return 0;
}
