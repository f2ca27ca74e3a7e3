// Fuzz target: the PCX reader on arbitrary bytes must give a result and a code,
// never a crash, a leak or an out-of-bounds access.
// Bad samples: pcx-*
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
    unsigned char palette[KRO_PALETTE_SIZE];
    if (KroPCXToRsImage(f, &image, &photometric, resolution, palette) == 0) {
        // Whatever was read must write back out, at a resolution the writer takes.
        FILE* out = fuzzScratch();
        if (out) {
            const int32_t res[2] = {300, 300};
            if (image.width <= 32764 || image.depth == 1) {
                if (KroRsImageToPCX(out, &image, photometric, res, palette) != 0) std::abort();
            }
            std::fclose(out);
        }
        std::free(image.data);
    }
    std::fclose(f);
    return 0;
}
