// Pages on the GDI stand-in's Cairo device.
#include "cli/page.h"

namespace kro::cli {

HDC createPage(int32_t kind, int32_t width, int32_t height, int32_t dpi, const char* path,
               uint32_t flags) {
    return KroGdiCreateDevice(kind, width, height, dpi, path, flags);
}

int32_t finishPage(HDC dc) {
    return KroGdiFinish(dc);
}

int32_t readPageRows(HDC dc, unsigned char* rows, size_t rowBytes) {
    return KroGdiReadRows(dc, 1, rows, rowBytes);
}

void deletePage(HDC dc) {
    DeleteDC(dc);
}

}  // namespace kro::cli
