// The raster image record, its byte swaps and helpers shared by the readers.
#include "core/image.h"

#include <cstddef>
#include <utility>

#include "core/palette.h"

static_assert(sizeof(int32_t) == 4);
static_assert(offsetof(RsImage, width) == 0);
static_assert(offsetof(RsImage, height) == 4);
static_assert(offsetof(RsImage, size) == 8);
static_assert(offsetof(RsImage, format) == 12);
static_assert(offsetof(RsImage, depth) == 16);
static_assert(offsetof(RsImage, data) == (sizeof(void*) == 8 ? 24 : 20));
static_assert(offsetof(RsImage, reserved1) == offsetof(RsImage, data) + sizeof(void*));
static_assert(offsetof(RsImage, reserved2) == offsetof(RsImage, reserved1) + 4);
static_assert(offsetof(RsImage, validWidth) == offsetof(RsImage, reserved2) + 4);
static_assert(offsetof(RsImage, validHeight) == offsetof(RsImage, validWidth) + 4);
static_assert(offsetof(RsImage, codedLength) == offsetof(RsImage, validHeight) + 4);
#if UINTPTR_MAX == 0xFFFFFFFFu
// Win32: eleven 32-bit words, as a host built for the design's layout reads them.
static_assert(offsetof(RsImage, data) == 20 && offsetof(RsImage, validWidth) == 32);
static_assert(sizeof(RsImage) == 44);
#else
static_assert(sizeof(RsImage) == 56);
#endif

extern "C" {

KRO_API void KroSwabShort(void* twoBytes) {
    auto* b = static_cast<unsigned char*>(twoBytes);
    std::swap(b[0], b[1]);
}

KRO_API void KroSwabLong(void* fourBytes) {
    auto* b = static_cast<unsigned char*>(fourBytes);
    std::swap(b[0], b[3]);
    std::swap(b[1], b[2]);
}
}

namespace kro {

int64_t streamLength(FILE* stream) {
    long here = std::ftell(stream);
    if (here < 0) return -1;
    if (std::fseek(stream, 0, SEEK_END) != 0) return -1;
    long end = std::ftell(stream);
    if (std::fseek(stream, here, SEEK_SET) != 0) return -1;
    return end;
}

int32_t photometricFromPalette(int32_t depth, const unsigned char* palette, int32_t colours) {
    if (depth == 24) return KRO_PHOTO_RGB;
    const ConstPalette p(palette);
    if (depth == 8) {
        for (int32_t i = 0; i < colours && i < 256; ++i)
            if (!isGray(p, i)) return KRO_PHOTO_PALETTE;
    }
    return p.red[0] == 0 ? KRO_PHOTO_BLACK_IS_ZERO : KRO_PHOTO_WHITE_IS_ZERO;
}

}  // namespace kro
