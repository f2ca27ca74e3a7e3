// The colour-type conversion on plain arguments: the options and the
// allocator come in a context, failures come back as status codes.
#pragma once

#include <cstdint>

#include "kro/kro.h"

namespace kro {

// Where the conversion takes its pixel buffers from. The one seam of the
// module: tests count the buffers here to prove every failure gives back
// what it took.
struct ConvImageMemory {
    unsigned char* (*allocate)(uint64_t bytes, bool zeroed);  // null when memory is short
    void (*release)(void* block);
};

// malloc and free.
ConvImageMemory heapMemory();

struct ConvImageContext {
    const KroOption& options;  // colortype, gamma, level, dithes, dithee
    ConvImageMemory memory = heapMemory();
};

// KroConvImage with its options and allocator given: 0, or the status code
// of the failure (nothing is stored). The result's buffer comes from
// context.memory.
int32_t convImage(const ConvImageContext& context, RsImage* src, int32_t photometric,
                  const unsigned char palette[768], RsImage* dst, int32_t* dstPhotometric,
                  unsigned char dstPalette[768]);

}  // namespace kro
