// Fuzz target: a BMP or CALS file that reads must survive every lossless
// writer: written as BMP (and as CALS when bilevel), read back, it must give
// the same pixels.
// Bad samples: bmp-* cals-*
// Max length: 16384
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "kro/kro.h"

namespace {

// Pictures above this are skipped, so coding them stays quick.
constexpr uint64_t kMostBytes = 4u << 20;

struct Picture {
    RsImage im{};
    int32_t photometric = 0;
    int32_t resolution[2] = {0, 0};
    unsigned char palette[KRO_PALETTE_SIZE] = {};
    Picture() = default;
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;
    ~Picture() { std::free(im.data); }
    // The picture's own width: pixels past it are padding.
    int32_t width() const {
        return im.validWidth >= 1 && im.validWidth <= im.width ? im.validWidth : im.width;
    }
};

// A memory stream's bytes, kept until the stream and the bytes go.
struct Written {
    char* bytes = nullptr;
    size_t size = 0;
#ifdef _WIN32
    // No memory streams: a temporary file, read back whole when writing ends.
    FILE* f = scratchFile();
    Written() = default;
    Written(const Written&) = delete;
    Written& operator=(const Written&) = delete;
    ~Written() {
        if (f) std::fclose(f);
        std::free(bytes);
    }
    FILE* reader() {
        if (!f || std::fflush(f) != 0) std::abort();
        const long n = std::ftell(f);
        if (n < 0) std::abort();
        size = size_t(n);
        bytes = static_cast<char*>(std::malloc(size ? size : 1));
        std::rewind(f);
        if (!bytes || std::fread(bytes, 1, size, f) != size) std::abort();
        std::fclose(f);
        f = nullptr;
        return size ? fmemopen(bytes, size, "rb") : nullptr;
    }
};
#else
    FILE* f = open_memstream(&bytes, &size);
    Written() = default;
    Written(const Written&) = delete;
    Written& operator=(const Written&) = delete;
    ~Written() {
        if (f) std::fclose(f);
        std::free(bytes);
    }
    // Ends the writing; a stream for reading the bytes back, or null.
    FILE* reader() {
        if (!f || std::fclose(f) != 0) std::abort();
        f = nullptr;
        return size ? fmemopen(bytes, size, "rb") : nullptr;
    }
};
#endif

bool readBmp(FILE* f, Picture* p) {
    return KroBMPToRsImage(f, &p->im, &p->photometric, p->resolution, p->palette) == 0;
}

// Header and picture of a CALS file, the picture upright.
bool readCals(FILE* f, Picture* p) {
    CalsHeader h;
    if (KroGetCals(f, &h) != 0) return false;
    const bool turned = h.pelPath == 90 || h.pelPath == 270;
    RsImage& im = p->im;
    im.width = ((turned ? h.numLines : h.pelsPerLine) + 7) / 8 * 8;
    im.height = turned ? h.pelsPerLine : h.numLines;
    im.depth = 1;
    im.format = KRO_FORMAT_RAW;
    if (uint64_t(im.width) / 8 * uint64_t(im.height) > kMostBytes) return false;
    im.size = im.width / 8 * im.height;
    im.data = static_cast<unsigned char*>(std::calloc(size_t(im.size), 1));
    if (!im.data) std::abort();
    if (KroCalsToRsImage(f, &h, &im) != 0) return false;
    p->photometric = KRO_PHOTO_WHITE_IS_ZERO;
    p->resolution[0] = p->resolution[1] = int32_t(h.rdensity);
    return true;
}

uint8_t bitAt(const RsImage& im, int32_t x, int32_t y) {
    return im.data[size_t(y) * size_t(im.width / 8) + size_t(x / 8)] & (0x80 >> (x % 8));
}

// The same sides, depth and pixels within the picture's own width.
void expectSame(const Picture& a, const Picture& b) {
    if (a.width() != b.width() || a.im.height != b.im.height || a.im.depth != b.im.depth)
        std::abort();
    const int32_t w = a.width();
    for (int32_t y = 0; y < a.im.height; ++y) {
        if (a.im.depth == 1) {
            for (int32_t x = 0; x < w; ++x)
                if (bool(bitAt(a.im, x, y)) != bool(bitAt(b.im, x, y))) std::abort();
            continue;
        }
        const size_t bytes = size_t(w) * size_t(a.im.depth / 8);
        const size_t stride = size_t(a.im.width) * size_t(a.im.depth / 8);
        if (std::memcmp(a.im.data + size_t(y) * stride, b.im.data + size_t(y) * stride, bytes))
            std::abort();
    }
}

void throughBmp(Picture& first) {
    Written out;
    if (!out.f) std::abort();
    unsigned char palette[KRO_PALETTE_SIZE];
    std::memcpy(palette, first.palette, sizeof palette);
    const int32_t photometric = first.im.depth == 1 ? KRO_PHOTO_WHITE_IS_ZERO : first.photometric;
    if (KroRsImageToBMP(out.f, &first.im, 0, 300, photometric, palette) != 0) std::abort();
    FILE* in = out.reader();
    Picture second;
    if (!in || !readBmp(in, &second)) std::abort();
    std::fclose(in);
    expectSame(first, second);
}

void throughCals(Picture& first) {
    CalsHeader h{};
    h.rtype = 1;
    h.pelPath = 0;
    h.lineProgression = 270;
    h.pelsPerLine = first.width();
    h.numLines = first.im.height;
    h.rdensity = 300;
    Written out;
    if (!out.f) std::abort();
    if (KroRsImageToCals(out.f, &h, &first.im) != 0) std::abort();
    FILE* in = out.reader();
    Picture second;
    if (!in || !readCals(in, &second)) std::abort();
    std::fclose(in);
    expectSame(first, second);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    FILE* f = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (!f) return 0;
    Picture picture;
    const bool bmp = (data[0] == 'B' && data[1] == 'M') || (data[0] == 'M' && data[1] == 'B');
    const bool read = bmp ? readBmp(f, &picture) : readCals(f, &picture);
    std::fclose(f);
    if (!read || uint64_t(picture.im.size) > kMostBytes) return 0;
    throughBmp(picture);
    if (picture.im.depth == 1) throughCals(picture);
    return 0;
}
