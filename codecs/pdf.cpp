// PDF documents: a header, one page per picture, then the page tree, the
// cross-reference table and the trailer. Bilevel pages are Group 4, JPEG
// files travel as they are, other pictures go through Flate at zlib's
// fastest level. Bytes are counted as they are written, so the stream is
// never positioned and may be a pipe.
#include "codecs/pdf.h"

#include <zlib.h>

#include <algorithm>
#include <cstdarg>
#include <cstring>

#include "codecs/cals.h"
#include "codecs/jpeg.h"
#include "core/image.h"
#include "core/palette.h"
#include "kro/pixo.h"

namespace {

constexpr size_t kBlock = 64 << 10;
// Offsets in the cross-reference table have ten digits.
constexpr uint64_t kMaxOffset = 9999999999ull;
// What a page writes beyond its picture's data, generously.
constexpr uint64_t kPageText = 4096;
constexpr uint32_t kCatalog = 1, kPageTree = 2, kInfo = 3;

// Text and data for the caller's stream, gathered in one block, counted in
// the document. A failed write marks the document broken; later output is
// dropped.
class Out {
  public:
    Out(FILE* f, kro::PdfDocument* doc) : f_(f), doc_(doc) {}
    Out(const Out&) = delete;
    Out& operator=(const Out&) = delete;

    // Room for n more bytes (n at most kBlock); commit what was used.
    char* reserve(size_t n) {
        if (kBlock - used_ < n) flush();
        return block_ + used_;
    }
    void commit(size_t n) {
        used_ += n;
        doc_->written += n;
    }

    void bytes(const void* p, size_t n) {
        if (n > kBlock / 2) {  // large data goes out as it is
            flush();
            if (!doc_->broken && std::fwrite(p, 1, n, f_) != n) doc_->broken = true;
            doc_->written += n;
            return;
        }
        std::memcpy(reserve(n), p, n);
        commit(n);
    }
    void text(const char* s) { bytes(s, std::strlen(s)); }
    [[gnu::format(printf, 2, 3)]] void format(const char* fmt, ...) {
        char line[200];
        va_list ap;
        va_start(ap, fmt);
        const int n = std::vsnprintf(line, sizeof line, fmt, ap);
        va_end(ap);
        if (n > 0) bytes(line, std::min(size_t(n), sizeof line - 1));
    }
    // A PDF literal string: parentheses and backslashes escaped, bytes
    // outside printable ASCII in octal.
    void literal(const char* s) {
        text("(");
        for (; *s; ++s) {
            const auto c = static_cast<unsigned char>(*s);
            if (c == '(' || c == ')' || c == '\\')
                format("\\%c", c);
            else if (c < 0x20 || c > 0x7E)
                format("\\%03o", unsigned(c));
            else
                bytes(s, 1);
        }
        text(")");
    }
    // Object n begins here.
    void object(uint32_t n) {
        flushIfFull();
        doc_->offsets[n - 1] = doc_->written;
        format("%u 0 obj\n", unsigned(n));
    }

    bool flush() {
        if (used_ && !doc_->broken && std::fwrite(block_, 1, used_, f_) != used_)
            doc_->broken = true;
        used_ = 0;
        return !doc_->broken;
    }
    int32_t finish() { return flush() ? 0 : KRO_ERR_IO; }

  private:
    void flushIfFull() {
        if (used_ > kBlock - 256) flush();
    }
    FILE* f_;
    kro::PdfDocument* doc_;
    size_t used_ = 0;
    char block_[kBlock];
};

uint32_t newObject(kro::PdfDocument* doc) {
    doc->offsets.push_back(0);
    return uint32_t(doc->offsets.size());
}

// A length in points, with no more digits than it needs.
struct Points {
    char text[32];
    explicit Points(double v) {
        std::snprintf(text, sizeof text, "%.4f", v);
        char* end = text + std::strlen(text);
        while (end[-1] == '0') *--end = '\0';
        if (end[-1] == '.') end[-1] = '\0';
    }
};

// What a page of a picture states about it.
struct PageImage {
    int32_t width, height;  // pixels of the picture drawn
    int32_t xdpi, ydpi;     // of the page, across and down
    int32_t angle;          // the picture turned counter-clockwise on the page: 0, 90, 180, 270
    bool mirrored;          // then mirrored left to right
    const char* colourSpace;       // a name, or null for the palette below
    const unsigned char* palette;  // three planes, for an indexed colour space
    int32_t bits;
    const char* decode;   // a /Decode array, or null
    const char* filter;   // the filter's name
    char parameters[96];  // its /DecodeParms dictionary, or empty
};

// Whether a page of dataBytes more can still be found by the
// cross-reference table.
bool pageFits(const kro::PdfDocument& doc, uint64_t dataBytes) {
    return dataBytes <= kMaxOffset && doc.written + dataBytes + kPageText <= kMaxOffset;
}

// Writes the page, its content and the image dictionary up to its stream's
// first byte. length is the data's byte count, or 0 with lengthObject for a
// length written after the data.
void beginPage(kro::PdfDocument* doc, Out& out, const PageImage& im, uint64_t length,
               uint32_t lengthObject) {
    const uint32_t page = newObject(doc), content = newObject(doc), image = newObject(doc);
    doc->pages.push_back(page);
    // The picture keeps its physical size: one pixel is 72 / dpi points.
    const bool across = im.angle == 90 || im.angle == 270;
    const double pageW = double(across ? im.height : im.width) * 72.0 / double(im.xdpi);
    const double pageH = double(across ? im.width : im.height) * 72.0 / double(im.ydpi);
    const Points w(pageW), h(pageH);
    // The image's unit square onto the page, turned and mirrored:
    // x = a u + c v + e, y = b u + d v + f.
    double m[6] = {pageW, 0, 0, pageH, 0, 0};
    if (im.angle == 90) m[0] = 0, m[1] = pageH, m[2] = -pageW, m[3] = 0, m[4] = pageW;
    if (im.angle == 180) m[0] = -pageW, m[3] = -pageH, m[4] = pageW, m[5] = pageH;
    if (im.angle == 270) m[0] = 0, m[1] = -pageH, m[2] = pageW, m[3] = 0, m[5] = pageH;
    if (im.mirrored) m[0] = -m[0], m[2] = -m[2], m[4] = pageW - m[4];
    out.object(page);
    out.format("<< /Type /Page /Parent %u 0 R /MediaBox [0 0 %s %s]\n", unsigned(kPageTree), w.text,
               h.text);
    out.format("/Resources << /XObject << /Im0 %u 0 R >> >> /Contents %u 0 R >>\nendobj\n",
               unsigned(image), unsigned(content));
    char draw[200];
    int n = std::snprintf(draw, sizeof draw, "q");
    for (const double v : m)  // + 0.0: no -0
        n += std::snprintf(draw + n, sizeof draw - size_t(n), " %s", Points(v + 0.0).text);
    n += std::snprintf(draw + n, sizeof draw - size_t(n), " cm /Im0 Do Q");
    out.object(content);
    out.format("<< /Length %d >>\nstream\n%s\nendstream\nendobj\n", n, draw);

    out.object(image);
    out.format("<< /Type /XObject /Subtype /Image /Width %d /Height %d\n", int(im.width),
               int(im.height));
    if (im.colourSpace) {
        out.format("/ColorSpace /%s", im.colourSpace);
    } else {
        const kro::ConstPalette p(im.palette);
        out.text("/ColorSpace [/Indexed /DeviceRGB 255 <");
        for (int i = 0; i < 256; ++i) {
            if (i % 32 == 0) out.text("\n");
            out.format("%02x%02x%02x", unsigned(p.red[i]), unsigned(p.green[i]),
                       unsigned(p.blue[i]));
        }
        out.text(">]");
    }
    out.format(" /BitsPerComponent %d", int(im.bits));
    if (im.decode) out.format(" /Decode %s", im.decode);
    out.format("\n/Filter /%s", im.filter);
    if (im.parameters[0]) out.format(" /DecodeParms %s", im.parameters);
    if (lengthObject)
        out.format(" /Length %u 0 R >>\nstream\n", unsigned(lengthObject));
    else
        out.format(" /Length %llu >>\nstream\n", static_cast<unsigned long long>(length));
}

void endStream(Out& out) {
    out.text("\nendstream\nendobj\n");
}

// The Group 4 dictionary of a picture: black is black unless the coded
// colours are swapped.
void setG4(PageImage* im, int32_t photometric) {
    im->colourSpace = "DeviceGray";
    im->palette = nullptr;
    im->bits = 1;
    im->decode = nullptr;
    im->filter = "CCITTFaxDecode";
    std::snprintf(im->parameters, sizeof im->parameters, "<< /K -1 /Columns %d /Rows %d%s >>",
                  int(im->width), int(im->height),
                  photometric == KRO_PHOTO_BLACK_IS_ZERO ? " /BlackIs1 true" : "");
}

int32_t documentProblem(const kro::PdfDocument& doc, FILE* stream) {
    if (!stream) return KRO_ERR_NULL;
    if (!doc.open) return KRO_ERR_FORMAT;
    if (doc.broken) return KRO_ERR_IO;
    return 0;
}

int32_t writeG4(kro::PdfDocument* doc, FILE* stream, const unsigned char* coded, size_t length,
                PageImage& im, int32_t photometric) {
    if (!pageFits(*doc, length)) return KRO_ERR_SIZE;
    setG4(&im, photometric);
    Out out(stream, doc);
    beginPage(doc, out, im, length, 0);
    out.bytes(coded, length);
    endStream(out);
    return out.finish();
}

// Decodes coded data once to see that it makes the whole picture.
int32_t checkG4(const unsigned char* coded, size_t length, int32_t width, int32_t height) {
    // Every coded line takes at least one bit.
    if (length > size_t(INT32_MAX) || uint64_t(height) > uint64_t(length) * 8)
        return KRO_ERR_G4_DECODE;
    RsImage codedImage{};
    codedImage.size = int32_t(length);
    codedImage.format = KRO_FORMAT_G4;
    codedImage.depth = 1;
    codedImage.data = const_cast<unsigned char*>(coded);  // only read
    RsImage work{};
    work.width = (width + 7) / 8 * 8;
    work.height = height;
    work.depth = 1;
    work.format = KRO_FORMAT_RAW;
    work.size = int32_t(kro::pixelBytes(work.width, height, 1));
    kro::Buffer pixels(kro::allocZeroed(uint64_t(work.size)));
    if (!pixels) return KRO_ERR_NOMEM;
    work.data = pixels.get();
    int32_t status = 0;
    if (GfxDecd(&codedImage, codedImage.size, &work, 0, 0, width, height, &status) == -1)
        return status == GFX_ST_NOMEM ? KRO_ERR_NOMEM : KRO_ERR_G4_DECODE;
    return 0;
}

// A raw picture's rows, each `used` bytes of `stride`, through Flate.
int32_t writeFlate(kro::PdfDocument* doc, FILE* stream, PageImage& im, const unsigned char* data,
                   size_t stride, size_t used) {
    // zlib's deflateBound, for the check that the table can reach the page.
    const uint64_t raw = uint64_t(used) * uint64_t(im.height);
    if (!pageFits(*doc, raw + raw / 1000 + 64)) return KRO_ERR_SIZE;
    z_stream z{};
    // Level 1: on photographs it gives files a few per cent larger than the
    // default level in a third of the time.
    if (deflateInit(&z, Z_BEST_SPEED) != Z_OK) return KRO_ERR_NOMEM;
    im.filter = "FlateDecode";
    im.parameters[0] = '\0';
    const uint32_t lengthObject = newObject(doc);
    Out out(stream, doc);
    beginPage(doc, out, im, 0, lengthObject);
    constexpr size_t kChunk = 16 << 10;
    uint64_t coded = 0;
    // Feeds `n` bytes (none with Z_FINISH) and gathers what comes out.
    auto deflateSome = [&](const unsigned char* p, size_t n, int flush) {
        z.next_in = const_cast<unsigned char*>(p);
        z.avail_in = uInt(n);
        do {
            char* dst = out.reserve(kChunk);
            z.next_out = reinterpret_cast<unsigned char*>(dst);
            z.avail_out = uInt(kChunk);
            deflate(&z, flush);
            const size_t made = kChunk - z.avail_out;
            out.commit(made);
            coded += made;
        } while (z.avail_out == 0);
    };
    if (used == stride) {
        // Rows without padding run on as one block, fed a piece at a time
        // (avail_in is 32-bit).
        const unsigned char* p = data;
        for (uint64_t left = raw; left;) {
            const size_t n = size_t(std::min<uint64_t>(left, 1u << 30));
            deflateSome(p, n, Z_NO_FLUSH);
            p += n, left -= n;
        }
    } else {
        for (int32_t y = 0; y < im.height; ++y)
            deflateSome(data + size_t(y) * stride, used, Z_NO_FLUSH);
    }
    deflateSome(nullptr, 0, Z_FINISH);
    deflateEnd(&z);
    endStream(out);
    out.object(lengthObject);
    out.format("%llu\nendobj\n", static_cast<unsigned long long>(coded));
    return out.finish();
}

// Checks that refuse a page before anything of it is written, in the
// PostScript writer's order.
int32_t imageProblem(const RsImage* image, const unsigned char* palette, int32_t photometric,
                     int32_t xdpi, int32_t ydpi) {
    if (!image) return KRO_ERR_NULL;
    if (photometric < 0 || photometric > KRO_PHOTO_PALETTE) return KRO_ERR_PHOTOMETRIC;
    if (xdpi <= 0 || ydpi <= 0) return KRO_ERR_RESOLUTION;
    if (!image->data) return KRO_ERR_NULL;
    if (!kro::sideInRange(image->width) || !kro::sideInRange(image->height)) return KRO_ERR_SIZE;
    if (image->format != KRO_FORMAT_RAW) return KRO_ERR_FORMAT;
    const int32_t depth = image->depth;
    const bool depthOk = photometric == KRO_PHOTO_RGB       ? depth == 24
                         : photometric == KRO_PHOTO_PALETTE ? depth == 8
                                                            : depth == 1 || depth == 8;
    if (!depthOk) return KRO_ERR_DEPTH;
    if (photometric == KRO_PHOTO_PALETTE && !palette) return KRO_ERR_NULL;
    if (!kro::sizeCoversRows(*image)) return KRO_ERR_SIZE;
    return 0;
}

}  // namespace

namespace kro {

int32_t pdfHeader(PdfDocument* doc, FILE* stream, const char* creator, const char* title) {
    if (!stream || !title) return KRO_ERR_NULL;
    *doc = PdfDocument{};
    doc->open = true;
    for (uint32_t n = 1; n <= kInfo; ++n) newObject(doc);
    Out out(stream, doc);
    // The comment's bytes above 127 tell transfer programs the file is binary.
    out.text("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
    out.object(kInfo);
    out.text("<< /Title ");
    out.literal(title);
    out.text(" /Producer ");
    out.literal(creator ? creator : "FND-Base");
    out.text(" >>\nendobj\n");
    return out.finish();
}

int32_t pdfImagePage(PdfDocument* doc, FILE* stream, const RsImage* image,
                     const unsigned char palette[768], int32_t photometric, int32_t xdpi,
                     int32_t ydpi) {
    if (int32_t code = documentProblem(*doc, stream)) return code;
    if (int32_t code = imageProblem(image, palette, photometric, xdpi, ydpi)) return code;
    const RsImage& src = *image;
    // Only the picture's own width is drawn; a validWidth beyond the stored
    // row is not trusted.
    const size_t stride = size_t(rowBytes(src.width, src.depth));
    const int32_t rowPixels = int32_t(stride * 8 / size_t(src.depth));
    PageImage im{};
    im.width = src.validWidth >= 1 && src.validWidth <= rowPixels ? src.validWidth : src.width;
    im.height = src.height;
    im.xdpi = xdpi;
    im.ydpi = ydpi;

    if (src.depth == 1) {
        Buffer coded;
        size_t length = 0;
        int32_t status = 0;
        int32_t code = encodeG4(GfxEncd, src, im.width, im.height, &coded, &length, &status);
        if (code == KRO_ERR_G4_ENCODE && status == GFX_ST_NOMEM) code = KRO_ERR_NOMEM;
        if (code == 0 && length == 0) code = KRO_ERR_G4_ENCODE;
        if (code) return code;
        return writeG4(doc, stream, coded.get(), length, im, photometric);
    }
    im.bits = 8;
    size_t used = size_t(im.width);
    if (photometric == KRO_PHOTO_RGB) {
        im.colourSpace = "DeviceRGB";
        used *= 3;
    } else if (photometric == KRO_PHOTO_PALETTE) {
        im.palette = palette;
    } else {
        im.colourSpace = "DeviceGray";
        if (photometric == KRO_PHOTO_WHITE_IS_ZERO) im.decode = "[1 0]";
    }
    return writeFlate(doc, stream, im, src.data, stride, used);
}

bool g4EndsWithEofb(const unsigned char* coded, size_t length) {
    while (length > 0 && coded[length - 1] == 0) --length;
    if (length == 0) return false;
    const unsigned last = coded[length - 1];
    const int zeros = __builtin_ctz(last);
    // The significant bits must hold the 24 bits of two EOLs.
    if ((length - 1) * 8 + size_t(8 - zeros) < 24) return false;
    uint32_t window = 0;
    for (size_t i = length >= 4 ? length - 4 : 0; i < length; ++i) window = window << 8 | coded[i];
    return ((window >> zeros) & 0xFFFFFFu) == 0x001001u;
}

int32_t pdfG4Page(PdfDocument* doc, FILE* stream, const unsigned char* coded, size_t length,
                  int32_t width, int32_t height, int32_t photometric, int32_t angle,
                  int32_t mirrored, int32_t xdpi, int32_t ydpi) {
    if (int32_t code = documentProblem(*doc, stream)) return code;
    if (!coded) return KRO_ERR_NULL;
    if (!sideInRange(width) || !sideInRange(height)) return KRO_ERR_SIZE;
    if (photometric != KRO_PHOTO_WHITE_IS_ZERO && photometric != KRO_PHOTO_BLACK_IS_ZERO)
        return KRO_ERR_PHOTOMETRIC;
    if (angle != 0 && angle != 90 && angle != 180 && angle != 270) return KRO_ERR_ROTATE;
    if (xdpi <= 0 || ydpi <= 0) return KRO_ERR_RESOLUTION;
    if (length == 0) return KRO_ERR_G4_DECODE;
    // Data a coder finished is taken as it is; anything else is decoded once,
    // so that a cut file does not become a page that draws half a picture.
    if (!g4EndsWithEofb(coded, length))
        if (int32_t code = checkG4(coded, length, width, height)) return code;
    PageImage im{};
    im.width = width;
    im.height = height;
    im.xdpi = xdpi;
    im.ydpi = ydpi;
    im.angle = angle;
    im.mirrored = mirrored != 0;
    return writeG4(doc, stream, coded, length, im, photometric);
}

int32_t pdfJpegPage(PdfDocument* doc, FILE* stream, const unsigned char* data, size_t length,
                    int32_t xdpi, int32_t ydpi) {
    if (int32_t code = documentProblem(*doc, stream)) return code;
    if (!data) return KRO_ERR_NULL;
    JpegFacts facts;
    if (int32_t code = jpegFacts(data, length, &facts)) return code;
    const bool stated = facts.dpi[0] > 0 && facts.dpi[1] > 0;
    PageImage im{};
    im.width = facts.width;
    im.height = facts.height;
    im.xdpi = stated ? facts.dpi[0] : xdpi;
    im.ydpi = stated ? facts.dpi[1] : ydpi;
    if (im.xdpi <= 0 || im.ydpi <= 0) return KRO_ERR_RESOLUTION;
    if (!pageFits(*doc, length)) return KRO_ERR_SIZE;
    im.colourSpace = facts.components == 1   ? "DeviceGray"
                     : facts.components == 3 ? "DeviceRGB"
                                             : "DeviceCMYK";
    im.bits = 8;
    if (facts.adobeInverted) im.decode = "[1 0 1 0 1 0 1 0]";
    im.filter = "DCTDecode";
    Out out(stream, doc);
    beginPage(doc, out, im, length, 0);
    out.bytes(data, length);
    endStream(out);
    return out.finish();
}

int32_t pdfFooter(PdfDocument* doc, FILE* stream) {
    if (int32_t code = documentProblem(*doc, stream)) return code;
    doc->open = false;
    Out out(stream, doc);
    out.object(kPageTree);
    out.text("<< /Type /Pages /Kids [");
    for (size_t i = 0; i < doc->pages.size(); ++i)
        out.format(i % 8 == 7 ? "%u 0 R\n" : "%u 0 R ", unsigned(doc->pages[i]));
    out.format("] /Count %u >>\nendobj\n", unsigned(doc->pages.size()));
    out.object(kCatalog);
    out.format("<< /Type /Catalog /Pages %u 0 R >>\nendobj\n", unsigned(kPageTree));
    const uint64_t table = doc->written;
    if (table > kMaxOffset) return KRO_ERR_SIZE;
    out.format("xref\n0 %u\n0000000000 65535 f \n", unsigned(doc->offsets.size() + 1));
    for (const uint64_t offset : doc->offsets) {
        char* dst = out.reserve(20);
        std::snprintf(dst, 21, "%010llu 00000 n", static_cast<unsigned long long>(offset));
        dst[18] = ' ';
        dst[19] = '\n';
        out.commit(20);
    }
    out.format("trailer\n<< /Size %u /Root %u 0 R /Info %u 0 R >>\nstartxref\n%llu\n%%%%EOF\n",
               unsigned(doc->offsets.size() + 1), unsigned(kCatalog), unsigned(kInfo),
               static_cast<unsigned long long>(table));
    return out.finish();
}

}  // namespace kro

namespace {
// The document the exported calls write, from one KroPutPDFHeader to the next.
kro::PdfDocument document;
}  // namespace

extern "C" KRO_API int32_t KroPutPDFHeader(FILE* stream, const char* creator, const char* title) {
    return kro::report(kro::pdfHeader(&document, stream, creator, title));
}

extern "C" KRO_API int32_t KroRsImageToPDF(FILE* stream, const RsImage* image,
                                           const unsigned char palette[768], int32_t photometric,
                                           int32_t xdpi, int32_t ydpi) {
    return kro::report(
        kro::pdfImagePage(&document, stream, image, palette, photometric, xdpi, ydpi));
}

extern "C" KRO_API int32_t KroG4ToPDF(FILE* stream, const unsigned char* coded, size_t length,
                                      int32_t width, int32_t height, int32_t photometric,
                                      int32_t angle, int32_t mirrored, int32_t xdpi,
                                      int32_t ydpi) {
    return kro::report(kro::pdfG4Page(&document, stream, coded, length, width, height,
                                      photometric, angle, mirrored, xdpi, ydpi));
}

extern "C" KRO_API int32_t KroJPEGToPDF(FILE* stream, const unsigned char* data, size_t length,
                                        int32_t xdpi, int32_t ydpi) {
    return kro::report(kro::pdfJpegPage(&document, stream, data, length, xdpi, ydpi));
}

extern "C" KRO_API int32_t KroPutPDFFooter(FILE* stream) {
    return kro::report(kro::pdfFooter(&document, stream));
}
