// Fuzz target: the raw Group 4 decoder of libpixo. The first five bytes give
// the line width (1 to 2048), the line count (1 to 2048) and the left edge
// (0 to 7) of the rectangle decoded; the rest is the coded stream. A picture
// that decodes must code again and decode to the same bits, and no bit
// outside the rectangle may change.
// Bad samples: g4-*
// Max length: 4096
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "kro/pixo.h"

namespace {

constexpr unsigned char kFill = 0xA5;

struct Bilevel {
    std::vector<unsigned char> bytes;
    RsImage im{};
    Bilevel(int32_t width, int32_t height) : bytes(size_t(width / 8) * size_t(height), kFill) {
        im.width = width;
        im.height = height;
        im.size = int32_t(bytes.size());
        im.format = KRO_FORMAT_RAW;
        im.depth = 1;
        im.data = bytes.data();
    }
    bool bit(int32_t x, int32_t y) const {
        return bytes[size_t(y) * size_t(im.width / 8) + size_t(x / 8)] & (0x80 >> (x % 8));
    }
};

RsImage codedImage(std::vector<unsigned char>& bytes) {
    RsImage c{};
    c.size = int32_t(bytes.size());
    c.format = KRO_FORMAT_G4;
    c.depth = 1;
    c.data = bytes.data();
    return c;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 6) return 0;
    const int32_t pels = int32_t((data[0] | data[1] << 8) % 2048) + 1;
    const int32_t lines = int32_t((data[2] | data[3] << 8) % 2048) + 1;
    const int32_t left = data[4] % 8;
    std::vector<unsigned char> stream(data + 5, data + size);
    const RsImage coded = codedImage(stream);

    Bilevel picture((left + pels + 7) / 8 * 8, lines);
    int32_t status = -1;
    const int32_t rc =
        GfxDecd(&coded, coded.size, &picture.im, left, 0, pels, lines, &status);
    if (rc == -1) {
        if (status != GFX_ST_CODING) std::abort();  // the rectangle itself is always sound
        return 0;
    }
    if (rc != 0 || status != GFX_ST_OK) std::abort();
    auto untouched = [&picture](int32_t x, int32_t y) {
        return picture.bit(x, y) == bool(kFill & (0x80 >> (x % 8)));
    };
    for (int32_t y = 0; y < lines; ++y) {
        for (int32_t x = 0; x < left; ++x)
            if (!untouched(x, y)) std::abort();
        for (int32_t x = left + pels; x < picture.im.width; ++x)
            if (!untouched(x, y)) std::abort();
    }

    // Code the rectangle again, with room for any coding of it.
    std::vector<unsigned char> recoded(size_t(pels) * size_t(lines) + 2 * size_t(lines) + 4);
    RsImage again = codedImage(recoded);
    if (GfxEncd(&picture.im, left, 0, pels, lines, &again, GFX_CODING_G4, &status) != 0)
        std::abort();
    Bilevel copy(picture.im.width, lines);
    if (GfxDecd(&again, again.codedLength, &copy.im, left, 0, pels, lines, &status) != 0)
        std::abort();
    for (int32_t y = 0; y < lines; ++y)
        for (int32_t x = left; x < left + pels; ++x)
            if (copy.bit(x, y) != picture.bit(x, y)) std::abort();
    return 0;
}
