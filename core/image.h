// Internal helpers shared by the codecs and transforms: status reporting,
// checked size arithmetic and the raster row geometry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "kro/kro.h"

namespace kro {

// Stores a status code and gives the failure result, so an entry point's
// check reads `return fail(KRO_ERR_SIZE);`. The functions below the entry
// points return their codes instead.
inline int32_t fail(int32_t code) {
    fndErrorStatus = code;
    return -1;
}

// What an entry point gives for the status of its work: 0, or -1 with the
// code stored. Only entry points store codes; the work returns them.
inline int32_t report(int32_t code) { return code ? fail(code) : 0; }

// Checked arithmetic: false when the result does not fit.
inline bool checkedMul(uint64_t a, uint64_t b, uint64_t* out) {
    return !__builtin_mul_overflow(a, b, out);
}
inline bool checkedAdd(uint64_t a, uint64_t b, uint64_t* out) {
    return !__builtin_add_overflow(a, b, out);
}

inline bool sideInRange(int64_t side) { return side >= 1 && side <= KRO_MAX_SIDE; }

// Bytes of one stored row of a raw image.
inline uint64_t rowBytes(int32_t width, int32_t depth) {
    return depth == 1 ? uint64_t(width) / 8 : uint64_t(width) * uint64_t(depth / 8);
}

// Bytes of pixel data, depth * width * height / 8, computed wide.
inline uint64_t pixelBytes(int32_t width, int32_t height, int32_t depth) {
    return uint64_t(depth) * uint64_t(width) * uint64_t(height) / 8;
}

// Whether size covers every stored row (computed wide, so no overflow). A
// CALS host may leave size 0 for "as many bytes as the rows": zeroIsRows.
inline bool sizeCoversRows(const RsImage& im, bool zeroIsRows = false) {
    if (zeroIsRows && im.size == 0) return true;
    return im.size >= 0 && rowBytes(im.width, im.depth) * uint64_t(im.height) <= uint64_t(im.size);
}

// The one check of a raw image that a function reads or fills, in this
// order: pointers, sides, depth (1 only when bilevelOnly), format, size. 0,
// or the code to store. Entry points whose checks run in another order call
// sizeCoversRows after their own.
inline int32_t rawImageProblem(const RsImage* im, bool bilevelOnly = false,
                               bool zeroIsRows = false) {
    if (!im || !im->data) return KRO_ERR_NULL;
    if (!sideInRange(im->width) || !sideInRange(im->height)) return KRO_ERR_SIZE;
    const bool depthOk =
        bilevelOnly ? im->depth == 1 : im->depth == 1 || im->depth == 8 || im->depth == 24;
    if (!depthOk) return KRO_ERR_DEPTH;
    if (im->format != KRO_FORMAT_RAW) return KRO_ERR_FORMAT;
    if (!sizeCoversRows(*im, zeroIsRows)) return KRO_ERR_SIZE;
    return 0;
}

// The columns and rows a writer stores: the picture's own sides when they
// lie within the stored ones, which are not trusted otherwise.
inline int32_t shownWidth(const RsImage& im) {
    return im.validWidth >= 1 && im.validWidth <= im.width ? im.validWidth : im.width;
}
inline int32_t shownHeight(const RsImage& im) {
    return im.validHeight >= 1 && im.validHeight <= im.height ? im.validHeight : im.height;
}

// Whether photometric describes pixels of depth (bilevel 0 or 1; 8 bits 0,
// 1 or a palette; 24 bits RGB) and a palette picture comes with its palette.
inline int32_t photometricProblem(int32_t depth, int32_t photometric,
                                  const unsigned char* palette) {
    const bool fits = depth == 1   ? photometric == 0 || photometric == 1
                      : depth == 8 ? photometric == 0 || photometric == 1 || photometric == 3
                                   : photometric == KRO_PHOTO_RGB;
    if (!fits) return KRO_ERR_PHOTOMETRIC;
    return photometric == KRO_PHOTO_PALETTE && !palette ? KRO_ERR_NULL : 0;
}

// Fills a reader's image with a finished raw picture: rows stored width wide
// (bytes in all), the picture's own sides validWidth x validHeight.
inline void handOverPicture(RsImage* image, int32_t width, int32_t height, int32_t depth,
                            uint64_t bytes, unsigned char* data, int32_t validWidth,
                            int32_t validHeight) {
    image->width = width;
    image->height = height;
    image->size = int32_t(bytes);
    image->format = KRO_FORMAT_RAW;
    image->depth = depth;
    image->data = data;
    image->validWidth = validWidth;
    image->validHeight = validHeight;
}

// malloc that never asks for 0 bytes, so an empty picture still owns a buffer.
inline unsigned char* allocBytes(uint64_t n) {
    if (n > SIZE_MAX) return nullptr;
    return static_cast<unsigned char*>(std::malloc(n ? size_t(n) : 1));
}
inline unsigned char* allocZeroed(uint64_t n) {
    if (n > SIZE_MAX) return nullptr;
    return static_cast<unsigned char*>(std::calloc(n ? size_t(n) : 1, 1));
}

// Owns a malloc'd buffer until released; frees it on every early return.
class Buffer {
public:
    explicit Buffer(unsigned char* p = nullptr) : p_(p) {}
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;
    ~Buffer() { std::free(p_); }
    unsigned char* get() const { return p_; }
    unsigned char* release() {
        unsigned char* p = p_;
        p_ = nullptr;
        return p;
    }
    void reset(unsigned char* p = nullptr) {
        std::free(p_);
        p_ = p;
    }
    explicit operator bool() const { return p_ != nullptr; }

private:
    unsigned char* p_;
};

// Little-endian field helpers for the on-disk headers.
inline uint16_t get16le(const unsigned char* p) { return uint16_t(p[0] | p[1] << 8); }
inline uint32_t get32le(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline void put16le(unsigned char* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
inline void put32le(unsigned char* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

// Length of a seekable stream, keeping its position; -1 when it cannot tell.
int64_t streamLength(FILE* stream);

// Photometric value of a picture read with the given palette.
int32_t photometricFromPalette(int32_t depth, const unsigned char* palette, int32_t colours);

}  // namespace kro
