// PCX writing: plane lines coded as runs, sixteen lone bytes a step where
// SSE2 is there, with the count bytes put in by a byte shuffle where SSSE3 is.
#include <algorithm>
#include <array>

#include "codecs/pcx.h"
#include "core/cpu.h"

#if defined(__SSE2__)
#include <immintrin.h>
#define KRO_PCX_SSE2 1
#endif

namespace kro::pcx {

namespace {

// Codes the run that starts at s[i] (one byte or more); returns the end of
// the coded bytes and moves i past the run.
inline unsigned char* codeRun(const unsigned char* s, size_t& i, size_t n, unsigned char* out) {
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
    return out;
}

inline unsigned char* codePad(size_t pad, unsigned char* out) {
    if (pad) {
        *out++ = uint8_t(0xC0 | pad);
        *out++ = 0;
    }
    return out;
}

#ifdef KRO_PCX_SSE2
// How eight lone bytes go out, by the mask of those at 0xC0 and above: a
// shuffle of the eight bytes (places 0 to 7) and 0xC1 (place 8) that puts
// 0xC1 before each of those, and the length of the result.
struct Spread {
    uint8_t from[16];
    uint8_t length;
};

constexpr std::array<Spread, 256> makeSpreads() {
    std::array<Spread, 256> spreads{};
    for (unsigned high = 0; high < 256; ++high) {
        Spread& s = spreads[high];
        for (unsigned i = 0; i < 8; ++i) {
            if (high >> i & 1) s.from[s.length++] = 8;
            s.from[s.length++] = uint8_t(i);
        }
    }
    return spreads;
}

constexpr std::array<Spread, 256> kSpreads = makeSpreads();

// Stores the eight bytes of v's low half with their 0xC1s; at most 16
// bytes are stored, the returned end may lie before the last of them.
__attribute__((target("ssse3"))) inline unsigned char* spread8(__m128i v, unsigned high,
                                                               unsigned char* out) {
    const Spread& s = kSpreads[high];
    const __m128i src = _mm_unpacklo_epi64(v, _mm_set1_epi8(char(0xC1)));
    const __m128i from = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s.from));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi8(src, from));
    return out + s.length;
}

// The SSSE3 line coder: sixteen bytes none of which equals the next go out
// in at most two shuffles. Each store may run up to 16 bytes past its
// coded bytes, which the line's bound of 2 * n + 2 leaves room for while
// 17 bytes are still to code.
__attribute__((target("ssse3"))) unsigned char* codePlaneLineSsse3(const unsigned char* s, size_t n,
                                                                   size_t pad, unsigned char* out) {
    const __m128i top = _mm_set1_epi8(char(0xC0));
    size_t i = 0;
    while (i < n) {
        while (i + 17 <= n) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
            const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + 1));
            const unsigned equal = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, w)));
            const unsigned high =
                unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_and_si128(v, top), top)));
            if (equal) {
                // The lone bytes before the first run go out here, the run
                // below: e bytes, of which the spread keeps the first.
                const unsigned e = unsigned(__builtin_ctz(equal));
                const unsigned lo = std::min(e, 8u), hi = e - lo;
                out = spread8(v, high & ((1u << lo) - 1), out) - (8 - lo);
                if (hi)
                    out = spread8(_mm_unpackhi_epi64(v, v), (high >> 8) & ((1u << hi) - 1), out) -
                          (8 - hi);
                i += e;
                break;
            }
            if (!high) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out), v);
                out += 16;
            } else {
                out = spread8(v, high & 0xFF, out);
                out = spread8(_mm_unpackhi_epi64(v, v), high >> 8, out);
            }
            i += 16;
        }
        if (i >= n) break;
        out = codeRun(s, i, n, out);
    }
    return codePad(pad, out);
}
#endif

}  // namespace

unsigned char* codePlaneLine(const unsigned char* s, size_t n, size_t pad, unsigned char* out) {
#ifdef KRO_PCX_SSE2
    if (cpuHasSsse3()) return codePlaneLineSsse3(s, n, pad, out);
#endif
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
        out = codeRun(s, i, n, out);
    }
    return codePad(pad, out);
}

}  // namespace kro::pcx
