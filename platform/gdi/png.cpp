// PNG files of an image device at the depth the picture needs, through libpng
// with a chosen zlib level: bilevel pages are an eighth of the data to squeeze.
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <vector>

#include "kro/gdi.h"

namespace {

struct Page {
    HDC dc;
    int32_t width, height, resolution, depth, level;
    std::vector<unsigned char>* rows;  // every row, converted
    size_t rowBytes;
};

// libpng reports errors by longjmp; this frame keeps only trivially destructible locals.
bool writePng(FILE* file, const Page& page) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    if (page.level >= 0) png_set_compression_level(png, page.level);
    const int colour = page.depth == 24 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY;
    png_set_IHDR(png, info, png_uint_32(page.width), png_uint_32(page.height),
                 page.depth == 1 ? 1 : 8, colour, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (page.depth == 1) png_set_filter(png, 0, PNG_FILTER_NONE);
    const png_uint_32 perMetre = png_uint_32(page.resolution / 0.0254 + 0.5);
    png_set_pHYs(png, info, perMetre, perMetre, PNG_RESOLUTION_METER);
    png_write_info(png, info);
    if (page.depth == 1) png_set_invert_mono(png);  // the rows hold 1 for black, PNG gray 0
    for (int32_t y = 0; y < page.height; ++y)
        png_write_row(png, page.rows->data() + size_t(y) * page.rowBytes);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

extern "C" int32_t KroGdiWritePNGStream(HDC dc, FILE* stream, int32_t depth, int32_t level) {
    Page page{dc, 0, 0, 0, depth, level, nullptr, 0};
    if (!stream || !KroGdiPixels(dc, &page.width, &page.height, nullptr)) return -1;
    if ((depth != 1 && depth != 8 && depth != 24) || level < -1 || level > 9) return -1;
    KroGdiGetSize(dc, nullptr, nullptr, &page.resolution);
    page.rowBytes =
        depth == 1 ? (size_t(page.width) + 7) / 8 : size_t(page.width) * size_t(depth / 8);
    std::vector<unsigned char> rows;
    try {
        rows.resize(page.rowBytes * size_t(page.height));
    } catch (const std::bad_alloc&) {
        return -1;
    }
    if (KroGdiReadRows(dc, depth, rows.data(), page.rowBytes) != 0) return -1;
    page.rows = &rows;
    return writePng(stream, page) ? 0 : -1;
}

extern "C" int32_t KroGdiWritePNGDepth(HDC dc, const char* path, int32_t depth, int32_t level) {
    if (!path || !KroGdiPixels(dc, nullptr, nullptr, nullptr)) return -1;
    if ((depth != 1 && depth != 8 && depth != 24) || level < -1 || level > 9) return -1;
    FILE* file = std::fopen(path, "wb");
    if (!file) return -1;
    const bool ok = KroGdiWritePNGStream(dc, file, depth, level) == 0;
    if (std::fclose(file) != 0 || !ok) {
        std::remove(path);
        return -1;
    }
    return 0;
}
