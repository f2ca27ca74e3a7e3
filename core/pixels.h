// Pixel kernels shared by the codecs.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kro {

// Copies count 3-byte pixels exchanging their first and third bytes (BGR <->
// RGB). dst may equal src; otherwise the two must not overlap.
void swapRB24(unsigned char* dst, const unsigned char* src, size_t count);

// Three plane lines of count bytes each into count RGB pixels, and back.
void interleave3(unsigned char* rgb, const unsigned char* r, const unsigned char* g,
                 const unsigned char* b, size_t count);
void deinterleave3(unsigned char* r, unsigned char* g, unsigned char* b, const unsigned char* rgb,
                   size_t count);

// malloc for buffers of pixels or plot text (freed with free); at least 1
// byte. The one rule for large buffers: whole huge pages for the whole 2 MiB
// pages the buffer fills.
unsigned char* allocPixels(uint64_t n);

}  // namespace kro
