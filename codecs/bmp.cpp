// BMP files: uncompressed 1-, 8- and 24-bit Windows bitmaps, read with an
// info header of 40 bytes or more (either byte order) and written with a
// 40-byte one (little-endian).
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

#ifndef _WIN32
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "codecs/bands.h"
#include "codecs/bmp.h"
#include "core/image.h"
#include "core/palette.h"
#include "core/pixels.h"

namespace {

constexpr uint16_t kMagicMB = 0x424D;  // "MB" read little-endian
constexpr int kHeaderBytes = 54;
constexpr uint32_t kFileHeaderBytes = 14;
constexpr uint32_t kInfoBytes = 40;  // the fields below; later versions add more after them

// The file header and the info header, field by field in file order.
struct BmpHeader {
    uint16_t magic;
    uint32_t fileSize;
    uint16_t reserved1;
    uint16_t reserved2;
    uint32_t pixelOffset;
    uint32_t infoSize;
    int32_t width;
    int32_t height;
    uint16_t planes;
    uint16_t bitsPerPixel;
    uint32_t compression;
    uint32_t imageBytes;
    int32_t xPixelsPerMetre;
    int32_t yPixelsPerMetre;
    uint32_t coloursUsed;
    uint32_t coloursImportant;
};

// Reads one field of n bytes. Only a read that yields no byte fails; a field
// cut short by the end of the file keeps zeros in its missing bytes.
bool readField(FILE* f, unsigned char* buf, size_t n) {
    std::memset(buf, 0, n);
    return std::fread(buf, 1, n, f) > 0;
}

bool read16(FILE* f, uint16_t* v) {
    unsigned char b[2];
    if (!readField(f, b, 2)) return false;
    *v = kro::get16le(b);
    return true;
}

template <typename T>
bool read32(FILE* f, T* v) {
    unsigned char b[4];
    if (!readField(f, b, 4)) return false;
    *v = T(kro::get32le(b));
    return true;
}

bool readHeader(FILE* f, BmpHeader* h) {
    return read16(f, &h->magic) && read32(f, &h->fileSize) && read16(f, &h->reserved1) &&
           read16(f, &h->reserved2) && read32(f, &h->pixelOffset) && read32(f, &h->infoSize) &&
           read32(f, &h->width) && read32(f, &h->height) && read16(f, &h->planes) &&
           read16(f, &h->bitsPerPixel) && read32(f, &h->compression) &&
           read32(f, &h->imageBytes) && read32(f, &h->xPixelsPerMetre) &&
           read32(f, &h->yPixelsPerMetre) && read32(f, &h->coloursUsed) &&
           read32(f, &h->coloursImportant);
}

void swapFields(BmpHeader* h) {
    KroSwabLong(&h->fileSize);
    KroSwabShort(&h->reserved1);
    KroSwabShort(&h->reserved2);
    KroSwabLong(&h->pixelOffset);
    KroSwabLong(&h->infoSize);
    KroSwabLong(&h->width);
    KroSwabLong(&h->height);
    KroSwabShort(&h->planes);
    KroSwabShort(&h->bitsPerPixel);
    KroSwabLong(&h->compression);
    KroSwabLong(&h->imageBytes);
    KroSwabLong(&h->xPixelsPerMetre);
    KroSwabLong(&h->yPixelsPerMetre);
    KroSwabLong(&h->coloursUsed);
    KroSwabLong(&h->coloursImportant);
}

void encodeHeader(const BmpHeader& h, unsigned char out[kHeaderBytes]) {
    unsigned char* p = out;
    kro::put16le(p, h.magic), p += 2;
    kro::put32le(p, h.fileSize), p += 4;
    kro::put16le(p, h.reserved1), p += 2;
    kro::put16le(p, h.reserved2), p += 2;
    kro::put32le(p, h.pixelOffset), p += 4;
    kro::put32le(p, h.infoSize), p += 4;
    kro::put32le(p, uint32_t(h.width)), p += 4;
    kro::put32le(p, uint32_t(h.height)), p += 4;
    kro::put16le(p, h.planes), p += 2;
    kro::put16le(p, h.bitsPerPixel), p += 2;
    kro::put32le(p, h.compression), p += 4;
    kro::put32le(p, h.imageBytes), p += 4;
    kro::put32le(p, uint32_t(h.xPixelsPerMetre)), p += 4;
    kro::put32le(p, uint32_t(h.yPixelsPerMetre)), p += 4;
    kro::put32le(p, h.coloursUsed), p += 4;
    kro::put32le(p, h.coloursImportant);
}

// Bytes of one file row: the pixels padded to a multiple of 4.
uint64_t fileStride(int64_t width, int32_t bits) { return uint64_t((width * bits + 31) / 32) * 4; }


// The standard value for dpi; false when it does not fit the 32-bit field.
bool pixelsPerMetreFromDpi(int32_t dpi, int32_t* ppm) {
    const double v = std::round(double(dpi) / 0.0254);
    if (v > double(INT32_MAX) || v < double(INT32_MIN)) return false;
    *ppm = int32_t(v);
    return true;
}

// Rows per read or write: about 256 KiB at a time, at least one row. A small
// picture goes in eighths (down to 32 KiB), so that its batch does not add
// half again to the memory of a job that holds only the picture.
int32_t rowsPerBatch(uint64_t stride, int32_t height) {
    const uint64_t eighth = stride * uint64_t(std::max(height, 0)) / 8;
    const uint64_t budget = std::min<uint64_t>(256u << 10, std::max<uint64_t>(32u << 10, eighth));
    uint64_t rows = budget / (stride ? stride : 1);
    if (rows < 1) rows = 1;
    return rows > uint64_t(height) ? height : int32_t(rows);
}

// The colour table straight after the info header, into the palette; the
// count of entries read. A table longer than the palette is read only as far
// as the palette holds.
int32_t readColourTable(FILE* stream, const BmpHeader& h, unsigned char* palette,
                        int32_t* colours) {
    if (h.infoSize != kInfoBytes &&
        std::fseek(stream, long(kFileHeaderBytes + h.infoSize), SEEK_SET) != 0)
        return KRO_ERR_IO;
    std::memset(palette, 0, KRO_PALETTE_SIZE);
    const uint64_t count = h.coloursUsed ? h.coloursUsed : (1u << h.bitsPerPixel);
    *colours = int32_t(count > 256 ? 256 : count);
    unsigned char entry[4];
    for (int32_t i = 0; i < *colours; ++i) {
        if (std::fread(entry, 1, 4, stream) != 4) return KRO_ERR_IO;
        kro::setEntry(kro::Palette(palette), i, entry[2], entry[1], entry[0]);
    }
    return 0;
}

// One file row into a record row.
inline void storeRow(const BmpHeader& h, size_t recordRow, const unsigned char* row,
                     unsigned char* dst) {
    if (h.bitsPerPixel == 24) {
        kro::swapRB24(dst, row, size_t(h.width));
    } else {
        std::memcpy(dst, row, recordRow);
        if (h.bitsPerPixel == 1 && h.width % 8)  // the pad bits past the width read as ones
            dst[size_t(h.width - 1) / 8] |= uint8_t(0xFF >> (h.width % 8));
    }
}

#ifndef _WIN32
// Reads the rows straight from mappings of the file, a part at a time,
// which spares copying them into a batch first; false when the file cannot
// be mapped or does not hold every row whole (the batch reader below then
// does the work).
bool readMappedRows(FILE* stream, const BmpHeader& h, int32_t width, unsigned char* pixels) {
    struct stat st;
    const int fd = fileno(stream);
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    const uint64_t stride = fileStride(h.width, h.bitsPerPixel);
    const uint64_t end = uint64_t(h.pixelOffset) + stride * uint64_t(h.height);
    if (uint64_t(st.st_size) < end || end > uint64_t(LONG_MAX)) return false;
    const uint64_t page = uint64_t(::sysconf(_SC_PAGESIZE));
    // Mapped pages count in the job's memory: an eighth of the rows at a
    // time, from 256 KiB to 4 MiB.
    const uint64_t chunk =
        std::clamp<uint64_t>(stride * uint64_t(h.height) / 8, 256u << 10, 4u << 20);
    const int32_t chunkRows = int32_t(std::min<uint64_t>(
        uint64_t(h.height), std::max<uint64_t>(1, chunk / stride)));
    const size_t recordRow = size_t(kro::rowBytes(width, h.bitsPerPixel));
    for (int32_t first = 0; first < h.height; first += chunkRows) {  // file rows, bottom-up
        const int32_t rows = std::min(chunkRows, h.height - first);
        const uint64_t from = h.pixelOffset + uint64_t(first) * stride;
        const uint64_t base = from / page * page, length = from - base + uint64_t(rows) * stride;
        void* map = ::mmap(nullptr, size_t(length), PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd,
                           off_t(base));
        if (map == MAP_FAILED) return false;  // the stream has not moved: the batches start over
        const unsigned char* data = static_cast<const unsigned char*>(map) + (from - base);
        for (int32_t j = 0; j < rows; ++j)
            storeRow(h, recordRow, data + size_t(j) * size_t(stride),
                     pixels + size_t(h.height - 1 - (first + j)) * recordRow);
        ::munmap(map, size_t(length));
    }
    // The stream stands after the rows, as a reader that read them leaves it.
    return std::fseek(stream, long(end), SEEK_SET) == 0;
}
#endif

// Reads the file's rows, bottom-up, a batch at a time into the top-down
// record rows of pixels. A row the file ends inside reads as zeros past its
// end; a row of which nothing is left fails.
int32_t readRows(FILE* stream, const BmpHeader& h, int32_t width, unsigned char* pixels) {
    const int32_t bits = h.bitsPerPixel, height = h.height;
    const uint64_t stride = fileStride(h.width, bits);
    const int32_t batchRows = rowsPerBatch(stride, height);
    kro::Buffer batch(kro::allocBytes(stride * uint64_t(batchRows)));
    if (!batch) return KRO_ERR_NOMEM;
    const size_t recordRow = size_t(kro::rowBytes(width, bits));
    for (int32_t first = 0; first < height; first += batchRows) {
        const int32_t rows = std::min(batchRows, height - first);
        const size_t want = size_t(stride) * size_t(rows);
        const size_t got = std::fread(batch.get(), 1, want, stream);
        if (got < want) {
            const size_t whole = got / size_t(stride), rest = got % size_t(stride);
            const size_t rowsTouched = whole + (rest ? 1 : 0);
            if (rowsTouched < size_t(rows)) return KRO_ERR_IO;
            std::memset(batch.get() + got, 0, want - got);
        }
        for (int32_t j = 0; j < rows; ++j)
            storeRow(h, recordRow, batch.get() + size_t(j) * size_t(stride),
                     pixels + size_t(height - 1 - (first + j)) * recordRow);
    }
    return 0;
}

// Reads and checks the headers; 0, or the code the reader gives.
int32_t parseHeader(FILE* stream, BmpHeader* hp) {
    BmpHeader& h = *hp;
    if (!readHeader(stream, &h)) return KRO_ERR_IO;
    if (h.magic == kMagicMB) {
        swapFields(&h);
    } else {
        KroSwabShort(&h.magic);
        if (h.magic != kMagicMB) return KRO_ERR_BMP_HEADER;
    }
    // An info header shorter than 40 bytes (OS/2 bitmaps) lays its fields out
    // otherwise; one that runs into the pixel data is not an info header.
    if (h.reserved1 != 0 || h.reserved2 != 0 || h.infoSize < kInfoBytes ||
        uint64_t(kFileHeaderBytes) + h.infoSize > h.pixelOffset || h.planes != 1)
        return KRO_ERR_BMP_HEADER;
    if (!kro::sideInRange(h.width) || !kro::sideInRange(h.height)) return KRO_ERR_SIZE;
    const int32_t bits = h.bitsPerPixel;
    if (bits != 1 && bits != 8 && bits != 24) return KRO_ERR_DEPTH;
    if (h.compression != 0) return KRO_ERR_BMP_COMPRESSION;
    return 0;
}

int32_t readBmp(FILE* stream, RsImage* image, int32_t* photometric, int32_t resolution[2],
                unsigned char palette[768]) {
    if (!stream || !image || !photometric || !resolution || !palette) return KRO_ERR_NULL;

    BmpHeader h{};
    if (int32_t code = parseHeader(stream, &h)) return code;
    const int32_t bits = h.bitsPerPixel;

    int32_t colours = 0;
    if (bits != 24)
        if (int32_t code = readColourTable(stream, h, palette, &colours)) return code;

    const int32_t width = bits == 1 ? (h.width + 7) & ~7 : h.width;
    const int32_t height = h.height;
    const uint64_t bytes = kro::pixelBytes(width, height, bits);
    if (bytes > uint64_t(INT32_MAX)) return KRO_ERR_SIZE;
    const uint64_t stride = fileStride(h.width, bits);

    // A file that cannot hold the first byte of its last row would fail while
    // reading anyway; refuse it before allocating for it.
    const int64_t length = kro::streamLength(stream);
    if (length >= 0 && uint64_t(length) < h.pixelOffset + (uint64_t(height) - 1) * stride + 1)
        return KRO_ERR_IO;

    kro::Buffer pixels(kro::allocPixels(bytes));
    if (!pixels) return KRO_ERR_NOMEM;
    if (std::fseek(stream, long(h.pixelOffset), SEEK_SET) != 0) return KRO_ERR_IO;
#ifndef _WIN32
    if (!readMappedRows(stream, h, width, pixels.get()))
#endif
        if (int32_t code = readRows(stream, h, width, pixels.get())) return code;

    kro::handOverPicture(image, width, height, bits, bytes,
                         pixels.release(), h.width, h.height);
    resolution[0] = kro::dpiFromPixelsPerMetre(h.xPixelsPerMetre);
    resolution[1] = kro::dpiFromPixelsPerMetre(h.yPixelsPerMetre);
    *photometric = kro::photometricFromPalette(bits, palette, colours);
    return 0;
}

// The headers of a file of width x height pixels of depth bits with a table
// of colours entries; KRO_ERR_SIZE when the file would pass 4 GiB,
// KRO_ERR_RESOLUTION when dpi does not fit the field.
int32_t makeHeader(int32_t width, int32_t height, int32_t depth, uint32_t colours, int32_t dpi,
                   BmpHeader* hp) {
    const uint64_t imageBytes = uint64_t(height) * fileStride(width, depth);
    const uint64_t tableBytes = 4ull * colours;
    if (imageBytes + kHeaderBytes + tableBytes > UINT32_MAX) return KRO_ERR_SIZE;
    BmpHeader& h = *hp;
    h = BmpHeader{};
    h.magic = 0x4D42;  // "BM"
    h.fileSize = uint32_t(kHeaderBytes + tableBytes + imageBytes);
    h.pixelOffset = uint32_t(kHeaderBytes + tableBytes);
    h.infoSize = 40;
    h.width = width;
    h.height = height;
    h.planes = 1;
    h.bitsPerPixel = uint16_t(depth);
    h.imageBytes = uint32_t(imageBytes);
    if (!pixelsPerMetreFromDpi(dpi, &h.xPixelsPerMetre)) return KRO_ERR_RESOLUTION;
    h.yPixelsPerMetre = h.xPixelsPerMetre;
    h.coloursUsed = h.coloursImportant = colours;
    return 0;
}

// Writes the headers and the colour table (h.coloursUsed entries of table)
// in one write; false when the write fails.
bool putHead(FILE* stream, const BmpHeader& h, kro::ConstPalette table) {
    unsigned char head[kHeaderBytes + 4 * 256];
    encodeHeader(h, head);
    for (uint32_t i = 0; i < h.coloursUsed; ++i) {
        unsigned char* e = head + kHeaderBytes + 4 * i;
        e[0] = table.blue[i];
        e[1] = table.green[i];
        e[2] = table.red[i];
        e[3] = 0;
    }
    return std::fwrite(head, 1, h.pixelOffset, stream) == h.pixelOffset;
}

int32_t writeBmp(FILE* stream, const RsImage* image, int32_t options, int32_t dpi,
                 int32_t photometric, unsigned char palette[768]) {
    if (!stream || !palette) return KRO_ERR_NULL;
    if (int32_t code = kro::rawImageProblem(image)) return code;
    const int32_t depth = image->depth;
    if (options != 0) return KRO_ERR_BMP_OPTIONS;
    if (photometric < 0 || photometric > 3) return KRO_ERR_PHOTOMETRIC;

    uint32_t colours = 256;
    const kro::Palette planes(palette);
    if (depth == 1) {
        std::memset(palette, 0, KRO_PALETTE_SIZE);
        kro::setEntry(planes, 0, 255, 255, 255);
        colours = 2;
    } else if (photometric == KRO_PHOTO_WHITE_IS_ZERO || photometric == KRO_PHOTO_BLACK_IS_ZERO) {
        kro::fillGrayRamp(planes, photometric == KRO_PHOTO_WHITE_IS_ZERO);
    } else if (photometric == KRO_PHOTO_RGB) {
        colours = 0;
    }

    // The file's width is the picture's own width.
    const int32_t fileWidth = kro::shownWidth(*image);
    const uint64_t stride = fileStride(fileWidth, depth);
    BmpHeader h{};
    if (int32_t code = makeHeader(fileWidth, image->height, depth, colours, dpi, &h)) return code;

    if (!putHead(stream, h, planes)) return KRO_ERR_IO;

    const int32_t batchRows = rowsPerBatch(stride, image->height);
    kro::Buffer batch(kro::allocZeroed(stride * uint64_t(batchRows)));
    if (!batch) return KRO_ERR_NOMEM;
    const size_t recordRow = size_t(kro::rowBytes(image->width, depth));
    const size_t pictureBytes =
        depth == 1 ? size_t(fileWidth + 7) / 8 : size_t(fileWidth) * size_t(depth / 8);
    // File rows run bottom-up; the padding after each row stays zero.
    for (int32_t done = 0; done < image->height; done += batchRows) {
        const int32_t rows = std::min(batchRows, image->height - done);
        for (int32_t j = 0; j < rows; ++j) {
            const unsigned char* src = image->data + size_t(image->height - 1 - (done + j)) * recordRow;
            unsigned char* row = batch.get() + size_t(j) * size_t(stride);
            if (depth == 24)
                kro::swapRB24(row, src, size_t(fileWidth));
            else
                std::memcpy(row, src, pictureBytes);
        }
        const size_t bytes = size_t(stride) * size_t(rows);
        if (std::fwrite(batch.get(), 1, bytes, stream) != bytes) return KRO_ERR_IO;
    }
    return 0;
}

// A file's rows handed over top row first, which means from the end of the
// file backwards, a band's rows at a time.
class BandReader final : public kro::bands::Reader {
public:
    BandReader(FILE* stream, const BmpHeader& h) : stream_(stream), h_(h) {}

    int32_t rows(unsigned char* dst, int32_t count) override {
        const uint64_t stride = fileStride(h_.width, h_.bitsPerPixel);
        const int32_t first = h_.height - done_ - count;  // the band's lowest file row
        const size_t length = size_t(stride) * size_t(count);
        if (batch_.size() < length) batch_.resize(length);
        if (std::fseek(stream_, long(h_.pixelOffset + uint64_t(first) * stride), SEEK_SET) != 0 ||
            std::fread(batch_.data(), 1, length, stream_) != length)
            return KRO_ERR_IO;
        const size_t row = size_t(h_.width) * size_t(h_.bitsPerPixel / 8);
        for (int32_t j = 0; j < count; ++j) {
            const unsigned char* src = batch_.data() + size_t(count - 1 - j) * size_t(stride);
            if (bgr_ || h_.bitsPerPixel == 8)
                std::memcpy(dst + size_t(j) * row, src, row);
            else
                kro::swapRB24(dst + size_t(j) * row, src, size_t(h_.width));
        }
        done_ += count;
        return 0;
    }

private:
    FILE* stream_;
    BmpHeader h_;
    int32_t done_ = 0;
    std::vector<unsigned char> batch_;
};

// Writes a file whose rows come top row first: each band goes to its place
// near the end of the file, so the stream must be able to seek.
class BandWriter final : public kro::bands::Writer {
public:
    BandWriter(FILE* stream, const BmpHeader& h, long start)
        : stream_(stream), h_(h), start_(start) {}

    size_t most(int32_t count) const override { return size_t(stride()) * size_t(count); }
    // The rows (blue, green, red) bottom row first, as the file holds them.
    size_t code(const unsigned char* src, int32_t, int32_t count,
                unsigned char* out) const override {
        const size_t stride = size_t(this->stride());
        const size_t row = size_t(h_.width) * size_t(h_.bitsPerPixel / 8);
        for (int32_t j = 0; j < count; ++j) {
            unsigned char* dst = out + size_t(count - 1 - j) * stride;
            std::memcpy(dst, src + size_t(j) * row, row);
            std::memset(dst + row, 0, stride - row);
        }
        return stride * size_t(count);
    }
    int32_t put(const unsigned char* coded, size_t n, int32_t first, int32_t count) override {
        const uint64_t at =
            uint64_t(start_) + h_.pixelOffset + uint64_t(h_.height - first - count) * stride();
        if (std::fseek(stream_, long(at), SEEK_SET) != 0 ||
            std::fwrite(coded, 1, n, stream_) != n)
            return KRO_ERR_IO;
        return 0;
    }
    int32_t finish() override {
        return std::fseek(stream_, start_ + long(h_.fileSize), SEEK_SET) == 0 ? 0 : KRO_ERR_IO;
    }
    bool takesBgr() const override { return true; }

private:
    uint64_t stride() const { return fileStride(h_.width, h_.bitsPerPixel); }

    FILE* stream_;
    BmpHeader h_;
    long start_;
};

}  // namespace

int32_t kro::bands::openBmpReader(FILE* stream, Shape* shape, std::unique_ptr<Reader>* reader) {
    BmpHeader h{};
    if (parseHeader(stream, &h) != 0 || (h.bitsPerPixel != 8 && h.bitsPerPixel != 24))
        return KRO_ERR_NOT_AS_IS;
    // Every row must be in the file: the whole-picture reader deals with one
    // that ends early, and refuses a picture of over 2 GiB.
    if (kro::pixelBytes(h.width, h.height, h.bitsPerPixel) > uint64_t(INT32_MAX))
        return KRO_ERR_NOT_AS_IS;
    const uint64_t end =
        uint64_t(h.pixelOffset) + fileStride(h.width, h.bitsPerPixel) * uint64_t(h.height);
    const int64_t length = kro::streamLength(stream);
    if (length < 0 || uint64_t(length) < end || end > uint64_t(LONG_MAX)) return KRO_ERR_NOT_AS_IS;
    shape->photometric = KRO_PHOTO_RGB;
    if (h.bitsPerPixel == 8) {
        int32_t colours = 0;
        if (readColourTable(stream, h, shape->palette, &colours) != 0) return KRO_ERR_NOT_AS_IS;
        shape->photometric = kro::photometricFromPalette(8, shape->palette, colours);
    }
    shape->width = h.width;
    shape->height = h.height;
    shape->depth = h.bitsPerPixel;
    shape->resolution[0] = kro::dpiFromPixelsPerMetre(h.xPixelsPerMetre);
    shape->resolution[1] = kro::dpiFromPixelsPerMetre(h.yPixelsPerMetre);
    *reader = std::make_unique<BandReader>(stream, h);
    return 0;
}

int32_t kro::bands::openBmpWriter(FILE* stream, const Shape& shape, int32_t dpi,
                                  std::unique_ptr<Writer>* writer) {
    BmpHeader h{};
    const long start = std::ftell(stream);
    if (start < 0 || std::fseek(stream, start, SEEK_SET) != 0) return KRO_ERR_NOT_AS_IS;
    const uint32_t colours = shape.depth == 8 ? 256 : 0;
    if (makeHeader(shape.width, shape.height, shape.depth, colours, dpi, &h) != 0)
        return KRO_ERR_NOT_AS_IS;
    if (uint64_t(start) + h.fileSize > uint64_t(LONG_MAX)) return KRO_ERR_NOT_AS_IS;
    // A gray picture's palette is its ramp.
    if (!putHead(stream, h, kro::ConstPalette(shape.palette))) return KRO_ERR_IO;
    *writer = std::make_unique<BandWriter>(stream, h, start);
    return 0;
}

// Two conventions meet here: the standard one (pixels per metre, dpi / 0.0254)
// and that of older writers of this library's files (dpi * 39). A value that the
// standard rule writes for a whole dpi reads as that dpi, so our own files read
// back as written (4134 is 105 dpi, though 106 x 39 too); any other multiple of
// 39 is taken to be the older kind (11700 is 300 dpi).
// A negative value states nothing (0), and the largest values read as the
// largest dpi the field can hold again, so whatever is read can be written back.
int32_t kro::dpiFromPixelsPerMetre(int32_t ppm) {
    constexpr int32_t kLargestDpi = 54546084;  // round(kLargestDpi / 0.0254) <= INT32_MAX
    if (ppm <= 0) return 0;
    const double standard = std::round(double(ppm) * 0.0254);
    int32_t dpi = int32_t(standard);
    if (std::round(standard / 0.0254) != double(ppm) && ppm % 39 == 0) dpi = ppm / 39;
    return std::min(dpi, kLargestDpi);
}

extern "C" KRO_API int32_t KroBMPToRsImage(FILE* stream, RsImage* image, int32_t* photometric,
                                           int32_t resolution[2], unsigned char palette[768]) {
    if (photometric) *photometric = 0;
    return kro::report(readBmp(stream, image, photometric, resolution, palette));
}

extern "C" KRO_API int32_t KroRsImageToBMP(FILE* stream, const RsImage* image, int32_t options,
                                           int32_t dpi, int32_t photometric,
                                           unsigned char palette[768]) {
    return kro::report(writeBmp(stream, image, options, dpi, photometric, palette));
}
