// Stand-in for the host's base library: the status word and a counting allocator.
#include "kro/fnd.h"

#include <atomic>
#include <cstdlib>

extern "C" {

FND_API int32_t fndErrorStatus = 0;

namespace {
std::atomic<long> liveBlocks{0};
}

FND_API void* FndUtMalloc(size_t size, const char* /*file*/, int /*line*/) {
    void* block = std::malloc(size ? size : 1);
    if (block) liveBlocks.fetch_add(1, std::memory_order_relaxed);
    return block;
}

FND_API void FndUtFree(void* block, const char* /*file*/, int /*line*/) {
    if (!block) return;
    liveBlocks.fetch_sub(1, std::memory_order_relaxed);
    std::free(block);
}

FND_API long FndUtLiveBlocks(void) { return liveBlocks.load(std::memory_order_relaxed); }
}
