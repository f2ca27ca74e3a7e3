// Fuzz target: the TIFF reader, the page count and the Group 4 copy into CALS
// on arbitrary bytes must give a result and a code, never a crash, a leak, an
// out-of-bounds access or an endless walk of the pages.
// Bad samples: tiff-*
// Max length: 65536
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fuzz/scratch.h"
#include "kro/kro.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* f = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (!f) return 0;
    int32_t pages = 0, compression = 0;
    KroTIFFInfo(f, 0, &pages, &compression);
    for (int32_t page = 0; page < 2; ++page) {
        RsImage image{};
        int32_t photometric, resolution[2];
        unsigned char palette[768];
        if (KroTIFFToRsImage(f, page, &image, &photometric, resolution, palette) != 0) continue;
        // Whatever was read must write back out.
        if (FILE* out = fuzzScratch()) {
            if (KroRsImageToTIFF(out, &image, photometric, palette, resolution, 0) != 0)
                std::abort();
            std::fclose(out);
        }
        std::free(image.data);
    }
    if (FILE* cals = fuzzScratch()) {
        CalsHeader header;
        std::memset(&header, 0, sizeof header);
        header.rdensity = 200;
        KroTIFFToCals(f, 0, &header, cals);
        std::fclose(cals);
    }
    std::fclose(f);
    return 0;
}
