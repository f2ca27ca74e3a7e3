/* fnd.h - the host's base library: the status word and the bookkeeping allocator. */
#ifndef KRO_FND_H
#define KRO_FND_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#if defined(FND_BUILDING)
#define FND_API
#else
#define FND_API __declspec(dllimport)
#endif
#elif defined(__GNUC__)
#define FND_API __attribute__((visibility("default")))
#else
#define FND_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The code of the last failure. Nothing clears it on success. */
extern FND_API int32_t fndErrorStatus;

/* Allocates size bytes; file and line name the caller, for bookkeeping. Null when
 * memory is exhausted. */
FND_API void* FndUtMalloc(size_t size, const char* file, int line);

/* Gives back a block from FndUtMalloc; null is ignored. */
FND_API void FndUtFree(void* block, const char* file, int line);

/* Number of FndUtMalloc blocks not yet given back (for leak checks). */
FND_API long FndUtLiveBlocks(void);

#ifdef __cplusplus
}
#endif

#endif
