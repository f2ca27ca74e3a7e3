// Fuzz target: the band-at-a-time copy of BMP and PCX pictures into BMP,
// PCX and PostScript (and into gray BMP), on arbitrary bytes, must give a
// result and a code, never a crash, a leak, an out-of-bounds access or a
// hang (with two threads, too); and a picture it takes across must be one
// the whole-picture reader reads, of the same size.
// Bad samples: bmp-* pcx-*
// Max length: 65536
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "fuzz/scratch.h"
#include "kro/kro.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const int32_t from = data[0] == 'B' || data[0] == 'M' ? KRO_FILE_BMP : KRO_FILE_PCX;
    const int32_t jobs[][2] = {{KRO_FILE_BMP, -1},
                               {KRO_FILE_PCX, -1},
                               {KRO_FILE_PS, -1},
                               {KRO_FILE_BMP, KRO_COLORTYPE_GRAYSCALE}};
    for (const auto& job : jobs) {
        const int32_t to = job[0];
        FILE* in = fmemopen(const_cast<uint8_t*>(data), size, "rb");
        FILE* out = fuzzScratch();
        if (!in || !out) {
            if (in) std::fclose(in);
            if (out) std::fclose(out);
            return 0;
        }
        int32_t picture[3] = {0, 0, 0};
        if (KroStreamPicture(in, from, out, to, 300, job[1], picture) == 0) {
            std::rewind(in);
            RsImage image{};
            int32_t photometric, resolution[2];
            unsigned char palette[KRO_PALETTE_SIZE];
            const int32_t rc = from == KRO_FILE_BMP
                                   ? KroBMPToRsImage(in, &image, &photometric, resolution, palette)
                                   : KroPCXToRsImage(in, &image, &photometric, resolution, palette);
            if (rc != 0 || image.validWidth != picture[0] || image.height != picture[1] ||
                image.depth != picture[2])
                std::abort();
            std::free(image.data);
        }
        std::fclose(in);
        std::fclose(out);
    }
    return 0;
}
