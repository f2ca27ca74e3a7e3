// Parts of the JPEG codec that the PDF writer reaches.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kro {

// What a JPEG file's header says, as far as a page needs it.
struct JpegFacts {
    int32_t width = 0, height = 0;
    int32_t components = 0;      // 1, 3 or 4
    bool adobeInverted = false;  // CMYK written inverted, as Adobe's encoders do
    int32_t dpi[2] = {-1, -1};   // -1: the file states none
};

// Checks that a whole JPEG file in memory is one a PDF viewer can draw as it
// is: 8-bit, Huffman-coded, gray, colour or CMYK, its data decoding in full
// up to its end-of-image marker (decoded at an eighth of its size). 0 with
// the header's facts; KRO_ERR_JPEG_DECODE otherwise, KRO_ERR_SIZE for sides
// beyond KRO_MAX_SIDE, KRO_ERR_NOMEM.
int32_t jpegFacts(const unsigned char* data, size_t length, JpegFacts* facts);

}  // namespace kro
