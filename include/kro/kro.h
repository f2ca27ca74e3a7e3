/* kro.h - public interface of the KRO image-output library.
 *
 * Every function returns 0 on success and -1 on failure unless its comment says
 * otherwise; a failure leaves its status code (KRO_ERR_*) in fndErrorStatus.
 *
 * Threads: the BMP, PCX, JPEG, CALS, TIFF and PNG readers and writers, KroConvImage,
 * KroConvSize and the drawing of two plots on two devices share no state, so
 * two threads may run them at once on their own streams and records.
 * KroConvImage reads kroOption: it is safe only while no thread parses
 * options. One thread at a time parses options into kroOption, and writes a
 * PostScript document (KroPutPSHeader, KroRsImageToPS, KroPutPSFooter share
 * its page count and bounding box) or a PDF document (its objects).
 * fndErrorStatus is one plain integer for the whole process: calls that fail
 * at once on two threads race to store their codes. A call that succeeds
 * leaves it alone, except KroOpenHPGL and Kro_MAX_MIN, which clear it first. */
#ifndef KRO_KRO_H
#define KRO_KRO_H

#include <stdint.h>
#include <stdio.h>

#include "kro/fnd.h"

/* On Windows kro.dll exports through its module-definition file; a host
 * imports (which data such as kroOption needs), the library and its static
 * test build (KRO_STATIC) do not. */
#if defined(_WIN32)
#if defined(KRO_BUILDING) || defined(KRO_STATIC)
#define KRO_API
#else
#define KRO_API __declspec(dllimport)
#endif
#elif defined(__GNUC__)
#define KRO_API __attribute__((visibility("default")))
#else
#define KRO_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Status codes ------------------------------------------------------ */

#define KRO_ERR_PS_NULL_ARG        1012120001 /* PostScript output stream or title null */
#define KRO_ERR_HPGL_ACCESS        1012120005 /* HP-GL file not readable */
#define KRO_ERR_OPTION_NO_VALUE    1012120020 /* option that needs a value ends the vector */
#define KRO_ERR_PAPER              1012120021 /* unknown paper name, code or size */
#define KRO_ERR_COMPRESSION_WORD   1012120022 /* not a compression keyword */
#define KRO_ERR_PAPER_TOO_LARGE    1012120023 /* a paper side exceeds 32768 dots */
#define KRO_ERR_OPTION_CONFLICT    1012120025 /* two options contradict each other */
#define KRO_ERR_OPTION_RANGE       1012120026 /* option value out of range */
#define KRO_ERR_IO                 1012120027 /* BMP/PCX data cannot be read or written */
#define KRO_ERR_OPTFILE_STDIN      1012120028 /* option file: input path is "-" */
#define KRO_ERR_ROTATE_WORD        1012120030 /* not a rotation keyword */
#define KRO_ERR_RESOLUTION         1012120049 /* resolution or size argument not accepted */
#define KRO_ERR_HPGL_ARC_ANGLE     1012140007 /* arc start angle of 360 degrees */
#define KRO_ERR_OPEN               1012140008 /* file found but cannot be opened */
#define KRO_ERR_DESCRIPTION        1012140024 /* bad image description string */
#define KRO_ERR_OPTFILE_WORDS      1012140095 /* option file: not 25 words */
#define KRO_ERR_OPTFILE_DIR        1012140096 /* option file: directory not absolute */
#define KRO_ERR_OPTFILE_INPUT      1012140097 /* option file: input path not absolute */
#define KRO_ERR_CALS_SEEK          1012140115 /* CALS file cannot be positioned */
#define KRO_ERR_MODE_WORD          1012140119 /* not a mode keyword */
#define KRO_ERR_HPGL_SCALE         1012140123 /* negative HP-GL drawing scale */
#define KRO_ERR_BMP_OPTIONS        1012140124 /* BMP writer options not 0 */
#define KRO_ERR_COLORTYPE_WORD     1012140131 /* not a colour-type keyword */
#define KRO_ERR_DITHER_WORD        1012140132 /* not a dither keyword */
#define KRO_ERR_NULL               1012140134 /* required pointer is null */
#define KRO_ERR_JPEG_DECODE        1012140135 /* JPEG decompression failed */
#define KRO_ERR_JPEG_QUALITY       1012140136 /* JPEG quality out of range */
#define KRO_ERR_SIZE               1012140137 /* width, height or rectangle out of range */
#define KRO_ERR_DEPTH              1012140138 /* bits per pixel not accepted */
#define KRO_ERR_FORMAT             1012140139 /* image format is not 1 */
#define KRO_ERR_GAMMA              1012140142 /* gamma correction failed */
#define KRO_ERR_DITHER             1012140143 /* monochrome dithering failed */
#define KRO_ERR_TO_GRAY            1012140144 /* colour-to-gray conversion failed */
#define KRO_ERR_LEVELS             1012140145 /* level or palette reduction failed */
#define KRO_ERR_TO_PALETTE         1012140146 /* RGB-to-palette reduction failed */
#define KRO_ERR_OPTION_NOT_ALLOWED 1012140155 /* option not allowed for the conversion kind */
#define KRO_ERR_INPUT_RESOLUTION   1012140156 /* input resolution below 1 */
#define KRO_ERR_PHOTOMETRIC        1012140157 /* photometric value not accepted */
#define KRO_ERR_BMP_HEADER         1012140159 /* bad BMP magic, reserved field or planes */
#define KRO_ERR_KIND               1012140160 /* conversion kind not 1 to 24 */
#define KRO_ERR_NOMEM              1012160004 /* memory exhausted */
#define KRO_ERR_G4_DECODE          1012160041 /* Group 4 decoding failed */
#define KRO_ERR_G4_ENCODE          1012160042 /* Group 4 encoding failed */
#define KRO_ERR_ZOOM               1012160045 /* enlarging failed */
#define KRO_ERR_REDUCE             1012160046 /* reducing failed */
#define KRO_ERR_ROTATE             1012160047 /* turning the CALS picture failed */
#define KRO_ERR_HPGL_SIZE          1012160090 /* HP-GL file size unknown */
#define KRO_ERR_HPGL_READ          1012160091 /* HP-GL file read no bytes */
#define KRO_ERR_BIT_REVERSE        1012160093 /* reversing CALS bit order failed */
#define KRO_ERR_CALS_HEADER_READ   1012160125 /* CALS header record short */
#define KRO_ERR_CALS_SHORT         1012160127 /* CALS coded data short */
#define KRO_ERR_CALS_WRITE         1012160128 /* CALS file cannot be written */
#define KRO_ERR_CALS_TELL          1012160129 /* CALS file position unknown */
#define KRO_ERR_CALS_HEADER        1012160130 /* bad CALS header or no coded data */
#define KRO_ERR_BMP_COMPRESSION    1012160161 /* compressed BMP */
#define KRO_ERR_COLOR_NAME         1012160166 /* colour name not in the colour file */
#define KRO_ERR_PCX_HEADER         1012160170 /* bad PCX header or run */
#define KRO_ERR_PCX_PLANES         1012160171 /* PCX plane count not 1 or 3 */
#define KRO_ERR_TIFF               1012160180 /* TIFF file damaged, or cannot be read or written */
#define KRO_ERR_TIFF_PAGE          1012160181 /* no such page in the TIFF file */
#define KRO_ERR_TIFF_LAYOUT        1012160182 /* TIFF samples of a kind not read */
#define KRO_ERR_TIFF_COMPRESSION   1012160183 /* compression not available, or not for this depth */
#define KRO_ERR_PNG                1012160185 /* PNG file damaged, or cannot be read or written */
#define KRO_ERR_NOT_AS_IS          1012160186 /* coded data cannot be copied as it stands */
#define KRO_ERR_UNAVAILABLE        1012160187 /* codec not part of this build */

/* ---- Raster image ------------------------------------------------------ */

/* Photometric values (TIFF PhotometricInterpretation). */
#define KRO_PHOTO_WHITE_IS_ZERO 0
#define KRO_PHOTO_BLACK_IS_ZERO 1
#define KRO_PHOTO_RGB           2
#define KRO_PHOTO_PALETTE       3

/* Values of RsImage.format. */
#define KRO_FORMAT_RAW 1 /* uncompressed rows */
#define KRO_FORMAT_G4  4 /* CCITT Group 4 coded bytes */

/* Largest width or height of a picture. */
#define KRO_MAX_SIDE 32768

/* A raster image. Rows run top-down with no gap between them: width/8 bytes a
 * row at depth 1 (most significant bit leftmost), width at depth 8, 3*width
 * at depth 24 (red, green, blue). data comes from malloc; the caller frees it. */
typedef struct RsImage {
    int32_t width;       /* stored row length in pixels (a multiple of 8 at depth 1) */
    int32_t height;      /* rows */
    int32_t size;        /* bytes of pixel data, or of the coded buffer (format 4) */
    int32_t format;      /* KRO_FORMAT_RAW or KRO_FORMAT_G4 */
    int32_t depth;       /* bits per pixel: 1, 8 or 24 */
    unsigned char* data; /* pixel rows or coded bytes */
    int32_t reserved1;   /* belongs to the raster-processing library */
    int32_t reserved2;
    int32_t validWidth;  /* the picture's own width in pixels */
    int32_t validHeight; /* the picture's own height in rows */
    int32_t codedLength; /* bytes produced by the Group 4 encoder */
} RsImage;

/* Palettes are 768 bytes: 256 reds, then 256 greens, then 256 blues. */
#define KRO_PALETTE_SIZE 768

/* Byte swaps in place. */
KRO_API void KroSwabShort(void* twoBytes);
KRO_API void KroSwabLong(void* fourBytes);

/* ---- BMP --------------------------------------------------------------- */

/* Reads an uncompressed 1-, 8- or 24-bit BMP file ("BM", or "MB" with
 * big-endian fields). resolution[0..1] receives dots per inch. */
KRO_API int32_t KroBMPToRsImage(FILE* stream, RsImage* image, int32_t* photometric,
                                int32_t resolution[2], unsigned char palette[768]);

/* Writes image as a BMP file; options must be 0. The palette array receives the
 * colour table that is written. */
KRO_API int32_t KroRsImageToBMP(FILE* stream, const RsImage* image, int32_t options, int32_t dpi,
                                int32_t photometric, unsigned char palette[768]);

/* ---- PostScript -------------------------------------------------------- */

/* A document is KroPutPSHeader, then KroRsImageToPS once per page, then
 * KroPutPSFooter, on one stream. The page count and bounding box that the
 * trailer reports live in the library between these calls: one document at a
 * time. creator may be null; control characters in creator and title are
 * written as spaces. */
KRO_API int32_t KroPutPSHeader(FILE* stream, const char* creator, const char* title);

/* Writes image as one page, its lower-left corner at the page's, at xdpi by
 * ydpi dots per inch; the page draws validWidth columns of each stored row.
 * photometric 0 or 1 takes depth 1 or 8, 2 depth 24, 3 depth 8 with palette
 * (read for 3 only). */
KRO_API int32_t KroRsImageToPS(FILE* stream, const RsImage* image,
                               const unsigned char palette[768], int32_t photometric,
                               int32_t xdpi, int32_t ydpi);

/* Writes the trailer: the page count and the bounding box of the pages. */
KRO_API int32_t KroPutPSFooter(FILE* stream);
/* ---- PDF ---------------------------------------------------------------- */

/* Beyond the original interface (exports.extra lists these names). A
 * document is KroPutPDFHeader, then one page call per picture, then
 * KroPutPDFFooter, on one stream that is only written front to back (a pipe
 * or standard output will do). The library keeps the document's objects
 * between the calls: one document at a time, on one thread. Each page keeps
 * its picture's physical size at xdpi by ydpi dots per inch. A page refused
 * with a status code writes nothing, so the document stays whole; after a
 * failed write every call gives KRO_ERR_IO. creator may be null. */
KRO_API int32_t KroPutPDFHeader(FILE* stream, const char* creator, const char* title);

/* Writes image as one page, photometric as for KroRsImageToPS: bilevel
 * pictures coded with Group 4, gray, palette and RGB pictures with Flate
 * (zlib level 1). The page draws validWidth columns of each stored row. */
KRO_API int32_t KroRsImageToPDF(FILE* stream, const RsImage* image,
                                const unsigned char palette[768], int32_t photometric, int32_t xdpi,
                                int32_t ydpi);

/* Writes length bytes of Group 4 coded data of width x height pels (the
 * picture of a CALS file after its header) as one page, copied as they are.
 * photometric 0: coded black runs are black; 1: they are white. The page
 * shows the picture turned counter-clockwise by angle (0, 90, 180 or 270;
 * KRO_ERR_ROTATE otherwise), then mirrored left to right when mirrored is not
 * 0, as KroCalsToRsImage turns a CALS picture upright (angle the pel path,
 * mirrored for a line progression of 90); xdpi and ydpi are the turned
 * page's. Data that does not end in the end-of-facsimile-block code is
 * decoded once first; if it does not make the whole picture,
 * KRO_ERR_G4_DECODE. */
KRO_API int32_t KroG4ToPDF(FILE* stream, const unsigned char* coded, size_t length, int32_t width,
                           int32_t height, int32_t photometric, int32_t angle, int32_t mirrored,
                           int32_t xdpi, int32_t ydpi);

/* Writes a whole JPEG file of length bytes as one page, copied as it is: 8-bit
 * Huffman-coded gray, colour or CMYK (Adobe's inverted CMYK drawn as such),
 * baseline or progressive. xdpi and ydpi count when the file states no
 * density. The file is decoded once at an eighth of its size: one whose data
 * does not decode in full up to its end-of-image marker, or that a viewer
 * could not draw as it is, gives KRO_ERR_JPEG_DECODE (KroJPEGToRsImage may
 * still read it). */
KRO_API int32_t KroJPEGToPDF(FILE* stream, const unsigned char* data, size_t length, int32_t xdpi,
                             int32_t ydpi);

/* Writes the page tree, the cross-reference table and the trailer. */
KRO_API int32_t KroPutPDFFooter(FILE* stream);

/* ---- PCX --------------------------------------------------------------- */

/* Reads a run-length coded PCX file of 1 bit (one plane), 8 bits (one plane,
 * 256-colour palette after the data) or 24 bits (three planes).
 * resolution[0..1] receives the header's resolutions; the palette receives
 * all 256 entries (8 bits) or entries 0 and 1 (1 bit). A file that ends
 * inside the picture gives KRO_ERR_IO, or KRO_ERR_PCX_HEADER right after a
 * count byte. */
KRO_API int32_t KroPCXToRsImage(FILE* stream, RsImage* image, int32_t* photometric,
                                int32_t resolution[2], unsigned char palette[768]);

/* Writes image as a version 5 PCX file. The two resolutions must be equal,
 * 1 to 32767. Bilevel files get the palette black, white whatever the
 * photometric value. The palette array receives the table that is written. */
KRO_API int32_t KroRsImageToPCX(FILE* stream, const RsImage* image, int32_t photometric,
                                const int32_t resolution[2], unsigned char palette[768]);

/* Beyond the original interface (exports.extra lists it): a picture taken
 * from one file into another a band of rows at a time, so that a large
 * picture is never held whole. from is KRO_FILE_BMP (8 or 24 bits) or
 * KRO_FILE_PCX (24 bits), read from the stream's position, which must be
 * its start; to is KRO_FILE_BMP (on a stream that can seek), KRO_FILE_PCX
 * or KRO_FILE_PS, the next page of the document KroPutPSHeader began. The
 * output states the input's resolution, or dpi where the input states none
 * (0: none, for BMP); an 8-bit picture is gray when its palette is the
 * plain gray ramp, else a palette picture. colortype -1 keeps the colours;
 * KRO_COLORTYPE_GRAYSCALE makes a 24-bit picture 8-bit gray on the way, as
 * KroConvImage does. picture receives the width, the height and the bits
 * per pixel read; it may be null. The bytes written are
 * those of the whole-picture calls. KRO_ERR_NOT_AS_IS, nothing written and
 * the input back where it stood, when the picture is not one to take across
 * so: another depth (or colortype), a layout the whole-picture reader refuses or a file
 * too short for it, two resolutions that a BMP or PCX file cannot state, a
 * resolution the writer refuses. Any other status after the first byte is
 * written leaves the output partly written. */
#define KRO_FILE_BMP 1
#define KRO_FILE_PCX 2
#define KRO_FILE_PS  3
KRO_API int32_t KroStreamPicture(FILE* in, int32_t from, FILE* out, int32_t to, int32_t dpi,
                                 int32_t colortype, int32_t picture[3]);

/* ---- BMP and PCX variants, and their names ----------------------------- */

/* Beyond the original interface (the names of the exports file, which
 * exports.extra completes): readers of the BMP and PCX layouts that other
 * programs write and the readers above refuse. Both take the file whole from
 * the stream's position, which must be its start, up to 2 GiB (KRO_ERR_SIZE
 * beyond), and fill their arguments as KroBMPToRsImage and KroPCXToRsImage
 * do. Pixel data that runs short gives KRO_ERR_IO, also when it is too short
 * for the picture to be allocated: RLE data of less than a byte for 16384
 * pixels, PCX data of less than a byte for 32. */

/* Reads "BM" files of 4 bits (as 8-bit palette pictures), RLE8 and RLE4
 * compression (likewise; pixels the data skips are index 0), top-down rows,
 * 16- and 32-bit pixels with or without bit fields (as 24-bit RGB; a used
 * alpha channel lays the colours on white), and the OS/2 info headers of 12
 * and 64 bytes; the plain layouts read too. An info header or pixel data
 * offset beyond the end of the file gives KRO_ERR_BMP_HEADER. */
KRO_API int32_t KroBMPVariantToRsImage(FILE* stream, RsImage* image, int32_t* photometric,
                                       int32_t resolution[2], unsigned char palette[768]);

/* Reads PCX files of 2 to 4 planes of 1 bit and of one plane of 2 or 4 bits
 * as 8-bit palette pictures (the header's 16 colours, the standard ones for
 * version 3), and of 4 planes of 8 bits as 24-bit RGB, a used alpha plane
 * laying the colours on white. Sides of 1 to 32768. */
KRO_API int32_t KroPCXVariantToRsImage(FILE* stream, RsImage* image, int32_t* photometric,
                                       int32_t resolution[2], unsigned char palette[768]);

/* Names the variant of a BMP, PCX or JPEG file that KroBMPToRsImage,
 * KroPCXToRsImage or KroJPEGToRsImage refuses ("RLE8-compressed BMP",
 * "4-plane 1-bit PCX", "CMYK JPEG"), from its header at the stream's position
 * (the start of the file). Stores at most size bytes with the NUL in name and
 * returns the name's length, 0 when the header names no variant, -1 with
 * KRO_ERR_NULL. */
KRO_API int32_t KroDescribeVariant(FILE* stream, char* name, size_t size);

/* ---- CALS (section kept by the CALS codec) ----------------------------- */

/* The header of a CALS Type 1 file. Text fields are NUL-terminated (a field
 * that fills all 128 bytes is written up to its end). */
typedef struct CalsHeader {
    char srcdocid[128];
    char dstdocid[128];
    char txtfilid[128];
    char figid[128];
    char srcgph[128];
    char doccls[128];
    int32_t rtype;           /* raster type: 1 */
    int32_t pelPath;         /* degrees counter-clockwise: 0, 90, 180 or 270 */
    int32_t lineProgression; /* 270 as usual, 90 for mirrored lines */
    int32_t pelsPerLine;     /* 1 to 32768 */
    int32_t numLines;        /* 1 to 32768 */
    double rdensity;         /* dots per inch, above 0 and below 10000 */
    char notes[128];
} CalsHeader;

/* Reads the eleven header records from the start of stream; the stream is left
 * at byte 1408. */
KRO_API int32_t KroGetCals(FILE* stream, CalsHeader* header);

/* Decodes the picture of a CALS file into image, turned upright. The caller
 * prepares image: depth 1, format 1, width the upright width (pelsPerLine, or
 * numLines when pelPath is 90 or 270) raised to a multiple of 8, height the
 * upright height, data of size = width / 8 * height bytes. */
KRO_API int32_t KroCalsToRsImage(FILE* stream, const CalsHeader* header, RsImage* image);

/* Writes header and the region (0, 0, pelsPerLine, numLines) of the bilevel
 * image (1 is black) as a CALS file, without turning it. */
KRO_API int32_t KroRsImageToCals(FILE* stream, const CalsHeader* header, const RsImage* image);

/* ---- JPEG -------------------------------------------------------------- */

/* Reads a JPEG file as 8-bit gray (photometric 1) or 24-bit RGB (photometric
 * 2). resolution[0..1] receives the density in dots per inch (dots per
 * centimetre converted and rounded), or -1 and -1 when the file states none.
 * A corrupt or truncated file gives KRO_ERR_JPEG_DECODE; one that lacks
 * only its end-of-image marker loads. */
KRO_API int32_t KroJPEGToRsImage(FILE* stream, RsImage* image, int32_t* photometric,
                                 int32_t resolution[2]);

/* Writes an 8-bit gray (photometric 1) or 24-bit RGB (photometric 2) image as
 * a baseline JPEG file. resolution -1, -1 writes no density in dots per inch;
 * quality is 0 to 100, or -1 for 75. */
KRO_API int32_t KroRsImageToJPEG(FILE* stream, const RsImage* image, int32_t photometric,
                                 const int32_t resolution[2], int32_t quality);

/* ---- TIFF and PNG ------------------------------------------------------ */

/* Beyond the original interface (exports.extra lists these names). */

/* TIFF files are read and written through streams positioned at the file's
 * first byte, which must be seekable. Pages count from 0.
 *
 * KroTIFFToRsImage reads page page as 1-bit (photometric 0 or 1 as the file
 * says), 8-bit gray (0 or 1) or palette (3; 1 to 4 bits a sample widen to 8),
 * or 24-bit RGB (2); other layouts (16 bits a sample, alpha, CMYK, YCbCr,
 * separate planes) read as 24-bit RGB, alpha laid on white. The Orientation
 * tag is honoured: the picture comes out upright. resolution[0..1] receives
 * dots per inch (centimetres converted), or -1 and -1 when the file states
 * none. A page whose coded data could not make the picture it declares gives
 * KRO_ERR_TIFF before anything is allocated for it. */
KRO_API int32_t KroTIFFToRsImage(FILE* stream, int32_t page, RsImage* image,
                                 int32_t* photometric, int32_t resolution[2],
                                 unsigned char palette[768]);

/* The count of pages in *pages and the TIFF Compression value of page page
 * in *compression (either may be null). */
KRO_API int32_t KroTIFFInfo(FILE* stream, int32_t page, int32_t* pages, int32_t* compression);

/* Writes image as one page: the stream's first page when it is empty, else
 * the next page of the TIFF file it holds (opened for update, "r+b" or
 * "w+b"). photometric and palette as for KroRsImageToPS; resolution in dots
 * per inch, or -1 for none. compression is a KRO_COMPRESSION_* value: NO,
 * PACKBITS, LZW and DEFLATE at every depth (LZW and DEFLATE with the
 * horizontal predictor for gray and RGB), G3 and G4 at depth 1 only, JPEG
 * (quality 75; colour as YCbCr) for gray and RGB; 0
 * chooses G4 for depth 1 and LZW otherwise. KRO_ERR_TIFF_COMPRESSION when the
 * compression does not suit the depth or is not built in. */
KRO_API int32_t KroRsImageToTIFF(FILE* stream, const RsImage* image, int32_t photometric,
                                 const unsigned char palette[768], const int32_t resolution[2],
                                 int32_t compression);

/* Copies the Group 4 picture of a CALS file (read from its first byte) into
 * a new page of tiff (as KroRsImageToTIFF adds pages) without decoding it.
 * KRO_ERR_NOT_AS_IS, nothing written, when the picture is turned or mirrored
 * (rorient other than 0,270): the host decodes and writes it then. */
KRO_API int32_t KroCalsToTIFF(FILE* cals, FILE* tiff);

/* Copies the Group 4 strip of TIFF page page into a CALS file without
 * decoding it. header gives the text records; its raster fields are filled
 * in from the page (the density from the page's resolution, or kept when the
 * page states none, or none that CALS can hold). KRO_ERR_NOT_AS_IS, nothing
 * written, when the page is not one strip of plain Group 4 coding with 0 as
 * white, most significant bit first, upright. */
KRO_API int32_t KroTIFFToCals(FILE* tiff, int32_t page, CalsHeader* header, FILE* cals);

/* Reads a PNG file: 1-bit gray as depth 1 (photometric 1), gray of 2 to 16
 * bits as 8-bit gray (1), palettes as 8-bit palette pictures (3), colour as
 * 24-bit RGB (2); 16-bit samples are scaled to 8 bits and transparency is
 * laid on white. resolution[0..1] receives the pHYs resolution in dots per
 * inch, or -1 and -1 when the file states none in metres. */
KRO_API int32_t KroPNGToRsImage(FILE* stream, RsImage* image, int32_t* photometric,
                                int32_t resolution[2], unsigned char palette[768]);

/* Writes image as a PNG file: depth 1 as 1-bit gray, depth 8 as gray
 * (photometric 0 or 1) or palette (3), depth 24 as RGB; validWidth columns of
 * each row. A resolution above 0 goes into pHYs (dots per metre). Builds
 * without libpng give KRO_ERR_UNAVAILABLE for both PNG functions. */
KRO_API int32_t KroRsImageToPNG(FILE* stream, const RsImage* image, int32_t photometric,
                                const unsigned char palette[768], const int32_t resolution[2]);

/* ---- Transforms (section kept by the transforms) ----------------------- */

/* Scales the rectangle (0, 0, srcWidth, srcHeight) of src into the rectangle
 * (0, 0, dstWidth, dstHeight) of dst, both allocated by the caller, of the same
 * depth. Both sides grow, or neither does. */
KRO_API int32_t KroConvSize(const RsImage* src, int32_t srcWidth, int32_t srcHeight, RsImage* dst,
                            int32_t dstWidth, int32_t dstHeight);

/* Converts an 8-bit gray or palette or a 24-bit RGB image to the colour type
 * that kroOption asks for (colortype, gamma, level, dithes, dithee) into a new
 * image in dst (its data from malloc; the caller frees it). Gamma corrects
 * src's pixels in place. dstPalette receives the palette when *dstPhotometric
 * comes out 3; palette (read for photometric 3) is never written. */
KRO_API int32_t KroConvImage(RsImage* src, int32_t photometric, const unsigned char palette[768],
                             RsImage* dst, int32_t* dstPhotometric,
                             unsigned char dstPalette[768]);

/* ---- Options (section kept by the option parser) ----------------------- */

/* One slot of kroOption. given is 1 when the option was given. Strings are not
 * copied: they point into the caller's argument vector. */
typedef struct KroIntSlot {
    int32_t given;
    int32_t value;
} KroIntSlot;
typedef struct KroRealSlot {
    int32_t given;
    double value;
} KroRealSlot;
typedef struct KroTextSlot {
    int32_t given;
    char* value;
} KroTextSlot;
typedef struct KroSwitchSlot {
    int32_t given;
} KroSwitchSlot;

/* The options of one conversion job. Hosts read it by layout: keep the order. */
typedef struct KroOption {
    KroIntSlot from;        /* first page */
    KroIntSlot to;          /* last page */
    KroIntSlot width;       /* output width in dots */
    KroIntSlot height;      /* output height in dots */
    KroTextSlot outdata;
    KroTextSlot directory;
    KroTextSlot outfile;
    KroIntSlot page;
    KroIntSlot dpi;         /* output resolution */
    KroIntSlot compression; /* KRO_COMPRESSION_* */
    KroRealSlot scale;
    KroIntSlot papertype;   /* paper type code */
    KroIntSlot rotate;      /* degrees: 0, 90, 180, 270 */
    KroTextSlot list;
    KroTextSlot fn;
    KroIntSlot mode;        /* KRO_MODE_* */
    KroIntSlot x;
    KroIntSlot y;
    KroTextSlot mergefile;
    KroIntSlot colortype;   /* KRO_COLORTYPE_*, or -1 */
    KroRealSlot gamma;
    KroIntSlot quality;
    KroIntSlot level;
    KroIntSlot dithes;      /* dither code 0 to 5 */
    KroIntSlot tileWidth;
    KroIntSlot tileHeight;
    KroIntSlot tileNumX;
    KroIntSlot tileNumY;
    KroIntSlot xreso;
    KroIntSlot yreso;
    KroIntSlot photo;       /* 0 or 1 */
    KroIntSlot color;       /* 0xRRGGBB */
    KroIntSlot stripLength;
    KroIntSlot strip;
    KroIntSlot fontsize;
    KroRealSlot pen1;
    KroRealSlot pen2;
    KroRealSlot pen3;
    KroRealSlot pen4;
    KroRealSlot pen5;
    KroRealSlot pen6;
    KroRealSlot pen7;
    KroRealSlot pen8;
    KroIntSlot plot;        /* plotter type */
    KroIntSlot defDpi;
    KroIntSlot defXDpi;
    KroIntSlot defYDpi;
    KroTextSlot ignore;     /* HP-GL mnemonics to ignore */
    KroSwitchSlot Italic;
    KroSwitchSlot bold;
    KroSwitchSlot physical;
    KroSwitchSlot dithee;
    KroSwitchSlot notify;
    KroSwitchSlot center;
    KroSwitchSlot batch;
} KroOption;

extern KRO_API KroOption kroOption;

/* Keyword codes of the slots (TIFF Compression values for compression). */
#define KRO_COMPRESSION_NO       1
#define KRO_COMPRESSION_G3       3
#define KRO_COMPRESSION_G4       4
#define KRO_COMPRESSION_OJPEG    6
#define KRO_COMPRESSION_JPEG     7
#define KRO_COMPRESSION_PACKBITS 32773
#define KRO_COMPRESSION_LZW      5 /* TIFF writer only */
#define KRO_COMPRESSION_DEFLATE  8 /* TIFF writer only */
#define KRO_MODE_COPY 0
#define KRO_MODE_AND  1
#define KRO_MODE_OR   2
#define KRO_MODE_XOR  3
#define KRO_COLORTYPE_BILEVEL   0
#define KRO_COLORTYPE_GRAYSCALE 1
#define KRO_COLORTYPE_RGB       2
#define KRO_COLORTYPE_PALETTE   3

/* Clears every given flag; values stay. Call before parsing a new job. */
KRO_API void kroInitOption(void);
/* Stores the default of every valued slot not given. Always 0. */
KRO_API int32_t kroSetDefault(void);
/* Refuses options that contradict each other (KRO_ERR_OPTION_CONFLICT). */
KRO_API int32_t kroCheckOption(void);
/* Refuses values out of range (KRO_ERR_OPTION_RANGE); run after kroSetDefault. */
KRO_API int32_t kroCheckValue(void);
/* Whether the given options suit conversion kind 1 to 24. */
KRO_API int32_t KroCheckCOption(int32_t kind);

/* Moves the options of argv into kroOption and removes them; *argc is updated.
 * Then checks, fills in defaults and checks the values. */
KRO_API int32_t KroGetOption(int32_t* argc, char** argv);
/* Removes n entries of argv from index on. */
KRO_API void kroShiftOption(int32_t* argc, char** argv, int32_t index, int32_t n);

/* Keyword lookups: the code of word, or -1 when it is not a keyword. */
KRO_API int32_t kroGetCompressionOption(const char* word);
KRO_API int32_t kroGetRotateOption(const char* word);
KRO_API int32_t kroGetPapertypeOption(const char* word);
KRO_API int32_t kroGetModeOption(const char* word);
KRO_API int32_t kroGetColorTypeOption(const char* word);
KRO_API int32_t kroGetDithesOption(const char* word);

/* ---- Paper (section kept by the paper tables) -------------------------- */

/* Paper type code: series << 16 | size << 8 | orientation, plus the long bit. */
#define KRO_PAPER_LANDSCAPE 0x00000001 /* width is the long side */
#define KRO_PAPER_PORTRAIT  0x00000010 /* width is the short side */
#define KRO_PAPER_LONG      0x01000000 /* standard width, longer than the sheet */

/* Size of a paper type in dots at dpi, each side a multiple of 8. Fails with
 * KRO_ERR_PAPER_TOO_LARGE, the sizes stored, when a side exceeds 32768. */
KRO_API int32_t KroQueryDotsByPapertype(int32_t papertype, int32_t dpi, int32_t* width,
                                        int32_t* height);
/* Size of a paper type in millimetres. */
KRO_API int32_t KroQueryLengthByPapertype(int32_t papertype, float* width, float* height);
/* The paper type within 5 percent of a size in dots: its code, 0 when none
 * matches, -1 when a side exceeds 32768 dots. */
KRO_API int32_t KroQueryPapertypeByDots(int32_t width, int32_t height, int32_t dpi);
/* The paper type for a size in millimetres, or 0. fit 1: the smallest paper
 * that holds the size; otherwise the paper nearest to it. */
KRO_API int32_t KroQueryPapertypeByLength(float width, float height, int32_t fit);

/* ---- HP-GL plots (section kept by the plot loader) --------------------- */

/* A loaded plot. Sizes are in plotter units of 0.025 mm unless named Mm. */
typedef struct HpglDocument {
    const char* path;     /* the caller's file name, not copied */
    char* text;           /* the cleaned plot text, NUL-terminated */
    int32_t textLength;   /* bytes of text including the NUL */
    double widthMm;       /* (xMax - xMin) * 0.025 */
    double heightMm;      /* (yMax - yMin) * 0.025 */
    double xMax;
    double yMax;
    double xMin;
    double yMin;
    double scale;         /* device units per plotter unit of the last drawing */
    int32_t plot;         /* plotter type */
    int32_t paperType;    /* paper chosen for the plot, 0 for none */
    int32_t ignoreCount;  /* entries of ignoreCodes */
    int32_t* ignoreCodes; /* command codes to ignore, or null */
} HpglDocument;

/* Loads, cleans and measures a plot file and chooses its paper. ignoreList
 * (read when ignore is 1) is a comma-separated list of mnemonics to ignore;
 * only IW may be ignored. The list is upper-cased in place. Returns the
 * document, or KRO_FAILED_PTR. */
KRO_API HpglDocument* KroOpenHPGL(const char* path, int32_t plot, int32_t ignore,
                                  char* ignoreList);
/* Frees a document KroOpenHPGL returned. Always 0. */
KRO_API int32_t KroCloseHPGL(HpglDocument* document);
/* The least and greatest coordinates a plot text reaches, in plotter units.
 * length counts the text's bytes with its NUL; nothing beyond it is read. */
KRO_API int32_t Kro_MAX_MIN(const char* text, int32_t length, int32_t plot, int32_t ignoreCount,
                            const int32_t* ignoreCodes, double* xMax, double* yMax, double* xMin,
                            double* yMin);
/* Classifies the byte at position (modes 1 to 5) or gives the command code of
 * the mnemonic there (mode 6, 0 for none). */
KRO_API int32_t Kro_STR_CMP(int32_t mode, const char* position);

/* Draws a plot on a device context (the HDC of kro/gdi.h) of deviceWidth x
 * deviceHeight units. penWidths: pens 1 to 8 in millimetres. scale 0 fits the
 * plot into the area; a scale above 0 draws at that scale with resolution dots
 * per inch, centred on the area when centreOnDevice is 1, else placed as the
 * plotter places it on paperType. The host's pen is selected again at the end,
 * also after a failure. 0, or -1. */
struct HDC__; /* HDC of kro/gdi.h */
KRO_API int32_t KroDisplayHPGL(HpglDocument* document, int32_t deviceWidth, int32_t deviceHeight,
                               struct HDC__* dc, const float* penWidths, int32_t unused,
                               int32_t paperType, float scale, int32_t resolution,
                               int32_t centreOnDevice);

/* ---- Drawable size (section kept by the paper tables) ------------------- */

/* The page and the picture on it in dots of the output resolution, for an
 * image of width x height pixels at resolution[0..1] dpi, from kroOption. */
KRO_API int32_t KroGetDSize(int32_t width, int32_t height, const int32_t resolution[2],
                            int32_t* paperWidth, int32_t* paperHeight, int32_t outResolution[2],
                            int32_t* drawWidth, int32_t* drawHeight);
/* The page size in dots for a plot, from kroOption; fit as for
 * KroQueryPapertypeByLength. */
KRO_API int32_t SetDrawableSize(const HpglDocument* document, int32_t* width, int32_t* height,
                                int32_t fit);
/* The paper type for a plot from kroOption, or 0 for none. */
KRO_API int32_t SetPaperType(const HpglDocument* document);

/* ---- Image description strings ----------------------------------------- */

/* Failure value of the functions that return an address or -1. */
#define KRO_FAILED_PTR ((void*)(intptr_t)-1)

/* "NAME,first,second" with the paper type's first name, from FndUtMalloc (give
 * it back with FndUtFree); KRO_FAILED_PTR on failure. */
KRO_API char* KroMakeImageDescriptionString(int32_t papertype, int32_t first, int32_t second);

/* ---- For hosts: the option file and the paper names -------------------- */

/* Beyond the original interface (exports.extra lists these names). */

/* Reads the first line of an option file (25 words, "-" for a word not
 * given) into kroOption, with the checks and defaults of KroGetOption. Returns
 * word 1, the input path, in a buffer from malloc that the caller frees; NULL
 * on failure with the code in fndErrorStatus; KRO_FAILED_PTR when the stream
 * ends before its first character (no code stored). */
KRO_API char* KroReadOptionFile(FILE* stream);

/* KroCheckCOption and KroConvImage on a record of the host's own instead of
 * kroOption (which they leave alone), so that a host can ask about options or
 * convert with colour options it sets without touching the shared record. A
 * null record gives KRO_ERR_NULL. */
KRO_API int32_t KroCheckCOptionOf(const KroOption* options, int32_t kind);
KRO_API int32_t KroConvImageWith(const KroOption* options, RsImage* src, int32_t photometric,
                                 const unsigned char palette[768], RsImage* dst,
                                 int32_t* dstPhotometric, unsigned char dstPalette[768]);

/* The full look of a plot (KroDisplayHPGLStyled): pens in the plot's colours
 * (PC, NP, CR; pens without a colour take the palette 0 white, 1 black, 2 red,
 * 3 green, 4 yellow, 5 blue, 6 magenta, 7 cyan) and widths (PW, WU) with the
 * plot's line ends and joins (LA); polygons, rectangles and wedges filled
 * (FP, RA, RR, WG; solid, hatched or cross-hatched as FT says); labels drawn
 * in a stroke font as a plotter draws them, the pen left after the last
 * character (placed by LO, stacked by DV); SM symbols; CI's chord angle; RO
 * turning the plotter's axes; paths (PE, BZ, AT) inside polygons. The
 * document's extents place the drawing: after KroOpenHPGL they are the
 * design's, which know nothing of RO, LO, SM, DV and pages; KroSelectHPGLPage
 * measures a page as this look draws it. size is the size of the record the host knows (sizeof
 * KroHpglStyle when it was built): fields beyond it read as 0, so the record
 * can grow. A null record is the full look with every field 0. */
#define KRO_HPGL_MONOCHROME  1 /* every pen black */
#define KRO_HPGL_NO_FILLS    2 /* fills drawn as outlines */
#define KRO_HPGL_LABEL_BOXES 4 /* labels as boxes, as KroDisplayHPGL draws them */
typedef struct KroHpglStyle {
    uint32_t size;
    uint32_t flags;   /* KRO_HPGL_* */
    const char* font; /* a Hershey font of hershey-fonts-data (".jhf" optional); null: futural */
    int32_t page;     /* the page drawn (from 1; PG ends a page); 0: every page as one */
} KroHpglStyle;

/* KroDisplayHPGL with the full look: the same walk and placement, the style
 * in place of the unused argument. penWidths (null for none): a pen's width
 * above 0 wins over the plot's PW; 0 leaves the plot's width (0.35 mm unless
 * PW says otherwise). The plot's PC is the pen colour here, not a movement.
 * The host's pen and brush are selected again at the end. 0, or -1. */
KRO_API int32_t KroDisplayHPGLStyled(HpglDocument* document, int32_t deviceWidth,
                                     int32_t deviceHeight, struct HDC__* dc,
                                     const float* penWidths, const KroHpglStyle* style,
                                     int32_t paperType, float scale, int32_t resolution,
                                     int32_t centreOnDevice);

/* The pages of a plot as the full look draws them: PG ends a page that has
 * ink. Measures page `page` (from 1) as the full look draws it, RO turning
 * the plotter's axes, and puts its extents, size and paper type in the
 * document in place of the whole plot's, so that SetPaperType,
 * SetDrawableSize and KroDisplayHPGLStyled with the style's page place that
 * page. Returns the number of pages (at least 1), or -1: KRO_ERR_OPTION_RANGE
 * for a page the plot does not have. KroDisplayHPGL still draws every page
 * as one, as it measures them at KroOpenHPGL. */
KRO_API int32_t KroSelectHPGLPage(HpglDocument* document, int32_t page);

/* Row row (from 0) of the paper name table: its paper type code in *papertype
 * and up to capacity of its names in names (in the table's order, the first
 * one the paper's own name). Returns the number of names the row holds, or -1
 * past the last row. The names are the library's and live as long as it. */
KRO_API int32_t KroPaperNames(int32_t row, int32_t* papertype, const char** names,
                              int32_t capacity);

#ifdef __cplusplus
}
#endif

#endif
