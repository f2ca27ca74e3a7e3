// Colour-type conversion of a raster image as the job's colour options ask:
// gamma, then one change of colour type, then a reduction of colours or gray
// levels, then a final dithering to bilevel. The pixel work is the
// raster-processing library's; this file makes the decisions and owns the
// intermediate images.
#include "transform/conv_image.h"

#include "core/image.h"
#include "core/pixels.h"
#include "kro/pixo.h"

namespace kro {

namespace {

unsigned char* defaultAllocate(uint64_t bytes, bool zeroed) {
    return zeroed ? allocZeroed(bytes) : allocPixels(bytes);
}
void defaultRelease(void* block) {
    std::free(block);
}

ConvImageMemory gMemory{defaultAllocate, defaultRelease};

}  // namespace

void setConvImageMemory(const ConvImageMemory* memory) {
    gMemory = memory ? *memory : ConvImageMemory{defaultAllocate, defaultRelease};
}

}  // namespace kro

namespace {

using kro::fail;

enum class Conversion { Dither, ToGray, ToPalette, ToRgb, Copy };

// An intermediate image that owns its buffer until handed over.
struct Result {
    RsImage im{};
    int32_t photometric = 0;

    Result() = default;
    Result(const Result&) = delete;
    Result& operator=(const Result&) = delete;
    ~Result() { kro::gMemory.release(im.data); }

    // A raw image of the given shape with a fresh buffer; false when the
    // buffer cannot be had (the status is stored).
    bool make(int32_t width, int32_t height, int32_t depth, bool zeroed) {
        const uint64_t bytes = kro::pixelBytes(width, height, depth);
        if (bytes > uint64_t(INT32_MAX)) {
            fail(KRO_ERR_SIZE);
            return false;
        }
        im = RsImage{};
        im.width = width, im.height = height, im.depth = depth;
        im.format = KRO_FORMAT_RAW;
        im.size = int32_t(bytes);
        im.data = kro::gMemory.allocate(bytes, zeroed);
        if (!im.data) {
            fail(KRO_ERR_NOMEM);
            return false;
        }
        return true;
    }
    void discard() {
        kro::gMemory.release(im.data);
        im.data = nullptr;
    }
    // Gives the image to the caller's record; this no longer owns the buffer.
    void handTo(RsImage* dst) {
        *dst = im;
        im.data = nullptr;
    }
};

int32_t checkSource(const RsImage* src, int32_t photometric) {
    if (!src || !src->data) return KRO_ERR_NULL;
    if (!kro::sideInRange(src->width) || !kro::sideInRange(src->height)) return KRO_ERR_SIZE;
    if (src->depth != 8 && src->depth != 24) return KRO_ERR_DEPTH;
    if (src->format != KRO_FORMAT_RAW) return KRO_ERR_FORMAT;
    if (photometric < 0 || photometric > 3) return KRO_ERR_PHOTOMETRIC;
    if ((photometric == KRO_PHOTO_RGB) != (src->depth == 24)) return KRO_ERR_DEPTH;
    if (!kro::sizeCoversRows(*src)) return KRO_ERR_SIZE;
    return 0;
}

Conversion choose(int32_t photometric) {
    const KroIntSlot& ct = kroOption.colortype;
    const bool gray =
        photometric == KRO_PHOTO_WHITE_IS_ZERO || photometric == KRO_PHOTO_BLACK_IS_ZERO;
    switch (ct.value) {
        case KRO_COLORTYPE_BILEVEL:
            return Conversion::Dither;
        case KRO_COLORTYPE_GRAYSCALE:
            if (gray) return Conversion::Copy;
            if (photometric == KRO_PHOTO_RGB)
                return ct.given ? Conversion::ToGray : Conversion::Copy;
            return Conversion::ToGray;
        case KRO_COLORTYPE_RGB:
            return photometric == KRO_PHOTO_PALETTE ? Conversion::ToRgb : Conversion::Copy;
        case KRO_COLORTYPE_PALETTE:
            return photometric == KRO_PHOTO_RGB && ct.given ? Conversion::ToPalette
                                                            : Conversion::Copy;
        default:
            return Conversion::Copy;
    }
}

// Colours or gray levels that a reduction to level keeps, or 0 where level
// does not apply: a 24-bit picture gets a palette of level shades of each
// primary, an 8-bit one (gray or palette) level entries.
int32_t levelCount(int32_t level, int32_t depth) {
    if (depth == 24) return level >= 2 && level <= 6 ? level * level * level : 0;
    return level >= 1 && level <= 255 ? level : 0;
}

int32_t roundUp8(int32_t side) {
    return int32_t((int64_t(side) + 7) / 8 * 8);
}

// Every 8-bit pixel becomes the red, green and blue of its palette entry.
void expandToRgb(const RsImage& src, const unsigned char* palette, RsImage* out) {
    const size_t n = size_t(src.width) * size_t(src.height);
    const unsigned char* in = src.data;
    unsigned char* o = out->data;
    for (size_t i = 0; i < n; ++i, o += 3) {
        o[0] = palette[in[i]];
        o[1] = palette[256 + in[i]];
        o[2] = palette[512 + in[i]];
    }
}

}  // namespace

extern "C" KRO_API int32_t KroConvImage(RsImage* src, int32_t photometric,
                                        const unsigned char palette[768], RsImage* dst,
                                        int32_t* dstPhotometric, unsigned char dstPalette[768]) {
    if (dstPhotometric) *dstPhotometric = 0;
    if (int32_t code = checkSource(src, photometric)) return fail(code);
    if (!dst || !dstPhotometric || !dstPalette) return fail(KRO_ERR_NULL);
    if (photometric == KRO_PHOTO_PALETTE && !palette) return fail(KRO_ERR_NULL);

    const KroOption& o = kroOption;
    int32_t count = 216;
    bool reducible = false;
    if (o.level.given) {
        if (const int32_t n = levelCount(o.level.value, src->depth)) count = n, reducible = true;
    }
    const int32_t ditherFlag = o.dithes.given ? 1 : 0;
    const int32_t ditherCode = o.dithes.given ? o.dithes.value : 0;

    unsigned char work[768] = {};
    if (photometric == KRO_PHOTO_PALETTE) std::memcpy(work, palette, sizeof work);

    int32_t status = 0;
    if (o.gamma.given) {
        RsImage view{};
        view.width = src->width, view.height = src->height, view.size = src->size;
        view.format = KRO_FORMAT_RAW, view.depth = src->depth, view.data = src->data;
        unsigned char corrected[768];
        if (GfxGtbl(&view, photometric, work, o.gamma.value, src, corrected, &status) == -1)
            return fail(KRO_ERR_GAMMA);
        if (photometric == KRO_PHOTO_PALETTE) std::memcpy(work, corrected, sizeof work);
    }

    const Conversion conversion = choose(photometric);
    const int32_t vw = src->validWidth, vh = src->validHeight;
    Result first;
    switch (conversion) {
        case Conversion::Dither:
            if (!first.make(roundUp8(src->width), src->height, 1, true)) return -1;
            if (GfxMdsp(src, 0, 0, vw, vh, photometric, work, &first.im, 0, 0, ditherFlag,
                        ditherCode, &status) == -1)
                return fail(KRO_ERR_DITHER);
            first.handTo(dst);
            return 0;  // bilevel is final: level and dithering have nothing left to do
        case Conversion::ToGray:
            if (!first.make(src->width, src->height, 8, true)) return -1;
            if (GfxCtog(src, 0, 0, vw, vh, work, &first.im, 0, 0, 0, &status) == -1)
                return fail(KRO_ERR_TO_GRAY);
            first.photometric = KRO_PHOTO_BLACK_IS_ZERO;
            // The gray result is reduced as an 8-bit picture: to level grays,
            // not level cubed, which counts the colours of an RGB palette.
            if (o.level.given) {
                const int32_t n = levelCount(o.level.value, 8);
                count = n ? n : 216, reducible = n != 0;
            }
            break;
        case Conversion::ToPalette:
            if (!first.make(src->width, src->height, 8, true)) return -1;
            if (GfxCdsp(src, 0, 0, vw, vh, count, 0, &first.im, 0, 0, work, &status) == -1)
                return fail(KRO_ERR_TO_PALETTE);
            first.photometric = KRO_PHOTO_PALETTE;
            reducible = false;
            break;
        case Conversion::ToRgb:
            if (!first.make(src->width, src->height, 24, false)) return -1;
            expandToRgb(*src, work, &first.im);
            first.im.validWidth = vw, first.im.validHeight = vh;
            first.photometric = KRO_PHOTO_RGB;
            reducible = false;
            break;
        case Conversion::Copy:
            if (!first.make(src->width, src->height, src->depth, false)) return -1;
            std::memcpy(first.im.data, src->data, size_t(first.im.size));
            first.im.validWidth = vw, first.im.validHeight = vh;
            first.photometric = photometric;
            break;
    }

    Result reducedResult;
    Result* second = &first;
    if (reducible) {
        const RsImage& in = first.im;
        if (!reducedResult.make(in.width, in.height, 8, true)) return -1;
        if (first.photometric == KRO_PHOTO_RGB) {
            if (GfxCdsp(&in, 0, 0, in.validWidth, in.validHeight, count, 0, &reducedResult.im, 0, 0,
                        work, &status) == -1)
                return fail(KRO_ERR_TO_PALETTE);
            reducedResult.photometric = KRO_PHOTO_PALETTE;
        } else {
            unsigned char reduced[768];
            int32_t used = 0;
            if (GfxPlet(&in, 0, 0, in.validWidth, in.validHeight, first.photometric, work, count, 0,
                        &reducedResult.im, 0, 0, reduced, &used, &status) == -1)
                return fail(KRO_ERR_LEVELS);
            reducedResult.photometric = first.photometric;
            if (first.photometric == KRO_PHOTO_PALETTE) {
                std::memcpy(work, reduced, sizeof work);
            } else {  // back from indices to the gray levels they stand for
                unsigned char* p = reducedResult.im.data;
                for (int32_t i = 0; i < reducedResult.im.size; ++i) p[i] = reduced[p[i]];
            }
        }
        first.discard();
        second = &reducedResult;
    }

    if (o.dithes.given || o.dithee.given) {
        Result bilevel;
        const RsImage& in = second->im;
        if (!bilevel.make(roundUp8(in.width), in.height, 1, true)) return -1;
        if (GfxMdsp(&in, 0, 0, in.validWidth, in.validHeight, second->photometric, work,
                    &bilevel.im, 0, 0, ditherFlag, ditherCode, &status) == -1)
            return fail(KRO_ERR_DITHER);
        bilevel.handTo(dst);
        return 0;
    }

    const int32_t resultPhotometric = second->photometric;
    second->handTo(dst);
    if (resultPhotometric == KRO_PHOTO_PALETTE) std::memcpy(dstPalette, work, sizeof work);
    *dstPhotometric = resultPhotometric;
    return 0;
}
