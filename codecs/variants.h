// What the readers of the BMP and PCX layouts that other programs write share.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "kro/kro.h"

namespace kro {

// These readers take the file whole from the stream's position: their
// compressed data says nothing of its length, and the bounds on what a byte
// may stand for need the length before the picture is allocated.
constexpr size_t kLargestVariantFile = size_t(1) << 31;

// Reads the rest of the stream: 0, KRO_ERR_SIZE when it holds more than
// kLargestVariantFile bytes, or KRO_ERR_IO when a read fails.
int32_t readRest(FILE* stream, std::vector<unsigned char>* bytes);

// The start both readers share: their arguments checked (photometric cleared
// first) and the file read whole. 0, or the status code.
int32_t beginVariantRead(FILE* stream, const RsImage* image, int32_t* photometric,
                         const int32_t* resolution, const unsigned char* palette,
                         std::vector<unsigned char>* file);

// A colour component laid on white at opacity alpha (0 to 255).
inline uint8_t overWhite(uint32_t component, uint32_t alpha) {
    return uint8_t((component * alpha + 255 * (255 - alpha) + 127) / 255);
}

}  // namespace kro
