// Fuzz target: the JPEG reader on arbitrary bytes must give a result and a code,
// never a crash, a leak or an out-of-bounds access.
// Bad samples: jpeg-*
// Max length: 65536
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "fuzz/scratch.h"
#include "kro/kro.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* f = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (!f) return 0;
    RsImage image{};
    int32_t photometric, resolution[2];
    if (KroJPEGToRsImage(f, &image, &photometric, resolution) == 0) {
        // Whatever was read must write back out.
        FILE* out = fuzzScratch();
        if (out) {
            const int32_t none[2] = {-1, -1};
            if (KroRsImageToJPEG(out, &image, photometric, none, 75) != 0) std::abort();
            std::fclose(out);
        }
        std::free(image.data);
    }
    std::fclose(f);
    return 0;
}
