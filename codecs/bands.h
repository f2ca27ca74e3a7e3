// Pictures handed from a reader to a writer a band of rows at a time, for
// jobs that take a picture across as it stands: the whole picture is never
// held, so a job touches a few hundred kilobytes of memory however large
// the picture is.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

namespace kro::bands {

// What a reader tells of its picture before the rows. The rows are 24-bit
// RGB, 3 * width bytes each, top row first.
struct Shape {
    int32_t width = 0, height = 0;
    int32_t resolution[2] = {0, 0};  // as the file states them; below 1: none
};

class Reader {
public:
    virtual ~Reader() = default;
    // The next count rows into dst. 0 or a status code.
    virtual int32_t rows(unsigned char* dst, int32_t count) = 0;
};

class Writer {
public:
    virtual ~Writer() = default;
    // The next count rows from src. 0 or a status code.
    virtual int32_t rows(const unsigned char* src, int32_t count) = 0;
    // After the last rows. 0 or a status code.
    virtual int32_t finish() = 0;
};

// Each reader starts on a stream that stands at the start of its file and
// gives KRO_ERR_NOT_AS_IS when the file is not one to hand over so (not
// 24-bit, or not read as the whole-picture reader reads it); the caller puts
// the stream back then.
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
// The next page of the PostScript document KroPutPSHeader began; it counts
// in the document once it is finished.
int32_t openPsWriter(FILE* stream, const Shape& shape, int32_t xdpi, int32_t ydpi,
                     std::unique_ptr<Writer>* writer);

}  // namespace kro::bands
