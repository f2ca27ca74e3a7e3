// TIFF files through libtiff over the host's stream: pages read upright into
// 1-, 8- and 24-bit pictures, pages appended by the writer, and Group 4 strips
// carried between TIFF and CALS files without decoding them.
#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstring>
#include <vector>

#include "codecs/cals.h"
#include "core/image.h"
#include "core/palette.h"
#include "core/pixels.h"

namespace {

// ---- The stream as libtiff sees it --------------------------------------

int64_t tellAt(FILE* f) {
#ifdef _WIN32
    return _ftelli64(f);
#else
    return ftello(f);
#endif
}

bool seekTo(FILE* f, int64_t offset, int whence) {
#ifdef _WIN32
    return _fseeki64(f, offset, whence) == 0;
#else
    return fseeko(f, off_t(offset), whence) == 0;
#endif
}

// A TIFF file is the whole stream: its offsets count from the stream's first
// byte, wherever the stream stood when it was handed over (a writer that adds
// a page stands at the end). libtiff mixes reads and writes on one stream in
// append mode; C asks for a seek between the two.
struct Stream {
    FILE* file;
    int64_t base;
    bool wrote = false;
    bool read = false;
    bool failed = false;  // an error libtiff reported
};

tmsize_t streamRead(thandle_t h, void* buf, tmsize_t n) {
    auto* s = static_cast<Stream*>(h);
    if (s->wrote) seekTo(s->file, 0, SEEK_CUR);
    s->wrote = false;
    s->read = true;
    return n <= 0 ? 0 : tmsize_t(std::fread(buf, 1, size_t(n), s->file));
}

tmsize_t streamWrite(thandle_t h, void* buf, tmsize_t n) {
    auto* s = static_cast<Stream*>(h);
    if (s->read) seekTo(s->file, 0, SEEK_CUR);
    s->read = false;
    s->wrote = true;
    return n <= 0 ? 0 : tmsize_t(std::fwrite(buf, 1, size_t(n), s->file));
}

toff_t streamSeek(thandle_t h, toff_t offset, int whence) {
    auto* s = static_cast<Stream*>(h);
    s->read = s->wrote = false;
    if (offset > toff_t(INT64_MAX) - toff_t(s->base)) return toff_t(-1);
    const int64_t to = whence == SEEK_SET ? s->base + int64_t(offset) : int64_t(offset);
    if (!seekTo(s->file, to, whence)) return toff_t(-1);
    const int64_t at = tellAt(s->file);
    return at < s->base ? toff_t(-1) : toff_t(at - s->base);
}

toff_t streamSize(thandle_t h) {
    auto* s = static_cast<Stream*>(h);
    const int64_t here = tellAt(s->file);
    if (here < 0 || !seekTo(s->file, 0, SEEK_END)) return 0;
    const int64_t end = tellAt(s->file);
    seekTo(s->file, here, SEEK_SET);
    return end < s->base ? 0 : toff_t(end - s->base);
}

int streamClose(thandle_t) { return 0; }  // the host closes its stream
int noMap(thandle_t, void**, toff_t*) { return 0; }
void noUnmap(thandle_t, void*, toff_t) {}

// Errors fail the call; warnings (unknown tags, odd but readable fields) do
// not. Both are kept from libtiff's handlers, which print.
int noteError(TIFF*, void* user, const char*, const char*, va_list) {
    static_cast<Stream*>(user)->failed = true;
    return 1;
}
int ignoreWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

// libtiff's own buffers stay below what a picture of the largest sides needs.
constexpr tmsize_t kLibtiffLargestBuffer = tmsize_t(1) << 30;

// Closes the TIFF when it goes out of scope.
class Tiff {
public:
    Tiff(FILE* file, const char* mode) : stream_{file, 0} {
        if (!seekTo(file, 0, SEEK_SET)) return;  // libtiff reads the header where it stands
        TIFFOpenOptions* opts = TIFFOpenOptionsAlloc();
        if (!opts) return;
        TIFFOpenOptionsSetErrorHandlerExtR(opts, noteError, &stream_);
        TIFFOpenOptionsSetWarningHandlerExtR(opts, ignoreWarning, &stream_);
        TIFFOpenOptionsSetMaxSingleMemAlloc(opts, kLibtiffLargestBuffer);
        tif_ = TIFFClientOpenExt("stream", mode, &stream_, streamRead, streamWrite, streamSeek,
                                 streamClose, streamSize, noMap, noUnmap, opts);
        TIFFOpenOptionsFree(opts);
    }
    Tiff(const Tiff&) = delete;
    Tiff& operator=(const Tiff&) = delete;
    ~Tiff() { close(); }
    TIFF* get() const { return tif_; }
    bool failed() const { return stream_.failed; }
    // Flushes what is pending; false when libtiff or the stream failed.
    bool close() {
        if (tif_) TIFFClose(tif_);
        tif_ = nullptr;
        return !stream_.failed && std::fflush(stream_.file) == 0 && !std::ferror(stream_.file);
    }
    int64_t length() { return int64_t(streamSize(&stream_)); }

private:
    Stream stream_;
    TIFF* tif_ = nullptr;
};

// A code for an open that failed: the stream's own failure, or a file
// libtiff does not take for a TIFF.
int32_t openProblem(FILE* f) {
    return std::ferror(f) ? KRO_ERR_IO : KRO_ERR_TIFF;
}

int32_t choosePage(const Tiff& t, int32_t page) {
    if (page < 0) return KRO_ERR_TIFF_PAGE;
    if (!TIFFSetDirectory(t.get(), tdir_t(page)))
        return t.failed() ? KRO_ERR_TIFF : KRO_ERR_TIFF_PAGE;
    return 0;
}

// ---- Reading ------------------------------------------------------------

struct PageLayout {
    uint32_t width = 0, height = 0;
    uint16_t bits = 1, samples = 1, photometric = 0, planar = PLANARCONFIG_CONTIG;
    uint16_t compression = COMPRESSION_NONE, orientation = ORIENTATION_TOPLEFT;
    uint16_t extraSamples = 0, sampleFormat = SAMPLEFORMAT_UINT;
};

int32_t readLayout(TIFF* tif, PageLayout* l) {
    if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &l->width) ||
        !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &l->height))
        return KRO_ERR_TIFF;
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &l->bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &l->samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &l->planar);
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &l->compression);
    TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &l->orientation);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &l->sampleFormat);
    uint16_t* extraKinds = nullptr;
    TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &l->extraSamples, &extraKinds);
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &l->photometric))
        l->photometric = l->samples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISWHITE;
    if (!kro::sideInRange(l->width) || !kro::sideInRange(l->height)) return KRO_ERR_SIZE;
    return 0;
}

// How many bytes a byte of coded data can stand for at most: a bound that
// lets a page be refused before its picture is allocated. Group 3 and 4
// need a bit a row, whatever the width; the others have a largest ratio.
uint64_t largestExpansion(uint16_t compression, uint32_t width) {
    switch (compression) {
        case COMPRESSION_NONE:
            return 1;
        case COMPRESSION_PACKBITS:
            return 64;  // 2 bytes make a run of 128
        case COMPRESSION_CCITTRLE:
        case COMPRESSION_CCITTRLEW:
        case COMPRESSION_CCITTFAX3:
        case COMPRESSION_CCITTFAX4:
            return uint64_t(width);  // a row of width / 8 bytes per bit
        default:
            return 2048;  // LZW resets its table before 1400 to 1; Deflate tops at 1032
    }
}

// The coded data of the page must lie in the file and be able to make the
// picture the page declares.
int32_t checkCodedData(TIFF* tif, const PageLayout& l, int64_t fileLength) {
    const uint32_t strips = TIFFIsTiled(tif) ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
    if (strips == 0) return KRO_ERR_TIFF;
    uint64_t coded = 0;
    for (uint32_t s = 0; s < strips; ++s) {
        int err = 0;
        const uint64_t offset = TIFFGetStrileOffsetWithErr(tif, s, &err);
        const uint64_t count = TIFFGetStrileByteCountWithErr(tif, s, &err);
        if (err) return KRO_ERR_TIFF;
        uint64_t end;
        if (!kro::checkedAdd(offset, count, &end) ||
            (fileLength >= 0 && end > uint64_t(fileLength)))
            return KRO_ERR_TIFF;
        coded += count;
    }
    const uint64_t decoded = (uint64_t(l.width) * l.bits * l.samples + 7) / 8 * l.height;
    uint64_t most;
    if (!kro::checkedMul(coded, largestExpansion(l.compression, l.width), &most)) return 0;
    return decoded > most ? KRO_ERR_TIFF : 0;
}

// Puts n pixels of a stored row (bits a sample, samples a pixel) at pixel x
// of a picture row; widen spreads samples of under 8 bits to a byte each.
// x is a multiple of 8 when a row packs bits, as tile widths are of 16.
void placePixels(const unsigned char* src, uint32_t n, const PageLayout& l, bool widen,
                 unsigned char* dst, uint32_t x) {
    if (widen) {
        const unsigned maxValue = (1u << l.bits) - 1;
        for (uint32_t i = 0; i < n; ++i) {
            const uint32_t bit = i * l.bits;
            dst[x + i] = uint8_t((src[bit / 8] >> (8 - l.bits - bit % 8)) & maxValue);
        }
        return;
    }
    const uint64_t bits = uint64_t(n) * l.bits * l.samples;
    unsigned char* at = dst + uint64_t(x) * l.bits * l.samples / 8;
    std::memcpy(at, src, size_t(bits / 8));
    if (bits % 8)  // the last byte's bits past the picture stay 0
        at[bits / 8] = uint8_t(src[bits / 8] & (0xFF00 >> (bits % 8)));
}

// Reads the rows of a strip-organised page of one sample a pixel, as stored,
// into rows of rowBytes; bits below 8 widen to a byte a pixel.
int32_t readStrips(const Tiff& t, const PageLayout& l, unsigned char* out, size_t rowBytes,
                   bool widen) {
    TIFF* tif = t.get();
    const tmsize_t stripBytes = TIFFStripSize(tif);
    uint32_t rowsPerStrip = l.height;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    rowsPerStrip = std::clamp<uint32_t>(rowsPerStrip, 1, l.height);
    const size_t fileRow = size_t((uint64_t(l.width) * l.bits * l.samples + 7) / 8);
    if (stripBytes <= 0 || uint64_t(stripBytes) < uint64_t(fileRow)) return KRO_ERR_TIFF;
    kro::Buffer strip(kro::allocBytes(uint64_t(stripBytes)));
    if (!strip) return KRO_ERR_NOMEM;
    for (uint32_t first = 0, n = 0; first < l.height; first += rowsPerStrip, ++n) {
        const uint32_t rows = std::min(rowsPerStrip, l.height - first);
        const tmsize_t want = tmsize_t(fileRow * rows);
        const tmsize_t got = TIFFReadEncodedStrip(tif, n, strip.get(), want);
        if (got < want || t.failed()) return KRO_ERR_TIFF;
        for (uint32_t j = 0; j < rows; ++j)
            placePixels(strip.get() + size_t(j) * fileRow, l.width, l, widen,
                        out + size_t(first + j) * rowBytes, 0);
    }
    return 0;
}

// The same for a tiled page: each tile's rows put in place, the parts of
// the edge tiles past the picture left out.
int32_t readTiles(const Tiff& t, const PageLayout& l, unsigned char* out, size_t rowBytes,
                  bool widen) {
    TIFF* tif = t.get();
    uint32_t tileW = 0, tileH = 0;
    TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileW);
    TIFFGetField(tif, TIFFTAG_TILELENGTH, &tileH);
    const tmsize_t tileBytes = TIFFTileSize(tif);
    const size_t tileRow = size_t((uint64_t(tileW) * l.bits * l.samples + 7) / 8);
    if (tileW == 0 || tileH == 0 || tileW % 16 || tileBytes <= 0 ||
        uint64_t(tileBytes) < uint64_t(tileRow) * tileH)
        return KRO_ERR_TIFF;
    // A tile may pass the picture's edge, not dwarf it: a few pixels' page
    // declaring a tile of gigabytes is refused before the tile is allocated.
    const uint64_t pageBytes = (uint64_t(l.width) * l.bits * l.samples + 7) / 8 * l.height;
    if (uint64_t(tileBytes) > std::max<uint64_t>(uint64_t(4) << 20, 4 * pageBytes))
        return KRO_ERR_TIFF;
    kro::Buffer tile(kro::allocBytes(uint64_t(tileBytes)));
    if (!tile) return KRO_ERR_NOMEM;
    for (uint32_t y = 0; y < l.height; y += tileH)
        for (uint32_t x = 0; x < l.width; x += tileW) {
            if (TIFFReadTile(tif, tile.get(), x, y, 0, 0) < tileBytes || t.failed())
                return KRO_ERR_TIFF;
            const uint32_t rows = std::min(tileH, l.height - y), n = std::min(tileW, l.width - x);
            for (uint32_t j = 0; j < rows; ++j)
                placePixels(tile.get() + size_t(j) * tileRow, n, l, widen,
                            out + size_t(y + j) * rowBytes, x);
        }
    return 0;
}

// Every other layout through libtiff's RGBA reader, as stored (the
// orientation is turned afterwards like the others'); alpha comes
// premultiplied, so laying it on white adds the white it lets through.
int32_t readAsRgba(const Tiff& t, const PageLayout& l, unsigned char* out) {
    TIFF* tif = t.get();
    char message[1024];
    if (!TIFFRGBAImageOK(tif, message)) return KRO_ERR_TIFF_LAYOUT;
    TIFFRGBAImage img;
    if (!TIFFRGBAImageBegin(&img, tif, 0, message)) return KRO_ERR_TIFF_LAYOUT;
    img.req_orientation = ORIENTATION_TOPLEFT;
    img.orientation = ORIENTATION_TOPLEFT;
    std::vector<uint32_t> band;
    constexpr uint32_t kBandRows = 64;
    int32_t code = 0;
    try {
        band.resize(size_t(l.width) * kBandRows);
    } catch (...) {
        code = KRO_ERR_NOMEM;
    }
    for (uint32_t first = 0; code == 0 && first < l.height; first += kBandRows) {
        const uint32_t rows = std::min(kBandRows, l.height - first);
        img.row_offset = int(first);
        img.col_offset = 0;
        if (!TIFFRGBAImageGet(&img, band.data(), l.width, rows) || t.failed()) {
            code = KRO_ERR_TIFF;
            break;
        }
        for (uint32_t i = 0; i < rows * l.width; ++i) {
            const uint32_t p = band[i];
            const uint32_t white = 255 - TIFFGetA(p);
            unsigned char* d = out + (size_t(first) * l.width + i) * 3;
            d[0] = uint8_t(std::min<uint32_t>(TIFFGetR(p) + white, 255));
            d[1] = uint8_t(std::min<uint32_t>(TIFFGetG(p) + white, 255));
            d[2] = uint8_t(std::min<uint32_t>(TIFFGetB(p) + white, 255));
        }
    }
    TIFFRGBAImageEnd(&img);
    return code;
}

}  // namespace

namespace kro {

// Turns a picture stored in the order an Orientation value names upright:
// from stored w x h rows of pixelBytes a pixel (bits, when pixelBytes is 0)
// into out, whose sides are swapped for the values 5 to 8.
void orientPicture(const unsigned char* in, int32_t w, int32_t h, int32_t pixelBytes,
                   int orientation, unsigned char* out) {
    const bool across = orientation >= 5;
    const int32_t outW = across ? h : w, outH = across ? w : h;
    const size_t inRow = pixelBytes ? size_t(w) * pixelBytes : (size_t(w) + 7) / 8;
    const size_t outRow = pixelBytes ? size_t(outW) * pixelBytes : (size_t(outW) + 7) / 8;
    if (!pixelBytes) std::memset(out, 0, outRow * size_t(outH));
    for (int32_t y = 0; y < outH; ++y)
        for (int32_t x = 0; x < outW; ++x) {
            int32_t col = x, row = y;  // where the stored picture holds this pixel
            switch (orientation) {
                case 2: col = w - 1 - x; break;
                case 3: col = w - 1 - x, row = h - 1 - y; break;
                case 4: row = h - 1 - y; break;
                case 5: col = y, row = x; break;
                case 6: col = y, row = h - 1 - x; break;
                case 7: col = w - 1 - y, row = h - 1 - x; break;
                case 8: col = w - 1 - y, row = x; break;
                default: break;
            }
            if (pixelBytes) {
                std::memcpy(out + size_t(y) * outRow + size_t(x) * pixelBytes,
                            in + size_t(row) * inRow + size_t(col) * pixelBytes,
                            size_t(pixelBytes));
            } else if (in[size_t(row) * inRow + size_t(col) / 8] & (0x80 >> (col % 8))) {
                out[size_t(y) * outRow + size_t(x) / 8] |= uint8_t(0x80 >> (x % 8));
            }
        }
}

}  // namespace kro

namespace {

int32_t readResolution(TIFF* tif, int32_t resolution[2]) {
    resolution[0] = resolution[1] = -1;
    float x = 0, y = 0;
    uint16_t unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    if (!TIFFGetField(tif, TIFFTAG_XRESOLUTION, &x) || unit == RESUNIT_NONE) return 0;
    if (!TIFFGetField(tif, TIFFTAG_YRESOLUTION, &y)) y = x;
    const double perInch = unit == RESUNIT_CENTIMETER ? 2.54 : 1.0;
    auto dpi = [&](double v) {
        v = std::round(v * perInch);
        return std::isfinite(v) && v >= 1 && v <= 1e6 ? int32_t(v) : -1;
    };
    resolution[0] = dpi(x);
    resolution[1] = dpi(y);
    if (resolution[0] < 0 || resolution[1] < 0) resolution[0] = resolution[1] = -1;
    return 0;
}

void readColourMap(TIFF* tif, const PageLayout& l, unsigned char* palette) {
    uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
    std::memset(palette, 0, KRO_PALETTE_SIZE);
    if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &r, &g, &b)) return;
    const int colours = 1 << l.bits;
    // Some writers store 8-bit values in the 16-bit map.
    bool eightBit = true;
    for (int i = 0; i < colours; ++i) eightBit = eightBit && r[i] < 256 && g[i] < 256 && b[i] < 256;
    const int shift = eightBit ? 0 : 8;
    kro::Palette p(palette);
    for (int i = 0; i < colours; ++i)
        kro::setEntry(p, i, uint8_t(r[i] >> shift), uint8_t(g[i] >> shift), uint8_t(b[i] >> shift));
}

int32_t readPage(FILE* stream, int32_t page, RsImage* image, int32_t* photometric,
                 int32_t resolution[2], unsigned char palette[768]) {
    if (!stream || !image || !photometric || !resolution || !palette) return KRO_ERR_NULL;
    Tiff t(stream, "rm");
    if (!t.get()) return openProblem(stream);
    if (int32_t code = choosePage(t, page)) return code;
    TIFF* tif = t.get();
    PageLayout l;
    if (int32_t code = readLayout(tif, &l)) return code;
    if (!TIFFIsCODECConfigured(l.compression)) return KRO_ERR_TIFF_COMPRESSION;
    if (int32_t code = checkCodedData(tif, l, t.length())) return code;

    const bool plainSamples =
        l.samples == 1 && l.extraSamples == 0 && l.sampleFormat == SAMPLEFORMAT_UINT;
    const bool gray = l.photometric == PHOTOMETRIC_MINISWHITE ||
                      l.photometric == PHOTOMETRIC_MINISBLACK;
    int32_t depth = 24;
    bool widen = false;
    if (plainSamples && l.bits == 1 && gray) {
        depth = 1;
    } else if (plainSamples && (gray || l.photometric == PHOTOMETRIC_PALETTE) &&
               (l.bits == 2 || l.bits == 4 || l.bits == 8 ||
                (l.bits == 1 && l.photometric == PHOTOMETRIC_PALETTE))) {
        depth = 8;
        widen = l.bits != 8;
    }
    const bool plainRgb = depth == 24 && l.samples == 3 && l.extraSamples == 0 && l.bits == 8 &&
                          l.photometric == PHOTOMETRIC_RGB && l.planar == PLANARCONFIG_CONTIG &&
                          l.sampleFormat == SAMPLEFORMAT_UINT;

    // Stored rows first; the picture is turned into a second buffer when the
    // page is not stored upright.
    const int32_t storedW = int32_t(l.width), storedH = int32_t(l.height);
    const int32_t storedRowW = depth == 1 ? (storedW + 7) & ~7 : storedW;
    const uint64_t storedBytes = kro::pixelBytes(storedRowW, storedH, depth);
    if (storedBytes > uint64_t(INT32_MAX)) return KRO_ERR_SIZE;
    kro::Buffer stored(kro::allocPixels(storedBytes));
    if (!stored) return KRO_ERR_NOMEM;
    const size_t storedRow = size_t(kro::rowBytes(storedRowW, depth));
    const int32_t code = depth == 24 && !plainRgb ? readAsRgba(t, l, stored.get())
                         : TIFFIsTiled(tif)      ? readTiles(t, l, stored.get(), storedRow, widen)
                                                 : readStrips(t, l, stored.get(), storedRow, widen);
    if (code) return code;

    std::memset(palette, 0, KRO_PALETTE_SIZE);
    int32_t photo = KRO_PHOTO_RGB;
    if (depth == 1 || (depth == 8 && gray)) {
        photo = l.photometric == PHOTOMETRIC_MINISWHITE ? KRO_PHOTO_WHITE_IS_ZERO
                                                        : KRO_PHOTO_BLACK_IS_ZERO;
        if (widen) {  // gray of 2 or 4 bits spread over 0 to 255
            const unsigned maxValue = (1u << l.bits) - 1;
            for (uint64_t i = 0; i < storedBytes; ++i)
                stored.get()[i] = uint8_t(stored.get()[i] * 255u / maxValue);
        }
        if (depth == 8) {
            kro::fillGrayRamp(kro::Palette(palette), photo == KRO_PHOTO_WHITE_IS_ZERO);
        } else {
            const bool whiteIsZero = photo == KRO_PHOTO_WHITE_IS_ZERO;
            kro::setEntry(kro::Palette(palette), 0, whiteIsZero ? 255 : 0, whiteIsZero ? 255 : 0,
                          whiteIsZero ? 255 : 0);
            kro::setEntry(kro::Palette(palette), 1, whiteIsZero ? 0 : 255, whiteIsZero ? 0 : 255,
                          whiteIsZero ? 0 : 255);
        }
    } else if (depth == 8) {
        photo = KRO_PHOTO_PALETTE;
        readColourMap(tif, l, palette);
    }

    int32_t w = storedW, h = storedH, rowW = storedRowW;
    uint64_t bytes = storedBytes;
    if (l.orientation >= 2 && l.orientation <= 8) {
        if (l.orientation >= 5) std::swap(w, h);
        rowW = depth == 1 ? (w + 7) & ~7 : w;
        bytes = kro::pixelBytes(rowW, h, depth);
        kro::Buffer upright(kro::allocPixels(bytes));
        if (!upright) return KRO_ERR_NOMEM;
        kro::orientPicture(stored.get(), storedW, storedH, depth / 8, l.orientation,
                           upright.get());
        stored.reset(upright.release());
    }
    readResolution(tif, resolution);
    if (l.orientation >= 5) std::swap(resolution[0], resolution[1]);
    kro::handOverPicture(image, rowW, h, depth, bytes, stored.release(), w, h);
    *photometric = photo;
    return 0;
}

int32_t pageInfo(FILE* stream, int32_t page, int32_t* pages, int32_t* compression) {
    if (!stream) return KRO_ERR_NULL;
    Tiff t(stream, "rm");
    if (!t.get()) return openProblem(stream);
    if (pages) {
        const tdir_t n = TIFFNumberOfDirectories(t.get());
        if (n == 0 || t.failed()) return KRO_ERR_TIFF;
        *pages = int32_t(std::min<tdir_t>(n, INT32_MAX));
    }
    if (int32_t code = choosePage(t, page)) return code;
    uint16_t c = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(t.get(), TIFFTAG_COMPRESSION, &c);
    if (compression) *compression = c;
    return 0;
}

// ---- Writing ------------------------------------------------------------

// An open for the next page: a new file on an empty stream, an appended
// directory otherwise.
const char* writeMode(FILE* stream) {
    if (!seekTo(stream, 0, SEEK_END)) return "w";
    return tellAt(stream) > 0 ? "a" : "w";
}

void setResolution(TIFF* tif, const int32_t* resolution) {
    if (!resolution || resolution[0] <= 0) return;
    const int32_t y = resolution[1] > 0 ? resolution[1] : resolution[0];
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, double(resolution[0]));
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, double(y));
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
}

int32_t writePage(FILE* stream, const RsImage* image, int32_t photometric,
                  const unsigned char* palette, const int32_t* resolution, int32_t compression) {
    if (!stream) return KRO_ERR_NULL;
    if (int32_t code = kro::rawImageProblem(image)) return code;
    const int32_t depth = image->depth;
    if (int32_t code = kro::photometricProblem(depth, photometric, palette)) return code;
    if (compression == 0) compression = depth == 1 ? KRO_COMPRESSION_G4 : KRO_COMPRESSION_LZW;
    const bool bilevelCoding =
        compression == KRO_COMPRESSION_G3 || compression == KRO_COMPRESSION_G4;
    const bool known = bilevelCoding || compression == KRO_COMPRESSION_NO ||
                       compression == KRO_COMPRESSION_PACKBITS ||
                       compression == KRO_COMPRESSION_LZW ||
                       compression == KRO_COMPRESSION_DEFLATE ||
                       compression == KRO_COMPRESSION_JPEG;
    // JPEG codes gray and colour samples, not bits or palette indices.
    const bool jpeg = compression == KRO_COMPRESSION_JPEG;
    if (jpeg && (depth == 1 || photometric == KRO_PHOTO_PALETTE)) return KRO_ERR_TIFF_COMPRESSION;
    if (!known || (bilevelCoding && depth != 1) ||
        !TIFFIsCODECConfigured(uint16_t(compression)))
        return KRO_ERR_TIFF_COMPRESSION;

    const int32_t width = kro::shownWidth(*image);
    const int32_t height = kro::shownHeight(*image);
    Tiff t(stream, writeMode(stream));
    if (!t.get()) return openProblem(stream);
    TIFF* tif = t.get();
    const int samples = depth == 24 ? 3 : 1;
    TIFFSetField(tif, TIFFTAG_SUBFILETYPE, 0);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(height));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, depth == 1 ? 1 : 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, uint16_t(compression));
    if (jpeg && depth == 24) {
        // Colour as YCbCr, subsampled as JPEG files are; libtiff converts the rows.
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_YCBCR);
        TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
    } else {
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, uint16_t(photometric));
    }
    if (jpeg) TIFFSetField(tif, TIFFTAG_JPEGQUALITY, 75);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    // Fax coding in one strip: the form CALS pages and fax readers expect.
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP,
                 bilevelCoding ? uint32_t(height) : TIFFDefaultStripSize(tif, 0));
    const bool predictor = (compression == KRO_COMPRESSION_LZW ||
                            compression == KRO_COMPRESSION_DEFLATE) &&
                           depth != 1 && photometric != KRO_PHOTO_PALETTE;
    if (predictor) TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    setResolution(tif, resolution);
    uint16_t map[3][256];
    if (photometric == KRO_PHOTO_PALETTE) {
        const kro::ConstPalette p(palette);
        for (int i = 0; i < 256; ++i) {
            map[0][i] = uint16_t(p.red[i] * 257);
            map[1][i] = uint16_t(p.green[i] * 257);
            map[2][i] = uint16_t(p.blue[i] * 257);
        }
        TIFFSetField(tif, TIFFTAG_COLORMAP, map[0], map[1], map[2]);
    }
    // The encoder may change the row it is given (the predictor does).
    const size_t stored = size_t(kro::rowBytes(image->width, depth));
    const size_t fileRow = depth == 1 ? (size_t(width) + 7) / 8 : size_t(width) * samples;
    kro::Buffer row(kro::allocBytes(stored));
    if (!row) return KRO_ERR_NOMEM;
    for (int32_t y = 0; y < height; ++y) {
        std::memcpy(row.get(), image->data + size_t(y) * stored, fileRow);
        if (TIFFWriteScanline(tif, row.get(), uint32_t(y), 0) != 1 || t.failed())
            return std::ferror(stream) ? KRO_ERR_IO : KRO_ERR_TIFF;
    }
    if (!TIFFWriteDirectory(tif)) return std::ferror(stream) ? KRO_ERR_IO : KRO_ERR_TIFF;
    if (!t.close()) return std::ferror(stream) ? KRO_ERR_IO : KRO_ERR_TIFF;
    return 0;
}

// ---- Group 4 carried as it is -------------------------------------------

int32_t calsToTiff(FILE* cals, FILE* tiff) {
    if (!cals || !tiff) return KRO_ERR_NULL;
    const int64_t start = tellAt(cals);
    CalsHeader h;
    if (KroGetCals(cals, &h) != 0) return fndErrorStatus;
    if (h.pelPath != 0 || h.lineProgression != 270) return KRO_ERR_NOT_AS_IS;
    if (!seekTo(cals, 0, SEEK_END)) return KRO_ERR_CALS_SEEK;
    const int64_t end = tellAt(cals);
    if (start < 0 || end < 0) return KRO_ERR_CALS_TELL;
    if (end - start <= kro::kCalsPictureOffset) return KRO_ERR_CALS_HEADER;
    const uint64_t coded = std::min(uint64_t(end - start - kro::kCalsPictureOffset),
                                    kro::g4WorstCaseBytes(h.pelsPerLine, h.numLines));
    if (uint64_t(h.numLines) > coded * 8) return KRO_ERR_G4_DECODE;
    kro::Buffer data(kro::allocBytes(coded));
    if (!data) return KRO_ERR_NOMEM;
    if (!seekTo(cals, start + kro::kCalsPictureOffset, SEEK_SET)) return KRO_ERR_CALS_SEEK;
    if (std::fread(data.get(), 1, size_t(coded), cals) != coded) return KRO_ERR_CALS_SHORT;

    Tiff t(tiff, writeMode(tiff));
    if (!t.get()) return openProblem(tiff);
    TIFF* tif = t.get();
    TIFFSetField(tif, TIFFTAG_SUBFILETYPE, 0);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(h.pelsPerLine));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(h.numLines));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    TIFFSetField(tif, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, uint32_t(h.numLines));
    const int32_t dpi[2] = {int32_t(h.rdensity), int32_t(h.rdensity)};
    setResolution(tif, dpi);
    if (TIFFWriteRawStrip(tif, 0, data.get(), tmsize_t(coded)) != tmsize_t(coded) ||
        !TIFFWriteDirectory(tif) || !t.close())
        return std::ferror(tiff) ? KRO_ERR_IO : KRO_ERR_TIFF;
    return 0;
}

int32_t tiffToCals(FILE* tiff, int32_t page, CalsHeader* header, FILE* cals) {
    if (!tiff || !header || !cals) return KRO_ERR_NULL;
    Tiff t(tiff, "rm");
    if (!t.get()) return openProblem(tiff);
    if (int32_t code = choosePage(t, page)) return code;
    TIFF* tif = t.get();
    PageLayout l;
    if (int32_t code = readLayout(tif, &l)) return code;
    uint16_t fill = FILLORDER_MSB2LSB;
    uint32_t t6 = 0;
    TIFFGetFieldDefaulted(tif, TIFFTAG_FILLORDER, &fill);
    if (l.compression == COMPRESSION_CCITTFAX4)
        TIFFGetFieldDefaulted(tif, TIFFTAG_GROUP4OPTIONS, &t6);
    if (l.compression != COMPRESSION_CCITTFAX4 || l.bits != 1 || l.samples != 1 ||
        l.photometric != PHOTOMETRIC_MINISWHITE || fill != FILLORDER_MSB2LSB || t6 != 0 ||
        l.orientation != ORIENTATION_TOPLEFT || TIFFIsTiled(tif) || TIFFNumberOfStrips(tif) != 1)
        return KRO_ERR_NOT_AS_IS;
    if (int32_t code = checkCodedData(tif, l, t.length())) return code;
    const uint64_t coded = TIFFGetStrileByteCount(tif, 0);
    if (coded == 0 || coded > kro::g4WorstCaseBytes(int32_t(l.width), int32_t(l.height)))
        return KRO_ERR_NOT_AS_IS;

    CalsHeader h = *header;
    h.rtype = 1;
    h.pelPath = 0;
    h.lineProgression = 270;
    h.pelsPerLine = int32_t(l.width);
    h.numLines = int32_t(l.height);
    int32_t resolution[2];
    readResolution(tif, resolution);
    if (resolution[0] >= 1 && resolution[0] <= 9999 && resolution[0] == resolution[1])
        h.rdensity = resolution[0];
    if (!kro::calsHeaderValid(h) || h.rdensity < 1.0) return KRO_ERR_CALS_HEADER;

    kro::Buffer data(kro::allocBytes(coded));
    if (!data) return KRO_ERR_NOMEM;
    if (TIFFReadRawStrip(tif, 0, data.get(), tmsize_t(coded)) != tmsize_t(coded) || t.failed())
        return KRO_ERR_TIFF;
    if (int32_t code = kro::writeCalsHeader(cals, h)) return code;
    if (std::fwrite(data.get(), 1, size_t(coded), cals) != coded) return KRO_ERR_CALS_WRITE;
    *header = h;
    return 0;
}

}  // namespace

extern "C" {

KRO_API int32_t KroTIFFToRsImage(FILE* stream, int32_t page, RsImage* image,
                                 int32_t* photometric, int32_t resolution[2],
                                 unsigned char palette[768]) {
    if (photometric) *photometric = 0;
    return kro::report(readPage(stream, page, image, photometric, resolution, palette));
}

KRO_API int32_t KroTIFFInfo(FILE* stream, int32_t page, int32_t* pages, int32_t* compression) {
    return kro::report(pageInfo(stream, page, pages, compression));
}

KRO_API int32_t KroRsImageToTIFF(FILE* stream, const RsImage* image, int32_t photometric,
                                 const unsigned char palette[768], const int32_t resolution[2],
                                 int32_t compression) {
    return kro::report(writePage(stream, image, photometric, palette, resolution, compression));
}

KRO_API int32_t KroCalsToTIFF(FILE* cals, FILE* tiff) {
    return kro::report(calsToTiff(cals, tiff));
}

KRO_API int32_t KroTIFFToCals(FILE* tiff, int32_t page, CalsHeader* header, FILE* cals) {
    return kro::report(tiffToCals(tiff, page, header, cals));
}

}  // extern "C"
