/* pixo.h - the host's raster-processing library: Group 4 coding, quarter turns,
 * bit reversal, scaling and colour operations on RsImage rectangles.
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

#if defined(_WIN32)
#if defined(PIXO_BUILDING)
#define PIXO_API
#else
#define PIXO_API __declspec(dllimport)
#endif
#elif defined(__GNUC__)
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

/* ---- Colour operations ----------------------------------------------------
 * Gray pixels are read by their photometric value (0: white is zero, 1: black
 * is zero), palette pixels through a 768-byte three-plane palette. Each sets
 * the destination's validWidth and validHeight like the operations above. */

/* Gamma-corrects image in place through a 256-entry table, out = 255 *
 * (in / 255)^(1 / gamma) on intensities: every byte of the view's rows (gray
 * or RGB), or for photometric 3 the palette into corrected (pixels left as
 * they are). view and image describe the same pixels. Gamma 0 means no
 * correction; a negative or non-finite gamma fails with GFX_ST_ARGUMENT. */
PIXO_API int32_t GfxGtbl(const RsImage* view, int32_t photometric, const unsigned char* palette,
                         double gamma, RsImage* image, unsigned char* corrected, int32_t* status);

/* Dithers a gray (photometric 0 or 1), palette (3) or RGB (2) rectangle to the
 * bilevel dst, 1 = black. With ditherFlag 0 the method is Floyd-Steinberg;
 * otherwise ditherCode picks it (GFX_DITHER_*). Error diffusion runs
 * serpentine. */
PIXO_API int32_t GfxMdsp(const RsImage* src, int32_t x, int32_t y, int32_t width, int32_t height,
                         int32_t photometric, const unsigned char* palette, RsImage* dst,
                         int32_t dx, int32_t dy, int32_t ditherFlag, int32_t ditherCode,
                         int32_t* status);

#define GFX_DITHER_THRESHOLD 0 /* fixed threshold at mid-gray */
#define GFX_DITHER_FLOYD 1     /* Floyd-Steinberg error diffusion */
#define GFX_DITHER_BAYER4 2    /* Bayer 4 x 4 ordered */
#define GFX_DITHER_BAYER8 3    /* Bayer 8 x 8 ordered */
#define GFX_DITHER_ATKINSON 4  /* Atkinson error diffusion (3/4 of the error) */
#define GFX_DITHER_STUCKI 5    /* Stucki error diffusion */

/* Luminance of an RGB (depth 24) or palette (depth 8, through palette)
 * rectangle into the 8-bit dst, black is zero: the Rec. 601 weights
 * 299 R + 587 G + 114 B per thousand, rounded as GraphicsMagick's
 * -colorspace gray rounds them. reserved is ignored. */
PIXO_API int32_t GfxCtog(const RsImage* src, int32_t x, int32_t y, int32_t width, int32_t height,
                         const unsigned char* palette, RsImage* dst, int32_t dx, int32_t dy,
                         int32_t reserved, int32_t* status);

/* Reduces an RGB rectangle to at most count (1 to 256) colours: indices into
 * dst (depth 8) and the colours into palette (unused entries zero). A
 * rectangle of no more than count colours keeps them exactly; otherwise Wu's
 * quantiser picks them and each pixel takes the nearest, without dithering.
 * The palette holds only colours that some pixel uses. reserved is ignored. */
PIXO_API int32_t GfxCdsp(const RsImage* src, int32_t x, int32_t y, int32_t width, int32_t height,
                         int32_t count, int32_t reserved, RsImage* dst, int32_t dx, int32_t dy,
                         unsigned char* palette, int32_t* status);

/* Reduces a gray (photometric 0 or 1) or palette (3) rectangle of depth 8 to
 * at most count (1 to 256) levels or colours: indices into dst and the
 * colours into reduced. Gray levels are spread evenly over 0..255 in the order
 * of the values (one level is 128); palette colours are kept exactly when no
 * more than count are used, and chosen by Wu's quantiser otherwise. *used
 * receives the number of reduced entries. reserved is ignored. */
PIXO_API int32_t GfxPlet(const RsImage* src, int32_t x, int32_t y, int32_t width, int32_t height,
                         int32_t photometric, const unsigned char* palette, int32_t count,
                         int32_t reserved, RsImage* dst, int32_t dx, int32_t dy,
                         unsigned char* reduced, int32_t* used, int32_t* status);

#ifdef __cplusplus
}
#endif

#endif
