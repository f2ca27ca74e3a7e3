// Pixel kernels shared by the codecs, with SIMD paths picked at run time.
#include "core/pixels.h"

#ifndef _WIN32
#include <sys/mman.h>
#endif

#include <cstdint>
#include <cstdlib>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define KRO_X86 1
#endif

namespace kro {

namespace {

void swapRB24Plain(unsigned char* dst, const unsigned char* src, size_t count) {
    for (size_t i = 0; i < count; ++i, dst += 3, src += 3) {
        unsigned char r = src[2], g = src[1], b = src[0];
        dst[0] = r;
        dst[1] = g;
        dst[2] = b;
    }
}

#ifdef KRO_X86
// Sixteen pixels (48 bytes) a step: three loads, one shuffle each across the
// lanes' borders, three stores.
__attribute__((target("ssse3"))) void swapRB24Ssse3(unsigned char* dst, const unsigned char* src,
                                                    size_t count) {
    // Pixels 5 and 10 straddle two 16-byte blocks, so each output block takes
    // a byte or two from a neighbouring input block.
    const __m128i m0 = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, -1);
    const __m128i m0n = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 1);
    const __m128i m1p = _mm_setr_epi8(-1, 15, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m128i m1 = _mm_setr_epi8(0, -1, 4, 3, 2, 7, 6, 5, 10, 9, 8, 13, 12, 11, -1, 15);
    const __m128i m1n = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, -1);
    const __m128i m2p = _mm_setr_epi8(14, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m128i m2 = _mm_setr_epi8(-1, 3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10, 15, 14, 13);
    size_t i = 0;
    for (; i + 16 <= count; i += 16, src += 48, dst += 48) {
        __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 16));
        __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 32));
        __m128i o0 = _mm_or_si128(_mm_shuffle_epi8(a, m0), _mm_shuffle_epi8(b, m0n));
        __m128i o1 = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(a, m1p), _mm_shuffle_epi8(b, m1)),
                                  _mm_shuffle_epi8(c, m1n));
        __m128i o2 = _mm_or_si128(_mm_shuffle_epi8(b, m2p), _mm_shuffle_epi8(c, m2));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), o0);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 16), o1);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 32), o2);
    }
    swapRB24Plain(dst, src, count - i);
}
#endif

using SwapFn = void (*)(unsigned char*, const unsigned char*, size_t);

SwapFn pickSwap() {
#ifdef KRO_X86
    if (__builtin_cpu_supports("ssse3")) return swapRB24Ssse3;
#endif
    return swapRB24Plain;
}

const SwapFn swapImpl = pickSwap();

}  // namespace

// Each step loads its whole block before storing, so dst may equal src.
void swapRB24(unsigned char* dst, const unsigned char* src, size_t count) {
    swapImpl(dst, src, count);
}

unsigned char* allocPixels(uint64_t n) {
    constexpr uint64_t kHuge = 2u << 20;
    if (n > SIZE_MAX - kHuge) return nullptr;
#ifdef _WIN32
    // No huge pages to ask for, and the caller frees with free().
    return static_cast<unsigned char*>(std::malloc(n ? size_t(n) : 1));
#else
    if (n < 2 * kHuge) return static_cast<unsigned char*>(std::malloc(n ? size_t(n) : 1));
    // Pictures of some megabytes: whole huge pages cut the page faults of
    // filling them (a fault every 4 KiB costs more than copying the bytes on
    // virtual machines). The tail past the last whole one stays on small
    // pages, so that no huge page is resident for a few bytes of picture.
    size_t rounded = size_t((n + kHuge - 1) / kHuge * kHuge);
    void* p = std::aligned_alloc(size_t(kHuge), rounded);
    if (p) ::madvise(p, size_t(n / kHuge * kHuge), MADV_HUGEPAGE);
    return static_cast<unsigned char*>(p);
#endif
}

}  // namespace kro
