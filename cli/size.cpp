// Resizing a picture for the page the job options describe.
#include "cli/size.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "cli/colour.h"
#include "cli/picture.h"
#include "kro/kro.h"

namespace kro::cli {

namespace {

// A zeroed raw image of w x h pixels at the picture's depth; bilevel rows are
// whole bytes.
int32_t makeImage(int32_t w, int32_t h, int32_t depth, RsImage* im) {
    *im = RsImage{};
    im->width = depth == 1 ? (w + 7) / 8 * 8 : w;
    im->height = h;
    im->depth = depth;
    im->format = KRO_FORMAT_RAW;
    const uint64_t bytes = uint64_t(im->width) * uint64_t(h) * uint64_t(depth) / 8;
    if (bytes > uint64_t(INT32_MAX)) return KRO_ERR_NOMEM;  // beyond an image size field
    im->size = int32_t(bytes);
    im->data = allocPage(size_t(bytes));
    if (!im->data) return KRO_ERR_NOMEM;
    im->validWidth = w;
    im->validHeight = h;
    return 0;
}

// One KroConvSize of the whole picture into a new image of w x h pixels.
int32_t scaleOnce(Picture* pic, int32_t w, int32_t h) {
    RsImage out;
    if (int32_t status = makeImage(w, h, pic->image.depth, &out)) return status;
    if (KroConvSize(&pic->image, pic->image.validWidth, pic->image.validHeight, &out, w, h) != 0) {
        std::free(out.data);
        return fndErrorStatus;
    }
    std::free(pic->image.data);
    pic->image = out;
    return 0;
}

// KroConvSize makes both sides grow or neither; a picture that grows one way
// and shrinks the other grows both first, then shrinks to the size.
int32_t scaleTo(Picture* pic, int32_t w, int32_t h) {
    const int32_t sw = pic->image.validWidth, sh = pic->image.validHeight;
    if ((w > sw) != (h > sh)) {
        const int32_t gw = std::max(w, sw + 1), gh = std::max(h, sh + 1);
        if (gw > KRO_MAX_SIDE || gh > KRO_MAX_SIDE) return KRO_ERR_SIZE;
        if (int32_t status = scaleOnce(pic, gw, gh)) return status;
    }
    return scaleOnce(pic, w, h);
}

// The picture scaled to w x h. A palette picture is scaled in RGB, and
// reduced again when the job asks for a palette; *how says which.
int32_t resample(Picture* pic, int32_t w, int32_t h, std::string* how) {
    const bool palette = isPaletteColour(*pic);
    if (int32_t status = palette ? convertColourType(pic, KRO_COLORTYPE_RGB) : 0) return status;
    if (int32_t status = scaleTo(pic, w, h)) return status;
    const KroOption& o = kroOption;
    const bool reduce = palette && o.colortype.given && o.colortype.value == KRO_COLORTYPE_PALETTE;
    if (int32_t status = reduce ? convertColourType(pic, KRO_COLORTYPE_PALETTE) : 0) return status;
    *how = !palette ? "" : reduce ? " (in RGB, then palette again)" : " (in RGB)";
    return 0;
}

}  // namespace

bool sizeAsked() {
    const KroOption& o = kroOption;
    return o.width.given || o.height.given || o.dpi.given || o.papertype.given || o.scale.given ||
           o.xreso.given || o.yreso.given;
}

int32_t fitToPage(Picture* pic, std::vector<std::string>* notes) {
    if (!sizeAsked()) return 0;
    const KroOption& o = kroOption;
    const int32_t assumed = o.defDpi.given ? o.defDpi.value : o.dpi.value;
    int32_t in[2] = {pic->resolution[0], pic->resolution[1]};
    if (in[0] < 1) in[0] = assumed;
    if (in[1] < 1) in[1] = pic->resolution[0] > 0 ? pic->resolution[0] : assumed;
    const int32_t w = pic->image.validWidth, h = pic->image.validHeight;
    int32_t paperW = 0, paperH = 0, out[2] = {0, 0}, drawW = 0, drawH = 0;
    if (KroGetDSize(w, h, in, &paperW, &paperH, out, &drawW, &drawH) != 0) return fndErrorStatus;
    if (drawW < 1 || drawH < 1 || drawW > KRO_MAX_SIDE || drawH > KRO_MAX_SIDE) return KRO_ERR_SIZE;
    // A picture that states no resolution keeps stating none unless the job gives one.
    const bool stated =
        pic->resolution[0] > 0 || o.dpi.given || o.defDpi.given || o.xreso.given || o.yreso.given;
    if (stated) {
        pic->resolution[0] = out[0];
        pic->resolution[1] = out[1];
    }
    if (drawW == w && drawH == h) return 0;

    std::string how;
    if (int32_t status = resample(pic, drawW, drawH, &how)) return status;
    if (notes)
        notes->push_back("scaled from " + std::to_string(w) + "x" + std::to_string(h) + " to " +
                         std::to_string(drawW) + "x" + std::to_string(drawH) + " at " +
                         std::to_string(out[0]) + "x" + std::to_string(out[1]) + " dpi" + how);
    return 0;
}

int32_t fitResolution(Picture* pic, Format from, Format to, std::vector<std::string>* notes) {
    const int32_t x = pic->resolution[0], y = pic->resolution[1];
    const int32_t w = pic->image.validWidth, h = pic->image.validHeight;
    // Documents, TIFF and PNG state both resolutions.
    if (isDocument(to) || to == Format::Tiff || to == Format::Png || x < 1 || y < 1 || x == y)
        return 0;
    // netpbm writes a PCX picture's own width and height there: no shape to keep.
    if (from == Format::Pcx && x == w && y == h) return 0;
    // The finer resolution for both directions, so that no detail is lost.
    const int32_t dpi = std::max(x, y);
    const int64_t newW = (int64_t(w) * dpi + x / 2) / x, newH = (int64_t(h) * dpi + y / 2) / y;
    if (newW > KRO_MAX_SIDE || newH > KRO_MAX_SIDE) return KRO_ERR_SIZE;
    std::string how;
    if (int32_t status = resample(pic, int32_t(newW), int32_t(newH), &how)) return status;
    pic->resolution[0] = pic->resolution[1] = dpi;
    if (notes)
        notes->push_back("scaled from " + std::to_string(w) + "x" + std::to_string(h) + " to " +
                         std::to_string(newW) + "x" + std::to_string(newH) + " at " +
                         std::to_string(dpi) + " dpi, from " + std::to_string(x) + "x" +
                         std::to_string(y) + " dpi: the output states one resolution" + how);
    return 0;
}

}  // namespace kro::cli
