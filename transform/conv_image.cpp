// Colour-type conversion of a raster image as the job's colour options ask:
// gamma, then one change of colour type, then a reduction of colours or gray
// levels, then a final dithering to bilevel. The pixel work is the
// raster-processing library's; this file makes the decisions and owns the
// intermediate images.
#include "transform/conv_image.h"

#include "core/image.h"
#include "core/palette.h"
#include "core/pixels.h"
#include "kro/pixo.h"

namespace {

using kro::ConvImageContext;
using kro::ConvImageMemory;

enum class Conversion { Dither, ToGray, ToPalette, ToRgb, Copy };

// Colours of the palette a 24-bit picture is quantised to when no level says otherwise.
constexpr int32_t kDefaultColours = 216;

// An intermediate image that owns its buffer until handed over.
class Result {
  public:
    explicit Result(const ConvImageMemory& memory) : memory_(memory) {}
    Result(const Result&) = delete;
    Result& operator=(const Result&) = delete;
    ~Result() { memory_.release(im.data); }

    // A raw image of the given shape with a fresh buffer; 0 or the status code.
    int32_t make(int32_t width, int32_t height, int32_t depth, bool zeroed) {
        const uint64_t bytes = kro::pixelBytes(width, height, depth);
        if (bytes > uint64_t(INT32_MAX)) return KRO_ERR_SIZE;
        im = RsImage{};
        im.width = width, im.height = height, im.depth = depth;
        im.format = KRO_FORMAT_RAW;
        im.size = int32_t(bytes);
        im.data = memory_.allocate(bytes, zeroed);
        return im.data ? 0 : KRO_ERR_NOMEM;
    }
    // Gives the image to the caller's record; this no longer owns the buffer.
    void handTo(RsImage* dst) {
        *dst = im;
        im.data = nullptr;
    }

    RsImage im{};
    int32_t photometric = 0;

  private:
    const ConvImageMemory& memory_;
};

int32_t checkArguments(const RsImage* src, int32_t photometric, const unsigned char* palette,
                       const RsImage* dst, const int32_t* dstPhotometric,
                       const unsigned char* dstPalette) {
    if (!src || !src->data) return KRO_ERR_NULL;
    if (!kro::sideInRange(src->width) || !kro::sideInRange(src->height)) return KRO_ERR_SIZE;
    if (src->depth != 8 && src->depth != 24) return KRO_ERR_DEPTH;
    if (src->format != KRO_FORMAT_RAW) return KRO_ERR_FORMAT;
    if (photometric < 0 || photometric > 3) return KRO_ERR_PHOTOMETRIC;
    if ((photometric == KRO_PHOTO_RGB) != (src->depth == 24)) return KRO_ERR_DEPTH;
    if (!kro::sizeCoversRows(*src)) return KRO_ERR_SIZE;
    if (!dst || !dstPhotometric || !dstPalette) return KRO_ERR_NULL;
    if (photometric == KRO_PHOTO_PALETTE && !palette) return KRO_ERR_NULL;
    return 0;
}

Conversion choose(const KroIntSlot& colortype, int32_t photometric) {
    const bool gray =
        photometric == KRO_PHOTO_WHITE_IS_ZERO || photometric == KRO_PHOTO_BLACK_IS_ZERO;
    switch (colortype.value) {
        case KRO_COLORTYPE_BILEVEL:
            return Conversion::Dither;
        case KRO_COLORTYPE_GRAYSCALE:
            if (gray) return Conversion::Copy;
            if (photometric == KRO_PHOTO_RGB)
                return colortype.given ? Conversion::ToGray : Conversion::Copy;
            return Conversion::ToGray;
        case KRO_COLORTYPE_RGB:
            return photometric == KRO_PHOTO_PALETTE ? Conversion::ToRgb : Conversion::Copy;
        case KRO_COLORTYPE_PALETTE:
            return photometric == KRO_PHOTO_RGB && colortype.given ? Conversion::ToPalette
                                                                   : Conversion::Copy;
        default:
            return Conversion::Copy;
    }
}

// Colours or gray levels that a reduction to -level keeps for a picture of
// this depth, or 0 where no level applies: a 24-bit picture gets a palette
// of level shades of each primary, an 8-bit one (gray or palette) level entries.
int32_t levelColours(const KroOption& o, int32_t depth) {
    if (!o.level.given) return 0;
    const int32_t level = o.level.value;
    if (depth == 24) return level >= 2 && level <= 6 ? level * level * level : 0;
    return level >= 1 && level <= 255 ? level : 0;
}

int32_t roundUp8(int32_t side) {
    return int32_t((int64_t(side) + 7) / 8 * 8);
}

// Gamma corrects the source in place and a palette in work.
int32_t applyGamma(double gamma, RsImage* src, int32_t photometric, unsigned char work[768]) {
    RsImage view{};
    view.width = src->width, view.height = src->height, view.size = src->size;
    view.format = KRO_FORMAT_RAW, view.depth = src->depth, view.data = src->data;
    unsigned char corrected[768];
    int32_t status = 0;
    if (GfxGtbl(&view, photometric, work, gamma, src, corrected, &status) == -1)
        return KRO_ERR_GAMMA;
    if (photometric == KRO_PHOTO_PALETTE) std::memcpy(work, corrected, 768);
    return 0;
}

// The valid area of in dithered to a bilevel picture with rows of whole bytes.
int32_t ditherToBilevel(const KroOption& o, const RsImage& in, int32_t photometric,
                        const unsigned char* palette, Result* out) {
    if (int32_t code = out->make(roundUp8(in.width), in.height, 1, true)) return code;
    const int32_t flag = o.dithes.given ? 1 : 0;
    const int32_t method = o.dithes.given ? o.dithes.value : 0;
    int32_t status = 0;
    if (GfxMdsp(&in, 0, 0, in.validWidth, in.validHeight, photometric, palette, &out->im, 0, 0,
                flag, method, &status) == -1)
        return KRO_ERR_DITHER;
    out->photometric = KRO_PHOTO_WHITE_IS_ZERO;
    return 0;
}

// Every 8-bit pixel becomes the red, green and blue of its palette entry.
void expandToRgb(const RsImage& src, kro::ConstPalette palette, RsImage* out) {
    const size_t n = size_t(src.width) * size_t(src.height);
    const unsigned char* in = src.data;
    unsigned char* o = out->data;
    for (size_t i = 0; i < n; ++i, o += 3)
        o[0] = palette.red[in[i]], o[1] = palette.green[in[i]], o[2] = palette.blue[in[i]];
}

// The change of colour type other than to bilevel; the palette of a palette
// result goes to work.
int32_t changeColourType(const KroOption& o, Conversion conversion, const RsImage& src,
                         int32_t photometric, unsigned char work[768], Result* out) {
    const int32_t vw = src.validWidth, vh = src.validHeight;
    int32_t status = 0;
    switch (conversion) {
        case Conversion::ToGray:
            if (int32_t code = out->make(src.width, src.height, 8, true)) return code;
            if (GfxCtog(&src, 0, 0, vw, vh, work, &out->im, 0, 0, 0, &status) == -1)
                return KRO_ERR_TO_GRAY;
            out->photometric = KRO_PHOTO_BLACK_IS_ZERO;
            return 0;
        case Conversion::ToPalette: {
            if (int32_t code = out->make(src.width, src.height, 8, true)) return code;
            const int32_t colours = levelColours(o, 24);
            if (GfxCdsp(&src, 0, 0, vw, vh, colours ? colours : kDefaultColours, 0, &out->im, 0, 0,
                        work, &status) == -1)
                return KRO_ERR_TO_PALETTE;
            out->photometric = KRO_PHOTO_PALETTE;
            return 0;
        }
        case Conversion::ToRgb:
            if (int32_t code = out->make(src.width, src.height, 24, false)) return code;
            expandToRgb(src, kro::ConstPalette(work), &out->im);
            out->photometric = KRO_PHOTO_RGB;
            break;
        default:  // a copy
            if (int32_t code = out->make(src.width, src.height, src.depth, false)) return code;
            std::memcpy(out->im.data, src.data, size_t(out->im.size));
            out->photometric = photometric;
            break;
    }
    out->im.validWidth = vw, out->im.validHeight = vh;
    return 0;
}

// Reduces in to count colours (an RGB picture, to a palette) or count entries
// (8 bits); a palette result's palette goes to work.
int32_t reduceColours(const Result& in, int32_t count, unsigned char work[768], Result* out) {
    const RsImage& im = in.im;
    if (int32_t code = out->make(im.width, im.height, 8, true)) return code;
    int32_t status = 0;
    if (in.photometric == KRO_PHOTO_RGB) {
        if (GfxCdsp(&im, 0, 0, im.validWidth, im.validHeight, count, 0, &out->im, 0, 0, work,
                    &status) == -1)
            return KRO_ERR_TO_PALETTE;
        out->photometric = KRO_PHOTO_PALETTE;
        return 0;
    }
    unsigned char reduced[768];
    int32_t used = 0;
    if (GfxPlet(&im, 0, 0, im.validWidth, im.validHeight, in.photometric, work, count, 0, &out->im,
                0, 0, reduced, &used, &status) == -1)
        return KRO_ERR_LEVELS;
    out->photometric = in.photometric;
    if (in.photometric == KRO_PHOTO_PALETTE) {
        std::memcpy(work, reduced, 768);
    } else {  // back from indices to the gray levels they stand for
        unsigned char* p = out->im.data;
        for (int32_t i = 0; i < out->im.size; ++i) p[i] = reduced[p[i]];
    }
    return 0;
}

// The colour type changed, then reduced where the level and the conversion allow it.
int32_t changeAndReduce(const ConvImageContext& context, Conversion conversion, const RsImage& src,
                        int32_t photometric, unsigned char work[768], Result* out) {
    Result changed(context.memory);
    if (int32_t code =
            changeColourType(context.options, conversion, src, photometric, work, &changed))
        return code;
    const bool reducible = conversion == Conversion::ToGray || conversion == Conversion::Copy;
    // A picture made gray is reduced as an 8-bit one: to level grays, not level cubed.
    const int32_t count = reducible ? levelColours(context.options, changed.im.depth) : 0;
    if (count == 0) {
        changed.handTo(&out->im);
        out->photometric = changed.photometric;
        return 0;
    }
    return reduceColours(changed, count, work, out);
}

// Every step the options ask for, from the gamma-corrected source to out.
int32_t convert(const ConvImageContext& context, const RsImage& src, int32_t photometric,
                unsigned char work[768], Result* out) {
    const KroOption& o = context.options;
    const Conversion conversion = choose(o.colortype, photometric);
    // Bilevel is final: level and dithering have nothing left to do.
    if (conversion == Conversion::Dither) return ditherToBilevel(o, src, photometric, work, out);
    if (!o.dithes.given && !o.dithee.given)
        return changeAndReduce(context, conversion, src, photometric, work, out);
    Result reduced(context.memory);
    if (int32_t code = changeAndReduce(context, conversion, src, photometric, work, &reduced))
        return code;
    return ditherToBilevel(o, reduced.im, reduced.photometric, work, out);
}

}  // namespace

namespace kro {

ConvImageMemory heapMemory() {
    return {[](uint64_t bytes, bool zeroed) {
                return zeroed ? allocZeroed(bytes) : allocPixels(bytes);
            },
            [](void* block) { std::free(block); }};
}

int32_t convImage(const ConvImageContext& context, RsImage* src, int32_t photometric,
                  const unsigned char palette[768], RsImage* dst, int32_t* dstPhotometric,
                  unsigned char dstPalette[768]) {
    if (dstPhotometric) *dstPhotometric = 0;
    if (int32_t code = checkArguments(src, photometric, palette, dst, dstPhotometric, dstPalette))
        return code;
    const KroOption& o = context.options;
    unsigned char work[768] = {};
    if (photometric == KRO_PHOTO_PALETTE) std::memcpy(work, palette, sizeof work);
    if (o.gamma.given)
        if (int32_t code = applyGamma(o.gamma.value, src, photometric, work)) return code;

    Result result(context.memory);
    if (int32_t code = convert(context, *src, photometric, work, &result)) return code;
    if (result.photometric == KRO_PHOTO_PALETTE) std::memcpy(dstPalette, work, sizeof work);
    *dstPhotometric = result.photometric;
    result.handTo(dst);
    return 0;
}

}  // namespace kro

extern "C" KRO_API int32_t KroConvImage(RsImage* src, int32_t photometric,
                                        const unsigned char palette[768], RsImage* dst,
                                        int32_t* dstPhotometric, unsigned char dstPalette[768]) {
    const int32_t code =
        kro::convImage({kroOption}, src, photometric, palette, dst, dstPhotometric, dstPalette);
    return code ? kro::fail(code) : 0;
}

extern "C" KRO_API int32_t KroConvImageWith(const KroOption* options, RsImage* src,
                                            int32_t photometric, const unsigned char palette[768],
                                            RsImage* dst, int32_t* dstPhotometric,
                                            unsigned char dstPalette[768]) {
    if (!options) return kro::fail(KRO_ERR_NULL);
    const int32_t code =
        kro::convImage({*options}, src, photometric, palette, dst, dstPhotometric, dstPalette);
    return code ? kro::fail(code) : 0;
}
