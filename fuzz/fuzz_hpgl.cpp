// Fuzz target: plot text, raw and cleaned, through the extents walker. Every
// input gives a result and a code; nothing is read past the bytes given.
// Bad samples: hpgl-*
// Max length: 65536
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "hpgl/hpgl.h"
#include "kro/kro.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > INT32_MAX - 1) return 0;
    double xMax, yMax, xMin, yMin;
    // The raw bytes, without a NUL: the length alone bounds the walk.
    std::vector<char> raw(data, data + size);
    int32_t plot = size ? data[0] % 16 : 0;
    int32_t iw = 701;
    Kro_MAX_MIN(raw.data(), int32_t(size), plot, size % 2, &iw, &xMax, &yMax, &xMin, &yMin);

    std::vector<char> text(data, data + size);
    text.push_back('\0');
    size_t n = kro::hpgl::normalizePlotText(text.data(), size);
    if (n > size || text[n] != '\0') std::abort();
    int32_t rc =
        Kro_MAX_MIN(text.data(), int32_t(n + 1), plot, 0, nullptr, &xMax, &yMax, &xMin, &yMin);
    if (rc != 0) std::abort();  // no plot text makes the walk fail
    return 0;
}
