// Pixel kernels shared by the codecs, with SIMD paths picked at run time.
#include "core/pixels.h"

#ifndef _WIN32
#include <sys/mman.h>
#endif

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/cpu.h"

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

// Copies three plane lines into count RGB pixels, and back.
void interleave3Plain(unsigned char* rgb, const unsigned char* r, const unsigned char* g,
                      const unsigned char* b, size_t count) {
    for (size_t i = 0; i < count; ++i, rgb += 3) {
        rgb[0] = r[i];
        rgb[1] = g[i];
        rgb[2] = b[i];
    }
}

void deinterleave3Plain(unsigned char* r, unsigned char* g, unsigned char* b,
                        const unsigned char* rgb, size_t count) {
    for (size_t i = 0; i < count; ++i, rgb += 3) {
        r[i] = rgb[0];
        g[i] = rgb[1];
        b[i] = rgb[2];
    }
}

#ifdef KRO_X86
// Sixteen pixels a step: 48 bytes of RGB are three blocks of 16, and byte j
// of block k is component (16k + j) % 3 of pixel (16k + j) / 3.
struct Shuffles {
    int8_t toRgb[3][3][16];    // [block][component]: plane byte for each RGB byte
    int8_t fromRgb[3][3][16];  // [component][block]: RGB byte for each plane byte
};

constexpr Shuffles makeShuffles() {
    Shuffles s{};
    for (int k = 0; k < 3; ++k)
        for (int c = 0; c < 3; ++c)
            for (int j = 0; j < 16; ++j) {
                const int at = 16 * k + j;
                s.toRgb[k][c][j] = int8_t(at % 3 == c ? at / 3 : -1);
                const int from = 3 * j + c;  // plane byte j of component c
                s.fromRgb[c][k][j] = int8_t(from / 16 == k ? from % 16 : -1);
            }
    return s;
}

constexpr Shuffles kShuffles = makeShuffles();

__attribute__((target("ssse3"))) __m128i mask(const int8_t (&m)[16]) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(m));
}

__attribute__((target("ssse3"))) void interleave3Ssse3(unsigned char* rgb, const unsigned char* r,
                                                       const unsigned char* g,
                                                       const unsigned char* b, size_t count) {
    size_t i = 0;
    for (; i + 16 <= count; i += 16, rgb += 48) {
        const __m128i planes[3] = {_mm_loadu_si128(reinterpret_cast<const __m128i*>(r + i)),
                                   _mm_loadu_si128(reinterpret_cast<const __m128i*>(g + i)),
                                   _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i))};
        for (int k = 0; k < 3; ++k) {
            const auto& m = kShuffles.toRgb[k];
            const __m128i v = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(planes[0], mask(m[0])),
                                                        _mm_shuffle_epi8(planes[1], mask(m[1]))),
                                           _mm_shuffle_epi8(planes[2], mask(m[2])));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(rgb + 16 * k), v);
        }
    }
    interleave3Plain(rgb, r + i, g + i, b + i, count - i);
}

__attribute__((target("ssse3"))) void deinterleave3Ssse3(unsigned char* r, unsigned char* g,
                                                         unsigned char* b, const unsigned char* rgb,
                                                         size_t count) {
    size_t i = 0;
    unsigned char* const out[3] = {r, g, b};
    for (; i + 16 <= count; i += 16, rgb += 48) {
        const __m128i blocks[3] = {_mm_loadu_si128(reinterpret_cast<const __m128i*>(rgb)),
                                   _mm_loadu_si128(reinterpret_cast<const __m128i*>(rgb + 16)),
                                   _mm_loadu_si128(reinterpret_cast<const __m128i*>(rgb + 32))};
        for (int c = 0; c < 3; ++c) {
            const auto& m = kShuffles.fromRgb[c];
            const __m128i v = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(blocks[0], mask(m[0])),
                                                        _mm_shuffle_epi8(blocks[1], mask(m[1]))),
                                           _mm_shuffle_epi8(blocks[2], mask(m[2])));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out[c] + i), v);
        }
    }
    deinterleave3Plain(r + i, g + i, b + i, rgb, count - i);
}

#endif

using SwapFn = void (*)(unsigned char*, const unsigned char*, size_t);

SwapFn pickSwap() {
#ifdef KRO_X86
    if (cpuHasSsse3()) return swapRB24Ssse3;
#endif
    return swapRB24Plain;
}

const SwapFn swapImpl = pickSwap();

}  // namespace

// Each step loads its whole block before storing, so dst may equal src.
void swapRB24(unsigned char* dst, const unsigned char* src, size_t count) {
    swapImpl(dst, src, count);
}

void interleave3(unsigned char* rgb, const unsigned char* r, const unsigned char* g,
                 const unsigned char* b, size_t count) {
#ifdef KRO_X86
    if (cpuHasSsse3()) return interleave3Ssse3(rgb, r, g, b, count);
#endif
    interleave3Plain(rgb, r, g, b, count);
}

void deinterleave3(unsigned char* r, unsigned char* g, unsigned char* b, const unsigned char* rgb,
                   size_t count) {
#ifdef KRO_X86
    if (cpuHasSsse3()) return deinterleave3Ssse3(r, g, b, rgb, count);
#endif
    deinterleave3Plain(r, g, b, rgb, count);
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
