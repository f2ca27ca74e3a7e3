// PostScript documents: a header, one page per raster image and a trailer.
// Pages use only the level-1 image operators; colour pages carry their own
// colorimage for printers without one, palette pages travel as packed indices.
#include "codecs/ps.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstring>
#include <iterator>

#include "core/image.h"

namespace kro {

namespace {
std::time_t systemClock(std::time_t* t) { return std::time(t); }
}  // namespace

PsClock psClock = systemClock;

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

using kro::fail;

// Document state from the header to the trailer.
int32_t pageCount = 0;
int32_t boundingBox[4] = {0, 0, 0, 0};

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
            const size_t k = size_t(std::min<uint64_t>({n, perLine - *column, (kBlock - 1) / 2}));
            char* dst = reserve(2 * k + 1);
            for (size_t i = 0; i < k; ++i) std::memcpy(dst + 2 * i, kHex.digits[p[i] ^ flip], 2);
            size_t used = 2 * k;
            *column += k;
            if (*column == perLine) {
                dst[used++] = '\n';
                *column = 0;
            }
            commit(used);
            p += k, n -= k;
        }
    }

    // Writes what is gathered; false when any write so far failed.
    bool flush() {
        if (used_ && !failed_ && std::fwrite(block_, 1, used_, f_) != used_) failed_ = true;
        used_ = 0;
        return !failed_;
    }
    // Flushes and gives the status: 0, or -1 with KRO_ERR_IO for a failed write.
    int32_t finish() { return flush() ? 0 : fail(KRO_ERR_IO); }

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

void writeColourMap(Out& out, const unsigned char* palette, int entries) {
    out.format("/cmap %d string def\n", 3 * entries);
    out.text("currentfile cmap readhexstring\n");
    for (int i = 0; i < entries; ++i) {
        char* dst = out.reserve(8);
        std::memcpy(dst, kHex.digits[palette[i]], 2);
        std::memcpy(dst + 2, kHex.digits[palette[256 + i]], 2);
        std::memcpy(dst + 4, kHex.digits[palette[512 + i]], 2);
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

}  // namespace

extern "C" KRO_API int32_t KroPutPSHeader(FILE* stream, const char* creator, const char* title) {
    if (!stream || !title) return fail(KRO_ERR_PS_NULL_ARG);
    pageCount = 0;
    std::fill(std::begin(boundingBox), std::end(boundingBox), 0);
    const std::time_t now = kro::psClock(nullptr);
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

extern "C" KRO_API int32_t KroRsImageToPS(FILE* stream, const RsImage* image,
                                          const unsigned char palette[768], int32_t photometric,
                                          int32_t xdpi, int32_t ydpi) {
    if (!stream) return fail(KRO_ERR_PS_NULL_ARG);
    if (!image) return fail(KRO_ERR_NULL);
    const int16_t photo = int16_t(uint16_t(photometric));
    if (photo < 0 || photo > 8) return fail(KRO_ERR_DEPTH);
    if (xdpi <= 0 || ydpi <= 0) return fail(KRO_ERR_RESOLUTION);
    if (!image->data) return fail(KRO_ERR_NULL);
    if (!kro::sideInRange(image->width) || !kro::sideInRange(image->height))
        return fail(KRO_ERR_SIZE);
    // A coded record holds no rows to read.
    if (image->format != KRO_FORMAT_RAW) return fail(KRO_ERR_FORMAT);
    if (photo == KRO_PHOTO_PALETTE && !palette) return fail(KRO_ERR_NULL);
    if (!kro::sizeCoversRows(*image)) return fail(KRO_ERR_SIZE);

    const int32_t stored = image->width, h = image->height, depth = image->depth;
    const int32_t page = ++pageCount;
    Out out(stream);
    out.format("gsave\n%%%%Page: %d %d\n", int(page), int(page));

    if (photo > KRO_PHOTO_PALETTE) {
        out.flush();
        return fail(KRO_ERR_PHOTOMETRIC);
    }
    const bool depthOk = photo == KRO_PHOTO_RGB       ? depth == 24
                         : photo == KRO_PHOTO_PALETTE ? depth == 8
                                                      : depth == 1 || depth == 8;
    if (!depthOk) {
        out.flush();
        return fail(KRO_ERR_DEPTH);
    }

    // Only the picture's own width is drawn, not the padding a stored row
    // carries after it; a validWidth beyond the stored row is not trusted.
    const size_t strideBytes = size_t(kro::rowBytes(stored, depth));
    const int32_t rowPixels = int32_t(strideBytes * 8 / size_t(depth));
    const int32_t w =
        image->validWidth >= 1 && image->validWidth <= rowPixels ? image->validWidth : stored;
    const bool padded = w < stored;

    // The picture keeps its physical size: one pixel is 72 / dpi points.
    const float sx = float(double(w) * 72.0 / double(xdpi));
    const float sy = float(double(h) * 72.0 / double(ydpi));
    const uint64_t pixels = uint64_t(w) * uint64_t(h);
    size_t column = 0;

    if (photo == KRO_PHOTO_RGB) {
        out.format("/scan %d string def\n", int(3 * w));
        out.format("%f %f scale\n", double(sx), double(sy));
        writeLines(out, kColorimageFallback);
        writeImageSize(out, w, h, 8);
        out.text("{currentfile scan readhexstring pop}\nfalse 3 colorimage\n");
        hexRows(out, image->data, strideBytes, 3 * size_t(w), h, 36, &column);
    } else if (photo == KRO_PHOTO_PALETTE) {
        out.format("/scan %d string def\n", int(w));
        out.format("%f %f scale\n", double(sx), double(sy));
        writeLines(out, kColorimageFallback);
        writeColourMap(out, palette, 1 << depth);
        writeLines(out, kCmapdata);
        writeImageSize(out, w, h, depth);
        out.text("cmapdata\n");
        kro::Buffer packed(kro::allocBytes(2 * uint64_t(w)));
        if (!packed) {
            out.flush();
            return fail(KRO_ERR_NOMEM);
        }
        for (int32_t y = 0; y < h; ++y) {
            const unsigned char* row = image->data + size_t(y) * strideBytes;
            const size_t n = kro::psPackRow(row, size_t(w), packed.get());
            out.hex(packed.get(), n, 36, &column);
        }
    } else {
        // The scan string holds one row: a longer one would make the last
        // read run on into the text after the data and swallow the page's
        // showpage. A bilevel row takes whole bytes of the drawn width.
        const size_t used = depth == 1 ? (size_t(w) + 7) / 8 : size_t(w);
        out.format("/scan %d string def\n", int(used));
        out.format("%f %f scale\n", double(sx), double(sy));
        writeImageSize(out, w, h, depth);
        out.text("{currentfile scan readhexstring pop}\nimage\n");
        // Image samples read 0 as black; white-is-zero pictures go inverted.
        const unsigned char flip = photo == KRO_PHOTO_WHITE_IS_ZERO ? 0xFF : 0;
        if (padded)
            hexRows(out, image->data, strideBytes, used, h, 72, &column, flip);
        else  // unpadded bilevel rows run on as one stream of bits
            out.hex(image->data, depth == 1 ? pixels / 8 : pixels, 72, &column, flip);
    }
    out.text("\nshowpage\ngrestore\n");

    // The box must hold the whole picture: a part of a point counts as one.
    const auto upper = [](float side) { return int32_t(std::ceil(side)); };
    if (upper(sx) > boundingBox[2]) boundingBox[2] = upper(sx);
    if (upper(sy) > boundingBox[3]) boundingBox[3] = upper(sy);
    return out.finish();
}

extern "C" KRO_API int32_t KroPutPSFooter(FILE* stream) {
    if (!stream) return fail(KRO_ERR_PS_NULL_ARG);
    Out out(stream);
    out.format("%%%%Trailer\n%%%%Pages: %d\n", int(pageCount));
    out.format("%%%%BoundingBox: %d %d %d %d\n", int(boundingBox[0]), int(boundingBox[1]),
               int(boundingBox[2]), int(boundingBox[3]));
    return out.finish();
}
