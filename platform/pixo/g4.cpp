// Group 4 coding through libtiff's CCITT codec over in-memory files: decoding
// wraps the coded bytes in a minimal TIFF, encoding lets libtiff write a TIFF
// whose strip lands straight in the caller's coded buffer.
#include <tiffio.h>

#include <cstdarg>

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

struct OutFile {
    unsigned char head[8];  // the TIFF header libtiff writes first
    unsigned char* strip;   // file offsets from 8 on
    uint64_t capacity;
    uint64_t pos = 0;
    uint64_t end = 0;
    bool full = false;    // a write went past the capacity
    bool sealed = false;  // the strip is taken; later writes (the directory) are dropped
};

tmsize_t outWrite(thandle_t h, void* buf, tmsize_t n) {
    auto* f = static_cast<OutFile*>(h);
    if (n < 0) return -1;
    if (f->sealed) return n;
    const uint64_t from = f->pos, to = f->pos + uint64_t(n);
    if (to > 8 + f->capacity) {
        f->full = true;
        return -1;
    }
    const auto* src = static_cast<const unsigned char*>(buf);
    for (uint64_t at = from; at < to && at < 8; ++at) f->head[at] = src[at - from];
    if (to > 8) {
        const uint64_t start = from < 8 ? 8 : from;
        std::memcpy(f->strip + (start - 8), src + (start - from), size_t(to - start));
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

    pixo::Scratch line;
    if (x % 8 && !line.reserve((size_t(pelsPerLine) + 7) / 8)) return fail(status, GFX_ST_NOMEM);

    OutFile out{};
    out.strip = coded->data;
    out.capacity = uint64_t(coded->size);
    Complaints complaints;
    TIFF* tif = openQuiet("w", &out, &complaints, noRead, outWrite, outSeek, noClose, outSize,
                          noMap, noUnmap);
    if (!tif) return fail(status, out.full ? GFX_ST_BUFFER_FULL : GFX_ST_NOMEM);

    bool ok = TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(pelsPerLine)) &&
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
            pixo::loadBits(in.row(y + r), x, pelsPerLine, line.as());
            row = line.as();
        }
        // libtiff's scanline writer takes a mutable row but leaves 1-bit rows as they are.
        ok = TIFFWriteScanline(tif, const_cast<unsigned char*>(row), uint32_t(r), 0) >= 0;
    }
    ok = ok && TIFFFlushData(tif);
    const uint64_t offset = ok ? TIFFGetStrileOffset(tif, 0) : 0;
    const uint64_t count = ok ? TIFFGetStrileByteCount(tif, 0) : 0;
    out.sealed = true;
    TIFFClose(tif);
    if (out.full) return fail(status, GFX_ST_BUFFER_FULL);
    if (!ok || offset != 8 || count > out.capacity) return fail(status, GFX_ST_CODING);
    coded->codedLength = int32_t(count);
    return pixo::done(status);
}
