// What the readers of the BMP and PCX layouts that other programs write share.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

namespace kro {

// These readers take the file whole from the stream's position: their
// compressed data says nothing of its length, and the bounds on what a byte
// may stand for need the length before the picture is allocated.
constexpr size_t kLargestVariantFile = size_t(1) << 31;

// Reads the rest of the stream: 0, KRO_ERR_SIZE when it holds more than
// kLargestVariantFile bytes, or KRO_ERR_IO when a read fails.
int32_t readRest(FILE* stream, std::vector<unsigned char>* bytes);

// A colour component laid on white at opacity alpha (0 to 255).
inline uint8_t overWhite(uint32_t component, uint32_t alpha) {
    return uint8_t((component * alpha + 255 * (255 - alpha) + 127) / 255);
}

}  // namespace kro
