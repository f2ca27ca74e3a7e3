// Fuzz target: kro's rewriting of the BMP and PCX variants that the library
// does not read: any bytes give a verdict, and a rewritten file is one the
// library reads or refuses with a code.
// Sources: cli/plain_bmp.cpp cli/plain_pcx.cpp
// Bad samples: bmp-* pcx-*
// Max length: 65536
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "cli/plain_copy.h"
#include "kro/kro.h"

using kro::cli::PlainCopy;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<unsigned char> file(data, data + size);
    const bool bmp = size > 0 && data[0] == 'B';
    std::vector<unsigned char> plain;
    const PlainCopy verdict =
        bmp ? kro::cli::plainBmp(file, &plain) : kro::cli::plainPcx(file, &plain);
    if (verdict != PlainCopy::Made) return 0;
    FILE* copy = fmemopen(plain.data(), plain.size(), "rb");
    if (!copy) return 0;
    RsImage image{};
    int32_t photometric, resolution[2];
    unsigned char palette[KRO_PALETTE_SIZE];
    fndErrorStatus = 0;
    const int32_t rc = bmp ? KroBMPToRsImage(copy, &image, &photometric, resolution, palette)
                           : KroPCXToRsImage(copy, &image, &photometric, resolution, palette);
    std::fclose(copy);
    if (rc != 0 && (fndErrorStatus == 0 || image.data)) std::abort();
    std::free(image.data);
    return 0;
}
