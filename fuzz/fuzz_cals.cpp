// Fuzz target: a CALS file of arbitrary bytes goes through the header reader
// and, when the header passes, the picture reader, as kro does it.
// Bad samples: cals-*
// Max length: 8192
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "kro/kro.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* f = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (!f) return 0;
    CalsHeader h;
    fndErrorStatus = 0;
    const int32_t rc = KroGetCals(f, &h);
    if (rc != 0 && (rc != -1 || fndErrorStatus == 0)) std::abort();
    if (rc == 0) {
        const bool turned = h.pelPath == 90 || h.pelPath == 270;
        RsImage image{};
        image.width = ((turned ? h.numLines : h.pelsPerLine) + 7) / 8 * 8;
        image.height = turned ? h.pelsPerLine : h.numLines;
        image.depth = 1;
        image.format = KRO_FORMAT_RAW;
        image.size = image.width / 8 * image.height;
        // Keep the fuzzer's memory bounded: very large pages are skipped.
        if (image.size <= (64 << 20)) {
            image.data = static_cast<unsigned char*>(std::calloc(size_t(image.size) + 1, 1));
            if (!image.data) std::abort();
            fndErrorStatus = 0;
            const int32_t decoded = KroCalsToRsImage(f, &h, &image);
            if (decoded != 0 && (decoded != -1 || fndErrorStatus == 0)) std::abort();
            std::free(image.data);
        }
    }
    std::fclose(f);
    return 0;
}
