// Pictures handed from a reader to a writer a band of rows at a time, for
// jobs that take a picture across as it stands: the whole picture is never
// held, so a job touches a few hundred kilobytes of memory however large
// the picture is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

namespace kro::bands {

// What a reader tells of its picture before the rows. The rows are
// width * depth / 8 bytes each, top row first: 24-bit RGB, or 8-bit gray
// (photometric 0 or 1, the palette then the plain ramp) or palette indices.
struct Shape {
    int32_t width = 0, height = 0, depth = 24;
    int32_t photometric = 2;
    unsigned char palette[768] = {};
    int32_t resolution[2] = {0, 0};  // as the file states them; below 1: none

    size_t rowBytes() const { return size_t(width) * size_t(depth / 8); }
};

class Reader {
  public:
    virtual ~Reader() = default;
    // The next count rows into dst. 0 or a status code.
    virtual int32_t rows(unsigned char* dst, int32_t count) = 0;
    // From here on the rows come blue, green, red, as a BMP writer takes them.
    void giveBgr() { bgr_ = true; }

  protected:
    bool bgr_ = false;
};

// What Writer::code gives when it could not code for want of memory.
constexpr size_t kNoMemory = SIZE_MAX;

// Coding is split from writing so that two threads can code the parts of
// a band while the rows before them are written.
class Writer {
  public:
    virtual ~Writer() = default;
    // The most bytes that code makes of count rows.
    virtual size_t most(int32_t count) const = 0;
    // Codes count rows from src, the first of them row `first` of the
    // picture, into out; the bytes made, or kNoMemory when the scratch
    // memory it needs cannot be had. Safe on several threads at once.
    virtual size_t code(const unsigned char* src, int32_t first, int32_t count,
                        unsigned char* out) const = 0;
    // Writes what code made of the rows from first on; called in row order.
    // 0 or a status code.
    virtual int32_t put(const unsigned char* coded, size_t n, int32_t first, int32_t count) = 0;
    // After the last rows. 0 or a status code.
    virtual int32_t finish() = 0;
    // Whether the writer takes its rows blue, green, red.
    virtual bool takesBgr() const { return false; }
};

// Each reader starts on a stream that stands at the start of its file and
// gives KRO_ERR_NOT_AS_IS when the file is not one to hand over so (of a
// depth it does not hand over, or not read as the whole-picture reader
// reads it); the caller puts the stream back then. BMP files of 8 and 24
// bits are handed over, PCX files of 24.
int32_t openBmpReader(FILE* stream, Shape* shape, std::unique_ptr<Reader>* reader);
int32_t openPcxReader(FILE* stream, Shape* shape, std::unique_ptr<Reader>* reader);

// Each writer checks everything before it writes its first byte, and gives
// KRO_ERR_NOT_AS_IS (nothing written) for a picture its whole-picture writer
// would refuse. dpi: the resolution stated for both directions; 0 states
// none in a BMP file.
int32_t openBmpWriter(FILE* stream, const Shape& shape, int32_t dpi,
                      std::unique_ptr<Writer>* writer);
int32_t openPcxWriter(FILE* stream, const Shape& shape, int32_t dpi,
                      std::unique_ptr<Writer>* writer);
// The next page of the PostScript document KroPutPSHeader began, drawn as
// KroRsImageToPS draws the picture; it counts in the document once it is
// finished.
int32_t openPsWriter(FILE* stream, const Shape& shape, int32_t xdpi, int32_t ydpi,
                     std::unique_ptr<Writer>* writer);

}  // namespace kro::bands
