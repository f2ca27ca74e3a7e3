// Fuzz target: the readers of the BMP and PCX layouts that other programs
// write, and the names of the variants: any bytes give a picture whose fields
// agree with its buffer, or -1 with a code and no buffer.
// Bad samples: bmp-* pcx-* jpeg-*
// Max length: 65536
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "kro/kro.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* f = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (!f) return 0;
    char name[64];
    const int32_t length = KroDescribeVariant(f, name, sizeof name);
    if (length < 0 || std::strlen(name) != size_t(length < 64 ? length : 63)) std::abort();
    std::rewind(f);
    RsImage image{};
    int32_t photometric, resolution[2];
    unsigned char palette[KRO_PALETTE_SIZE];
    fndErrorStatus = 0;
    const int32_t rc = size > 0 && data[0] == 'B'
                           ? KroBMPVariantToRsImage(f, &image, &photometric, resolution, palette)
                           : KroPCXVariantToRsImage(f, &image, &photometric, resolution, palette);
    std::fclose(f);
    if (rc != 0) {
        if (fndErrorStatus == 0 || image.data) std::abort();
        return 0;
    }
    const int64_t row =
        image.depth == 1 ? image.width / 8 : int64_t(image.width) * (image.depth / 8);
    if (!image.data || image.size != row * image.height || image.validWidth > image.width ||
        photometric < 0 || photometric > 3)
        std::abort();
    // A buffer smaller than its size shows under the address sanitizer.
    volatile unsigned sum = 0;
    for (int32_t i = 0; i < image.size; ++i) sum = sum + image.data[i];
    std::free(image.data);
    return 0;
}
