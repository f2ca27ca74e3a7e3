// Scaling a rectangle of one raster image into a rectangle of another, by the
// raster-processing library's enlargement or reduction.
#include "core/image.h"
#include "kro/pixo.h"

namespace {

using kro::fail;

// The checks of one image and its rectangle; 0 or the code to store.
int32_t checkImageAndRect(const RsImage* im, int32_t w, int32_t h) {
    if (int32_t code = kro::rawImageProblem(im)) return code;
    if (w < 1 || h < 1 || w > im->width || h > im->height || w > KRO_MAX_SIDE || h > KRO_MAX_SIDE)
        return KRO_ERR_SIZE;
    return 0;
}

}  // namespace

extern "C" KRO_API int32_t KroConvSize(const RsImage* src, int32_t srcWidth, int32_t srcHeight,
                                       RsImage* dst, int32_t dstWidth, int32_t dstHeight) {
    if (int32_t code = checkImageAndRect(src, srcWidth, srcHeight)) return fail(code);
    if (int32_t code = checkImageAndRect(dst, dstWidth, dstHeight)) return fail(code);
    if (src->depth != dst->depth) return fail(KRO_ERR_DEPTH);

    int32_t status = 0;
    if (dstWidth > srcWidth) {
        if (dstHeight <= srcHeight) return fail(KRO_ERR_SIZE);
        if (GfxZoom(src, 0, 0, srcWidth, srcHeight, dst, 0, 0, dstWidth, dstHeight, &status) == -1)
            return fail(KRO_ERR_ZOOM);
    } else {
        if (dstHeight > srcHeight) return fail(KRO_ERR_SIZE);
        if (GfxRedu(src, 0, 0, srcWidth, srcHeight, dst, 0, 0, dstWidth, dstHeight, &status) == -1)
            return fail(KRO_ERR_REDUCE);
    }
    return 0;
}
