// The Cairo device's entry points: making one, finishing it, and its pixels
// as rows and PNG files.
#include <cairo.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>

#include "cairo_device.h"

using namespace krogdi;

extern "C" {

HDC KroGdiCreateDevice(int32_t kind, int32_t width, int32_t height, int32_t resolution,
                       const char* path, uint32_t flags) {
    if (width <= 0 || height <= 0 || width > 32767 || height > 32767 || resolution <= 0)
        return nullptr;
    if (kind != KRO_GDI_IMAGE && ((kind != KRO_GDI_PDF && kind != KRO_GDI_SVG) || !path))
        return nullptr;
    auto device = std::unique_ptr<CairoDevice>(new (std::nothrow) CairoDevice(kind, width, height));
    if (!device || !device->open(resolution, path, flags)) return nullptr;
    device->resolution = resolution;
    return adoptDevice(std::move(device));
}

int32_t KroGdiFinish(HDC dc) {
    CairoDevice* d = cairoDevice(dc);
    return d && d->finish() ? 0 : -1;
}

int32_t KroGdiNextPage(HDC dc, int32_t width, int32_t height) {
    CairoDevice* d = cairoDevice(dc);
    return d && d->nextPage(width, height) ? 0 : -1;
}

const unsigned char* KroGdiPixels(HDC dc, int32_t* width, int32_t* height, int32_t* stride) {
    CairoDevice* d = cairoDevice(dc);
    int32_t s = 0;
    const unsigned char* data = d ? d->pixels(&s) : nullptr;
    if (!data) return nullptr;
    if (width) *width = d->width;
    if (height) *height = d->height;
    if (stride) *stride = s;
    return data;
}

int32_t KroGdiReadRows(HDC dc, int32_t depth, unsigned char* rows, size_t rowBytes) {
    int32_t w = 0, h = 0, stride = 0;
    const unsigned char* data = KroGdiPixels(dc, &w, &h, &stride);
    if (!data || !rows) return -1;
    const size_t need = depth == 24 ? size_t(w) * 3 : depth == 8 ? size_t(w) : (size_t(w) + 7) / 8;
    if ((depth != 1 && depth != 8 && depth != 24) || rowBytes < need) return -1;
    const auto gray = [](uint32_t px) {
        const unsigned r = (px >> 16) & 0xFF, g = (px >> 8) & 0xFF, b = px & 0xFF;
        return (r * 299 + g * 587 + b * 114 + 500) / 1000;
    };
    for (int32_t y = 0; y < h; ++y) {
        const uint32_t* in = reinterpret_cast<const uint32_t*>(data + size_t(y) * size_t(stride));
        unsigned char* out = rows + size_t(y) * rowBytes;
        if (depth == 24) {
            for (int32_t x = 0; x < w; ++x, out += 3)
                out[0] = uint8_t(in[x] >> 16), out[1] = uint8_t(in[x] >> 8),
                out[2] = uint8_t(in[x]);
        } else if (depth == 8) {
            for (int32_t x = 0; x < w; ++x) out[x] = uint8_t(gray(in[x]));
        } else {
            std::fill(out, out + need, 0);
            int32_t x = 0;
            for (; x + 8 <= w; x += 8) {
                uint32_t all = in[x];
                for (int k = 1; k < 8; ++k) all &= in[x + k];
                if (all == 0xFFFFFFFFu) continue;  // eight white pixels: most of a plot's page
                unsigned bits = 0;
                for (int k = 0; k < 8; ++k) bits = bits << 1 | (gray(in[x + k]) < 128);
                out[x >> 3] = uint8_t(bits);
            }
            for (; x < w; ++x)
                if (gray(in[x]) < 128) out[x >> 3] |= uint8_t(0x80u >> (x & 7));
        }
    }
    return 0;
}

int32_t KroGdiWritePNG(HDC dc, const char* path) {
    CairoDevice* d = cairoDevice(dc);
    int32_t stride = 0;
    if (!d || !path || !d->pixels(&stride)) return -1;
    return cairo_surface_write_to_png(d->surface(), path) == CAIRO_STATUS_SUCCESS ? 0 : -1;
}

}  // extern "C"
