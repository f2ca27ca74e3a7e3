// PCX layouts that other programs write beside the plain ones: 2 to 4 planes
// of 1 bit and one plane of 2 or 4 bits (pictures of 4 to 16 colours, read as
// 8-bit palette pictures), and 4 planes of 8 bits (colour with alpha, laid on
// white).
#include <algorithm>
#include <cstring>

#include "codecs/variants.h"
#include "core/image.h"

namespace {

using kro::fail;

constexpr size_t kHeaderBytes = 128;
constexpr unsigned char kManufacturer = 10;
constexpr unsigned char kRunLength = 1;
// Two coded bytes stand for at most 63 decoded ones.
constexpr uint64_t kMostBytesPerCodedByte = 32;

// The colours of 16-colour files that carry no table of their own (version 3).
constexpr uint8_t kStandardColours[48] = {0,   0,  0,  0,   0,  170, 0,   170, 0,  0,   170, 170,
                                          170, 0,  0,  170, 0,  170, 170, 85,  0,  170, 170, 170,
                                          85,  85, 85, 85,  85, 255, 85,  255, 85, 85,  255, 255,
                                          255, 85, 85, 255, 85, 255, 255, 255, 85, 255, 255, 255};

// Expands the run-length coded stream into total bytes of plane lines. A
// count of 0 stands for no byte. False when the data ends first.
bool decode(const unsigned char* s, size_t n, unsigned char* out, size_t total) {
    size_t i = 0, o = 0;
    while (o < total) {
        if (i >= n) return false;
        unsigned char c = s[i++];
        size_t count = 1;
        if ((c & 0xC0) == 0xC0) {
            if (i >= n) return false;
            count = c & 0x3F;
            c = s[i++];
        }
        count = std::min(count, total - o);
        std::memset(out + o, c, count);
        o += count;
    }
    return true;
}

}  // namespace

extern "C" KRO_API int32_t KroPCXVariantToRsImage(FILE* stream, RsImage* image,
                                                  int32_t* photometric, int32_t resolution[2],
                                                  unsigned char palette[768]) {
    std::vector<unsigned char> file;
    if (int32_t code =
            kro::beginVariantRead(stream, image, photometric, resolution, palette, &file))
        return fail(code);

    if (file.size() < kHeaderBytes) return fail(KRO_ERR_IO);
    const unsigned char* h = file.data();
    if (h[0] != kManufacturer || h[2] != kRunLength) return fail(KRO_ERR_PCX_HEADER);
    const uint32_t bits = h[3], planes = h[65], lineBytes = kro::get16le(h + 66);
    const int32_t width = int32_t(kro::get16le(h + 8)) - int32_t(kro::get16le(h + 4)) + 1;
    const int32_t height = int32_t(kro::get16le(h + 10)) - int32_t(kro::get16le(h + 6)) + 1;
    const bool indexed =
        (bits == 1 && planes >= 2 && planes <= 4) || ((bits == 2 || bits == 4) && planes == 1);
    const bool alpha = bits == 8 && planes == 4;
    if (!indexed && !alpha) {
        const bool depthKnown = bits == 1 || bits == 2 || bits == 4 || bits == 8;
        return fail(depthKnown ? KRO_ERR_PCX_PLANES : KRO_ERR_DEPTH);
    }
    if (!kro::sideInRange(width) || !kro::sideInRange(height)) return fail(KRO_ERR_SIZE);
    if (uint64_t(lineBytes) * 8 < uint64_t(width) * bits) return fail(KRO_ERR_PCX_HEADER);

    const uint64_t scan = uint64_t(lineBytes) * planes, total = scan * uint64_t(height);
    const size_t available = file.size() - kHeaderBytes;
    if (total > kMostBytesPerCodedByte * available) return fail(KRO_ERR_IO);
    const int32_t depth = alpha ? 24 : 8;
    const uint64_t bytes = kro::pixelBytes(width, height, depth);
    if (bytes > uint64_t(INT32_MAX)) return fail(KRO_ERR_SIZE);
    kro::Buffer lines(kro::allocBytes(total));
    kro::Buffer pixels(kro::allocBytes(bytes));
    if (!lines || !pixels) return fail(KRO_ERR_NOMEM);
    if (!decode(h + kHeaderBytes, available, lines.get(), total)) return fail(KRO_ERR_IO);

    // Some writers keep an alpha plane of zeros: then it means nothing.
    bool alphaUsed = false;
    for (int32_t y = 0; alpha && y < height && !alphaUsed; ++y) {
        const unsigned char* a = lines.get() + size_t(y) * scan + 3 * size_t(lineBytes);
        alphaUsed = std::any_of(a, a + width, [](unsigned char v) { return v != 0; });
    }

    const size_t rowBytes = size_t(kro::rowBytes(width, depth));
    for (int32_t y = 0; y < height; ++y) {
        const unsigned char* in = lines.get() + size_t(y) * scan;
        unsigned char* o = pixels.get() + size_t(y) * rowBytes;
        if (alpha) {
            const unsigned char* a = in + 3 * size_t(lineBytes);
            for (uint32_t p = 0; p < 3; ++p) {
                const unsigned char* c = in + p * size_t(lineBytes);
                for (int32_t x = 0; x < width; ++x)
                    o[3 * size_t(x) + p] = alphaUsed ? kro::overWhite(c[x], a[x]) : c[x];
            }
        } else if (bits == 1) {
            // Plane p gives bit p of the index.
            for (int32_t x = 0; x < width; ++x) {
                uint32_t index = 0;
                for (uint32_t p = 0; p < planes; ++p)
                    index |= uint32_t(in[p * size_t(lineBytes) + size_t(x) / 8] >> (7 - x % 8) & 1)
                             << p;
                o[x] = uint8_t(index);
            }
        } else {
            for (int32_t x = 0; x < width; ++x) {
                const size_t bit = size_t(x) * bits;
                o[x] = uint8_t(in[bit / 8] >> (8 - bits - bit % 8) & ((1u << bits) - 1));
            }
        }
    }

    if (indexed) {
        // The header's 16 colours; files of version 3 rely on the standard ones.
        const unsigned char* colours = h[1] == 3 ? kStandardColours : h + 16;
        std::memset(palette, 0, KRO_PALETTE_SIZE);
        for (int i = 0; i < 16; ++i) {
            palette[i] = colours[3 * i];
            palette[256 + i] = colours[3 * i + 1];
            palette[512 + i] = colours[3 * i + 2];
        }
    }
    kro::handOverPicture(image, width, height, depth, bytes,
                         pixels.release(), width, height);
    resolution[0] = int16_t(kro::get16le(h + 12));
    resolution[1] = int16_t(kro::get16le(h + 14));
    *photometric = kro::photometricFromPalette(depth, palette, 256);
    return 0;
}
