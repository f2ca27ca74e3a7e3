// PNG files through libpng: every colour type read as a 1-, 8- or 24-bit
// picture with transparency laid on white; 1-bit gray, 8-bit gray or palette
// and 24-bit RGB written, the resolution in pHYs.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/image.h"
#include "core/palette.h"
#include "codecs/variants.h"
#include "core/pixels.h"

#ifdef KRO_HAVE_PNG
#include <png.h>

#include <csetjmp>

namespace {

// What a deflated byte can stand for at most (1032 to 1), with room for the
// filter byte of each row: a file shorter than its picture allows is refused
// before the picture is allocated.
constexpr uint64_t kLargestExpansion = 1100;

// libpng reports errors by longjmp; the frames that call it keep only
// trivially destructible locals, and every buffer lives in this context.
struct ReadContext {
    png_structp png = nullptr;
    png_infop info = nullptr;
    unsigned char* pixels = nullptr;  // the picture, until handed over
    png_bytep* rows = nullptr;
    ~ReadContext() {
        png_destroy_read_struct(&png, &info, nullptr);
        std::free(pixels);
        std::free(rows);
    }
};

void quietWarning(png_structp, png_const_charp) {}
void stopOnError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

// libpng sizes a chunk's buffer by the length the chunk declares, before it
// reads a byte of it: a 70-byte file can ask for a gigabyte. Its own buffers
// (rows of at most 256 KiB, the inflate window, chunks that the file holds)
// stay below this bound; a larger request is refused, and libpng skips the
// chunk or fails the file.
struct AllocLimit {
    uint64_t largest;
};
png_voidp boundedAlloc(png_structp png, png_alloc_size_t n) {
    const auto* limit = static_cast<const AllocLimit*>(png_get_mem_ptr(png));
    if (limit && n > limit->largest) return nullptr;
    return std::malloc(n ? n : 1);
}
void boundedFree(png_structp, png_voidp p) { std::free(p); }

struct Picture {
    int32_t width, height, depth, photometric;
    uint64_t bytes;
    int32_t resolution[2];
};

// The picture's form once libpng's transformations are set: 1-bit gray
// stays packed; everything else becomes a byte a sample, with alpha where
// the file has any transparency.
int32_t setUp(ReadContext* c, int64_t fileLength, Picture* out, bool* alpha, bool* palette) {
    png_structp png = c->png;
    png_infop info = c->info;
    png_read_info(png, info);
    const png_uint_32 w = png_get_image_width(png, info), h = png_get_image_height(png, info);
    if (!kro::sideInRange(w) || !kro::sideInRange(h)) return KRO_ERR_SIZE;
    const int bits = png_get_bit_depth(png, info), type = png_get_color_type(png, info);
    const uint64_t channels = png_get_channels(png, info);
    const uint64_t declared = (uint64_t(w) * bits * channels + 7) / 8 * h;
    if (fileLength >= 0 && declared > uint64_t(fileLength) * kLargestExpansion)
        return KRO_ERR_PNG;
    const bool trns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    *palette = type == PNG_COLOR_TYPE_PALETTE;
    *alpha = false;
    int32_t depth = 24;
    if (*palette) {
        if (bits < 8) png_set_packing(png);
        depth = 8;  // transparent entries are laid on white in the palette
    } else if ((type & PNG_COLOR_MASK_COLOR) == 0) {
        depth = bits == 1 && !trns ? 1 : 8;
        if (bits < 8 && depth == 8) png_set_expand_gray_1_2_4_to_8(png);
    }
    if (bits == 16) png_set_scale_16(png);
    if (!*palette && trns) png_set_tRNS_to_alpha(png);
    *alpha = !*palette && (trns || (type & PNG_COLOR_MASK_ALPHA));
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    out->width = depth == 1 ? int32_t((w + 7) & ~7u) : int32_t(w);
    out->height = int32_t(h);
    out->depth = depth;
    out->photometric = depth == 24 ? KRO_PHOTO_RGB
                       : *palette  ? KRO_PHOTO_PALETTE
                                   : KRO_PHOTO_BLACK_IS_ZERO;
    out->bytes = kro::pixelBytes(out->width, out->height, depth);
    if (out->bytes > uint64_t(INT32_MAX)) return KRO_ERR_SIZE;
    out->resolution[0] = out->resolution[1] = -1;
    png_uint_32 x = 0, y = 0;
    int unit = 0;
    if (png_get_pHYs(png, info, &x, &y, &unit) && unit == PNG_RESOLUTION_METER && x > 0 && y > 0) {
        out->resolution[0] = int32_t(std::lround(x * 0.0254));
        out->resolution[1] = int32_t(std::lround(y * 0.0254));
        if (out->resolution[0] < 1 || out->resolution[1] < 1)
            out->resolution[0] = out->resolution[1] = -1;
    }
    return 0;
}

// Rows decoded into c->pixels; with alpha, into a wider buffer first.
bool decodeRows(ReadContext* c, const Picture& p, size_t rowBytes) {
    if (setjmp(png_jmpbuf(c->png))) return false;
    for (int32_t y = 0; y < p.height; ++y) c->rows[y] = c->pixels + size_t(y) * rowBytes;
    png_read_image(c->png, c->rows);
    png_read_end(c->png, nullptr);
    return true;
}

bool readHeader(ReadContext* c, int64_t length, Picture* p, bool* alpha, bool* palette,
                int32_t* code) {
    if (setjmp(png_jmpbuf(c->png))) return false;
    *code = setUp(c, length, p, alpha, palette);
    return true;
}

int32_t readPng(FILE* stream, RsImage* image, int32_t* photometric, int32_t resolution[2],
                unsigned char palette[768]) {
    if (!stream || !image || !photometric || !resolution || !palette) return KRO_ERR_NULL;
    const int64_t length = kro::streamLength(stream);
    AllocLimit limit{(1u << 20) + uint64_t(length >= 0 ? length : 16 << 20)};
    ReadContext c;
    c.png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, nullptr, stopOnError, quietWarning,
                                     &limit, boundedAlloc, boundedFree);
    if (!c.png) return KRO_ERR_NOMEM;
    c.info = png_create_info_struct(c.png);
    if (!c.info) return KRO_ERR_NOMEM;
    png_set_user_limits(c.png, KRO_MAX_SIDE, KRO_MAX_SIDE);
    png_set_chunk_malloc_max(c.png, 8u << 20);
    png_init_io(c.png, stream);

    Picture p{};
    bool alpha = false, hasPalette = false;
    int32_t code = 0;
    if (!readHeader(&c, length, &p, &alpha, &hasPalette, &code)) return KRO_ERR_PNG;
    if (code) return code;
    const size_t samples = p.depth == 24 ? 3 : 1;
    const size_t rowBytes =
        alpha ? size_t(p.width) * (samples + 1) : size_t(kro::rowBytes(p.width, p.depth));
    uint64_t decodedBytes;
    if (!kro::checkedMul(rowBytes, uint64_t(p.height), &decodedBytes)) return KRO_ERR_SIZE;
    c.pixels = kro::allocPixels(decodedBytes);
    c.rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * size_t(p.height)));
    if (!c.pixels || !c.rows) return KRO_ERR_NOMEM;
    if (!decodeRows(&c, p, rowBytes)) return KRO_ERR_PNG;

    std::memset(palette, 0, KRO_PALETTE_SIZE);
    const kro::Palette planes(palette);
    if (hasPalette) {
        png_colorp entries = nullptr;
        int count = 0;
        png_get_PLTE(c.png, c.info, &entries, &count);
        png_bytep opacity = nullptr;
        int opaqueCount = 0;
        png_get_tRNS(c.png, c.info, &opacity, &opaqueCount, nullptr);
        for (int i = 0; i < count && i < 256; ++i) {
            const uint32_t a = i < opaqueCount && opacity ? opacity[i] : 255;
            kro::setEntry(planes, i, kro::overWhite(entries[i].red, a),
                          kro::overWhite(entries[i].green, a), kro::overWhite(entries[i].blue, a));
        }
    } else if (p.depth == 8) {
        kro::fillGrayRamp(planes, false);
    } else if (p.depth == 1) {
        kro::setEntry(planes, 1, 255, 255, 255);
    }
    if (alpha) {  // lay the samples on white, in place: each pixel shrinks by its alpha byte
        unsigned char* d = c.pixels;
        const unsigned char* s = c.pixels;
        const uint64_t pixels = uint64_t(p.width) * uint64_t(p.height);
        for (uint64_t i = 0; i < pixels; ++i, s += samples + 1)
            for (size_t k = 0; k < samples; ++k) *d++ = kro::overWhite(s[k], s[samples]);
    }
    kro::handOverPicture(image, p.width, p.height, p.depth, p.bytes, c.pixels,
                         int32_t(png_get_image_width(c.png, c.info)), p.height);
    c.pixels = nullptr;
    *photometric = p.photometric;
    resolution[0] = p.resolution[0];
    resolution[1] = p.resolution[1];
    return 0;
}

struct WriteContext {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~WriteContext() { png_destroy_write_struct(&png, &info); }
};

bool encode(WriteContext* c, FILE* stream, const RsImage& im, int32_t width, int32_t photometric,
            const unsigned char* palette, const int32_t* resolution, int colours) {
    png_structp png = c->png;
    png_infop info = c->info;
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, stream);
    const int type = im.depth == 24                     ? PNG_COLOR_TYPE_RGB
                     : photometric == KRO_PHOTO_PALETTE ? PNG_COLOR_TYPE_PALETTE
                                                        : PNG_COLOR_TYPE_GRAY;
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(im.height), im.depth == 1 ? 1 : 8,
                 type, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (type == PNG_COLOR_TYPE_PALETTE) {
        png_color entries[256];
        const kro::ConstPalette p(palette);
        for (int i = 0; i < colours; ++i) entries[i] = {p.red[i], p.green[i], p.blue[i]};
        png_set_PLTE(png, info, entries, colours);
    }
    if (im.depth == 1) png_set_filter(png, 0, PNG_FILTER_NONE);
    if (resolution && resolution[0] > 0) {
        const int32_t yDpi = resolution[1] > 0 ? resolution[1] : resolution[0];
        png_set_pHYs(png, info, png_uint_32(std::lround(resolution[0] / 0.0254)),
                     png_uint_32(std::lround(yDpi / 0.0254)), PNG_RESOLUTION_METER);
    }
    png_write_info(png, info);
    // PNG gray has 0 black; the pictures whose 0 is white are inverted on the way.
    if (type == PNG_COLOR_TYPE_GRAY && photometric == KRO_PHOTO_WHITE_IS_ZERO)
        png_set_invert_mono(png);
    const size_t stride = size_t(kro::rowBytes(im.width, im.depth));
    for (int32_t y = 0; y < im.height; ++y)
        png_write_row(png, im.data + size_t(y) * stride);
    png_write_end(png, info);
    return true;
}

int32_t writePng(FILE* stream, const RsImage* image, int32_t photometric,
                 const unsigned char* palette, const int32_t* resolution) {
    if (!stream) return KRO_ERR_NULL;
    if (int32_t code = kro::rawImageProblem(image)) return code;
    const int32_t depth = image->depth;
    if (int32_t code = kro::photometricProblem(depth, photometric, palette)) return code;
    if (resolution && (resolution[0] > 54546084 || resolution[1] > 54546084))
        return KRO_ERR_RESOLUTION;  // beyond the 32-bit dots per metre
    const int32_t width = kro::shownWidth(*image);
    // A palette as long as the highest index used.
    int colours = 0;
    if (photometric == KRO_PHOTO_PALETTE) {
        const size_t stride = size_t(image->width);
        for (int32_t y = 0; y < image->height && colours < 256; ++y)
            for (int32_t x = 0; x < width; ++x)
                colours = std::max(colours, image->data[size_t(y) * stride + size_t(x)] + 1);
    }
    WriteContext c;
    c.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, stopOnError, quietWarning);
    if (!c.png) return KRO_ERR_NOMEM;
    c.info = png_create_info_struct(c.png);
    if (!c.info) return KRO_ERR_NOMEM;
    if (!encode(&c, stream, *image, width, photometric, palette, resolution, colours))
        return std::ferror(stream) ? KRO_ERR_IO : KRO_ERR_PNG;
    if (std::fflush(stream) != 0 || std::ferror(stream)) return KRO_ERR_IO;
    return 0;
}

}  // namespace

#else  // a build without libpng (Windows)

namespace {

int32_t readPng(FILE*, RsImage*, int32_t*, int32_t*, unsigned char*) { return KRO_ERR_UNAVAILABLE; }
int32_t writePng(FILE*, const RsImage*, int32_t, const unsigned char*, const int32_t*) {
    return KRO_ERR_UNAVAILABLE;
}

}  // namespace

#endif

extern "C" {

KRO_API int32_t KroPNGToRsImage(FILE* stream, RsImage* image, int32_t* photometric,
                                int32_t resolution[2], unsigned char palette[768]) {
    if (photometric) *photometric = 0;
    return kro::report(readPng(stream, image, photometric, resolution, palette));
}

KRO_API int32_t KroRsImageToPNG(FILE* stream, const RsImage* image, int32_t photometric,
                                const unsigned char palette[768], const int32_t resolution[2]) {
    return kro::report(writePng(stream, image, photometric, palette, resolution));
}

}  // extern "C"
