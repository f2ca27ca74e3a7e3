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

bool isGrayRamp(const Picture& pic) {
    for (int i = 0; i < 256; ++i) {
        const int want = pic.photometric == KRO_PHOTO_WHITE_IS_ZERO ? 255 - i : i;
        if (pic.palette[i] != want || pic.palette[256 + i] != want || pic.palette[512 + i] != want)
            return false;
    }
    return true;
}

// How the library must read the picture's pixels: a gray file whose palette
// lists its grays in another order is read through that palette.
int32_t photometricOf(const Picture& pic) {
    const int32_t p = pic.photometric;
    if (pic.image.depth == 8 && (p == KRO_PHOTO_WHITE_IS_ZERO || p == KRO_PHOTO_BLACK_IS_ZERO) &&
        !isGrayRamp(pic))
        return KRO_PHOTO_PALETTE;
    return p;
}

bool colourOptionGiven() {
    const KroOption& o = kroOption;
    return o.colortype.given || o.gamma.given || o.level.given || o.dithes.given || o.dithee.given;
}

// One KroConvImage over the picture, replacing it with the result.
int32_t convertPicture(Picture* pic) {
    RsImage out{};
    int32_t photometric = 0;
    unsigned char palette[KRO_PALETTE_SIZE];
    if (KroConvImage(&pic->image, photometricOf(*pic), pic->palette, &out, &photometric, palette) !=
        0)
        return -1;
    std::free(pic->image.data);
    pic->image = out;
    pic->photometric = photometric;
    if (photometric == KRO_PHOTO_PALETTE) {
        std::memcpy(pic->palette, palette, sizeof palette);
    } else {  // the writers derive a gray palette from the ramp
        for (int i = 0; i < 256; ++i)
            pic->palette[i] = pic->palette[256 + i] = pic->palette[512 + i] =
                uint8_t(photometric == KRO_PHOTO_WHITE_IS_ZERO ? 255 - i : i);
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

const char* colourTypeName(const Picture& pic) {
    if (pic.image.depth == 1) return "bilevel";
    if (pic.image.depth == 24) return "RGB colour";
    return photometricOf(pic) == KRO_PHOTO_PALETTE ? "palette colour" : "gray";
}

bool isPaletteColour(const Picture& pic) {
    return pic.image.depth == 8 && photometricOf(pic) == KRO_PHOTO_PALETTE;
}

int32_t convertColourType(Picture* pic, int32_t colortype) {
    // Gamma is a colour option: applied already, or not asked for.
    const KroOption saved = kroOption;
    kroOption.colortype = {1, colortype};
    kroOption.gamma.given = 0;
    if (colortype != KRO_COLORTYPE_PALETTE) kroOption.level.given = 0;
    const int32_t rc = convertPicture(pic);
    kroOption = saved;
    return rc;
}

int32_t applyColourOptions(Picture* pic, std::vector<std::string>* notes) {
    if (!colourOptionGiven()) return 0;
    if (pic->image.depth == 1) {
        if (notes) notes->push_back("colour options left aside: the picture is bilevel already");
        return 0;
    }
    const std::string from = notes ? describe(*pic) : "";
    if (convertPicture(pic) != 0) return -1;
    if (notes) {
        std::string to = describe(*pic);
        if (pic->image.depth == 1) to += std::string(" (") + ditherName() + ")";
        notes->push_back("colour options: " + from + " to " + to);
    }
    return 0;
}

int32_t fitColourType(Picture* pic, Format output, std::vector<std::string>* notes) {
    if (output != Format::Cals || pic->image.depth == 1) return 0;
    // CALS holds bilevel pictures only: dither, as -colortype Bilevel would.
    const std::string from = colourTypeName(*pic);
    if (convertColourType(pic, KRO_COLORTYPE_BILEVEL) != 0) return -1;
    if (notes)
        notes->push_back(std::string("CALS holds bilevel pictures only: ") + from +
                         " dithered to bilevel (" + ditherName() + ")");
    return 0;
}

}  // namespace kro::cli
