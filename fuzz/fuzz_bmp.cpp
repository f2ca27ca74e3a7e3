// Fuzz target: the BMP reader on arbitrary bytes must give a result and a code,
// never a crash, a leak or an out-of-bounds access.
// Bad samples: bmp-*
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
    fndErrorStatus = 0;
    const int32_t rc = KroBMPToRsImage(f, &image, &photometric, resolution, palette);
    // A failure leaves its code and no buffer.
    if (rc != 0 && (rc != -1 || fndErrorStatus == 0 || image.data)) std::abort();
    if (rc == 0) {
        // Whatever was read must write back out.
        FILE* out = fuzzScratch();
        if (out) {
            if (KroRsImageToBMP(out, &image, 0, resolution[0], photometric, palette) != 0)
                std::abort();
            std::fclose(out);
        }
        std::free(image.data);
    }
    std::fclose(f);
    return 0;
}
