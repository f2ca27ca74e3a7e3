// PCX reading: run decoding, eight coded bytes a step where SSE2 is there
// (their bytes picked by one shuffle where SSSE3 is).
#include <algorithm>
#include <array>
#include <cstring>

#include "codecs/pcx.h"
#include "core/cpu.h"

#if defined(__SSE2__)
#include <immintrin.h>
#define KRO_PCX_SSE2 1
#endif

namespace kro::pcx {

uint64_t fewestCodedBytes(uint64_t n) {
    const uint64_t rest = n % kLongestRun;
    return 2 * (n / kLongestRun) + std::min<uint64_t>(rest, 2);
}

namespace {

// How eight coded bytes decode when none is a count above 1, by the mask of
// those at 0xC0 and above: each of those starts a pair unless it is the
// byte of the pair before it. A count in the last place is left for the
// next step, with its byte.
struct Step {
    uint8_t from[8];   // where each decoded byte comes from
    uint8_t produced;  // decoded bytes
    uint8_t consumed;  // coded bytes used: 7 or 8
    uint8_t counts;    // mask of the count bytes
};

constexpr std::array<Step, 256> makeSteps() {
    std::array<Step, 256> steps{};
    for (unsigned high = 0; high < 256; ++high) {
        Step& s = steps[high];
        unsigned i = 0;
        while (i < 8) {
            if (high >> i & 1) {
                if (i == 7) break;
                s.counts = uint8_t(s.counts | 1u << i);
                s.from[s.produced++] = uint8_t(i + 1);
                i += 2;
            } else {
                s.from[s.produced++] = uint8_t(i);
                i += 1;
            }
        }
        s.consumed = uint8_t(i);
    }
    return steps;
}

constexpr std::array<Step, 256> kSteps = makeSteps();

#ifdef KRO_PCX_SSE2
// The same steps taking eight coded bytes every time: a count in the last
// place carries into the next step, whose first byte is then its byte. The
// steps depend on one another only through that carry, not through where
// the next one starts. By the mask of bytes at 0xC0 and above and the carry
// (256 and up).
struct CarriedStep {
    uint8_t from[8];
    uint8_t produced;
    uint8_t counts;  // the last one may be the carried count
    uint8_t carry;
};

constexpr std::array<CarriedStep, 512> makeCarriedSteps() {
    std::array<CarriedStep, 512> steps{};
    for (unsigned index = 0; index < 512; ++index) {
        CarriedStep& s = steps[index];
        const unsigned high = index & 0xFF;
        unsigned i = 0;
        if (index >> 8) s.from[s.produced++] = uint8_t(i++);
        while (i < 8) {
            if (high >> i & 1) {
                s.counts = uint8_t(s.counts | 1u << i);
                if (i == 7) {
                    s.carry = 1;
                    break;
                }
                s.from[s.produced++] = uint8_t(i + 1);
                i += 2;
            } else {
                s.from[s.produced++] = uint8_t(i);
                i += 1;
            }
        }
    }
    return steps;
}

constexpr std::array<CarriedStep, 512> kCarriedSteps = makeCarriedSteps();

// The most that a step decodes to (a carried byte and four runs of 63), and
// the 16-byte stores of its last run past that.
constexpr size_t kMostFromEight = 1 + 4 * kLongestRun + 16;

// The eight-byte steps of RunDecoder::literals with the bytes picked by a
// shuffle: from p while 8 coded bytes are left before stop and 8 decoded
// ones fit in room. Returns the bytes decoded and moves p past them (to a
// count whose byte is still to come, when one is carried at the end).
__attribute__((target("ssse3"))) size_t literalStepsSsse3(const unsigned char*& p,
                                                          const unsigned char* stop,
                                                          unsigned char* out, size_t room) {
    const __m128i top = _mm_set1_epi8(char(0xC0));
    const __m128i longRun = _mm_set1_epi8(char(0xC2));
    size_t k = 0;
    unsigned carry = 0;
    while (k + 8 <= room && p + 8 <= stop) {
        const __m128i v = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
        const unsigned high =
            unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_and_si128(v, top), top))) & 0xFF;
        const CarriedStep& step = kCarriedSteps[high | carry << 8];
        const unsigned ge =
            unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(v, longRun), v)));
        if (ge & step.counts) {
            // Short runs are common in photographs: the step is decoded a
            // pair at a time here, while the longest it can give fits.
            if (k + kMostFromEight > room) break;
            const unsigned char* q = p;
            if (carry) {
                if (out) out[k] = *q;
                ++k, ++q;
            }
            // A count in the last place takes its byte from the next step:
            // p + 8 <= stop, so that byte is in the batch.
            while (q < p + 8) {
                const unsigned char b = *q;
                if (b < 0xC0) {
                    if (out) out[k] = b;
                    ++k, ++q;
                    continue;
                }
                const unsigned run = (b & 0x3F) ? (b & 0x3F) : 1;
                if (out) {
                    const __m128i fill = _mm_set1_epi8(char(q[1]));
                    for (unsigned j = 0; j < run; j += 16)
                        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k + j), fill);
                }
                k += run;
                q += 2;
            }
            p = q;
            carry = 0;
            continue;
        }
        if (out) {
            const __m128i from = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(step.from));
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out + k), _mm_shuffle_epi8(v, from));
        }
        k += step.produced;
        p += 8;
        carry = step.carry;
    }
    p -= carry;
    return k;
}
#endif

}  // namespace

Decoded RunDecoder::next(unsigned char* dst, size_t n) {
    size_t done = 0;
    while (done < n) {
        if (runLeft_) {
            const size_t k = std::min<size_t>(runLeft_, n - done);
            if (dst) std::memset(dst + done, runValue_, k);
            runLeft_ -= unsigned(k);
            done += k;
            continue;
        }
        if (end_ - pos_ < 2 && !refill()) {
            if (pos_ == end_) return ended(dst, done, n, Decoded::EndOfFile);
            const unsigned char b = buf_[pos_++];
            if (b >= 0xC0) return ended(dst, done, n, Decoded::CutRun);
            if (dst) dst[done] = b;
            ++done;
            continue;
        }
        done += literals(dst, done, n);
        if (done == n || end_ - pos_ < 2) continue;
        const unsigned char b = buf_[pos_];
        if (b >= 0xC0) {
            runLeft_ = (b & 0x3F) ? (b & 0x3F) : 1;
            runValue_ = buf_[pos_ + 1];
            pos_ += 2;
        }
    }
    return Decoded::Full;
}

int RunDecoder::byte() {
    if (pos_ == end_ && !refill()) return -1;
    return buf_[pos_++];
}

bool RunDecoder::bytes(unsigned char* dst, size_t n) {
    const size_t have = std::min(n, end_ - pos_);
    std::memcpy(dst, buf_ + pos_, have);
    pos_ += have;
    return have == n || std::fread(dst + have, 1, n - have, f_) == n - have;
}

Decoded RunDecoder::ended(unsigned char* dst, size_t done, size_t n, Decoded how) {
    if (dst) std::memset(dst + done, 0, n - done);
    return how;
}

// Keeps what is left of the batch and reads more after it; false when
// nothing more came.
bool RunDecoder::refill() {
    const size_t left = end_ - pos_;
    std::memmove(buf_, buf_ + pos_, left);
    pos_ = 0;
    end_ = left + std::fread(buf_ + left, 1, kBatchBytes - left, f_);
    return end_ > left;
}

// Expands single bytes from the batch: literals and runs of one (0xC0 or
// 0xC1 before the byte), up to a longer run, the end of the request or
// the last byte of the batch (which may be a count whose byte is still
// to be read). No branch depends on the data, so noisy pictures, where
// a quarter of the bytes come after 0xC1, decode fast.
size_t RunDecoder::literals(unsigned char* dst, size_t done, size_t n) {
    const unsigned char* p = buf_ + pos_;
    const unsigned char* const stop = buf_ + end_ - 1;
    const size_t room = n - done;
    unsigned char* out = dst ? dst + done : nullptr;
    size_t k = 0;
#ifdef KRO_PCX_SSE2
    // Eight coded bytes a step: which of them are counts follows from
    // where the bytes of 0xC0 and above stand, so a table says which
    // bytes come out. A step holding a longer run is left to the runs.
    const __m128i top = _mm_set1_epi8(char(0xC0));
    const __m128i longRun = _mm_set1_epi8(char(0xC2));
    if (cpuHasSsse3()) k = literalStepsSsse3(p, stop, out, room);
    while (k + 8 <= room && p + 8 <= stop) {
        const __m128i v = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
        const unsigned high =
            unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_and_si128(v, top), top))) & 0xFF;
        if (!high) {
            if (out) _mm_storel_epi64(reinterpret_cast<__m128i*>(out + k), v);
            p += 8;
            k += 8;
            continue;
        }
        const Step& step = kSteps[high];
        const unsigned ge =
            unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(v, longRun), v)));
        if (ge & step.counts) break;
        if (out)
            for (int j = 0; j < 8; ++j) out[k + size_t(j)] = p[step.from[j]];
        k += step.produced;
        p += step.consumed;
    }
#endif
    for (; k < room && p < stop && *p < 0xC2; ++k) {
        const unsigned counted = *p >= 0xC0;
        if (out) out[k] = p[counted];
        p += 1 + counted;
    }
    pos_ = size_t(p - buf_);
    return k;
}

}  // namespace kro::pcx
