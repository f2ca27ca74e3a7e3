// The 768-byte palette that travels with a picture, seen as its three planes:
// 256 reds, then 256 greens, then 256 blues.
#pragma once

#include <cstdint>

namespace kro {

template <typename Byte>
struct PlanesOf {
    Byte* red;
    Byte* green;
    Byte* blue;
    explicit PlanesOf(Byte* palette) : red(palette), green(palette + 256), blue(palette + 512) {}
    // A writable palette may be read as a read-only one.
    template <typename Other>
    PlanesOf(PlanesOf<Other> p) : red(p.red), green(p.green), blue(p.blue) {}
};

using Palette = PlanesOf<unsigned char>;
using ConstPalette = PlanesOf<const unsigned char>;

inline void setEntry(Palette p, int i, uint8_t r, uint8_t g, uint8_t b) {
    p.red[i] = r, p.green[i] = g, p.blue[i] = b;
}

// The plain ramp of a gray picture: black to white, or white to black when
// 0 is white.
inline void fillGrayRamp(Palette p, bool whiteIsZero) {
    for (int i = 0; i < 256; ++i) {
        const auto v = uint8_t(whiteIsZero ? 255 - i : i);
        setEntry(p, i, v, v, v);
    }
}

// Entries as files store them, red, green, blue each, from and to the planes.
inline void fromTriples(Palette p, const unsigned char* rgb, int count) {
    for (int i = 0; i < count; ++i, rgb += 3) setEntry(p, i, rgb[0], rgb[1], rgb[2]);
}
inline void toTriples(ConstPalette p, unsigned char* rgb, int count) {
    for (int i = 0; i < count; ++i, rgb += 3)
        rgb[0] = p.red[i], rgb[1] = p.green[i], rgb[2] = p.blue[i];
}

// Whether entry i is a gray (its three planes agree).
inline bool isGray(ConstPalette p, int i) {
    return p.red[i] == p.green[i] && p.green[i] == p.blue[i];
}

}  // namespace kro
