// PCX writing: plane lines coded as runs, sixteen lone bytes a step where
// SSE2 is there.
#include "codecs/pcx.h"

#if defined(__SSE2__)
#include <immintrin.h>
#define KRO_PCX_SSE2 1
#endif

namespace kro::pcx {

unsigned char* codePlaneLine(const unsigned char* s, size_t n, size_t pad, unsigned char* out) {
    size_t i = 0;
    while (i < n) {
        // Bytes none of which equals the next stand alone: each goes out as
        // itself, or after 0xC1 when it could be taken for a count.
#ifdef KRO_PCX_SSE2
        while (i + 17 <= n) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
            const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + 1));
            if (_mm_movemask_epi8(_mm_cmpeq_epi8(v, w))) break;
            const __m128i high = _mm_cmpeq_epi8(_mm_and_si128(v, _mm_set1_epi8(char(0xC0))),
                                                _mm_set1_epi8(char(0xC0)));
            if (!_mm_movemask_epi8(high)) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out), v);
                out += 16;
            } else {
                for (size_t k = 0; k < 16; ++k) {
                    const unsigned char b = s[i + k];
                    *out = 0xC1;
                    out += b >= 0xC0;
                    *out++ = b;
                }
            }
            i += 16;
        }
        if (i >= n) break;
#endif
        const unsigned char b = s[i];
        size_t j = i + 1;
        while (j < n && s[j] == b) ++j;
        size_t run = j - i;
        for (; run >= kLongestRun; run -= kLongestRun) {
            *out++ = 0xFF;
            *out++ = b;
        }
        if (run == 1 && b < 0xC0) {
            *out++ = b;
        } else if (run) {
            *out++ = uint8_t(0xC0 | run);
            *out++ = b;
        }
        i = j;
    }
    if (pad) {
        *out++ = uint8_t(0xC0 | pad);
        *out++ = 0;
    }
    return out;
}

}  // namespace kro::pcx
