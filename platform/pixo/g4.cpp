// Group 4 coding through libtiff's CCITT codec over in-memory files: decoding
// wraps the coded bytes in a minimal TIFF, encoding lets libtiff write a TIFF
// whose strip lands straight in the caller's coded buffer. Large pictures are
// coded in bands on several threads and the bands' bits joined.
#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdlib>
#include <thread>
#include <vector>

#include "pixo_internal.h"

namespace {

using pixo::fail;

// libtiff reports corrupt data through its handlers and may still carry on
// (a bad code ends the line early and the next line is decoded), so every
// report, error or warning, is taken as failure. Returning 1 keeps libtiff's
// process-wide handlers, which print, out of it.
struct Complaints {
    bool raised = false;
};

int noteComplaint(TIFF*, void* user, const char*, const char*, va_list) {
    static_cast<Complaints*>(user)->raised = true;
    return 1;
}

// Opens a client TIFF whose complaints go to c and nowhere else.
TIFF* openQuiet(const char* mode, thandle_t handle, Complaints* c, TIFFReadWriteProc read,
                TIFFReadWriteProc write, TIFFSeekProc seek, TIFFCloseProc close, TIFFSizeProc size,
                TIFFMapFileProc map, TIFFUnmapFileProc unmap) {
    TIFFOpenOptions* opts = TIFFOpenOptionsAlloc();
    if (!opts) return nullptr;
    TIFFOpenOptionsSetErrorHandlerExtR(opts, noteComplaint, c);
    TIFFOpenOptionsSetWarningHandlerExtR(opts, noteComplaint, c);
    TIFF* tif =
        TIFFClientOpenExt("g4", mode, handle, read, write, seek, close, size, map, unmap, opts);
    TIFFOpenOptionsFree(opts);
    return tif;
}

// ---- Reading: a TIFF held whole in memory -----------------------------------

struct InFile {
    const unsigned char* data;
    uint64_t size;
    uint64_t pos;
};

tmsize_t inRead(thandle_t h, void* buf, tmsize_t n) {
    auto* f = static_cast<InFile*>(h);
    if (n <= 0 || f->pos >= f->size) return 0;
    const uint64_t take = f->size - f->pos < uint64_t(n) ? f->size - f->pos : uint64_t(n);
    std::memcpy(buf, f->data + f->pos, size_t(take));
    f->pos += take;
    return tmsize_t(take);
}

tmsize_t noWrite(thandle_t, void*, tmsize_t) {
    return -1;
}

toff_t seekTo(uint64_t* pos, uint64_t end, toff_t off, int whence) {
    uint64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? *pos : end;
    const int64_t delta = int64_t(off);
    if (delta < 0 && uint64_t(-delta) > base) return toff_t(-1);
    *pos = base + uint64_t(delta);
    return *pos;
}

toff_t inSeek(thandle_t h, toff_t off, int whence) {
    auto* f = static_cast<InFile*>(h);
    return seekTo(&f->pos, f->size, off, whence);
}

int noClose(thandle_t) {
    return 0;
}
toff_t inSize(thandle_t h) {
    return static_cast<InFile*>(h)->size;
}

int inMap(thandle_t h, void** base, toff_t* size) {
    auto* f = static_cast<InFile*>(h);
    *base = const_cast<unsigned char*>(f->data);
    *size = f->size;
    return 1;
}

void noUnmap(thandle_t, void*, toff_t) {}

// Little-endian TIFF around a single Group 4 strip: header, one directory of
// nine entries, then the strip.
constexpr int kDirEntries = 9;
constexpr uint32_t kStripOffset = 8 + 2 + kDirEntries * 12 + 4;

void put16(unsigned char* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
void put32(unsigned char* p, uint32_t v) {
    put16(p, v);
    put16(p + 2, v >> 16);
}

void buildWrapper(unsigned char* out, uint32_t pels, uint32_t lines, uint32_t codedBytes) {
    std::memcpy(out, "II*\0", 4);
    put32(out + 4, 8);
    unsigned char* d = out + 8;
    put16(d, kDirEntries);
    d += 2;
    struct Entry {
        uint16_t tag, type;
        uint32_t value;
    };
    const Entry entries[kDirEntries] = {
        {TIFFTAG_IMAGEWIDTH, TIFF_LONG, pels},
        {TIFFTAG_IMAGELENGTH, TIFF_LONG, lines},
        {TIFFTAG_BITSPERSAMPLE, TIFF_SHORT, 1},
        {TIFFTAG_COMPRESSION, TIFF_SHORT, COMPRESSION_CCITTFAX4},
        {TIFFTAG_PHOTOMETRIC, TIFF_SHORT, PHOTOMETRIC_MINISWHITE},
        {TIFFTAG_STRIPOFFSETS, TIFF_LONG, kStripOffset},
        {TIFFTAG_SAMPLESPERPIXEL, TIFF_SHORT, 1},
        {TIFFTAG_ROWSPERSTRIP, TIFF_LONG, lines},
        {TIFFTAG_STRIPBYTECOUNTS, TIFF_LONG, codedBytes},
    };
    for (const Entry& e : entries) {
        put16(d, e.tag);
        put16(d + 2, e.type);
        put32(d + 4, 1);
        if (e.type == TIFF_SHORT) {
            put16(d + 8, e.value);
            put16(d + 10, 0);
        } else {
            put32(d + 8, e.value);
        }
        d += 12;
    }
    put32(d, 0);  // no further directory
}

// ---- Writing: header bytes apart, the strip into the caller's buffer --------

// Bytes that grow as they are written. A large block grows by realloc,
// which moves it by remapping its pages, and the room not yet written is
// never touched, so a strip takes about its own size in memory.
struct Grown {
    unsigned char* data = nullptr;
    size_t room = 0;

    Grown() = default;
    Grown(const Grown&) = delete;
    Grown& operator=(const Grown&) = delete;
    ~Grown() { std::free(data); }
    // Room for at least n bytes, doubling; false when there is no memory.
    bool reserve(size_t n) {
        if (n <= room) return true;
        const size_t want = std::max(n, 2 * room);
        auto* p = static_cast<unsigned char*>(std::realloc(data, want));
        if (!p) return false;
        data = p, room = want;
        return true;
    }
    void release() {
        std::free(data);
        data = nullptr, room = 0;
    }
};

struct OutFile {
    unsigned char head[8];  // the TIFF header libtiff writes first
    unsigned char* strip;   // file offsets from 8 on
    uint64_t capacity;
    struct Grown* grown = nullptr;  // set: the strip goes here, growing, instead
    uint64_t pos = 0;
    uint64_t end = 0;
    bool full = false;    // a write went past the capacity
    bool noMemory = false;  // the growing strip could not grow
    bool sealed = false;  // the strip is taken; later writes (the directory) are dropped
};

tmsize_t outWrite(thandle_t h, void* buf, tmsize_t n) {
    auto* f = static_cast<OutFile*>(h);
    if (n < 0) return -1;
    if (f->sealed) return n;
    const uint64_t from = f->pos, to = f->pos + uint64_t(n);
    unsigned char* strip = f->strip;
    if (f->grown) {
        if (to > 8 && !f->grown->reserve(size_t(to - 8))) {
            f->noMemory = true;
            return -1;
        }
        strip = f->grown->data;
    } else if (to > 8 + f->capacity) {
        f->full = true;
        return -1;
    }
    const auto* src = static_cast<const unsigned char*>(buf);
    for (uint64_t at = from; at < to && at < 8; ++at) f->head[at] = src[at - from];
    if (to > 8) {
        const uint64_t start = from < 8 ? 8 : from;
        std::memcpy(strip + (start - 8), src + (start - from), size_t(to - start));
    }
    f->pos = to;
    if (to > f->end) f->end = to;
    return n;
}

tmsize_t noRead(thandle_t, void*, tmsize_t) {
    return 0;
}

toff_t outSeek(thandle_t h, toff_t off, int whence) {
    auto* f = static_cast<OutFile*>(h);
    return seekTo(&f->pos, f->end, off, whence);
}

toff_t outSize(thandle_t h) {
    return static_cast<OutFile*>(h)->end;
}
int noMap(thandle_t, void**, toff_t*) {
    return 0;
}

// Output buffered by libtiff between flushes to the strip.
constexpr tmsize_t kWriteBuffer = 256 * 1024;

// Codes the rows [y, y + lines) of the bilevel plane, pels wide from bit x, as
// one Group 4 strip (closed by its end-of-block code) into out, and gives its
// byte count. GFX_ST_OK or a GFX_ST_* code.
int32_t codeStrip(const pixo::Plane& in, int32_t x, int32_t y, int32_t pels, int32_t lines,
                  OutFile* out, uint64_t* length) {
    pixo::Scratch line;
    if (x % 8 && !line.reserve((size_t(pels) + 7) / 8)) return GFX_ST_NOMEM;
    Complaints complaints;
    TIFF* tif = openQuiet("w", out, &complaints, noRead, outWrite, outSeek, noClose, outSize, noMap,
                          noUnmap);
    if (!tif) return out->full ? GFX_ST_BUFFER_FULL : GFX_ST_NOMEM;

    bool ok = TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(pels)) &&
              TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(lines)) &&
              TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1) &&
              TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1) &&
              TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4) &&
              TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE) &&
              TIFFSetField(tif, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB) &&
              TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
              TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, uint32_t(lines)) &&
              TIFFWriteBufferSetup(tif, nullptr, kWriteBuffer);
    for (int32_t r = 0; ok && r < lines; ++r) {
        const unsigned char* row = in.row(y + r) + x / 8;
        if (x % 8) {
            pixo::loadBits(in.row(y + r), x, pels, line.as());
            row = line.as();
        }
        // libtiff's scanline writer takes a mutable row but leaves 1-bit rows as they are.
        ok = TIFFWriteScanline(tif, const_cast<unsigned char*>(row), uint32_t(r), 0) >= 0;
    }
    ok = ok && TIFFFlushData(tif);
    const uint64_t offset = ok ? TIFFGetStrileOffset(tif, 0) : 0;
    const uint64_t count = ok ? TIFFGetStrileByteCount(tif, 0) : 0;
    out->sealed = true;
    TIFFClose(tif);
    if (out->full) return GFX_ST_BUFFER_FULL;
    if (out->noMemory) return GFX_ST_NOMEM;
    if (!ok || offset != 8 || (!out->grown && count > out->capacity)) return GFX_ST_CODING;
    *length = count;
    return GFX_ST_OK;
}

// ---- Coding in bands ---------------------------------------------------------
//
// Group 4 codes each line against the line above it as it stands in the
// picture, so a band of lines codes to the same bits whether or not the lines
// before it are coded too. A band other than the first is coded together with
// the line above it, whose bits (that line coded alone against white) are then
// dropped; the strip's end-of-block code (two EOL codes, 24 bits ending in a 1)
// is dropped from every band but the last.

struct Band {
    int32_t first = 0, end = 0;  // its lines
    Grown coded, above;
    uint64_t codedBytes = 0, aboveBytes = 0;
    int32_t rc = GFX_ST_OK;
};

void codeBand(const pixo::Plane* in, int32_t x, int32_t y, int32_t pels, Band* b) {
    const int32_t from = b->first == 0 ? 0 : b->first - 1;
    OutFile whole{};
    whole.grown = &b->coded;
    b->rc = codeStrip(*in, x, y + from, pels, b->end - from, &whole, &b->codedBytes);
    if (b->rc == GFX_ST_OK && b->first > 0) {
        OutFile one{};
        one.grown = &b->above;
        b->rc = codeStrip(*in, x, y + from, pels, 1, &one, &b->aboveBytes);
    }
}

// Bits of a strip up to the end of its end-of-block code.
uint64_t bitsThroughEnd(const Grown& strip, uint64_t bytes) {
    while (bytes > 0 && strip.data[bytes - 1] == 0) --bytes;
    if (bytes == 0) return 0;
    return bytes * 8 - uint64_t(__builtin_ctz(strip.data[bytes - 1]));
}

constexpr uint64_t kEndOfBlockBits = 24;

// Appends bits [from, to) of src to out at bit *at. The bits of out's current
// byte past *at are 0, and stay so.
void appendBits(unsigned char* out, uint64_t* at, const unsigned char* src, uint64_t from,
                uint64_t to) {
    auto putBit = [&](unsigned v) {
        const uint64_t k = *at / 8;
        const unsigned shift = 7 - unsigned(*at % 8);
        if (shift == 7) out[k] = 0;
        out[k] = uint8_t(out[k] | (v << shift));
        ++*at;
    };
    for (; from < to && from % 8; ++from) putBit((src[from / 8] >> (7 - from % 8)) & 1);
    const uint64_t whole = (to - from) / 8;
    const unsigned char* p = src + from / 8;
    unsigned char* d = out + *at / 8;
    const unsigned s = unsigned(*at % 8);
    if (s == 0) {
        std::memcpy(d, p, size_t(whole));
    } else {
        for (uint64_t i = 0; i < whole; ++i) {
            d[i] = uint8_t(d[i] | (p[i] >> s));
            d[i + 1] = uint8_t(p[i] << (8 - s));
        }
    }
    *at += whole * 8;
    for (from += whole * 8; from < to; ++from) putBit((src[from / 8] >> (7 - from % 8)) & 1);
}

// Pictures this large are worth the threads, in bands of at least this many lines.
constexpr uint64_t kBandedPels = uint64_t(1) << 21;
constexpr int32_t kMinBandLines = 64;

unsigned bandCount(int32_t pels, int32_t lines) {
    if (uint64_t(pels) * uint64_t(lines) < kBandedPels) return 1;
    const unsigned cores = std::min(std::thread::hardware_concurrency(), 8u);
    return std::max(1u, std::min(cores, unsigned(lines / kMinBandLines)));
}

// Codes the rectangle in n bands, one a thread, into coded (capacity bytes).
int32_t codeInBands(const pixo::Plane& in, int32_t x, int32_t y, int32_t pels, int32_t lines,
                    unsigned n, unsigned char* coded, uint64_t capacity, uint64_t* length) {
    std::vector<Band> bands(n);
    for (unsigned k = 0; k < n; ++k) {
        bands[k].first = int32_t(uint64_t(lines) * k / n);
        bands[k].end = int32_t(uint64_t(lines) * (k + 1) / n);
    }
    std::vector<std::thread> workers;
    unsigned started = 1;
    try {
        for (; started < n; ++started)
            workers.emplace_back(codeBand, &in, x, y, pels, &bands[started]);
    } catch (...) {
        // No more threads: the bands left are coded here.
    }
    codeBand(&in, x, y, pels, &bands[0]);
    for (unsigned k = started; k < n; ++k) codeBand(&in, x, y, pels, &bands[k]);
    for (std::thread& t : workers) t.join();

    uint64_t total = 0;
    std::vector<uint64_t> from(n), to(n);
    for (unsigned k = 0; k < n; ++k) {
        const Band& b = bands[k];
        if (b.rc != GFX_ST_OK) return b.rc;
        const uint64_t end = bitsThroughEnd(b.coded, b.codedBytes);
        const uint64_t above = k == 0 ? 0 : bitsThroughEnd(b.above, b.aboveBytes);
        if (end < kEndOfBlockBits || (k > 0 && above < kEndOfBlockBits)) return GFX_ST_CODING;
        from[k] = k == 0 ? 0 : above - kEndOfBlockBits;
        to[k] = k + 1 == n ? end : end - kEndOfBlockBits;
        if (to[k] < from[k]) return GFX_ST_CODING;
        total += to[k] - from[k];
    }
    const uint64_t bytes = (total + 7) / 8;
    if (bytes > capacity) return GFX_ST_BUFFER_FULL;
    // Each band's bits are let go once joined, so that the job holds the
    // coded picture about once.
    uint64_t at = 0;
    for (unsigned k = 0; k < n; ++k) {
        appendBits(coded, &at, bands[k].coded.data, from[k], to[k]);
        bands[k].coded.release();
        bands[k].above.release();
    }
    *length = bytes;
    return GFX_ST_OK;
}

}  // namespace

extern "C" PIXO_API int32_t GfxDecd(const RsImage* coded, int32_t codedBytes, RsImage* dst,
                                    int32_t x, int32_t y, int32_t pelsPerLine, int32_t lines,
                                    int32_t* status) {
    if (!coded || !coded->data || !dst) return fail(status, GFX_ST_NULL);
    if (coded->format != KRO_FORMAT_G4 || codedBytes < 1 || codedBytes > coded->size)
        return fail(status, GFX_ST_IMAGE);
    pixo::Plane out;
    if (int32_t rc = pixo::checkImage(dst, &out)) return fail(status, rc);
    if (out.depth != 1) return fail(status, GFX_ST_IMAGE);
    if (!pixo::rectInside(out, x, y, pelsPerLine, lines)) return fail(status, GFX_ST_RECT);
    // Every coded line takes at least one bit, so a stream this short is cut.
    if (uint64_t(lines) > uint64_t(codedBytes) * 8) return fail(status, GFX_ST_CODING);

    pixo::Scratch file, line;
    const uint64_t fileBytes = kStripOffset + uint64_t(codedBytes);
    const size_t lineBytes = (size_t(pelsPerLine) + 7) / 8;
    if (!file.reserve(fileBytes) || !line.reserve(lineBytes + 8)) return fail(status, GFX_ST_NOMEM);
    buildWrapper(file.as(), uint32_t(pelsPerLine), uint32_t(lines), uint32_t(codedBytes));
    std::memcpy(file.as() + kStripOffset, coded->data, size_t(codedBytes));

    InFile in{file.as(), fileBytes, 0};
    Complaints complaints;
    TIFF* tif =
        openQuiet("r", &in, &complaints, inRead, noWrite, inSeek, noClose, inSize, inMap, noUnmap);
    if (!tif) return fail(status, complaints.raised ? GFX_ST_CODING : GFX_ST_NOMEM);
    complaints.raised = false;

    // Line by line: libtiff's strip decoder accepts a stream that stops after
    // any whole line, while a line read alone must be complete.
    int32_t rc = GFX_ST_OK;
    for (int32_t r = 0; r < lines; ++r) {
        if (TIFFReadScanline(tif, line.as(), uint32_t(r), 0) < 0 || complaints.raised) {
            rc = GFX_ST_CODING;
            break;
        }
        pixo::storeBits(line.as(), out.row(y + r), x, pelsPerLine);
    }
    TIFFClose(tif);
    if (rc) return fail(status, rc);
    dst->validWidth = x + pelsPerLine;
    dst->validHeight = y + lines;
    return pixo::done(status);
}

extern "C" PIXO_API int32_t GfxEncd(const RsImage* src, int32_t x, int32_t y, int32_t pelsPerLine,
                                    int32_t lines, RsImage* coded, int32_t scheme,
                                    int32_t* status) {
    if (!src || !coded || !coded->data) return fail(status, GFX_ST_NULL);
    if (scheme != GFX_CODING_G4) return fail(status, GFX_ST_ARGUMENT);
    pixo::Plane in;
    if (int32_t rc = pixo::checkImage(src, &in)) return fail(status, rc);
    if (in.depth != 1 || coded->format != KRO_FORMAT_G4 || coded->size < 0)
        return fail(status, GFX_ST_IMAGE);
    if (!pixo::rectInside(in, x, y, pelsPerLine, lines)) return fail(status, GFX_ST_RECT);
    const unsigned char* codedEnd = coded->data + coded->size;
    if (coded->data < in.row(in.height) && in.data < codedEnd) return fail(status, GFX_ST_ARGUMENT);

    uint64_t length = 0;
    int32_t rc;
    if (const unsigned bands = bandCount(pelsPerLine, lines); bands > 1) {
        rc = codeInBands(in, x, y, pelsPerLine, lines, bands, coded->data, uint64_t(coded->size),
                         &length);
    } else {
        OutFile out{};
        out.strip = coded->data;
        out.capacity = uint64_t(coded->size);
        rc = codeStrip(in, x, y, pelsPerLine, lines, &out, &length);
    }
    if (rc != GFX_ST_OK) return fail(status, rc);
    coded->codedLength = int32_t(length);
    return pixo::done(status);
}
