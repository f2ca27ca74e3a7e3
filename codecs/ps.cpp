// PostScript documents: a header, one page per raster image and a trailer.
// Pages use only the level-1 image operators; colour pages carry their own
// colorimage for printers without one, palette pages travel as packed indices.
#include "codecs/ps.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstring>
#include <iterator>

#include "codecs/bands.h"
#include "core/cpu.h"
#include "core/image.h"
#include "core/palette.h"

#if defined(__SSE2__)
#include <immintrin.h>
#define KRO_PS_SSE2 1
#endif

namespace kro {

PsSeams psSeams = {std::time};

namespace {

// How many bytes from row[i] on differ from the byte before each, up to
// limit: sixteen compared at a time.
[[maybe_unused]] size_t lonesAhead(const unsigned char* row, size_t i, size_t count, size_t limit) {
    size_t t = 0;
#ifdef KRO_PS_SSE2
    while (i + t + 16 <= count && t + 16 <= limit) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i + t));
        const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i + t - 1));
        if (const unsigned equal = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, w))))
            return t + unsigned(__builtin_ctz(equal));
        t += 16;
    }
#else
    (void)row, (void)i, (void)count, (void)limit;
#endif
    return t;
}

}  // namespace

size_t psPackRow(const unsigned char* row, size_t count, unsigned char* out) {
    constexpr size_t kMaxGroup = 128;
    size_t n = 0;
    size_t start = 0, length = 0;  // the pending group: row[start .. start + length)
    bool run = false;
    auto emit = [&] {
        if (run) {
            out[n++] = uint8_t(length - 1);
            out[n++] = row[start];
        } else {
            out[n++] = uint8_t(128 + length - 1);
            std::memcpy(out + n, row + start, length);
            n += length;
        }
        length = 0;
    };
    for (size_t i = 0; i < count; ++i) {
        // Inside a literal, bytes that differ from the one before only
        // lengthen it: they are taken many at a time, short of the group's
        // limit, which the byte after them meets as before.
        if (!run && length >= 2) {
            const size_t lone = lonesAhead(row, i, count, kMaxGroup - 1 - length);
            length += lone;
            i += lone;
            if (i == count) break;
        }
        const unsigned char b = row[i];
        if (length == 0) {
            start = i, length = 1, run = true;
        } else if (run) {
            if (b == row[i - 1]) {
                ++length;
            } else if (length >= 2) {
                emit();
                start = i, length = 1, run = true;
            } else {
                run = false;
                ++length;
            }
        } else {
            if (b != row[i - 1]) {
                ++length;
            } else if (length >= 2) {
                // The literal keeps its last byte; this byte starts the run.
                emit();
                start = i, length = 1, run = true;
            } else {
                run = true;
                ++length;
            }
        }
        if (length == kMaxGroup) emit();
    }
    if (length) emit();
    return n;
}

}  // namespace kro

namespace {

constexpr size_t kBlock = 64 << 10;

// Two lower-case hex digits for every byte value.
struct HexTable {
    char digits[256][2];
    constexpr HexTable() : digits{} {
        constexpr char d[] = "0123456789abcdef";
        for (int i = 0; i < 256; ++i) {
            digits[i][0] = d[i >> 4];
            digits[i][1] = d[i & 15];
        }
    }
};
constexpr HexTable kHex;

// Text for the caller's stream, gathered in one block and written in large
// pieces. A failed write is remembered; later output is dropped.
// The most characters hexText makes of n bytes.
constexpr size_t hexMost(size_t n, size_t perLine) { return 2 * n + n / perLine + 1; }

#ifdef KRO_PS_SSE2
// Sixteen bytes at a time: each nibble picks its digit with a shuffle.
// Returns how many of the n bytes it did.
__attribute__((target("ssse3"))) size_t hexSsse3(const unsigned char* p, size_t n,
                                                 unsigned char flip, char* dst) {
    const __m128i digits = _mm_setr_epi8('0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'a',
                                         'b', 'c', 'd', 'e', 'f');
    const __m128i low = _mm_set1_epi8(0x0F), flips = _mm_set1_epi8(char(flip));
    size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m128i v =
            _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)), flips);
        const __m128i hi = _mm_shuffle_epi8(digits, _mm_and_si128(_mm_srli_epi16(v, 4), low));
        const __m128i lo = _mm_shuffle_epi8(digits, _mm_and_si128(v, low));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 2 * i), _mm_unpacklo_epi8(hi, lo));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 2 * i + 16), _mm_unpackhi_epi8(hi, lo));
    }
    return i;
}
#endif

// n bytes as hex digits into dst, a line feed after every perLine bytes
// counted from *column, which is left where the text ends; the characters made.
size_t hexText(const unsigned char* p, size_t n, size_t perLine, size_t* column,
               unsigned char flip, char* dst) {
    char* const start = dst;
#ifdef KRO_PS_SSE2
    const bool ssse3 = kro::cpuHasSsse3();
#endif
    while (n) {
        const size_t k = std::min(n, perLine - *column);
        size_t i = 0;
#ifdef KRO_PS_SSE2
        if (ssse3) i = hexSsse3(p, k, flip, dst);
#endif
        for (; i < k; ++i) std::memcpy(dst + 2 * i, kHex.digits[p[i] ^ flip], 2);
        dst += 2 * k;
        *column += k;
        if (*column == perLine) {
            *dst++ = '\n';
            *column = 0;
        }
        p += k, n -= k;
    }
    return size_t(dst - start);
}

class Out {
public:
    explicit Out(FILE* f) : f_(f) {}
    Out(const Out&) = delete;
    Out& operator=(const Out&) = delete;

    // Room for n more bytes (n at most kBlock); commit what was used.
    char* reserve(size_t n) {
        if (kBlock - used_ < n) flush();
        return block_ + used_;
    }
    void commit(size_t n) { used_ += n; }

    void bytes(const char* s, size_t n) {
        while (n) {
            const size_t k = std::min(n, kBlock);
            std::memcpy(reserve(k), s, k);
            commit(k);
            s += k, n -= k;
        }
    }
    void text(const char* s) { bytes(s, std::strlen(s)); }
    void lines(const char* const* list, size_t count) {
        for (size_t i = 0; i < count; ++i) {
            text(list[i]);
            text("\n");
        }
    }
    // Short formatted text: numbers and fixed words only.
    [[gnu::format(printf, 2, 3)]] void format(const char* fmt, ...) {
        char line[160];
        va_list ap;
        va_start(ap, fmt);
        const int n = std::vsnprintf(line, sizeof line, fmt, ap);
        va_end(ap);
        if (n > 0) bytes(line, std::min(size_t(n), sizeof line - 1));
    }
    // Text of a header comment: a control character would end the comment
    // line and let the rest be read as PostScript, so each becomes a space.
    void commentText(const char* s) {
        for (; *s; ++s) {
            const auto c = static_cast<unsigned char>(*s);
            const char safe = c < 0x20 || c == 0x7F ? ' ' : *s;
            *reserve(1) = safe;
            commit(1);
        }
    }

    // Bytes as hex digits, a line feed after every perLine bytes; *column
    // carries the bytes on the current line from one call to the next. Each
    // byte is XORed with flip first.
    void hex(const unsigned char* p, uint64_t n, size_t perLine, size_t* column,
             unsigned char flip = 0) {
        while (n) {
            const size_t k = size_t(std::min<uint64_t>(n, (kBlock - 1) / 3));
            commit(hexText(p, k, perLine, column, flip, reserve(hexMost(k, perLine))));
            p += k, n -= k;
        }
    }

    // Writes what is gathered; false when any write so far failed.
    bool flush() {
        if (used_ && !failed_ && std::fwrite(block_, 1, used_, f_) != used_) failed_ = true;
        used_ = 0;
        return !failed_;
    }
    // Flushes and gives the status: 0, or KRO_ERR_IO for a failed write.
    int32_t finish() { return flush() ? 0 : KRO_ERR_IO; }
    // Whether every write so far went through.
    bool ok() const { return !failed_; }

private:
    FILE* f_;
    size_t used_ = 0;
    bool failed_ = false;
    char block_[kBlock];
};

// Defines colorimage from image and a gray conversion, (20 R + 32 G + 12 B) / 64,
// when the printer has none.
constexpr const char* kColorimageFallback[] = {
    "/colorimage where",
    "{ pop }",
    "{",
    "/ctog {",
    "/cdata exch store",
    "cdata length 3 idiv",
    "/bitdata exch store",
    "/cspace 0 store",
    "/gdata bitdata string store",
    "0 1 bitdata 1 sub {",
    "gdata exch",
    "cdata cspace       get 20 mul",
    "cdata cspace 1 add get 32 mul",
    "cdata cspace 2 add get 12 mul",
    "add add 64 idiv",
    "put",
    "/cspace cspace 3 add store",
    "} for",
    "gdata",
    "} bind def",
    "/cchange {",
    "dup length",
    "3 -1 roll",
    "dup",
    "length",
    "dup",
    "5 1 roll",
    "3 -1 roll",
    "add",
    "array cvx",
    "dup",
    "3 -1 roll",
    "0 exch",
    "putinterval",
    "dup",
    "4 2 roll",
    "putinterval",
    "} bind def",
    "/colorimage {",
    "pop pop",
    "{ctog} cchange",
    "image",
    "} bind def",
    "} ifelse",
};

// Reads one packed group of palette indices and gives its pixels as RGB.
constexpr const char* kCmapdata[] = {
    "/cmapdata {",
    "/buf1 1 string def",
    "/maprgb 3 string def",
    "/buf2  384 string def",
    "{ currentfile buf1 readhexstring pop",
    "/buf3 exch 0 get store",
    "buf3 128 ge",
    "{  % it's a non-run buf2",
    "0 1 buf3 128 sub",
    "{ currentfile buf1 readhexstring pop pop",
    "/maprgb cmap buf1 0 get 3 mul 3 getinterval store",
    "buf2 exch 3 mul maprgb putinterval",
    "} for",
    "buf2  0  buf3 127 sub 3 mul  getinterval",
    "}",
    "{",
    "currentfile buf1 readhexstring pop pop",
    "/maprgb cmap buf1 0 get 3 mul 3 getinterval store",
    "0 1 buf3 { buf2 exch 3 mul maprgb putinterval } for",
    "buf2 0 buf3 1 add 3 mul getinterval",
    "} ifelse",
    "}",
    "false 3 colorimage",
    "} bind def",
};

template <size_t N>
void writeLines(Out& out, const char* const (&list)[N]) {
    out.lines(list, N);
}

void writeColourMap(Out& out, kro::ConstPalette palette, int entries) {
    out.format("/cmap %d string def\n", 3 * entries);
    out.text("currentfile cmap readhexstring\n");
    for (int i = 0; i < entries; ++i) {
        char* dst = out.reserve(8);
        std::memcpy(dst, kHex.digits[palette.red[i]], 2);
        std::memcpy(dst + 2, kHex.digits[palette.green[i]], 2);
        std::memcpy(dst + 4, kHex.digits[palette.blue[i]], 2);
        dst[6] = ' ';
        size_t used = 7;
        if ((i + 1) % 10 == 0) dst[used++] = '\n';
        out.commit(used);
    }
    if (entries % 10 != 0) out.text("\n");
    out.text("pop pop\n");
}

// The first `used` bytes of each of `rows` rows of `stride` bytes, as hex.
void hexRows(Out& out, const unsigned char* data, size_t stride, size_t used, int32_t rows,
             size_t perLine, size_t* column, unsigned char flip = 0) {
    if (used == stride)
        return out.hex(data, uint64_t(stride) * uint64_t(rows), perLine, column, flip);
    for (int32_t y = 0; y < rows; ++y)
        out.hex(data + size_t(y) * stride, used, perLine, column, flip);
}

// The lines that place a W x H picture with its top row first.
void writeImageSize(Out& out, int32_t w, int32_t h, int32_t bitsPerSample) {
    out.format("%d %d %d\n", int(w), int(h), int(bitsPerSample));
    out.format("[%d 0 0 -%d 0 %d]\n", int(w), int(h), int(h));
}

// Checks that refuse a page before anything of it is written, in their order.
int32_t pageProblem(FILE* stream, const RsImage* image, const unsigned char* palette,
                    int16_t photo, int32_t xdpi, int32_t ydpi) {
    if (!stream) return KRO_ERR_PS_NULL_ARG;
    if (!image) return KRO_ERR_NULL;
    if (photo < 0 || photo > 8) return KRO_ERR_DEPTH;
    if (xdpi <= 0 || ydpi <= 0) return KRO_ERR_RESOLUTION;
    if (!image->data) return KRO_ERR_NULL;
    if (!kro::sideInRange(image->width) || !kro::sideInRange(image->height)) return KRO_ERR_SIZE;
    // A coded record holds no rows to read.
    if (image->format != KRO_FORMAT_RAW) return KRO_ERR_FORMAT;
    if (photo == KRO_PHOTO_PALETTE && !palette) return KRO_ERR_NULL;
    if (!kro::sizeCoversRows(*image)) return KRO_ERR_SIZE;
    return 0;
}

// What a page draws: w x h pixels of rows stride bytes apart, scaled to sx x sy points.
struct PageGeometry {
    int32_t w, h, depth;
    size_t stride;
    bool padded;  // whether the stored rows run on past the picture
    float sx, sy;
};

PageGeometry geometryOf(const RsImage& image, int32_t xdpi, int32_t ydpi) {
    PageGeometry g{};
    g.h = image.height;
    g.depth = image.depth;
    // Only the picture's own width is drawn, not the padding a stored row
    // carries after it; a validWidth beyond the stored row is not trusted.
    g.stride = size_t(kro::rowBytes(image.width, g.depth));
    const int32_t rowPixels = int32_t(g.stride * 8 / size_t(g.depth));
    g.w = image.validWidth >= 1 && image.validWidth <= rowPixels ? image.validWidth : image.width;
    g.padded = g.w < image.width;
    // The picture keeps its physical size: one pixel is 72 / dpi points.
    g.sx = float(double(g.w) * 72.0 / double(xdpi));
    g.sy = float(double(g.h) * 72.0 / double(ydpi));
    return g;
}

void writeScale(Out& out, const PageGeometry& g) {
    out.format("%f %f scale\n", double(g.sx), double(g.sy));
}

// An RGB page's lines up to its samples, which follow 36 bytes a line.
void writeRgbPageHead(Out& out, const PageGeometry& g) {
    out.format("/scan %d string def\n", int(3 * g.w));
    writeScale(out, g);
    writeLines(out, kColorimageFallback);
    writeImageSize(out, g.w, g.h, 8);
    out.text("{currentfile scan readhexstring pop}\nfalse 3 colorimage\n");
}

void writeRgbPage(Out& out, const PageGeometry& g, const unsigned char* data) {
    writeRgbPageHead(out, g);
    size_t column = 0;
    hexRows(out, data, g.stride, 3 * size_t(g.w), g.h, 36, &column);
}

// A palette page's lines up to its samples: packed rows of indices, 36
// bytes a line.
void writePalettePageHead(Out& out, const PageGeometry& g, const unsigned char* palette) {
    out.format("/scan %d string def\n", int(g.w));
    writeScale(out, g);
    writeLines(out, kColorimageFallback);
    writeColourMap(out, kro::ConstPalette(palette), 1 << g.depth);
    writeLines(out, kCmapdata);
    writeImageSize(out, g.w, g.h, g.depth);
    out.text("cmapdata\n");
}

int32_t writePalettePage(Out& out, const PageGeometry& g, const unsigned char* data,
                         const unsigned char* palette) {
    writePalettePageHead(out, g, palette);
    kro::Buffer packed(kro::allocBytes(2 * uint64_t(g.w)));
    if (!packed) return KRO_ERR_NOMEM;
    size_t column = 0;
    for (int32_t y = 0; y < g.h; ++y) {
        const size_t n = kro::psPackRow(data + size_t(y) * g.stride, size_t(g.w), packed.get());
        out.hex(packed.get(), n, 36, &column);
    }
    return 0;
}

// A gray or bilevel page's lines up to its samples, 72 bytes a line; the
// bytes of the drawn part of a row.
size_t writeGrayPageHead(Out& out, const PageGeometry& g) {
    // The scan string holds one row: a longer one would make the last read
    // run on into the text after the data and swallow the page's showpage.
    // A bilevel row takes whole bytes of the drawn width.
    const size_t used = g.depth == 1 ? (size_t(g.w) + 7) / 8 : size_t(g.w);
    out.format("/scan %d string def\n", int(used));
    writeScale(out, g);
    writeImageSize(out, g.w, g.h, g.depth);
    out.text("{currentfile scan readhexstring pop}\nimage\n");
    return used;
}

// Image samples read 0 as black; white-is-zero pictures go inverted.
unsigned char flipOf(int16_t photo) { return photo == KRO_PHOTO_WHITE_IS_ZERO ? 0xFF : 0; }

void writeGrayPage(Out& out, const PageGeometry& g, const unsigned char* data, int16_t photo) {
    const size_t used = writeGrayPageHead(out, g);
    const unsigned char flip = flipOf(photo);
    size_t column = 0;
    if (g.padded) {
        hexRows(out, data, g.stride, used, g.h, 72, &column, flip);
    } else {  // unpadded bilevel rows run on as one stream of bits
        const uint64_t pixels = uint64_t(g.w) * uint64_t(g.h);
        out.hex(data, g.depth == 1 ? pixels / 8 : pixels, 72, &column, flip);
    }
}

// Whether the photometric value and the depth make a picture a page can draw.
int32_t samplesProblem(int16_t photo, int32_t depth) {
    if (photo > KRO_PHOTO_PALETTE) return KRO_ERR_PHOTOMETRIC;
    const bool depthOk = photo == KRO_PHOTO_RGB       ? depth == 24
                         : photo == KRO_PHOTO_PALETTE ? depth == 8
                                                      : depth == 1 || depth == 8;
    return depthOk ? 0 : KRO_ERR_DEPTH;
}

int32_t drawPicture(Out& out, const PageGeometry& g, const unsigned char* data,
                    const unsigned char* palette, int16_t photo) {
    if (photo == KRO_PHOTO_PALETTE) return writePalettePage(out, g, data, palette);
    if (photo == KRO_PHOTO_RGB)
        writeRgbPage(out, g, data);
    else
        writeGrayPage(out, g, data, photo);
    return 0;
}

// The lines after a page's samples, and the page's part in the document's box.
void endPage(kro::PsDocument* doc, Out& out, const PageGeometry& g) {
    out.text("\nshowpage\ngrestore\n");
    // The box must hold the whole picture: a part of a point counts as one.
    const auto upper = [](float side) { return int32_t(std::ceil(side)); };
    doc->boundingBox[2] = std::max(doc->boundingBox[2], upper(g.sx));
    doc->boundingBox[3] = std::max(doc->boundingBox[3], upper(g.sy));
}

}  // namespace

namespace kro {

int32_t psHeader(PsDocument* doc, FILE* stream, const char* creator, const char* title,
                 std::time_t now) {
    if (!stream || !title) return KRO_ERR_PS_NULL_ARG;
    *doc = PsDocument{};
    char date[64];
#ifdef _WIN32
    const char* dateText = ctime_s(date, sizeof date, &now) == 0 ? date : nullptr;
#else
    const char* dateText = ctime_r(&now, date);
#endif

    Out out(stream);
    out.text("%!PS-Adobe-1.0\n%%Title: ");
    out.commentText(title);
    out.text("\n%%Creator: ");
    out.commentText(creator ? creator : "FND-Base");
    out.text("\n%%CreationDate: ");
    out.text(dateText ? dateText : "\n");
    out.text("%%Pages: (atend)\n%%BoundingBox: (atend)\n%%EndComments\n");
    return out.finish();
}

int32_t psPage(PsDocument* doc, FILE* stream, const RsImage* image,
               const unsigned char palette[768], int32_t photometric, int32_t xdpi,
               int32_t ydpi) {
    const int16_t photo = int16_t(uint16_t(photometric));
    if (int32_t code = pageProblem(stream, image, palette, photo, xdpi, ydpi)) return code;

    const int32_t page = ++doc->pageCount;
    Out out(stream);
    out.format("gsave\n%%%%Page: %d %d\n", int(page), int(page));
    // Refused from here on, the page stays counted and its two lines stay.
    PageGeometry g{};
    int32_t code = samplesProblem(photo, image->depth);
    if (code == 0) {
        g = geometryOf(*image, xdpi, ydpi);
        code = drawPicture(out, g, image->data, palette, photo);
    }
    if (code) {
        out.flush();
        return code;
    }
    endPage(doc, out, g);
    return out.finish();
}

int32_t psFooter(const PsDocument& doc, FILE* stream) {
    if (!stream) return KRO_ERR_PS_NULL_ARG;
    Out out(stream);
    out.format("%%%%Trailer\n%%%%Pages: %d\n", int(doc.pageCount));
    out.format("%%%%BoundingBox: %d %d %d %d\n", int(doc.boundingBox[0]),
               int(doc.boundingBox[1]), int(doc.boundingBox[2]), int(doc.boundingBox[3]));
    return out.finish();
}

}  // namespace kro

namespace {
// The document the exported calls write, from one KroPutPSHeader to the next.
kro::PsDocument document;
}  // namespace

namespace {

// A page whose samples come a band of rows at a time: RGB and gray rows
// as hex text coded on any thread, palette rows packed on any thread and
// put in hex text as they are written.
class BandWriter final : public kro::bands::Writer {
public:
    BandWriter(FILE* stream, const kro::bands::Shape& shape, const PageGeometry& g)
        : stream_(stream), out_(stream), g_(g), row_(shape.rowBytes()) {
        out_.format("gsave\n%%%%Page: %d %d\n", int(document.pageCount + 1),
                    int(document.pageCount + 1));
        if (shape.depth == 24) {
            writeRgbPageHead(out_, g_);
        } else if (shape.photometric == KRO_PHOTO_PALETTE) {
            writePalettePageHead(out_, g_, shape.palette);
            packed_ = true;
        } else {
            writeGrayPageHead(out_, g_);
            flip_ = flipOf(int16_t(shape.photometric));
        }
        perLine_ = shape.depth == 24 || packed_ ? 36 : 72;
    }
    size_t most(int32_t count) const override {
        const size_t bytes = row_ * size_t(count);
        return packed_ ? 2 * bytes : hexMost(bytes, perLine_);
    }
    // Where a band's hex lines break follows from the bytes before it.
    size_t code(const unsigned char* src, int32_t first, int32_t count,
                unsigned char* out) const override {
        if (packed_) {
            size_t n = 0;
            for (int32_t y = 0; y < count; ++y) n += kro::psPackRow(src + size_t(y) * row_, row_, out + n);
            return n;
        }
        size_t column = size_t(uint64_t(row_) * uint64_t(first) % perLine_);
        return hexText(src, row_ * size_t(count), perLine_, &column, flip_,
                       reinterpret_cast<char*>(out));
    }
    int32_t put(const unsigned char* coded, size_t n, int32_t, int32_t) override {
        if (packed_) {
            out_.hex(coded, n, perLine_, &column_);
            return out_.ok() ? 0 : KRO_ERR_IO;
        }
        if (!out_.flush() || std::fwrite(coded, 1, n, stream_) != n) return KRO_ERR_IO;
        return 0;
    }
    int32_t finish() override {
        ++document.pageCount;
        endPage(&document, out_, g_);
        return out_.finish();
    }

private:
    FILE* stream_;
    Out out_;
    PageGeometry g_;
    size_t row_, perLine_ = 36;
    bool packed_ = false;
    unsigned char flip_ = 0;
    size_t column_ = 0;  // of the packed rows' hex text
};

}  // namespace

int32_t kro::bands::openPsWriter(FILE* stream, const Shape& shape, int32_t xdpi, int32_t ydpi,
                                 std::unique_ptr<Writer>* writer) {
    if (xdpi <= 0 || ydpi <= 0 || !kro::sideInRange(shape.width) ||
        !kro::sideInRange(shape.height))
        return KRO_ERR_NOT_AS_IS;
    RsImage image{};
    image.width = image.validWidth = shape.width;
    image.height = image.validHeight = shape.height;
    image.depth = shape.depth;
    *writer = std::make_unique<BandWriter>(stream, shape, geometryOf(image, xdpi, ydpi));
    return 0;
}

extern "C" KRO_API int32_t KroPutPSHeader(FILE* stream, const char* creator, const char* title) {
    const std::time_t now = kro::psSeams.clock(nullptr);
    return kro::report(kro::psHeader(&document, stream, creator, title, now));
}

extern "C" KRO_API int32_t KroRsImageToPS(FILE* stream, const RsImage* image,
                                          const unsigned char palette[768], int32_t photometric,
                                          int32_t xdpi, int32_t ydpi) {
    return kro::report(kro::psPage(&document, stream, image, palette, photometric, xdpi, ydpi));
}

extern "C" KRO_API int32_t KroPutPSFooter(FILE* stream) {
    return kro::report(kro::psFooter(document, stream));
}
