// Rewriting the PCX variants the library does not read into plain files:
// planar and packed pictures of 4 to 16 colours become one plane of 8 bits
// with the colour table at the end; colour with alpha is laid on white.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "cli/plain_copy.h"
#include "core/image.h"
#include "kro/kro.h"

namespace kro::cli {

namespace {

constexpr size_t kHeader = 128;

// The colours of 16-colour files that carry no table of their own (version 3).
constexpr uint8_t kEgaColours[48] = {0,   0,  0,  0,   0,  170, 0,   170, 0,  0,   170, 170,
                                     170, 0,  0,  170, 0,  170, 170, 85,  0,  170, 170, 170,
                                     85,  85, 85, 85,  85, 255, 85,  255, 85, 85,  255, 255,
                                     255, 85, 85, 255, 85, 255, 255, 255, 85, 255, 255, 255};

// Run-length decoding of the whole picture's scan lines; false when the data
// ends first.
bool decode(const unsigned char* s, size_t n, unsigned char* out, size_t total) {
    size_t i = 0, o = 0;
    while (o < total) {
        if (i >= n) return false;
        unsigned char c = s[i++];
        size_t count = 1;
        if ((c & 0xC0) == 0xC0) {
            if (i >= n) return false;
            count = c & 0x3F;
            c = s[i++];
        }
        count = std::min(count, total - o);
        std::memset(out + o, c, count);
        o += count;
    }
    return true;
}

// Run-length coding of one scan line, as every PCX writer codes it.
void encode(const unsigned char* line, size_t n, std::vector<unsigned char>* out) {
    for (size_t i = 0; i < n;) {
        size_t run = 1;
        while (i + run < n && run < 63 && line[i + run] == line[i]) ++run;
        if (run > 1 || (line[i] & 0xC0) == 0xC0) out->push_back(uint8_t(0xC0 | run));
        out->push_back(line[i]);
        i += run;
    }
}

}  // namespace

PlainCopy plainPcx(const std::vector<unsigned char>& file, std::vector<unsigned char>* plain) {
    if (file.size() < kHeader || file[0] != 0x0A || file[2] != 1) return PlainCopy::None;
    const unsigned char* h = file.data();
    const uint32_t bits = h[3], planes = h[65], lineBytes = get16le(h + 66);
    const int32_t width = int32_t(get16le(h + 8)) - int32_t(get16le(h + 4)) + 1;
    const int32_t height = int32_t(get16le(h + 10)) - int32_t(get16le(h + 6)) + 1;
    const bool indexed =
        (bits == 1 && planes >= 2 && planes <= 4) || ((bits == 2 || bits == 4) && planes == 1);
    const bool alpha = bits == 8 && planes == 4;
    if (!indexed && !alpha) return PlainCopy::None;
    if (width < 1 || height < 1 || width > KRO_MAX_SIDE || height > KRO_MAX_SIDE ||
        size_t(lineBytes) * 8 < size_t(width) * bits)
        return PlainCopy::None;

    // A run of two bytes stands for at most 63: nothing more fits the data.
    const size_t scan = size_t(lineBytes) * planes, total = scan * size_t(height);
    const size_t available = file.size() - kHeader;
    if (total > 32 * available) return PlainCopy::Damaged;
    std::vector<unsigned char> lines(total);
    if (!decode(h + kHeader, available, lines.data(), total)) return PlainCopy::Damaged;

    // Some writers keep an alpha plane of zeros: then it means nothing.
    bool alphaUsed = false;
    for (int32_t y = 0; alpha && y < height && !alphaUsed; ++y) {
        const unsigned char* a = lines.data() + size_t(y) * scan + 3 * size_t(lineBytes);
        alphaUsed = std::any_of(a, a + width, [](unsigned char v) { return v != 0; });
    }

    // The plain picture: one plane of indices, or three of colour (on white).
    const uint32_t outPlanes = alpha ? 3 : 1;
    const size_t outLine = (size_t(width) + 1) & ~size_t(1);  // even, as PCX wants
    std::vector<unsigned char> row(outLine * outPlanes, 0);
    std::vector<unsigned char> out(kHeader, 0);
    std::memcpy(out.data(), h, kHeader);
    out[1] = 5;
    out[3] = 8;
    out[65] = uint8_t(outPlanes);
    put16le(out.data() + 66, uint32_t(outLine));
    put16le(out.data() + 68, 1);
    for (int32_t y = 0; y < height; ++y) {
        const unsigned char* in = lines.data() + size_t(y) * scan;
        if (alpha) {
            const unsigned char* a = in + 3 * size_t(lineBytes);
            for (uint32_t p = 0; p < 3; ++p) {
                const unsigned char* c = in + p * size_t(lineBytes);
                unsigned char* o = row.data() + p * outLine;
                for (int32_t x = 0; x < width; ++x)
                    o[x] =
                        alphaUsed ? uint8_t((c[x] * a[x] + 255 * (255 - a[x]) + 127) / 255) : c[x];
            }
        } else {
            for (int32_t x = 0; x < width; ++x) {
                uint32_t index = 0;
                if (bits == 1) {
                    for (uint32_t p = 0; p < planes; ++p)
                        index |= uint32_t(in[p * lineBytes + size_t(x) / 8] >> (7 - x % 8) & 1)
                                 << p;
                } else {
                    const size_t bit = size_t(x) * bits;
                    index = uint32_t(in[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
                }
                row[size_t(x)] = uint8_t(index);
            }
        }
        for (uint32_t p = 0; p < outPlanes; ++p) encode(row.data() + p * outLine, outLine, &out);
    }
    if (indexed) {
        // The header's 16 colours; files of version 3 rely on the standard ones.
        const unsigned char* colours = h[1] == 3 ? kEgaColours : h + 16;
        out.push_back(0x0C);
        const size_t at = out.size();
        out.resize(at + 768, 0);
        std::memcpy(out.data() + at, colours, 48);
    }
    *plain = std::move(out);
    return PlainCopy::Made;
}

}  // namespace kro::cli
