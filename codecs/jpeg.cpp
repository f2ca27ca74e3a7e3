// JPEG files through libjpeg's classic interface: 8-bit gray or 24-bit RGB
// pictures read from and written to stdio streams.
#include <climits>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jerror.h>
#include <jpeglib.h>

#include "codecs/jpeg.h"
#include "core/image.h"

namespace {

// Legitimate encoders write a few dozen scans; each scan revisits every block
// of the frame, so a file of thousands of tiny scans is refused at this count.
constexpr int kMaxScans = 500;

// libjpeg reports a fatal error by calling error_exit, which must not return:
// ours jumps back to the call that set the jump with the code to store.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    int32_t fallbackCode;  // for errors that have no code of their own
    int32_t code;
    bool eofAllowed;  // set once the scans are being decoded
    int eofWarnings;
};

int32_t codeForError(const ErrorManager& e) {
    switch (e.pub.msg_code) {
        case JERR_OUT_OF_MEMORY:
            return KRO_ERR_NOMEM;
        case JERR_EMPTY_IMAGE:
        case JERR_IMAGE_TOO_BIG:
            return KRO_ERR_SIZE;
        case JERR_FILE_WRITE:
            return KRO_ERR_IO;
        default:
            return e.fallbackCode;
    }
}

[[noreturn]] void jumpBack(ErrorManager* e, int32_t code) {
    e->code = code;
    std::longjmp(e->jump, 1);
}

[[noreturn]] void onError(j_common_ptr c) {
    auto* e = reinterpret_cast<ErrorManager*>(c->err);
    jumpBack(e, codeForError(*e));
}

// Warnings print nothing. A scan that needs more data than there is
// (JWRN_HIT_MARKER) is refused: libjpeg would fill the rest with gray. The
// end of the file (JWRN_JPEG_EOF, after which libjpeg supplies an
// end-of-image marker) is let pass once while the scans are decoded: when
// no scan came short, whether any scan is missing is asked at the end.
void onMessage(j_common_ptr c, int level) {
    if (level >= 0) return;
    auto* e = reinterpret_cast<ErrorManager*>(c->err);
    if (e->pub.msg_code == JWRN_HIT_MARKER) jumpBack(e, KRO_ERR_JPEG_DECODE);
    if (e->pub.msg_code == JWRN_JPEG_EOF && (!e->eofAllowed || e->eofWarnings++ > 0))
        jumpBack(e, KRO_ERR_JPEG_DECODE);
    ++e->pub.num_warnings;
}

void noOutput(j_common_ptr) {}

void installErrorManager(ErrorManager* e, int32_t fallbackCode) {
    jpeg_std_error(&e->pub);
    e->pub.error_exit = onError;
    e->pub.emit_message = onMessage;
    e->pub.output_message = noOutput;
    e->fallbackCode = fallbackCode;
    e->code = 0;
    e->eofAllowed = false;
    e->eofWarnings = 0;
}

struct Progress {
    jpeg_progress_mgr pub;
    uint32_t scanned;  // mask of the components some scan has carried
};

// Called by libjpeg while it takes in the scans of a multi-scan file, and
// for every row read: each scan is current at one call at least.
void watchScans(j_common_ptr c) {
    auto* d = reinterpret_cast<j_decompress_ptr>(c);
    if (d->input_scan_number > kMaxScans)
        jumpBack(reinterpret_cast<ErrorManager*>(c->err), KRO_ERR_JPEG_DECODE);
    auto* p = reinterpret_cast<Progress*>(d->progress);
    for (int i = 0; i < d->comps_in_scan; ++i)
        p->scanned |= 1u << d->cur_comp_info[i]->component_index;  // below MAX_COMPONENTS
}

// Whether the scans read make the whole picture: every component scanned,
// and in a progressive file every coefficient refined to its last bit.
// Encoders do refine them all; a file stopped between scans leaves some out.
bool everyScanRead(const jpeg_decompress_struct& d, uint32_t scanned) {
    if (d.progressive_mode) {
        for (int c = 0; c < d.num_components; ++c)
            for (int k = 0; k < DCTSIZE2; ++k)
                if (d.coef_bits[c][k] != 0) return false;
        return true;
    }
    return scanned == (1u << d.num_components) - 1;
}

// The fewest bytes that can code the scan libjpeg has just read the header
// of. A Huffman-coded block costs at least one bit, except in a progressive
// AC scan, where one end-of-band run covers up to 32767 blocks.
uint64_t leastScanBytes(const jpeg_decompress_struct& d) {
    uint64_t blocks = 0;
    for (int i = 0; i < d.comps_in_scan; ++i)
        blocks += uint64_t(d.cur_comp_info[i]->width_in_blocks) *
                  uint64_t(d.cur_comp_info[i]->height_in_blocks);
    const uint64_t blocksPerBit = d.progressive_mode && d.Ss > 0 ? 32767 : 1;
    return (blocks / blocksPerBit + 7) / 8;
}

// The JFIF density in dots per inch, dots per centimetre converted; false
// when the file states none (unit 0, or no JFIF marker).
bool densityInDpi(const jpeg_decompress_struct& d, int32_t dpi[2]) {
    if (d.density_unit == 1) {
        dpi[0] = d.X_density, dpi[1] = d.Y_density;
        return true;
    }
    if (d.density_unit == 2) {
        dpi[0] = int32_t(std::lround(d.X_density * 2.54));
        dpi[1] = int32_t(std::lround(d.Y_density * 2.54));
        return true;
    }
    return false;
}

struct Reader {
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    Progress progress;
    unsigned char* pixels;  // handed to the caller on success, freed otherwise
};

// All of the decoding, with only trivially destructible locals: libjpeg's
// errors jump back into this frame.
int32_t decode(Reader* r, FILE* stream, RsImage* image, int32_t* photometric,
               int32_t resolution[2]) {
    jpeg_decompress_struct& d = r->cinfo;
    if (setjmp(r->err.jump)) return r->err.code;

    jpeg_create_decompress(&d);
    jpeg_stdio_src(&d, stream);
    jpeg_read_header(&d, TRUE);
    // Arithmetic coding, which the classic libjpeg never decoded, is refused:
    // its decoder feeds zeros past the end of the data without a warning, so a
    // few bytes can stand for a picture of any size and the work has no bound.
    if (d.arith_code) return KRO_ERR_JPEG_DECODE;
    if (d.out_color_space != JCS_GRAYSCALE && d.out_color_space != JCS_RGB)
        return KRO_ERR_PHOTOMETRIC;
    int32_t dpi[2] = {-1, -1};
    if (densityInDpi(d, dpi) && dpi[0] != dpi[1]) return KRO_ERR_RESOLUTION;

    // Output and libjpeg's own buffers are sized by the frame; a frame the rest
    // of the stream cannot code is refused before either is allocated.
    jpeg_calc_output_dimensions(&d);
    if (!kro::sideInRange(d.output_width) || !kro::sideInRange(d.output_height))
        return KRO_ERR_SIZE;
    const int32_t width = int32_t(d.output_width), height = int32_t(d.output_height);
    const int32_t depth = 8 * d.output_components;
    const uint64_t bytes = kro::pixelBytes(width, height, depth);
    if (bytes > uint64_t(INT32_MAX)) return KRO_ERR_SIZE;  // size is a 32-bit field
    const int64_t length = kro::streamLength(stream);
    const long position = std::ftell(stream);
    if (length >= 0 && position >= 0) {
        const uint64_t left = uint64_t(length - position) + d.src->bytes_in_buffer;
        if (left < leastScanBytes(d)) return KRO_ERR_JPEG_DECODE;
    }

    r->progress.pub.progress_monitor = watchScans;
    d.progress = &r->progress.pub;
    r->err.eofAllowed = true;
    jpeg_start_decompress(&d);

    // The picture's buffer is allocated once the first row has decoded, so a
    // frame with no data behind it fails before it also where the stream's
    // length is unknown.
    const size_t rowBytes = size_t(kro::rowBytes(width, depth));
    JSAMPARRAY row = (*d.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&d), JPOOL_IMAGE,
                                            JDIMENSION(rowBytes), 1);
    while (d.output_scanline < d.output_height) {
        const JDIMENSION y = d.output_scanline;
        if (jpeg_read_scanlines(&d, row, 1) != 1) return KRO_ERR_JPEG_DECODE;
        if (!r->pixels && !(r->pixels = kro::allocBytes(bytes))) return KRO_ERR_NOMEM;
        std::memcpy(r->pixels + size_t(y) * rowBytes, row[0], rowBytes);
    }
    // A file that ends without its end-of-image marker is whole when no scan
    // is missing; one stopped between two scans is not. Asked before
    // finishing, which frees the coefficient bits; a single-scan file may
    // meet its end only there.
    const bool whole = everyScanRead(d, r->progress.scanned);
    if (!jpeg_finish_decompress(&d)) return KRO_ERR_JPEG_DECODE;
    if (r->err.eofWarnings && !whole) return KRO_ERR_JPEG_DECODE;

    kro::handOverPicture(image, width, height, depth, bytes,
                         r->pixels, width, height);
    r->pixels = nullptr;
    *photometric = d.out_color_space == JCS_GRAYSCALE ? KRO_PHOTO_BLACK_IS_ZERO : KRO_PHOTO_RGB;
    resolution[0] = dpi[0];
    resolution[1] = dpi[1];
    return 0;
}

// Decodes a whole JPEG file held in memory, at an eighth of its size (every
// coefficient is still read, few are transformed), to see that a viewer can
// draw it as it is: 8-bit, Huffman-coded, every scan there and complete, up
// to its end-of-image marker. Fills in the header's facts.
int32_t inspect(Reader* r, const unsigned char* data, size_t length, kro::JpegFacts* facts) {
    jpeg_decompress_struct& d = r->cinfo;
    if (setjmp(r->err.jump)) return r->err.code;

    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, data, static_cast<unsigned long>(length));
    jpeg_read_header(&d, TRUE);
    if (d.arith_code || d.data_precision != 8) return KRO_ERR_JPEG_DECODE;
    const int n = d.num_components;
    const J_COLOR_SPACE space = d.jpeg_color_space;
    const bool drawable = (n == 1 && space == JCS_GRAYSCALE) ||
                          (n == 3 && (space == JCS_YCbCr || space == JCS_RGB)) ||
                          (n == 4 && (space == JCS_CMYK || space == JCS_YCCK));
    if (!drawable) return KRO_ERR_JPEG_DECODE;
    if (!kro::sideInRange(d.image_width) || !kro::sideInRange(d.image_height)) return KRO_ERR_SIZE;
    if (d.src->bytes_in_buffer < leastScanBytes(d)) return KRO_ERR_JPEG_DECODE;
    facts->width = int32_t(d.image_width);
    facts->height = int32_t(d.image_height);
    facts->components = n;
    facts->adobeInverted = n == 4 && d.saw_Adobe_marker;
    densityInDpi(d, facts->dpi);

    d.scale_num = 1;
    d.scale_denom = 8;
    d.dct_method = JDCT_IFAST;
    d.do_fancy_upsampling = FALSE;
    r->progress.pub.progress_monitor = watchScans;
    d.progress = &r->progress.pub;
    jpeg_start_decompress(&d);
    JSAMPARRAY row = (*d.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&d), JPOOL_IMAGE,
                                            d.output_width * JDIMENSION(d.output_components), 1);
    while (d.output_scanline < d.output_height)
        if (jpeg_read_scanlines(&d, row, 1) != 1) return KRO_ERR_JPEG_DECODE;
    if (!everyScanRead(d, r->progress.scanned)) return KRO_ERR_JPEG_DECODE;
    // Reads on to the end-of-image marker; the end of the data before it
    // fails (the end is not allowed here).
    jpeg_finish_decompress(&d);
    return 0;
}

struct Writer {
    jpeg_compress_struct cinfo;
    ErrorManager err;
};

int32_t encode(Writer* w, FILE* stream, const RsImage* image, int32_t photometric,
               const int32_t resolution[2], int32_t quality) {
    jpeg_compress_struct& c = w->cinfo;
    if (setjmp(w->err.jump)) return w->err.code;

    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, stream);
    c.image_width = JDIMENSION(image->width);
    c.image_height = JDIMENSION(image->height);
    c.input_components = image->depth / 8;
    c.in_color_space = photometric == KRO_PHOTO_BLACK_IS_ZERO ? JCS_GRAYSCALE : JCS_RGB;
    c.data_precision = 8;
    jpeg_set_defaults(&c);
    if (resolution[0] != -1 && resolution[1] != -1) {
        c.density_unit = 1;
        c.X_density = UINT16(resolution[0]);
        c.Y_density = UINT16(resolution[1]);
    }
    jpeg_set_quality(&c, quality, TRUE);
    jpeg_start_compress(&c, TRUE);

    const size_t rowBytes = size_t(kro::rowBytes(image->width, image->depth));
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = image->data + size_t(c.next_scanline) * rowBytes;
        if (jpeg_write_scanlines(&c, &row, 1) != 1) return KRO_ERR_IO;
    }
    jpeg_finish_compress(&c);
    return 0;
}

// The writer's checks in their order; 0 or the code.
int32_t writerProblem(FILE* stream, const RsImage* image, int32_t photometric,
                      const int32_t resolution[2], int32_t quality) {
    if (!stream || !image || !image->data || !resolution) return KRO_ERR_NULL;
    if (!kro::sideInRange(image->width) || !kro::sideInRange(image->height)) return KRO_ERR_SIZE;
    if (image->format != KRO_FORMAT_RAW) return KRO_ERR_FORMAT;
    if (photometric != KRO_PHOTO_BLACK_IS_ZERO && photometric != KRO_PHOTO_RGB)
        return KRO_ERR_PHOTOMETRIC;
    if (image->depth != (photometric == KRO_PHOTO_RGB ? 24 : 8)) return KRO_ERR_DEPTH;
    if (!kro::sizeCoversRows(*image)) return KRO_ERR_SIZE;
    // The density fields hold 16 bits; a larger value would be stored wrapped.
    if (resolution[0] < -1 || resolution[0] != resolution[1] || resolution[0] > 65535)
        return KRO_ERR_RESOLUTION;
    if (quality < 0 || quality > 100) return KRO_ERR_JPEG_QUALITY;
    return 0;
}

}  // namespace

extern "C" KRO_API int32_t KroJPEGToRsImage(FILE* stream, RsImage* image, int32_t* photometric,
                                            int32_t resolution[2]) {
    if (!stream || !image || !photometric || !resolution) return kro::fail(KRO_ERR_NULL);

    Reader r{};
    r.cinfo.err = &r.err.pub;
    installErrorManager(&r.err, KRO_ERR_JPEG_DECODE);
    const int32_t code = decode(&r, stream, image, photometric, resolution);
    jpeg_destroy_decompress(&r.cinfo);
    std::free(r.pixels);
    return kro::report(code);
}

namespace kro {

int32_t jpegFacts(const unsigned char* data, size_t length, JpegFacts* facts) {
    *facts = JpegFacts{};
    // jpeg_mem_src counts in unsigned long, 32 bits on Windows.
    if (!data || length > ULONG_MAX) return KRO_ERR_JPEG_DECODE;
    Reader r{};
    r.cinfo.err = &r.err.pub;
    installErrorManager(&r.err, KRO_ERR_JPEG_DECODE);
    const int32_t code = inspect(&r, data, length, facts);
    jpeg_destroy_decompress(&r.cinfo);
    return code;
}

}  // namespace kro

extern "C" KRO_API int32_t KroRsImageToJPEG(FILE* stream, const RsImage* image, int32_t photometric,
                                            const int32_t resolution[2], int32_t quality) {
    if (quality == -1) quality = 75;
    if (int32_t code = writerProblem(stream, image, photometric, resolution, quality))
        return kro::fail(code);

    Writer w{};
    w.cinfo.err = &w.err.pub;
    installErrorManager(&w.err, KRO_ERR_IO);
    const int32_t code = encode(&w, stream, image, photometric, resolution, quality);
    jpeg_destroy_compress(&w.cinfo);
    return kro::report(code);
}
