// Where the colour-type conversion takes its pixel buffers from. Tests put a
// counting allocator here to prove that every failure gives back what it took.
#pragma once

#include <cstdint>

namespace kro {

struct ConvImageMemory {
    unsigned char* (*allocate)(uint64_t bytes, bool zeroed);  // null when memory is short
    void (*release)(void* block);
};

// Replaces the allocator; null restores malloc and free.
void setConvImageMemory(const ConvImageMemory* memory);

}  // namespace kro
