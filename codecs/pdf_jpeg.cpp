// The header of a JPEG file that a PDF page carries as it is, read with
// libjpeg: sides, components, the density, and whether the file is whole.
#include <cmath>
#include <csetjmp>
#include <climits>
#include <cstdio>

#include <jpeglib.h>

#include "codecs/pdf.h"
#include "core/image.h"

namespace {

struct ErrorJump {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

[[noreturn]] void onError(j_common_ptr c) {
    std::longjmp(reinterpret_cast<ErrorJump*>(c->err)->jump, 1);
}

void quiet(j_common_ptr, int) {}
void noOutput(j_common_ptr) {}

// The header's facts, with only trivially destructible locals: libjpeg's
// errors jump back into this frame.
int32_t readHeader(jpeg_decompress_struct* d, ErrorJump* err, const unsigned char* data,
                   size_t length, kro::JpegFacts* facts) {
    if (setjmp(err->jump)) return KRO_ERR_JPEG_DECODE;
    jpeg_create_decompress(d);
    jpeg_mem_src(d, data, static_cast<unsigned long>(length));
    if (jpeg_read_header(d, TRUE) != JPEG_HEADER_OK) return KRO_ERR_JPEG_DECODE;
    // What the DCT filter of a viewer decodes: 8-bit Huffman-coded samples.
    if (d->data_precision != 8 || d->arith_code) return KRO_ERR_JPEG_DECODE;
    const int n = d->num_components;
    const J_COLOR_SPACE space = d->jpeg_color_space;
    const bool known = (n == 1 && space == JCS_GRAYSCALE) ||
                       (n == 3 && (space == JCS_YCbCr || space == JCS_RGB)) ||
                       (n == 4 && (space == JCS_CMYK || space == JCS_YCCK));
    if (!known) return KRO_ERR_JPEG_DECODE;
    if (!kro::sideInRange(d->image_width) || !kro::sideInRange(d->image_height))
        return KRO_ERR_SIZE;
    facts->width = int32_t(d->image_width);
    facts->height = int32_t(d->image_height);
    facts->components = n;
    facts->adobeInverted = n == 4 && d->saw_Adobe_marker;
    if (d->density_unit == 1) {
        facts->dpi[0] = d->X_density, facts->dpi[1] = d->Y_density;
    } else if (d->density_unit == 2) {
        facts->dpi[0] = int32_t(std::lround(d->X_density * 2.54));
        facts->dpi[1] = int32_t(std::lround(d->Y_density * 2.54));
    }
    return 0;
}

}  // namespace

namespace kro {

int32_t jpegFacts(const unsigned char* data, size_t length, JpegFacts* facts) {
    *facts = JpegFacts{};
    // A file cut short lacks its end-of-image marker; jpeg_mem_src counts in
    // unsigned long, 32 bits on Windows.
    if (!data || length < 4 || length > ULONG_MAX || data[length - 2] != 0xFF ||
        data[length - 1] != 0xD9)
        return KRO_ERR_JPEG_DECODE;
    jpeg_decompress_struct d{};
    ErrorJump err{};
    d.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = onError;
    err.pub.emit_message = quiet;
    err.pub.output_message = noOutput;
    const int32_t code = readHeader(&d, &err, data, length, facts);
    jpeg_destroy_decompress(&d);
    return code;
}

}  // namespace kro
