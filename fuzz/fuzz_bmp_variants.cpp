// Fuzz target: kro's rewriting of the BMP variants that the library does not
// read (4-bit, RLE8, RLE4, top-down, 16 and 32 bits): any bytes give a verdict,
// and a rewritten file is one the library reads or refuses with a code.
// Sources: cli/bmp_variants.cpp
// Bad samples: bmp-*
// Max length: 65536
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "cli/bmp_variants.h"
#include "kro/kro.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* f = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (!f) return 0;
    std::vector<unsigned char> plain;
    const kro::cli::BmpVariant verdict = kro::cli::plainBmp(f, &plain);
    std::fclose(f);
    if (verdict != kro::cli::BmpVariant::Rewritten) return 0;
    FILE* copy = fmemopen(plain.data(), plain.size(), "rb");
    if (!copy) return 0;
    RsImage image{};
    int32_t photometric, resolution[2];
    unsigned char palette[KRO_PALETTE_SIZE];
    fndErrorStatus = 0;
    const int32_t rc = KroBMPToRsImage(copy, &image, &photometric, resolution, palette);
    std::fclose(copy);
    if (rc != 0 && (fndErrorStatus == 0 || image.data)) std::abort();
    std::free(image.data);
    return 0;
}
