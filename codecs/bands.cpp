// Re-coding a picture between files a band of rows at a time.
#include "codecs/bands.h"

#include <algorithm>

#include "core/image.h"
#include "kro/kro.h"

namespace kro::bands {
namespace {

// Rows per band: about 256 KiB of RGB, which stays in the cache between
// the reader and the writer.
int32_t bandRows(const Shape& shape) {
    const uint64_t row = 3 * uint64_t(shape.width);
    return int32_t(std::clamp<uint64_t>((256u << 10) / row, 1, uint64_t(shape.height)));
}

int32_t streamPicture(FILE* in, int32_t from, FILE* out, int32_t to, int32_t dpi,
                      int32_t size[2]) {
    if (!in || !out) return KRO_ERR_NULL;
    const bool pair = (from == KRO_FILE_BMP || from == KRO_FILE_PCX) &&
                      (to == KRO_FILE_BMP || to == KRO_FILE_PCX || to == KRO_FILE_PS);
    const long start = std::ftell(in);
    if (!pair || start < 0) return KRO_ERR_NOT_AS_IS;
    // Before a byte is written, a file that is not one to hand over leaves
    // the input where it stood.
    const auto notAsIs = [&] {
        std::clearerr(in);
        return std::fseek(in, start, SEEK_SET) == 0 ? KRO_ERR_NOT_AS_IS : KRO_ERR_IO;
    };
    Shape shape;
    std::unique_ptr<Reader> reader;
    int32_t code = from == KRO_FILE_BMP ? openBmpReader(in, &shape, &reader)
                                        : openPcxReader(in, &shape, &reader);
    if (code == KRO_ERR_NOT_AS_IS) return notAsIs();
    if (code != 0) return code;

    const int32_t band = bandRows(shape);
    Buffer rows(allocBytes(3 * uint64_t(shape.width) * uint64_t(band)));
    if (!rows) return KRO_ERR_NOMEM;

    const int32_t x = shape.resolution[0], y = shape.resolution[1];
    std::unique_ptr<Writer> writer;
    if (to == KRO_FILE_PS) {
        const int32_t xdpi = x > 0 ? x : dpi;
        code = openPsWriter(out, shape, xdpi, y > 0 ? y : xdpi, &writer);
    } else if (x > 0 && y > 0 && x != y) {
        // A BMP or PCX file states one resolution: the picture would be
        // resampled to keep its shape.
        code = KRO_ERR_NOT_AS_IS;
    } else {
        const int32_t one = x > 0 ? x : dpi;
        code = to == KRO_FILE_BMP ? openBmpWriter(out, shape, one, &writer)
                                  : openPcxWriter(out, shape, one, &writer);
    }
    if (code == KRO_ERR_NOT_AS_IS) return notAsIs();
    if (code != 0) return code;

    if (size) {
        size[0] = shape.width;
        size[1] = shape.height;
    }
    for (int32_t done = 0; done < shape.height; done += band) {
        const int32_t count = std::min(band, shape.height - done);
        if ((code = reader->rows(rows.get(), count))) return code;
        if ((code = writer->rows(rows.get(), count))) return code;
    }
    return writer->finish();
}

}  // namespace
}  // namespace kro::bands

extern "C" KRO_API int32_t KroStreamPicture(FILE* in, int32_t from, FILE* out, int32_t to,
                                            int32_t dpi, int32_t size[2]) {
    return kro::report(kro::bands::streamPicture(in, from, out, to, dpi, size));
}
