/* pixo.h - the host's raster-processing library: Group 4 coding, quarter turns,
 * bit reversal and scaling of RsImage rectangles.
 *
 * Every operation takes a source rectangle (x, y, width, height) and, where it
 * writes another image, the destination's top left corner. It returns 0, or -1
 * with a detail code (GFX_ST_*) in the status word; the status word may be
 * null. Rectangles are checked against their images, and an image's size field
 * against its rows, before any pixel is touched. Depth-1 rows hold width / 8
 * whole bytes, so a bilevel rectangle must end within them. */
#ifndef KRO_PIXO_H
#define KRO_PIXO_H

#include <stdint.h>

#include "kro/kro.h"

#if defined(__GNUC__)
#define PIXO_API __attribute__((visibility("default")))
#else
#define PIXO_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Detail codes left in the status word. */
#define GFX_ST_OK 0
#define GFX_ST_NULL 101        /* an image, its data or a required pointer is null */
#define GFX_ST_IMAGE 102       /* an image's sides, depth, format or size are not usable */
#define GFX_ST_RECT 103        /* a rectangle does not lie inside its image */
#define GFX_ST_ARGUMENT 104    /* angle, scheme or scaling direction not supported */
#define GFX_ST_NOMEM 105       /* a work buffer cannot be allocated */
#define GFX_ST_BUFFER_FULL 201 /* the coded buffer is too small for the coded picture */
#define GFX_ST_CODING 202      /* the coded stream is corrupt or truncated, or coding failed */

/* Coding schemes of GfxEncd. */
#define GFX_CODING_G4 4

/* Decodes codedBytes bytes of the Group 4 stream in coded->data (format 4,
 * 1 <= codedBytes <= coded->size) into the rectangle (x, y, pelsPerLine,
 * lines) of the bilevel image dst; 1 is black. A stream that ends early, runs
 * past the line width or holds a bad code fails with GFX_ST_CODING. */
PIXO_API int32_t GfxDecd(const RsImage* coded, int32_t codedBytes, RsImage* dst, int32_t x,
                         int32_t y, int32_t pelsPerLine, int32_t lines, int32_t* status);

/* Codes the rectangle of the bilevel image src with the scheme (only
 * GFX_CODING_G4) into coded->data, whose capacity is coded->size, and stores
 * the byte count in coded->codedLength. A capacity too small: GFX_ST_BUFFER_FULL. */
PIXO_API int32_t GfxEncd(const RsImage* src, int32_t x, int32_t y, int32_t pelsPerLine,
                         int32_t lines, RsImage* coded, int32_t scheme, int32_t* status);

/* Writes the rectangle of src turned counter-clockwise by angle (90, 180 or
 * 270) into dst at (dx, dy). Depths 1, 8 and 24; src and dst must differ. */
PIXO_API int32_t GfxRt90(const RsImage* src, int32_t x, int32_t y, int32_t width, int32_t height,
                         RsImage* dst, int32_t dx, int32_t dy, int32_t angle, int32_t* status);

/* Reverses the eight bits of every byte that the rectangle covers, in place. */
PIXO_API int32_t GfxRbyt(RsImage* image, int32_t x, int32_t y, int32_t width, int32_t height,
                         int32_t* status);

/* Enlarges the source rectangle into the destination rectangle (neither side
 * may shrink): bilinear at depths 8 and 24, pixel replication at depth 1. */
PIXO_API int32_t GfxZoom(const RsImage* src, int32_t x, int32_t y, int32_t width, int32_t height,
                         RsImage* dst, int32_t dx, int32_t dy, int32_t dstWidth, int32_t dstHeight,
                         int32_t* status);

/* Reduces the source rectangle into the destination rectangle (neither side
 * may grow) by area averaging; at depth 1 a pixel is black when at least a
 * quarter of its area is. */
PIXO_API int32_t GfxRedu(const RsImage* src, int32_t x, int32_t y, int32_t width, int32_t height,
                         RsImage* dst, int32_t dx, int32_t dy, int32_t dstWidth, int32_t dstHeight,
                         int32_t* status);

/* GfxDecd, GfxRt90, GfxZoom and GfxRedu set dst->validWidth and
 * dst->validHeight to the right and bottom edges of the rectangle written. */

#ifdef __cplusplus
}
#endif

#endif
