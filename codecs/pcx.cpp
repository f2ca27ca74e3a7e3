// PCX files: run-length coded pictures of 1 bit (one plane), 8 bits (one
// plane, 256-colour palette after the data) and 24 bits (three 8-bit planes).
#include <algorithm>
#include <array>
#include <cstring>

#include "core/image.h"
#include "core/pixels.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif
#if defined(__SSE2__)
#define KRO_PCX_SSE2 1
#endif

namespace {

using kro::fail;

constexpr size_t kHeaderBytes = 128;
constexpr unsigned char kManufacturer = 10;
constexpr unsigned char kRunLength = 1;
constexpr unsigned char kPaletteMarker = 12;
constexpr size_t kPaletteBytes = 768;
constexpr unsigned kLongestRun = 63;
constexpr size_t kBatchBytes = 256u << 10;

// The 128-byte file header, field by field in file order.
struct PcxHeader {
    uint8_t manufacturer;
    uint8_t version;
    uint8_t encoding;
    uint8_t bitsPerPixel;
    uint16_t xMin, yMin, xMax, yMax;
    int16_t hRes, vRes;
    uint8_t colours[48];
    uint8_t planes;
    int16_t bytesPerLine;
    uint16_t paletteInfo;
    uint16_t hScreen, vScreen;
};

void decodeHeader(const unsigned char* b, PcxHeader* h) {
    h->manufacturer = b[0];
    h->version = b[1];
    h->encoding = b[2];
    h->bitsPerPixel = b[3];
    h->xMin = kro::get16le(b + 4);
    h->yMin = kro::get16le(b + 6);
    h->xMax = kro::get16le(b + 8);
    h->yMax = kro::get16le(b + 10);
    h->hRes = int16_t(kro::get16le(b + 12));
    h->vRes = int16_t(kro::get16le(b + 14));
    std::memcpy(h->colours, b + 16, sizeof h->colours);
    h->planes = b[65];
    h->bytesPerLine = int16_t(kro::get16le(b + 66));
    h->paletteInfo = kro::get16le(b + 68);
    h->hScreen = kro::get16le(b + 70);
    h->vScreen = kro::get16le(b + 72);
}

void encodeHeader(const PcxHeader& h, unsigned char b[kHeaderBytes]) {
    std::memset(b, 0, kHeaderBytes);
    b[0] = h.manufacturer;
    b[1] = h.version;
    b[2] = h.encoding;
    b[3] = h.bitsPerPixel;
    kro::put16le(b + 4, h.xMin);
    kro::put16le(b + 6, h.yMin);
    kro::put16le(b + 8, h.xMax);
    kro::put16le(b + 10, h.yMax);
    kro::put16le(b + 12, uint16_t(h.hRes));
    kro::put16le(b + 14, uint16_t(h.vRes));
    std::memcpy(b + 16, h.colours, sizeof h.colours);
    b[65] = h.planes;
    kro::put16le(b + 66, uint16_t(h.bytesPerLine));
    kro::put16le(b + 68, h.paletteInfo);
    kro::put16le(b + 70, h.hScreen);
    kro::put16le(b + 72, h.vScreen);
}

// Coded bytes needed at least for n decoded bytes: every pair of bytes gives
// at most 63, and a last lone byte can stand for itself.
uint64_t fewestCodedBytes(uint64_t n) {
    const uint64_t rest = n % kLongestRun;
    return 2 * (n / kLongestRun) + std::min<uint64_t>(rest, 2);
}

enum class Decoded { Full, EndOfFile, CutRun };

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

// Reads the coded stream a batch at a time and expands it on request. A run
// may cross plane lines and picture lines; what is left of it carries over.
class RunDecoder {
  public:
    RunDecoder(FILE* f, unsigned char* buf) : f_(f), buf_(buf) {}

    // Expands the next n bytes into dst (nullptr: drops them). At the end of
    // the file the rest of dst is zeroed.
    Decoded next(unsigned char* dst, size_t n) {
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

    // One byte after the coded data; -1 at the end of the file.
    int byte() {
        if (pos_ == end_ && !refill()) return -1;
        return buf_[pos_++];
    }

    // n bytes after the coded data; false when the file ends first.
    bool bytes(unsigned char* dst, size_t n) {
        const size_t have = std::min(n, end_ - pos_);
        std::memcpy(dst, buf_ + pos_, have);
        pos_ += have;
        return have == n || std::fread(dst + have, 1, n - have, f_) == n - have;
    }

  private:
    static Decoded ended(unsigned char* dst, size_t done, size_t n, Decoded how) {
        if (dst) std::memset(dst + done, 0, n - done);
        return how;
    }

    // Keeps what is left of the batch and reads more after it; false when
    // nothing more came.
    bool refill() {
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
    size_t literals(unsigned char* dst, size_t done, size_t n) {
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

    FILE* f_;
    unsigned char* buf_;
    size_t pos_ = 0, end_ = 0;
    unsigned runLeft_ = 0;
    unsigned char runValue_ = 0;
};

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

#if defined(__x86_64__) || defined(__i386__)
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

// Asked at load time, possibly before libgcc has looked at the processor.
const bool kHaveSsse3 = (__builtin_cpu_init(), __builtin_cpu_supports("ssse3"));
#endif

void interleave3(unsigned char* rgb, const unsigned char* r, const unsigned char* g,
                 const unsigned char* b, size_t count) {
#if defined(__x86_64__) || defined(__i386__)
    if (kHaveSsse3) return interleave3Ssse3(rgb, r, g, b, count);
#endif
    interleave3Plain(rgb, r, g, b, count);
}

void deinterleave3(unsigned char* r, unsigned char* g, unsigned char* b, const unsigned char* rgb,
                   size_t count) {
#if defined(__x86_64__) || defined(__i386__)
    if (kHaveSsse3) return deinterleave3Ssse3(r, g, b, rgb, count);
#endif
    deinterleave3Plain(r, g, b, rgb, count);
}

// Codes one plane line of n data bytes followed by pad zero bytes; returns
// the end of the coded bytes. At most 2 * n + 2 bytes are written.
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

}  // namespace

extern "C" KRO_API int32_t KroPCXToRsImage(FILE* stream, RsImage* image, int32_t* photometric,
                                           int32_t resolution[2], unsigned char palette[768]) {
    if (photometric) *photometric = 0;
    if (!stream || !image || !photometric || !resolution || !palette) return fail(KRO_ERR_NULL);

    unsigned char head[kHeaderBytes];
    if (std::fread(head, 1, kHeaderBytes, stream) != kHeaderBytes) return fail(KRO_ERR_IO);
    PcxHeader h{};
    decodeHeader(head, &h);
    const bool versionOk = h.version == 0 || h.version == 2 || h.version == 3 || h.version == 5;
    if (h.manufacturer != kManufacturer || !versionOk || h.encoding != kRunLength)
        return fail(KRO_ERR_PCX_HEADER);
    const auto pictureWidth = int16_t(uint16_t(h.xMax - h.xMin + 1));
    const auto pictureHeight = int16_t(uint16_t(h.yMax - h.yMin + 1));
    if (pictureWidth < 1 || pictureHeight < 1) return fail(KRO_ERR_SIZE);
    if (h.planes != 1 && h.planes != 3) return fail(KRO_ERR_PCX_PLANES);
    if (h.bitsPerPixel != 1 && h.bitsPerPixel != 8) return fail(KRO_ERR_DEPTH);
    // Three planes of one bit would be a 3-bit picture, which no record holds.
    if (h.bitsPerPixel == 1 && h.planes == 3) return fail(KRO_ERR_DEPTH);
    // A plane line of no bytes would never end.
    if (h.bytesPerLine < 1) return fail(KRO_ERR_PCX_HEADER);

    const int32_t depth = h.bitsPerPixel * h.planes;
    const int32_t width = depth == 1 ? (pictureWidth + 7) & ~7 : pictureWidth;
    const int32_t height = pictureHeight;
    const uint64_t bytes = kro::pixelBytes(width, height, depth);
    if (bytes > uint64_t(INT32_MAX)) return fail(KRO_ERR_SIZE);
    const size_t planeLine = size_t(h.bytesPerLine);
    const size_t planeBytes = depth == 24 ? size_t(width) : size_t(kro::rowBytes(width, depth));
    const size_t kept = std::min(planeLine, planeBytes);

    kro::Buffer batch(kro::allocBytes(kBatchBytes));
    if (!batch) return fail(KRO_ERR_NOMEM);
    RunDecoder decoder(stream, batch.get());

    // A file too short to hold the picture even at the best run-length ratio
    // is refused before the picture is allocated, with the code reading it
    // would end in: walking its runs tells whether it stops inside one.
    const uint64_t coded = uint64_t(planeLine) * h.planes * uint64_t(height);
    const uint64_t needed = fewestCodedBytes(coded) + (depth == 8 ? 1 + kPaletteBytes : 0);
    const int64_t length = kro::streamLength(stream);
    const long here = std::ftell(stream);
    if (length >= 0 && here >= 0 && uint64_t(length - here) < needed) {
        Decoded d = Decoded::Full;
        for (uint64_t left = coded; left && d == Decoded::Full;
             left -= std::min<uint64_t>(left, kBatchBytes))
            d = decoder.next(nullptr, size_t(std::min<uint64_t>(left, kBatchBytes)));
        return fail(d == Decoded::CutRun ? KRO_ERR_PCX_HEADER : KRO_ERR_IO);
    }

    kro::Buffer pixels(kro::allocPixels(bytes));
    if (!pixels) return fail(KRO_ERR_NOMEM);
    kro::Buffer planes(depth == 24 ? kro::allocBytes(3 * uint64_t(kept)) : nullptr);
    if (depth == 24 && !planes) return fail(KRO_ERR_NOMEM);

    // The padding after the picture's last plane line may be left out; a file
    // that ends before all of the picture's bytes is damaged.
    const auto skipPadding = [&](bool lastPlaneLine) {
        if (planeLine <= kept) return Decoded::Full;
        const Decoded s = decoder.next(nullptr, planeLine - kept);
        return s == Decoded::EndOfFile && lastPlaneLine ? Decoded::Full : s;
    };
    const size_t recordRow = size_t(kro::rowBytes(width, depth));
    Decoded d = Decoded::Full;
    for (int32_t y = 0; y < height && d == Decoded::Full; ++y) {
        const bool lastRow = y == height - 1;
        unsigned char* row = pixels.get() + size_t(y) * recordRow;
        if (depth == 24) {
            for (size_t p = 0; p < 3 && d == Decoded::Full; ++p) {
                d = decoder.next(planes.get() + p * kept, kept);
                if (d == Decoded::Full) d = skipPadding(lastRow && p == 2);
            }
            if (d != Decoded::Full) break;
            interleave3(row, planes.get(), planes.get() + kept, planes.get() + 2 * kept, kept);
            std::memset(row + 3 * kept, 0, recordRow - 3 * kept);
        } else {
            d = decoder.next(row, kept);
            if (d == Decoded::Full) d = skipPadding(lastRow);
            std::memset(row + kept, 0, recordRow - kept);
        }
    }
    if (d == Decoded::CutRun) return fail(KRO_ERR_PCX_HEADER);
    if (d == Decoded::EndOfFile) return fail(KRO_ERR_IO);

    if (depth == 8) {
        std::memset(palette, 0, kPaletteBytes);
        int c;
        while ((c = decoder.byte()) != kPaletteMarker)
            if (c < 0) return fail(KRO_ERR_IO);
        unsigned char rgb[kPaletteBytes];
        if (!decoder.bytes(rgb, sizeof rgb)) return fail(KRO_ERR_IO);
        for (int i = 0; i < 256; ++i) {
            palette[i] = rgb[3 * i];
            palette[256 + i] = rgb[3 * i + 1];
            palette[512 + i] = rgb[3 * i + 2];
        }
    } else if (depth == 1) {
        for (int i = 0; i < 2; ++i) {
            palette[i] = h.colours[3 * i];
            palette[256 + i] = h.colours[3 * i + 1];
            palette[512 + i] = h.colours[3 * i + 2];
        }
    }

    image->width = width;
    image->height = height;
    image->size = int32_t(bytes);
    image->format = KRO_FORMAT_RAW;
    image->depth = depth;
    image->data = pixels.release();
    image->validWidth = pictureWidth;
    image->validHeight = pictureHeight;
    resolution[0] = h.hRes;
    resolution[1] = h.vRes;
    // A bilevel file's photometric value looks at entry 0 only, and only to
    // tell black from white.
    *photometric = kro::photometricFromPalette(depth, palette, depth == 8 ? 256 : 1);
    return 0;
}

extern "C" KRO_API int32_t KroRsImageToPCX(FILE* stream, const RsImage* image, int32_t photometric,
                                           const int32_t resolution[2],
                                           unsigned char palette[768]) {
    if (!stream || !resolution || !palette) return fail(KRO_ERR_NULL);
    if (int32_t code = kro::rawImageProblem(image)) return fail(code);
    const int32_t depth = image->depth;
    if (photometric < 0 || photometric > 3) return fail(KRO_ERR_PHOTOMETRIC);
    // The header holds 16-bit signed resolutions; larger ones would wrap.
    if (resolution[0] < 1 || resolution[1] < 1 || resolution[0] != resolution[1] ||
        resolution[0] > INT16_MAX)
        return fail(KRO_ERR_RESOLUTION);
    const int32_t width = image->width;
    const size_t planeLine = size_t((int64_t(width) * (depth == 1 ? 1 : 8) + 31) / 32 * 4);
    // The signed 16-bit field cannot say more.
    if (planeLine > size_t(INT16_MAX)) return fail(KRO_ERR_SIZE);

    if (depth == 1) {
        palette[0] = palette[256] = palette[512] = 0;
        palette[1] = palette[257] = palette[513] = 255;
    } else if (depth == 8 &&
               (photometric == KRO_PHOTO_WHITE_IS_ZERO || photometric == KRO_PHOTO_BLACK_IS_ZERO)) {
        for (int i = 0; i < 256; ++i) {
            auto v = uint8_t(photometric == KRO_PHOTO_WHITE_IS_ZERO ? 255 - i : i);
            palette[i] = palette[256 + i] = palette[512 + i] = v;
        }
    }

    // The file states the picture's own width; a validWidth that does not lie
    // within the stored row is not trusted.
    const int32_t fileWidth =
        image->validWidth >= 1 && image->validWidth <= width ? image->validWidth : width;
    PcxHeader h{};
    h.manufacturer = kManufacturer;
    h.version = 5;
    h.encoding = kRunLength;
    h.bitsPerPixel = depth == 1 ? 1 : 8;
    h.xMax = uint16_t(fileWidth - 1);
    h.yMax = uint16_t(image->height - 1);
    h.hRes = h.vRes = int16_t(resolution[0]);
    if (depth == 1) {
        for (int i = 0; i < 2; ++i) {
            h.colours[3 * i] = palette[i];
            h.colours[3 * i + 1] = palette[256 + i];
            h.colours[3 * i + 2] = palette[512 + i];
        }
    }
    h.planes = depth == 24 ? 3 : 1;
    h.bytesPerLine = int16_t(planeLine);
    h.paletteInfo = 1;
    h.hScreen = 640;
    h.vScreen = 480;
    unsigned char head[kHeaderBytes];
    encodeHeader(h, head);
    if (std::fwrite(head, 1, kHeaderBytes, stream) != kHeaderBytes) return fail(KRO_ERR_IO);

    // Coded rows gather in one batch that is written whenever the next row
    // might not fit; a coded plane line takes at most 2 * planeLine bytes.
    const size_t dataBytes = depth == 24 ? size_t(width) : size_t(kro::rowBytes(width, depth));
    const size_t pad = planeLine - dataBytes;
    const size_t planes = h.planes;
    const size_t rowMost = planes * 2 * planeLine;
    const size_t batchBytes = std::max(kBatchBytes, 2 * rowMost);
    kro::Buffer out(kro::allocBytes(batchBytes + (depth == 24 ? 3 * dataBytes : 0)));
    if (!out) return fail(KRO_ERR_NOMEM);
    unsigned char* const split = out.get() + batchBytes;
    unsigned char* at = out.get();
    auto flush = [&]() {
        const size_t n = size_t(at - out.get());
        at = out.get();
        return std::fwrite(out.get(), 1, n, stream) == n;
    };
    const size_t recordRow = size_t(kro::rowBytes(width, depth));
    for (int32_t y = 0; y < image->height; ++y) {
        if (size_t(out.get() + batchBytes - at) < rowMost && !flush()) return fail(KRO_ERR_IO);
        const unsigned char* row = image->data + size_t(y) * recordRow;
        if (depth == 24) {
            deinterleave3(split, split + dataBytes, split + 2 * dataBytes, row, dataBytes);
            for (size_t p = 0; p < 3; ++p)
                at = codePlaneLine(split + p * dataBytes, dataBytes, pad, at);
        } else {
            at = codePlaneLine(row, dataBytes, pad, at);
        }
    }
    if (!flush()) return fail(KRO_ERR_IO);

    if (depth == 8) {
        unsigned char tail[1 + kPaletteBytes];
        tail[0] = kPaletteMarker;
        for (int i = 0; i < 256; ++i) {
            tail[1 + 3 * i] = palette[i];
            tail[2 + 3 * i] = palette[256 + i];
            tail[3 + 3 * i] = palette[512 + i];
        }
        if (std::fwrite(tail, 1, sizeof tail, stream) != sizeof tail) return fail(KRO_ERR_IO);
    }
    return 0;
}
