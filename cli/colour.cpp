// The job's colour options through KroConvImage, and conversion to what the
// output format can hold.
#include "cli/colour.h"

#include <cstdlib>
#include <cstring>

#include "kro/kro.h"

namespace kro::cli {

namespace {

const char* const kDitherNames[] = {"fixed threshold", "Floyd-Steinberg", "Bayer 4x4",
                                    "Bayer 8x8",       "Atkinson",        "Stucki"};

const char* ditherName() {
    const KroIntSlot& d = kroOption.dithes;
    if (!d.given) return kDitherNames[1];
    return d.value >= 0 && d.value <= 5 ? kDitherNames[d.value] : "unknown";
}

// How the library must read the picture's pixels: a gray file whose palette
// lists its grays in another order is read through that palette.
int32_t photometricOf(const Picture& pic) {
    const int32_t p = pic.photometric;
    if (pic.image.depth == 8 && (p == KRO_PHOTO_WHITE_IS_ZERO || p == KRO_PHOTO_BLACK_IS_ZERO) &&
        !isGrayRamp(pic.palette, p))
        return KRO_PHOTO_PALETTE;
    return p;
}

// One KroConvImage over the picture with these options, replacing it with the
// result.
int32_t convertPicture(Picture* pic, const KroOption& options) {
    RsImage out{};
    int32_t photometric = 0;
    unsigned char palette[KRO_PALETTE_SIZE];
    if (KroConvImageWith(&options, &pic->image, photometricOf(*pic), pic->palette, &out,
                         &photometric, palette) != 0)
        return fndErrorStatus;
    std::free(pic->image.data);
    pic->image = out;
    pic->photometric = photometric;
    if (photometric == KRO_PHOTO_PALETTE) {
        std::memcpy(pic->palette, palette, sizeof palette);
    } else {  // the writers derive a gray palette from the ramp
        fillGrayRamp(pic->palette, photometric);
    }
    return 0;
}

std::string describe(const Picture& pic) {
    std::string s = colourTypeName(pic);
    if (pic.image.depth == 8) {
        bool used[256] = {};
        int n = 0;
        const size_t bytes = size_t(pic.image.width) * size_t(pic.image.height);
        for (size_t i = 0; i < bytes; ++i)
            if (!used[pic.image.data[i]]) used[pic.image.data[i]] = true, ++n;
        s += " (" + std::to_string(n) +
             (photometricOf(pic) == KRO_PHOTO_PALETTE ? " colours)" : " levels)");
    }
    return s;
}

}  // namespace

bool colourOptionGiven() {
    const KroOption& o = kroOption;
    return o.colortype.given || o.gamma.given || o.level.given || o.dithes.given || o.dithee.given;
}

const char* colourTypeName(const Picture& pic) {
    if (pic.image.depth == 1) return "bilevel";
    if (pic.image.depth == 24) return "RGB colour";
    return photometricOf(pic) == KRO_PHOTO_PALETTE ? "palette colour" : "gray";
}

bool isPaletteColour(const Picture& pic) {
    return pic.image.depth == 8 && photometricOf(pic) == KRO_PHOTO_PALETTE;
}

int32_t convertColourType(Picture* pic, int32_t colortype) {
    // The job's dithering, and its level for a palette; gamma is a colour
    // option, applied already or not asked for.
    KroOption options = kroOption;
    options.colortype = {1, colortype};
    options.gamma.given = 0;
    if (colortype != KRO_COLORTYPE_PALETTE) options.level.given = 0;
    return convertPicture(pic, options);
}

int32_t applyColourOptions(Picture* pic, std::vector<std::string>* notes) {
    if (!colourOptionGiven()) return 0;
    if (pic->image.depth == 1) {
        if (notes) notes->push_back("colour options left aside: the picture is bilevel already");
        return 0;
    }
    const std::string from = notes ? describe(*pic) : "";
    if (int32_t status = convertPicture(pic, kroOption)) return status;
    if (notes) {
        std::string to = describe(*pic);
        if (pic->image.depth == 1) to += std::string(" (") + ditherName() + ")";
        notes->push_back("colour options: " + from + " to " + to);
    }
    return 0;
}

// JPEG holds 8-bit gray (black is zero) and RGB: a bilevel picture becomes
// gray, a white-is-zero one is turned round, a palette one is expanded to RGB.
int32_t fitForJpeg(Picture* pic, std::vector<std::string>* notes) {
    RsImage& im = pic->image;
    if (im.depth == 1) {
        // Gray rows need no padding: the picture keeps its own width.
        const size_t stride = size_t(im.width / 8), h = size_t(im.height);
        const size_t w =
            size_t(im.validWidth > 0 && im.validWidth < im.width ? im.validWidth : im.width);
        auto* gray = static_cast<unsigned char*>(std::malloc(w * h != 0 ? w * h : 1));
        if (!gray) return KRO_ERR_NOMEM;
        for (size_t y = 0; y < h; ++y)
            for (size_t x = 0; x < w; ++x) {
                const bool black = (im.data[y * stride + x / 8] >> (7 - x % 8)) & 1;
                gray[y * w + x] = black ? 0 : 255;
            }
        std::free(im.data);
        im.data = gray;
        im.width = im.validWidth = int32_t(w);
        im.depth = 8;
        im.size = int32_t(w * h);
        pic->photometric = KRO_PHOTO_BLACK_IS_ZERO;
        fillGrayRamp(pic->palette, KRO_PHOTO_BLACK_IS_ZERO);
        if (notes) notes->push_back("JPEG holds gray or colour: bilevel written as gray");
        return 0;
    }
    if (im.depth != 8) return 0;
    if (photometricOf(*pic) == KRO_PHOTO_PALETTE) {
        if (int32_t status = convertColourType(pic, KRO_COLORTYPE_RGB)) return status;
        if (notes) notes->push_back("JPEG holds gray or colour: palette expanded to RGB");
    } else if (pic->photometric == KRO_PHOTO_WHITE_IS_ZERO) {
        const size_t n = size_t(im.width) * size_t(im.height);
        for (size_t i = 0; i < n; ++i) im.data[i] = uint8_t(255 - im.data[i]);
        pic->photometric = KRO_PHOTO_BLACK_IS_ZERO;
        fillGrayRamp(pic->palette, KRO_PHOTO_BLACK_IS_ZERO);
    }
    return 0;
}

int32_t fitColourType(Picture* pic, Format output, std::vector<std::string>* notes) {
    if (output == Format::Jpeg) return fitForJpeg(pic, notes);
    if (output != Format::Cals || pic->image.depth == 1) return 0;
    // CALS holds bilevel pictures only: dither, as -colortype Bilevel would.
    const std::string from = colourTypeName(*pic);
    if (int32_t status = convertColourType(pic, KRO_COLORTYPE_BILEVEL)) return status;
    if (notes)
        notes->push_back(std::string("CALS holds bilevel pictures only: ") + from +
                         " dithered to bilevel (" + ditherName() + ")");
    return 0;
}

}  // namespace kro::cli
