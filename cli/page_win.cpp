// Pages on Windows: a 32-bit top-down DIB section selected into a memory DC,
// drawn on by GDI32 through the renderer.
#include <cstring>
#include <map>

#include "cli/page.h"

namespace kro::cli {

namespace {

struct Page {
    HBITMAP bitmap;
    HGDIOBJ old;
    const uint32_t* bits;  // 0x00RRGGBB, rows top-down
    int32_t width, height;
};

std::map<HDC, Page>& pages() {
    static std::map<HDC, Page> all;
    return all;
}

}  // namespace

HDC createPage(int32_t kind, int32_t width, int32_t height, int32_t, const char*, uint32_t) {
    if (kind != KRO_GDI_IMAGE || width < 1 || height < 1) return nullptr;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) return nullptr;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap || !bits) {
        if (bitmap) DeleteObject(bitmap);
        DeleteDC(dc);
        return nullptr;
    }
    std::memset(bits, 0xFF, size_t(width) * size_t(height) * 4);
    HGDIOBJ old = SelectObject(dc, bitmap);
    pages()[dc] = Page{bitmap, old, static_cast<const uint32_t*>(bits), width, height};
    return dc;
}

int32_t nextPage(HDC, int32_t, int32_t) {
    return -1;
}

int32_t finishPage(HDC) {
    return -1;
}

int32_t readPageRows(HDC dc, int32_t depth, unsigned char* rows, size_t rowBytes) {
    auto it = pages().find(dc);
    if (it == pages().end()) return -1;
    const Page& p = it->second;
    const size_t need = depth == 24 ? size_t(p.width) * 3 : (size_t(p.width) + 7) / 8;
    if ((depth != 1 && depth != 24) || rowBytes < need) return -1;
    GdiFlush();
    if (depth == 24) {
        for (int32_t y = 0; y < p.height; ++y) {
            unsigned char* out = rows + size_t(y) * rowBytes;
            const uint32_t* in = p.bits + size_t(y) * size_t(p.width);
            for (int32_t x = 0; x < p.width; ++x) {
                out[3 * x] = uint8_t(in[x] >> 16);
                out[3 * x + 1] = uint8_t(in[x] >> 8);
                out[3 * x + 2] = uint8_t(in[x]);
            }
        }
        return 0;
    }
    for (int32_t y = 0; y < p.height; ++y) {
        unsigned char* out = rows + size_t(y) * rowBytes;
        std::memset(out, 0, rowBytes);
        const uint32_t* in = p.bits + size_t(y) * size_t(p.width);
        for (int32_t x = 0; x < p.width; ++x) {
            const uint32_t c = in[x];
            const uint32_t gray =
                (((c >> 16) & 255) * 299 + ((c >> 8) & 255) * 587 + (c & 255) * 114) / 1000;
            if (gray < 128) out[x / 8] |= uint8_t(0x80u >> (x % 8));
        }
    }
    return 0;
}

bool pageHasColour(HDC dc) {
    auto it = pages().find(dc);
    if (it == pages().end()) return false;
    const Page& p = it->second;
    GdiFlush();
    for (size_t i = 0; i < size_t(p.width) * size_t(p.height); ++i) {
        const uint32_t rgb = p.bits[i] & 0xFFFFFF;
        if (rgb != 0 && rgb != 0xFFFFFF) return true;
    }
    return false;
}

void deletePage(HDC dc) {
    auto it = pages().find(dc);
    if (it == pages().end()) return;
    SelectObject(dc, it->second.old);
    DeleteObject(it->second.bitmap);
    DeleteDC(dc);
    pages().erase(it);
}

}  // namespace kro::cli
