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

// Eight coded bytes of which the counts are known: the bytes that come out
// (all but the counts) and how many, by the mask of the counts.
struct Kept {
    uint8_t from[8];
    uint8_t produced;
};

constexpr std::array<Kept, 256> makeKept() {
    std::array<Kept, 256> kept{};
    for (unsigned counts = 0; counts < 256; ++counts)
        for (unsigned i = 0; i < 8; ++i)
            if (!(counts >> i & 1)) kept[counts].from[kept[counts].produced++] = uint8_t(i);
    return kept;
}

constexpr std::array<Kept, 256> kKept = makeKept();

// The most a block of 64 coded bytes stores: 64 bytes before a run, the run
// and the 16-byte stores of the run past it.
constexpr size_t kMostFromBlock = 64 + kLongestRun + 16;

// The most a step with a run stores: eight bytes before the run, the run (63
// at most) and the 16-byte stores of the run past it.
constexpr size_t kMostFromStep = 8 + kLongestRun + 16;

// Puts out the decoded bytes of an eight-byte step (v's bytes as from picks
// them; only those before the run count), then a run of value, in 16-byte
// stores that may write past the run (room for them is kMostFromStep).
__attribute__((target("ssse3"))) inline void putStepAndRun(unsigned char* out, __m128i v,
                                                           const uint8_t* from, unsigned before,
                                                           unsigned run, unsigned char value) {
    const __m128i pick = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(from));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi8(v, pick));
    const __m128i fill = _mm_set1_epi8(char(value));
    for (unsigned j = 0; j < run; j += 16)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + before + j), fill);
}

// The eight-byte steps of RunDecoder::literals with the bytes picked by a
// shuffle, runs up to 63 taken in stride: from at while 8 coded bytes are
// left before stop and 8 decoded ones fit in room (more while a whole block
// and a run do). Returns the bytes decoded and moves at past them (to a
// count whose byte is still to come, when one is carried at the end).
__attribute__((target("ssse3"))) size_t literalStepsSsse3(const unsigned char*& at,
                                                          const unsigned char* stop,
                                                          unsigned char* out, size_t room) {
    const __m128i top = _mm_set1_epi8(char(0xC0));
    const __m128i longRun = _mm_set1_epi8(char(0xC2));
    const unsigned char* p = at;
    size_t k = 0;
    unsigned carry = 0;
    // 64 coded bytes a block. Which bytes of 0xC0 and above are counts and
    // which are the bytes of counts follows from the runs of such bytes (in
    // each run they alternate, count first), so it is found for the whole
    // block at once with a carry into the next; each eight bytes then come
    // out through a shuffle that drops their counts, with no step waiting
    // on the one before it.
    constexpr uint64_t kEven = 0x5555555555555555u;
    while (k + kMostFromBlock <= room && p + 64 <= stop) {
        uint64_t high = 0, ge = 0;
        for (int i = 0; i < 4; ++i) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
            high |=
                uint64_t(unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_and_si128(v, top), top))))
                << (16 * i);
            ge |= uint64_t(unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(v, longRun), v))))
                  << (16 * i);
        }
        const uint64_t starts = high & ~uint64_t(carry);
        const uint64_t follows = starts << 1 | carry;
        const uint64_t oddStarts = starts & ~kEven & ~follows;
        uint64_t evenRuns = 0;
        const unsigned carryOut = __builtin_add_overflow(oddStarts, starts, &evenRuns);
        const uint64_t isByteOfCount = (kEven ^ (evenRuns << 1)) & follows;
        const uint64_t counts = high & ~isByteOfCount;
        const uint64_t longer = ge & counts;
        const unsigned first = longer ? unsigned(__builtin_ctzll(longer)) : 64;
        unsigned s = 0;
        for (; s + 8 <= first; s += 8) {
            const Kept& kept = kKept[(counts >> s) & 0xFF];
            if (out) {
                const __m128i v = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + s));
                const __m128i from = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kept.from));
                _mm_storel_epi64(reinterpret_cast<__m128i*>(out + k), _mm_shuffle_epi8(v, from));
            }
            k += kept.produced;
        }
        if (first == 64) {
            p += 64;
            carry = carryOut;
            continue;
        }
        // A run: the bytes before its count, the run, and the next block
        // starts after its byte.
        const unsigned inStep = first - s;
        const unsigned stepCounts = unsigned(counts >> s) & ((1u << inStep) - 1);
        const unsigned before = inStep - (8u - kKept[stepCounts].produced);
        const unsigned run = p[first] & 0x3Fu;
        if (out)
            putStepAndRun(out + k, _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + s)),
                          kKept[stepCounts].from, before, run, p[first + 1]);
        k += before + run;
        p += first + 2;
        carry = 0;
    }
    while (k + 8 <= room && p + 8 <= stop) {
        const __m128i v = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
        const unsigned high =
            unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_and_si128(v, top), top))) & 0xFF;
        const CarriedStep& step = kCarriedSteps[high | carry << 8];
        const unsigned ge =
            unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(v, longRun), v)));
        if (const unsigned longer = ge & step.counts) {
            // Runs are common in photographs: the bytes before the first
            // count above 1 come out as the table says (the table's first
            // choices do not depend on what follows them), then the run,
            // and the next step starts after it.
            if (k + kMostFromStep > room) break;
            const unsigned where = unsigned(__builtin_ctz(longer));
            const unsigned before =
                where - (8u - kKept[step.counts & ((1u << where) - 1)].produced);
            const unsigned run = p[where] & 0x3Fu;
            if (out) putStepAndRun(out + k, v, step.from, before, run, p[where + 1]);
            k += before + run;
            p += where + 2;
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
    at = p - carry;
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
