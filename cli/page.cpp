// Pages on the GDI stand-in's Cairo device.
#include "cli/page.h"

namespace kro::cli {

HDC createPage(int32_t kind, int32_t width, int32_t height, int32_t dpi, const char* path,
               uint32_t flags) {
    return KroGdiCreateDevice(kind, width, height, dpi, path, flags);
}

int32_t nextPage(HDC dc, int32_t width, int32_t height) {
    return KroGdiNextPage(dc, width, height);
}

int32_t finishPage(HDC dc) {
    return KroGdiFinish(dc);
}

int32_t readPageRows(HDC dc, int32_t depth, unsigned char* rows, size_t rowBytes) {
    return KroGdiReadRows(dc, depth, rows, rowBytes);
}

bool pageHasColour(HDC dc) {
    int32_t width = 0, height = 0, stride = 0;
    const unsigned char* pixels = KroGdiPixels(dc, &width, &height, &stride);
    if (!pixels) return false;
    for (int32_t y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(pixels + size_t(y) * size_t(stride));
        for (int32_t x = 0; x < width; ++x) {
            const uint32_t rgb = row[x] & 0xFFFFFF;
            if (rgb != 0 && rgb != 0xFFFFFF) return true;
        }
    }
    return false;
}

void deletePage(HDC dc) {
    DeleteDC(dc);
}

}  // namespace kro::cli
