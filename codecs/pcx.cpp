// PCX files: run-length coded pictures of 1 bit (one plane), 8 bits (one
// plane, 256-colour palette after the data) and 24 bits (three 8-bit planes).
// The header and the entry points; the runs are coded in pcx_decode.cpp and
// pcx_encode.cpp.
#include <algorithm>
#include <cstring>

#include "codecs/bands.h"
#include "codecs/pcx.h"
#include "core/image.h"
#include "core/palette.h"
#include "core/pixels.h"

namespace {

using kro::pcx::Decoded;
using kro::pcx::kBatchBytes;

constexpr size_t kHeaderBytes = 128;
constexpr unsigned char kManufacturer = 10;
constexpr unsigned char kRunLength = 1;
constexpr unsigned char kPaletteMarker = 12;
constexpr size_t kPaletteBytes = 768;

// The 128-byte file header, field by field in file order.
struct PcxHeader {
    uint8_t manufacturer;
    uint8_t version;
    uint8_t encoding;
    uint8_t bitsPerPixel;
    uint16_t xMin, yMin, xMax, yMax;
    int16_t hRes, vRes;
    uint8_t colours[48];
    uint8_t planes;
    int16_t bytesPerLine;
    uint16_t paletteInfo;
    uint16_t hScreen, vScreen;
};

void decodeHeader(const unsigned char* b, PcxHeader* h) {
    h->manufacturer = b[0];
    h->version = b[1];
    h->encoding = b[2];
    h->bitsPerPixel = b[3];
    h->xMin = kro::get16le(b + 4);
    h->yMin = kro::get16le(b + 6);
    h->xMax = kro::get16le(b + 8);
    h->yMax = kro::get16le(b + 10);
    h->hRes = int16_t(kro::get16le(b + 12));
    h->vRes = int16_t(kro::get16le(b + 14));
    std::memcpy(h->colours, b + 16, sizeof h->colours);
    h->planes = b[65];
    h->bytesPerLine = int16_t(kro::get16le(b + 66));
    h->paletteInfo = kro::get16le(b + 68);
    h->hScreen = kro::get16le(b + 70);
    h->vScreen = kro::get16le(b + 72);
}

void encodeHeader(const PcxHeader& h, unsigned char b[kHeaderBytes]) {
    std::memset(b, 0, kHeaderBytes);
    b[0] = h.manufacturer;
    b[1] = h.version;
    b[2] = h.encoding;
    b[3] = h.bitsPerPixel;
    kro::put16le(b + 4, h.xMin);
    kro::put16le(b + 6, h.yMin);
    kro::put16le(b + 8, h.xMax);
    kro::put16le(b + 10, h.yMax);
    kro::put16le(b + 12, uint16_t(h.hRes));
    kro::put16le(b + 14, uint16_t(h.vRes));
    std::memcpy(b + 16, h.colours, sizeof h.colours);
    b[65] = h.planes;
    kro::put16le(b + 66, uint16_t(h.bytesPerLine));
    kro::put16le(b + 68, h.paletteInfo);
    kro::put16le(b + 70, h.hScreen);
    kro::put16le(b + 72, h.vScreen);
}

// The status a decoding that stopped early ends in: a count with no byte after
// it is a damaged header's kind of fault, a short file an input fault.
int32_t codeOf(Decoded d) {
    return d == Decoded::CutRun ? KRO_ERR_PCX_HEADER : d == Decoded::EndOfFile ? KRO_ERR_IO : 0;
}

// What the reader makes of a header: the record's shape and the coded layout.
struct Layout {
    int32_t pictureWidth, pictureHeight;
    int32_t depth, width, height;
    uint64_t bytes;       // of the record's pixels
    size_t planeLine;     // coded bytes of one plane line
    size_t kept;          // of those, the bytes the record keeps
    size_t recordRow;     // bytes of one record row
};

// The header's checks in their order; 0 and the layout, or the code.
int32_t layoutOf(const PcxHeader& h, Layout* l) {
    const bool versionOk = h.version == 0 || h.version == 2 || h.version == 3 || h.version == 5;
    if (h.manufacturer != kManufacturer || !versionOk || h.encoding != kRunLength)
        return KRO_ERR_PCX_HEADER;
    l->pictureWidth = int16_t(uint16_t(h.xMax - h.xMin + 1));
    l->pictureHeight = int16_t(uint16_t(h.yMax - h.yMin + 1));
    if (l->pictureWidth < 1 || l->pictureHeight < 1) return KRO_ERR_SIZE;
    if (h.planes != 1 && h.planes != 3) return KRO_ERR_PCX_PLANES;
    if (h.bitsPerPixel != 1 && h.bitsPerPixel != 8) return KRO_ERR_DEPTH;
    // Three planes of one bit would be a 3-bit picture, which no record holds.
    if (h.bitsPerPixel == 1 && h.planes == 3) return KRO_ERR_DEPTH;
    // A plane line of no bytes would never end.
    if (h.bytesPerLine < 1) return KRO_ERR_PCX_HEADER;

    l->depth = h.bitsPerPixel * h.planes;
    l->width = l->depth == 1 ? (l->pictureWidth + 7) & ~7 : l->pictureWidth;
    l->height = l->pictureHeight;
    l->bytes = kro::pixelBytes(l->width, l->height, l->depth);
    if (l->bytes > uint64_t(INT32_MAX)) return KRO_ERR_SIZE;
    l->planeLine = size_t(h.bytesPerLine);
    l->recordRow = size_t(kro::rowBytes(l->width, l->depth));
    const size_t planeBytes = l->depth == 24 ? size_t(l->width) : l->recordRow;
    l->kept = std::min(l->planeLine, planeBytes);
    return 0;
}

// A file too short to hold the picture even at the best run-length ratio is
// refused before the picture is allocated, with the code reading it would end
// in: walking its runs tells whether it stops inside one. 0 when it may hold it.
int32_t shortFileProblem(FILE* stream, kro::pcx::RunDecoder& decoder, const PcxHeader& h,
                         const Layout& l) {
    const uint64_t coded = uint64_t(l.planeLine) * h.planes * uint64_t(l.height);
    const uint64_t needed =
        kro::pcx::fewestCodedBytes(coded) + (l.depth == 8 ? 1 + kPaletteBytes : 0);
    const int64_t length = kro::streamLength(stream);
    const long here = std::ftell(stream);
    if (length < 0 || here < 0 || uint64_t(length - here) >= needed) return 0;
    Decoded d = Decoded::Full;
    for (uint64_t left = coded; left && d == Decoded::Full; left -= std::min<uint64_t>(left, kBatchBytes))
        d = decoder.next(nullptr, size_t(std::min<uint64_t>(left, kBatchBytes)));
    return d == Decoded::CutRun ? KRO_ERR_PCX_HEADER : KRO_ERR_IO;
}

// Expands count picture lines from line first on into the record's rows at
// pixels; planes holds three plane lines of l.kept bytes for 24-bit pictures,
// which are put together blue first when bgr.
Decoded decodeRows(kro::pcx::RunDecoder& decoder, const Layout& l, int32_t first, int32_t count,
                   unsigned char* pixels, unsigned char* planes, bool bgr = false) {
    // The padding after the picture's last plane line may be left out; a file
    // that ends before all of the picture's bytes is damaged.
    const auto skipPadding = [&](bool lastPlaneLine) {
        if (l.planeLine <= l.kept) return Decoded::Full;
        const Decoded s = decoder.next(nullptr, l.planeLine - l.kept);
        return s == Decoded::EndOfFile && lastPlaneLine ? Decoded::Full : s;
    };
    const size_t kept = l.kept;
    Decoded d = Decoded::Full;
    for (int32_t y = first; y < first + count && d == Decoded::Full; ++y) {
        const bool lastRow = y == l.height - 1;
        unsigned char* row = pixels + size_t(y - first) * l.recordRow;
        if (l.depth == 24) {
            for (size_t p = 0; p < 3 && d == Decoded::Full; ++p) {
                d = decoder.next(planes + p * kept, kept);
                if (d == Decoded::Full) d = skipPadding(lastRow && p == 2);
            }
            if (d != Decoded::Full) break;
            unsigned char* const blue = planes + 2 * kept;
            kro::interleave3(row, bgr ? blue : planes, planes + kept, bgr ? planes : blue, kept);
            std::memset(row + 3 * kept, 0, l.recordRow - 3 * kept);
        } else {
            d = decoder.next(row, kept);
            if (d == Decoded::Full) d = skipPadding(lastRow);
            std::memset(row + kept, 0, l.recordRow - kept);
        }
    }
    return d;
}

// The palette after the coded data (8 bits), or the header's first two
// entries (1 bit); a 24-bit picture leaves it alone.
int32_t readPalette(kro::pcx::RunDecoder& decoder, const PcxHeader& h, int32_t depth,
                    unsigned char* palette) {
    if (depth == 8) {
        std::memset(palette, 0, kPaletteBytes);
        int c;
        while ((c = decoder.byte()) != kPaletteMarker)
            if (c < 0) return KRO_ERR_IO;
        unsigned char rgb[kPaletteBytes];
        if (!decoder.bytes(rgb, sizeof rgb)) return KRO_ERR_IO;
        kro::fromTriples(kro::Palette(palette), rgb, 256);
    } else if (depth == 1) {
        kro::fromTriples(kro::Palette(palette), h.colours, 2);
    }
    return 0;
}

int32_t readPcx(FILE* stream, RsImage* image, int32_t* photometric, int32_t resolution[2],
                unsigned char palette[768]) {
    if (!stream || !image || !photometric || !resolution || !palette) return KRO_ERR_NULL;

    unsigned char head[kHeaderBytes];
    if (std::fread(head, 1, kHeaderBytes, stream) != kHeaderBytes) return KRO_ERR_IO;
    PcxHeader h{};
    decodeHeader(head, &h);
    Layout l{};
    if (int32_t code = layoutOf(h, &l)) return code;

    kro::Buffer batch(kro::allocBytes(kBatchBytes));
    if (!batch) return KRO_ERR_NOMEM;
    kro::pcx::RunDecoder decoder(stream, batch.get());
    if (int32_t code = shortFileProblem(stream, decoder, h, l)) return code;

    kro::Buffer pixels(kro::allocPixels(l.bytes));
    if (!pixels) return KRO_ERR_NOMEM;
    kro::Buffer planes(l.depth == 24 ? kro::allocBytes(3 * uint64_t(l.kept)) : nullptr);
    if (l.depth == 24 && !planes) return KRO_ERR_NOMEM;
    if (int32_t code = codeOf(decodeRows(decoder, l, 0, l.height, pixels.get(), planes.get())))
        return code;
    if (int32_t code = readPalette(decoder, h, l.depth, palette)) return code;

    kro::handOverPicture(image, l.width, l.height, l.depth, l.bytes,
                         pixels.release(), l.pictureWidth, l.pictureHeight);
    resolution[0] = h.hRes;
    resolution[1] = h.vRes;
    // A bilevel file's photometric value looks at entry 0 only, and only to
    // tell black from white.
    *photometric = kro::photometricFromPalette(l.depth, palette, l.depth == 8 ? 256 : 1);
    return 0;
}

// Codes one record row of dataBytes bytes a plane line (three planes at 24
// bits, which split holds for the while), followed by pad zero bytes each;
// returns the end of the coded bytes.
unsigned char* codeRow(const unsigned char* row, int32_t depth, size_t dataBytes, size_t pad,
                       unsigned char* split, unsigned char* at) {
    if (depth != 24) return kro::pcx::codePlaneLine(row, dataBytes, pad, at);
    kro::deinterleave3(split, split + dataBytes, split + 2 * dataBytes, row, dataBytes);
    for (size_t p = 0; p < 3; ++p)
        at = kro::pcx::codePlaneLine(split + p * dataBytes, dataBytes, pad, at);
    return at;
}

// Codes rows after the header, gathered in one batch that is written
// whenever the next row might not fit (a coded plane line takes at most
// 2 * planeLine bytes).
class RowCoder {
public:
    RowCoder(FILE* stream, int32_t width, int32_t depth, size_t planeLine, size_t planes)
        : stream_(stream),
          depth_(depth),
          recordRow_(size_t(kro::rowBytes(width, depth))),
          dataBytes_(depth == 24 ? size_t(width) : recordRow_),
          pad_(planeLine - dataBytes_),
          rowMost_(planes * 2 * planeLine),
          batchBytes_(std::max(kBatchBytes, 2 * rowMost_)),
          out_(kro::allocBytes(batchBytes_ + (depth == 24 ? 3 * dataBytes_ : 0))),
          at_(out_.get()) {}

    // false when the batch could not be had.
    bool ready() const { return bool(out_); }

    int32_t rows(const unsigned char* rows, int32_t count) {
        unsigned char* const split = out_.get() + batchBytes_;
        for (int32_t y = 0; y < count; ++y) {
            if (size_t(out_.get() + batchBytes_ - at_) < rowMost_ && !flush()) return KRO_ERR_IO;
            at_ = codeRow(rows + size_t(y) * recordRow_, depth_, dataBytes_, pad_, split, at_);
        }
        return 0;
    }

    bool flush() {
        const size_t n = size_t(at_ - out_.get());
        at_ = out_.get();
        return std::fwrite(out_.get(), 1, n, stream_) == n;
    }

private:
    FILE* stream_;
    int32_t depth_;
    size_t recordRow_, dataBytes_, pad_, rowMost_, batchBytes_;
    kro::Buffer out_;
    unsigned char* at_;
};

// The header of a file of width x height pixels of depth bits, planeLine
// bytes a plane line, at dpi; a bilevel file's two colours are the caller's.
PcxHeader headerFor(int32_t width, int32_t height, int32_t depth, size_t planeLine, int32_t dpi) {
    PcxHeader h{};
    h.manufacturer = kManufacturer;
    h.version = 5;
    h.encoding = kRunLength;
    h.bitsPerPixel = depth == 1 ? 1 : 8;
    h.xMax = uint16_t(width - 1);
    h.yMax = uint16_t(height - 1);
    h.hRes = h.vRes = int16_t(dpi);
    h.planes = depth == 24 ? 3 : 1;
    h.bytesPerLine = int16_t(planeLine);
    h.paletteInfo = 1;
    h.hScreen = 640;
    h.vScreen = 480;
    return h;
}

// Bytes of one coded plane line of a picture width pixels wide: a multiple of 4.
size_t planeLineOf(int32_t width, int32_t depth) {
    return size_t((int64_t(width) * (depth == 1 ? 1 : 8) + 31) / 32 * 4);
}

int32_t writePcx(FILE* stream, const RsImage* image, int32_t photometric,
                 const int32_t resolution[2], unsigned char palette[768]) {
    if (!stream || !resolution || !palette) return KRO_ERR_NULL;
    if (int32_t code = kro::rawImageProblem(image)) return code;
    const int32_t depth = image->depth;
    if (photometric < 0 || photometric > 3) return KRO_ERR_PHOTOMETRIC;
    // The header holds 16-bit signed resolutions; larger ones would wrap.
    if (resolution[0] < 1 || resolution[1] < 1 || resolution[0] != resolution[1] ||
        resolution[0] > INT16_MAX)
        return KRO_ERR_RESOLUTION;
    const int32_t width = image->width;
    const size_t planeLine = planeLineOf(width, depth);
    // The signed 16-bit field cannot say more.
    if (planeLine > size_t(INT16_MAX)) return KRO_ERR_SIZE;

    const kro::Palette table(palette);
    if (depth == 1) {
        kro::setEntry(table, 0, 0, 0, 0);
        kro::setEntry(table, 1, 255, 255, 255);
    } else if (depth == 8 &&
               (photometric == KRO_PHOTO_WHITE_IS_ZERO || photometric == KRO_PHOTO_BLACK_IS_ZERO)) {
        kro::fillGrayRamp(table, photometric == KRO_PHOTO_WHITE_IS_ZERO);
    }

    // The file states the picture's own width; a validWidth that does not lie
    // within the stored row is not trusted.
    const int32_t fileWidth =
        image->validWidth >= 1 && image->validWidth <= width ? image->validWidth : width;
    PcxHeader h = headerFor(fileWidth, image->height, depth, planeLine, resolution[0]);
    if (depth == 1) kro::toTriples(table, h.colours, 2);
    unsigned char head[kHeaderBytes];
    encodeHeader(h, head);
    if (std::fwrite(head, 1, kHeaderBytes, stream) != kHeaderBytes) return KRO_ERR_IO;
    RowCoder coder(stream, image->width, depth, planeLine, h.planes);
    if (!coder.ready()) return KRO_ERR_NOMEM;
    if (int32_t code = coder.rows(image->data, image->height)) return code;
    if (!coder.flush()) return KRO_ERR_IO;

    if (depth == 8) {
        unsigned char tail[1 + kPaletteBytes];
        tail[0] = kPaletteMarker;
        kro::toTriples(table, tail + 1, 256);
        if (std::fwrite(tail, 1, sizeof tail, stream) != sizeof tail) return KRO_ERR_IO;
    }
    return 0;
}

// A 24-bit file's rows, decoded a band at a time.
class BandReader final : public kro::bands::Reader {
public:
    // Takes over batch (kBatchBytes) and planes (three plane lines).
    BandReader(FILE* stream, const Layout& l, unsigned char* batch, unsigned char* planes)
        : l_(l), batch_(batch), planes_(planes), decoder_(stream, batch) {}

    int32_t rows(unsigned char* dst, int32_t count) override {
        const Decoded d = decodeRows(decoder_, l_, done_, count, dst, planes_.get(), bgr_);
        done_ += count;
        return d == Decoded::Full ? 0 : codeOf(d);
    }

private:
    Layout l_;
    kro::Buffer batch_, planes_;
    kro::pcx::RunDecoder decoder_;
    int32_t done_ = 0;
};

class BandWriter final : public kro::bands::Writer {
public:
    BandWriter(FILE* stream, const kro::bands::Shape& shape, size_t planeLine)
        : stream_(stream), shape_(shape), planeLine_(planeLine) {}

    size_t most(int32_t count) const override {
        return size_t(count) * size_t(shape_.depth / 8) * (2 * planeLine_ + 2);
    }
    size_t code(const unsigned char* src, int32_t, int32_t count,
                unsigned char* out) const override {
        const size_t width = size_t(shape_.width), row = shape_.rowBytes();
        kro::Buffer split(kro::allocBytes(shape_.depth == 24 ? row : 0));
        if (!split) return kro::bands::kNoMemory;
        unsigned char* at = out;
        for (int32_t y = 0; y < count; ++y)
            at = codeRow(src + size_t(y) * row, shape_.depth, width, planeLine_ - width,
                         split.get(), at);
        return size_t(at - out);
    }
    int32_t put(const unsigned char* coded, size_t n, int32_t, int32_t) override {
        return std::fwrite(coded, 1, n, stream_) == n ? 0 : KRO_ERR_IO;
    }
    // An 8-bit file's palette follows its rows.
    int32_t finish() override {
        if (shape_.depth != 8) return 0;
        unsigned char tail[1 + kPaletteBytes];
        tail[0] = kPaletteMarker;
        kro::toTriples(kro::ConstPalette(shape_.palette), tail + 1, 256);
        return std::fwrite(tail, 1, sizeof tail, stream_) == sizeof tail ? 0 : KRO_ERR_IO;
    }

private:
    FILE* stream_;
    const kro::bands::Shape shape_;
    size_t planeLine_;
};

}  // namespace

int32_t kro::bands::openPcxReader(FILE* stream, Shape* shape, std::unique_ptr<Reader>* reader) {
    unsigned char head[kHeaderBytes];
    if (std::fread(head, 1, kHeaderBytes, stream) != kHeaderBytes) return KRO_ERR_NOT_AS_IS;
    PcxHeader h{};
    decodeHeader(head, &h);
    Layout l{};
    if (layoutOf(h, &l) != 0 || l.depth != 24) return KRO_ERR_NOT_AS_IS;
    // A file too short for its picture: the whole-picture reader says why.
    const uint64_t coded = uint64_t(l.planeLine) * 3 * uint64_t(l.height);
    const int64_t length = kro::streamLength(stream);
    const long here = std::ftell(stream);
    if (length < 0 || here < 0 || length < here ||
        uint64_t(length - here) < kro::pcx::fewestCodedBytes(coded))
        return KRO_ERR_NOT_AS_IS;
    kro::Buffer batch(kro::allocBytes(kBatchBytes)), planes(kro::allocBytes(3 * uint64_t(l.kept)));
    if (!batch || !planes) return KRO_ERR_NOMEM;
    shape->width = l.width;
    shape->height = l.height;
    shape->depth = 24;
    shape->photometric = KRO_PHOTO_RGB;
    shape->resolution[0] = h.hRes;
    shape->resolution[1] = h.vRes;
    *reader = std::make_unique<BandReader>(stream, l, batch.release(), planes.release());
    return 0;
}

int32_t kro::bands::openPcxWriter(FILE* stream, const Shape& shape, int32_t dpi,
                                  std::unique_ptr<Writer>* writer) {
    const size_t planeLine = planeLineOf(shape.width, shape.depth);
    if (dpi < 1 || dpi > INT16_MAX || planeLine > size_t(INT16_MAX) ||
        !kro::sideInRange(shape.width) || !kro::sideInRange(shape.height))
        return KRO_ERR_NOT_AS_IS;
    unsigned char head[kHeaderBytes];
    encodeHeader(headerFor(shape.width, shape.height, shape.depth, planeLine, dpi), head);
    if (std::fwrite(head, 1, kHeaderBytes, stream) != kHeaderBytes) return KRO_ERR_IO;
    *writer = std::make_unique<BandWriter>(stream, shape, planeLine);
    return 0;
}

extern "C" KRO_API int32_t KroPCXToRsImage(FILE* stream, RsImage* image, int32_t* photometric,
                                           int32_t resolution[2], unsigned char palette[768]) {
    if (photometric) *photometric = 0;
    return kro::report(readPcx(stream, image, photometric, resolution, palette));
}

extern "C" KRO_API int32_t KroRsImageToPCX(FILE* stream, const RsImage* image, int32_t photometric,
                                           const int32_t resolution[2],
                                           unsigned char palette[768]) {
    return kro::report(writePcx(stream, image, photometric, resolution, palette));
}
